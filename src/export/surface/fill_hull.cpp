// Completing a triangle mesh to its convex hull: the constrained
// triangulation of its vertices with its boundary edges as constraints,
// whose regions on the outer side of every boundary edge are the gaps.
#include <algorithm>
#include <new>

#include "export/surface/build.h"
#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

struct Directed {
  int32_t from;
  int32_t to;
};

uint64_t edgeKey(int32_t from, int32_t to) {
  return (uint64_t{static_cast<uint32_t>(from)} << 32) | static_cast<uint32_t>(to);
}

// The edges of the mesh's counter-clockwise triangles whose reverse no
// triangle has; flat triangles and repeated corners count for nothing.
std::vector<Directed> boundaryEdges(const Cdt& cdt, const int32_t* triangles, int32_t count,
                                    const std::vector<int32_t>& vertexOf) {
  std::vector<uint64_t> keys;
  keys.reserve(3 * static_cast<size_t>(count));
  for (int32_t t = 0; t < count; ++t) {
    int32_t v[3] = {vertexOf[triangles[3 * t]], vertexOf[triangles[3 * t + 1]],
                    vertexOf[triangles[3 * t + 2]]};
    const int side = orientation(at(cdt, v[0]), at(cdt, v[1]), at(cdt, v[2]));
    if (side == 0) continue;
    if (side < 0) std::swap(v[1], v[2]);
    for (int32_t i = 0; i < 3; ++i) keys.push_back(edgeKey(v[i], v[(i + 1) % 3]));
  }
  std::sort(keys.begin(), keys.end());
  std::vector<Directed> boundary;
  for (const uint64_t key : keys) {
    const auto from = static_cast<int32_t>(key >> 32);
    const auto to = static_cast<int32_t>(key & 0xffffffffu);
    if (!std::binary_search(keys.begin(), keys.end(), edgeKey(to, from))) boundary.push_back({from, to});
  }
  return boundary;
}

// Regions holding a piece of a boundary edge in the mesh's own direction
// lie inside the mesh.
std::vector<char> coveredRegions(const Cdt& cdt, const std::vector<Directed>& boundary,
                                 const std::vector<int32_t>& region, int32_t regionCount) {
  std::vector<char> covered(static_cast<size_t>(regionCount), 0);
  for (size_t e = 0; e < cdt.vertex.size(); ++e) {
    if (cdt.owner[e] == 0) continue;
    const Directed& edge = boundary[cdt.owner[e] - 1];
    const double* from = at(cdt, edge.from);
    const double* to = at(cdt, edge.to);
    const double* p = at(cdt, cdt.vertex[e]);
    const double* q = at(cdt, cdt.vertex[nextEdge(static_cast<int32_t>(e))]);
    const int32_t k = from[0] != to[0] ? 0 : 1;
    if ((q[k] > p[k]) == (to[k] > from[k])) covered[region[e / 3]] = 1;
  }
  return covered;
}

// The whole fill; allocation failures are caught by the caller.
HullFill fillGaps(const double* xyz, int32_t pointCount, const int32_t* triangles, int32_t triangleCount,
                  bool fillInnerGaps) {
  HullFill fill;
  for (int64_t i = 0; i < 3 * int64_t{triangleCount}; ++i) {
    if (triangles[i] < 0 || triangles[i] >= pointCount) {
      fill.status = SurfaceStatus::kBadIndex;
      return fill;
    }
  }
  Cdt cdt;
  std::vector<int32_t> vertexOf;
  std::vector<int32_t> inputOf;
  fill.status = buildDelaunay(xyz, pointCount, 0, false, &cdt, &vertexOf, &inputOf);
  if (fill.status != SurfaceStatus::kOk) return fill;
  const std::vector<Directed> boundary = boundaryEdges(cdt, triangles, triangleCount, vertexOf);
  ConstraintLog log;
  log.crossingLimit = 0;  // a crossing already means failure here
  for (size_t i = 0; i < boundary.size(); ++i) {
    insertConstraint(&cdt, boundary[i].from, boundary[i].to, static_cast<int32_t>(i), &log);
  }
  if (!log.crossings.empty() || log.givenUp != 0) {
    fill.boundaryCrosses = true;
    return fill;
  }
  std::vector<int32_t> region;
  const int32_t regionCount = labelRegions(cdt, [](int32_t) { return true; }, &region);
  const std::vector<char> covered = coveredRegions(cdt, boundary, region, regionCount);
  int32_t outer = -1;
  for (size_t e = 0; e < cdt.vertex.size() && outer < 0; ++e) {
    if (cdt.vertex[e] == kGhost) outer = region[e / 3];
  }
  const auto count = static_cast<int32_t>(region.size());
  for (int32_t t = 0; t < count; ++t) {
    if (isGhost(cdt, t) || covered[region[t]] || (!fillInnerGaps && region[t] != outer)) continue;
    for (int32_t e = 3 * t; e < 3 * t + 3; ++e) fill.triangles.push_back(inputOf[cdt.vertex[e]]);
  }
  return fill;
}

}  // namespace

HullFill fillHull(const double* xyz, int32_t pointCount, const int32_t* triangles, int32_t triangleCount,
                  bool fillInnerGaps) {
  if (pointCount > kMaxSurfacePoints) return {SurfaceStatus::kTooLarge, {}, false};
  try {
    return fillGaps(xyz, pointCount, triangles, triangleCount, fillInnerGaps);
  } catch (const std::bad_alloc&) {
    return {SurfaceStatus::kNoMemory, {}, false};
  }
}

}  // namespace tsvmesh::surface
