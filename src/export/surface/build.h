// Builds the run's surface from its input: the points (of a points or field
// file) triangulated exactly over their whole hull, following breaklines
// and trimmed to a border and holes; or a triangle file's faces with those
// its hull lacks added. Then faces longer than --max-side are left out,
// every face is turned to point up, and the bounds and (when asked for)
// the edges are found. --compare's surface is built by the same call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportMesh;
struct ExportProgress;
struct ExportReadError;

struct SurfaceSource {
  const char* path = nullptr;
  int32_t kind = 0;                   // an ExportInputKind
  std::string columns;                // a field file's columns
  std::vector<std::string> leaveOut;  // codes of field points kept out of the surface
  std::vector<const char*> breaklines;
  const char* border = nullptr;
  const char* holes = nullptr;
  bool asMeshed = false;              // a triangle file's faces exactly as they are
  double maxSide = 0.0;               // 0: every face is kept
  bool edges = false;                 // find the edges (contours walk them)
};

// false with error filled (and *failedFile naming the file at fault, when
// given) when an input cannot be read, the surface cannot be made or the
// edges cannot be numbered. notes receives what the user should hear of
// (repeated points, differing heights, triangles added along the hull).
bool buildSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                  ExportProgress* progress, std::vector<std::string>* notes = nullptr,
                  std::string* failedFile = nullptr);
