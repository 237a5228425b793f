#include <algorithm>
#include <cmath>

#include "export/surface/insertion.h"
#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

struct OrderKey {
  uint32_t key;
  int32_t index;
};

// Position along the Hilbert curve through a 2^16 x 2^16 grid.
uint32_t hilbertKey(uint32_t x, uint32_t y) {
  constexpr uint32_t kSide = 1u << 16;
  uint32_t key = 0;
  for (uint32_t s = kSide / 2; s > 0; s /= 2) {
    const uint32_t rx = (x & s) != 0 ? 1 : 0;
    const uint32_t ry = (y & s) != 0 ? 1 : 0;
    key += s * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) {
        x = kSide - 1 - x;
        y = kSide - 1 - y;
      }
      std::swap(x, y);
    }
  }
  return key;
}

// Grid cell of a coordinate; halves first so that no difference overflows.
uint32_t gridCell(double v, double low, double scale) {
  const double cell = (0.5 * v - 0.5 * low) * scale;
  if (!(cell > 0)) return 0;
  return cell >= 65535 ? 65535u : static_cast<uint32_t>(cell);
}

std::vector<OrderKey> hilbertOrder(const double* xyz, int32_t count, bool skipHeightless) {
  double low[2] = {xyz[0], xyz[1]};
  double high[2] = {xyz[0], xyz[1]};
  for (int32_t i = 0; i < count; ++i) {
    for (int32_t k = 0; k < 2; ++k) {
      low[k] = std::min(low[k], xyz[3 * static_cast<size_t>(i) + k]);
      high[k] = std::max(high[k], xyz[3 * static_cast<size_t>(i) + k]);
    }
  }
  const double span = std::max(0.5 * high[0] - 0.5 * low[0], 0.5 * high[1] - 0.5 * low[1]);
  const double scale = span > 0 ? 65535.0 / span : 0.0;
  std::vector<OrderKey> order;
  order.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const double* p = &xyz[3 * static_cast<size_t>(i)];
    if (skipHeightless && std::isnan(p[2])) continue;
    order.push_back({hilbertKey(gridCell(p[0], low[0], scale), gridCell(p[1], low[1], scale)), i});
  }
  // Equal positions share a key, so they end up side by side, first input first.
  std::sort(order.begin(), order.end(), [xyz](const OrderKey& a, const OrderKey& b) {
    if (a.key != b.key) return a.key < b.key;
    const double* p = &xyz[3 * static_cast<size_t>(a.index)];
    const double* q = &xyz[3 * static_cast<size_t>(b.index)];
    if (p[0] != q[0]) return p[0] < q[0];
    if (p[1] != q[1]) return p[1] < q[1];
    return a.index < b.index;
  });
  return order;
}

// Vertices for the distinct positions, in curve order.
void addDistinct(const double* xyz, const std::vector<OrderKey>& order, Cdt* cdt,
                 std::vector<int32_t>* vertexOf, std::vector<int32_t>* inputOf) {
  const double* previous = nullptr;
  for (const OrderKey& entry : order) {
    const double* p = &xyz[3 * static_cast<size_t>(entry.index)];
    if (previous == nullptr || p[0] != previous[0] || p[1] != previous[1]) {
      addVertex(cdt, p[0], p[1], p[2]);
      inputOf->push_back(entry.index);
      previous = p;
    }
    (*vertexOf)[entry.index] = static_cast<int32_t>(inputOf->size()) - 1;
  }
}

}  // namespace

SurfaceStatus buildDelaunay(const double* xyz, int32_t count, int64_t extraTriangles, bool skipHeightless,
                            Cdt* cdt, std::vector<int32_t>* vertexOf, std::vector<int32_t>* inputOf) {
  for (int64_t i = 0; i < 3 * int64_t{count}; ++i) {
    const bool heightless = skipHeightless && i % 3 == 2 && std::isnan(xyz[i]);
    if (!std::isfinite(xyz[i]) && !heightless) return SurfaceStatus::kNotFinite;
  }
  if (count < 3) return SurfaceStatus::kTooFewPoints;
  vertexOf->assign(static_cast<size_t>(count), -1);
  inputOf->clear();
  {
    const std::vector<OrderKey> order = hilbertOrder(xyz, count, skipHeightless);
    addDistinct(xyz, order, cdt, vertexOf, inputOf);
  }
  const auto distinct = static_cast<int32_t>(inputOf->size());
  if (distinct < 3) return SurfaceStatus::kTooFewPoints;
  int32_t third = 2;
  int side = 0;
  for (; third < distinct; ++third) {
    side = orientation(at(*cdt, 0), at(*cdt, 1), at(*cdt, third));
    if (side != 0) break;
  }
  if (side == 0) return SurfaceStatus::kCollinear;
  const auto room = static_cast<size_t>(3 * (2 * int64_t{distinct} + extraTriangles + 8));
  cdt->vertex.reserve(room);
  cdt->twin.reserve(room);
  cdt->owner.reserve(room);
  startTriangulation(cdt, side > 0 ? 0 : 1, side > 0 ? 1 : 0, third);
  for (int32_t v = 2; v < distinct; ++v) {
    if (v == third) continue;
    const Location loc = locate(cdt, at(*cdt, v), cdt->lastTriangle);
    if (loc.where != Where::kOnVertex) insertAt(cdt, v, loc);
  }
  return SurfaceStatus::kOk;
}

}  // namespace tsvmesh::surface
