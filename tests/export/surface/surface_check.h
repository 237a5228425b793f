// Invariants every built surface must satisfy, checked with the exact
// predicates (which have tests of their own against integer arithmetic).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/surface/triangulate.h"

namespace tsvmesh::surface {

// "" when result is a valid constrained Delaunay triangulation of input over
// the whole convex hull, otherwise the first fault found:
// - every triangle counter-clockwise and not flat, indices in range, every
//   directed edge at most once;
// - Euler's count for a triangulated convex hull: 2V - B - 2 triangles for V
//   used points of which B lie on the hull's boundary (skipped when trimmed);
// - every input segment covered by a chain of edges owned by it;
// - every unconstrained interior edge locally Delaunay (no opposite corner
//   strictly inside the other triangle's circumcircle), which for a
//   constrained triangulation means no point visible from a triangle lies
//   strictly inside its circumcircle.
std::string surfaceFault(const SurfaceInput& input, const SurfaceResult& result, bool trimmed = false);

// Twice the area of the result's triangles, summed in doubles.
double doubledArea(const SurfaceInput& input, const SurfaceResult& result);

}  // namespace tsvmesh::surface
