#include "export/write/report.h"

#include <algorithm>
#include <cstdio>

#include "export/output.h"
#include "export/write/number_text.h"
#include "export/write/survey_points.h"

namespace {

// Three decimals for people; exact values are in the JSON report.
std::string fixed(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.3f", value == 0.0 ? 0.0 : value);
  return text;
}

std::string shortest(double value) {
  char text[32];
  return std::string(text, appendShortestNumber(text, value));
}

std::string row(const char* label, const std::string& value) {
  std::string line = label;
  line.resize(std::max<size_t>(line.size() + 1, 26), ' ');
  return line + value + "\n";
}

}  // namespace

void writeTextReport(const ExportReport& report, ExportOutput* output) {
  const ExportSurfaceMeasures& m = report.measures;
  std::string text = "Surface " + report.surfaceName + ": " + std::to_string(report.triangleCount) +
                     (report.triangleCount == 1 ? " triangle" : " triangles");
  if (m.faces != report.triangleCount) text += ", " + std::to_string(m.faces) + " of them measured";
  const std::string unit = report.unit;
  text += "\nUnits: those of the coordinates, " + unit + " (--units); areas in " + unit + "2, volumes in " + unit +
          "3.\n\n";
  text += row("Planimetric area", fixed(m.planArea));
  text += row("Surface area", fixed(m.surfaceArea));
  text += row("Lowest elevation", fixed(m.lowest));
  text += row("Highest elevation", fixed(m.highest));
  text += row("Mean elevation", fixed(m.mean) + " (over the planimetric area)");
  if (m.hasBase) {
    text += '\n';
    text += row("Base level", fixed(m.base));
    text += row("Volume above the base", fixed(m.above) + " over an area of " + fixed(m.areaAbove));
    text += row("Volume below the base", fixed(m.below) + " over an area of " + fixed(m.areaBelow));
    if (m.areaLevel > 0.0) text += row("Level with the base", "an area of " + fixed(m.areaLevel));
    text += row("Net (above - below)", fixed(m.above - m.below));
  }
  if (report.compared) {
    const SurfaceDifference& d = report.difference;
    const std::string& other = report.otherName;
    text += "\nCompared with " + other + ", exactly over the overlay of both surfaces:\n";
    text += row("Common area", fixed(d.commonArea));
    text += row("Cut", fixed(d.cut) + " (" + other + " lower) over an area of " + fixed(d.cutArea));
    text += row("Fill", fixed(d.fill) + " (" + other + " higher) over an area of " + fixed(d.fillArea));
    if (d.levelArea > 0.0) text += row("Level", "an area of " + fixed(d.levelArea) + " where they meet");
    text += row("Net (fill - cut)", fixed(d.net));
    text += row("Outside the common area", fixed(d.firstOutside) + " of " + report.surfaceName + ", " +
                                               fixed(d.secondOutside) + " of " + other);
  }
  writeExportText(output, text);
}

void writeJsonReport(const ExportReport& report, ExportOutput* output) {
  const ExportSurfaceMeasures& m = report.measures;
  std::string text = "{\n  \"surface\": " + jsonString(report.surfaceName) + ",\n";
  text += "  \"triangles\": " + std::to_string(report.triangleCount) + ",\n";
  text += "  \"trianglesMeasured\": " + std::to_string(m.faces) + ",\n";
  const std::string unit = report.unit;
  text += "  \"units\": {\"length\": \"" + unit + "\", \"area\": \"" + unit + "2\", \"volume\": \"" + unit + "3\"},\n";
  text += "  \"planimetricArea\": " + shortest(m.planArea) + ",\n";
  text += "  \"surfaceArea\": " + shortest(m.surfaceArea) + ",\n";
  text += "  \"lowestElevation\": " + shortest(m.lowest) + ",\n";
  text += "  \"highestElevation\": " + shortest(m.highest) + ",\n";
  text += "  \"meanElevation\": " + shortest(m.mean);
  if (m.hasBase) {
    text += ",\n  \"base\": {\"level\": " + shortest(m.base) + ", \"volumeAbove\": " + shortest(m.above) +
            ", \"volumeBelow\": " + shortest(m.below) + ", \"areaAbove\": " + shortest(m.areaAbove) +
            ", \"areaBelow\": " + shortest(m.areaBelow) + ", \"areaLevel\": " + shortest(m.areaLevel) + "}";
  }
  if (report.compared) {
    const SurfaceDifference& d = report.difference;
    text += ",\n  \"compare\": {\"other\": " + jsonString(report.otherName) + ", \"commonArea\": " +
            shortest(d.commonArea) + ", \"cut\": " + shortest(d.cut) + ", \"fill\": " + shortest(d.fill) +
            ", \"net\": " + shortest(d.net) + ", \"cutArea\": " + shortest(d.cutArea) + ", \"fillArea\": " +
            shortest(d.fillArea) + ", \"levelArea\": " + shortest(d.levelArea) + ", \"inputOutside\": " +
            shortest(d.firstOutside) + ", \"otherOutside\": " + shortest(d.secondOutside) + "}";
  }
  text += "\n}\n";
  writeExportText(output, text);
}
