// The mesh formats other software opens: binary PLY, Wavefront OBJ and a
// LandXML 1.2 TIN surface. Each writes the whole file through output.
#pragma once

#include <cstdint>
#include <string>

struct ExportMesh;
struct ExportOutput;
struct ExportProgress;

// PLY and OBJ write the faces' corners as they stand in mesh: orient them
// upward first (orientFacesUpward) for viewers to light the top.

// Binary little-endian PLY: vertices as three doubles, faces as
// "list uchar int"; the head's count and average as comment lines.
void writePlyMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress);

// "v x y z" with the coordinates' own text, "f a b c" with 1-based indices.
void writeObjMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress);

// One TIN surface named surfaceName: a P (northing easting elevation, that
// is y x z) per vertex, an F per face with its corners clockwise seen from
// above, as civil design packages write them (from faces pointing up, the
// last two corners swapped). date and time ("YYYY-MM-DD", "hh:mm:ss") fill
// the attributes the schema requires; units (an ExportUnits) the Units.
void writeLandXmlMesh(const ExportMesh& mesh, const std::string& surfaceName, const char* date,
                      const char* time, int32_t units, ExportOutput* output, ExportProgress* progress);

// Text for XML or HTML content and attributes: & < > " as entities,
// control characters (not allowed in XML 1.0) as '_'.
std::string escapeXml(const std::string& text);
