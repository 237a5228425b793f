// Whether a mesh covers its points' convex hull.
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"

// The hull's boundary as segments between consecutive points on it (points
// lying on a hull side count as corners, so that a mesh using them has each
// segment as an edge).
struct MeshHullGaps {
  int32_t segments;  // on the hull's boundary; 0 when the hull has no area
  int32_t missing;   // of them, those that no triangle has as an edge
};

// For points[0 .. n-1] sorted by ascending x (a repeated point counting as
// its first copy, as the mesh takes it) and the mesh's triangles. False,
// with nothing known, when a coordinate lies beyond the exact orientation's
// range (orientation.h). Linear in n and the triangle count.
bool findHullGaps(const MeshPoint* points, int32_t n, const MeshTriangle* triangles, int32_t triangleCount,
                  MeshHullGaps* gaps);
