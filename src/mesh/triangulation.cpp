#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/circle_index.h"
#include "mesh/circumcircle.h"
#include "mesh/mesh_tables.h"
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

// One run's sweep: the table being built and the working memory, owned
// here and released by the destructor on every exit.
struct Sweep {
  int32_t n = 0;
  MeshPoint* points = nullptr;
  MeshTriangle* triangles = nullptr;
  int32_t* count = nullptr;  // the caller's live count
  int32_t limit = 0;         // room in the table
  CircleIndex circles;
  int32_t* circleOfSlot = nullptr;  // for the index, from meshHeap
  // The edges of the hole being replayed, from meshHeap (so that the tests
  // can refuse its growth).
  MeshEdge* edges = nullptr;
  int32_t edgeRoom = 0;
  int32_t edgeCount = 0;
  std::vector<HubSlot> hubSlots;  // by point
  // Hash table for large holes; a slot belongs to the current hole only when
  // its stamp matches, so nothing needs clearing between holes.
  std::vector<EdgeSlot> edgeSlots;
  uint32_t stamp = 0;

  Sweep() = default;
  Sweep(const Sweep&) = delete;
  Sweep& operator=(const Sweep&) = delete;
  ~Sweep() {
    meshRelease(edges);
    meshRelease(circleOfSlot);
  }
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

// Grows the edge buffer, 100 edges at a time, until `needed` + 3 edges are
// below its size; false when refused.
bool roomForEdges(Sweep& s, int64_t needed) {
  while (needed + 3 >= s.edgeRoom) {
    auto* grown = static_cast<MeshEdge*>(meshResize(s.edges, static_cast<size_t>(s.edgeRoom + 100) * sizeof(MeshEdge)));
    if (grown == nullptr) return false;
    s.edges = grown;
    s.edgeRoom += 100;
  }
  return true;
}

// Replays the plain scan's deletions for one point: the scan deletes the
// lowest bad slot j by moving the last triangle into it and examines slot j
// again at once; the triangle moved in is bad exactly when the last slot was
// in the hole. So the hole's slots are consumed from both ends:
//
//   table   0 ..... j ........................ last
//   hole        [low]  ...  ... [high-1]          ascending
//
//   j = hole[low]: its edges go to the buffer; triangles[last] -> slot j.
//     hole[high-1] == last (and last != j): j holds a bad triangle again;
//                                 --high, and j once more
//     last == j:                  --high, nothing moved; next j (++low)
//     else:                       next j (++low)
//
// Every slot of the hole is deleted once, giving three edges. Returns false,
// before deleting any, when the edge buffer could not grow.
bool replayHole(Sweep& s, const std::vector<int32_t>& hole) {
  if (!hole.empty() && !roomForEdges(s, 3 * static_cast<int64_t>(hole.size() - 1))) return false;
  MeshTriangle* const triangles = s.triangles;
  int32_t* const count = s.count;
  MeshEdge* const edges = s.edges;
  int32_t edgeCount = 0;
  size_t low = 0;
  size_t high = hole.size();  // one past the highest bad slot not yet moved
  while (low < high) {
    const int32_t j = hole[low];
    for (;;) {
      const MeshTriangle t = triangles[j];
      edges[edgeCount++] = {t.corner0, t.corner1};
      edges[edgeCount++] = {t.corner1, t.corner2};
      edges[edgeCount++] = {t.corner2, t.corner0};
      dropCircle(&s.circles, j);
      const int32_t last = *count - 1;
      const bool lastIsBad = last != j && hole[high - 1] == last;
      if (last == j) --high;
      moveLastInto(last == j ? nullptr : &s.circles, triangles, count, j);
      if (!lastIsBad) break;
      --high;
    }
    ++low;
  }
  s.edgeCount = edgeCount;
  return true;
}

// Strikes out the hole's inner edges. The table by point is made on the
// first large fan, so that scattered points never pay for its memory.
void strikeHoleEdges(Sweep& s, int32_t hub) {
  if (hub >= 0 && fansDieWhole(s.circles) && (s.edgeCount >= 96 || !s.hubSlots.empty())) {
    if (s.hubSlots.empty()) s.hubSlots.assign(static_cast<size_t>(s.n) + 3, HubSlot{-1, 0});
    strikeSharedEdges<true>(s, s.edges, s.edgeCount, hub);
  } else {
    strikeSharedEdges<false>(s, s.edges, s.edgeCount, -1);
  }
}

// Joins point i to every edge left on the hole's rim, in buffer order, at
// the table's end, and files the new triangles' circles.
int32_t addFan(Sweep& s, int32_t i) {
  const MeshEdge* const edges = s.edges;
  const int32_t edgeCount = s.edgeCount;
  const int32_t limit = s.limit;
  MeshTriangle* const triangles = s.triangles;
  int32_t* const count = s.count;
  const int32_t fanStart = *count;
  for (int32_t e = 0; e < edgeCount; ++e) {
    if (edges[e].from < 0 || edges[e].to < 0) continue;
    if (*count >= limit) return meshTriangleLimit;
    triangles[*count] = {edges[e].from, edges[e].to, i};
    ++*count;
  }
  fileCircles(&s.circles, fanStart, *count - fanStart);
  return meshOk;
}

// Inserts point i; hub is the last point inserted (-1 for none).
int32_t insertPoint(Sweep& s, int32_t i, int32_t hub) {
  const std::vector<int32_t>& hole = findHole(&s.circles, s.points[i].x, s.points[i].y);
  if (!replayHole(s, hole)) return meshEdgesGrowFailed;
  strikeHoleEdges(s, hub);
  return addFan(s, i);
}

// Drops every triangle that touches the super-triangle.
void removeSuperTriangle(Sweep& s) {
  for (int32_t j = 0; j < *s.count;) {
    const MeshTriangle t = s.triangles[j];
    if (t.corner0 >= s.n || t.corner1 >= s.n || t.corner2 >= s.n) {
      moveLastInto(nullptr, s.triangles, s.count, j);
    } else {
      ++j;
    }
  }
}

void report(MeshProgress progress, int32_t step) {
  if (progress.report != nullptr) progress.report(progress.context, step);
}

int32_t sweepPoints(Sweep& s, MeshProgress progress) {
  const int32_t n = s.n;
  const MeshPoint* const points = s.points;
  const int32_t slab = slabLength(n);
  const MeshBox box = placeSuperTriangle(s.points, n);
  openCircleIndex(&s.circles, points, s.triangles, s.circleOfSlot, n, box.ymin, box.ymax, points[0].x,
                  points[std::min(n, slab) - 1].x);
  s.triangles[0] = {n, n + 1, n + 2};
  *s.count = 1;
  fileCircle(&s.circles, 0);
  report(progress, meshProgressStart);

  int32_t hub = -1;  // the corner of the last fan
  DuplicateFinder duplicates;
  for (int32_t i = 0; i < n; ++i) {
    if (i % slab == 0 && i > 0) startSlab(&s.circles, points[i].x, points[std::min(n, i + slab) - 1].x);
    if (!duplicates.repeats(points, i)) {
      const int32_t status = insertPoint(s, i, hub);
      if (status != meshOk) return status;
      hub = i;
    }
    if (i % 500 == 0) report(progress, meshProgressMark);
  }
  removeSuperTriangle(s);
  return meshOk;
}

}  // namespace

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
                          int32_t* triangleCount, MeshProgress progress) {
  const int32_t n = pointCount;
  if (n < 1) return meshOk;
  // Past a 32-bit capacity no table can be had; the count is held to 32 bits.
  const int32_t capacity = triangleTableCapacity(n);
  Sweep s;
  s.n = n;
  s.points = points;
  s.triangles = triangles;
  s.count = triangleCount;
  s.limit = capacity < 0 ? INT32_MAX : capacity;
  s.circleOfSlot = static_cast<int32_t*>(meshAllocate(static_cast<size_t>(s.limit) * sizeof(int32_t)));
  if (s.circleOfSlot == nullptr) return meshFlagsAllocFailed;
  s.edgeRoom = 200;
  s.edges = static_cast<MeshEdge*>(meshAllocate(static_cast<size_t>(s.edgeRoom) * sizeof(MeshEdge)));
  if (s.edges == nullptr) return meshEdgesAllocFailed;
  // The one place where the standard containers' refusals (the index's own
  // memory, which counts with the per-triangle working memory) become a status.
  try {
    return sweepPoints(s, progress);
  } catch (const std::bad_alloc&) {
    return meshFlagsAllocFailed;
  }
}
