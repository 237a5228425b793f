// Incremental Delaunay triangulation (Bowyer-Watson inside a super-triangle).
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"

enum MeshStatus : int32_t {
  meshOk = 0,
  meshFlagsAllocFailed = 1,  // the per-triangle working memory was refused
  meshEdgesAllocFailed = 2,  // the edge buffer was refused
  meshEdgesGrowFailed = 3,   // growing the edge buffer was refused
  meshTriangleLimit = 4,     // a new triangle would exceed 4n
};

// The statuses that mean working memory was refused.
inline bool meshMemoryRefused(int32_t status) {
  return status == meshFlagsAllocFailed || status == meshEdgesAllocFailed || status == meshEdgesGrowFailed;
}

// The points' bounding box.
struct MeshBox {
  double xmin;
  double ymin;
  double xmax;
  double ymax;
};

// Writes the super-triangle's corners (z = 0) into points[n .. n+2], sized
// from the bounding box of points[0 .. n-1], n >= 1, and returns that box.
MeshBox placeSuperTriangle(MeshPoint* points, int32_t n);

// What the mesh tells while it works, for the caller to show: `report` is
// called with meshProgressStart once the working memory is had and the
// first point is about to go in, then with meshProgressMark after every point
// whose index is a multiple of 500 (0, 500, 1000, ...). A null `report`
// hears nothing.
enum MeshProgressStep : int32_t {
  meshProgressStart = 0,
  meshProgressMark = 1,
};

struct MeshProgress {
  void (*report)(void* context, int32_t step);
  void* context;
};

// Triangulates points[0 .. pointCount-1], sorted by ascending x, into
// triangles (room for triangleTableCapacity(pointCount), mesh_tables.h).
// The super-triangle corners go into points[pointCount .. pointCount+2] and
// stay there. *triangleCount is the live count throughout; on meshOk it is
// the size of the result, in which every corner index is below pointCount
// and corner2 is the highest.
// Any other status ends the run where it stands, with no result; working
// memory refused before the sweep starts leaves *triangleCount alone and
// reports nothing.
//
// The order of the result is fixed by the insertion mechanics (see
// triangulation.cpp) and is part of the program's output.
int32_t buildDelaunayMesh(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                          int32_t* triangleCount, MeshProgress progress);
