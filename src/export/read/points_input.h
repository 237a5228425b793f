// The other inputs besides the triangle file: a points file (tsvmesh's own
// input) and a comma-separated field file. Both are meshed here with
// tsvmesh's reading and triangulation, so the faces and their order are
// those tsvmesh would write, while the vertices keep every digit read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_records.h"

struct ExportMesh;
struct ExportProgress;
struct ExportReadError;

enum ExportInputKind : int32_t {
  inputByContent,   // decide from the first line
  inputTriangleFile,
  inputPointsFile,
  inputFieldFile,   // --columns, or a first row naming its columns
};

// A triangle file begins with a line of digits (the count) or with the
// row of asterisks tsvmesh writes before the count; a first line that names
// a field file's columns is a field file; another first line with a comma
// is taken for a damaged triangle file, so that its reader says what is
// wrong; anything else is a points file. A
// file that cannot be read counts as a triangle file, whose reader then
// reports why.
int32_t exportInputKindOf(const char* path);

// A points file's points in file order, read as tsvmesh reads them.
bool readPointsList(const char* path, std::vector<MeshPoint>* points, ExportReadError* error);

// Reads and meshes a points file as tsvmesh does. false with error filled
// when it cannot be read or holds fewer than 3 points.
bool readPointsMesh(const char* path, ExportMesh* mesh, ExportReadError* error, ExportProgress* progress);

// Meshes points[0 .. n-1], already sorted by x as tsvmesh sorts them, into
// mesh; points needs n + 3 slots. Vertices are numbered by first use in the
// faces, as a triangle file's corners are, then come the points no face
// uses (and the super-triangle's corners, when an unfinished mesh still
// uses them, as tsvmesh writes them); each vertex's text is the shortest
// that reads back to its doubles.
bool meshSortedPoints(MeshPoint* points, int32_t n, ExportMesh* mesh, ExportReadError* error);

// A whole file in memory, read through the platform's files. false with
// error filled (line 0) when it cannot be opened or read.
bool readWholeFile(const char* path, std::vector<char>* bytes, ExportReadError* error);

// Reads INPUT as kind says (inputByContent: by exportInputKindOf).
bool readExportInput(const char* path, int32_t kind, const std::string& columns,
                     const std::vector<std::string>& leaveOut, ExportMesh* mesh,
                     ExportReadError* error, ExportProgress* progress);
