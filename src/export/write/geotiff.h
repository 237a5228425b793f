// The elevation grid as a GeoTIFF of the program's own: a baseline TIFF
// (little-endian, uncompressed Float32 strips) with the GeoTIFF tags for
// the cell size, the corner and an EPSG code, and GDAL's nodata tag. It
// needs no library, so every build writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/products/elevation_grid.h"

struct ExportOutput;
struct ExportProgress;

// The code n of "EPSG:n" (either case) when 1 <= n <= 65534, the most a
// GeoTIFF key holds; false for anything else.
bool parseEpsgCode(const char* srs, int32_t* code);

// Whether code is one of the EPSG registry's geographic 2D systems
// (latitude and longitude, such as 4326); any other code is taken for a
// projected one.
bool epsgCodeIsGeographic(int32_t code);

// A grid value as the file holds it: NaN as nodata, beyond the float range
// as the largest float of its sign.
float gridFloatValue(double value, float nodata);

// Writes the grid (rows from the north, as sampled) with epsgCode stated
// (0 for none: then no reference system is claimed).
void writeBaselineGeoTiff(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                          int32_t epsgCode, ExportOutput* output, ExportProgress* progress);

// .tif: the writer above for no srs or an EPSG code; any other srs goes to
// GDAL where the build has it. false with problem filled when srs cannot be
// stated.
bool writeGeoTiffGrid(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                      const char* srs, ExportOutput* output, ExportProgress* progress, std::string* problem);
