#include "export/write/survey_points.h"

#include <algorithm>
#include <cstdio>

#include "export/output.h"
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
    feature += "{\"type\":\"Feature\",\"properties\":{\"name\":" + jsonString(p.name) +
               ",\"description\":" + jsonString(p.description) + "},\"geometry\":{\"type\":\"Point\",\"coordinates\":[" +
               shortest(p.x) + "," + shortest(p.y) + "," + shortest(p.z) + "]}}";
    writeExportText(output, feature);
  }
  return !points.empty();
}

void writeDxfSurveyPoints(const std::vector<ExportSurveyPoint>& points, ExportOutput* output) {
  if (points.empty()) return;
  double lowX = points[0].x, highX = points[0].x, lowY = points[0].y, highY = points[0].y;
  for (const ExportSurveyPoint& p : points) {
    lowX = std::min(lowX, p.x);
    highX = std::max(highX, p.x);
    lowY = std::min(lowY, p.y);
    highY = std::max(highY, p.y);
  }
  const double extent = std::max(highX - lowX, highY - lowY);
  const double textHeight = extent > 0.0 ? extent / 500.0 : 1.0;
  const std::string height = shortest(textHeight);
  std::string entity;
  for (const ExportSurveyPoint& p : points) {
    const std::string z = shortest(p.z);
    entity = "  0\nPOINT\n  8\nPOINTS\n 10\n" + shortest(p.x) + "\n 20\n" + shortest(p.y) + "\n 30\n" + z + "\n";
    std::string label = p.name;
    if (!p.description.empty()) label += (label.empty() ? "" : " ") + p.description;
    if (!label.empty()) {
      entity += "  0\nTEXT\n  8\nPOINTS\n 10\n" + shortest(p.x + textHeight / 2) + "\n 20\n" +
                shortest(p.y + textHeight / 2) + "\n 30\n" + z + "\n 40\n" + height + "\n  1\n" + dxfText(label) + "\n";
    }
    writeExportText(output, entity);
  }
}
