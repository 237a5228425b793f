// A build without GDAL: its formats stay out of the format table, so these
// are never reached from the command line.
#include "export/write/gdal_formats.h"

bool writeGeoTiffGrid(const ExportGridFrame&, const std::vector<double>&, double, const char*, ExportOutput*,
                      ExportProgress*, std::string* problem) {
  *problem = "this build has no GDAL to write with";
  return false;
}

bool writeGisFaces(const ExportMesh&, const std::vector<uint8_t>&, const ExportContours*, int32_t, const char*,
                   const char*, ExportOutput*, ExportProgress*, std::string* problem) {
  *problem = "this build has no GDAL to write with";
  return false;
}
