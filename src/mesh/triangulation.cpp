#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/circumcircle.h"
#include "mesh/wide.h"

// Bowyer-Watson insertion whose result, table order included, is exactly
// that of the plain scan: for every point, every live triangle is tested in
// slot order; a triangle whose circle holds the point is deleted by moving
// the last triangle into its slot, which is then examined again at once.
//
// Testing every triangle would make the run quadratic. Instead each live
// triangle keeps its circle, computed once with the very arithmetic of the
// test, in an index that finds every circle that can hold a point. The
// slots of those circles, sorted, replay the scan's deletions in the scan's
// order, so the edge buffer, the fan and the table come out the same.
//
// The index exploits the sweep: points come in ascending x, so every live
// circle reaches left of the current point (it passes through corners taken
// earlier) and a circle wholly left of it can never hold a later point.
// The points are taken in slabs of consecutive points; for one slab each
// circle is entered, by the y range that it covers within the slab's x
// range, into a binary tree over y buckets, at the lowest node whose range
// holds that interval. A point then looks only at the nodes on the path
// from its own leaf to the root. At each slab start the tree is rebuilt
// from the circles still alive, and those wholly left of the slab retire.

namespace {

constexpr int32_t pointsPerSlab = 256;

// One live triangle's circle, as the index holds it. Every circle has
// exactly one entry; the entry goes stale when its id is released.
struct IndexEntry {
  double cx;
  double cy;
  double r2;
  // A widened radius: a point farther than this from the centre, in x or in
  // y alone, tests outside whatever the rounding of the test.
  double reach;
  int32_t id;
  uint32_t generation;
};

struct CircleId {
  int32_t slot;         // where the triangle stands in the table
  uint32_t generation;  // bumped when the id is released
};

// A slot of the shared-edge hash table: an edge (its corners, lower first),
// the index of its copy still waiting for a partner (-1 for none), and the
// hole it belongs to.
struct EdgeSlot {
  int64_t key;
  int32_t pending;
  uint32_t stamp;
};

struct Sweep {
  int32_t* circleOfSlot = nullptr;  // circle id of each table slot, -1 for none
  std::vector<CircleId> ids;
  std::vector<int32_t> freeIds;
  int32_t leaves = 16;  // leaves of the tree over y, a power of two
  double yLow = 0;
  double yScale = 0;
  std::vector<std::vector<IndexEntry>> nodes;  // heap order, root at 1
  std::vector<IndexEntry> carried;             // scratch of the slab rebuild
  double stripLow = 0;  // x range of the current slab
  double stripHigh = 0;
  std::vector<int32_t> holeSlots;
  // Hash table for large holes; a slot belongs to the current hole only when
  // its stamp matches, so nothing needs clearing between holes.
  std::vector<EdgeSlot> edgeSlots;
  uint32_t stamp = 0;
};

// Monotone in y, so a point inside an interval lands between its ends' leaves.
int32_t leafOf(const Sweep& s, double y) {
  const double t = (y - s.yLow) * s.yScale;
  if (!(t >= 0)) return 0;
  if (t >= static_cast<double>(s.leaves)) return s.leaves - 1;
  return static_cast<int32_t>(t);
}

// Files the entry under the lowest node whose range holds the y interval
// that its circle covers within the current slab's x range.
void enterCircle(Sweep& s, const IndexEntry& entry) {
  double gap = 0;
  if (entry.cx < s.stripLow) gap = s.stripLow - entry.cx;
  if (entry.cx > s.stripHigh) gap = entry.cx - s.stripHigh;
  double half = entry.reach;
  if (gap > 0) {
    // Half the chord at the strip's nearest x; the margin covers the
    // rounding of the subtraction and of the root.
    // Formed as a product so that no square can overflow.
    const double h2 = (entry.reach - gap) * (entry.reach + gap);
    half = (h2 > 0 ? std::sqrt(h2) : 0.0) + entry.reach * 1e-6;
  }
  const uint32_t low = static_cast<uint32_t>(leafOf(s, entry.cy - half));
  const uint32_t high = static_cast<uint32_t>(leafOf(s, entry.cy + half));
  const int32_t level = low == high ? 0 : 32 - __builtin_clz(low ^ high);
  s.nodes[static_cast<size_t>((low + static_cast<uint32_t>(s.leaves)) >> level)].push_back(entry);
}

// Gives the triangle now in `slot` its circle, or none when it has no proper one.
void addCircle(Sweep& s, const MeshPoint* points, const MeshTriangle& t, int32_t slot) {
  IndexEntry entry;
  if (circumcircleOf(points[t.corner0].x, points[t.corner0].y, points[t.corner1].x,
                     points[t.corner1].y, points[t.corner2].x, points[t.corner2].y, &entry.cx,
                     &entry.cy, &entry.r2) == 0) {
    s.circleOfSlot[slot] = -1;
    return;
  }
  if (s.freeIds.empty()) {
    s.freeIds.push_back(static_cast<int32_t>(s.ids.size()));
    s.ids.push_back(CircleId{0, 0});
  }
  entry.id = s.freeIds.back();
  s.freeIds.pop_back();
  CircleId& id = s.ids[static_cast<size_t>(entry.id)];
  id.slot = slot;
  entry.generation = id.generation;
  // The relative margin covers the test's roundings; the absolute one keeps
  // the squares of anything beyond it out of the subnormal range.
  entry.reach = std::sqrt(entry.r2) * (1 + 1e-9) + 1e-150;
  s.circleOfSlot[slot] = entry.id;
  enterCircle(s, entry);
}

void releaseCircle(Sweep& s, int32_t id) {
  ++s.ids[static_cast<size_t>(id)].generation;
  s.freeIds.push_back(id);
}

// A circle wholly left of x: no point from x on can fall inside, so its
// triangle leaves the index for good. Rounding is monotone, so a sum rounded
// below x was below it exactly.
bool leftOf(const IndexEntry& entry, double x) { return entry.cx + entry.reach < x; }

void retireCircle(Sweep& s, const IndexEntry& entry) {
  s.circleOfSlot[s.ids[static_cast<size_t>(entry.id)].slot] = -1;
  releaseCircle(s, entry.id);
}

bool isCurrent(const Sweep& s, const IndexEntry& entry) {
  return s.ids[static_cast<size_t>(entry.id)].generation == entry.generation;
}

// Starts the slab [stripLow, stripHigh]: retires the circles wholly left of
// it and files the others by the y range they cover within it.
void startSlab(Sweep& s, double stripLow, double stripHigh) {
  s.stripLow = stripLow;
  s.stripHigh = stripHigh;
  s.carried.clear();
  for (std::vector<IndexEntry>& node : s.nodes) {
    for (const IndexEntry& entry : node) {
      if (!isCurrent(s, entry)) continue;
      if (leftOf(entry, stripLow)) {
        retireCircle(s, entry);
      } else {
        s.carried.push_back(entry);
      }
    }
    node.clear();
  }
  for (const IndexEntry& entry : s.carried) enterCircle(s, entry);
}

// Slots of every live triangle whose circle holds (px, py), ascending.
void findHole(Sweep& s, double px, double py) {
  s.holeSlots.clear();
  for (int32_t node = leafOf(s, py) + s.leaves; node >= 1; node >>= 1) {
    std::vector<IndexEntry>& entries = s.nodes[static_cast<size_t>(node)];
    IndexEntry* entry = entries.data();
    IndexEntry* end = entry + entries.size();
    while (entry < end) {
      // A quick test in double first: far enough outside by its own
      // rounding is outside by the exact test's too.
      const double dx = px - entry->cx;
      const double dy = py - entry->cy;
      if (dx * dx + dy * dy > entry->r2 * (1 + 1e-12) && entry->r2 > 1e-280 && !leftOf(*entry, px)) {
        ++entry;
        continue;
      }
      if (!isCurrent(s, *entry) || leftOf(*entry, px)) {
        if (isCurrent(s, *entry)) retireCircle(s, *entry);
        *entry = *--end;
        continue;
      }
      if (circleContains(px, py, entry->cx, entry->cy, entry->r2) != 0) {
        s.holeSlots.push_back(s.ids[static_cast<size_t>(entry->id)].slot);
      }
      ++entry;
    }
    entries.resize(static_cast<size_t>(end - entries.data()));
  }
  std::sort(s.holeSlots.begin(), s.holeSlots.end());
}

// Deletes slot j by moving the last triangle into the gap.
void moveLastInto(Sweep* s, MeshTriangle* triangles, int32_t* count, int32_t j) {
  const int32_t last = *count - 1;
  triangles[j] = triangles[last];
  if (s != nullptr) {
    const int32_t id = s->circleOfSlot[last];
    s->circleOfSlot[j] = id;
    if (id >= 0) s->ids[static_cast<size_t>(id)].slot = j;
  }
  *count = last;
}

// Strikes out edges shared by two removed triangles, as a pass over all
// pairs (a, b), a < b, would: copies of one edge, in either direction, pair
// off in buffer order, and an odd copy out stays. A hash table finds each
// edge's waiting copy, so a hole costs its edge count, not its square.
void strikeSharedEdges(Sweep& s, MeshEdge* edges, int32_t edgeCount) {
  size_t size = std::max<size_t>(s.edgeSlots.size(), 64);
  while (size < static_cast<size_t>(edgeCount) * 2) size *= 2;
  const int sizeBits = __builtin_ctzll(size);
  if (size != s.edgeSlots.size()) s.edgeSlots.assign(size, EdgeSlot{-1, -1, 0});
  if (++s.stamp == 0) {  // wrapped: forget every old stamp
    for (EdgeSlot& slot : s.edgeSlots) slot.stamp = 0;
    s.stamp = 1;
  }
  EdgeSlot* table = s.edgeSlots.data();
  for (int32_t e = 0; e < edgeCount; ++e) {
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

int32_t triangulate(Sweep& s, int32_t n, MeshPoint* points, MeshTriangle* triangles,
                    int32_t* triangleCount, int32_t limit, MeshEdge** edgeBuffer) {
  MeshEdge* edges = *edgeBuffer;
  int32_t capacity = 200;

  const MeshBox box = placeSuperTriangle(points, n);

  while (s.leaves < (1 << 16) && static_cast<double>(s.leaves) * s.leaves < 1.0 * n) s.leaves *= 2;
  s.nodes.resize(static_cast<size_t>(s.leaves) * 2);
  s.yLow = box.ymin;
  const double scale = static_cast<double>(s.leaves) / (box.ymax - box.ymin);
  s.yScale = std::isfinite(scale) ? scale : 0.0;

  triangles[0] = {n, n + 1, n + 2};
  *triangleCount = 1;
  s.stripLow = points[0].x;
  s.stripHigh = points[std::min(n, pointsPerSlab) - 1].x;
  addCircle(s, points, triangles[0], 0);
  std::fputs("\nProcessing Points.", stdout);

  DuplicateFinder duplicates;
  for (int32_t i = 0; i < n; ++i) {
    const double px = points[i].x;
    const double py = points[i].y;
    if (i % pointsPerSlab == 0 && i > 0) {
      startSlab(s, px, points[std::min(n, i + pointsPerSlab) - 1].x);
    }
    if (duplicates.repeats(points, i)) {
      if (i % 500 == 0) std::fputc('.', stdout);
      continue;
    }

    // Replay the scan's deletions: the lowest bad slot first; the triangle
    // moved in from the last slot is examined in the same slot at once, and
    // it is bad exactly when that last slot was bad.
    findHole(s, px, py);
    const std::vector<int32_t>& hole = s.holeSlots;
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
        releaseCircle(s, s.circleOfSlot[j]);
        const int32_t last = *triangleCount - 1;
        const bool lastIsBad = last != j && hole[high - 1] == last;
        if (last == j) --high;
        moveLastInto(last == j ? nullptr : &s, triangles, triangleCount, j);
        if (!lastIsBad) break;
        --high;
      }
      ++low;
    }

    strikeSharedEdges(s, edges, edgeCount);
    for (int32_t e = 0; e < edgeCount; ++e) {
      if (edges[e].from < 0 || edges[e].to < 0) continue;
      if (*triangleCount >= limit) return meshTriangleLimit;
      const int32_t slot = *triangleCount;
      triangles[slot] = {edges[e].from, edges[e].to, i};
      addCircle(s, points, triangles[slot], slot);
      ++*triangleCount;
    }
    if (i % 500 == 0) std::fputc('.', stdout);
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
  sweep.circleOfSlot = static_cast<int32_t*>(meshAllocate(static_cast<size_t>(limit) * sizeof(int32_t)));
  if (sweep.circleOfSlot == nullptr) return meshFlagsAllocFailed;
  auto* edges = static_cast<MeshEdge*>(meshAllocate(200 * sizeof(MeshEdge)));
  if (edges == nullptr) {
    meshRelease(sweep.circleOfSlot);
    return meshEdgesAllocFailed;
  }
  int32_t status;
  try {
    status = triangulate(sweep, n, points, triangles, triangleCount, limit, &edges);
  } catch (const std::bad_alloc&) {
    // The index's own memory counts with the per-triangle working memory.
    status = meshFlagsAllocFailed;
  }
  meshRelease(edges);
  meshRelease(sweep.circleOfSlot);
  return status;
}
