// tsvmesh-export: the triangle file written by tsvmesh as a picture or a
// file for other software, the format chosen by OUTPUT's extension.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
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
  std::fprintf(stderr, "tsvmesh-export: %s\n", message.c_str());
  return exitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  ExportOptions options;
  std::string usageProblem;
  switch (parseExportCommandLine(argc, argv, &options, &usageProblem)) {
    case commandHelp: std::fputs(exportUsageText().c_str(), stdout); return 0;
    case commandVersion: std::puts("tsvmesh-export " TSVMESH_VERSION); return 0;
    case commandUsage:
      if (!usageProblem.empty()) std::fprintf(stderr, "tsvmesh-export: %s\n", usageProblem.c_str());
      std::fputs(exportUsageText().c_str(), stderr);
      return exitUsage;
    default: break;
  }
  const char* meshPath = options.meshPath;
  const char* outputPath = options.outputPath;
  const int32_t format = options.format;
  const int32_t size = options.size;

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
  if (!readExportInput(meshPath, options.inputKind, options.columns, &mesh, &error, &progress)) {
    endExportProgress(&progress);
    if (error.line > 0) return fail(std::string(meshPath) + ":" + std::to_string(error.line) + ": " + error.message);
    return fail(std::string(meshPath) + ": " + error.message);
  }

  if (options.maxSide > 0.0) dropLongTriangles(&mesh, options.maxSide);
  orientFacesUpward(&mesh);
  ExportContours contours;
  const bool drawsContours = options.contourInterval > 0.0 && format != formatPly && format != formatObj &&
                             format != formatXml && format != formatAsc && format != formatTif &&
                             format != formatShp && format != formatTxt && format != formatJson;
  if (drawsContours) {
    ExportEdges edges;
    int32_t status = findMeshEdges(mesh, &edges) ? contourOk : contourTooLarge;
    if (status == contourOk) {
      status = traceContours(mesh, edges, options.contourInterval, options.contourIndexEvery, options.contourBase,
                             &contours, &progress);
    }
    if (status != contourOk) {
      endExportProgress(&progress);
      char range[96];
      std::snprintf(range, sizeof range, "%.2f and %.2f", mesh.lowestZ, mesh.highestZ);
      if (status == contourTooManyLevels) {
        return fail("--contour " + numberText(options.contourInterval) + " gives more than " +
                    std::to_string(contourMostLevels) + " levels between z " + range);
      }
      return fail("the mesh is too large to trace contours on");
    }
  }

  if (options.paper >= 0 && !paperPlot(mesh, options.paper, options.units, options.scale).fits) {
    endExportProgress(&progress);
    const int32_t fitting = smallestFittingScale(mesh, options.paper, options.units);
    const std::string paper = "A" + std::to_string(options.paper);
    if (fitting == 0) return fail("the mesh does not fit on " + paper + " at any scale");
    return fail("the mesh does not fit on " + paper + " at 1:" + std::to_string(options.scale) +
                "; the smallest standard scale that fits is 1:" + std::to_string(fitting));
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
  std::string message;
  bool made = true;
  switch (format) {
    case formatAsc:
    case formatTif: made = writeGridOutput(mesh, options, &output, &progress, &message); break;
    case formatTxt:
    case formatJson: made = writeReportOutput(mesh, options, meshPath, &output, &progress, &message); break;
    case formatGpkg:
    case formatShp:
      made = writeGisOutput(mesh, drawsContours ? &contours : nullptr, options, pdfDate, &output, &progress,
                            &message);
      break;
    case formatPly: writePlyMesh(mesh, &output, &progress); break;
    case formatObj: writeObjMesh(mesh, &output, &progress); break;
    case formatXml: writeLandXmlMesh(mesh, stem(meshPath), date, time, options.units, &output, &progress); break;
    case formatDxf: writeDxf(mesh, drawsContours ? &contours : nullptr, options.units, &output, &progress); break;
    case formatGeoJson:
      writeContourGeoJson(contours, mesh.surveyPoints, options.srs, &output, &progress);
      break;
    default: {
      PictureRequest request;
      request.title = baseName(meshPath) + ": " + std::to_string(mesh.triangleCount) +
                      (mesh.triangleCount == 1 ? " triangle" : " triangles") + ", average longest side " +
                      (mesh.averageKnown ? std::to_string(mesh.averageSide) : "out of range");
      request.format = format == formatPng ? picturePng : format == formatSvg ? pictureSvg : picturePdf;
      request.size = size;
      request.flat = options.flat;
      request.units = options.units;
      request.contours = drawsContours ? &contours : nullptr;
      request.paper = options.paper;
      request.scale = options.scale;
      request.fileName = baseName(meshPath);
      request.date = date;
      request.pdfDate = pdfDate;
      drawn = writeMeshPicture(mesh, request, &output, &progress, &problem);
    }
  }
  endExportProgress(&progress);
  if (!made) {
    abandonExportOutput(&output);
    return fail(message);
  }
  if (!drawn && output.errorNumber == 0) {
    abandonExportOutput(&output);
    return fail(std::string(outputPath) + ": cannot draw: " + problem);
  }
  if (!finishExportOutput(&output)) {
    return fail(std::string(outputPath) + ": cannot write: " + std::strerror(output.errorNumber));
  }
  return 0;
}
