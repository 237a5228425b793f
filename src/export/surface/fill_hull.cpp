// Completing a triangle mesh to its convex hull: the constrained
// triangulation of its vertices with its boundary edges as constraints,
// whose regions on the outer side of every boundary edge are the gaps.
#include <algorithm>
#include <cmath>
#include <new>

#include "export/surface/insertion.h"
#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

struct Directed {
  int32_t from;
  int32_t to;
};

// An edge without its direction, then its direction: (low, high, low is
// its start). Indices stay below 2^29 (kMaxSurfacePoints).
uint64_t edgeKey(int32_t from, int32_t to) {
  const auto low = static_cast<uint64_t>(std::min(from, to));
  const auto high = static_cast<uint64_t>(std::max(from, to));
  return (low << 30) | (high << 1) | (from < to ? 1 : 0);
}

// The edges of the mesh's counter-clockwise triangles whose reverse no
// triangle has, sorted by start; flat triangles and repeated corners count
// for nothing. vertexOf renames the corners (none: as they are);
// position(v) is the (x, y) of a renamed corner.
template <typename Position>
std::vector<Directed> boundaryEdges(Position position, const int32_t* triangles, int32_t count,
                                    const std::vector<int32_t>* vertexOf) {
  std::vector<uint64_t> keys;
  keys.reserve(3 * static_cast<size_t>(count));
  for (int32_t t = 0; t < count; ++t) {
    int32_t v[3] = {triangles[3 * t], triangles[3 * t + 1], triangles[3 * t + 2]};
    for (int32_t& corner : v) corner = vertexOf == nullptr ? corner : (*vertexOf)[corner];
    if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) continue;
    const int side = orientation(position(v[0]), position(v[1]), position(v[2]));
    if (side == 0) continue;
    if (side < 0) std::swap(v[1], v[2]);
    for (int32_t i = 0; i < 3; ++i) keys.push_back(edgeKey(v[i], v[(i + 1) % 3]));
  }
  std::sort(keys.begin(), keys.end());
  // Per undirected edge, the uses in each direction; those unmatched by a
  // use the other way are the boundary.
  std::vector<Directed> boundary;
  for (size_t i = 0; i < keys.size();) {
    size_t end = i;
    int64_t forward = 0;
    while (end < keys.size() && (keys[end] >> 1) == (keys[i] >> 1)) forward += (keys[end++] & 1) != 0 ? 1 : -1;
    const auto low = static_cast<int32_t>(keys[i] >> 30);
    const auto high = static_cast<int32_t>((keys[i] >> 1) & ((uint64_t{1} << 29) - 1));
    for (; forward > 0; --forward) boundary.push_back({low, high});
    for (; forward < 0; ++forward) boundary.push_back({high, low});
    i = end;
  }
  std::sort(boundary.begin(), boundary.end(),
            [](const Directed& a, const Directed& b) { return a.from != b.from ? a.from < b.from : a.to < b.to; });
  return boundary;
}

// The corners of the convex hull, counter-clockwise, none on a side
// (Andrew's monotone chain with exact turns).
std::vector<int32_t> strictHull(const double* xyz, int32_t count) {
  const auto xy = [xyz](int32_t i) { return &xyz[3 * static_cast<size_t>(i)]; };
  std::vector<int32_t> order(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return xy(a)[0] != xy(b)[0] ? xy(a)[0] < xy(b)[0] : (xy(a)[1] != xy(b)[1] ? xy(a)[1] < xy(b)[1] : a < b);
  });
  std::vector<int32_t> hull;
  for (int pass = 0; pass < 2; ++pass) {
    const size_t base = hull.size();
    for (const int32_t v : order) {
      while (hull.size() >= base + 2 && orientation(xy(hull[hull.size() - 2]), xy(hull.back()), xy(v)) <= 0) {
        hull.pop_back();
      }
      hull.push_back(v);
    }
    hull.pop_back();
    std::reverse(order.begin(), order.end());
  }
  return hull;
}

// Whether the mesh's boundary runs along every side of the convex hull, so
// that no gap reaches the hull: the usual case, found without building.
bool boundaryIsHull(const double* xyz, int32_t count, const std::vector<Directed>& boundary) {
  const auto xy = [xyz](int32_t i) { return &xyz[3 * static_cast<size_t>(i)]; };
  const std::vector<int32_t> hull = strictHull(xyz, count);
  if (hull.size() < 3) return false;  // all on one line: refused after building
  for (size_t i = 0; i < hull.size(); ++i) {
    const int32_t p = hull[i];
    const int32_t q = hull[(i + 1) % hull.size()];
    const int32_t k = xy(p)[0] != xy(q)[0] ? 0 : 1;
    const double sense = xy(q)[k] > xy(p)[k] ? 1 : -1;
    // Along the side from p to q, each step a boundary edge on it, ahead.
    for (int32_t at = p; at != q;) {
      auto edge = std::lower_bound(boundary.begin(), boundary.end(), at,
                                   [](const Directed& d, int32_t from) { return d.from < from; });
      int32_t next = -1;
      for (; edge != boundary.end() && edge->from == at && next < 0; ++edge) {
        const double* w = xy(edge->to);
        const bool ahead = sense * (w[k] - xy(at)[k]) > 0 && sense * (xy(q)[k] - w[k]) >= 0;
        if (ahead && orientation(xy(p), xy(q), w) == 0) next = edge->to;
      }
      if (next < 0) return false;
      at = next;
    }
  }
  return true;
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
  for (int64_t i = 0; i < 3 * int64_t{pointCount}; ++i) {
    if (!std::isfinite(xyz[i])) {
      fill.status = SurfaceStatus::kNotFinite;
      return fill;
    }
  }
  const auto inputAt = [xyz](int32_t v) { return &xyz[3 * static_cast<size_t>(v)]; };
  if (!fillInnerGaps && pointCount >= 3 &&
      boundaryIsHull(xyz, pointCount, boundaryEdges(inputAt, triangles, triangleCount, nullptr))) {
    return fill;
  }
  Cdt cdt;
  std::vector<int32_t> vertexOf;
  std::vector<int32_t> inputOf;
  fill.status = buildDelaunay(xyz, pointCount, 0, false, &cdt, &vertexOf, &inputOf);
  if (fill.status != SurfaceStatus::kOk) return fill;
  const auto vertexAt = [&cdt](int32_t v) { return at(cdt, v); };
  const std::vector<Directed> boundary = boundaryEdges(vertexAt, triangles, triangleCount, &vertexOf);
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
