// The waiting fan: the triangles made for one point, which wait, without
// circles, for the next point's query. Where most of a fan dies in that hole
// (a grid's fans, not scattered points), the fan is tested against the point
// with surelyInsideCircles first: those it proves inside go into the hole
// with no circle ever computed (taken); only the others (undecided) get
// circles. Where the fans die whole, a fan may even wait unwritten: kept as
// its rim, and its triangles written to the table only as far as they
// outlive the next hole.
//
// One record holds all of it, for the circle index (circle_index.h), which
// files and tests the fan, and for the sweep, which replays its hole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mesh/circle_table.h"

// By point, for an unwritten fan: its triangle whose rim edge starts (from)
// and ends (to) there, -1 for none. Only the fan's own corners are ever set,
// and they are cleared when the fan goes.
struct RimEnds {
  int32_t from;
  int32_t to;
};

struct WaitingFan {
  bool usable = false;  // every point suits surelyInsideCircles
  // Whether most of the last waiting fan died in the next hole: only then
  // is the test worth its cost.
  bool pays = true;
  int32_t first = 0;  // the fan: slots [first, first + count), the table's
  int32_t count = 0;  // last ones; count is 0 once the fan met its query
  std::vector<uint8_t> taken;      // by fan slot, after testFan: in the hole
  std::vector<int32_t> undecided;  // slots, after testFan
  // An unwritten fan: triangle k, for slot first + k, is (rim[k].from,
  // rim[k].to, hub) and is not in the table yet.
  bool unwritten = false;
  int32_t hub = -1;
  std::vector<MeshEdge> rim;
  std::vector<RimEnds> rimEnds;       // by point, made on the first unwritten fan
  int32_t pointCount = 0;             // points, for rimEnds
  MeshTriangle* triangles = nullptr;  // the table, to write those that live on
};

// Prepares the fan for the points[0 .. count-1] and the given table.
void openWaitingFan(WaitingFan* fan, const MeshPoint* points, int32_t count, MeshTriangle* triangles);

// Whether the slot belongs to the fan still waiting for its query.
inline bool inFan(const WaitingFan& fan, int32_t slot) {
  return slot >= fan.first && slot - fan.first < fan.count;
}

// Triangle k of an unwritten fan.
inline MeshTriangle fanTriangle(const WaitingFan& fan, int32_t k) {
  return {fan.rim[k].from, fan.rim[k].to, fan.hub};
}

// The fan for `hub` in slots from `first` on stays unwritten, its rim taken
// from *rim (swapped). False, with *rim as it was, when the fan is not a
// plain ring of triangles about its hub (a corner starting or ending two rim
// edges, or an edge in both directions): it must then be written.
bool holdUnwritten(WaitingFan* fan, std::vector<MeshEdge>* rim, int32_t hub, int32_t first);

// Writes every triangle of an unwritten fan; it is a written fan from then on.
void writeWaitingFan(WaitingFan* fan);

// Writes the triangles of an unwritten fan that are not taken and still
// below the table's count, after a replay of its hole; the fan is written
// from then on.
void writeFanSurvivors(WaitingFan* fan, int32_t tableCount);

// The unwritten fan's triangle whose rim edge starts (or, with `atEnd`,
// ends) at point v; -1 for none.
inline int32_t rimTriangleAt(const WaitingFan& fan, int32_t v, bool atEnd) {
  const RimEnds& ends = fan.rimEnds[static_cast<size_t>(v)];
  return atEnd ? ends.to : ends.from;
}

// The unwritten fan's triangle with rim edge {u, v}, either way round; -1 for
// none.
int32_t rimTriangleOf(const WaitingFan& fan, int32_t u, int32_t v);

// Tests the fan against (px, py): marks taken, and leaves without circle in
// the table, each triangle whose circle surely holds the point; lists the
// others in undecided, ascending. An unwritten fan has its undecided
// triangles written.
void testFan(WaitingFan* fan, CircleTable* table, CircleBatch* batch, double px, double py);

// Appends the taken slots, ascending, to the hole.
void addTaken(const WaitingFan& fan, std::vector<int32_t>* hole);

// Closes the fan's query, given the query's whole hole (ascending): the fan
// pays when more than half of it died there. (Once per point: inline.)
inline void weighFan(WaitingFan* fan, const std::vector<int32_t>& hole) {
  if (fan->count == 0) return;
  // The fan's slots are the table's last: the hole's tail from its first.
  const auto held = hole.end() - std::lower_bound(hole.begin(), hole.end(), fan->first);
  fan->pays = 2 * held > fan->count;
  fan->count = 0;
}
