// The circle table: one id per live triangle's circle, the circle's details
// by id, and the id of each table slot. Ids are recycled; an id's generation
// tells a current entry from a stale copy of a released one.
// Internal to the circle index (circle_index.h).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
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

struct CircleTable {
  const MeshPoint* points = nullptr;
  const MeshTriangle* triangles = nullptr;
  int32_t* circleOfSlot = nullptr;  // circle id of each table slot, -1 for none
  std::vector<CircleId> ids;
  std::vector<CircleDetail> details;  // by circle id
  std::vector<int32_t> freeIds;
};

// Corners of several triangles, {x0, y0, x1, y1, x2, y2} each, and the
// answers of the batch arithmetic (circumcircle.h) over them: scratch.
struct CircleBatch {
  std::unique_ptr<double[][6]> corners;
  size_t room = 0;
  std::vector<CircleBound> bounds;
  std::vector<int32_t> given;
};

// Gives the triangle in `slot` its circle from boundedCircleOf's answer
// (`bounded`, `bound`), or from the exact circle when there is no bound.
// Returns false, with the slot marked as without circle, when it has none;
// else true with *entry the circle's one entry.
bool addCircle(CircleTable* table, int32_t slot, int32_t bounded, const CircleBound& bound,
               CircleEntry* entry);

// Forgets the circle of the triangle in `slot`, which is being removed.
// (This and moveCircle run for every triangle of every hole: inline.)
inline void dropCircle(CircleTable* table, int32_t slot) {
  const int32_t id = table->circleOfSlot[slot];
  if (id < 0) return;
  ++table->ids[static_cast<size_t>(id)].generation;
  table->freeIds.push_back(id);
}

// The triangle in slot `from` has moved to slot `to`.
inline void moveCircle(CircleTable* table, int32_t from, int32_t to) {
  const int32_t id = table->circleOfSlot[from];
  table->circleOfSlot[to] = id;
  if (id >= 0) table->ids[static_cast<size_t>(id)].slot = to;
}

inline bool isCurrent(const CircleTable& table, const CircleEntry& entry) {
  return table.ids[static_cast<size_t>(entry.id)].generation == entry.generation;
}

inline int32_t slotOf(const CircleTable& table, const CircleEntry& entry) {
  return table.ids[static_cast<size_t>(entry.id)].slot;
}

// The entry's triangle leaves the index for good: no later point can fall
// inside its circle.
inline void retireCircle(CircleTable* table, const CircleEntry& entry) {
  const int32_t slot = slotOf(*table, entry);
  dropCircle(table, slot);
  table->circleOfSlot[slot] = -1;
}

// How far from its centre a circle can hold a point, in x or in y.
inline double reachOf(const CircleTable& table, const CircleEntry& entry) {
  return entry.outer2 < std::numeric_limits<double>::infinity()
             ? std::sqrt(entry.outer2)
             : table.details[static_cast<size_t>(entry.id)].reach;
}

// Whether the entry's current circle holds (px, py) by the exact test,
// computing the exact circle on first need; d2 is the squared distance
// from the entry's centre, as a scan computes it.
bool holds(CircleTable* table, const CircleEntry& entry, double px, double py, double d2);

void cornersOf(const CircleTable& table, int32_t slot, double* corners);

// The corners of the triangles in the given slots, into batch->corners.
const double (*cornersOfSlots(const CircleTable& table, CircleBatch* batch, const int32_t* slots,
                              int32_t count))[6];
