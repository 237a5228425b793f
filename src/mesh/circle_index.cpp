#include "mesh/circle_index.h"

#include <algorithm>

// The index exploits the sweep: points come in ascending x, so every live
// circle reaches left of the current point (it passes through corners taken
// earlier) and a circle wholly left of it can never hold a later point.
// For one slab of consecutive points each circle is entered into the y-tree
// (circle_tree.h), and a point looks only at the nodes on the path from its
// own leaf to the root. At each slab start the tree is brought up to the
// new slab, and circles wholly left of it retire.

namespace {

// Gives the triangle in `slot` its circle from boundedCircleOf's answer:
// into the tree at once when `direct`, else as a fresh circle.
void fileBounded(CircleIndex& s, int32_t slot, int32_t bounded, const CircleBound& bound, bool direct) {
  CircleEntry entry;
  if (!addCircle(&s.table, slot, bounded, bound, &entry)) return;
  if (direct) {
    enterCircle(&s.tree, entry, reachOf(s.table, entry));
  } else {
    s.fresh.push_back(entry);
  }
}

// fileBounded for the given slots, ascending, several at a time.
void fileSlots(CircleIndex& s, const int32_t* slots, int32_t count, bool direct) {
  const double (*corners)[6] = cornersOfSlots(s.table, &s.batch, slots, count);
  s.batch.bounds.resize(static_cast<size_t>(count));
  s.batch.given.resize(static_cast<size_t>(count));
  boundedCirclesOf(corners, count, s.batch.bounds.data(), s.batch.given.data());
  for (int32_t k = 0; k < count; ++k) {
    fileBounded(s, slots[k], s.batch.given[static_cast<size_t>(k)], s.batch.bounds[static_cast<size_t>(k)],
                direct);
  }
}

// Files the waiting fan straight into the tree: where few of it die in the
// next hole, the tree's own scan finds those that do. (Once per point on
// scattered points, where a call is a measurable share: inline.)
[[gnu::always_inline]] inline void fileFan(CircleIndex& s) {
  const WaitingFan& f = s.fan;
  s.slots.resize(static_cast<size_t>(f.count));
  for (int32_t k = 0; k < f.count; ++k) s.slots[static_cast<size_t>(k)] = f.first + k;
  fileSlots(s, s.slots.data(), f.count, true);
}

// The waiting fan meets its query first: tested by the filter where that
// pays (the undecided then filed as fresh circles), else filed into the
// tree. Tells whether it was tested.
bool settleFan(CircleIndex& s, double px, double py) {
  if (s.fan.count == 0) return false;
  if (!s.fan.pays) {
    if (s.fan.unwritten) writeWaitingFan(&s.fan);
    fileFan(s);
    return false;
  }
  testFan(&s.fan, &s.table, &s.batch, px, py);
  fileSlots(s, s.fan.undecided.data(), static_cast<int32_t>(s.fan.undecided.size()), false);
  return true;
}

// The fresh circles: those that hold the point join the hole (a tested
// fan's among the taken), the others enter the tree. Fresh slots lie above
// every slot in the tree, so the hole stays ascending.
void settleFresh(CircleIndex& s, double px, double py, bool tested) {
  for (const CircleEntry& entry : s.fresh) {
    const double dx = px - entry.cx;
    const double dy = py - entry.cy;
    const double d2 = dx * dx + dy * dy;
    if (d2 > entry.outer2 || !holds(&s.table, entry, px, py, d2)) {
      enterOrRetire(&s.tree, &s.table, entry, px);
      continue;
    }
    const int32_t slot = slotOf(s.table, entry);
    if (tested && inFan(s.fan, slot)) {
      s.fan.taken[static_cast<size_t>(slot - s.fan.first)] = 1;
    } else {
      s.hole.push_back(slot);
    }
  }
  s.fresh.clear();
}

}  // namespace

void openCircleIndex(CircleIndex* index, const MeshPoint* points, MeshTriangle* triangles,
                     int32_t* circleOfSlot, int32_t n, double yMin, double yMax, double slabLow,
                     double slabHigh) {
  index->table.points = points;
  index->table.triangles = triangles;
  index->table.circleOfSlot = circleOfSlot;
  openCircleTree(&index->tree, n, yMin, yMax, slabLow, slabHigh);
  openWaitingFan(&index->fan, points, n + 3, triangles);
}

void fileCircle(CircleIndex* index, int32_t slot) {
  double c[6];
  cornersOf(index->table, slot, c);
  CircleBound bound;
  const int32_t bounded = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &bound);
  fileBounded(*index, slot, bounded, bound, false);
}

void fileCircles(CircleIndex* index, int32_t first, int32_t count) {
  WaitingFan& f = index->fan;
  if (f.count > 0) fileFan(*index);
  f.first = first;
  f.count = count;
  if (!f.usable) {
    fileFan(*index);
    f.count = 0;
  }
}

void startSlab(CircleIndex* index, double slabLow, double slabHigh) {
  startTreeSlab(&index->tree, &index->table, slabLow, slabHigh);
}

const std::vector<int32_t>& findHole(CircleIndex* index, double px, double py) {
  CircleIndex& s = *index;
  s.hole.clear();
  const bool tested = settleFan(s, px, py);
  findHeldInTree(&s.tree, &s.table, px, py, &s.hole);
  std::sort(s.hole.begin(), s.hole.end());
  settleFresh(s, px, py, tested);
  if (tested) addTaken(s.fan, &s.hole);
  weighFan(&s.fan, s.hole);
  return s.hole;
}
