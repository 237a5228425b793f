// The mesh formats other software opens: binary PLY, Wavefront OBJ and a
// LandXML 1.2 TIN surface. Each writes the whole file through output.
#pragma once

#include <cstdint>
#include <string>

struct ExportMesh;
struct ExportOutput;
struct ExportProgress;

// Binary little-endian PLY: vertices as three doubles, faces as
// "list uchar int"; the head's count and average as comment lines.
void writePlyMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress);

// "v x y z" with the coordinates' own text, "f a b c" with 1-based indices.
void writeObjMesh(const ExportMesh& mesh, ExportOutput* output, ExportProgress* progress);

// One TIN surface named surfaceName: a P (northing easting elevation, that
// is y x z) per vertex, an F per face. date and time ("YYYY-MM-DD",
// "hh:mm:ss") fill the attributes the schema requires.
void writeLandXmlMesh(const ExportMesh& mesh, const std::string& surfaceName, const char* date,
                      const char* time, ExportOutput* output, ExportProgress* progress);
