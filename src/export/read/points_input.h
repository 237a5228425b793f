// Which kind of file INPUT is, and a points file (tsvmesh's own input)
// read as tsvmesh reads it, every digit of its numbers kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_records.h"

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

// A whole file in memory, read through the platform's files. false with
// error filled (line 0) when it cannot be opened or read.
bool readWholeFile(const char* path, std::vector<char>* bytes, ExportReadError* error);

