// The triangle file read back into a vertex table and a face table: corners
// with the same text are one vertex, numbered in order of first appearance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/surface/surface.h"

struct ExportProgress;

// What went wrong, ready to print as "FILE:LINE: expected ...". line is 0
// for faults that belong to the whole file (it cannot be opened or read).
struct ExportReadError {
  int64_t line = 0;
  std::string message;
};

// Longest line accepted; tsvmesh writes at most 3 * 313 characters a line.
inline constexpr int32_t exportLongestLine = 4096;

// Reads the triangle file at path. false with error filled when the file
// cannot be read or is not a complete triangle file as tsvmesh writes it.
// progress may be null.
bool readExportMesh(const char* path, ExportMesh* mesh, ExportReadError* error,
                    ExportProgress* progress);

// Up to 40 characters of a line for a message, in double quotes, control
// bytes shown as '?'.
std::string quoteLine(const char* text, int32_t length);

// The number in a field of the form tsvmesh writes ("-" optional, digits,
// ".", two digits), correctly rounded as strtod would give it.
double exportFieldValue(const char* text, int32_t length);
