// The circumcircle test on which the triangulation rests.
#pragma once

#include <cstdint>

// Two y values closer than this count as level. Absolute, in coordinate units.
inline constexpr double levelTolerance = 1e-6;

// The circumcircle test: whether (testX, testY) lies inside the circle
// through (x0, y0), (x1, y1), (x2, y2) or on it, is asked in two parts, the
// circle and the containment.
//
// The corners are not interchangeable: the centre formula depends on which
// pairs are level (|dy| below levelTolerance), and the squared radius is
// measured to the second corner. Every formula is evaluated with a 64-bit
// significand (Wide, mesh/wide.h) and each named value is rounded to double
// when it is stored, so the result is the same on every run and platform.
//
// The circle: 1, with centreX, centreY and radiusSquared written, for a
// proper triangle; 0, writing nothing, for a level triangle, three corners on
// one straight line, or a circle whose centre or squared radius is not finite
// (no test point is inside such a triangle's circle).
int32_t circumcircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                       double* centreX, double* centreY, double* radiusSquared);

// The containment: 1 when (testX, testY) is inside the circle or on it.
int32_t circleContains(double testX, double testY, double centreX, double centreY,
                       double radiusSquared);

// A stand-in for circumcircleOf in plain double, with a proven bound on how
// far the exact circle can lie from it (the derivation is in circumcircle.cpp).
// With d2 = dx * dx + dy * dy evaluated in double, dx = testX - centreX and
// dy = testY - centreY, for every test point:
//   d2 > outer2                      -> circleContains(test, exact circle) == 0
//   d2 < inner2                      -> circleContains(test, exact circle) == 1
//   circleContains(test, exact) == 1 -> |dx| and |dy| <= std::sqrt(outer2)
// Gives 0, writing nothing, where it offers no bound (level or nearly level
// pairs close to levelTolerance, nearly collinear corners, coordinates beyond
// 2^400 or below 2^-200 but not 0, circles beyond 2^450 or radii below
// 2^-300): the caller then uses circumcircleOf. When it gives
// 1, circumcircleOf gives 1 as well.
struct CircleBound {
  double centreX;
  double centreY;
  double outer2;
  double inner2;  // negative when no point is known inside
};

int32_t boundedCircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                        CircleBound* bound);

// boundedCircleOf for `count` triangles, corners[k] = {x0, y0, x1, y1, x2, y2},
// giving exactly its answers (given[k] its result, bounds[k] written when 1),
// several at a time in the lanes of the processor's vectors.
void boundedCirclesOf(const double (*corners)[6], int32_t count, CircleBound* bounds, int32_t* given);

// Whether a coordinate suits surelyInsideCircles: 0 or within [2^-100, 2^100].
inline bool suitsInsideFilter(double c) {
  const double a = c < 0 ? -c : c;
  return a <= 0x1p100 && (a == 0 || a >= 0x1p-100);
}

// For `count` triangles, corners[k] = {x0, y0, x1, y1, x2, y2}, several at a
// time: inside[k] 1 when the circumcircle test of (testX, testY) against
// triangle k (circumcircleOf, then circleContains) surely gives 1, decided
// from the orientation and in-circle determinants in plain double without
// finding the circle; 0 when it cannot tell (including every case where the
// answer is 0). Every coordinate must suit the filter (suitsInsideFilter).
// The derivation of the margin is in circumcircle.cpp.
void surelyInsideCircles(double testX, double testY, const double (*corners)[6], int32_t count, int32_t* inside);
