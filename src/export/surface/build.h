// Builds the run's surface from its input: the file read as its kind says,
// faces longer than --max-side left out, every face turned to point up, and
// the bounds and (when asked for) the edges found. --compare's surface is
// built by the same call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportMesh;
struct ExportProgress;
struct ExportReadError;

struct SurfaceSource {
  const char* path = nullptr;
  int32_t kind = 0;        // an ExportInputKind
  std::string columns;     // a field file's columns
  std::vector<std::string> leaveOut;  // codes of field points kept out of the surface
  double maxSide = 0.0;    // 0: every face is kept
  bool edges = false;      // find the edges (contours walk them)
};

// false with error filled when the input cannot be read or the edges
// cannot be numbered.
bool buildSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                  ExportProgress* progress);
