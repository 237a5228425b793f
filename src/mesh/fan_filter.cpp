#include "mesh/fan_filter.h"

void openFanFilter(FanFilter* filter, const MeshPoint* points, int32_t count) {
  filter->usable = true;
  for (int32_t i = 0; i < count; ++i) {
    filter->usable &= suitsInsideFilter(points[i].x) & suitsInsideFilter(points[i].y);
  }
}

void testFan(FanFilter* filter, CircleTable* table, CircleBatch* batch, double px, double py) {
  FanFilter& f = *filter;
  const int32_t count = f.count;
  f.undecided.resize(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) f.undecided[static_cast<size_t>(k)] = f.first + k;
  const double (*corners)[6] = cornersOfSlots(*table, batch, f.undecided.data(), count);
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
    }
  }
}

void addTaken(const FanFilter& filter, std::vector<int32_t>* hole) {
  for (int32_t k = 0; k < filter.count; ++k) {
    if (filter.taken[static_cast<size_t>(k)] != 0) hole->push_back(filter.first + k);
  }
}
