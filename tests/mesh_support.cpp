#include "mesh_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "driver/console_text.h"
#include "mesh/circumcircle.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "reference_mesh.h"

MeshResult triangulate(std::vector<MeshPoint>& points) {
  const int32_t n = static_cast<int32_t>(points.size());
  std::stable_sort(points.begin(), points.end(),
                   [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  points.resize(points.size() + 3);
  MeshResult result;
  result.triangles.resize(static_cast<size_t>(4) * static_cast<size_t>(std::max(n, 1)));
  int32_t count = 0;
  testing::internal::CaptureStdout();
  result.status = buildDelaunayMesh(n, points.data(), result.triangles.data(), &count, MeshProgress{showMeshProgress, nullptr});
  std::fflush(stdout);
  result.progress = testing::internal::GetCapturedStdout();
  result.triangles.resize(static_cast<size_t>(count));
  return result;
}

std::string differenceFromScan(std::vector<MeshPoint> points, bool retire) {
  std::vector<MeshPoint> copy = points;
  MeshResult fast = triangulate(points);

  const int32_t n = static_cast<int32_t>(copy.size());
  std::stable_sort(copy.begin(), copy.end(), [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  copy.resize(copy.size() + 3);
  std::vector<MeshTriangle> table(static_cast<size_t>(4) * static_cast<size_t>(std::max(n, 1)));
  int32_t count = 0;
  testing::internal::CaptureStdout();
  const int32_t status = buildDelaunayMeshByScan(n, copy.data(), table.data(), &count, retire);
  std::fflush(stdout);
  const std::string progress = testing::internal::GetCapturedStdout();

  if (status != fast.status) return "status " + std::to_string(fast.status) + " vs " + std::to_string(status);
  if (progress != fast.progress) return "progress text differs";
  if (static_cast<size_t>(count) != fast.triangles.size()) {
    return "count " + std::to_string(fast.triangles.size()) + " vs " + std::to_string(count);
  }
  for (int32_t k = 0; k < count; ++k) {
    const MeshTriangle& a = fast.triangles[static_cast<size_t>(k)];
    const MeshTriangle& b = table[static_cast<size_t>(k)];
    if (a.corner0 != b.corner0 || a.corner1 != b.corner1 || a.corner2 != b.corner2) {
      return "triangle " + std::to_string(k) + " differs";
    }
  }
  return "";
}

std::vector<MeshPoint> uniformPoints(int32_t n, uint32_t seed, double lo, double hi, int decimals) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> coordinate(lo, hi);
  const double scale = std::pow(10.0, decimals);
  std::vector<MeshPoint> points;
  for (int32_t i = 0; i < n; ++i) {
    // Rounded to the stated decimals, as a points file would hold them.
    double x = std::round(coordinate(random) * scale) / scale;
    double y = std::round(coordinate(random) * scale) / scale;
    points.push_back({x, y, static_cast<double>(i % 97)});
  }
  return points;
}

std::vector<MeshPoint> gridPoints(int32_t columns, int32_t rows, double spacing, double x0, double y0) {
  std::vector<MeshPoint> points;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      points.push_back({x0 + c * spacing, y0 + r * spacing, static_cast<double>(r + c)});
    }
  }
  return points;
}

std::vector<MeshPoint> clusteredPoints(int32_t n, uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> centre(0, 1000);
  std::normal_distribution<double> spread(0, 1);
  std::vector<std::pair<double, double>> blobs;
  for (int b = 0; b < 8; ++b) blobs.push_back({centre(random), centre(random)});
  std::vector<MeshPoint> points;
  for (int32_t i = 0; i < n; ++i) {
    const auto& blob = blobs[static_cast<size_t>(i) % blobs.size()];
    const double sigma = 5.0 + 10.0 * static_cast<double>(i % 3);
    double x = std::round((blob.first + sigma * spread(random)) * 1e4) / 1e4;
    double y = std::round((blob.second + sigma * spread(random)) * 1e4) / 1e4;
    points.push_back({x, y, 1.0});
  }
  return points;
}

namespace {

// The geometry's own type: on every platform the checker then rounds alike.

Wide orient(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c) {
  return (static_cast<Wide>(b.x) - a.x) * (static_cast<Wide>(c.y) - a.y) -
         (static_cast<Wide>(b.y) - a.y) * (static_cast<Wide>(c.x) - a.x);
}

// > 0 when d is strictly inside the circle through a, b, c (counter-clockwise),
// beyond a margin relative to the size of the terms.
bool strictlyInside(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c, const MeshPoint& d) {
  const Wide adx = static_cast<Wide>(a.x) - d.x, ady = static_cast<Wide>(a.y) - d.y;
  const Wide bdx = static_cast<Wide>(b.x) - d.x, bdy = static_cast<Wide>(b.y) - d.y;
  const Wide cdx = static_cast<Wide>(c.x) - d.x, cdy = static_cast<Wide>(c.y) - d.y;
  const Wide al = adx * adx + ady * ady, bl = bdx * bdx + bdy * bdy, cl = cdx * cdx + cdy * cdy;
  const Wide t1 = adx * (bdy * cl - bl * cdy);
  const Wide t2 = ady * (bdx * cl - bl * cdx);
  const Wide t3 = al * (bdx * cdy - bdy * cdx);
  const Wide det = t1 - t2 + t3;
  const Wide size = wideAbs(adx) * (wideAbs(bdy * cl) + wideAbs(bl * cdy)) +
                    wideAbs(ady) * (wideAbs(bdx * cl) + wideAbs(bl * cdx)) +
                    al * (wideAbs(bdx * cdy) + wideAbs(bdy * cdx));
  return det > static_cast<Wide>(1e-9) * size;
}

}  // namespace

std::string meshViolation(const std::vector<MeshPoint>& points, int32_t n,
                          const std::vector<MeshTriangle>& triangles, bool checkEmpty) {
  std::set<std::pair<int32_t, int32_t>> directed;
  for (size_t k = 0; k < triangles.size(); ++k) {
    const MeshTriangle& t = triangles[k];
    const std::string where = "triangle " + std::to_string(k);
    if (t.corner0 < 0 || t.corner1 < 0 || t.corner2 < 0 || t.corner0 >= n || t.corner1 >= n ||
        t.corner2 >= n) {
      return where + ": corner out of range";
    }
    if (t.corner2 <= t.corner0 || t.corner2 <= t.corner1) return where + ": corner2 not the highest";
    const int32_t c[3] = {t.corner0, t.corner1, t.corner2};
    for (int e = 0; e < 3; ++e) {
      if (!directed.insert({c[e], c[(e + 1) % 3]}).second) return where + ": directed edge used twice";
    }
    const MeshPoint &a = points[static_cast<size_t>(t.corner0)], &b = points[static_cast<size_t>(t.corner1)],
                    &d = points[static_cast<size_t>(t.corner2)];
    if (orient(a, b, d) == 0) return where + ": zero area";
  }
  if (!checkEmpty) return "";
  for (size_t k = 0; k < triangles.size(); ++k) {
    const MeshTriangle& t = triangles[k];
    MeshPoint a = points[static_cast<size_t>(t.corner0)], b = points[static_cast<size_t>(t.corner1)],
              c = points[static_cast<size_t>(t.corner2)];
    if (orient(a, b, c) < 0) std::swap(b, c);
    for (int32_t i = 0; i < n; ++i) {
      if (i == t.corner0 || i == t.corner1 || i == t.corner2) continue;
      if (strictlyInside(a, b, c, points[static_cast<size_t>(i)])) {
        return "triangle " + std::to_string(k) + ": point " + std::to_string(i) + " inside its circle";
      }
    }
  }
  return "";
}

int32_t surelyInsideCircle(double testX, double testY, double x0, double y0, double x1, double y1,
                           double x2, double y2) {
  const double corners[1][6] = {{x0, y0, x1, y1, x2, y2}};
  int32_t inside = 0;
  surelyInsideCircles(testX, testY, corners, 1, &inside);
  return inside;
}

namespace {
// The heap as the program starts with it; constant-initialised, so it is
// there before any test changes it.
const MeshHeap defaultMeshHeap = meshHeap;
}  // namespace

void resetMeshHeap() { meshHeap = defaultMeshHeap; }
