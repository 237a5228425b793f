// Invariants every built surface must satisfy, checked with the exact
// predicates (which have tests of their own against integer arithmetic).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "export/surface/triangulate.h"

namespace tsvmesh::surface {

// A surface's input built up case by case.
struct SurfaceCase {
  std::vector<double> xyz;
  std::vector<int32_t> segments;
  std::vector<int32_t> polygonPoints;
  std::vector<int32_t> polygonEnds;
  bool hasBorder = false;

  int32_t add(double x, double y, double z = 0) {
    xyz.insert(xyz.end(), {x, y, z});
    return static_cast<int32_t>(xyz.size() / 3) - 1;
  }
  void points(std::initializer_list<std::pair<double, double>> positions) {
    for (const auto& [x, y] : positions) add(x, y);
  }
  void segment(int32_t a, int32_t b) { segments.insert(segments.end(), {a, b}); }
  void polygon(std::initializer_list<std::pair<double, double>> corners) {
    for (const auto& [x, y] : corners) polygonPoints.push_back(add(x, y));
    polygonEnds.push_back(static_cast<int32_t>(polygonPoints.size()));
  }
  SurfaceInput input() const {
    SurfaceInput in = surfaceInput(xyz, segments);
    in.polygonPoints = polygonPoints.data();
    in.polygonEnds = polygonEnds.data();
    in.polygonCount = static_cast<int32_t>(polygonEnds.size());
    in.hasBorder = hasBorder;
    return in;
  }
  SurfaceResult build() const {
    SurfaceResult result;
    buildSurface(input(), &result);
    return result;
  }
};

// "" when result is a valid constrained Delaunay triangulation of input over
// the whole convex hull, otherwise the first fault found:
// - every triangle counter-clockwise and not flat, indices in range, every
//   directed edge at most once;
// - Euler's count for a triangulated convex hull: 2V - B - 2 triangles for V
//   used points of which B lie on the hull's boundary;
// - every input segment covered by a chain of edges owned by it;
// - every unconstrained interior edge locally Delaunay (no opposite corner
//   strictly inside the other triangle's circumcircle), which for a
//   constrained triangulation means no point visible from a triangle lies
//   strictly inside its circumcircle.
// Checks to leave out: the hull count (for a trimmed surface) and the chains
// (where segments overlap, and a shared edge belongs to the last one).
enum SurfaceChecks { kAllChecks = 0, kNotHull = 1, kNotChains = 2 };
std::string surfaceFault(const SurfaceInput& input, const SurfaceResult& result, int skip = kAllChecks);

// Twice the area of the result's triangles, summed in doubles.
double doubledArea(const SurfaceInput& input, const SurfaceResult& result);

}  // namespace tsvmesh::surface
