// The circles of the live triangles, indexed for a sweep in ascending x.
//
// Guarantees, on which the insertion loop relies:
// - findHole(px, py) lists exactly the slots whose triangle holds (px, py) by
//   circumcircleOf and circleContains, the arithmetic of the plain scan,
//   ascending; a triangle without a circle is never listed.
// - Each triangle's circle is first kept as boundedCircleOf's double circle;
//   the exact circle is computed, once, only when a test falls within the
//   bound. Triangles for which no bound is offered get the exact circle at once.
//   A hole's new triangles get no circle until the next query, and none at
//   all when surelyInsideCircles proves that the query point is inside.
// - A circle leaves the index for good (retires) only when no point with x at
//   or beyond the current point's, or the current slab's start, can fall
//   inside it, so retiring never changes a result.
// - Points come in ascending x, in slabs of consecutive points announced by
//   startSlab; between two starts every query's x lies in the slab's range.
// - The slots of the circles filed since the last query are the table's last
//   ones, ascending in filing order: the table only grows between queries.
//
// Three parts, each with its own header: the circle table (ids, details,
// the id of each slot), the y-tree of the current slab, and the waiting fan.
// A circle not in the tree is either in a waiting fan (no circle yet), or
// fresh (a circle, entering the tree only if it survives the next query).
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/circle_table.h"
#include "mesh/circle_tree.h"
#include "mesh/waiting_fan.h"

struct CircleIndex {
  CircleTable table;
  CircleTree tree;
  WaitingFan fan;
  CircleBatch batch;
  // Circles filed since the last query and not yet in the tree (the first
  // triangle's, and a tested fan's undecided ones): where most of a fan dies
  // in the next hole, they enter the tree only if they survive it.
  std::vector<CircleEntry> fresh;
  std::vector<int32_t> hole;   // findHole's answer
  std::vector<int32_t> slots;  // scratch
};

// Prepares an empty index for n points whose y lie in [yMin, yMax] and whose
// first slab is [slabLow, slabHigh]. circleOfSlot has a slot per table slot;
// points has n + 3 (the super-triangle's corners too); triangles is the
// table, which the waiting fan writes when it waits unwritten.
void openCircleIndex(CircleIndex* index, const MeshPoint* points, MeshTriangle* triangles,
                     int32_t* circleOfSlot, int32_t n, double yMin, double yMax, double slabLow,
                     double slabHigh);

// Gives the triangle just written to `slot` its circle, or none.
void fileCircle(CircleIndex* index, int32_t slot);

// fileCircle for the `count` triangles just written from `first` on (a
// fan). Their circles are found at the next findHole, and not at all for
// those that the fan filter puts in its hole (most of them); the others'
// double circles are computed several at a time. They become the waiting fan.
void fileCircles(CircleIndex* index, int32_t first, int32_t count);

// Forgets the circle of the triangle in `slot`, which is being removed.
inline void dropCircle(CircleIndex* index, int32_t slot) { dropCircle(&index->table, slot); }

// The triangle in slot `from` has moved to slot `to`.
inline void moveCircle(CircleIndex* index, int32_t from, int32_t to) { moveCircle(&index->table, from, to); }

// Starts the slab [slabLow, slabHigh].
void startSlab(CircleIndex* index, double slabLow, double slabHigh);

// The slots whose triangle holds (px, py) (see above); valid until the
// next call on the index.
const std::vector<int32_t>& findHole(CircleIndex* index, double px, double py);

// Whether the last query found most of the last fan in its hole: the fans
// die whole, as on a grid.
inline bool fansDieWhole(const CircleIndex& index) { return index.fan.pays; }
