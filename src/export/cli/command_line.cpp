#include "export/cli/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "export/cli/formats.h"
#include "export/paper.h"
#include "export/surface/surface.h"
#include "export/read/field_file.h"
#include "export/read/points_input.h"
#include "export/units.h"
#include "export/write/picture.h"

namespace {

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

// "CODE,CODE,...", each code not empty, appended to codes.
bool codeList(const char* text, std::vector<std::string>* codes) {
  const std::string list = text;
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    if (comma == start) return false;
    codes->push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
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

}  // namespace

namespace {

// The options a format takes, with their lines of --help. An option whose
// use bit no output of a run has is refused.
struct OptionRow {
  const char* name;
  uint32_t use;  // 0: the input's, taken by every run
  const char* help;
};

const OptionRow optionTable[] = {
    {"--size", usePicture, "--size PIXELS  a picture's longer side, 200 to 16384 (default 1600)"},
    {"--contour", useContours,
     "--contour INTERVAL[,INDEX]  contours every INTERVAL in z, every INDEX-th (default 5) an index contour"},
    {"--contour-base", useContours, "--contour-base Z  the level the contours count from (default 0)"},
    {"--max-side", 0, "--max-side LENGTH  leave out every triangle with a side longer than LENGTH in x-y"},
    {"--units", useUnits, "--units m|ft|usft  the ground unit the outputs declare (default m)"},
    {"--flat", usePicture, "--flat  pictures in plain colours, without hillshade"},
    {"--paper", usePaper, "--paper A4|A3|A2|A1|A0 --scale N  a PDF plan on that paper at 1:N"},
    {"--scale", usePaper, nullptr},
    {"--mesh", 0, "--mesh, --points  read INPUT as a triangle file, or as a points file, whatever it looks like"},
    {"--points", 0, nullptr},
    {"--columns", 0, "--columns LETTERS  INPUT is a comma-separated field file with these columns: P N E Z D - (no header row)"},
    {"--breaklines", 0, "--breaklines FILE  polylines (x y z a line, a blank line between; or DXF) the surface follows; "
                        "repeatable"},
    {"--border", 0, "--border FILE  the polygon the surface stops at (points outside are left out)"},
    {"--holes", 0, "--holes FILE  polygons cut out of the surface (buildings, ponds)"},
    {"--as-meshed", 0, "--as-meshed  a triangle file's triangles exactly as they are, without those its hull lacks"},
    {"--leave-out", 0, "--leave-out CODE,...  a field file's points with these codes stay on the plan but off the surface"},
    {"--lines", useLines, "--lines CODE,...  3D lines joining a field file's points whose code begins with CODE"},
    {"--cell", useCell, "--cell SIZE     the grid's cell size"},
    {"--base", useReport, "--base Z        volumes above and below the level Z"},
    {"--compare", useCompare, "--compare OTHER exact cut and fill from INPUT to the surface OTHER; with a grid, OTHER - INPUT"},
    {"--profile", useProfile, "--profile FILE  long sections along FILE's polylines (x y a line, blank lines between)"},
    {"--srs", useSrs, "--srs CODE      the coordinate reference system to state, for example EPSG:25832"},
};

const OptionRow* optionRowOf(const std::string& argument) {
  const std::string name = argument.substr(0, argument.find('='));
  for (const OptionRow& row : optionTable) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

}  // namespace

std::string exportUsageText() {
  std::string text =
      "usage: tsvmesh-export INPUT OUTPUT... [options]\n"
      "INPUT is a triangle file, a points file or a field file (told apart by content; a field file's first\n"
      "row names its columns, or --columns does).\n"
      "Each OUTPUT's extension chooses its format; the surface is built once for all of them:\n";
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    const ExportFormat& format = exportFormatAt(f);
    if (!format.available) continue;
    const std::string extension = format.extension;
    text += "  ." + extension + std::string(extension.size() < 8 ? 8 - extension.size() : 1, ' ');
    text += format.description;
    text += "\n";
  }
  text += "Options (each is refused when no OUTPUT uses it):\n";
  for (const OptionRow& row : optionTable) {
    if (row.help == nullptr) continue;
    text += row.help;
    if (row.use != 0) text += " (" + exportFormatsUsing(row.use) + ")";
    text += "\n";
  }
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

// The options of the input and of the surface made from it.
ArgumentResult takeSurveyOption(const std::string& argument, int argc, char** argv, int* i, ExportOptions* options,
                                std::string* problem) {
  if (argument == "--mesh" || argument == "--points") {
    if (options->inputKind != inputByContent) return wrong(problem, "--mesh, --points and --columns exclude each other");
    options->inputKind = argument == "--mesh" ? inputTriangleFile : inputPointsFile;
    return argumentTaken;
  }
  if (const char* columns = optionValue(argument, "--columns", argc, argv, i)) {
    if (options->inputKind != inputByContent) return wrong(problem, "--mesh, --points and --columns exclude each other");
    if (!parseFieldColumns(columns, &options->columns, problem)) return argumentWrong;
    options->inputKind = inputFieldFile;
    return argumentTaken;
  }
  if (const char* file = optionValue(argument, "--breaklines", argc, argv, i)) {
    if (*file == '\0') return wrong(problem, "--breaklines takes a file of polylines");
    options->breaklines.push_back(file);
    return argumentTaken;
  }
  for (const char* name : {"--border", "--holes"}) {
    if (const char* file = optionValue(argument, name, argc, argv, i)) {
      const char*& slot = name[2] == 'b' ? options->border : options->holes;
      if (*file == '\0' || slot != nullptr) {
        return wrong(problem, name[2] == 'b' ? "--border takes one file" : "--holes takes one file");
      }
      slot = file;
      return argumentTaken;
    }
  }
  if (argument == "--as-meshed") {
    options->asMeshed = true;
    return argumentTaken;
  }
  return argumentNotMine;
}

// The options of the grids, the reports, the field book and the GIS formats.
ArgumentResult takeProductOption(const std::string& argument, int argc, char** argv, int* i, ExportOptions* options,
                                 std::string* problem) {
  if (const char* codes = optionValue(argument, "--leave-out", argc, argv, i)) {
    if (codeList(codes, &options->leaveOut)) return argumentTaken;
    return wrong(problem, "--leave-out takes codes separated by commas, for example TREE,SIGN");
  }
  if (const char* codes = optionValue(argument, "--lines", argc, argv, i)) {
    if (codeList(codes, &options->lines)) return argumentTaken;
    return wrong(problem, "--lines takes codes separated by commas, for example KERB,FENCE");
  }
  if (const char* cell = optionValue(argument, "--cell", argc, argv, i)) {
    if (decimalNumber(cell, false, &options->cell)) return argumentTaken;
    return wrong(problem, "--cell takes a positive size");
  }
  if (const char* base = optionValue(argument, "--base", argc, argv, i)) {
    if (!decimalNumber(base, true, &options->base) || !coordinateInRange(options->base)) {
      return wrong(problem, "--base takes a number within -1e90 .. 1e90, the level");
    }
    options->hasBase = true;
    return argumentTaken;
  }
  if (const char* other = optionValue(argument, "--compare", argc, argv, i)) {
    if (*other == '\0') return wrong(problem, "--compare takes the second surface's file");
    options->comparePath = other;
    return argumentTaken;
  }
  if (const char* profile = optionValue(argument, "--profile", argc, argv, i)) {
    if (*profile == '\0') return wrong(problem, "--profile takes a file of polylines");
    options->profilePath = profile;
    return argumentTaken;
  }
  if (const char* srs = optionValue(argument, "--srs", argc, argv, i)) {
    if (*srs == '\0') return wrong(problem, "--srs takes a code, for example EPSG:25832");
    options->srs = srs;
    return argumentTaken;
  }
  return argumentNotMine;
}


// Each output's format: known and built into this program.
bool formatsKnown(ExportOptions* options, std::string* problem) {
  for (const char* path : options->outputPaths) {
    const ExportFormat* format = exportFormatOf(path);
    if (format == nullptr) {
      *problem = std::string(path) + ": OUTPUT must end in " + exportAvailableList();
      return false;
    }
    if (!format->available) {
      *problem = std::string("this build has no .") + format->extension + " output; it writes " +
                 exportAvailableList();
      return false;
    }
    options->formats.push_back(format);
  }
  return true;
}

// Every option given is taken by some output, and every output has what it
// needs.
const char* optionsAgree(const ExportOptions& options, uint32_t uses) {
  if ((options.paper >= 0) != (options.scale > 0)) return "--paper and --scale go together";
  if ((uses & needsCell) != 0 && options.cell == 0.0) return "a .asc or .tif grid needs --cell SIZE";
  if ((uses & needsProfile) != 0 && options.profilePath == nullptr) return "a .csv long section needs --profile FILE";
  return nullptr;
}

bool outputsTakeOptions(const ExportOptions& options, const std::vector<std::string>& given, std::string* problem) {
  uint32_t uses = 0;
  for (const ExportFormat* format : options.formats) uses |= format->uses;
  for (const std::string& name : given) {
    const OptionRow* row = optionRowOf(name);
    if (row->use == 0 || (uses & row->use) != 0) continue;
    *problem = name + " goes with " + exportFormatsUsing(row->use) + "; no OUTPUT here uses it";
    return false;
  }
  const char* text = optionsAgree(options, uses);
  if (text != nullptr) *problem = text;
  return text == nullptr;
}

}  // namespace

int32_t parseExportCommandLine(int argc, char** argv, ExportOptions* options, std::string* problem) {
  std::vector<std::string> given;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") return commandHelp;
    if (argument == "--version") return commandVersion;
    ArgumentResult result = takeDrawingOption(argument, argc, argv, &i, options, problem);
    if (result == argumentNotMine) result = takeSurveyOption(argument, argc, argv, &i, options, problem);
    if (result == argumentNotMine) result = takeProductOption(argument, argc, argv, &i, options, problem);
    if (result == argumentWrong) return commandUsage;
    if (result == argumentTaken) {
      given.push_back(argument.substr(0, argument.find('=')));
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      *problem = "unknown option " + argument;
      return commandUsage;
    }
    if (options->meshPath == nullptr) {
      options->meshPath = argv[i];
    } else {
      options->outputPaths.push_back(argv[i]);
    }
  }
  if (options->outputPaths.empty()) {
    *problem = options->meshPath == nullptr ? "no INPUT and no OUTPUT given" : "no OUTPUT given";
    return commandUsage;
  }
  if (!formatsKnown(options, problem) || !outputsTakeOptions(*options, given, problem)) return commandUsage;
  return commandRun;
}
