// tsvmesh-export: the triangle file written by tsvmesh as a picture or a
// file for other software, the format chosen by OUTPUT's extension.
#include <cstdio>
#include <string>
#include <vector>

#include "export/command_line.h"
#include "export/output.h"
#include "export/paper.h"
#include "export/products/contours.h"
#include "export/products/facing.h"
#include "export/products/mesh_edges.h"
#include "export/products/site_boundary.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "export/surface_outputs.h"
#include "export/write/dxf.h"
#include "export/write/geojson.h"
#include "export/write/mesh_formats.h"
#include "export/write/picture.h"
#include "export/write/terrain_page.h"
#include "platform/console.h"
#include "platform/export_files.h"

namespace {

constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

// Either separator on every system, so that a name gives the same bytes
// wherever it is exported.
std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& path) {
  const std::string name = baseName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string numberText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

int fail(const std::string& message) {
  printText(stderr, "tsvmesh-export: " + message + "\n");
  return exitFailed;
}

// Contours for the formats that show them; empty message when all went well.
std::string traceRequestedContours(const ExportMesh& mesh, const ExportOptions& options, ExportContours* contours,
                                   ExportProgress* progress) {
  ExportEdges edges;
  int32_t status = findMeshEdges(mesh, &edges) ? contourOk : contourTooLarge;
  if (status == contourOk) {
    status = traceContours(mesh, edges, options.contourInterval, options.contourIndexEvery, options.contourBase,
                           contours, progress);
  }
  if (status == contourOk) return "";
  char range[96];
  std::snprintf(range, sizeof range, "%.2f and %.2f", mesh.lowestZ, mesh.highestZ);
  if (status == contourTooManyLevels) {
    return "--contour " + numberText(options.contourInterval) + " gives more than " +
           std::to_string(contourMostLevels) + " levels between z " + range;
  }
  return "the mesh is too large to trace contours on";
}

// A plot at scale that does not fit its paper; empty when it fits or when
// no paper was asked for.
std::string paperProblem(const ExportMesh& mesh, const ExportOptions& options) {
  if (options.paper < 0 || paperPlot(mesh, options.paper, options.units, options.scale).fits) return "";
  const int32_t fitting = smallestFittingScale(mesh, options.paper, options.units);
  const std::string paper = "A" + std::to_string(options.paper);
  if (fitting == 0) return "the mesh does not fit on " + paper + " at any scale";
  return "the mesh does not fit on " + paper + " at 1:" + std::to_string(options.scale) +
         "; the smallest standard scale that fits is 1:" + std::to_string(fitting);
}

// Dates inside the files come from the mesh file, not the clock, so the
// same file always gives the same bytes.
struct FileDates {
  char date[32];     // YYYY-MM-DD
  char time[32];     // hh:mm:ss
  char pdfDate[80];  // YYYY-MM-DDThh:mm:ssZ
};

FileDates fileDates(const char* path) {
  const CalendarTime modified = fileModifiedUtc(path);
  FileDates dates{};
  std::snprintf(dates.date, sizeof dates.date, "%04d-%02d-%02d", modified.year, modified.month, modified.day);
  std::snprintf(dates.time, sizeof dates.time, "%02d:%02d:%02d", modified.hour, modified.minute, modified.second);
  std::snprintf(dates.pdfDate, sizeof dates.pdfDate, "%sT%sZ", dates.date, dates.time);
  return dates;
}

bool writePicture(const ExportMesh& mesh, const ExportContours* contours, const ExportOptions& options,
                  const FileDates& dates, ExportOutput* output, ExportProgress* progress, std::string* message) {
  const int32_t format = options.format;
  PictureRequest request;
  request.title = baseName(options.meshPath) + ": " + std::to_string(mesh.triangleCount) +
                  (mesh.triangleCount == 1 ? " triangle" : " triangles") + ", average longest side " +
                  (mesh.averageKnown ? std::to_string(mesh.averageSide) : "out of range");
  request.format = format == formatPng ? picturePng : format == formatSvg ? pictureSvg : picturePdf;
  request.size = options.size;
  request.flat = options.flat;
  request.units = options.units;
  request.contours = contours;
  request.paper = options.paper;
  request.scale = options.scale;
  request.fileName = baseName(options.meshPath);
  request.date = dates.date;
  request.pdfDate = dates.pdfDate;
  std::string problem;
  if (writeMeshPicture(mesh, request, output, progress, &problem) || output->errorNumber != 0) return true;
  *message = std::string(options.outputPath) + ": cannot draw: " + problem;
  return false;
}

// Writes the chosen format into output; false with message set when the
// product could not be made (a write failure shows in output instead).
bool writeFormat(const ExportMesh& mesh, const ExportContours* contours, const ExportOptions& options,
                 ExportOutput* output, ExportProgress* progress, std::string* message) {
  const char* meshPath = options.meshPath;
  const FileDates dates = fileDates(meshPath);
  switch (options.format) {
    case formatAsc:
    case formatTif: return writeGridOutput(mesh, options, output, progress, message);
    case formatTxt:
    case formatJson: return writeReportOutput(mesh, options, meshPath, output, progress, message);
    case formatGpkg:
    case formatShp: return writeGisOutput(mesh, contours, options, dates.pdfDate, output, progress, message);
    case formatPly: writePlyMesh(mesh, output, progress); return true;
    case formatObj: writeObjMesh(mesh, output, progress); return true;
    case formatXml:
      writeLandXmlMesh(mesh, stem(meshPath), dates.date, dates.time, options.units, output, progress);
      return true;
    case formatHtml: writeTerrainPage(mesh, contours, baseName(meshPath), output, progress); return true;
    case formatDxf: writeDxf(mesh, contours, options.units, output, progress); return true;
    case formatGeoJson:
      // A field file's points alone, when no contours were asked for.
      writeContourGeoJson(contours != nullptr ? *contours : ExportContours{}, mesh.surveyPoints, options.srs, output,
                          progress);
      return true;
    default: return writePicture(mesh, contours, options, dates, output, progress, message);
  }
}

// The formats that show contours when --contour is given.
bool showsContours(int32_t format) {
  return format == formatDxf || format == formatGeoJson || format == formatHtml || format == formatGpkg ||
         format == formatPng || format == formatSvg || format == formatPdf;
}

int run(int argc, char** argv) {
  ExportOptions options;
  std::string usageProblem;
  switch (parseExportCommandLine(argc, argv, &options, &usageProblem)) {
    case commandHelp: std::fputs(exportUsageText().c_str(), stdout); return 0;
    case commandVersion: std::puts("tsvmesh-export " TSVMESH_VERSION); return 0;
    case commandUsage:
      if (!usageProblem.empty()) printText(stderr, "tsvmesh-export: " + usageProblem + "\n");
      std::fputs(exportUsageText().c_str(), stderr);
      return exitUsage;
    default: break;
  }
  const char* meshPath = options.meshPath;
  const char* outputPath = options.outputPath;
  if (pathsNameOneFile(meshPath, outputPath)) {
    return fail(std::string(outputPath) + " is the input file; choose another output name");
  }

  ExportProgress progress;
  startExportProgress(&progress);
  ExportMesh mesh;
  ExportReadError error;
  if (!readExportInput(meshPath, options.inputKind, options.columns, &mesh, &error, &progress)) {
    endExportProgress(&progress);
    if (error.line > 0) return fail(std::string(meshPath) + ":" + std::to_string(error.line) + ": " + error.message);
    return fail(std::string(meshPath) + ": " + error.message);
  }
  if (options.maxSide > 0.0) dropLongTriangles(&mesh, options.maxSide);
  orientFacesUpward(&mesh);

  ExportContours contours;
  const bool drawsContours = options.contourInterval > 0.0 && showsContours(options.format);
  std::string message = drawsContours ? traceRequestedContours(mesh, options, &contours, &progress) : "";
  if (message.empty()) message = paperProblem(mesh, options);
  if (!message.empty()) {
    endExportProgress(&progress);
    return fail(message);
  }

  ExportOutput output;
  if (!openExportOutput(outputPath, &output)) {
    endExportProgress(&progress);
    return fail(std::string(outputPath) + ": cannot create: " + systemErrorText(output.errorNumber));
  }
  const bool made = writeFormat(mesh, drawsContours ? &contours : nullptr, options, &output, &progress, &message);
  endExportProgress(&progress);
  if (!made) {
    abandonExportOutput(&output);
    return fail(message);
  }
  if (!finishExportOutput(&output)) {
    return fail(std::string(outputPath) + ": cannot write: " + systemErrorText(output.errorNumber));
  }
  return 0;
}

}  // namespace

// On Windows the arguments come from the wide command line, so any name
// works whatever the code page.
int main(int argc, char** argv) {
  std::vector<std::string> arguments = commandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return run(static_cast<int>(arguments.size()), pointers.data());
}
