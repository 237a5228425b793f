// Internal steps of the surface between its tables (cdt.h) and its public
// entries (triangulate.h).
#pragma once

#include <cstdint>
#include <vector>

#include "export/surface/cdt.h"
#include "export/surface/triangulate.h"

namespace tsvmesh::surface {

// The Delaunay triangulation of the distinct positions among count points
// (xyz, 3 per point), inserted in Hilbert-curve order. vertexOf[i] is the
// vertex of input point i; inputOf[v] the input point of vertex v (the
// first at its position). extraTriangles reserves room for later splits.
// With skipHeightless, points whose z is NaN are left out (vertexOf -1).
SurfaceStatus buildDelaunay(const double* xyz, int32_t count, int64_t extraTriangles, bool skipHeightless,
                            Cdt* cdt, std::vector<int32_t>* vertexOf, std::vector<int32_t>* inputOf);

// What inserting constraints produced besides edges.
struct ConstraintLog {
  std::vector<SurfaceCrossing> crossings;  // point = the vertex at the crossing
  int32_t givenUp = 0;
  // Crossings one constraint may make, nested pieces included: a segment
  // crosses each other constraint once, so twice their count and some
  // bounds honest work and stops any runaway.
  int64_t crossingLimit = 64;
  int64_t crossingsLeft = 0;
};

// Makes a->b (vertices) a chain of constrained edges owned by id, splitting
// it at vertices on it and at crossings with earlier constraints.
void insertConstraint(Cdt* cdt, int32_t a, int32_t b, int32_t id, ConstraintLog* log);

// Labels every triangle (ghosts included) with a region: triangles meet in
// one region unless the edge between them is owned by a constraint for
// which separates(id) holds. Returns the region count; regions are numbered
// in order of their lowest triangle.
template <typename Separates>
int32_t labelRegions(const Cdt& cdt, Separates separates, std::vector<int32_t>* region) {
  const auto triangleCount = static_cast<int32_t>(cdt.vertex.size() / 3);
  region->assign(static_cast<size_t>(triangleCount), -1);
  std::vector<int32_t> stack;
  int32_t count = 0;
  for (int32_t seed = 0; seed < triangleCount; ++seed) {
    if ((*region)[seed] >= 0) continue;
    (*region)[seed] = count;
    stack.push_back(seed);
    while (!stack.empty()) {
      const int32_t t = stack.back();
      stack.pop_back();
      for (int32_t e = 3 * t; e < 3 * t + 3; ++e) {
        const int32_t across = cdt.twin[e] / 3;
        if ((*region)[across] >= 0 || (cdt.owner[e] != 0 && separates(cdt.owner[e] - 1))) continue;
        (*region)[across] = count;
        stack.push_back(across);
      }
    }
    ++count;
  }
  return count;
}

}  // namespace tsvmesh::surface
