#include "mesh/sweep.h"

#include <algorithm>

// How a point's hole is taken out of the table and what is left of its
// edges: the new fan's rim.

namespace {

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

// The edges of a removed triangle that no other removed triangle shares, in
// the buffer's order: those that the pairing would leave, the next fan's
// rim. `source` is the slot the triangle stood in before the replay.
void keepSurvivingEdges(Sweep& s, int32_t source, MeshTriangle t) {
  const WaitingFan& fan = s.circles.fan;
  const std::vector<uint8_t>& taken = fan.taken;
  if (source >= fan.first) {
    const int32_t k = source - fan.first;
    if (std::find(s.struckRims.begin(), s.struckRims.end(), k) == s.struckRims.end()) {
      s.survivors.push_back({t.corner0, t.corner1});
    }
    // A spoke is shared with the fan's neighbouring triangle only.
    const int32_t after = rimTriangleAt(fan, t.corner1, false);
    if (after < 0 || taken[static_cast<size_t>(after)] == 0) s.survivors.push_back({t.corner1, t.corner2});
    const int32_t before = rimTriangleAt(fan, t.corner0, true);
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

// Replays the plain scan's deletions for one point: the scan deletes the
// lowest bad slot j by moving the last triangle into it and examines slot j
// again at once; the triangle moved in is bad exactly when the last slot was
// in the hole. So the hole's slots are consumed from both ends:
//
//   table   0 ..... j ........................ last
//   hole        [low]  ...  ... [high-1]          ascending
//
//   j = hole[low]: removed; triangles[last] -> slot j.
//     hole[high-1] == last (and last != j): j holds a bad triangle again;
//                                 --high, and j once more
//     last == j:                  --high, nothing moved; next j (++low)
//     else:                       next j (++low)
//
// Every slot of the hole is deleted once: removed(source, t) hears of each
// triangle t in deletion order, with the slot it stood in before the replay.
// A bad triangle moved into j is never written there, since it goes at once;
// with `unwritten`, the waiting fan's slots are read from its rim, as the
// table would hold them.
template <bool unwritten, typename Removed>
void replayDeletions(Sweep& s, const std::vector<int32_t>& hole, Removed removed) {
  const WaitingFan& fan = s.circles.fan;
  MeshTriangle* const triangles = s.triangles;
  int32_t* const count = s.count;
  const auto original = [&](int32_t slot) {
    if constexpr (unwritten) {
      if (slot >= fan.first) return fanTriangle(fan, slot - fan.first);
    }
    return triangles[slot];
  };
  size_t low = 0;
  size_t high = hole.size();  // one past the highest bad slot not yet moved
  while (low < high) {
    const int32_t j = hole[low];
    int32_t source = j;  // a removed triangle comes from its own slot or the last
    for (;;) {
      removed(source, original(source));
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
}

}  // namespace

bool replayHole(Sweep& s, const std::vector<int32_t>& hole) {
  if (!hole.empty() && !roomForEdges(s, 3 * static_cast<int64_t>(hole.size() - 1))) return false;
  MeshEdge* const edges = s.edges;
  int32_t edgeCount = 0;
  replayDeletions<false>(s, hole, [&](int32_t, MeshTriangle t) {
    edges[edgeCount++] = {t.corner0, t.corner1};
    edges[edgeCount++] = {t.corner1, t.corner2};
    edges[edgeCount++] = {t.corner2, t.corner0};
  });
  s.edgeCount = edgeCount;
  return true;
}

bool replayUnwritten(Sweep& s, const std::vector<int32_t>& hole) {
  if (!hole.empty() && !roomForEdges(s, 3 * static_cast<int64_t>(hole.size() - 1))) {
    writeWaitingFan(&s.circles.fan);
    return false;
  }
  s.survivors.clear();
  replayDeletions<true>(s, hole, [&](int32_t source, MeshTriangle t) { keepSurvivingEdges(s, source, t); });
  writeFanSurvivors(&s.circles.fan, *s.count);
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

// Counts, for the hole's older triangles (slots below the fan's), how many
// removed triangles share each of their edges, and notes the fan's rim
// edges that one of them shares. False when an edge has three copies: not a
// plain triangulation there, so the buffer's pairing must decide.
bool countOlderEdges(Sweep& s, const std::vector<int32_t>& hole) {
  const WaitingFan& fan = s.circles.fan;
  s.olderEdges.clear();
  s.struckRims.clear();
  // Pairing them by scanning costs the square of their count: a hole with
  // more than a few older triangles goes through the buffer's hash instead.
  constexpr size_t olderLimit = 4;
  if (hole.size() > olderLimit && hole[olderLimit] < fan.first) return false;
  for (const int32_t slot : hole) {
    if (slot >= fan.first) break;
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
    const int32_t k = rimTriangleOf(fan, a.low, a.high);
    if (k >= 0 && fan.taken[static_cast<size_t>(k)] != 0) {
      ++a.copies;
      s.struckRims.push_back(k);
    }
    if (a.copies > 2) return false;
  }
  return true;
}

// The rim left by the buffer's pairing, in the buffer's order.
void collectSurvivors(Sweep& s) {
  s.survivors.clear();
  for (int32_t e = 0; e < s.edgeCount; ++e) {
    if (s.edges[e].from >= 0 && s.edges[e].to >= 0) s.survivors.push_back(s.edges[e]);
  }
}

