#include "mesh/circle_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/circumcircle.h"

// The index exploits the sweep: points come in ascending x, so every live
// circle reaches left of the current point (it passes through corners taken
// earlier) and a circle wholly left of it can never hold a later point.
// For one slab of consecutive points each circle is entered, by the y range
// that it covers within the slab's x range, into a binary tree over y
// buckets, at the lowest node whose range holds that interval. A point then
// looks only at the nodes on the path from its own leaf to the root. At each
// slab start the tree is rebuilt from the circles still alive, and those
// wholly left of the slab retire.

namespace {

// Monotone in y, so a point inside an interval lands between its ends' leaves.
int32_t leafOf(const CircleIndex& s, double y) {
  const double t = (y - s.yLow) * s.yScale;
  if (!(t >= 0)) return 0;
  if (t >= static_cast<double>(s.leaves)) return s.leaves - 1;
  return static_cast<int32_t>(t);
}

// How far from its centre a circle can hold a point, in x or in y.
double reachOf(const CircleIndex& s, const CircleEntry& entry) {
  return entry.outer2 < std::numeric_limits<double>::infinity()
             ? std::sqrt(entry.outer2)
             : s.details[static_cast<size_t>(entry.id)].reach;
}

// Files the entry under the lowest node whose range holds the y interval
// that its circle covers within the current slab's x range.
void enterCircle(CircleIndex& s, const CircleEntry& entry, double reach) {
  double gap = 0;
  if (entry.cx < s.stripLow) gap = s.stripLow - entry.cx;
  if (entry.cx > s.stripHigh) gap = entry.cx - s.stripHigh;
  double half = reach;
  if (gap > 0) {
    // Half the chord at the strip's nearest x; the margin covers the
    // rounding of the subtraction and of the root.
    // Formed as a product so that no square can overflow.
    const double h2 = (reach - gap) * (reach + gap);
    half = (h2 > 0 ? std::sqrt(h2) : 0.0) + reach * 1e-6;
  }
  const uint32_t low = static_cast<uint32_t>(leafOf(s, entry.cy - half));
  const uint32_t high = static_cast<uint32_t>(leafOf(s, entry.cy + half));
  const int32_t level = low == high ? 0 : 32 - __builtin_clz(low ^ high);
  s.nodes[static_cast<size_t>((low + static_cast<uint32_t>(s.leaves)) >> level)].push_back(entry);
}

// A circle wholly left of x: no point from x on can fall inside, so its
// triangle leaves the index for good. Rounding is monotone, so a sum rounded
// below x was below it exactly.
bool leftOf(const CircleEntry& entry, double reach, double x) { return entry.cx + reach < x; }

void retireCircle(CircleIndex& s, const CircleEntry& entry) {
  const int32_t slot = s.ids[static_cast<size_t>(entry.id)].slot;
  dropCircle(&s, slot);
  s.circleOfSlot[slot] = -1;
}

bool isCurrent(const CircleIndex& s, const CircleEntry& entry) {
  return s.ids[static_cast<size_t>(entry.id)].generation == entry.generation;
}

const CircleDetail& exactCircle(CircleIndex& s, int32_t id);

// Whether the entry's current circle holds (px, py) by the exact test,
// computing the exact circle on first need.
bool holds(CircleIndex& s, const CircleEntry& entry, double px, double py, double d2) {
  if (d2 < s.details[static_cast<size_t>(entry.id)].inner2) return true;
  const CircleDetail& c = exactCircle(s, entry.id);
  return c.known > 0 && circleContains(px, py, c.cx, c.cy, c.r2) != 0;
}

// The exact circle of the entry's triangle, computed on first need.
const CircleDetail& exactCircle(CircleIndex& s, int32_t id) {
  CircleDetail& c = s.details[static_cast<size_t>(id)];
  if (c.known == 0) {
    const MeshTriangle& t = s.triangles[s.ids[static_cast<size_t>(id)].slot];
    const MeshPoint* p = s.points;
    c.known = circumcircleOf(p[t.corner0].x, p[t.corner0].y, p[t.corner1].x, p[t.corner1].y,
                             p[t.corner2].x, p[t.corner2].y, &c.cx, &c.cy, &c.r2) != 0
                  ? 1
                  : -1;
  }
  return c;
}

}  // namespace

void openCircleIndex(CircleIndex* index, const MeshPoint* points, const MeshTriangle* triangles,
                     int32_t* circleOfSlot, int32_t n, double yMin, double yMax, double stripLow,
                     double stripHigh) {
  CircleIndex& s = *index;
  s.points = points;
  s.triangles = triangles;
  s.circleOfSlot = circleOfSlot;
  while (s.leaves < (1 << 16) && static_cast<double>(s.leaves) * s.leaves < 1.0 * n) s.leaves *= 2;
  s.nodes.resize(static_cast<size_t>(s.leaves) * 2);
  s.yLow = yMin;
  const double scale = static_cast<double>(s.leaves) / (yMax - yMin);
  s.yScale = std::isfinite(scale) ? scale : 0.0;
  s.stripLow = stripLow;
  s.stripHigh = stripHigh;
  s.insideFilter = true;
  for (int32_t i = 0; i < n + 3; ++i) s.insideFilter &= suitsInsideFilter(points[i].x) & suitsInsideFilter(points[i].y);
}

namespace {

// Files the triangle in `slot`, given boundedCircleOf's answer for it.
void fileBounded(CircleIndex& s, int32_t slot, int32_t bounded, const CircleBound& bound, bool direct) {
  const MeshTriangle& t = s.triangles[slot];
  const MeshPoint* p = s.points;
  CircleDetail detail{0, 0, 0, 0, 0, 0};
  CircleEntry entry;
  if (bounded != 0) {
    entry.cx = bound.centreX;
    entry.cy = bound.centreY;
    entry.outer2 = bound.outer2;
    detail.inner2 = bound.inner2;
  } else {
    if (circumcircleOf(p[t.corner0].x, p[t.corner0].y, p[t.corner1].x, p[t.corner1].y,
                       p[t.corner2].x, p[t.corner2].y, &detail.cx, &detail.cy, &detail.r2) == 0) {
      s.circleOfSlot[slot] = -1;
      return;
    }
    detail.known = 1;
    entry.cx = detail.cx;
    entry.cy = detail.cy;
    // The relative margin covers the test's roundings; the absolute one keeps
    // the squares of anything beyond it out of the subnormal range.
    detail.reach = std::sqrt(detail.r2) * (1 + 1e-9) + 1e-150;
    entry.outer2 = std::numeric_limits<double>::infinity();
    detail.inner2 = -1;
  }
  if (s.freeIds.empty()) {
    s.freeIds.push_back(static_cast<int32_t>(s.ids.size()));
    s.ids.push_back(CircleId{0, 0});
    s.details.push_back(detail);
  }
  entry.id = s.freeIds.back();
  s.freeIds.pop_back();
  CircleId& id = s.ids[static_cast<size_t>(entry.id)];
  id.slot = slot;
  entry.generation = id.generation;
  // The exact circle's values matter only once it is known.
  CircleDetail& kept = s.details[static_cast<size_t>(entry.id)];
  if (detail.known != 0) {
    kept = detail;
  } else {
    kept.inner2 = detail.inner2;
    kept.known = 0;
  }
  s.circleOfSlot[slot] = entry.id;
  if (direct) {
    enterCircle(s, entry, reachOf(s, entry));
  } else {
    s.fresh.push_back(entry);
  }
}

void cornersOf(const CircleIndex& s, int32_t slot, double* corners) {
  const MeshTriangle& t = s.triangles[slot];
  const MeshPoint* p = s.points;
  corners[0] = p[t.corner0].x;
  corners[1] = p[t.corner0].y;
  corners[2] = p[t.corner1].x;
  corners[3] = p[t.corner1].y;
  corners[4] = p[t.corner2].x;
  corners[5] = p[t.corner2].y;
}

}  // namespace

void fileCircle(CircleIndex* index, int32_t slot) {
  double c[6];
  cornersOf(*index, slot, c);
  CircleBound bound;
  const int32_t bounded = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &bound);
  fileBounded(*index, slot, bounded, bound, false);
}

namespace {

// The corners of the triangles in the given slots, for the batch arithmetic.
const double (*cornersOfSlots(CircleIndex& s, const int32_t* slots, int32_t count))[6] {
  if (static_cast<size_t>(count) > s.cornersRoom) {
    s.cornersRoom = std::max(static_cast<size_t>(count), 2 * s.cornersRoom);
    s.corners = std::make_unique<double[][6]>(s.cornersRoom);
  }
  for (int32_t k = 0; k < count; ++k) cornersOf(s, slots[k], s.corners[k]);
  return s.corners.get();
}

// fileCircle for the given slots, ascending, several at a time: into the
// tree at once when `direct`, else as fresh circles for the next query.
void fileSlots(CircleIndex& s, const int32_t* slots, int32_t count, bool direct) {
  const double (*corners)[6] = cornersOfSlots(s, slots, count);
  s.bounds.resize(static_cast<size_t>(count));
  s.given.resize(static_cast<size_t>(count));
  boundedCirclesOf(corners, count, s.bounds.data(), s.given.data());
  for (int32_t k = 0; k < count; ++k) {
    fileBounded(s, slots[k], s.given[static_cast<size_t>(k)], s.bounds[static_cast<size_t>(k)], direct);
  }
}

// Files every pending triangle straight into the tree: where few die in the
// next hole, the tree's own scan finds those that do.
void filePending(CircleIndex& s) {
  s.undecided.resize(static_cast<size_t>(s.pendingCount));
  for (int32_t k = 0; k < s.pendingCount; ++k) s.undecided[static_cast<size_t>(k)] = s.pendingFirst + k;
  fileSlots(s, s.undecided.data(), s.pendingCount, true);
  s.pendingCount = 0;
}

// Settles the pending triangles against the query point: those whose exact
// circle surely holds it are marked taken and get no circle; the others are
// filed as fresh circles.
void settlePending(CircleIndex& s, double px, double py) {
  const int32_t count = s.pendingCount;
  s.undecided.resize(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) s.undecided[static_cast<size_t>(k)] = s.pendingFirst + k;
  const double (*corners)[6] = cornersOfSlots(s, s.undecided.data(), count);
  s.given.resize(static_cast<size_t>(count));
  surelyInsideCircles(px, py, corners, count, s.given.data());
  s.taken.resize(static_cast<size_t>(count));
  s.undecided.clear();
  for (int32_t k = 0; k < count; ++k) {
    const int32_t slot = s.pendingFirst + k;
    const int32_t inside = s.given[static_cast<size_t>(k)];
    s.taken[static_cast<size_t>(k)] = static_cast<uint8_t>(inside);
    if (inside != 0) {
      s.circleOfSlot[slot] = -1;
    } else {
      s.undecided.push_back(slot);
    }
  }
  fileSlots(s, s.undecided.data(), static_cast<int32_t>(s.undecided.size()), false);
}

}  // namespace

void fileCircles(CircleIndex* index, int32_t first, int32_t count) {
  if (index->pendingCount > 0) filePending(*index);
  index->pendingFirst = first;
  index->pendingCount = count;
  if (!index->insideFilter) filePending(*index);
}

void startSlab(CircleIndex* index, double stripLow, double stripHigh) {
  CircleIndex& s = *index;
  // A circle centred at or left of the old slab's end covers, within the new
  // slab, at most the y range it covered within the old one (or the range
  // of its whole reach, when centred inside): its node still holds it. Only
  // circles centred right of the old slab can reach further, and move.
  const double oldHigh = s.stripHigh;
  s.stripLow = stripLow;
  s.stripHigh = stripHigh;
  s.carried.clear();
  for (std::vector<CircleEntry>& node : s.nodes) {
    CircleEntry* kept = node.data();
    for (const CircleEntry& entry : node) {
      if (!isCurrent(s, entry)) continue;
      const double reach = reachOf(s, entry);
      if (leftOf(entry, reach, stripLow)) {
        retireCircle(s, entry);
      } else if (entry.cx > oldHigh) {
        s.carried.push_back(entry);
      } else {
        *kept++ = entry;
      }
    }
    node.resize(static_cast<size_t>(kept - node.data()));
  }
  for (const CircleEntry& entry : s.carried) enterCircle(s, entry, reachOf(s, entry));
}

void findHole(CircleIndex* index, double px, double py) {
  CircleIndex& s = *index;
  s.holeSlots.clear();
  const int32_t pendingFirst = s.pendingFirst;
  const int32_t pendingCount = s.pendingCount;
  const bool filtered = pendingCount > 0 && s.filterPays;
  if (filtered) settlePending(s, px, py);
  if (pendingCount > 0 && !filtered) filePending(s);
  s.pendingCount = 0;
  int32_t held = 0;
  for (int32_t node = leafOf(s, py) + s.leaves; node >= 1; node >>= 1) {
    std::vector<CircleEntry>& entries = s.nodes[static_cast<size_t>(node)];
    CircleEntry* entry = entries.data();
    CircleEntry* end = entry + entries.size();
    while (entry < end) {
      const double dx = px - entry->cx;
      const double dy = py - entry->cy;
      const double d2 = dx * dx + dy * dy;
      // A stale entry goes at its first sight: left in place, one in a node
      // high in the tree would be scanned by every later point of the slab.
      if (!isCurrent(s, *entry)) {
        *entry = *--end;
        continue;
      }
      // Circles that the sweep has passed stay out of every hole by this
      // test alone; they retire at the next slab start.
      if (d2 > entry->outer2) {
        ++entry;
        continue;
      }
      if (holds(s, *entry, px, py, d2)) s.holeSlots.push_back(s.ids[static_cast<size_t>(entry->id)].slot);
      ++entry;
    }
    entries.resize(static_cast<size_t>(end - entries.data()));
  }
  std::sort(s.holeSlots.begin(), s.holeSlots.end());
  if (pendingCount > 0 && !filtered) {
    // The pending triangles went straight into the tree: count those held.
    const auto fromPending = std::lower_bound(s.holeSlots.begin(), s.holeSlots.end(), pendingFirst);
    held = static_cast<int32_t>(s.holeSlots.end() - fromPending);
  }

  // The fresh circles: those that hold the point are deleted with the hole,
  // the others enter the tree.
  s.freshSlots.clear();
  for (CircleEntry& entry : s.fresh) {
    const double dx = px - entry.cx;
    const double dy = py - entry.cy;
    const double d2 = dx * dx + dy * dy;
    if (d2 > entry.outer2 || !holds(s, entry, px, py, d2)) {
      const double reach = reachOf(s, entry);
      if (leftOf(entry, reach, px)) {
        retireCircle(s, entry);
      } else {
        enterCircle(s, entry, reach);
      }
    } else {
      const int32_t slot = s.ids[static_cast<size_t>(entry.id)].slot;
      const bool pending = slot >= pendingFirst && slot - pendingFirst < pendingCount;
      held += pending;
      if (filtered && pending) {
        s.taken[static_cast<size_t>(slot - pendingFirst)] = 1;
      } else {
        s.freshSlots.push_back(slot);
      }
    }
  }
  s.fresh.clear();
  // Pending slots lie above any other fresh slot.
  if (filtered) {
    held = 0;
    for (int32_t k = 0; k < pendingCount; ++k) {
      if (s.taken[static_cast<size_t>(k)] != 0) s.freshSlots.push_back(pendingFirst + k);
      held += s.taken[static_cast<size_t>(k)];
    }
  }
  if (pendingCount > 0) s.filterPays = 2 * held > pendingCount;
  if (s.freshSlots.empty()) return;
  if (s.holeSlots.empty()) {
    s.holeSlots.swap(s.freshSlots);
    return;
  }
  // Every fresh slot lies above every other live slot.
  s.holeSlots.insert(s.holeSlots.end(), s.freshSlots.begin(), s.freshSlots.end());
}
