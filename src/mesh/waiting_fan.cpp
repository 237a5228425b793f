#include "mesh/waiting_fan.h"

#include <algorithm>
#include <memory>

void openWaitingFan(WaitingFan* fan, const MeshPoint* points, int32_t count, MeshTriangle* triangles) {
  fan->usable = true;
  for (int32_t i = 0; i < count; ++i) {
    fan->usable &= suitsInsideFilter(points[i].x) & suitsInsideFilter(points[i].y);
  }
  fan->pointCount = count;
  fan->triangles = triangles;
}

namespace {

// The fan goes: its corners' entries by point are cleared.
void forgetUnwritten(WaitingFan* fan) {
  for (const MeshEdge& e : fan->rim) {
    fan->rimEnds[static_cast<size_t>(e.from)].from = -1;
    fan->rimEnds[static_cast<size_t>(e.to)].to = -1;
  }
  fan->unwritten = false;
}

// Indexes the rim's ends by point; false, clearing them again, where a
// corner starts or ends two rim edges, or an edge comes back the other way
// round from an earlier triangle.
bool indexRimEnds(WaitingFan* fan) {
  RimEnds* ends = fan->rimEnds.data();
  const MeshEdge* rim = fan->rim.data();
  const auto count = static_cast<int32_t>(fan->rim.size());
  for (int32_t k = 0; k < count; ++k) {
    const MeshEdge e = rim[k];
    RimEnds& a = ends[e.from];
    RimEnds& b = ends[e.to];
    if (a.from >= 0 || b.to >= 0 || (b.from >= 0 && rim[b.from].to == e.from)) {
      forgetUnwritten(fan);
      return false;
    }
    a.from = k;
    b.to = k;
  }
  return true;
}

// The corners of an unwritten fan's triangles, as cornersOfSlots gives them.
const double (*cornersOfRim(const CircleTable& table, CircleBatch* batch, const WaitingFan& fan,
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

bool holdUnwritten(WaitingFan* fan, std::vector<MeshEdge>* rim, int32_t hub, int32_t first) {
  // The table by point is made on the first unwritten fan, so that scattered
  // points never pay for its memory.
  if (fan->rimEnds.empty()) fan->rimEnds.assign(static_cast<size_t>(fan->pointCount), RimEnds{-1, -1});
  fan->rim.swap(*rim);
  fan->unwritten = true;
  if (!indexRimEnds(fan)) {
    fan->rim.swap(*rim);
    return false;
  }
  fan->hub = hub;
  fan->first = first;
  return true;
}

void writeWaitingFan(WaitingFan* fan) {
  if (!fan->unwritten) return;
  const auto count = static_cast<int32_t>(fan->rim.size());
  for (int32_t k = 0; k < count; ++k) fan->triangles[fan->first + k] = fanTriangle(*fan, k);
  forgetUnwritten(fan);
}

void writeFanSurvivors(WaitingFan* fan, int32_t tableCount) {
  const auto size = static_cast<int32_t>(fan->rim.size());
  for (int32_t k = 0; k < size && fan->first + k < tableCount; ++k) {
    if (fan->taken[static_cast<size_t>(k)] == 0) fan->triangles[fan->first + k] = fanTriangle(*fan, k);
  }
  forgetUnwritten(fan);
}

int32_t rimTriangleOf(const WaitingFan& fan, int32_t u, int32_t v) {
  const int32_t a = rimTriangleAt(fan, u, false);
  if (a >= 0 && fan.rim[static_cast<size_t>(a)].to == v) return a;
  const int32_t b = rimTriangleAt(fan, v, false);
  if (b >= 0 && fan.rim[static_cast<size_t>(b)].to == u) return b;
  return -1;
}

void testFan(WaitingFan* fan, CircleTable* table, CircleBatch* batch, double px, double py) {
  WaitingFan& f = *fan;
  const int32_t count = f.count;
  const double(*corners)[6] = nullptr;
  if (f.unwritten) {
    corners = cornersOfRim(*table, batch, f, count);
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
      if (f.unwritten) f.triangles[slot] = fanTriangle(f, k);
    }
  }
}

void addTaken(const WaitingFan& fan, std::vector<int32_t>* hole) {
  // Nearly the whole fan on a grid: room first, then no check a slot.
  const size_t start = hole->size();
  hole->resize(start + static_cast<size_t>(fan.count));
  int32_t* out = hole->data() + start;
  for (int32_t k = 0; k < fan.count; ++k) {
    *out = fan.first + k;
    out += fan.taken[static_cast<size_t>(k)];
  }
  hole->resize(static_cast<size_t>(out - hole->data()));
}
