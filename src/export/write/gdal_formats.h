// The GIS formats written through GDAL: the faces as GeoPackage or
// Shapefile layers, and a GeoTIFF for a reference system given otherwise
// than by EPSG code. Built only where GDAL is.
// GDAL writes into memory; the bytes then go through ExportOutput, so a
// failed export leaves no file behind here either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/products/elevation_grid.h"

struct CodedLines;
struct ExportContours;
struct ExportMesh;
struct ExportOutput;
struct ExportProgress;

// Whether GDAL knows srs for a reference system; false with problem filled
// when not. Without GDAL every srs passes.
bool checkGdalReference(const char* srs, std::string* problem);

// A Float32 GeoTIFF of the grid through GDAL, for an srs that is no EPSG
// code but anything else GDAL takes (WKT, PROJ strings); geotiff.h writes
// the rest. Without GDAL: false with problem filled.
bool writeGdalGeoTiff(const ExportGridFrame& frame, const std::vector<double>& values, double nodata,
                      const char* srs, ExportOutput* output, ExportProgress* progress, std::string* problem);

enum ExportGisKind : int32_t { gisGeoPackage, gisShapefile };

// What a GIS file holds beside the faces; null for what was not asked for.
// A field file's points come with the surface.
struct GisContent {
  const ExportContours* contours = nullptr;
  const CodedLines* lines = nullptr;
};

// The kept faces (kept: one flag a face, or empty for all) as a layer
// "faces" of POLYGON Z features, each with its 1-based number in the file
// ("face") and its mean height ("mean_z"); the contours as a layer
// "contours" of LINESTRING Z features with their "elevation" and "index";
// a field file's points as a layer "points" of POINT Z features with their
// "number", "code", "description" ("desc" in a Shapefile) and "z"; the
// lines as a layer "lines" of LINESTRING Z features with their "code".
// A Shapefile holds one layer: the faces go to output's path, its other
// parts (.shx, .dbf, .prj, .cpg) beside it, and each other layer to a set
// of its own named "<stem>_<layer>.shp", all put in place together or not
// at all. timestamp ("YYYY-MM-DDThh:mm:ssZ") stands in the files for the
// time of writing, so that the same input gives the same bytes.
bool writeGisFaces(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const GisContent& content,
                   int32_t kind, const char* srs, const char* timestamp, ExportOutput* output,
                   ExportProgress* progress, std::string* problem);
