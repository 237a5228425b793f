// tsvmesh-export MESH.csv OUTPUT [--size PIXELS]: the triangle file written
// by tsvmesh as a picture (PNG, SVG, PDF) or a mesh for other software
// (PLY, OBJ, LandXML), the format chosen by OUTPUT's extension.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "export/export_formats.h"
#include "export/export_mesh.h"
#include "export/export_output.h"
#include "export/export_picture.h"
#include "export/export_progress.h"

namespace {

enum ExportFormat : int32_t { formatPng, formatSvg, formatPdf, formatPly, formatObj, formatXml, formatUnknown };

constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

const char usageText[] =
    "usage: tsvmesh-export MESH.csv OUTPUT [--size PIXELS]\n"
    "OUTPUT's extension chooses the format: .png .svg .pdf (a picture, PIXELS on the\n"
    "longer side, default 1600), .ply (binary PLY), .obj (Wavefront OBJ), .xml (LandXML 1.2)\n";

int usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "tsvmesh-export: %s\n", problem);
  std::fputs(usageText, stderr);
  return exitUsage;
}

int32_t formatOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return formatUnknown;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  static const char* const names[] = {"png", "svg", "pdf", "ply", "obj", "xml"};
  for (int32_t f = 0; f < formatUnknown; ++f) {
    if (extension == names[f]) return f;
  }
  return formatUnknown;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& path) {
  const std::string name = baseName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int fail(const std::string& message) {
  std::fprintf(stderr, "tsvmesh-export: %s\n", message.c_str());
  return exitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const char* meshPath = nullptr;
  const char* outputPath = nullptr;
  int32_t size = pictureDefaultSize;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(usageText, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::puts("tsvmesh-export " TSVMESH_VERSION);
      return 0;
    }
    if (argument == "--size" || argument.rfind("--size=", 0) == 0) {
      const char* value = argument == "--size" ? (i + 1 < argc ? argv[++i] : "") : argv[i] + 7;
      char* end = nullptr;
      errno = 0;
      const long parsed = std::strtol(value, &end, 10);
      if (errno != 0 || end == value || *end != '\0' || parsed < pictureSmallestSize ||
          parsed > pictureLargestSize) {
        return usage("--size takes a whole number of pixels from 200 to 16384");
      }
      size = static_cast<int32_t>(parsed);
    } else if (argument.size() > 1 && argument[0] == '-') {
      return usage(("unknown option " + argument).c_str());
    } else if (meshPath == nullptr) {
      meshPath = argv[i];
    } else if (outputPath == nullptr) {
      outputPath = argv[i];
    } else {
      return usage("too many arguments");
    }
  }
  if (outputPath == nullptr) return usage(nullptr);
  const int32_t format = formatOf(outputPath);
  if (format == formatUnknown) return usage("OUTPUT must end in .png, .svg, .pdf, .ply, .obj or .xml");

  struct stat meshInfo {};
  struct stat outputInfo {};
  if (stat(meshPath, &meshInfo) == 0 && stat(outputPath, &outputInfo) == 0 &&
      meshInfo.st_dev == outputInfo.st_dev && meshInfo.st_ino == outputInfo.st_ino) {
    return fail(std::string(outputPath) + " is the input file; choose another output name");
  }

  ExportProgress progress;
  startExportProgress(&progress);
  ExportMesh mesh;
  ExportReadError error;
  if (!readExportMesh(meshPath, &mesh, &error, &progress)) {
    endExportProgress(&progress);
    if (error.line > 0) return fail(std::string(meshPath) + ":" + std::to_string(error.line) + ": " + error.message);
    return fail(std::string(meshPath) + ": " + error.message);
  }

  ExportOutput output;
  if (!openExportOutput(outputPath, &output)) {
    endExportProgress(&progress);
    return fail(std::string(outputPath) + ": cannot create: " + std::strerror(output.errorNumber));
  }

  // Dates inside the files come from the mesh file, not the clock, so the
  // same file always gives the same bytes.
  tm modified{};
  const time_t seconds = meshInfo.st_mtime;
  gmtime_r(&seconds, &modified);
  char date[16], time[16], pdfDate[32];
  std::strftime(date, sizeof date, "%Y-%m-%d", &modified);
  std::strftime(time, sizeof time, "%H:%M:%S", &modified);
  std::strftime(pdfDate, sizeof pdfDate, "%Y-%m-%dT%H:%M:%SZ", &modified);

  std::string problem;
  bool drawn = true;
  switch (format) {
    case formatPly: writePlyMesh(mesh, &output, &progress); break;
    case formatObj: writeObjMesh(mesh, &output, &progress); break;
    case formatXml: writeLandXmlMesh(mesh, stem(meshPath), date, time, &output, &progress); break;
    default: {
      const std::string title = baseName(meshPath) + ": " + std::to_string(mesh.triangleCount) +
                                (mesh.triangleCount == 1 ? " triangle" : " triangles") +
                                ", average longest side " +
                                (mesh.averageKnown ? std::to_string(mesh.averageSide) : "out of range");
      const int32_t kind = format == formatPng ? picturePng : format == formatSvg ? pictureSvg : picturePdf;
      drawn = writeMeshPicture(mesh, title, size, kind, pdfDate, &output, &progress, &problem);
    }
  }
  endExportProgress(&progress);
  if (!drawn && output.errorNumber == 0) {
    abandonExportOutput(&output);
    return fail(std::string(outputPath) + ": cannot draw: " + problem);
  }
  if (!finishExportOutput(&output)) {
    return fail(std::string(outputPath) + ": cannot write: " + std::strerror(output.errorNumber));
  }
  return 0;
}
