#include "export/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "export/read/points_input.h"
#include "export/write/picture.h"

#if TSVMESH_EXPORT_GDAL
constexpr bool gdalBuilt = true;
#else
constexpr bool gdalBuilt = false;
#endif

namespace {

const ExportFormatInfo formatTable[] = {
    {"png", "a picture from above (PNG)", true},
    {"svg", "the picture as SVG", true},
    {"pdf", "the picture as PDF", true},
    {"ply", "binary PLY mesh", true},
    {"obj", "Wavefront OBJ mesh", true},
    {"xml", "LandXML 1.2 TIN surface", true},
    {"asc", "ESRI ASCII grid of elevations (needs --cell)", true},
    {"tif", "GeoTIFF grid of elevations, Float32 (needs --cell)", gdalBuilt},
    {"gpkg", "GeoPackage: the faces as POLYGON Z", gdalBuilt},
    {"shp", "ESRI Shapefile: the faces as PolygonZ", gdalBuilt},
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

bool finiteNumber(const char* text, double* value) {
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
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
      "usage: tsvmesh-export INPUT OUTPUT [--size PIXELS] [--mesh | --points | --columns SPEC]\n"
      "                      [--cell SIZE] [--base Z] [--compare OTHER] [--srs CODE]\n"
      "INPUT is a triangle file or a points file (told apart by content), or a field file with --columns.\n"
      "OUTPUT's extension chooses the format:\n";
  for (int32_t f = 0; f < formatUnknown; ++f) {
    if (!formatTable[f].available) continue;
    text += "  .";
    text += formatTable[f].extension;
    text += std::string(6 - std::string(formatTable[f].extension).size(), ' ');
    text += formatTable[f].description;
    text += "\n";
  }
  text += "--size PIXELS  a picture's longer side, 200 to 16384 (default 1600)\n";
  text += "--mesh, --points  read INPUT as a triangle file, or as a points file, whatever it looks like\n";
  text += "--columns SPEC  INPUT is a comma-separated field file with these columns: P N E Z D -\n";
  text += "--cell SIZE     the grid's cell size (.asc, .tif, --compare)\n";
  text += "--base Z        volumes above and below the level Z (.txt, .json)\n";
  text += "--compare OTHER cut and fill from INPUT to the surface OTHER on the --cell grid (.txt, .json)\n";
  text += "--srs CODE      the coordinate reference system to state, for example EPSG:25832 (.tif, .gpkg, .shp)\n";
  return text;
}

int32_t parseExportCommandLine(int argc, char** argv, ExportOptions* options, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") return commandHelp;
    if (argument == "--version") return commandVersion;
    if (const char* value = optionValue(argument, "--size", argc, argv, &i)) {
      if (!wholeNumber(value, pictureSmallestSize, pictureLargestSize, &options->size)) {
        *problem = "--size takes a whole number of pixels from 200 to 16384";
        return commandUsage;
      }
    } else if (argument == "--mesh" || argument == "--points") {
      options->inputKind = argument == "--mesh" ? inputTriangleFile : inputPointsFile;
    } else if (const char* columns = optionValue(argument, "--columns", argc, argv, &i)) {
      if (!parseFieldColumns(columns, &options->columns, problem)) return commandUsage;
      options->inputKind = inputFieldFile;
    } else if (const char* cell = optionValue(argument, "--cell", argc, argv, &i)) {
      if (!finiteNumber(cell, &options->cell) || !(options->cell > 0.0)) {
        *problem = "--cell takes a positive size";
        return commandUsage;
      }
    } else if (const char* base = optionValue(argument, "--base", argc, argv, &i)) {
      if (!finiteNumber(base, &options->base)) {
        *problem = "--base takes a number, the level";
        return commandUsage;
      }
      options->hasBase = true;
    } else if (const char* other = optionValue(argument, "--compare", argc, argv, &i)) {
      if (*other == '\0') {
        *problem = "--compare takes the second surface's file";
        return commandUsage;
      }
      options->comparePath = other;
    } else if (const char* srs = optionValue(argument, "--srs", argc, argv, &i)) {
      if (*srs == '\0') {
        *problem = "--srs takes a code, for example EPSG:25832";
        return commandUsage;
      }
      options->srs = srs;
    } else if (argument.size() > 1 && argument[0] == '-') {
      *problem = "unknown option " + argument;
      return commandUsage;
    } else if (options->meshPath == nullptr) {
      options->meshPath = argv[i];
    } else if (options->outputPath == nullptr) {
      options->outputPath = argv[i];
    } else {
      *problem = "too many arguments";
      return commandUsage;
    }
  }
  if (options->outputPath == nullptr) return commandUsage;
  options->format = exportFormatOf(options->outputPath);
  if (options->format == formatUnknown) {
    *problem = "OUTPUT must end in " + availableList();
    return commandUsage;
  }
  if (!exportFormatInfo(options->format).available) {
    *problem = std::string("this build has no .") + exportFormatInfo(options->format).extension +
               " output; it writes " + availableList();
    return commandUsage;
  }
  const int32_t format = options->format;
  const bool grid = format == formatAsc || format == formatTif;
  const bool report = format == formatTxt || format == formatJson;
  if (grid && options->cell == 0.0) {
    *problem = "a .asc or .tif grid needs --cell SIZE";
    return commandUsage;
  }
  if ((options->hasBase || options->comparePath != nullptr) && !report) {
    *problem = "--base and --compare go with a .txt or .json report";
    return commandUsage;
  }
  if (options->comparePath != nullptr && options->cell == 0.0) {
    *problem = "--compare needs --cell SIZE, the grid the surfaces are compared on";
    return commandUsage;
  }
  if (options->srs != nullptr && format != formatTif && format != formatGpkg && format != formatShp) {
    *problem = "--srs goes with .tif, .gpkg and .shp";
    return commandUsage;
  }
  return commandRun;
}
