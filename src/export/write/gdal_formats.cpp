#include "export/write/gdal_formats.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include "export/output.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/write/geotiff.h"
#include "export/write/gis_features.h"

namespace {

constexpr const char* memoryFolder = "/vsimem/tsvmesh-export/";

std::string lastGdalError(const char* what) {
  const char* message = CPLGetLastErrorMsg();
  return std::string(what) + (message != nullptr && *message != '\0' ? std::string(": ") + message : "");
}

// A reference system from the user's code; nullptr with problem filled
// when GDAL does not know it.
OGRSpatialReferenceH referenceSystem(const char* srs, std::string* problem) {
  OGRSpatialReferenceH reference = OSRNewSpatialReference(nullptr);
  if (OSRSetFromUserInput(reference, srs) != OGRERR_NONE) {
    OSRDestroySpatialReference(reference);
    *problem = std::string("--srs ") + srs + " is no reference system GDAL knows";
    return nullptr;
  }
  // x is easting and y northing whatever the system's official axis order.
  OSRSetAxisMappingStrategy(reference, OAMS_TRADITIONAL_GIS_ORDER);
  return reference;
}

// Moves the in-memory file at memoryPath into output, and drops it.
bool moveMemoryFile(const std::string& memoryPath, ExportOutput* output) {
  vsi_l_offset length = 0;
  GByte* bytes = VSIGetMemFileBuffer(memoryPath.c_str(), &length, TRUE);
  if (bytes == nullptr) return false;
  writeExportBytes(output, reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  CPLFree(bytes);
  return true;
}

// ": " and the system's reason, or nothing when it gave none.
std::string systemReason(int32_t code) { return code != 0 ? ": " + systemErrorText(code) : std::string(); }

void quietGdal() {
  static bool registered = false;
  if (!registered) {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    registered = true;
  }
  CPLErrorReset();
}

// Closing writes what is still pending; a failure shows only as an error.
bool closeDataset(GDALDatasetH dataset) {
  CPLErrorReset();
  GDALClose(dataset);
  return CPLGetLastErrorType() < CE_Failure;
}

// Points the GeoPackage's layers to its undefined Cartesian system (-1):
// GDAL gives a layer without a system the undefined geographic one (0),
// whose latitude-first axes would swap x and y.
bool declareUndefinedCartesian(GDALDatasetH dataset) {
  CPLErrorReset();
  GDALDatasetExecuteSQL(dataset, "UPDATE gpkg_geometry_columns SET srs_id = -1", nullptr, nullptr);
  GDALDatasetExecuteSQL(dataset, "UPDATE gpkg_contents SET srs_id = -1 WHERE data_type = 'features'", nullptr,
                        nullptr);
  return CPLGetLastErrorType() < CE_Failure;
}

// The layers a GIS file may hold, in the order they are written; a
// Shapefile holds one, so each goes to a set of files of its own.
enum GisLayer : int32_t { gisFaces, gisContours, gisPoints, gisLines, gisLayerCount };
constexpr const char* gisLayerNames[gisLayerCount] = {"faces", "contours", "points", "lines"};
constexpr OGRwkbGeometryType gisLayerTypes[gisLayerCount] = {wkbPolygon25D, wkbLineString25D, wkbPoint25D,
                                                             wkbLineString25D};

// A Shapefile's files besides the .shp, as GDAL may make them.
constexpr const char* shapefileParts[] = {"shx", "dbf", "prj", "cpg"};
constexpr int32_t shapefilePartCount = sizeof shapefileParts / sizeof shapefileParts[0];

// One file of the Shapefile sets: where GDAL made it and where it goes.
struct ShapefileFile {
  std::string memory;
  std::string path;
  bool made = false;
};

// Every file of the sets for the layers in written besides the faces' .shp
// (which is output's): each set's other parts beside output's path, and
// the other layers' sets at "<stem>_<layer>.shp" (the extensions in upper
// case when output's is).
std::vector<ShapefileFile> shapefileFiles(const bool written[gisLayerCount], const std::string& path) {
  const bool upper = path.size() >= 3 && path[path.size() - 1] == 'P';
  const std::string stem = path.substr(0, path.size() - 4);
  std::vector<ShapefileFile> files;
  for (int32_t layer = 0; layer < gisLayerCount; ++layer) {
    if (!written[layer]) continue;
    const std::string memoryStem = std::string(memoryFolder) + gisLayerNames[layer];
    const std::string pathStem = layer == gisFaces ? stem : stem + "_" + gisLayerNames[layer];
    for (int32_t i = layer == gisFaces ? 1 : 0; i <= shapefilePartCount; ++i) {
      std::string extension = i == 0 ? "shp" : shapefileParts[i - 1];
      ShapefileFile file;
      file.memory = memoryStem + "." + extension;
      for (char& ch : extension) ch = upper ? static_cast<char>(ch - 'a' + 'A') : ch;
      file.path = pathStem + "." + extension;
      files.push_back(file);
    }
  }
  return files;
}

// Puts the files of the Shapefile sets in place: each is written out of
// sight first; only when they and the .shp are complete does a part a set
// lacks go (a stale .prj would claim a system the data do not have), and
// do the files take their places, a folder in the way found before any
// does. The caller then puts the .shp in place.
bool placeShapefileSets(std::vector<ShapefileFile>* files, ExportOutput* output, std::string* problem) {
  std::vector<ExportOutput> parts(files->size());
  std::string failed;
  for (size_t i = 0; i < files->size(); ++i) {
    ShapefileFile& file = (*files)[i];
    VSIStatBufL info;
    if (!failed.empty() || VSIStatL(file.memory.c_str(), &info) != 0) continue;
    file.made = true;
    if (!openExportOutput(file.path.c_str(), &parts[i]) || !moveMemoryFile(file.memory, &parts[i]) ||
        !flushExportOutput(&parts[i])) {
      failed = file.path + ": cannot write" + systemReason(parts[i].errorNumber);
    }
  }
  // The .shp's own failures: the caller puts its path before them.
  const std::string& path = output->pending.path;
  if (failed.empty() && !flushExportOutput(output)) failed = "cannot write" + systemReason(output->errorNumber);
  if (failed.empty() && checkOutputTarget(path.c_str()) != 0) failed = "cannot write: not a file";
  // Every target is checked before any stale part goes.
  for (int32_t pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < files->size() && failed.empty(); ++i) {
      const ShapefileFile& file = (*files)[i];
      if (file.made != (pass == 0)) continue;
      const int32_t code = file.made ? checkOutputTarget(file.path.c_str()) : removeExportFile(file.path.c_str());
      if (code != 0) failed = file.path + (file.made ? ": cannot write" : ": cannot remove it") + systemReason(code);
    }
  }
  for (size_t i = 0; i < files->size(); ++i) {
    if (!(*files)[i].made) continue;
    if (!failed.empty()) {
      abandonExportOutput(&parts[i]);
    } else if (!finishExportOutput(&parts[i])) {
      failed = (*files)[i].path + ": cannot write" + systemReason(parts[i].errorNumber);
    }
  }
  *problem = failed;
  return failed.empty();
}

}  // namespace

bool checkGdalReference(const char* srs, std::string* problem) {
  quietGdal();
  OGRSpatialReferenceH reference = referenceSystem(srs, problem);
  if (reference == nullptr) return false;
  OSRDestroySpatialReference(reference);
  return true;
}

bool writeGdalGeoTiff(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                      const char* srs, ExportOutput* output, ExportProgress* progress, std::string* problem) {
  quietGdal();
  OGRSpatialReferenceH reference = nullptr;
  if (srs != nullptr && (reference = referenceSystem(srs, problem)) == nullptr) return false;
  const std::string memoryPath = std::string(memoryFolder) + "grid.tif";
  // Uncompressed: elevations in floats hardly compress, and the time is
  // better spent elsewhere.
  char** options = CSLSetNameValue(nullptr, "TILED", "YES");
  GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), memoryPath.c_str(), frame.columns, frame.rows,
                                    1, GDT_Float32, options);
  CSLDestroy(options);
  if (dataset == nullptr) {
    if (reference != nullptr) OSRDestroySpatialReference(reference);
    *problem = lastGdalError("GDAL cannot make the GeoTIFF");
    return false;
  }
  // The top-left corner of the top-left cell, then the cell size.
  double transform[6] = {(static_cast<double>(frame.firstColumn) - 0.5) * frame.cell, frame.cell, 0.0,
                         (static_cast<double>(frame.topRow) + 0.5) * frame.cell, 0.0, -frame.cell};
  bool ok = GDALSetGeoTransform(dataset, transform) == CE_None;
  if (reference != nullptr) {
    ok = ok && GDALSetSpatialRef(dataset, reference) == CE_None;
    OSRDestroySpatialReference(reference);
  }
  GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
  const float floatNodata = gridFloatValue(nodata, 0.0f);
  ok = ok && GDALSetRasterNoDataValue(band, floatNodata) == CE_None;
  std::vector<float> row(static_cast<size_t>(frame.columns));
  for (int32_t r = 0; ok && r < frame.rows; ++r) {
    if ((r & 63) == 0) updateExportProgress(progress, "writing", r, frame.rows);
    const double* from = values.data() + static_cast<size_t>(r) * static_cast<size_t>(frame.columns);
    for (int32_t c = 0; c < frame.columns; ++c) row[static_cast<size_t>(c)] = gridFloatValue(from[c], floatNodata);
    ok = GDALRasterIO(band, GF_Write, 0, r, frame.columns, 1, row.data(), frame.columns, 1, GDT_Float32, 0, 0) ==
         CE_None;
  }
  ok = closeDataset(dataset) && ok;
  if (!ok) {
    *problem = lastGdalError("GDAL cannot write the GeoTIFF");
    VSIUnlink(memoryPath.c_str());
    return false;
  }
  return moveMemoryFile(memoryPath, output);
}

namespace {

// What goes into a layer.
struct GisSource {
  const ExportMesh* mesh;
  const std::vector<uint8_t>* kept;
  const GisContent* content;
  bool shapefile;
};

bool fillGisLayer(int32_t kind, OGRLayerH layer, const GisSource& source, ExportProgress* progress) {
  switch (kind) {
    case gisFaces: return addFaceFeatures(layer, *source.mesh, *source.kept, progress);
    case gisContours: return addContourFeatures(layer, *source.content->contours);
    case gisPoints:
      return addSurveyPointFeatures(layer, source.mesh->surveyPoints, source.shapefile ? "desc" : "description");
    default: return addCodedLineFeatures(layer, *source.content->lines);
  }
}

// A dataset at memoryPath with the layers in written (a Shapefile's: one).
bool writeGisDataset(const std::string& memoryPath, const bool written[gisLayerCount], const GisSource& source,
                     OGRSpatialReferenceH reference, const char* timestamp, ExportProgress* progress) {
  GDALDatasetH dataset = GDALCreate(GDALGetDriverByName(source.shapefile ? "ESRI Shapefile" : "GPKG"),
                                    memoryPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (dataset == nullptr) return false;
  OGRLayerH layers[gisLayerCount] = {};
  bool ok = true;
  for (int32_t kind = 0; kind < gisLayerCount && ok; ++kind) {
    if (!written[kind]) continue;
    // A Shapefile's table carries a date too: the same as the GeoPackage's;
    // its text is UTF-8, as read.
    char** options = nullptr;
    if (source.shapefile) {
      options = CSLSetNameValue(options, "DBF_DATE_LAST_UPDATE", std::string(timestamp, 10).c_str());
      if (kind == gisPoints || kind == gisLines) options = CSLSetNameValue(options, "ENCODING", "UTF-8");
    }
    layers[kind] = GDALDatasetCreateLayer(dataset, gisLayerNames[kind], reference, gisLayerTypes[kind], options);
    CSLDestroy(options);
    ok = layers[kind] != nullptr;
  }
  const bool transaction = ok && GDALDatasetStartTransaction(dataset, FALSE) == OGRERR_NONE;
  for (int32_t kind = 0; kind < gisLayerCount && ok; ++kind) {
    if (written[kind]) ok = fillGisLayer(kind, layers[kind], source, progress);
  }
  if (transaction) ok = GDALDatasetCommitTransaction(dataset) == OGRERR_NONE && ok;
  if (ok && !source.shapefile && reference == nullptr) ok = declareUndefinedCartesian(dataset);
  return closeDataset(dataset) && ok;
}

// Each layer's dataset: the GeoPackage's one, or a Shapefile a layer.
bool writeGisDatasets(const bool written[gisLayerCount], const GisSource& source, OGRSpatialReferenceH reference,
                      const char* timestamp, ExportProgress* progress) {
  if (!source.shapefile) {
    return writeGisDataset(std::string(memoryFolder) + "faces.gpkg", written, source, reference, timestamp, progress);
  }
  for (int32_t kind = 0; kind < gisLayerCount; ++kind) {
    if (!written[kind]) continue;
    bool one[gisLayerCount] = {};
    one[kind] = true;
    const std::string memoryPath = std::string(memoryFolder) + gisLayerNames[kind] + ".shp";
    if (!writeGisDataset(memoryPath, one, source, reference, timestamp, progress)) return false;
  }
  return true;
}

}  // namespace

bool writeGisFaces(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const GisContent& content,
                   int32_t kind, const char* srs, const char* timestamp, ExportOutput* output,
                   ExportProgress* progress, std::string* problem) {
  quietGdal();
  OGRSpatialReferenceH reference = nullptr;
  if (srs != nullptr && (reference = referenceSystem(srs, problem)) == nullptr) return false;
  const bool shapefile = kind == gisShapefile;
  const bool written[gisLayerCount] = {true, content.contours != nullptr, !mesh.surveyPoints.empty(),
                                       content.lines != nullptr};
  const GisSource source{&mesh, &kept, &content, shapefile};
  CPLSetConfigOption("OGR_CURRENT_DATE", timestamp);
  bool ok = writeGisDatasets(written, source, reference, timestamp, progress);
  CPLSetConfigOption("OGR_CURRENT_DATE", nullptr);
  if (reference != nullptr) OSRDestroySpatialReference(reference);
  if (!ok) {
    *problem = lastGdalError(shapefile ? "GDAL cannot write the Shapefile" : "GDAL cannot write the GeoPackage");
  }
  const std::string memoryPath = std::string(memoryFolder) + (shapefile ? "faces.shp" : "faces.gpkg");
  if (ok) ok = moveMemoryFile(memoryPath, output);
  std::vector<ShapefileFile> files;
  if (shapefile) files = shapefileFiles(written, output->pending.path);
  if (ok && shapefile) ok = placeShapefileSets(&files, output, problem);
  for (const ShapefileFile& file : files) VSIUnlink(file.memory.c_str());
  VSIUnlink(memoryPath.c_str());
  return ok;
}
