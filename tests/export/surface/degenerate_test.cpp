// The surface on nearly degenerate sets: lattices (every square cocircular),
// points on one circle, points off a line by one ulp, lines of points, and
// the same sets scaled to the ends of the double range, where every
// decision, and so every triangle in its order, must stay the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "export/surface/surface_check.h"
#include "export/surface/triangulate.h"

namespace tsvmesh::surface {
namespace {

SurfaceCase scaled(const SurfaceCase& original, int exponent) {
  SurfaceCase copy = original;
  for (size_t i = 0; i < copy.xyz.size(); ++i) {
    if (i % 3 != 2) copy.xyz[i] = std::ldexp(copy.xyz[i], exponent);
  }
  return copy;
}

// A 30 x 30 lattice with breaklines through its points and along its
// edges: every third row, the main diagonal (through the rows' points), and
// random segments between off-lattice points that cross all of those.
SurfaceCase latticeWithLines(uint32_t seed) {
  SurfaceCase lattice;
  for (int32_t y = 0; y < 30; ++y) {
    for (int32_t x = 0; x < 30; ++x) lattice.add(x, y, x + y);
  }
  for (int32_t row = 0; row < 30; row += 3) lattice.segment(30 * row, 30 * row + 29);
  lattice.segment(0, 30 * 29 + 29);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> anywhere(0.0, 29.0);
  for (int32_t i = 0; i < 12; ++i) {
    const int32_t a = lattice.add(anywhere(random), anywhere(random), 5);
    const int32_t b = lattice.add(anywhere(random), anywhere(random), 50);
    lattice.segment(a, b);
  }
  return lattice;
}

TEST(SurfaceDegenerate, LatticeWithLinesThroughPointsAndAcrossEachOther) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    const SurfaceCase lattice = latticeWithLines(seed);
    const SurfaceResult result = lattice.build();
    EXPECT_EQ(surfaceFault(lattice.input(), result), "") << seed;
    EXPECT_GT(result.crossings.size(), 10u);
    EXPECT_EQ(result.segmentsGivenUp, 0);
  }
}

TEST(SurfaceDegenerate, ScaledToTheEndsOfTheRangeGivesTheSameTriangles) {
  const SurfaceCase lattice = latticeWithLines(9);
  const SurfaceResult plain = lattice.build();
  for (const int exponent : {-900, -500, 500, 950}) {
    const SurfaceCase far = scaled(lattice, exponent);
    const SurfaceResult result = far.build();
    EXPECT_EQ(result.triangles, plain.triangles) << exponent;
    EXPECT_EQ(result.constrainedEdges, plain.constrainedEdges) << exponent;
    EXPECT_EQ(surfaceFault(far.input(), result), "") << exponent;
  }
}

TEST(SurfaceDegenerate, IntegerPointsOnOneCircleWithAChord) {
  SurfaceCase circle;
  circle.add(0, 0);
  for (int64_t x = -1105; x <= 1105; ++x) {
    const int64_t rest = 1105 * 1105 - x * x;
    const auto y = static_cast<int64_t>(std::llround(std::sqrt(static_cast<double>(rest))));
    if (y * y != rest) continue;
    circle.add(static_cast<double>(x), static_cast<double>(y));
    if (y != 0) circle.add(static_cast<double>(x), static_cast<double>(-y));
  }
  ASSERT_GT(circle.xyz.size() / 3, 30u);
  circle.segment(1, 2);
  const SurfaceResult result = circle.build();
  EXPECT_EQ(surfaceFault(circle.input(), result), "");
  // Without the centre all points are cocircular: any triangulation of the
  // convex polygon is Delaunay, and it must still cover it.
  SurfaceCase rim = circle;
  rim.xyz.erase(rim.xyz.begin(), rim.xyz.begin() + 3);
  rim.segments = {0, 5};
  const SurfaceResult polygon = rim.build();
  EXPECT_EQ(surfaceFault(rim.input(), polygon), "");
  EXPECT_EQ(polygon.triangles.size() / 3, rim.xyz.size() / 3 - 2);
}

TEST(SurfaceDegenerate, PointsOneUlpOffALineAndABreaklineAlongIt) {
  SurfaceCase line;
  for (int32_t i = 0; i <= 200; ++i) {
    const double x = 1000.0 + i;
    double y = 2000.0 + 0.5 * i;
    if (i % 3 == 1) y = std::nextafter(y, 1e9);
    if (i % 3 == 2) y = std::nextafter(y, 0.0);
    line.add(x, y);
  }
  line.points({{1100, 2100}, {1100, 2000}});
  line.segment(0, 200);
  line.segment(3, 150);
  const SurfaceResult result = line.build();
  EXPECT_EQ(surfaceFault(line.input(), result), "");
}

TEST(SurfaceDegenerate, TenThousandPointsOnOneVerticalAndOneBeside) {
  SurfaceCase fan;
  for (int32_t i = 0; i < 10000; ++i) fan.add(7.25, 0.001 * i);
  fan.add(8, 3);
  const SurfaceResult result = fan.build();
  EXPECT_EQ(result.triangles.size() / 3, 9999u);
  EXPECT_EQ(surfaceFault(fan.input(), result), "");
}

TEST(SurfaceDegenerate, CoordinatesNearTheLargestDouble) {
  SurfaceCase huge;
  const double big = 1.5e308;
  huge.points({{-big, -big}, {big, -big}, {big, big}, {-big, big}, {0, 0}, {1, 1}});
  huge.segment(0, 2);
  huge.segment(1, 3);
  const SurfaceResult result = huge.build();
  EXPECT_EQ(surfaceFault(huge.input(), result), "");
  EXPECT_EQ(result.segmentsGivenUp, 0);
}

// Segments between random points of a small lattice: they overlap, run
// along each other, pass through points and cross at lattice points and
// between them, and the rounded crossings make nearly collinear pieces.
TEST(SurfaceDegenerate, TangledSegmentsOnASmallLattice) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    const int32_t side = seed % 2 == 0 ? 12 : 40;
    const int32_t points = seed % 2 == 0 ? 60 : 150;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> coordinate(0, side);
    SurfaceCase tangle;
    for (int32_t i = 0; i < points; ++i) tangle.add(coordinate(random), coordinate(random), coordinate(random));
    std::uniform_int_distribution<int32_t> point(0, points - 1);
    for (int32_t i = 0; i < points / 2; ++i) tangle.segment(point(random), point(random));
    const SurfaceResult result = tangle.build();
    ASSERT_EQ(surfaceFault(tangle.input(), result, kNotChains), "") << seed;
    EXPECT_EQ(result.segmentsGivenUp, 0) << seed;
  }
}

}  // namespace
}  // namespace tsvmesh::surface
