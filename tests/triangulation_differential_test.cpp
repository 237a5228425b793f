// The indexed triangulation must give exactly the plain scan's table, in
// order, on every input: compared here on varied point sets.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "mesh/triangulation.h"
#include "mesh_support.h"
#include "reference_mesh.h"

namespace {

std::vector<MeshPoint> onCircle(int32_t n, double radius, uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> angle(0, 2 * 3.14159265358979323846);
  std::vector<MeshPoint> points;
  for (int32_t k = 0; k < n; ++k) {
    const double a = angle(random);
    points.push_back({radius * std::cos(a), radius * std::sin(a), 0});
  }
  return points;
}

std::vector<MeshPoint> integerCircle() {
  // Every integer point on x^2 + y^2 = 25 * 13 * 13: exactly cocircular.
  std::vector<MeshPoint> points;
  const int r2 = 25 * 169;
  for (int x = -65; x <= 65; ++x) {
    for (int y = -65; y <= 65; ++y) {
      if (x * x + y * y == r2) points.push_back({static_cast<double>(x), static_cast<double>(y), 0});
    }
  }
  return points;
}

std::vector<MeshPoint> withDuplicates(int32_t n, uint32_t seed) {
  std::vector<MeshPoint> points = uniformPoints(n, seed, 0, 20, 0);  // integer grid of 21 x 21
  return points;
}

}  // namespace

TEST(TriangulationDifferentialTest, SmallSetsOfEveryKind) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const int32_t n = 3 + static_cast<int32_t>(seed * 7 % 60);
    EXPECT_EQ(differenceFromScan(uniformPoints(n, seed)), "") << "uniform " << seed;
    EXPECT_EQ(differenceFromScan(uniformPoints(n, seed, 0, 4, 0)), "") << "tiny integer grid " << seed;
    EXPECT_EQ(differenceFromScan(onCircle(n, 10, seed)), "") << "circle " << seed;
  }
}

TEST(TriangulationDifferentialTest, StructuredSets) {
  EXPECT_EQ(differenceFromScan(gridPoints(30, 30)), "");
  EXPECT_EQ(differenceFromScan(gridPoints(1, 200)), "");  // one column: all collinear
  EXPECT_EQ(differenceFromScan(gridPoints(45, 3, 0.5)), "");
  EXPECT_EQ(differenceFromScan(integerCircle()), "");
  EXPECT_EQ(differenceFromScan(withDuplicates(1500, 3)), "");
  EXPECT_EQ(differenceFromScan(withDuplicates(550, 3)), "");
  EXPECT_EQ(differenceFromScan(clusteredPoints(3000, 4)), "");
}

TEST(TriangulationDifferentialTest, CoordinateScales) {
  EXPECT_EQ(differenceFromScan(uniformPoints(3000, 21, -122.5, -122.4, 7)), "") << "degrees";
  EXPECT_EQ(differenceFromScan(uniformPoints(3000, 22, 500000, 510000, 2)), "") << "UTM";
  EXPECT_EQ(differenceFromScan(uniformPoints(3000, 23, 4.2e6, 4.21e6, 3)), "") << "UTM northing";
  EXPECT_EQ(differenceFromScan(uniformPoints(2000, 24, 0, 1e-3, 9)), "") << "millimetre plot";
}

TEST(TriangulationDifferentialTest, RetirementChangesNoResult) {
  // The scan with retirement against the scan that tests every triangle.
  const std::vector<std::vector<MeshPoint>> sets{uniformPoints(1500, 31), uniformPoints(1500, 32, 0, 0.5, 6),
                                                 uniformPoints(1500, 33, 1e6, 1e6 + 100, 3),
                                                 clusteredPoints(1500, 34), gridPoints(35, 35)};
  for (const std::vector<MeshPoint>& set : sets) {
    std::vector<MeshPoint> a = set;
    std::vector<MeshPoint> b = set;
    const int32_t n = static_cast<int32_t>(set.size());
    std::stable_sort(a.begin(), a.end(), [](const MeshPoint& p, const MeshPoint& q) { return p.x < q.x; });
    b = a;
    a.resize(a.size() + 3);
    b.resize(b.size() + 3);
    std::vector<MeshTriangle> ta(static_cast<size_t>(4 * n)), tb(static_cast<size_t>(4 * n));
    int32_t ca = 0, cb = 0;
    testing::internal::CaptureStdout();
    buildDelaunayMeshByScan(n, a.data(), ta.data(), &ca, true);
    buildDelaunayMeshByScan(n, b.data(), tb.data(), &cb, false);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(ca, cb);
    for (int32_t k = 0; k < ca; ++k) {
      EXPECT_EQ(ta[static_cast<size_t>(k)].corner0, tb[static_cast<size_t>(k)].corner0);
      EXPECT_EQ(ta[static_cast<size_t>(k)].corner2, tb[static_cast<size_t>(k)].corner2);
    }
  }
}

TEST(TriangulationDifferentialTest, GridsWithDisorder) {
  // Where fans die whole the last fan is kept as its rim; grids broken up by
  // gaps, stray points, a coarser band and repeated points give holes that
  // take older triangles and parts of fans along with it.
  std::mt19937_64 random(91);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int32_t variant = 0; variant < 6; ++variant) {
    std::vector<MeshPoint> points;
    for (const MeshPoint& p : gridPoints(30, 60, 1.0 + variant % 3)) {
      if (unit(random) < 0.04 * variant) continue;  // gaps
      points.push_back(p);
      if (variant == 3 && unit(random) < 0.05) points.push_back(p);  // repeats
    }
    for (int32_t k = 0; k < 5 * variant; ++k) {  // strays
      points.push_back({unit(random) * 30, unit(random) * 60, 0});
    }
    if (variant == 5) {
      for (const MeshPoint& p : gridPoints(10, 20, 3, 0.5, 0.5)) points.push_back(p);  // a coarser band
    }
    EXPECT_EQ(differenceFromScan(points), "") << "variant " << variant;
  }
}
