// Hand-computed circles: centres and squared radii worked out on paper.
#include <gtest/gtest.h>

#include "mesh/circumcircle.h"

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
