// Contours for GIS: a GeoJSON FeatureCollection, one feature per level that
// has lines (a LineString, or a MultiLineString for several pieces), with
// the properties "elevation" and "index". A closed line repeats its first
// point at the end, as GeoJSON closes rings.
#pragma once

struct ExportContours;
struct ExportOutput;
struct ExportProgress;

void writeContourGeoJson(const ExportContours& contours, ExportOutput* output, ExportProgress* progress);
