#include "mesh/circle_tree.h"

#include <cmath>

namespace {

// Monotone in y, so a point inside an interval lands between its ends' leaves.
int32_t leafOf(const CircleTree& s, double y) {
  const double t = (y - s.yLow) * s.yScale;
  if (!(t >= 0)) return 0;
  if (t >= static_cast<double>(s.leaves)) return s.leaves - 1;
  return static_cast<int32_t>(t);
}

}  // namespace

void openCircleTree(CircleTree* tree, int32_t n, double yMin, double yMax, double slabLow,
                    double slabHigh) {
  CircleTree& s = *tree;
  while (s.leaves < (1 << 16) && static_cast<double>(s.leaves) * s.leaves < 1.0 * n) s.leaves *= 2;
  s.nodes.resize(static_cast<size_t>(s.leaves) * 2);
  s.yLow = yMin;
  const double scale = static_cast<double>(s.leaves) / (yMax - yMin);
  s.yScale = std::isfinite(scale) ? scale : 0.0;
  s.slabLow = slabLow;
  s.slabHigh = slabHigh;
}

void enterCircle(CircleTree* tree, const CircleEntry& entry, double reach) {
  CircleTree& s = *tree;
  double gap = 0;
  if (entry.cx < s.slabLow) gap = s.slabLow - entry.cx;
  if (entry.cx > s.slabHigh) gap = entry.cx - s.slabHigh;
  double half = reach;
  if (gap > 0) {
    // Half the chord at the slab's nearest x; the margin covers the
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

void enterOrRetire(CircleTree* tree, CircleTable* table, const CircleEntry& entry, double x) {
  const double reach = reachOf(*table, entry);
  if (leftOf(entry, reach, x)) {
    retireCircle(table, entry);
  } else {
    enterCircle(tree, entry, reach);
  }
}

void startTreeSlab(CircleTree* tree, CircleTable* table, double slabLow, double slabHigh) {
  CircleTree& s = *tree;
  // A circle centred at or left of the old slab's end covers, within the new
  // slab, at most the y range it covered within the old one (or the range
  // of its whole reach, when centred inside): its node still holds it. Only
  // circles centred right of the old slab can reach further, and move.
  const double oldHigh = s.slabHigh;
  s.slabLow = slabLow;
  s.slabHigh = slabHigh;
  s.carried.clear();
  for (std::vector<CircleEntry>& node : s.nodes) {
    CircleEntry* kept = node.data();
    for (const CircleEntry& entry : node) {
      if (!isCurrent(*table, entry)) continue;
      const double reach = reachOf(*table, entry);
      if (leftOf(entry, reach, slabLow)) {
        retireCircle(table, entry);
      } else if (entry.cx > oldHigh) {
        s.carried.push_back(entry);
      } else {
        *kept++ = entry;
      }
    }
    node.resize(static_cast<size_t>(kept - node.data()));
  }
  for (const CircleEntry& entry : s.carried) enterCircle(tree, entry, reachOf(*table, entry));
}

void findHeldInTree(CircleTree* tree, CircleTable* table, double px, double py,
                    std::vector<int32_t>* slots) {
  CircleTree& s = *tree;
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
      if (!isCurrent(*table, *entry)) {
        *entry = *--end;
        continue;
      }
      // Circles that the sweep has passed stay out of every hole by this
      // test alone; they retire at the next slab start.
      if (d2 > entry->outer2) {
        ++entry;
        continue;
      }
      if (holds(table, *entry, px, py, d2)) slots->push_back(slotOf(*table, *entry));
      ++entry;
    }
    entries.resize(static_cast<size_t>(end - entries.data()));
  }
}
