#include "export/write/geojson.h"

#include <cstring>
#include <string>

#include "export/output.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/write/number_text.h"
#include "export/write/survey_points.h"

namespace {

void writePoint(ExportOutput* output, const double* xy, bool first) {
  char text[64];
  char* out = text;
  if (!first) *out++ = ',';
  *out++ = '[';
  out = appendShortestNumber(out, xy[0]);
  *out++ = ',';
  out = appendShortestNumber(out, xy[1]);
  *out++ = ']';
  writeExportBytes(output, text, static_cast<size_t>(out - text));
}

void writeLine(ExportOutput* output, const ExportContours& contours, const ExportContourLine& line) {
  writeExportBytes(output, "[", 1);
  const double* xy = &contours.xy[static_cast<size_t>(line.firstPoint)];
  for (int32_t p = 0; p < line.pointCount; ++p) writePoint(output, xy + static_cast<size_t>(p) * 2, p == 0);
  if (line.closed) writePoint(output, xy, false);
  writeExportBytes(output, "]", 1);
}

}  // namespace

void writeContourGeoJson(const ExportContours& contours, const std::vector<ExportSurveyPoint>& points,
                         const CodedLines* lines, const char* srs, ExportOutput* output, ExportProgress* progress) {
  writeExportText(output, "{\"type\":\"FeatureCollection\"," + geoJsonCrsMember(srs) + "\"features\":[");
  bool firstFeature = true;
  for (const ExportContourLevel& level : contours.levels) {
    if (level.lineCount == 0) continue;
    updateExportProgress(progress, "writing", level.firstLine, static_cast<int64_t>(contours.lines.size()));
    char elevation[32];
    std::string head = firstFeature ? "\n" : ",\n";
    head += "{\"type\":\"Feature\",\"properties\":{\"elevation\":";
    head.append(elevation, appendShortestNumber(elevation, level.elevation));
    head += level.index ? ",\"index\":true}," : ",\"index\":false},";
    head += level.lineCount == 1 ? "\"geometry\":{\"type\":\"LineString\",\"coordinates\":"
                                 : "\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":[";
    writeExportText(output, head);
    for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
      if (l > level.firstLine) writeExportBytes(output, ",", 1);
      writeLine(output, contours, contours.lines[static_cast<size_t>(l)]);
    }
    writeExportText(output, level.lineCount == 1 ? "}}" : "]}}");
    firstFeature = false;
  }
  if (writeGeoJsonSurveyPoints(points, firstFeature, output)) firstFeature = false;
  if (lines != nullptr) writeGeoJsonCodedLines(*lines, firstFeature, output);
  writeExportText(output, "\n]}\n");
}
