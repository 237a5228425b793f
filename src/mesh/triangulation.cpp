#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/circle_index.h"
#include "mesh/circumcircle.h"
#include "mesh/wide.h"

// Bowyer-Watson insertion whose result, table order included, is exactly
// that of the plain scan: for every point, every live triangle is tested in
// slot order; a triangle whose circle holds the point is deleted by moving
// the last triangle into its slot, which is then examined again at once.
//
// Testing every triangle would make the run quadratic. Instead the live
// triangles' circles are kept in an index (circle_index.h) that lists the
// slots of exactly those circles that hold a point, in ascending order; they
// replay the scan's deletions in the scan's order, so the edge buffer, the
// fan and the table come out the same.

namespace {

// Points per slab: 256, fewer for small sets, where a slab's stale circles
// weigh more against its few points.
int32_t slabLength(int32_t n) { return std::clamp(n / 16, 32, 256); }

// A slot of the shared-edge hash table: an edge (its corners, lower first),
// the index of its copy still waiting for a partner (-1 for none), and the
// hole it belongs to.
struct EdgeSlot {
  int64_t key;
  int32_t pending;
  uint32_t stamp;
};

// The waiting copy of an edge at the hub (see strikeSharedEdges), by its
// other corner.
struct HubSlot {
  int32_t pending;
  uint32_t stamp;
};

struct Sweep {
  CircleIndex circles;
  std::vector<HubSlot> hubSlots;  // by point
  // Hash table for large holes; a slot belongs to the current hole only when
  // its stamp matches, so nothing needs clearing between holes.
  std::vector<EdgeSlot> edgeSlots;
  uint32_t stamp = 0;
};

// Deletes slot j by moving the last triangle into the gap.
void moveLastInto(CircleIndex* circles, MeshTriangle* triangles, int32_t* count, int32_t j) {
  const int32_t last = *count - 1;
  triangles[j] = triangles[last];
  if (circles != nullptr) moveCircle(circles, last, j);
  *count = last;
}

// Strikes out edges shared by two removed triangles, as a pass over all
// pairs (a, b), a < b, would: copies of one edge, in either direction, pair
// off in buffer order, and an odd copy out stays. A hash table finds each
// edge's waiting copy, so a hole costs its edge count, not its square.
// Edges at the hub, the corner of the last fan (most of a regular grid's
// hole), are found by their other corner directly instead. Each edge goes to
// one place, so its copies pair off just the same.
// (Only where the index finds the fans dying whole: on scattered points the
// test costs more than it saves; hub is then -1.)
template <bool withHub>
void strikeSharedEdges(Sweep& s, MeshEdge* edges, int32_t edgeCount, int32_t hub) {
  // Sized by this hole, so that a large hole once does not spread every
  // later one over a table that no longer fits the cache. Slots beyond the
  // size keep old stamps, so growing never needs clearing either.
  size_t size = 64;
  while (size < static_cast<size_t>(edgeCount) * 2) size *= 2;
  const int sizeBits = __builtin_ctzll(size);
  if (size > s.edgeSlots.size()) s.edgeSlots.resize(size, EdgeSlot{-1, -1, 0});
  if (++s.stamp == 0) {  // wrapped: forget every old stamp
    for (EdgeSlot& slot : s.edgeSlots) slot.stamp = 0;
    for (HubSlot& slot : s.hubSlots) slot.stamp = 0;
    s.stamp = 1;
  }
  EdgeSlot* table = s.edgeSlots.data();
  HubSlot* atHub = s.hubSlots.data();
  for (int32_t e = 0; e < edgeCount; ++e) {
    if (withHub && (edges[e].from == hub || edges[e].to == hub)) {
      HubSlot& slot = atHub[edges[e].from == hub ? edges[e].to : edges[e].from];
      if (slot.stamp != s.stamp) {
        slot = HubSlot{e, s.stamp};
      } else if (slot.pending >= 0) {
        edges[slot.pending] = edges[e] = {-1, -1};
        slot.pending = -1;
      } else {
        slot.pending = e;
      }
      continue;
    }
    const int64_t low = std::min(edges[e].from, edges[e].to);
    const int64_t high = std::max(edges[e].from, edges[e].to);
    const int64_t key = (low << 32) | high;
    // The top bits of the product depend on both corners.
    size_t h = static_cast<size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> (64 - sizeBits));
    while (table[h].stamp == s.stamp && table[h].key != key) h = (h + 1) & (size - 1);
    EdgeSlot& slot = table[h];
    if (slot.stamp != s.stamp) {
      slot = EdgeSlot{key, e, s.stamp};
    } else if (slot.pending >= 0) {
      edges[slot.pending] = edges[e] = {-1, -1};
      slot.pending = -1;
    } else {
      slot.pending = e;
    }
  }
}

// Tells whether point i repeats the x and y of an earlier point. Equal x
// are adjacent after the sort, so only the current run of equal x is searched.
struct DuplicateFinder {
  int32_t runStart = 0;
  std::unordered_set<double> ys;  // used once a run grows long

  bool repeats(const MeshPoint* points, int32_t i) {
    if (i == 0 || points[i - 1].x != points[i].x) {
      runStart = i;
      ys.clear();
      return false;
    }
    const double y = points[i].y + 0.0;  // -0 and +0 are one y
    constexpr int32_t linearLimit = 32;
    if (i - runStart < linearLimit) {
      for (int32_t k = runStart; k < i; ++k) {
        if (points[k].y == y) return true;
      }
      return false;
    }
    if (i - runStart == linearLimit) {
      for (int32_t k = runStart; k < i; ++k) ys.insert(points[k].y + 0.0);
    }
    return !ys.insert(y).second;
  }
};

int32_t triangulate(Sweep& s, int32_t* circleOfSlot, int32_t n, MeshPoint* points, MeshTriangle* triangles,
                    int32_t* triangleCount, int32_t limit, MeshEdge** edgeBuffer) {
  MeshEdge* edges = *edgeBuffer;
  int32_t capacity = 200;

  const MeshBox box = placeSuperTriangle(points, n);

  CircleIndex* circles = &s.circles;
  openCircleIndex(circles, points, triangles, circleOfSlot, n, box.ymin, box.ymax, points[0].x,
                  points[std::min(n, slabLength(n)) - 1].x);
  triangles[0] = {n, n + 1, n + 2};
  *triangleCount = 1;
  fileCircle(circles, 0);
  if (meshProgressStream != nullptr) std::fputs("\nProcessing Points.", meshProgressStream);

  const int32_t pointsPerSlab = slabLength(n);
  int32_t hub = -1;  // the corner of the last fan
  DuplicateFinder duplicates;
  for (int32_t i = 0; i < n; ++i) {
    const double px = points[i].x;
    const double py = points[i].y;
    if (i % pointsPerSlab == 0 && i > 0) {
      startSlab(circles, px, points[std::min(n, i + pointsPerSlab) - 1].x);
    }
    if (duplicates.repeats(points, i)) {
      if (i % 500 == 0 && meshProgressStream != nullptr) std::fputc('.', meshProgressStream);
      continue;
    }

    // Replay the scan's deletions: the lowest bad slot first; the triangle
    // moved in from the last slot is examined in the same slot at once, and
    // it is bad exactly when that last slot was bad.
    findHole(circles, px, py);
    const std::vector<int32_t>& hole = circles->holeSlots;
    int32_t edgeCount = 0;
    size_t low = 0;
    size_t high = hole.size();  // one past the highest bad slot not yet moved
    while (low < high) {
      const int32_t j = hole[low];
      for (;;) {
        if (edgeCount + 3 >= capacity) {
          auto* grown = static_cast<MeshEdge*>(
              meshResize(edges, static_cast<size_t>(capacity + 100) * sizeof(MeshEdge)));
          if (grown == nullptr) return meshEdgesGrowFailed;
          edges = grown;
          *edgeBuffer = edges;
          capacity += 100;
        }
        const MeshTriangle t = triangles[j];
        edges[edgeCount++] = {t.corner0, t.corner1};
        edges[edgeCount++] = {t.corner1, t.corner2};
        edges[edgeCount++] = {t.corner2, t.corner0};
        dropCircle(circles, j);
        const int32_t last = *triangleCount - 1;
        const bool lastIsBad = last != j && hole[high - 1] == last;
        if (last == j) --high;
        moveLastInto(last == j ? nullptr : circles, triangles, triangleCount, j);
        if (!lastIsBad) break;
        --high;
      }
      ++low;
    }

    // The table by point is made on the first large fan, so that scattered
    // points never pay for its memory.
    if (hub >= 0 && circles->filterPays && (edgeCount >= 96 || !s.hubSlots.empty())) {
      if (s.hubSlots.empty()) s.hubSlots.assign(static_cast<size_t>(n) + 3, HubSlot{-1, 0});
      strikeSharedEdges<true>(s, edges, edgeCount, hub);
    } else {
      strikeSharedEdges<false>(s, edges, edgeCount, -1);
    }
    hub = i;
    const int32_t fanStart = *triangleCount;
    for (int32_t e = 0; e < edgeCount; ++e) {
      if (edges[e].from < 0 || edges[e].to < 0) continue;
      if (*triangleCount >= limit) return meshTriangleLimit;
      triangles[*triangleCount] = {edges[e].from, edges[e].to, i};
      ++*triangleCount;
    }
    fileCircles(circles, fanStart, *triangleCount - fanStart);
    if (i % 500 == 0 && meshProgressStream != nullptr) std::fputc('.', meshProgressStream);
  }

  // Drop every triangle that touches the super-triangle.
  for (int32_t j = 0; j < *triangleCount;) {
    const MeshTriangle t = triangles[j];
    if (t.corner0 >= n || t.corner1 >= n || t.corner2 >= n) {
      moveLastInto(nullptr, triangles, triangleCount, j);
    } else {
      ++j;
    }
  }
  return meshOk;
}

}  // namespace

FILE* meshProgressStream = stdout;

MeshBox placeSuperTriangle(MeshPoint* points, int32_t n) {
  MeshBox box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int32_t i = 1; i < n; ++i) {
    if (points[i].x < box.xmin) box.xmin = points[i].x;
    if (points[i].x > box.xmax) box.xmax = points[i].x;
    if (points[i].y < box.ymin) box.ymin = points[i].y;
    if (points[i].y > box.ymax) box.ymax = points[i].y;
  }
  const double dx = static_cast<double>(static_cast<Wide>(box.xmax) - box.xmin);
  const double dy = static_cast<double>(static_cast<Wide>(box.ymax) - box.ymin);
  const double dmax = dx > dy ? dx : dy;
  const double xmid = static_cast<double>((static_cast<Wide>(box.xmax) + box.xmin) * static_cast<Wide>(0.5));
  const double ymid = static_cast<double>((static_cast<Wide>(box.ymax) + box.ymin) * static_cast<Wide>(0.5));
  // The super-triangle, corners in the three spare slots:
  //                 n+1  (xmid, ymid + 20 dmax)
  //                /   \  .
  //               / box \     the points' box sits just above the base
  //             n ------- n+2  (xmid -/+ 20 dmax, ymid - dmax)
  points[n] = {static_cast<double>(xmid - static_cast<Wide>(20.0) * dmax), static_cast<double>(ymid - static_cast<Wide>(dmax)), 0.0};
  points[n + 1] = {xmid, static_cast<double>(ymid + static_cast<Wide>(20.0) * dmax), 0.0};
  points[n + 2] = {static_cast<double>(xmid + static_cast<Wide>(20.0) * dmax), static_cast<double>(ymid - static_cast<Wide>(dmax)), 0.0};
  return box;
}

int32_t buildDelaunayMesh(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                          int32_t* triangleCount) {
  const int32_t n = pointCount;
  if (n < 1) return meshOk;
  const int64_t limit64 = int64_t{4} * n;
  const int32_t limit = limit64 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(limit64);

  Sweep sweep;
  auto* circleOfSlot = static_cast<int32_t*>(meshAllocate(static_cast<size_t>(limit) * sizeof(int32_t)));
  if (circleOfSlot == nullptr) return meshFlagsAllocFailed;
  auto* edges = static_cast<MeshEdge*>(meshAllocate(200 * sizeof(MeshEdge)));
  if (edges == nullptr) {
    meshRelease(circleOfSlot);
    return meshEdgesAllocFailed;
  }
  int32_t status;
  try {
    status = triangulate(sweep, circleOfSlot, n, points, triangles, triangleCount, limit, &edges);
  } catch (const std::bad_alloc&) {
    // The index's own memory counts with the per-triangle working memory.
    status = meshFlagsAllocFailed;
  }
  meshRelease(edges);
  meshRelease(circleOfSlot);
  return status;
}
