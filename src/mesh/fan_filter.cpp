#include "mesh/fan_filter.h"

#include <algorithm>
#include <memory>

void openFanFilter(FanFilter* filter, const MeshPoint* points, int32_t count) {
  filter->usable = true;
  for (int32_t i = 0; i < count; ++i) {
    filter->usable &= suitsInsideFilter(points[i].x) & suitsInsideFilter(points[i].y);
  }
}

namespace {

// The corners of an unwritten fan's triangles, as cornersOfSlots gives them.
const double (*cornersOfRim(const CircleTable& table, CircleBatch* batch, const UnwrittenFan& fan,
                            int32_t count))[6] {
  if (static_cast<size_t>(count) > batch->room) {
    batch->room = std::max(static_cast<size_t>(count), 2 * batch->room);
    batch->corners = std::make_unique<double[][6]>(batch->room);
  }
  const MeshPoint* p = table.points;
  const double hx = p[fan.hub].x;
  const double hy = p[fan.hub].y;
  for (int32_t k = 0; k < count; ++k) {
    double* c = batch->corners[k];
    const MeshEdge e = fan.rim[k];
    c[0] = p[e.from].x;
    c[1] = p[e.from].y;
    c[2] = p[e.to].x;
    c[3] = p[e.to].y;
    c[4] = hx;
    c[5] = hy;
  }
  return batch->corners.get();
}

}  // namespace

void writeFan(const UnwrittenFan& unwritten, int32_t first, int32_t count) {
  for (int32_t k = 0; k < count; ++k) {
    unwritten.triangles[first + k] = fanTriangle(unwritten, k);
  }
}

void testFan(FanFilter* filter, CircleTable* table, CircleBatch* batch, double px, double py,
             const UnwrittenFan& unwritten) {
  FanFilter& f = *filter;
  const int32_t count = f.count;
  const double(*corners)[6] = nullptr;
  if (unwritten.rim != nullptr) {
    corners = cornersOfRim(*table, batch, unwritten, count);
  } else {
    f.undecided.resize(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) f.undecided[static_cast<size_t>(k)] = f.first + k;
    corners = cornersOfSlots(*table, batch, f.undecided.data(), count);
  }
  batch->given.resize(static_cast<size_t>(count));
  surelyInsideCircles(px, py, corners, count, batch->given.data());
  f.taken.resize(static_cast<size_t>(count));
  f.undecided.clear();
  for (int32_t k = 0; k < count; ++k) {
    const int32_t slot = f.first + k;
    const int32_t inside = batch->given[static_cast<size_t>(k)];
    f.taken[static_cast<size_t>(k)] = static_cast<uint8_t>(inside);
    if (inside != 0) {
      table->circleOfSlot[slot] = -1;
    } else {
      f.undecided.push_back(slot);
      if (unwritten.rim != nullptr) {
        unwritten.triangles[slot] = fanTriangle(unwritten, k);
      }
    }
  }
}

void addTaken(const FanFilter& filter, std::vector<int32_t>* hole) {
  // Nearly the whole fan on a grid: room first, then no check a slot.
  const size_t start = hole->size();
  hole->resize(start + static_cast<size_t>(filter.count));
  int32_t* out = hole->data() + start;
  for (int32_t k = 0; k < filter.count; ++k) {
    *out = filter.first + k;
    out += filter.taken[static_cast<size_t>(k)];
  }
  hole->resize(static_cast<size_t>(out - hole->data()));
}
