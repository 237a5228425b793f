// The outputs made from what is computed over the surface (the faces that
// --max-side left): elevation grids, the areas and volumes report, and the
// faces as GIS layers. Each returns
// false with message filled (a whole line for the user, without the
// program's name) when it cannot be made; output then holds no result.
#pragma once

#include <cstdint>
#include <string>

struct ExportContours;
struct ExportMesh;
struct ExportOptions;
struct ExportOutput;
struct ExportProgress;

// .asc and .tif: the surface sampled on the --cell grid.
bool writeGridOutput(const ExportMesh& mesh, const ExportOptions& options, ExportOutput* output,
                     ExportProgress* progress, std::string* message);

// .txt and .json: areas, heights, --base volumes and the --compare cut and
// fill (the second surface is read here as INPUT was, and --max-side
// leaves out its long triangles too).
bool writeReportOutput(const ExportMesh& mesh, const ExportOptions& options, const std::string& surfaceName,
                       ExportOutput* output, ExportProgress* progress, std::string* message);

// .gpkg and .shp: the faces as POLYGON Z features, and in a GeoPackage the
// contours (may be null) as LINESTRING Z. timestamp as in writeGisFaces.
bool writeGisOutput(const ExportMesh& mesh, const ExportContours* contours, const ExportOptions& options,
                    const char* timestamp, ExportOutput* output, ExportProgress* progress, std::string* message);
