// Contours for GIS: a GeoJSON FeatureCollection, one feature per level that
// has lines (a LineString, or a MultiLineString for several pieces), with
// the properties "elevation" and "index". A closed line repeats its first
// point at the end, as GeoJSON closes rings.
#pragma once

#include <vector>

struct CodedLines;
struct ExportContours;
struct ExportSurveyPoint;
struct ExportOutput;
struct ExportProgress;

// A field file's points follow as Point features and lines (may be null)
// as LineString features (survey_points.h); srs (may be null) is stated as
// the collection's "crs".
void writeContourGeoJson(const ExportContours& contours, const std::vector<ExportSurveyPoint>& points,
                         const CodedLines* lines, const char* srs, ExportOutput* output, ExportProgress* progress);
