#include "export/write/dxf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "export/output.h"
#include "export/products/contour_labels.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/units.h"
#include "export/write/number_text.h"
#include "export/write/survey_points.h"

namespace {

constexpr int32_t progressStride = 1 << 16;

// $INSUNITS codes: 6 metres, 2 feet, 21 US survey feet.
int32_t insunits(int32_t units) { return units == unitsFoot ? 2 : units == unitsUsFoot ? 21 : 6; }

// A DXF file is pairs of lines: a group code, then its value.
char* appendGroup(char* out, const char* code, const char* value) {
  const size_t codeLength = std::strlen(code), valueLength = std::strlen(value);
  std::memcpy(out, code, codeLength);
  out[codeLength] = '\n';
  out += codeLength + 1;
  std::memcpy(out, value, valueLength);
  out[valueLength] = '\n';
  return out + valueLength + 1;
}

char* appendNumberGroup(char* out, const char* code, double value) {
  const size_t codeLength = std::strlen(code);
  std::memcpy(out, code, codeLength);
  out[codeLength] = '\n';
  out = appendShortestNumber(out + codeLength + 1, value);
  *out++ = '\n';
  return out;
}

std::string group(const char* code, const std::string& value) { return std::string(code) + "\n" + value + "\n"; }

std::string numberGroup(const char* code, double value) {
  char text[32];
  return group(code, std::string(text, appendShortestNumber(text, value)));
}

std::string layer(const char* name, int32_t colour) {
  return group("  0", "LAYER") + group("  2", name) + group(" 70", "0") + group(" 62", std::to_string(colour)) +
         group("  6", "CONTINUOUS");
}

std::string head(const ExportMesh& mesh, int32_t units) {
  double lowX = 0.0, lowY = 0.0, highX = 0.0, highY = 0.0;
  if (mesh.vertexCount > 0) {
    lowX = highX = mesh.vertices[0].x;
    lowY = highY = mesh.vertices[0].y;
    for (const ExportVertex& v : mesh.vertices) {
      lowX = v.x < lowX ? v.x : lowX;
      highX = v.x > highX ? v.x : highX;
      lowY = v.y < lowY ? v.y : lowY;
      highY = v.y > highY ? v.y : highY;
    }
  }
  std::string text = group("  0", "SECTION") + group("  2", "HEADER");
  text += group("  9", "$ACADVER") + group("  1", "AC1009");
  text += group("  9", "$INSUNITS") + group(" 70", std::to_string(insunits(units)));
  text += group("  9", "$MEASUREMENT") + group(" 70", units == unitsMetre ? "1" : "0");
  text += group("  9", "$EXTMIN") + numberGroup(" 10", lowX) + numberGroup(" 20", lowY) +
          numberGroup(" 30", mesh.lowestZ);
  text += group("  9", "$EXTMAX") + numberGroup(" 10", highX) + numberGroup(" 20", highY) +
          numberGroup(" 30", mesh.highestZ);
  text += group("  0", "ENDSEC");
  text += group("  0", "SECTION") + group("  2", "TABLES");
  text += group("  0", "TABLE") + group("  2", "LTYPE") + group(" 70", "1");
  text += group("  0", "LTYPE") + group("  2", "CONTINUOUS") + group(" 70", "0") + group("  3", "Solid line") +
          group(" 72", "65") + group(" 73", "0") + group(" 40", "0.0");
  text += group("  0", "ENDTAB");
  // A layer for each code of the survey points, in order of first use.
  std::vector<std::string> codeLayers;
  for (const ExportSurveyPoint& p : mesh.surveyPoints) {
    const std::string name = dxfPointLayer(p.code);
    if (name != "POINTS" && std::find(codeLayers.begin(), codeLayers.end(), name) == codeLayers.end()) {
      codeLayers.push_back(name);
    }
  }
  std::vector<std::string> extraLayers;
  if (!mesh.breaklines.empty()) extraLayers.push_back("BREAKLINES");
  if (mesh.hasBorder) extraLayers.push_back("BORDER");
  if (mesh.rings.size() > (mesh.hasBorder ? 1u : 0u)) extraLayers.push_back("HOLES");
  text += group("  0", "TABLE") + group("  2", "LAYER") +
          group(" 70", std::to_string(6 + codeLayers.size() + extraLayers.size()));
  // Grey surface, brown contours, the index ones and their labels darker,
  // blue survey points.
  text += layer("0", 7) + layer("TIN", 8) + layer("CONTOUR", 32) + layer("CONTOUR_INDEX", 22) +
          layer("CONTOUR_LABEL", 22) + layer("POINTS", 5);
  for (const std::string& name : codeLayers) text += layer(name.c_str(), 5);
  // Red breaklines, green border, cyan holes, only where the surface has them.
  for (const std::string& name : extraLayers) {
    text += layer(name.c_str(), name == "BREAKLINES" ? 1 : name == "BORDER" ? 3 : 4);
  }
  text += group("  0", "ENDTAB") + group("  0", "ENDSEC");
  return text;
}

// The three number texts of vertex v as read ("x,y,z"), for codes 1x, 2x, 3x.
char* appendCorner(char* out, const ExportMesh& mesh, int32_t v, char digit) {
  const char* text = mesh.text.data() + mesh.textStart[static_cast<size_t>(v)];
  const char* end = mesh.text.data() + mesh.textStart[static_cast<size_t>(v) + 1];
  for (const char axis : {'1', '2', '3'}) {
    const char* comma = static_cast<const char*>(std::memchr(text, ',', static_cast<size_t>(end - text)));
    const char* fieldEnd = comma != nullptr ? comma : end;
    *out++ = ' ';
    *out++ = axis;
    *out++ = digit;
    *out++ = '\n';
    std::memcpy(out, text, static_cast<size_t>(fieldEnd - text));
    out += fieldEnd - text;
    *out++ = '\n';
    text = fieldEnd + 1;
  }
  return out;
}

void writeContourPolylines(const ExportContours& contours, ExportOutput* output, ExportProgress* progress) {
  char line[256];
  for (const ExportContourLevel& level : contours.levels) {
    const char* layerName = level.index ? "CONTOUR_INDEX" : "CONTOUR";
    for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
      updateExportProgress(progress, "writing", l, static_cast<int64_t>(contours.lines.size()));
      const ExportContourLine& contour = contours.lines[static_cast<size_t>(l)];
      // A 2D polyline whose elevation is its head point's z; vertices say it too.
      char* out = appendGroup(line, "  0", "POLYLINE");
      out = appendGroup(out, "  8", layerName);
      out = appendGroup(out, " 66", "1");
      out = appendNumberGroup(out, " 10", 0.0);
      out = appendNumberGroup(out, " 20", 0.0);
      out = appendNumberGroup(out, " 30", level.elevation);
      out = appendGroup(out, " 70", contour.closed ? "1" : "0");
      writeExportBytes(output, line, static_cast<size_t>(out - line));
      for (int32_t p = 0; p < contour.pointCount; ++p) {
        const double* xy = &contours.xy[static_cast<size_t>(contour.firstPoint) + static_cast<size_t>(p) * 2];
        out = appendGroup(line, "  0", "VERTEX");
        out = appendGroup(out, "  8", layerName);
        out = appendNumberGroup(out, " 10", xy[0]);
        out = appendNumberGroup(out, " 20", xy[1]);
        out = appendNumberGroup(out, " 30", level.elevation);
        writeExportBytes(output, line, static_cast<size_t>(out - line));
      }
      out = appendGroup(line, "  0", "SEQEND");
      out = appendGroup(out, "  8", layerName);
      writeExportBytes(output, line, static_cast<size_t>(out - line));
    }
  }
}

// The index contours' levels along them, centred on the line (middle
// centre: groups 72 and 73, the point in 11) and turned along it; 1/500 of
// the surface's extent high, as the points' labels.
void writeContourLabels(const ExportMesh& mesh, const ExportContours& contours, ExportOutput* output) {
  const ExportBounds& b = mesh.bounds;
  const double extent = std::max(b.highX - b.lowX, b.highY - b.lowY);
  const double height = extent > 0.0 ? extent / 500.0 : 1.0;
  std::vector<ContourLabel> labels;
  placeContourLabels(contours, height, &labels);
  for (const ContourLabel& label : labels) {
    const double z = contours.levels[static_cast<size_t>(label.level)].elevation;
    const std::string at = numberGroup(" 10", label.x) + numberGroup(" 20", label.y) + numberGroup(" 30", z);
    const std::string alignment = numberGroup(" 11", label.x) + numberGroup(" 21", label.y) + numberGroup(" 31", z);
    writeExportText(output, group("  0", "TEXT") + group("  8", "CONTOUR_LABEL") + at + numberGroup(" 40", height) +
                                group("  1", contourLabelText(contours, z)) + numberGroup(" 50", label.degrees) +
                                group(" 72", "1") + alignment + group(" 73", "2"));
  }
}

}  // namespace

void writeDxf(const ExportMesh& mesh, const ExportContours* contours, const CodedLines* lines, int32_t units,
              ExportOutput* output, ExportProgress* progress) {
  writeExportText(output, head(mesh, units));
  writeExportText(output, group("  0", "SECTION") + group("  2", "ENTITIES"));
  char line[4 * exportLongestLine + 256];
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if ((f & (progressStride - 1)) == 0) updateExportProgress(progress, "writing", f, mesh.triangleCount);
    const int32_t* corner = &mesh.corners[static_cast<size_t>(f) * 3];
    char* out = appendGroup(line, "  0", "3DFACE");
    out = appendGroup(out, "  8", "TIN");
    out = appendCorner(out, mesh, corner[0], '0');
    out = appendCorner(out, mesh, corner[1], '1');
    out = appendCorner(out, mesh, corner[2], '2');
    out = appendCorner(out, mesh, corner[2], '3');  // a triangle repeats its last corner
    writeExportBytes(output, line, static_cast<size_t>(out - line));
  }
  if (contours != nullptr) {
    writeContourPolylines(*contours, output, progress);
    writeContourLabels(mesh, *contours, output);
  }
  writeDxfSurveyPoints(mesh.surveyPoints, output);
  if (lines != nullptr) writeDxfCodedLines(*lines, output);
  // What the surface was made to follow, each on a layer of its own.
  for (const ExportPolyline& line : mesh.breaklines) {
    writeExportText(output,
                    dxfPolyline3d("BREAKLINES", line.points.data(), static_cast<int32_t>(line.points.size()), false));
  }
  for (size_t r = 0; r < mesh.rings.size(); ++r) {
    const ExportPolyline& ring = mesh.rings[r];
    const char* layerName = mesh.hasBorder && r == 0 ? "BORDER" : "HOLES";
    writeExportText(output, dxfPolyline3d(layerName, ring.points.data(), static_cast<int32_t>(ring.points.size()), true));
  }
  writeExportText(output, group("  0", "ENDSEC") + group("  0", "EOF"));
}
