// The triangle file read back into a vertex table and a face table: corners
// with the same text are one vertex, numbered in order of first appearance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportProgress;

struct ExportVertex {
  double x;
  double y;
  double z;
};

// A surveyed point with its number (or name) and description, either
// empty where the field file had none.
struct ExportSurveyPoint {
  double x;
  double y;
  double z;
  std::string name;
  std::string description;
};

struct ExportMesh {
  int32_t triangleCount = 0;     // from the head; equals the faces read
  int32_t averageSide = 0;       // from the head
  bool averageKnown = false;     // false when the head kept its asterisks
  int32_t vertexCount = 0;
  std::vector<char> text;                // every vertex's "x,y,z", back to back
  std::vector<int64_t> textStart;        // vertexCount + 1 offsets into text
  std::vector<ExportVertex> vertices;    // the same texts as numbers
  std::vector<int32_t> corners;          // 3 vertex indices per face, file order
  double lowestZ = 0.0;                  // over the vertices; 0 when there are none
  double highestZ = 0.0;
  // A field file's points in file order, whatever the faces use; empty for
  // other inputs.
  std::vector<ExportSurveyPoint> surveyPoints;
};

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
