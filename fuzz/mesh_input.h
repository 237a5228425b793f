// How the triangulation fuzz target turns bytes into a point set; shared with
// the regression test that replays what the fuzzer found. Layout:
//   byte 0  bits 0-4: grid size 2..33; bit 5: points from the 36 lattice
//           points on the circle of radius 65 (and its centre) instead
//   byte 1  bits 0-3: scale, bits 4-6: offset (tables below)
//   then    one byte per point on the circle, two (x, y) on the grid; at
//           most 300 points
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/mesh_records.h"

struct FuzzPointSet {
  std::vector<MeshPoint> points;  // n points in input order (z is the position), 3 spare slots
  int32_t n = 0;
  bool onCircle = false;
  bool exactGrid = true;            // every coordinate is offset + g * scale exactly
  bool integerCoordinates = false;  // small integers: exact geometry is cheap
};

namespace fuzzinput {

constexpr int32_t kMostPoints = 300;
constexpr double kScales[16] = {1,    1,    1,   0.5, 0.1,  1.0 / 3, 1e-3,  1e-6,
                                3e-7, 1e-7, 1e3, 1e6, 1e12, 1e100,   1e155, 7.0 / 64};
constexpr double kOffsets[8] = {0, 0, 0, -16, 1e6, -1e9, 1e15, 2.5};

// The lattice points on x^2 + y^2 = 65^2.
inline const std::vector<std::pair<int, int>>& circleLattice() {
  static const std::vector<std::pair<int, int>> lattice = [] {
    std::vector<std::pair<int, int>> points;
    for (int x = -65; x <= 65; ++x) {
      for (int y = -65; y <= 65; ++y) {
        if (x * x + y * y == 65 * 65) points.push_back({x, y});
      }
    }
    return points;
  }();
  return lattice;
}

// The coordinate is offset + g * scale exactly, not a rounding of it.
inline bool onGrid(double value, double g, double scale, double offset) {
  return static_cast<long double>(offset) + static_cast<long double>(g) * scale ==
         static_cast<long double>(value);
}

}  // namespace fuzzinput

// n is 0 when the bytes hold no point.
inline FuzzPointSet decodeFuzzPointSet(const uint8_t* data, size_t size) {
  using namespace fuzzinput;
  FuzzPointSet set;
  if (size < 3) return set;
  const std::vector<std::pair<int, int>>& lattice = circleLattice();
  const int grid = 2 + (data[0] & 31);
  set.onCircle = (data[0] & 32) != 0;
  const double scale = kScales[data[1] & 15];
  const double offset = kOffsets[(data[1] >> 4) & 7];
  const size_t bytesPerPoint = set.onCircle ? 1 : 2;
  set.n = static_cast<int32_t>(std::min<size_t>(kMostPoints, (size - 2) / bytesPerPoint));
  set.points.resize(static_cast<size_t>(set.n) + 3);
  for (int32_t i = 0; i < set.n; ++i) {
    const uint8_t* at = data + 2 + static_cast<size_t>(i) * bytesPerPoint;
    double gx;
    double gy;
    if (set.onCircle) {
      const size_t pick = at[0] % (lattice.size() + 1);  // the last pick is the centre
      gx = pick < lattice.size() ? lattice[pick].first : 0;
      gy = pick < lattice.size() ? lattice[pick].second : 0;
    } else {
      gx = at[0] % grid;
      gy = at[1] % grid;
    }
    MeshPoint& point = set.points[static_cast<size_t>(i)];
    point = {offset + gx * scale, offset + gy * scale, static_cast<double>(i)};
    set.exactGrid = set.exactGrid && onGrid(point.x, gx, scale, offset) && onGrid(point.y, gy, scale, offset);
  }
  set.integerCoordinates = scale == 1 && std::fabs(offset) <= 1e6 && offset == std::trunc(offset);
  return set;
}
