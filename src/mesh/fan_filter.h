// The fan filter: the triangles made for one point (its fan) wait, without
// circles, for the next point's query. Where most of a fan dies in that
// hole (a grid's fans, not scattered points), the filter tests the waiting
// fan against the point with surelyInsideCircles first: those it proves
// inside go into the hole with no circle ever computed (taken); only the
// others (undecided) get circles.
// Internal to the circle index (circle_index.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mesh/circle_table.h"

struct FanFilter {
  bool usable = false;  // every point suits surelyInsideCircles
  // Whether most of the last waiting fan died in the next hole: only then
  // is the test worth its cost.
  bool pays = true;
  int32_t first = 0;  // the waiting fan: slots [first, first + count),
  int32_t count = 0;  // the table's last ones
  std::vector<uint8_t> taken;      // by fan slot, after testFan
  std::vector<int32_t> undecided;  // slots, after testFan
};

// Prepares the filter for the points[0 .. count-1].
void openFanFilter(FanFilter* filter, const MeshPoint* points, int32_t count);

// Whether the slot belongs to the waiting fan.
inline bool inFan(const FanFilter& filter, int32_t slot) {
  return slot >= filter.first && slot - filter.first < filter.count;
}

// A waiting fan whose triangles are not written to the table yet: triangle
// k is (rim[k].from, rim[k].to, hub). Where the fans die whole, most of them
// never need to be.
struct UnwrittenFan {
  const MeshEdge* rim = nullptr;  // nullptr: the waiting fan is written
  int32_t hub = -1;
  MeshTriangle* triangles = nullptr;  // the table, to write those that live on
};

// Tests the waiting fan against (px, py): marks taken, and leaves without
// circle in the table, each triangle whose circle surely holds the point;
// lists the others in undecided, ascending. An unwritten fan (rim set) has
// its undecided triangles written.
void testFan(FanFilter* filter, CircleTable* table, CircleBatch* batch, double px, double py,
             const UnwrittenFan& unwritten);

// Triangle k of an unwritten fan.
inline MeshTriangle fanTriangle(const UnwrittenFan& fan, int32_t k) {
  return {fan.rim[k].from, fan.rim[k].to, fan.hub};
}

// Writes every triangle of an unwritten fan whose first slot is `first`.
void writeFan(const UnwrittenFan& unwritten, int32_t first, int32_t count);

// Appends the taken slots, ascending, to the hole.
void addTaken(const FanFilter& filter, std::vector<int32_t>* hole);

// Closes the query of the waiting fan, given the query's whole hole
// (ascending): the fan pays when more than half of it died there.
// (Once per point: inline.)
inline void weighFan(FanFilter* filter, const std::vector<int32_t>& hole) {
  if (filter->count == 0) return;
  // The fan's slots are the table's last: the hole's tail from its first.
  const auto held = hole.end() - std::lower_bound(hole.begin(), hole.end(), filter->first);
  filter->pays = 2 * held > filter->count;
  filter->count = 0;
}
