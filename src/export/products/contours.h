// Contour lines: where a level cuts the mesh's plane facets. A contour
// vertex lies on a mesh edge at the linearly interpolated position, and the
// pieces are chained through the mesh's own edges, not by coordinates.
//
// The rule for levels that touch vertices: a vertex exactly at a level
// counts as above it. So a level crosses an edge only where one end is below
// and the other at or above it; a facet flat at the level is above and
// draws nothing, and its rim towards lower ground is the line. A crossing
// at an edge's upper end is that vertex, one point shared by all its edges.
#pragma once

#include <cstdint>
#include <vector>

struct ExportMesh;
struct ExportEdges;
struct ExportProgress;

struct ExportContourLevel {
  double elevation;
  bool index;          // every indexEvery-th level counted from the base
  int32_t firstLine;   // its lines, contiguous in ExportContours::lines
  int32_t lineCount;
};

struct ExportContourLine {
  int32_t level;
  bool closed;         // the last point joins the first; not repeated
  int64_t firstPoint;  // into ExportContours::xy, 2 numbers a point
  int32_t pointCount;
};

struct ExportContours {
  double interval = 0.0;
  double base = 0.0;
  int32_t indexEvery = 5;
  std::vector<ExportContourLevel> levels;  // ascending; those without lines too
  std::vector<ExportContourLine> lines;
  std::vector<double> xy;
};

enum ContourStatus : int32_t {
  contourOk = 0,
  contourTooManyLevels = 1,  // more than contourMostLevels between the lowest and highest z
  contourTooLarge = 2,       // edges and vertices together past 2^31 - 1
  contourBaseTooFar = 3,     // the base is more than contourFarthestStep intervals from the surface, or the
                             // levels have more digits than a decimal level can hold
};

inline constexpr int32_t contourMostLevels = 10000;
inline constexpr double contourFarthestStep = 1e12;

// The levels base + k * interval with lowest < level <= highest (those that
// can have lines), in ascending order, without lines yet. A level is the
// decimal value the user asked for: base and interval are taken as the
// shortest decimals that read back to them, the level is formed from them
// in decimal and only then rounded to the nearest double, so that 0.1 steps
// give 100.3, which a vertex read from "100.3" lies exactly on.
int32_t contourLevels(double lowest, double highest, double interval, double base, int32_t indexEvery,
                      std::vector<ExportContourLevel>* levels);

// Traces every level over the mesh. Each connected piece becomes one line,
// closed where it closes; open ends lie on the mesh boundary, or at a vertex
// on the level where more than two pieces meet (a saddle exactly at a
// level), where each piece ends. No line has doubled or zero-length steps.
// progress may be null.
int32_t traceContours(const ExportMesh& mesh, const ExportEdges& edges, double interval, int32_t indexEvery,
                      double base, ExportContours* contours, ExportProgress* progress);
