// What the surface must follow besides its points: breaklines, a border and
// holes, read from their files and laid out as the surface engine takes
// them (their vertices appended after the survey points).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportReadError;

// Where a point of the engine's input came from, for messages.
struct PointSource {
  int32_t file = 0;    // into SurfaceConstraints::files; 0 is INPUT
  int64_t line = 0;    // 0 when the file has no lines to name (a triangle file's vertex)
};

struct SurfaceConstraints {
  std::vector<std::string> files;   // INPUT first, then each constraint file
  std::vector<double> xyz;          // the vertices, 3 numbers each (z NaN where given as x y)
  std::vector<PointSource> sources; // one a vertex
  std::vector<int32_t> segments;    // 2 a segment, vertex indices counted from firstPoint
  std::vector<int32_t> segmentFile; // one a segment
  std::vector<int32_t> polygonPoints;
  std::vector<int32_t> polygonEnds;
  bool hasBorder = false;           // the first polygon is the border
  // The polylines as given, for the products that draw them: breaklines
  // and rings (border first when hasBorder), vertex indices as above.
  std::vector<std::vector<int32_t>> breaklines;
  std::vector<std::vector<int32_t>> rings;
};

// Reads every breaklines file, then the border and the holes. Vertices are
// numbered from firstPoint. false with error filled and *failedFile set to
// the file at fault.
bool readSurfaceConstraints(const std::vector<const char*>& breaklineFiles, const char* borderFile,
                            const char* holesFile, int32_t firstPoint, SurfaceConstraints* constraints,
                            ExportReadError* error, std::string* failedFile);

bool hasConstraints(const std::vector<const char*>& breaklineFiles, const char* borderFile, const char* holesFile);
