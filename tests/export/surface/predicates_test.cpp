// The exact predicates against 128-bit integer arithmetic on integer
// points, and on the same points scaled by powers of two to the ends of
// the double range, where a sign must not change.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <array>
#include <vector>

#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

__extension__ typedef __int128 Wide;

int sign(Wide v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

int integerOrientation(const int64_t* a, const int64_t* b, const int64_t* c) {
  return sign(Wide{b[0] - a[0]} * (c[1] - a[1]) - Wide{b[1] - a[1]} * (c[0] - a[0]));
}

int integerInCircle(const int64_t* a, const int64_t* b, const int64_t* c, const int64_t* d) {
  const int64_t* p[3] = {a, b, c};
  Wide total = 0;
  for (int i = 0; i < 3; ++i) {
    const int64_t* q = p[(i + 1) % 3];
    const int64_t* r = p[(i + 2) % 3];
    const Wide lift = Wide{p[i][0] - d[0]} * (p[i][0] - d[0]) + Wide{p[i][1] - d[1]} * (p[i][1] - d[1]);
    const Wide minor = Wide{q[0] - d[0]} * (r[1] - d[1]) - Wide{q[1] - d[1]} * (r[0] - d[0]);
    total += lift * minor;
  }
  return sign(total);
}

struct Scaled {
  double xy[4][2];
};

Scaled scale(const int64_t (*points)[2], int count, int exponent) {
  Scaled s{};
  for (int i = 0; i < count; ++i) {
    s.xy[i][0] = std::ldexp(static_cast<double>(points[i][0]), exponent);
    s.xy[i][1] = std::ldexp(static_cast<double>(points[i][1]), exponent);
  }
  return s;
}

// Scales that keep every coordinate exact: tiny (subnormal differences),
// plain, and near the top of the range (differences overflow in doubles).
constexpr int kExponents[] = {-1070 + 26, -600, 0, 600, 1023 - 27};

TEST(Predicates, IntegerPointsNearlyCollinearAndCocircular) {
  std::mt19937_64 random(11);
  std::uniform_int_distribution<int64_t> small(-6, 6);
  std::uniform_int_distribution<int64_t> wide(-(int64_t{1} << 25), int64_t{1} << 25);
  int zeros = 0;
  for (int round = 0; round < 20000; ++round) {
    auto& pick = round % 2 == 0 ? small : wide;
    int64_t p[4][2];
    for (auto& point : p) point[0] = pick(random), point[1] = pick(random);
    if (round % 4 == 1) {  // the fourth point on the line of the first two
      p[2][0] = p[0][0] + 3 * (p[1][0] - p[0][0]);
      p[2][1] = p[0][1] + 3 * (p[1][1] - p[0][1]);
    }
    const int orient = integerOrientation(p[0], p[1], p[2]);
    const int circle = integerInCircle(p[0], p[1], p[2], p[3]);
    zeros += orient == 0 || circle == 0;
    for (const int exponent : kExponents) {
      const Scaled s = scale(p, 4, exponent);
      ASSERT_EQ(orientation(s.xy[0], s.xy[1], s.xy[2]), orient) << round << " at 2^" << exponent;
      ASSERT_EQ(inCircle(s.xy[0], s.xy[1], s.xy[2], s.xy[3]), circle) << round << " at 2^" << exponent;
    }
  }
  EXPECT_GT(zeros, 1000);  // the degenerate answers were really asked for
}

TEST(Predicates, OneUlpFromTheLine) {
  for (const double base : {0.5, 1.0e-300, 12345.678, 1.0e15, 1.0e300}) {
    const double a[2] = {base, base};
    const double b[2] = {2 * base, 2 * base};
    const double on[2] = {3 * base, 3 * base};
    const double above[2] = {3 * base, std::nextafter(3 * base, 1e308)};
    const double below[2] = {3 * base, std::nextafter(3 * base, 0.0)};
    EXPECT_EQ(orientation(a, b, on), 0) << base;
    EXPECT_EQ(orientation(a, b, above), 1) << base;
    EXPECT_EQ(orientation(a, b, below), -1) << base;
  }
}

TEST(Predicates, ManyIntegerPointsOnOneCircle) {
  // x^2 + y^2 = 5^2 13^2 17^2 = 1105^2 has many integer solutions.
  std::vector<std::array<double, 2>> circle;
  for (int64_t x = -1105; x <= 1105; ++x) {
    const int64_t rest = 1105 * 1105 - x * x;
    const auto y = static_cast<int64_t>(std::llround(std::sqrt(static_cast<double>(rest))));
    if (y * y != rest) continue;
    circle.push_back({static_cast<double>(x), static_cast<double>(y)});
    if (y != 0) circle.push_back({static_cast<double>(x), static_cast<double>(-y)});
  }
  ASSERT_GT(circle.size(), 30u);
  for (size_t i = 3; i < circle.size(); ++i) {
    // Three in counter-clockwise order around the circle: (1105,0) first.
    const double a[2] = {1105, 0};
    const double b[2] = {0, 1105};
    const double c[2] = {-1105, 0};
    EXPECT_EQ(inCircle(a, b, c, circle[i].data()), 0) << circle[i][0] << " " << circle[i][1];
    const double inward[2] = {std::nextafter(circle[i][0], 0.0), circle[i][1]};
    if (circle[i][0] != 0) {
      EXPECT_EQ(inCircle(a, b, c, inward), 1);
    }
  }
  const double a[2] = {0, 0};
  const double b[2] = {4, 0};
  const double c[2] = {0, 3};
  const double centre[2] = {2, 1.5};
  const double corner[2] = {4, 3};
  EXPECT_EQ(inCircle(a, b, c, centre), 1);
  EXPECT_EQ(inCircle(a, b, c, corner), 0);
}

TEST(Predicates, CentroidSidesAreExact) {
  const double a[2] = {0, 0};
  const double b[2] = {3, 3};
  const double p[2] = {1, 1.0e-300};
  const double q[2] = {2, 2};
  const double r[2] = {0, -1.0e-300};
  // The centroid (1, 2/3) + 0 lies right of the line y = x.
  EXPECT_EQ(orientationOfCentroid(a, b, p, q, r), -1);
  const double one[2] = {1, 1};
  const double origin[2] = {0, 0};
  EXPECT_EQ(orientationOfCentroid(a, b, one, q, origin), 0);
  EXPECT_EQ(orientationOfCentroid(a, b, one, q, p), -1);  // 1e-300 / 3 below it
  EXPECT_EQ(centroidAboveY(p, q, r, 2.0 / 3.0), 1);    // 2/3 in doubles is below the third
  EXPECT_EQ(centroidAboveY(q, q, q, 2), 0);
}

}  // namespace
}  // namespace tsvmesh::surface
