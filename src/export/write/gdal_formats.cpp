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

// The kept faces as POLYGON Z features with their number and mean height.
bool addFaces(OGRLayerH layer, const ExportMesh& mesh, const std::vector<uint8_t>& kept, ExportProgress* progress) {
  OGRFieldDefnH face = OGR_Fld_Create("face", OFTInteger);
  OGRFieldDefnH meanZ = OGR_Fld_Create("mean_z", OFTReal);
  bool ok = OGR_L_CreateField(layer, face, TRUE) == OGRERR_NONE && OGR_L_CreateField(layer, meanZ, TRUE) == OGRERR_NONE;
  OGR_Fld_Destroy(face);
  OGR_Fld_Destroy(meanZ);
  for (int32_t f = 0; ok && f < mesh.triangleCount; ++f) {
    if ((f & 0xFFFF) == 0) updateExportProgress(progress, "writing", f, mesh.triangleCount);
    if (!kept.empty() && kept[static_cast<size_t>(f)] == 0) continue;
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGRGeometryH ring = OGR_G_CreateGeometry(wkbLinearRing);
    double sum = 0.0;
    for (int32_t c = 0; c <= 3; ++c) {
      const ExportVertex& v = mesh.vertices[static_cast<size_t>(mesh.corners[static_cast<size_t>(f) * 3 + c % 3])];
      OGR_G_AddPoint(ring, v.x, v.y, v.z);
      if (c < 3) sum += v.z;
    }
    OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon25D);
    OGR_G_AddGeometryDirectly(polygon, ring);
    OGR_F_SetGeometryDirectly(feature, polygon);
    OGR_F_SetFieldInteger(feature, 0, f + 1);
    OGR_F_SetFieldDouble(feature, 1, sum / 3.0);
    ok = OGR_L_CreateFeature(layer, feature) == OGRERR_NONE;
    OGR_F_Destroy(feature);
  }
  return ok;
}

// Each contour line a LINESTRING Z at its level's elevation; a closed line
// ends where it began.
bool addContourLines(OGRLayerH layer, const ExportContours& contours) {
  OGRFieldDefnH elevation = OGR_Fld_Create("elevation", OFTReal);
  OGRFieldDefnH index = OGR_Fld_Create("index", OFTInteger);
  OGR_Fld_SetSubType(index, OFSTBoolean);
  bool ok = OGR_L_CreateField(layer, elevation, TRUE) == OGRERR_NONE &&
            OGR_L_CreateField(layer, index, TRUE) == OGRERR_NONE;
  OGR_Fld_Destroy(elevation);
  OGR_Fld_Destroy(index);
  for (size_t l = 0; ok && l < contours.lines.size(); ++l) {
    const ExportContourLine& line = contours.lines[l];
    const ExportContourLevel& level = contours.levels[static_cast<size_t>(line.level)];
    OGRGeometryH geometry = OGR_G_CreateGeometry(wkbLineString25D);
    const double* xy = &contours.xy[static_cast<size_t>(line.firstPoint)];
    for (int32_t p = 0; p <= line.pointCount; ++p) {
      if (p == line.pointCount && !line.closed) break;
      const double* at = xy + static_cast<size_t>(p % line.pointCount) * 2;
      OGR_G_AddPoint(geometry, at[0], at[1], level.elevation);
    }
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetGeometryDirectly(feature, geometry);
    OGR_F_SetFieldDouble(feature, 0, level.elevation);
    OGR_F_SetFieldInteger(feature, 1, level.index ? 1 : 0);
    ok = OGR_L_CreateFeature(layer, feature) == OGRERR_NONE;
    OGR_F_Destroy(feature);
  }
  return ok;
}

// A Shapefile's files besides the .shp, as GDAL may make them.
constexpr const char* shapefileParts[] = {"shx", "dbf", "prj", "cpg"};

// Puts the parts GDAL made at memoryStem beside output's .shp (in upper
// case when its extension is): each is written out of sight first; only
// when they and the .shp are complete does a part this set lacks go (a
// stale .prj would claim a system the data do not have), and do the parts
// take their places, a folder in the way found before any does. The
// caller then puts the .shp in place.
bool placeShapefileParts(const std::string& memoryStem, ExportOutput* output, std::string* problem) {
  const std::string& path = output->pending.path;
  const bool upper = path.size() >= 3 && path[path.size() - 1] == 'P';
  constexpr int32_t count = sizeof shapefileParts / sizeof shapefileParts[0];
  ExportOutput parts[count];
  std::string partPath[count];
  bool made[count] = {};
  std::string failed;
  for (int32_t i = 0; i < count; ++i) {
    std::string name = shapefileParts[i];
    for (char& ch : name) ch = upper ? static_cast<char>(ch - 'a' + 'A') : ch;
    partPath[i] = path.substr(0, path.size() - 3) + name;
    const std::string memoryPart = memoryStem + "." + shapefileParts[i];
    VSIStatBufL info;
    if (!failed.empty() || VSIStatL(memoryPart.c_str(), &info) != 0) continue;
    made[i] = true;
    if (!openExportOutput(partPath[i].c_str(), &parts[i]) || !moveMemoryFile(memoryPart, &parts[i]) ||
        !flushExportOutput(&parts[i])) {
      failed = partPath[i] + ": cannot write" + systemReason(parts[i].errorNumber);
    }
  }
  // The .shp's own failures: the caller puts its path before them.
  if (failed.empty() && !flushExportOutput(output)) failed = "cannot write" + systemReason(output->errorNumber);
  if (failed.empty() && checkOutputTarget(path.c_str()) != 0) failed = "cannot write: not a file";
  for (int32_t i = 0; i < count && failed.empty(); ++i) {
    const int32_t code = made[i] ? checkOutputTarget(partPath[i].c_str()) : removeExportFile(partPath[i].c_str());
    if (code != 0) failed = partPath[i] + (made[i] ? ": cannot write" : ": cannot remove it") + systemReason(code);
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!made[i]) continue;
    if (!failed.empty()) {
      abandonExportOutput(&parts[i]);
    } else if (!finishExportOutput(&parts[i])) {
      failed = partPath[i] + ": cannot write" + systemReason(parts[i].errorNumber);
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

bool writeGisFaces(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const ExportContours* contours,
                   int32_t kind, const char* srs, const char* timestamp, ExportOutput* output,
                   ExportProgress* progress, std::string* problem) {
  quietGdal();
  OGRSpatialReferenceH reference = nullptr;
  if (srs != nullptr && (reference = referenceSystem(srs, problem)) == nullptr) return false;
  const bool shapefile = kind == gisShapefile;
  const std::string memoryStem = std::string(memoryFolder) + "faces";
  const std::string memoryPath = memoryStem + (shapefile ? ".shp" : ".gpkg");
  CPLSetConfigOption("OGR_CURRENT_DATE", timestamp);
  GDALDatasetH dataset = GDALCreate(GDALGetDriverByName(shapefile ? "ESRI Shapefile" : "GPKG"),
                                    memoryPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  // A Shapefile's table carries a date too: the same as the GeoPackage's.
  char** layerOptions = nullptr;
  if (shapefile) layerOptions = CSLSetNameValue(nullptr, "DBF_DATE_LAST_UPDATE", std::string(timestamp, 10).c_str());
  OGRLayerH layer = dataset == nullptr
                        ? nullptr
                        : GDALDatasetCreateLayer(dataset, "faces", reference, wkbPolygon25D, layerOptions);
  OGRLayerH contourLayer = nullptr;
  if (layer != nullptr && contours != nullptr && !shapefile) {
    contourLayer = GDALDatasetCreateLayer(dataset, "contours", reference, wkbLineString25D, nullptr);
  }
  CSLDestroy(layerOptions);
  const bool undefined = reference == nullptr;
  if (reference != nullptr) OSRDestroySpatialReference(reference);
  bool ok = layer != nullptr && (contours == nullptr || shapefile || contourLayer != nullptr);
  const bool transaction = ok && GDALDatasetStartTransaction(dataset, FALSE) == OGRERR_NONE;
  if (ok) ok = addFaces(layer, mesh, kept, progress);
  if (ok && contourLayer != nullptr) ok = addContourLines(contourLayer, *contours);
  if (transaction) ok = GDALDatasetCommitTransaction(dataset) == OGRERR_NONE && ok;
  if (ok && !shapefile && undefined) ok = declareUndefinedCartesian(dataset);
  if (dataset != nullptr) ok = closeDataset(dataset) && ok;
  CPLSetConfigOption("OGR_CURRENT_DATE", nullptr);

  if (!ok) {
    *problem = lastGdalError(shapefile ? "GDAL cannot write the Shapefile" : "GDAL cannot write the GeoPackage");
  }
  if (ok) ok = moveMemoryFile(memoryPath, output);
  if (ok && shapefile) ok = placeShapefileParts(memoryStem, output, problem);
  for (const char* extension : shapefileParts) VSIUnlink((memoryStem + "." + extension).c_str());
  VSIUnlink(memoryPath.c_str());
  return ok;
}
