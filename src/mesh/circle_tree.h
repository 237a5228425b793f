// The y-tree: the circle entries of one slab of the sweep, filed by the y
// range that each circle covers within the slab's x range.
// Internal to the circle index (circle_index.h).
//
// A binary tree over y buckets (leaves) in heap order, root at 1: an entry
// sits at the lowest node whose range holds its interval, so the circles
// that can hold a point are all on the path from the point's leaf to the
// root. Points come in ascending x, so a circle wholly left of the current
// point can never hold a later one: it retires (circle_table.h).
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/circle_table.h"

struct CircleTree {
  int32_t leaves = 16;  // a power of two
  double yLow = 0;
  double yScale = 0;
  std::vector<std::vector<CircleEntry>> nodes;  // heap order, root at 1
  double slabLow = 0;                            // x range of the current slab
  double slabHigh = 0;
  std::vector<CircleEntry> carried;  // scratch of the slab start
};

// Prepares an empty tree for n points whose y lie in [yMin, yMax] and whose
// first slab is [slabLow, slabHigh].
void openCircleTree(CircleTree* tree, int32_t n, double yMin, double yMax, double slabLow,
                    double slabHigh);

// Files the entry by the y interval that a circle of this reach covers
// within the current slab.
void enterCircle(CircleTree* tree, const CircleEntry& entry, double reach);

// A circle wholly left of x: no point from x on can fall inside. Rounding is
// monotone, so a sum rounded below x was below it exactly.
inline bool leftOf(const CircleEntry& entry, double reach, double x) { return entry.cx + reach < x; }

// Enters the entry, or retires its circle when it lies wholly left of x.
void enterOrRetire(CircleTree* tree, CircleTable* table, const CircleEntry& entry, double x);

// Moves on to the slab [slabLow, slabHigh]: circles wholly left of it
// retire, those that may cover more of it than of the last one move.
void startTreeSlab(CircleTree* tree, CircleTable* table, double slabLow, double slabHigh);

// Appends the slots of the tree's circles that hold (px, py) by the exact
// test, in no particular order, and drops the stale entries on the way.
void findHeldInTree(CircleTree* tree, CircleTable* table, double px, double py,
                    std::vector<int32_t>* slots);
