// Points on one line: the exact orientation that recognises them, and the
// line's own sweep, which must give exactly the plain scan's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "mesh/collinear.h"
#include "mesh/orientation.h"
#include "mesh_support.h"
#include "test_support.h"

namespace {

__extension__ typedef __int128 Int128;

TEST(OrientationTest, KnownTurnsAndLines) {
  EXPECT_EQ(orientationOf(0, 0, 1, 0, 0, 1), 1);
  EXPECT_EQ(orientationOf(0, 0, 0, 1, 1, 0), -1);
  EXPECT_EQ(orientationOf(0, 0, 1, 2, 3, 6), 0);
  EXPECT_EQ(orientationOf(2, 2, 2, 2, 5, 7), 0);  // two corners coincide
  // On y = x, and one ulp above or below it: beyond what a double evaluation
  // can tell.
  EXPECT_EQ(orientationOf(0.5, 0.5, 12, 12, 24, 24), 0);
  EXPECT_EQ(orientationOf(0.5, 0.5, 12, 12, 24, std::nextafter(24.0, 25.0)), 1);
  EXPECT_EQ(orientationOf(0.5, 0.5, 12, 12, 24, std::nextafter(24.0, 23.0)), -1);
  EXPECT_EQ(orientationOf(0.1, 0.1, 0.3, 0.3, 1e10, 1e10), 0);
}

// Integer coordinates below 2^40, scaled by one power of two: the
// determinant is exact in 128-bit integers, an independent oracle.
TEST(OrientationTest, AgreesWithIntegerArithmeticNearLines) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> coordinate(-(int64_t{1} << 39), int64_t{1} << 39);
  std::uniform_int_distribution<int64_t> nudge(-2, 2);
  std::uniform_int_distribution<int32_t> exponent(-300, 400);
  for (int trial = 0; trial < 20000; ++trial) {
    const int64_t ax = coordinate(random), ay = coordinate(random);
    const int64_t dx = coordinate(random) / 1024, dy = coordinate(random) / 1024;
    const int64_t k = trial % 3 == 0 ? 3 : -2;
    const int64_t bx = ax + dx, by = ay + dy;
    const int64_t cx = ax + k * dx + nudge(random), cy = ay + k * dy + nudge(random);
    const Int128 det = static_cast<Int128>(bx - ax) * (cy - ay) - static_cast<Int128>(by - ay) * (cx - ax);
    const int32_t expected = det > 0 ? 1 : det < 0 ? -1 : 0;
    const int e = exponent(random);
    const auto d = [e](int64_t v) { return std::ldexp(static_cast<double>(v), e - 40); };
    ASSERT_EQ(orientationOf(d(ax), d(ay), d(bx), d(by), d(cx), d(cy)), expected) << trial;
  }
}

// x = x0 + k p, y = y0 + k q for the given k, scaled by 2^e: exactly on one line.
std::vector<MeshPoint> onLine(const std::vector<int64_t>& ks, int64_t p, int64_t q, int e, int64_t x0,
                              int64_t y0) {
  std::vector<MeshPoint> points;
  for (const int64_t k : ks) {
    points.push_back({std::ldexp(static_cast<double>(x0 + k * p), e), std::ldexp(static_cast<double>(y0 + k * q), e),
                      static_cast<double>(k % 7)});
  }
  return points;
}

bool lineSweepApplies(std::vector<MeshPoint> points) {
  std::stable_sort(points.begin(), points.end(), [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  const auto n = static_cast<int32_t>(points.size());
  points.resize(points.size() + 3);
  std::vector<MeshTriangle> table(static_cast<size_t>(4) * static_cast<size_t>(n));
  int32_t count = -1;
  return meshCollinearPoints(n, points.data(), table.data(), &count, MeshProgress{nullptr, nullptr});
}

// Slopes, spacings, scales and repeats of every kind, many of them giving
// triangles (level or collinear ones that the scan never removes): the line
// sweep must take them all and give the scan's status, progress and table.
TEST(CollinearMeshTest, LineSweepGivesTheScansTable) {
  std::mt19937_64 random(31);
  const int64_t slopes[][2] = {{1, 2}, {1, 0}, {20, 1}, {20, -1}, {795, 22}, {2, -417890}, {1 << 20, 1}, {3, -1}};
  int32_t withTriangles = 0;
  for (int trial = 0; trial < 160; ++trial) {
    const int64_t* slope = slopes[trial % 8];
    const int32_t n = trial % 10 == 0 ? 2 + trial % 17 : 1 + static_cast<int32_t>(random() % 700);
    std::vector<int64_t> ks;
    for (int32_t i = 0; i < n; ++i) {
      switch ((trial / 8) % 4) {
        case 0:
          ks.push_back(i);
          break;
        case 1:
          ks.push_back(static_cast<int64_t>(random() % (4 * static_cast<uint64_t>(n))));
          break;
        case 2:  // two clusters far apart
          ks.push_back(i % 2 ? static_cast<int64_t>(random() % 4) : 1000000 + static_cast<int64_t>(random() % 6));
          break;
        default:  // gaps of every size
          ks.push_back(std::llround(std::pow(2.0, static_cast<double>(random() % 3000) / 100)));
          break;
      }
    }
    ks.push_back(0);
    ks.push_back(1);  // at least two x
    const int e = static_cast<int>(random() % 61) - 40;
    const std::vector<MeshPoint> points = onLine(ks, slope[0], slope[1], e, static_cast<int64_t>(random() % 2000001) - 1000000,
                                                 static_cast<int64_t>(random() % 2000001) - 1000000);
    EXPECT_EQ(differenceFromScan(points, false), "") << trial;
    std::vector<MeshPoint> copy = points;
    const MeshResult result = triangulate(copy);
    // A full table is left to the indexed sweep.
    if (result.status == 0) {
      EXPECT_TRUE(lineSweepApplies(points)) << trial;
    }
    if (!result.triangles.empty()) ++withTriangles;
  }
  EXPECT_GT(withTriangles, 10);  // the comparison covered tables that are not empty
}

// A horizontal line whose extent makes the super-triangle's circles so wide
// that rounding decides: the scan keeps level triangles of input points.
TEST(CollinearMeshTest, WideHorizontalLineKeepsItsLevelTriangles) {
  std::vector<MeshPoint> points;
  for (int32_t i = 0; i < 400; ++i) points.push_back({static_cast<double>(i), 5, 1});
  points.push_back({999999, 5, 1});
  EXPECT_EQ(differenceFromScan(points, false), "");
  EXPECT_TRUE(lineSweepApplies(points));
  std::vector<MeshPoint> copy = points;
  const MeshResult result = triangulate(copy);
  // The first three points, in that order, among them.
  EXPECT_TRUE(std::any_of(result.triangles.begin(), result.triangles.end(), [](const MeshTriangle& t) {
    return t.corner0 == 0 && t.corner1 == 1 && t.corner2 == 2;
  }));
}

TEST(CollinearMeshTest, OnlySlantedExactLinesTakeTheLineSweep) {
  std::vector<MeshPoint> vertical = onLine({0, 1, 2, 5, 3}, 0, 1, 0, 4, 4);
  EXPECT_FALSE(lineSweepApplies(vertical));
  EXPECT_EQ(differenceFromScan(vertical, false), "");
  std::vector<MeshPoint> bent = onLine({0, 1, 2, 3, 4}, 1, 2, 0, 0, 0);
  bent[2].y = std::nextafter(bent[2].y, 10.0);  // one ulp off the line
  EXPECT_FALSE(lineSweepApplies(bent));
  EXPECT_TRUE(lineSweepApplies(onLine({0, 1, 2, 3, 4}, 1, 2, 0, 0, 0)));
  // Beyond the orientation's exact range.
  EXPECT_FALSE(lineSweepApplies(onLine({0, 1, 2}, 1, 1, 600, 0, 0)));
  EXPECT_FALSE(lineSweepApplies({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}));
}

// 100,000 points on y = 2x through the program: the plain sweep would take
// minutes. Nothing is left, and the run says so in its usual bytes.
TEST(CollinearMeshTest, LongSlantedLineEndToEnd) {
  const std::string dir = makeScratchDir();
  std::string tsv = dir + "/out.csv\n";
  for (int32_t i = 0; i < 100000; ++i) tsv += std::to_string(i) + "\t" + std::to_string(2 * i) + "\t1\n";
  writeFile(dir + "/line.tsv", tsv);
  const ProcessResult run = runTsvmeshBinary({"--no-wait", dir + "/line.tsv"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\nProcessing Points." + std::string(200, '.') +
                         "\n\nFormed 0 triangles.  Checking avg tri side length.\n\nAverage long side length = 0.");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(readFile(dir + "/out.csv"), "0\r\n0\r\n********\r\n");
}

}  // namespace
