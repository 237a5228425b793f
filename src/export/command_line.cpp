#include "export/command_line.h"

#include <cerrno>
#include <cstdlib>

#include "export/write/picture.h"

namespace {

const ExportFormatInfo formatTable[] = {
    {"png", "a picture from above (PNG)", true},
    {"svg", "the picture as SVG", true},
    {"pdf", "the picture as PDF", true},
    {"ply", "binary PLY mesh", true},
    {"obj", "Wavefront OBJ mesh", true},
    {"xml", "LandXML 1.2 TIN surface", true},
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
      "usage: tsvmesh-export MESH.csv OUTPUT [--size PIXELS]\n"
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
  return commandRun;
}
