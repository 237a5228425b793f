// The features of the GIS layers, added to layers that GDAL has made: the
// faces, the contours, a field file's points and the lines joined from
// codes. Each creates its layer's fields first; false when GDAL refuses.
#pragma once

#include <ogr_api.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

struct CodedLines;
struct ExportContours;
struct ExportMesh;
struct ExportProgress;
struct ExportSurveyPoint;

// The kept faces (one flag a face, or empty for all) as POLYGON Z with
// their 1-based number ("face") and mean height ("mean_z").
bool addFaceFeatures(OGRLayerH layer, const ExportMesh& mesh, const std::vector<uint8_t>& kept,
                     ExportProgress* progress);

// Each contour line a LINESTRING Z at its level, with its "elevation" and
// "index"; a closed line ends where it began.
bool addContourFeatures(OGRLayerH layer, const ExportContours& contours);

// Each point a POINT Z with its "number", "code", description and "z";
// descriptionField names the description (a Shapefile's names have at
// most 10 letters).
bool addSurveyPointFeatures(OGRLayerH layer, const std::vector<ExportSurveyPoint>& points,
                            const char* descriptionField);

// Each line a LINESTRING Z with its "code".
bool addCodedLineFeatures(OGRLayerH layer, const CodedLines& lines);
