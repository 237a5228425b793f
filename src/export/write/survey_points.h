// A field file's surveyed points, with their numbers and descriptions, in
// the vector formats that hold them: DXF points with labels and GeoJSON
// point features. LandXML's CgPoints are with the TIN (mesh_formats).
#pragma once

#include <string>
#include <vector>

struct CodedLines;
struct ExportOutput;
struct ExportVertex;
struct ExportSurveyPoint;

// text as a JSON string, quotes included.
std::string jsonString(const std::string& text);

// The member that states a reference system in GeoJSON, ending in a comma
// ("crs" with an OGC URN, as GDAL reads it), or nothing for srs null.
std::string geoJsonCrsMember(const char* srs);

// One Point feature per surveyed point, [x, y, z] with properties
// "number", "code", "description" and "z", each preceded by ",\n" (by "\n"
// for the collection's first feature when first is true). Returns whether
// any was written.
bool writeGeoJsonSurveyPoints(const std::vector<ExportSurveyPoint>& points, bool first, ExportOutput* output);

// A 3D POLYLINE (R12: flag 8, closed 9) with its VERTEX entities and SEQEND.
std::string dxfPolyline3d(const std::string& layer, const ExportVertex* vertices, int32_t count, bool closed);

// The DXF layer of a point with this code: POINTS-CODE in upper case, or
// POINTS for a point without one.
std::string dxfPointLayer(const std::string& code);

// The elevation as the field file gave it: to its decimals.
std::string elevationLabel(const ExportSurveyPoint& point);

// A POINT entity per surveyed point on its code's layer, labelled with its
// number (up and right), elevation (right) and description (down and
// right), 1/500 of the points' extent high.
void writeDxfSurveyPoints(const std::vector<ExportSurveyPoint>& points, ExportOutput* output);

// Each line a 3D POLYLINE (flag 8, its vertices flag 32) on its code's
// layer (dxfPointLayer).
void writeDxfCodedLines(const CodedLines& lines, ExportOutput* output);

// Each line a LineString feature of [x, y, z] with its "code", each
// preceded by ",\n" (by "\n" for the first feature when first is true).
// Returns whether any was written.
bool writeGeoJsonCodedLines(const CodedLines& lines, bool first, ExportOutput* output);
