// A field file's surveyed points, with their numbers and descriptions, in
// the vector formats that hold them: DXF points with labels and GeoJSON
// point features. LandXML's CgPoints are with the TIN (mesh_formats).
#pragma once

#include <string>
#include <vector>

struct ExportOutput;
struct ExportSurveyPoint;

// text as a JSON string, quotes included.
std::string jsonString(const std::string& text);

// The member that states a reference system in GeoJSON, ending in a comma
// ("crs" with an OGC URN, as GDAL reads it), or nothing for srs null.
std::string geoJsonCrsMember(const char* srs);

// One Point feature per surveyed point, [x, y, z] with properties "name"
// and "description", each preceded by ",\n" (by "\n" for the collection's
// first feature when first is true). Returns whether any was written.
bool writeGeoJsonSurveyPoints(const std::vector<ExportSurveyPoint>& points, bool first, ExportOutput* output);

// A POINT entity and a TEXT label (the number and the description, up and
// right of the point, 1/500 of the points' extent high) per surveyed point,
// on layer POINTS.
void writeDxfSurveyPoints(const std::vector<ExportSurveyPoint>& points, ExportOutput* output);
