#include "export/write/mesh_formats.h"

#include <bit>
#include <cstring>

#include "export/read/mesh_file.h"
#include "export/output.h"
#include "export/progress.h"
#include "export/units.h"
#include "export/write/number_text.h"

static_assert(std::endian::native == std::endian::little, "PLY records are copied as they lie in memory");

namespace {

constexpr int32_t progressStride = 1 << 16;

// Appends value's decimal digits; returns the new end.
char* appendNumber(char* out, int64_t value) {
  char digits[24];
  int32_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

std::string headComments(const ExportMesh& mesh, const char* prefix) {
  std::string text = prefix;
  text += "tsvmesh triangle count " + std::to_string(mesh.triangleCount) + "\n" + prefix;
  text += mesh.averageKnown ? "tsvmesh average longest side " + std::to_string(mesh.averageSide) + "\n"
                            : std::string("tsvmesh average longest side out of range\n");
  return text;
}

// Writes vertex v's text with each comma replaced by a blank, and its
// fields in the order given (0 = x, 1 = y, 2 = z).
char* appendVertexFields(const ExportMesh& mesh, int32_t v, const int32_t order[3], char* out) {
  const char* text = mesh.text.data() + mesh.textStart[static_cast<size_t>(v)];
  const char* end = mesh.text.data() + mesh.textStart[static_cast<size_t>(v) + 1];
  const char* firstComma = static_cast<const char*>(std::memchr(text, ',', static_cast<size_t>(end - text)));
  const char* secondComma =
      static_cast<const char*>(std::memchr(firstComma + 1, ',', static_cast<size_t>(end - firstComma - 1)));
  const char* starts[3] = {text, firstComma + 1, secondComma + 1};
  const char* ends[3] = {firstComma, secondComma, end};
  for (int32_t i = 0; i < 3; ++i) {
    if (i > 0) *out++ = ' ';
    const size_t length = static_cast<size_t>(ends[order[i]] - starts[order[i]]);
    std::memcpy(out, starts[order[i]], length);
    out += length;
  }
  return out;
}

void progressEvery(ExportProgress* progress, int64_t done, int64_t total) {
  if ((done & (progressStride - 1)) == 0) updateExportProgress(progress, "writing", done, total);
}

}  // namespace

std::string escapeXml(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 at all.
        escaped += (static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    }
  }
  return escaped;
}

namespace {

// A polyline as LandXML's PntList3D: northing easting elevation.
std::string pointList(const ExportPolyline& line) {
  std::string list = "<PntList3D>";
  char text[80];
  for (size_t k = 0; k < line.points.size(); ++k) {
    const ExportVertex& p = line.points[k];
    char* out = text;
    if (k > 0) *out++ = ' ';
    out = appendShortestNumber(out, p.y);
    *out++ = ' ';
    out = appendShortestNumber(out, p.x);
    *out++ = ' ';
    out = appendShortestNumber(out, p.z);
    list.append(text, out);
  }
  return list + "</PntList3D>";
}

// What the surface was made to follow: its breaklines and its border and
// holes, which civil software reads as the TIN's source data.
std::string landXmlSourceData(const ExportMesh& mesh) {
  if (mesh.breaklines.empty() && mesh.rings.empty()) return "";
  std::string text = "      <SourceData>\n";
  if (!mesh.rings.empty()) {
    text += "        <Boundaries>\n";
    for (size_t r = 0; r < mesh.rings.size(); ++r) {
      const bool outer = mesh.hasBorder && r == 0;
      text += std::string("          <Boundary name=\"") + (outer ? "border" : "hole " + std::to_string(r)) +
              "\" bndType=\"" + (outer ? "outer" : "void") + "\">" + pointList(mesh.rings[r]) + "</Boundary>\n";
    }
    text += "        </Boundaries>\n";
  }
  if (!mesh.breaklines.empty()) {
    text += "        <Breaklines>\n";
    for (const ExportPolyline& line : mesh.breaklines) {
      text += "          <Breakline brkType=\"standard\">" + pointList(line) + "</Breakline>\n";
    }
    text += "        </Breaklines>\n";
  }
  return text + "      </SourceData>\n";
}

// A field file's points in file order, each with its number and
// description, as LandXML CgPoints (northing easting elevation).
void writeCgPoints(const ExportMesh& mesh, ExportOutput* output) {
  if (mesh.surveyPoints.empty()) return;
  writeExportText(output, "  <CgPoints>\n");
  std::string line;
  char number[32];
  for (size_t k = 0; k < mesh.surveyPoints.size(); ++k) {
    const ExportSurveyPoint& point = mesh.surveyPoints[k];
    line = "    <CgPoint name=\"" + escapeXml(point.name.empty() ? std::to_string(k + 1) : point.name) + "\"";
    if (!point.description.empty()) line += " desc=\"" + escapeXml(point.description) + "\"";
    line += '>';
    for (const double value : {point.y, point.x, point.z}) {
      if (line.back() != '>') line += ' ';
      line.append(number, appendShortestNumber(number, value));
    }
    line += "</CgPoint>\n";
    writeExportText(output, line);
  }
  writeExportText(output, "  </CgPoints>\n");
}

}  // namespace

void writePlyMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress) {
  std::string head = "ply\nformat binary_little_endian 1.0\n" + headComments(mesh, "comment ");
  head += "element vertex " + std::to_string(mesh.vertexCount) + "\n";
  head += "property double x\nproperty double y\nproperty double z\n";
  head += "element face " + std::to_string(mesh.triangleCount) + "\n";
  head += "property list uchar int vertex_indices\nend_header\n";
  writeExportText(output, head);

  const int64_t total = static_cast<int64_t>(mesh.vertexCount) + mesh.triangleCount;
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    progressEvery(progress, v, total);
    writeExportBytes(output, reinterpret_cast<const char*>(&mesh.vertices[static_cast<size_t>(v)]),
                     sizeof(ExportVertex));
  }
  static_assert(sizeof(ExportVertex) == 24, "x, y, z as three doubles without padding");
  char record[13];
  record[0] = 3;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    progressEvery(progress, static_cast<int64_t>(mesh.vertexCount) + f, total);
    std::memcpy(record + 1, &mesh.corners[static_cast<size_t>(f) * 3], 12);
    writeExportBytes(output, record, sizeof record);
  }
}

void writeObjMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress) {
  writeExportText(output, headComments(mesh, "# "));
  const int64_t total = static_cast<int64_t>(mesh.vertexCount) + mesh.triangleCount;
  static constexpr int32_t xyz[3] = {0, 1, 2};
  char line[exportLongestLine + 64];
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    progressEvery(progress, v, total);
    char* out = line;
    *out++ = 'v';
    *out++ = ' ';
    out = appendVertexFields(mesh, v, xyz, out);
    *out++ = '\n';
    writeExportBytes(output, line, static_cast<size_t>(out - line));
  }
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    progressEvery(progress, static_cast<int64_t>(mesh.vertexCount) + f, total);
    char* out = line;
    *out++ = 'f';
    for (int32_t c = 0; c < 3; ++c) {
      *out++ = ' ';
      out = appendNumber(out, static_cast<int64_t>(mesh.corners[static_cast<size_t>(f) * 3 + c]) + 1);
    }
    *out++ = '\n';
    writeExportBytes(output, line, static_cast<size_t>(out - line));
  }
}

void writeLandXmlMesh(const ExportMesh& mesh, const std::string& surfaceName, const char* date,
                      const char* time, int32_t units, ExportOutput* output, ExportProgress* progress) {
  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  head += "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\" date=\"";
  head += std::string(date) + "\" time=\"" + time + "\">\n";
  // The triangle file carries no unit; metres unless told otherwise.
  if (units == unitsMetre) {
    head += "  <Units>\n    <Metric linearUnit=\"meter\" areaUnit=\"squareMeter\" volumeUnit=\"cubicMeter\"/>\n"
            "  </Units>\n";
  } else {
    head += std::string("  <Units>\n    <Imperial linearUnit=\"") + (units == unitsFoot ? "foot" : "USSurveyFoot") +
            "\" areaUnit=\"squareFoot\" volumeUnit=\"cubicFeet\"/>\n  </Units>\n";
  }
  head += "  <Application name=\"tsvmesh-export\" version=\"" TSVMESH_VERSION "\"/>\n";
  writeExportText(output, head);
  writeCgPoints(mesh, output);
  head = "  <Surfaces>\n    <Surface name=\"" + escapeXml(surfaceName) + "\" desc=\"";
  head += std::to_string(mesh.triangleCount) + (mesh.triangleCount == 1 ? " triangle" : " triangles");
  head += "\">\n" + landXmlSourceData(mesh) + "      <Definition surfType=\"TIN\">\n        <Pnts>\n";
  writeExportText(output, head);

  const int64_t total = static_cast<int64_t>(mesh.vertexCount) + mesh.triangleCount;
  static constexpr int32_t yxz[3] = {1, 0, 2};
  char line[exportLongestLine + 64];
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    progressEvery(progress, v, total);
    char* out = line;
    std::memcpy(out, "          <P id=\"", 17);
    out = appendNumber(out + 17, static_cast<int64_t>(v) + 1);
    *out++ = '"';
    *out++ = '>';
    out = appendVertexFields(mesh, v, yxz, out);
    std::memcpy(out, "</P>\n", 5);
    out += 5;
    writeExportBytes(output, line, static_cast<size_t>(out - line));
  }
  writeExportText(output, "        </Pnts>\n        <Faces>\n");
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    progressEvery(progress, static_cast<int64_t>(mesh.vertexCount) + f, total);
    char* out = line;
    std::memcpy(out, "          <F>", 13);
    out += 13;
    for (const int32_t c : {0, 2, 1}) {
      if (c != 0) *out++ = ' ';
      out = appendNumber(out, static_cast<int64_t>(mesh.corners[static_cast<size_t>(f) * 3 + c]) + 1);
    }
    std::memcpy(out, "</F>\n", 5);
    out += 5;
    writeExportBytes(output, line, static_cast<size_t>(out - line));
  }
  writeExportText(output, "        </Faces>\n      </Definition>\n    </Surface>\n  </Surfaces>\n</LandXML>\n");
}
