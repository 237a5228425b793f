// A surveyor's field file: comma-separated rows of point number, northing,
// easting, elevation and description in some order. A first row that
// names its columns (Point, Northing, Easting, Elevation, Description and
// their usual short forms) says the order; otherwise --columns does.
#pragma once

#include <string>
#include <vector>

#include "export/surface/surface.h"
#include "mesh/mesh_records.h"

struct ExportMesh;
struct ExportProgress;
struct ExportReadError;

// The columns of a field file: one letter a column (P N E Z D -). false
// with problem filled when the text is not such a list with one N, one E
// and one Z, at most one P and at most one D.
bool parseFieldColumns(const char* text, std::string* columns, std::string* problem);

// The columns a first row names, one letter a field ('-' for a name not
// known), or "" when the row does not name N, E and Z.
std::string fieldHeaderColumns(const char* text, size_t length);

// A field file's rows: the points that make the surface (those no
// --leave-out code names) with their lines, and every point of the plan.
struct FieldPoints {
  std::vector<MeshPoint> read;
  std::vector<int64_t> lines;  // one a point of read
  std::vector<ExportSurveyPoint> surveyed;
};

bool readFieldPoints(const char* path, const std::string& columns, const std::vector<std::string>& leaveOut,
                     FieldPoints* points, ExportReadError* error);

// The same from bytes in memory.
bool readFieldBytes(const char* bytes, size_t size, const std::string& columns,
                    const std::vector<std::string>& leaveOut, FieldPoints* points, ExportReadError* error);

