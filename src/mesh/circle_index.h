// The circles of the live triangles, indexed for a sweep in ascending x.
//
// Guarantees, on which the insertion loop relies:
// - findHole(px, py) lists exactly the slots whose triangle holds (px, py) by
//   circumcircleContains, the arithmetic of the plain scan, ascending; a
//   triangle without a circle is never listed.
// - Each triangle's circle is first kept as boundedCircleOf's double circle;
//   the exact circle is computed, once, only when a test falls within the
//   bound. Triangles for which no bound is offered get the exact circle at once.
//   A hole's new triangles get no circle until the next query, and none at
//   all when surelyInsideCircle proves that the query point is inside.
// - A circle leaves the index for good (retires) only when no point with x at
//   or beyond the current point's, or the current slab's start, can fall
//   inside it, so retiring never changes a result.
// - Points come in ascending x, in slabs of consecutive points announced by
//   startSlab; between two starts every query's x lies in the slab's range.
// - The slots of the circles filed since the last query are the table's last
//   ones, ascending in filing order: the table only grows between queries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/circumcircle.h"
#include "mesh/mesh_records.h"

// One live triangle's circle as boundedCircleOf gives it (or, with outer2
// infinite, the exact circle's centre), kept to what a query's scan reads:
// the rest is in CircleDetail by id. Every circle has exactly one entry,
// which goes stale when its id is released.
struct CircleEntry {
  double cx;
  double cy;
  double outer2;
  int32_t id;
  uint32_t generation;
};

struct CircleId {
  int32_t slot;         // where the triangle stands in the table
  uint32_t generation;  // bumped when the id is released
};

// What a scan reads only for the circles that it finds near the point: the
// bound's inner2 (negative when none), the reach of a circle filed by its
// exact circle (sqrt(outer2) for the others), and the exact circle, once
// computed: known 0 (not yet), 1 (circle), -1 (none).
struct CircleDetail {
  double inner2;
  double reach;
  double cx;
  double cy;
  double r2;
  int32_t known;
};

struct CircleIndex {
  const MeshPoint* points = nullptr;
  const MeshTriangle* triangles = nullptr;
  int32_t* circleOfSlot = nullptr;  // circle id of each table slot, -1 for none
  std::vector<CircleId> ids;
  std::vector<CircleDetail> details;  // by circle id
  std::vector<int32_t> freeIds;
  int32_t leaves = 16;  // leaves of the tree over y, a power of two
  double yLow = 0;
  double yScale = 0;
  std::vector<std::vector<CircleEntry>> nodes;  // heap order, root at 1
  std::vector<CircleEntry> carried;             // scratch of the slab start
  // Circles filed since the last query, in slot order at the table's end,
  // where most of a fan dies in the next hole (a grid): they enter the tree
  // only if they survive it. Elsewhere new circles enter the tree at once.
  std::vector<CircleEntry> fresh;
  double stripLow = 0;  // x range of the current slab
  double stripHigh = 0;
  // The triangles written by the last fileCircles, slots [pendingFirst,
  // pendingFirst + pendingCount): their circles are found only at the next
  // query, and only for those that the query does not surely take.
  bool insideFilter = false;  // every point suits surelyInsideCircle
  // Whether most of the last query's pending triangles were in its hole:
  // only then is the filter worth its cost (a grid's fan, not scattered points).
  bool filterPays = true;
  int32_t pendingFirst = 0;
  int32_t pendingCount = 0;
  std::vector<int32_t> undecided;  // scratch of findHole
  std::vector<uint8_t> taken;      // scratch of findHole, by pending slot
  std::vector<int32_t> holeSlots;  // findHole's answer
  std::vector<int32_t> freshSlots;  // scratch of findHole
  std::unique_ptr<double[][6]> corners;  // scratch of the batch arithmetic
  size_t cornersRoom = 0;
  std::vector<CircleBound> bounds;
  std::vector<int32_t> given;
};

// Prepares an empty index for n points whose y lie in [yMin, yMax] and whose
// first slab is [stripLow, stripHigh]. circleOfSlot has a slot per table slot.
void openCircleIndex(CircleIndex* index, const MeshPoint* points, const MeshTriangle* triangles,
                     int32_t* circleOfSlot, int32_t n, double yMin, double yMax, double stripLow,
                     double stripHigh);

// Gives the triangle just written to `slot` its circle, or none.
void fileCircle(CircleIndex* index, int32_t slot);

// fileCircle for the `count` triangles just written from `first` on. Their
// circles are found at the next findHole, and not at all for those that
// surelyInsideCircle puts in its hole (most of them); the others' double
// circles are computed several at a time.
void fileCircles(CircleIndex* index, int32_t first, int32_t count);

// Forgets the circle of the triangle in `slot`, which is being removed.
// (This and moveCircle run for every triangle of every hole: inline.)
inline void dropCircle(CircleIndex* index, int32_t slot) {
  const int32_t id = index->circleOfSlot[slot];
  if (id < 0) return;
  ++index->ids[static_cast<size_t>(id)].generation;
  index->freeIds.push_back(id);
}

// The triangle in slot `from` has moved to slot `to`.
inline void moveCircle(CircleIndex* index, int32_t from, int32_t to) {
  const int32_t id = index->circleOfSlot[from];
  index->circleOfSlot[to] = id;
  if (id >= 0) index->ids[static_cast<size_t>(id)].slot = to;
}

// Starts the slab [stripLow, stripHigh].
void startSlab(CircleIndex* index, double stripLow, double stripHigh);

// Fills index->holeSlots (see above).
void findHole(CircleIndex* index, double px, double py);
