// Hand-computed circles: centres and squared radii worked out on paper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "mesh/circumcircle.h"
#include "mesh_support.h"
#include "reference_mesh.h"

namespace {

struct Circle {
  double cx = -7, cy = -7, r2 = -7;  // sentinels: a call that writes nothing leaves them
};

int32_t test(Circle& c, double tx, double ty, double x0, double y0, double x1, double y1, double x2,
             double y2) {
  return circumcircleContains(tx, ty, x0, y0, x1, y1, x2, y2, &c.cx, &c.cy, &c.r2);
}

}  // namespace

TEST(CircumcircleTest, FirstPairLevelUsesVerticalBisector) {
  Circle c;
  EXPECT_EQ(test(c, 2, 4, 0, 0, 4, 0, 0, 3), 1);  // on the circle counts as inside
  EXPECT_EQ(c.cx, 2);
  EXPECT_EQ(c.cy, 1.5);
  EXPECT_EQ(c.r2, 6.25);  // the squared radius, not 2.5
  EXPECT_EQ(test(c, 2, 4.5, 0, 0, 4, 0, 0, 3), 0);
}

TEST(CircumcircleTest, SecondPairLevelGivesTheSameCircle) {
  Circle c;
  EXPECT_EQ(test(c, 2, 1.5, 0, 3, 4, 0, 0, 0), 1);
  EXPECT_EQ(c.cx, 2);
  EXPECT_EQ(c.cy, 1.5);
  EXPECT_EQ(c.r2, 6.25);
}

TEST(CircumcircleTest, GeneralCaseTieTakesSecondBisector) {
  Circle c;
  EXPECT_EQ(test(c, 1, -1, 0, 0, 1, 1, 2, 0), 1);
  EXPECT_EQ(c.cx, 1);
  EXPECT_EQ(c.cy, 0);
  EXPECT_EQ(c.r2, 1);
  EXPECT_EQ(test(c, 0.5, 0, 0, 0, 1, 1, 2, 0), 1);
  EXPECT_EQ(test(c, 3, 0, 0, 0, 1, 1, 2, 0), 0);
}

TEST(CircumcircleTest, LevelTriangleLeavesOutValuesAlone) {
  Circle c;
  EXPECT_EQ(test(c, 1, 0.0000005, 0, 0, 1, 0.0000005, 2, 0), 0);  // even a corner
  EXPECT_EQ(test(c, 1, -100, 0, 0, 1, 0.0000005, 2, 0), 0);
  EXPECT_EQ(c.cx, -7);
  EXPECT_EQ(c.cy, -7);
  EXPECT_EQ(c.r2, -7);
}

TEST(CircumcircleTest, ToleranceItselfIsNotLevel) {
  Circle c;
  EXPECT_EQ(levelTolerance, 1e-6);
  EXPECT_EQ(test(c, 1, 0.000001, 0, 0, 1, 0.000001, 2, 0), 1);  // the second corner is always inside
  EXPECT_NEAR(c.cx, 1, 1e-6);
  EXPECT_NEAR(c.cy, -500000, 1);
}

TEST(CircumcircleTest, SecondCornerIsAlwaysInside) {
  // The radius is measured to the second corner with the very same arithmetic.
  const double corners[][6] = {{0.1, 0.7, 3.3, 9.1, -2.2, 4.4},
                               {1e6 + 0.37, 2e6 + 0.11, 1e6 + 3.9, 2e6 - 7.3, 1e6 - 2.1, 2e6 + 5.5},
                               {-45.123456, 12.5, -45.123001, 12.500321, -45.1229, 12.49987}};
  for (const auto& k : corners) {
    Circle c;
    EXPECT_EQ(test(c, k[2], k[3], k[0], k[1], k[2], k[3], k[4], k[5]), 1);
  }
}

TEST(CircumcircleTest, CollinearOrCoincidentCornersHaveNoCircle) {
  Circle c;
  EXPECT_EQ(test(c, 1, 1, 0, 0, 1, 1, 2, 2), 0);       // on one sloped line: equal bisector slopes
  EXPECT_EQ(test(c, 1, 1, 0, 0, 1, 1, 0, 0), 0);       // first and third corners coincide
  EXPECT_EQ(test(c, 5, 5, 3, 0, 3, 1, 3, 2), 0);       // vertical line
  EXPECT_EQ(test(c, 0, 0, 0, 0, 1e300, 1, -1e300, 2), 0);  // centre overflows
  EXPECT_EQ(c.cx, -7);
  EXPECT_EQ(c.cy, -7);
  EXPECT_EQ(c.r2, -7);
}

namespace {

// Checks boundedCircleOf's promises against the exact circle for the
// triangle, on test points at and around the exact circle; returns the number
// of points the bound alone decided.
// The last four triangles checked, batched with the next in boundedCirclesOf.
double batchedCorners[5][6] = {{0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 0, 1}};

void expectSameBound(int32_t given, const CircleBound& batched, int32_t expected, const CircleBound& single) {
  EXPECT_EQ(given, expected);
  if (given == 0 || expected == 0) return;
  EXPECT_EQ(std::memcmp(&batched, &single, sizeof batched), 0)
      << batched.centreX << " " << single.centreX << " " << batched.outer2 << " " << single.outer2;
}

// boundedCirclesOf gives boundedCircleOf's answers, bit for bit, in every
// lane of the four-wide and two-wide arithmetic (each triangle passes
// through every position as later ones are batched after it).
void checkBatch(const double corners[6]) {
  std::memcpy(batchedCorners[4], corners, sizeof batchedCorners[4]);
  CircleBound bounds[5];
  int32_t given[5] = {-1, -1, -1, -1, -1};
  boundedCirclesOf(batchedCorners, 5, bounds, given);  // four lanes and one alone
  CircleBound tail[3];
  int32_t tailGiven[3] = {-1, -1, -1};
  boundedCirclesOf(batchedCorners + 2, 3, tail, tailGiven);  // two lanes and one alone
  for (int32_t k = 0; k < 5; ++k) {
    const double* c = batchedCorners[k];
    CircleBound single;
    const int32_t expected = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &single);
    expectSameBound(given[k], bounds[k], expected, single);
    if (k >= 2) expectSameBound(tailGiven[k - 2], tail[k - 2], expected, single);
  }
  std::memmove(batchedCorners[0], batchedCorners[1], sizeof(double) * 6 * 4);
}

// Test points: the corners, the centre, and 16 points on each circle of
// radius r (1 -+ scale) about the centre, each with its neighbour one unit
// in the last place away.
std::vector<std::pair<double, double>> pointsAround(double x0, double y0, double x1, double y1, double x2, double y2,
                                                    double cx, double cy, double r2,
                                                    std::initializer_list<double> scales) {
  std::vector<std::pair<double, double>> tests{{x0, y0}, {x1, y1}, {x2, y2}, {cx, cy}};
  const double r = std::sqrt(r2);
  for (double scale : scales) {
    for (int32_t k = 0; k < 16; ++k) {
      const double a = k * 0.3926990816987241;
      for (double sign : {-1.0, 1.0}) {
        const double radius = r * (1 + sign * scale);
        tests.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
        tests.push_back({std::nextafter(tests.back().first, sign * 1e308), tests.back().second});
      }
    }
  }
  return tests;
}

// surelyInsideCircle never says inside where the exact test says outside:
// test points at and around the exact circle (or the corners, where there is
// none). Returns the number of points it decided.
int32_t filterDecided = 0;

void checkFilter(double x0, double y0, double x1, double y1, double x2, double y2) {
  for (double c : {x0, y0, x1, y1, x2, y2}) {
    if (!suitsInsideFilter(c)) return;
  }
  double cx = x1, cy = y1, r2 = 0;
  if (circumcircleOf(x0, y0, x1, y1, x2, y2, &cx, &cy, &r2) == 0) {
    r2 = (x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0);
  }
  const std::vector<std::pair<double, double>> tests =
      pointsAround(x0, y0, x1, y1, x2, y2, cx, cy, r2, {0.0, 1e-16, 1e-13, 1e-10, 1e-7, 1e-4, 0.1, 0.5, 0.9});
  // Two corner orders, three times over: four lanes, then two.
  const double orders[2][6] = {{x0, y0, x1, y1, x2, y2}, {x2, y2, x0, y0, x1, y1}};
  const int32_t orderOf[6] = {0, 1, 1, 0, 0, 1};
  double batch[6][6];
  for (int32_t k = 0; k < 6; ++k) std::memcpy(batch[k], orders[orderOf[k]], sizeof batch[k]);
  for (const auto& [px, py] : tests) {
    if (!suitsInsideFilter(px) || !suitsInsideFilter(py)) continue;
    // The batch answers as the single triangle does, in every lane.
    int32_t answers[6];
    surelyInsideCircles(px, py, batch, 6, answers);
    const int32_t single[2] = {surelyInsideCircle(px, py, x0, y0, x1, y1, x2, y2),
                               surelyInsideCircle(px, py, x2, y2, x0, y0, x1, y1)};
    for (int32_t k = 0; k < 6; ++k) EXPECT_EQ(answers[k], single[orderOf[k]]);
    if (single[1] != 0) {
      double ex, ey, er2;
      EXPECT_EQ(circumcircleContains(px, py, x2, y2, x0, y0, x1, y1, &ex, &ey, &er2), 1);
    }
    if (single[0] == 0) continue;
    double ex, ey, er2;
    EXPECT_EQ(circumcircleContains(px, py, x0, y0, x1, y1, x2, y2, &ex, &ey, &er2), 1)
        << px << " " << py << " " << x0 << " " << y0 << " " << x1 << " " << y1 << " " << x2 << " " << y2;
    ++filterDecided;
  }
}

int32_t checkBound(double x0, double y0, double x1, double y1, double x2, double y2) {
  const double corners[6] = {x0, y0, x1, y1, x2, y2};
  checkBatch(corners);
  checkFilter(x0, y0, x1, y1, x2, y2);
  CircleBound b;
  double cx = 0, cy = 0, r2 = 0;
  const int32_t exact = circumcircleOf(x0, y0, x1, y1, x2, y2, &cx, &cy, &r2);
  if (boundedCircleOf(x0, y0, x1, y1, x2, y2, &b) == 0) return 0;
  EXPECT_EQ(exact, 1) << x0 << " " << y0 << " " << x1 << " " << y1 << " " << x2 << " " << y2;
  if (exact == 0) return 0;
  const std::vector<std::pair<double, double>> tests =
      pointsAround(x0, y0, x1, y1, x2, y2, cx, cy, r2, {0.0, 1e-16, 1e-13, 1e-10, 1e-7, 1e-4, 0.1});
  int32_t decided = 0;
  for (const auto& [px, py] : tests) {
    const double dx = px - b.centreX;
    const double dy = py - b.centreY;
    const double d2 = dx * dx + dy * dy;
    const int32_t inside = circleContains(px, py, cx, cy, r2);
    if (d2 > b.outer2) {
      EXPECT_EQ(inside, 0) << px << " " << py;
    }
    if (d2 < b.inner2) {
      EXPECT_EQ(inside, 1) << px << " " << py;
    }
    if (inside == 1) {
      EXPECT_LE(std::max(std::fabs(dx), std::fabs(dy)), std::sqrt(b.outer2));
    }
    decided += d2 > b.outer2 || d2 < b.inner2;
  }
  return decided;
}

}  // namespace

TEST(CircumcircleTest, BoundedCircleAgreesWithExactOnIllConditionedTriangles) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1, 1);
  int32_t offered = 0;
  for (int32_t trial = 0; trial < 400; ++trial) {
    const double base = std::ldexp(1.0, static_cast<int>(trial % 40) * 10 - 200);  // 2^-200 .. 2^190
    const double x = unit(random) * base, y = unit(random) * base;
    // Nearly collinear: the third corner a hair off the line through the first two.
    const double off = std::ldexp(base, -20 - static_cast<int>(trial % 35));
    offered += checkBound(x, y, x + base, y + 0.5 * base, x + 2 * base, y + base + off) > 0;
    // Level-adjacent: y steps at, just above and just below the level tolerance.
    for (double step : {1e-6, 1.0000000001e-6, 0.9999999999e-6, 2e-6}) {
      checkBound(x, 7, x + 1, 7 + step, x + 3 * unit(random), 7 + unit(random));
      checkBound(x + unit(random), 3 + unit(random), x, 3, x + 1, 3 + step);
    }
    // General triangles of every scale, and a cocircular grid cell.
    checkBound(x, y, x + unit(random) * base, y + unit(random) * base, x + unit(random) * base,
               y + unit(random) * base);
    const double g = std::floor(unit(random) * 1000);
    checkBound(g, g + 1, g, g, g + 1, g);
    checkBound(g + 1, g, g, g + 1, g + 1, g + 1);
  }
  EXPECT_GT(offered, 80);
  // Cocircular grid cells and fans of a grid's columns: the filter decides
  // the clear points, and never a point on the circle.
  for (int32_t a = -3; a <= 3; ++a) {
    for (int32_t b = 1; b <= 60; b += 7) {
      const double column = 100, row = 250;
      checkFilter(column - 1, row + a + b, column - 1, row + a + b + 1, column, row);
      checkFilter(column - 1, row - b, column, row, column - 2, row + a);
      EXPECT_EQ(surelyInsideCircle(column + 1, row + a, column, row + a, column, row + a + 1, column + 1, row + a + 1), 0);
    }
  }
  EXPECT_GT(filterDecided, 5000);
  // Well-shaped triangles: only points within a hair of the circle are left
  // to the exact circle.
  EXPECT_GE(checkBound(0.25, 0.5, 3.5, 9.0, -2.0, 4.0), 190);
  EXPECT_GE(checkBound(5e5 + 0.37, 4.2e6 + 0.11, 5e5 + 3.9, 4.2e6 - 7.3, 5e5 - 2.1, 4.2e6 + 5.5), 120);
  // No bound is offered where the exact circle does not exist or is extreme.
  CircleBound b;
  EXPECT_EQ(boundedCircleOf(0, 0, 1, 1, 2, 2, &b), 0);
  EXPECT_EQ(boundedCircleOf(0, 0, 1, 0.0000005, 2, 0, &b), 0);
  EXPECT_EQ(boundedCircleOf(0, 0, 1e130, 1, -1e130, 2, &b), 0);
  EXPECT_EQ(boundedCircleOf(0, 0, 1e-70, 1, 2, 2, &b), 0);
}
