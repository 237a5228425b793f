// Larger differential runs: the indexed triangulation against the plain scan,
// whole tables compared, up to 50,000 points. Run with `ctest -L slow`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "mesh/triangulation.h"
#include "mesh_support.h"
#include "reference_mesh.h"

namespace {

void expectSameAsScan(std::vector<MeshPoint> points, const std::string& name) {
  EXPECT_EQ(differenceFromScan(std::move(points)), "") << name;
}

std::vector<MeshPoint> onCircle(int32_t n, uint32_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> angle(0, 6.283185307179586);
  std::vector<MeshPoint> points;
  for (int32_t k = 0; k < n; ++k) {
    const double a = angle(random);
    points.push_back({500 + 400 * std::cos(a), 500 + 400 * std::sin(a), 0});
  }
  return points;
}

}  // namespace

TEST(TriangulationScaleTest, UniformAtSeveralSizes) {
  for (int32_t n : {3, 10, 100, 1000, 10000, 50000}) {
    expectSameAsScan(uniformPoints(n, static_cast<uint32_t>(n)), "uniform " + std::to_string(n));
  }
}

TEST(TriangulationScaleTest, GridClusteredAndDuplicates) {
  expectSameAsScan(gridPoints(150, 150), "grid 150x150");
  expectSameAsScan(gridPoints(400, 20, 0.25), "grid 400x20");
  expectSameAsScan(clusteredPoints(50000, 7), "clustered 50000");
  expectSameAsScan(uniformPoints(30000, 8, 0, 100, 0), "integer duplicates 30000");
}

TEST(TriangulationScaleTest, CircleAndGeographicScales) {
  expectSameAsScan(onCircle(3000, 9), "circle 3000");
  expectSameAsScan(uniformPoints(50000, 10, -122.6, -122.3, 7), "degrees 50000");
  expectSameAsScan(uniformPoints(50000, 11, 430000, 440000, 2), "UTM easting 50000");
  expectSameAsScan(uniformPoints(50000, 12, 5.2e6, 5.21e6, 3), "UTM northing 50000");
}
