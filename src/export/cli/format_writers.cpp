#include "export/cli/format_writers.h"

#include <cstdio>

#include "export/cli/command_line.h"
#include "export/output.h"
#include "export/products/contours.h"
#include "export/products/difference_grid.h"
#include "export/products/elevation_grid.h"
#include "export/products/surface_difference.h"
#include "export/products/volumes.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/units.h"
#include "export/write/dxf.h"
#include "export/write/gdal_formats.h"
#include "export/write/geotiff.h"
#include "export/write/geojson.h"
#include "export/write/grid_ascii.h"
#include "export/write/mesh_formats.h"
#include "export/write/picture.h"
#include "export/write/profile_csv.h"
#include "export/write/report.h"
#include "export/write/terrain_page.h"
#include "platform/export_files.h"

namespace {

// Every face of the surface counts: --max-side has already left faces out.
const std::vector<uint8_t> everyFace;

std::string stem(const std::string& path) {
  const std::string name = exportBaseName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool writePicture(const ExportJob& job, int32_t format, ExportOutput* output, ExportProgress* progress,
                  std::string* message) {
  const ExportMesh& mesh = *job.surface;
  const ExportOptions& options = *job.options;
  PictureRequest request;
  // A sheet is meant for a client: tsvmesh's own statistic has no place on it.
  request.title = job.inputName + ": " + std::to_string(mesh.triangleCount) +
                  (mesh.triangleCount == 1 ? " triangle" : " triangles");
  request.format = format;
  request.size = options.size;
  request.flat = options.flat;
  request.units = options.units;
  request.contours = job.contours;
  request.paper = format == picturePdf ? options.paper : -1;
  request.scale = format == picturePdf ? options.scale : 0;
  request.fileName = job.inputName;
  request.date = job.dates.date;
  request.pdfDate = job.dates.pdfDate;
  std::string problem;
  if (writeMeshPicture(mesh, request, output, progress, &problem) || output->errorNumber != 0) return true;
  *message = std::string(job.outputPath) + ": cannot draw: " + problem;
  return false;
}

// The surface on the --cell grid; false with message set when it cannot be
// framed.
bool sampleGrid(const ExportJob& job, ExportGridFrame* frame, std::vector<double>* values, ExportProgress* progress,
                std::string* message) {
  if (job.other != nullptr) {
    // With --compare the grid is the difference, OTHER - INPUT, where both are.
    updateExportProgress(progress, "sampling", 0, 1);
    return sampleDifference(*job.surface, everyFace, *job.other, everyFace, job.options->cell, frame, values, message);
  }
  if (!frameSurface(*job.surface, everyFace, job.options->cell, frame, message)) return false;
  updateExportProgress(progress, "sampling", 0, 1);
  sampleSurface(*job.surface, everyFace, *frame, values);
  return true;
}

// Areas, heights, --base volumes and the --compare cut and fill.
bool measureReport(const ExportJob& job, ExportReport* report, ExportProgress* progress, std::string* message) {
  const ExportMesh& mesh = *job.surface;
  const ExportOptions& options = *job.options;
  report->surfaceName = job.inputName;
  report->triangleCount = mesh.triangleCount;
  report->unit = exportUnitsName(options.units);
  measureSurface(mesh, everyFace, options.hasBase, options.base, &report->measures);
  if (job.other == nullptr) return true;
  const auto view = [](const ExportMesh& surface) {
    return DifferenceSurface{surface.vertices.data(), surface.vertexCount, surface.corners.data(),
                             surface.triangleCount, nullptr};
  };
  updateExportProgress(progress, "comparing", 0, 1);
  const int32_t status = differenceOfSurfaces(view(mesh), view(*job.other), &report->difference);
  if (status == differenceApart) {
    *message = job.inputName + " and " + exportBaseName(options.comparePath) +
               " do not overlap: the two surfaces have no area in common";
    return false;
  }
  if (status != differenceDone) {
    *message = std::string(job.outputPath) + ": not enough memory to compare the surfaces";
    return false;
  }
  report->compared = true;
  report->otherName = exportBaseName(options.comparePath);
  return true;
}

bool writeGis(const ExportJob& job, int32_t kind, ExportOutput* output, ExportProgress* progress,
              std::string* message) {
  const GisContent content{job.contours, job.lines};
  if (writeGisFaces(*job.surface, everyFace, content, kind, job.options->srs, job.dates.pdfDate, output, progress,
                    message)) {
    return true;
  }
  *message = std::string(job.outputPath) + ": " + *message;
  return false;
}

}  // namespace

ExportDates exportDatesOf(const char* path) {
  const CalendarTime modified = fileModifiedUtc(path);
  ExportDates dates{};
  std::snprintf(dates.date, sizeof dates.date, "%04d-%02d-%02d", modified.year, modified.month, modified.day);
  std::snprintf(dates.time, sizeof dates.time, "%02d:%02d:%02d", modified.hour, modified.minute, modified.second);
  std::snprintf(dates.pdfDate, sizeof dates.pdfDate, "%sT%sZ", dates.date, dates.time);
  return dates;
}

std::string exportBaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writePngProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  return writePicture(job, picturePng, output, progress, message);
}

bool writeSvgProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  return writePicture(job, pictureSvg, output, progress, message);
}

bool writePdfProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  return writePicture(job, picturePdf, output, progress, message);
}

bool writePlyProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string*) {
  writePlyMesh(*job.surface, output, progress);
  return true;
}

bool writeObjProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string*) {
  writeObjMesh(*job.surface, output, progress);
  return true;
}

bool writeLandXmlProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string*) {
  writeLandXmlMesh(*job.surface, stem(job.options->meshPath), job.dates.date, job.dates.time, job.options->units,
                   output, progress);
  return true;
}

bool writePageProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string*) {
  writeTerrainPage(*job.surface, job.contours, job.inputName, output, progress);
  return true;
}

bool writeDxfProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string*) {
  writeDxf(*job.surface, job.contours, job.lines, job.options->units, output, progress);
  return true;
}

// A field file's points alone, when no contours were asked for.
bool writeGeoJsonProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                         std::string* message) {
  if (job.contours == nullptr && job.surface->surveyPoints.empty()) {
    *message = std::string(job.outputPath) +
               ": a .geojson holds contours (and a field file's points); add --contour INTERVAL";
    return false;
  }
  writeContourGeoJson(job.contours != nullptr ? *job.contours : ExportContours{}, job.surface->surveyPoints,
                      job.lines, job.options->srs, output, progress);
  return true;
}

bool writeAscProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  ExportGridFrame frame;
  std::vector<double> values;
  if (!sampleGrid(job, &frame, &values, progress, message)) return false;
  writeAsciiGrid(frame, values, output, progress);
  return true;
}

bool writeTifProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  ExportGridFrame frame;
  std::vector<double> values;
  if (!sampleGrid(job, &frame, &values, progress, message)) return false;
  if (writeGeoTiffGrid(frame, values, gridNodataValue(values), job.options->srs, output, progress, message)) {
    return true;
  }
  *message = std::string(job.outputPath) + ": " + *message;
  return false;
}

bool writeGpkgProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  return writeGis(job, gisGeoPackage, output, progress, message);
}

bool writeShpProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress, std::string* message) {
  return writeGis(job, gisShapefile, output, progress, message);
}

bool writeCsvProduct(const ExportJob& job, ExportOutput* output, ExportProgress*, std::string*) {
  writeProfileCsv(*job.profile, output);
  return true;
}

bool writeTextReportProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                            std::string* message) {
  ExportReport report;
  if (!measureReport(job, &report, progress, message)) return false;
  writeTextReport(report, output);
  return true;
}

bool writeJsonReportProduct(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                            std::string* message) {
  ExportReport report;
  if (!measureReport(job, &report, progress, message)) return false;
  writeJsonReport(report, output);
  return true;
}
