#include "export/surface_outputs.h"

#include "export/command_line.h"
#include "export/output.h"
#include "export/progress.h"
#include "export/products/elevation_grid.h"
#include "export/products/site_boundary.h"
#include "export/products/volumes.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "export/units.h"
#include "export/write/grid_ascii.h"
#include "export/write/report.h"
#include "export/write/gdal_formats.h"
#include "export/write/geotiff.h"

namespace {

// --max-side has already left out faces: every face that is left counts.
const std::vector<uint8_t> everyFace;

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool writeGridOutput(const ExportMesh& mesh, const ExportOptions& options, ExportOutput* output,
                     ExportProgress* progress, std::string* message) {
  ExportGridFrame frame;
  if (!frameSurface(mesh, everyFace, options.cell, &frame, message)) return false;
  std::vector<double> values;
  updateExportProgress(progress, "sampling", 0, 1);
  sampleSurface(mesh, everyFace, frame, &values);
  if (options.format == formatAsc) {
    writeAsciiGrid(frame, values, output, progress);
    return true;
  }
  if (!writeGeoTiffGrid(frame, values, gridNodataValue(values), options.srs, output, progress, message)) {
    *message = std::string(options.outputPath) + ": " + *message;
    return false;
  }
  return true;
}

bool writeReportOutput(const ExportMesh& mesh, const ExportOptions& options, const std::string& surfaceName,
                       ExportOutput* output, ExportProgress* progress, std::string* message) {
  ExportReport report;
  report.surfaceName = baseName(surfaceName);
  report.triangleCount = mesh.triangleCount;
  report.unit = exportUnitsName(options.units);
  measureSurface(mesh, everyFace, options.hasBase, options.base, &report.measures);
  if (options.comparePath != nullptr) {
    ExportMesh other;
    ExportReadError error;
    if (!readExportInput(options.comparePath, options.inputKind, options.columns, &other, &error, progress)) {
      *message = options.comparePath;
      if (error.line > 0) *message += ':' + std::to_string(error.line);
      *message += ": " + error.message;
      return false;
    }
    if (options.maxSide > 0.0) dropLongTriangles(&other, options.maxSide);
    ExportGridFrame first, second, frame;
    if (!frameSurface(mesh, everyFace, options.cell, &first, message) ||
        !frameSurface(other, everyFace, options.cell, &second, message) ||
        !uniteFrames(first, second, &frame, message)) {
      return false;
    }
    std::vector<double> before, after;
    updateExportProgress(progress, "sampling", 0, 2);
    sampleSurface(mesh, everyFace, frame, &before);
    updateExportProgress(progress, "sampling", 1, 2);
    sampleSurface(other, everyFace, frame, &after);
    compareGrids(frame, before, after, &report.comparison);
    report.compared = true;
    report.otherName = baseName(options.comparePath);
  }
  if (options.format == formatJson) {
    writeJsonReport(report, output);
  } else {
    writeTextReport(report, output);
  }
  return true;
}

bool writeGisOutput(const ExportMesh& mesh, const ExportContours* contours, const ExportOptions& options,
                    const char* timestamp, ExportOutput* output, ExportProgress* progress, std::string* message) {
  const int32_t kind = options.format == formatShp ? gisShapefile : gisGeoPackage;
  if (!writeGisFaces(mesh, everyFace, contours, kind, options.srs, timestamp, output, progress, message)) {
    *message = std::string(options.outputPath) + ": " + *message;
    return false;
  }
  return true;
}
