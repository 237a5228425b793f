#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/circle_index.h"
#include "mesh/circumcircle.h"
#include "mesh/collinear.h"
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

// By point, for an unwritten fan: its triangle whose rim edge starts (from)
// and ends (to) there, -1 for none. Only the fan's own corners are ever set,
// and they are cleared when the fan goes.
struct RimEnds {
  int32_t from;
  int32_t to;
};

// An edge of a removed triangle that is not the unwritten fan's (the older
// triangles of a hole), and how many removed triangles have it.
struct OlderEdge {
  int32_t slot;  // the triangle's slot before the replay
  int32_t low;
  int32_t high;
  int32_t copies;
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
  // The last fan, where fans die whole (a grid's): kept as its rim, in the
  // fan's order, and written to its slots [rimFirst, rimFirst + rim.size())
  // only as far as its triangles outlive the next hole (see UnwrittenFan).
  bool fanUnwritten = false;
  std::vector<MeshEdge> rim;
  int32_t rimFirst = 0;
  std::vector<MeshEdge> survivors;  // the next fan's rim, as the replay finds it
  std::vector<RimEnds> rimEnds;     // by point, made on the first unwritten fan
  std::vector<OlderEdge> olderEdges;
  std::vector<int32_t> struckRims;  // rim edges that an older triangle shares

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

// The fan goes: its corners' entries by point are cleared.
void clearRimEnds(Sweep& s) {
  for (const MeshEdge& e : s.rim) {
    s.rimEnds[static_cast<size_t>(e.from)].from = -1;
    s.rimEnds[static_cast<size_t>(e.to)].to = -1;
  }
}

// Writes the unwritten fan into its slots, all of them still its own.
void writeUnwrittenFan(Sweep& s) {
  if (!s.fanUnwritten) return;
  writeFan(s.circles.unwritten, s.rimFirst, static_cast<int32_t>(s.rim.size()));
  clearRimEnds(s);
  s.fanUnwritten = false;
  s.circles.unwritten.rim = nullptr;
}

// Indexes the rim's ends by point. False when the fan is not a plain ring of
// triangles about its hub (a corner starting or ending two rim edges, or an
// edge in both directions): the structural pairing below would not hold.
bool indexRimEnds(Sweep& s) {
  if (s.rimEnds.empty()) s.rimEnds.assign(static_cast<size_t>(s.n) + 3, RimEnds{-1, -1});
  RimEnds* ends = s.rimEnds.data();
  const MeshEdge* rim = s.rim.data();
  const auto count = static_cast<int32_t>(s.rim.size());
  for (int32_t k = 0; k < count; ++k) {
    const MeshEdge e = rim[k];
    RimEnds& a = ends[e.from];
    RimEnds& b = ends[e.to];
    // A corner twice, or the same edge the other way round from an earlier
    // triangle.
    if (a.from >= 0 || b.to >= 0 || (b.from >= 0 && rim[b.from].to == e.from)) {
      clearRimEnds(s);
      return false;
    }
    a.from = k;
    b.to = k;
  }
  return true;
}

// The fan's triangle whose rim edge starts (or, with `atEnd`, ends) at
// point v; -1 for none.
int32_t rimTriangleAt(const Sweep& s, int32_t v, bool atEnd) {
  const RimEnds& ends = s.rimEnds[static_cast<size_t>(v)];
  return atEnd ? ends.to : ends.from;
}

// The fan's triangle with rim edge {u, v}, either way round; -1 for none.
int32_t rimTriangleOf(const Sweep& s, int32_t u, int32_t v) {
  const int32_t a = rimTriangleAt(s, u, false);
  if (a >= 0 && s.rim[static_cast<size_t>(a)].to == v) return a;
  const int32_t b = rimTriangleAt(s, v, false);
  if (b >= 0 && s.rim[static_cast<size_t>(b)].to == u) return b;
  return -1;
}

// Counts, for the hole's older triangles (slots below the fan's), how many
// removed triangles share each of their edges, and notes the fan's rim
// edges that one of them shares. False when an edge has three copies: not a
// plain triangulation there, so the buffer's pairing must decide.
bool countOlderEdges(Sweep& s, const std::vector<int32_t>& hole) {
  const std::vector<uint8_t>& taken = s.circles.filter.taken;
  s.olderEdges.clear();
  s.struckRims.clear();
  // Pairing them by scanning costs the square of their count: a hole with
  // more than a few older triangles goes through the buffer's hash instead.
  constexpr size_t olderLimit = 4;
  if (hole.size() > olderLimit && hole[olderLimit] < s.rimFirst) return false;
  for (const int32_t slot : hole) {
    if (slot >= s.rimFirst) break;
    const MeshTriangle t = s.triangles[slot];
    const int32_t corners[4] = {t.corner0, t.corner1, t.corner2, t.corner0};
    for (int32_t e = 0; e < 3; ++e) {
      s.olderEdges.push_back(OlderEdge{slot, std::min(corners[e], corners[e + 1]),
                                       std::max(corners[e], corners[e + 1]), 1});
    }
  }
  for (OlderEdge& a : s.olderEdges) {
    for (const OlderEdge& b : s.olderEdges) {
      if (&a != &b && a.low == b.low && a.high == b.high) ++a.copies;
    }
    const int32_t k = rimTriangleOf(s, a.low, a.high);
    if (k >= 0 && taken[static_cast<size_t>(k)] != 0) {
      ++a.copies;
      s.struckRims.push_back(k);
    }
    if (a.copies > 2) return false;
  }
  return true;
}

// The edges of a removed triangle that no other removed triangle shares, in
// the buffer's order: those that the pairing would leave, the next fan's
// rim. `source` is the slot the triangle stood in before the replay.
void keepSurvivingEdges(Sweep& s, int32_t source, const MeshTriangle& t) {
  const std::vector<uint8_t>& taken = s.circles.filter.taken;
  if (source >= s.rimFirst) {
    const int32_t k = source - s.rimFirst;
    if (std::find(s.struckRims.begin(), s.struckRims.end(), k) == s.struckRims.end()) {
      s.survivors.push_back({t.corner0, t.corner1});
    }
    // A spoke is shared with the fan's neighbouring triangle only.
    const int32_t after = rimTriangleAt(s, t.corner1, false);
    if (after < 0 || taken[static_cast<size_t>(after)] == 0) s.survivors.push_back({t.corner1, t.corner2});
    const int32_t before = rimTriangleAt(s, t.corner0, true);
    if (before < 0 || taken[static_cast<size_t>(before)] == 0) s.survivors.push_back({t.corner2, t.corner0});
    return;
  }
  const MeshEdge edges[3] = {{t.corner0, t.corner1}, {t.corner1, t.corner2}, {t.corner2, t.corner0}};
  int32_t e = 0;
  for (const OlderEdge& older : s.olderEdges) {
    if (older.slot != source) continue;
    if (older.copies == 1) s.survivors.push_back(edges[e]);
    ++e;
  }
}

// replayHole and the pairing for a hole that takes an unwritten fan: the
// same deletions in the same order, the same circle moves, and the same
// table, but a fan triangle is written only where it outlives the hole,
// and its edges are paired by the fan's structure instead of the buffer.
// The next fan's rim is left in s.survivors. False, with the fan written
// and nothing replayed, when the edge buffer could not grow.
bool replayUnwritten(Sweep& s, const std::vector<int32_t>& hole) {
  if (!hole.empty() && !roomForEdges(s, 3 * static_cast<int64_t>(hole.size() - 1))) {
    writeUnwrittenFan(s);
    return false;
  }
  const int32_t first = s.rimFirst;
  const UnwrittenFan fan = s.circles.unwritten;
  MeshTriangle* const triangles = s.triangles;
  int32_t* const count = s.count;
  const auto original = [&](int32_t slot) { return slot >= first ? fanTriangle(fan, slot - first) : triangles[slot]; };
  s.survivors.clear();
  size_t low = 0;
  size_t high = hole.size();
  while (low < high) {
    const int32_t j = hole[low];
    int32_t source = j;  // a removed triangle comes from its own slot or the last
    for (;;) {
      keepSurvivingEdges(s, source, original(source));
      dropCircle(&s.circles, j);
      const int32_t last = *count - 1;
      const bool lastIsBad = last != j && hole[high - 1] == last;
      if (last == j) --high;
      if (last != j) {
        moveCircle(&s.circles, last, j);
        if (!lastIsBad) triangles[j] = original(last);
      }
      *count = last;
      if (!lastIsBad) break;
      source = last;
      --high;
    }
    ++low;
  }
  // The fan's triangles that outlive the hole in their own slots.
  const std::vector<uint8_t>& taken = s.circles.filter.taken;
  const auto size = static_cast<int32_t>(s.rim.size());
  for (int32_t k = 0; k < size && first + k < *count; ++k) {
    if (taken[static_cast<size_t>(k)] == 0) triangles[first + k] = original(first + k);
  }
  clearRimEnds(s);
  s.fanUnwritten = false;
  s.circles.unwritten.rim = nullptr;
  return true;
}

// The rim left by the buffer's pairing, in the buffer's order.
void collectSurvivors(Sweep& s) {
  s.survivors.clear();
  for (int32_t e = 0; e < s.edgeCount; ++e) {
    if (s.edges[e].from >= 0 && s.edges[e].to >= 0) s.survivors.push_back(s.edges[e]);
  }
}

// Joins point i to the rim in s.survivors at the table's end. Where the
// next query will test the whole fan with the filter, the fan stays
// unwritten; otherwise, or when it would pass the table's room, it is
// written as addFan writes it.
int32_t addFanFromSurvivors(Sweep& s, int32_t i) {
  const int32_t fanStart = *s.count;
  const auto size = static_cast<int32_t>(s.survivors.size());
  const FanFilter& filter = s.circles.filter;
  // Small fans gain little, and the table by point is made on the first
  // large one, so that scattered points never pay for its memory.
  constexpr int32_t largeFan = 32;
  if (filter.usable && filter.pays && size <= s.limit - fanStart && (size >= largeFan || !s.rimEnds.empty())) {
    s.rim.swap(s.survivors);
    if (indexRimEnds(s)) {
      s.rimFirst = fanStart;
      s.fanUnwritten = true;
      s.circles.unwritten = UnwrittenFan{s.rim.data(), i, s.triangles};
      *s.count = fanStart + size;
      fileCircles(&s.circles, fanStart, size);
      return meshOk;
    }
    s.rim.swap(s.survivors);
  }
  for (const MeshEdge& e : s.survivors) {
    if (*s.count >= s.limit) return meshTriangleLimit;
    s.triangles[*s.count] = {e.from, e.to, i};
    ++*s.count;
  }
  fileCircles(&s.circles, fanStart, *s.count - fanStart);
  return meshOk;
}

// Inserts point i; hub is the last point inserted (-1 for none).
int32_t insertPoint(Sweep& s, int32_t i, int32_t hub) {
  const std::vector<int32_t>& hole = findHole(&s.circles, s.points[i].x, s.points[i].y);
  if (s.fanUnwritten) {
    if (countOlderEdges(s, hole)) {
      if (!replayUnwritten(s, hole)) return meshEdgesGrowFailed;
      return addFanFromSurvivors(s, i);
    }
    writeUnwrittenFan(s);
  }
  if (!replayHole(s, hole)) return meshEdgesGrowFailed;
  strikeHoleEdges(s, hub);
  if (s.circles.filter.usable && s.circles.filter.pays) {
    collectSurvivors(s);
    return addFanFromSurvivors(s, i);
  }
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
  writeUnwrittenFan(s);
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
  // Points on one line would cost the sweep n^2 tests for an empty mesh.
  if (meshCollinearPoints(n, points, triangles, triangleCount, progress)) return meshOk;
  // The one place where the standard containers' refusals (the index's own
  // memory, which counts with the per-triangle working memory) become a status.
  try {
    return sweepPoints(s, progress);
  } catch (const std::bad_alloc&) {
    return meshFlagsAllocFailed;
  }
}
