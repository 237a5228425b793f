// A build without GDAL: the GeoPackage and Shapefile stay out of the format
// table, so writeGisFaces is never reached from the command line; a .tif
// states its reference system by EPSG code only.
#include "export/write/gdal_formats.h"

bool checkGdalReference(const char*, std::string*) { return true; }

bool writeGdalGeoTiff(const ExportGridFrame&, const std::vector<double>&, double, const char* srs, ExportOutput*,
                      ExportProgress*, std::string* problem) {
  *problem = std::string("--srs ") + srs + " is no EPSG code; this build, without GDAL, states a .tif's "
             "reference system by EPSG code only (for example EPSG:25832)";
  return false;
}

bool writeGisFaces(const ExportMesh&, const std::vector<uint8_t>&, const GisContent&, int32_t, const char*,
                   const char*, ExportOutput*, ExportProgress*, std::string* problem) {
  *problem = "this build has no GDAL to write with";
  return false;
}
