#include "export/write/survey_points.h"

#include <algorithm>
#include <cstdio>

#include "export/output.h"
#include "export/products/coded_lines.h"
#include "export/read/mesh_file.h"
#include "export/write/number_text.h"

namespace {

std::string shortest(double value) {
  char text[32];
  return std::string(text, appendShortestNumber(text, value));
}

// DXF text holds one line of printable characters.
std::string dxfText(const std::string& text) {
  std::string clean;
  for (const char c : text) clean += static_cast<unsigned char>(c) < 0x20 ? '_' : c;
  return clean;
}

}  // namespace

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string geoJsonCrsMember(const char* srs) {
  if (srs == nullptr) return "";
  std::string name = srs;
  // "EPSG:25832" as the URN that names it; anything else as given.
  if (name.size() > 5 && (name.compare(0, 5, "EPSG:") == 0 || name.compare(0, 5, "epsg:") == 0)) {
    name = "urn:ogc:def:crs:EPSG::" + name.substr(5);
  }
  return "\"crs\":{\"type\":\"name\",\"properties\":{\"name\":" + jsonString(name) + "}},";
}

bool writeGeoJsonSurveyPoints(const std::vector<ExportSurveyPoint>& points, bool first, ExportOutput* output) {
  std::string feature;
  for (const ExportSurveyPoint& p : points) {
    feature = first ? "\n" : ",\n";
    first = false;
    feature += "{\"type\":\"Feature\",\"properties\":{\"number\":" + jsonString(p.name) + ",\"code\":" +
               jsonString(p.code) + ",\"description\":" + jsonString(p.description) + ",\"z\":" + shortest(p.z) +
               "},\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + shortest(p.x) + "," + shortest(p.y) + "," +
               shortest(p.z) + "]}}";
    writeExportText(output, feature);
  }
  return !points.empty();
}

std::string dxfPointLayer(const std::string& code) {
  if (code.empty()) return "POINTS";
  std::string layer = "POINTS-";
  for (const char c : code) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                       c == '_' || c == '$';
    layer += plain ? static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : '_';
  }
  return layer;
}

std::string elevationLabel(const ExportSurveyPoint& p) {
  if (p.zDecimals < 0 || p.zDecimals > 12) return shortest(p.z);
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", p.zDecimals, p.z);
  return text;
}

namespace {

// Labels height: 1/500 of the points' extent, so that a plan of any size
// reads alike.
double labelHeight(const std::vector<ExportSurveyPoint>& points) {
  double lowX = points[0].x, highX = points[0].x, lowY = points[0].y, highY = points[0].y;
  for (const ExportSurveyPoint& p : points) {
    lowX = std::min(lowX, p.x);
    highX = std::max(highX, p.x);
    lowY = std::min(lowY, p.y);
    highY = std::max(highY, p.y);
  }
  const double extent = std::max(highX - lowX, highY - lowY);
  return extent > 0.0 ? extent / 500.0 : 1.0;
}

std::string dxfLabel(const std::string& layer, double x, double y, const std::string& z, const std::string& height,
                     const std::string& text) {
  return "  0\nTEXT\n  8\n" + layer + "\n 10\n" + shortest(x) + "\n 20\n" + shortest(y) + "\n 30\n" + z +
         "\n 40\n" + height + "\n  1\n" + dxfText(text) + "\n";
}

}  // namespace

void writeDxfSurveyPoints(const std::vector<ExportSurveyPoint>& points, ExportOutput* output) {
  if (points.empty()) return;
  const double h = labelHeight(points);
  const std::string height = shortest(h);
  std::string entity;
  for (const ExportSurveyPoint& p : points) {
    const std::string layer = dxfPointLayer(p.code);
    const std::string z = shortest(p.z);
    entity = "  0\nPOINT\n  8\n" + layer + "\n 10\n" + shortest(p.x) + "\n 20\n" + shortest(p.y) + "\n 30\n" + z + "\n";
    // Number above, elevation beside, description below the point.
    const double x = p.x + h / 2;
    if (!p.name.empty()) entity += dxfLabel(layer, x, p.y + h / 2, z, height, p.name);
    entity += dxfLabel(layer, x, p.y - h / 2, z, height, elevationLabel(p));
    if (!p.description.empty()) entity += dxfLabel(layer, x, p.y - h * 2, z, height, p.description);
    writeExportText(output, entity);
  }
}

std::string dxfPolyline3d(const std::string& layerName, const ExportVertex* vertices, int32_t count, bool closed) {
  const std::string layer = "  8\n" + layerName + "\n";
  std::string entity = "  0\nPOLYLINE\n" + layer + " 66\n1\n 10\n0\n 20\n0\n 30\n0\n 70\n" + (closed ? "9" : "8") + "\n";
  for (int32_t v = 0; v < count; ++v) {
    const ExportVertex& at = vertices[v];
    entity += "  0\nVERTEX\n" + layer + " 10\n" + shortest(at.x) + "\n 20\n" + shortest(at.y) + "\n 30\n" +
              shortest(at.z) + "\n 70\n32\n";
  }
  return entity + "  0\nSEQEND\n" + layer;
}

void writeDxfCodedLines(const CodedLines& lines, ExportOutput* output) {
  for (const CodedLine& line : lines.lines) {
    writeExportText(output, dxfPolyline3d(dxfPointLayer(line.code), &lines.vertices[static_cast<size_t>(line.firstVertex)],
                                          line.vertexCount, false));
  }
}

bool writeGeoJsonCodedLines(const CodedLines& lines, bool first, ExportOutput* output) {
  std::string feature;
  for (const CodedLine& line : lines.lines) {
    feature = first ? "\n" : ",\n";
    first = false;
    feature += "{\"type\":\"Feature\",\"properties\":{\"code\":" + jsonString(line.code) +
               "},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
    for (int32_t v = 0; v < line.vertexCount; ++v) {
      const ExportVertex& at = lines.vertices[static_cast<size_t>(line.firstVertex + v)];
      feature += (v == 0 ? "[" : ",[") + shortest(at.x) + "," + shortest(at.y) + "," + shortest(at.z) + "]";
    }
    writeExportText(output, feature + "]}}");
  }
  return !lines.lines.empty();
}
