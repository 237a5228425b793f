#include "mesh/circle_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The exact circle of the id's triangle, computed on first need.
const CircleDetail& exactCircle(CircleTable& table, int32_t id) {
  CircleDetail& c = table.details[static_cast<size_t>(id)];
  if (c.known == 0) {
    const MeshTriangle& t = table.triangles[table.ids[static_cast<size_t>(id)].slot];
    const MeshPoint* p = table.points;
    c.known = circumcircleOf(p[t.corner0].x, p[t.corner0].y, p[t.corner1].x, p[t.corner1].y,
                             p[t.corner2].x, p[t.corner2].y, &c.cx, &c.cy, &c.r2) != 0
                  ? 1
                  : -1;
  }
  return c;
}

int32_t takeId(CircleTable& table, const CircleDetail& detail) {
  if (table.freeIds.empty()) {
    table.freeIds.push_back(static_cast<int32_t>(table.ids.size()));
    table.ids.push_back(CircleId{0, 0});
    table.details.push_back(detail);
  }
  const int32_t id = table.freeIds.back();
  table.freeIds.pop_back();
  return id;
}

}  // namespace

bool addCircle(CircleTable* table, int32_t slot, int32_t bounded, const CircleBound& bound,
               CircleEntry* entry) {
  CircleTable& s = *table;
  CircleDetail detail{0, 0, 0, 0, 0, 0};
  if (bounded != 0) {
    entry->cx = bound.centreX;
    entry->cy = bound.centreY;
    entry->outer2 = bound.outer2;
    detail.inner2 = bound.inner2;
  } else {
    const MeshTriangle& t = s.triangles[slot];
    const MeshPoint* p = s.points;
    if (circumcircleOf(p[t.corner0].x, p[t.corner0].y, p[t.corner1].x, p[t.corner1].y,
                       p[t.corner2].x, p[t.corner2].y, &detail.cx, &detail.cy, &detail.r2) == 0) {
      s.circleOfSlot[slot] = -1;
      return false;
    }
    detail.known = 1;
    entry->cx = detail.cx;
    entry->cy = detail.cy;
    // The relative margin covers the test's roundings; the absolute one keeps
    // the squares of anything beyond it out of the subnormal range.
    detail.reach = std::sqrt(detail.r2) * (1 + 1e-9) + 1e-150;
    entry->outer2 = std::numeric_limits<double>::infinity();
    detail.inner2 = -1;
  }
  entry->id = takeId(s, detail);
  CircleId& id = s.ids[static_cast<size_t>(entry->id)];
  id.slot = slot;
  entry->generation = id.generation;
  // The exact circle's values matter only once it is known.
  CircleDetail& kept = s.details[static_cast<size_t>(entry->id)];
  if (detail.known != 0) {
    kept = detail;
  } else {
    kept.inner2 = detail.inner2;
    kept.known = 0;
  }
  s.circleOfSlot[slot] = entry->id;
  return true;
}

bool holds(CircleTable* table, const CircleEntry& entry, double px, double py, double d2) {
  if (d2 < table->details[static_cast<size_t>(entry.id)].inner2) return true;
  const CircleDetail& c = exactCircle(*table, entry.id);
  return c.known > 0 && circleContains(px, py, c.cx, c.cy, c.r2) != 0;
}

void cornersOf(const CircleTable& table, int32_t slot, double* corners) {
  const MeshTriangle& t = table.triangles[slot];
  const MeshPoint* p = table.points;
  corners[0] = p[t.corner0].x;
  corners[1] = p[t.corner0].y;
  corners[2] = p[t.corner1].x;
  corners[3] = p[t.corner1].y;
  corners[4] = p[t.corner2].x;
  corners[5] = p[t.corner2].y;
}

const double (*cornersOfSlots(const CircleTable& table, CircleBatch* batch, const int32_t* slots,
                              int32_t count))[6] {
  if (static_cast<size_t>(count) > batch->room) {
    batch->room = std::max(static_cast<size_t>(count), 2 * batch->room);
    batch->corners = std::make_unique<double[][6]>(batch->room);
  }
  for (int32_t k = 0; k < count; ++k) cornersOf(table, slots[k], batch->corners[k]);
  return batch->corners.get();
}
