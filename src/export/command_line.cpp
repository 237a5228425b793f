#include "export/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "export/paper.h"
#include "export/read/points_input.h"
#include "export/units.h"
#include "export/write/picture.h"

namespace {

// The build says which optional libraries it has (src/export/CMakeLists.txt).
constexpr bool withCairo = TSVMESH_EXPORT_CAIRO != 0;
constexpr bool withThree = TSVMESH_EXPORT_THREE != 0;
constexpr bool withGdal = TSVMESH_EXPORT_GDAL != 0;
constexpr bool withZlib = TSVMESH_EXPORT_ZLIB != 0;

const ExportFormatInfo formatTable[] = {
    {"png", "a picture from above (PNG)", withCairo},
    {"svg", "the picture as SVG", withCairo},
    {"pdf", "the picture as PDF, or a plot at scale (--paper)", withZlib},
    {"ply", "binary PLY mesh", true},
    {"obj", "Wavefront OBJ mesh", true},
    {"xml", "LandXML 1.2 TIN surface", true},
    {"html", "the surface in 3D, one page for any browser", withThree},
    {"dxf", "DXF for CAD: 3DFACE surface, contour polylines", true},
    {"geojson", "GeoJSON contours (needs --contour) and a field file's points", true},
    {"asc", "ESRI ASCII grid of elevations (needs --cell)", true},
    {"tif", "GeoTIFF grid of elevations, Float32 (needs --cell)", withGdal},
    {"gpkg", "GeoPackage: the faces as POLYGON Z, contours as LINESTRING Z", withGdal},
    {"shp", "ESRI Shapefile: the faces as PolygonZ", withGdal},
    {"txt", "areas and volumes, for people", true},
    {"json", "areas and volumes, for programs", true},
    {"", "", false},
};
static_assert(sizeof formatTable / sizeof formatTable[0] == formatUnknown + 1, "one row per format");

// "--name VALUE" or "--name=VALUE": the value, or nullptr when argument is
// another option. i moves past a separate value.
const char* optionValue(const std::string& argument, const char* name, int argc, char** argv, int* i) {
  const std::string option = name;
  if (argument == option) return *i + 1 < argc ? argv[++*i] : "";
  if (argument.rfind(option + "=", 0) == 0) return argv[*i] + option.size() + 1;
  return nullptr;
}

bool wholeNumber(const char* text, long low, long high, int32_t* value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

// A finite decimal number above 0 (or any finite one when anySign).
bool decimalNumber(const char* text, bool anySign, double* value) {
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(parsed) || (!anySign && !(parsed > 0.0))) return false;
  *value = parsed;
  return true;
}

// "INTERVAL" or "INTERVAL,INDEX".
bool contourValue(const char* text, ExportOptions* options) {
  const std::string value = text;
  const size_t comma = value.find(',');
  if (!decimalNumber(value.substr(0, comma).c_str(), false, &options->contourInterval)) return false;
  return comma == std::string::npos ||
         wholeNumber(value.c_str() + comma + 1, 1, 1000, &options->contourIndexEvery);
}

std::string availableList() {
  std::string list;
  for (int32_t f = 0; f < formatUnknown; ++f) {
    if (!formatTable[f].available) continue;
    list += list.empty() ? "." : ", .";
    list += formatTable[f].extension;
  }
  return list;
}

}  // namespace

const ExportFormatInfo& exportFormatInfo(int32_t format) {
  return formatTable[format >= 0 && format < formatUnknown ? format : formatUnknown];
}

int32_t exportFormatOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return formatUnknown;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (int32_t f = 0; f < formatUnknown; ++f) {
    if (extension == formatTable[f].extension) return f;
  }
  return formatUnknown;
}

std::string exportUsageText() {
  std::string text =
      "usage: tsvmesh-export INPUT OUTPUT [--size PIXELS] [--contour INTERVAL[,INDEX]] [--contour-base Z]\n"
      "                      [--max-side LENGTH] [--units m|ft|usft] [--flat] [--paper A4..A0 --scale N]\n"
      "                      [--mesh | --points | --columns LETTERS] [--cell SIZE] [--base Z] [--compare OTHER]\n"
      "                      [--srs CODE]\n"
      "INPUT is a triangle file or a points file (told apart by content), or a field file with --columns.\n"
      "OUTPUT's extension chooses the format:\n";
  for (int32_t f = 0; f < formatUnknown; ++f) {
    if (!formatTable[f].available) continue;
    text += "  .";
    text += formatTable[f].extension;
    text += std::string(8 - std::string(formatTable[f].extension).size(), ' ');
    text += formatTable[f].description;
    text += "\n";
  }
  text += "--size PIXELS  a picture's longer side, 200 to 16384 (default 1600)\n";
  text += "--contour INTERVAL[,INDEX]  contours every INTERVAL in z, every INDEX-th (default 5) an index contour\n";
  text += "--contour-base Z  the level the contours count from (default 0)\n";
  text += "--max-side LENGTH  leave out every triangle with a side longer than LENGTH in x-y\n";
  text += "--units m|ft|usft  the ground unit DXF, LandXML, pictures and reports declare (default m)\n";
  text += "--flat  pictures in plain colours, without hillshade\n";
  text += "--paper A4|A3|A2|A1|A0 --scale N  a PDF plot on that paper at 1:N\n";
  text += "--mesh, --points  read INPUT as a triangle file, or as a points file, whatever it looks like\n";
  text += "--columns LETTERS  INPUT is a comma-separated field file with these columns: P N E Z D -\n";
  text += "--cell SIZE     the grid's cell size (.asc, .tif, --compare)\n";
  text += "--base Z        volumes above and below the level Z (.txt, .json)\n";
  text += "--compare OTHER cut and fill from INPUT to the surface OTHER on the --cell grid (.txt, .json)\n";
  text += "--srs CODE      the coordinate reference system to state, for example EPSG:25832 (.tif, .gpkg, .shp, .geojson)\n";
  return text;
}

namespace {

// What one argument was: not an option of this group, taken, or wrong.
enum ArgumentResult : int32_t { argumentNotMine, argumentTaken, argumentWrong };

ArgumentResult wrong(std::string* problem, const char* text) {
  *problem = text;
  return argumentWrong;
}

// The options that shape the surface and its drawings.
ArgumentResult takeDrawingOption(const std::string& argument, int argc, char** argv, int* i, ExportOptions* options,
                                 std::string* problem) {
  if (const char* value = optionValue(argument, "--size", argc, argv, i)) {
    if (wholeNumber(value, pictureSmallestSize, pictureLargestSize, &options->size)) return argumentTaken;
    return wrong(problem, "--size takes a whole number of pixels from 200 to 16384");
  }
  if (const char* value = optionValue(argument, "--contour", argc, argv, i)) {
    if (contourValue(value, options)) return argumentTaken;
    return wrong(problem, "--contour takes INTERVAL (a number above 0) or INTERVAL,INDEX (INDEX 1 to 1000)");
  }
  if (const char* value = optionValue(argument, "--contour-base", argc, argv, i)) {
    if (decimalNumber(value, true, &options->contourBase)) return argumentTaken;
    return wrong(problem, "--contour-base takes a number");
  }
  if (const char* value = optionValue(argument, "--max-side", argc, argv, i)) {
    if (decimalNumber(value, false, &options->maxSide)) return argumentTaken;
    return wrong(problem, "--max-side takes a length above 0");
  }
  if (const char* value = optionValue(argument, "--units", argc, argv, i)) {
    const std::string unit = value;
    if (unit != "m" && unit != "ft" && unit != "usft") return wrong(problem, "--units takes m, ft or usft");
    options->units = unit == "ft" ? unitsFoot : unit == "usft" ? unitsUsFoot : unitsMetre;
    return argumentTaken;
  }
  if (argument == "--flat") {
    options->flat = true;
    return argumentTaken;
  }
  if (const char* value = optionValue(argument, "--paper", argc, argv, i)) {
    options->paper = paperSizeOf(value);
    if (options->paper >= 0) return argumentTaken;
    return wrong(problem, "--paper takes A4, A3, A2, A1 or A0");
  }
  if (const char* value = optionValue(argument, "--scale", argc, argv, i)) {
    if (wholeNumber(value, 1, 100000000, &options->scale)) return argumentTaken;
    return wrong(problem, "--scale takes N of 1:N, a whole number from 1");
  }
  return argumentNotMine;
}

// The options of the input, the grids, the reports and the GIS formats.
ArgumentResult takeSurveyOption(const std::string& argument, int argc, char** argv, int* i, ExportOptions* options,
                                std::string* problem) {
  if (argument == "--mesh" || argument == "--points") {
    options->inputKind = argument == "--mesh" ? inputTriangleFile : inputPointsFile;
    return argumentTaken;
  }
  if (const char* columns = optionValue(argument, "--columns", argc, argv, i)) {
    if (!parseFieldColumns(columns, &options->columns, problem)) return argumentWrong;
    options->inputKind = inputFieldFile;
    return argumentTaken;
  }
  if (const char* cell = optionValue(argument, "--cell", argc, argv, i)) {
    if (decimalNumber(cell, false, &options->cell)) return argumentTaken;
    return wrong(problem, "--cell takes a positive size");
  }
  if (const char* base = optionValue(argument, "--base", argc, argv, i)) {
    if (!decimalNumber(base, true, &options->base)) return wrong(problem, "--base takes a number, the level");
    options->hasBase = true;
    return argumentTaken;
  }
  if (const char* other = optionValue(argument, "--compare", argc, argv, i)) {
    if (*other == '\0') return wrong(problem, "--compare takes the second surface's file");
    options->comparePath = other;
    return argumentTaken;
  }
  if (const char* srs = optionValue(argument, "--srs", argc, argv, i)) {
    if (*srs == '\0') return wrong(problem, "--srs takes a code, for example EPSG:25832");
    options->srs = srs;
    return argumentTaken;
  }
  return argumentNotMine;
}

// The output's format and the options that must or must not go with it.
bool formatAndOptionsAgree(ExportOptions* options, std::string* problem) {
  options->format = exportFormatOf(options->outputPath);
  const int32_t format = options->format;
  const bool grid = format == formatAsc || format == formatTif;
  const bool report = format == formatTxt || format == formatJson;
  const char* text = nullptr;
  if (format == formatUnknown) {
    *problem = "OUTPUT must end in " + availableList();
    return false;
  }
  if ((options->paper >= 0) != (options->scale > 0)) {
    text = "--paper and --scale go together";
  } else if (options->paper >= 0 && format != formatPdf) {
    text = "--paper makes a PDF plot; OUTPUT must end in .pdf";
  } else if (format == formatGeoJson && options->contourInterval == 0.0 && options->inputKind != inputFieldFile) {
    text = "a .geojson OUTPUT holds contours (and a field file's points); add --contour INTERVAL";
  } else if (!exportFormatInfo(format).available) {
    *problem = std::string("this build has no .") + exportFormatInfo(format).extension + " output; it writes " +
               availableList();
    return false;
  } else if (grid && options->cell == 0.0) {
    text = "a .asc or .tif grid needs --cell SIZE";
  } else if ((options->hasBase || options->comparePath != nullptr) && !report) {
    text = "--base and --compare go with a .txt or .json report";
  } else if (options->comparePath != nullptr && options->cell == 0.0) {
    text = "--compare needs --cell SIZE, the grid the surfaces are compared on";
  } else if (options->srs != nullptr && format != formatTif && format != formatGpkg && format != formatShp &&
             format != formatGeoJson) {
    text = "--srs goes with .tif, .gpkg, .shp and .geojson";
  }
  if (text == nullptr) return true;
  *problem = text;
  return false;
}

}  // namespace

int32_t parseExportCommandLine(int argc, char** argv, ExportOptions* options, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") return commandHelp;
    if (argument == "--version") return commandVersion;
    ArgumentResult result = takeDrawingOption(argument, argc, argv, &i, options, problem);
    if (result == argumentNotMine) result = takeSurveyOption(argument, argc, argv, &i, options, problem);
    if (result == argumentWrong) return commandUsage;
    if (result == argumentTaken) continue;
    if (argument.size() > 1 && argument[0] == '-') {
      *problem = "unknown option " + argument;
      return commandUsage;
    }
    if (options->meshPath == nullptr) {
      options->meshPath = argv[i];
    } else if (options->outputPath == nullptr) {
      options->outputPath = argv[i];
    } else {
      *problem = "too many arguments";
      return commandUsage;
    }
  }
  if (options->outputPath == nullptr) return commandUsage;
  return formatAndOptionsAgree(options, problem) ? commandRun : commandUsage;
}
