#include "mesh/circumcircle.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "mesh/circle_lanes.h"
#include "mesh/wide.h"

namespace {

// Perpendicular-bisector slope of two corners whose y values differ.
double bisectorSlope(double xa, double ya, double xb, double yb) {
  return static_cast<double>(-(static_cast<Wide>(xb) - xa) / (static_cast<Wide>(yb) - ya));
}

double half(double a, double b) {
  return static_cast<double>((static_cast<Wide>(a) + b) * static_cast<Wide>(0.5));
}

// y on the bisector with the given slope through (mx, my), at x = cx.
double onBisector(double slope, double cx, double mx, double my) {
  return static_cast<double>(static_cast<Wide>(slope) * (static_cast<Wide>(cx) - mx) + my);
}

double squaredDistance(double x, double y, double cx, double cy) {
  // Each difference is rounded to double before it is squared.
  const double dx = static_cast<double>(static_cast<Wide>(x) - cx);
  const double dy = static_cast<double>(static_cast<Wide>(y) - cy);
  return static_cast<double>(static_cast<Wide>(dx) * dx + static_cast<Wide>(dy) * dy);
}

}  // namespace

int32_t circumcircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                       double* centreX, double* centreY, double* radiusSquared) {
  const double d01 = static_cast<double>(wideAbs(static_cast<Wide>(y0) - y1));
  const double d12 = static_cast<double>(wideAbs(static_cast<Wide>(y1) - y2));
  if (d01 < levelTolerance && d12 < levelTolerance) return 0;

  double cx;
  double cy;
  if (d01 < levelTolerance) {
    // First and second corners level: their bisector is the vertical line
    // through their midpoint.
    const double k12 = bisectorSlope(x1, y1, x2, y2);
    cx = half(x0, x1);
    cy = onBisector(k12, cx, half(x1, x2), half(y1, y2));
  } else if (d12 < levelTolerance) {
    const double k01 = bisectorSlope(x0, y0, x1, y1);
    cx = half(x1, x2);
    cy = onBisector(k01, cx, half(x0, x1), half(y0, y1));
  } else {
    const double k01 = bisectorSlope(x0, y0, x1, y1);
    const double k12 = bisectorSlope(x1, y1, x2, y2);
    const double mx01 = half(x0, x1);
    const double my01 = half(y0, y1);
    const double mx12 = half(x1, x2);
    const double my12 = half(y1, y2);
    const Wide denominator = static_cast<Wide>(k01) - k12;
    // Equal slopes: the corners lie on one line and there is no circle.
    if (denominator == 0) return 0;
    cx = static_cast<double>(
        (static_cast<Wide>(k01) * mx01 - static_cast<Wide>(k12) * mx12 + my12 - my01) / denominator);
    // The bisector of the pair whose y values differ more is the better conditioned one.
    cy = d01 > d12 ? onBisector(k01, cx, mx01, my01) : onBisector(k12, cx, mx12, my12);
  }

  const double r2 = squaredDistance(x1, y1, cx, cy);
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r2)) return 0;
  *centreX = cx;
  *centreY = cy;
  *radiusSquared = r2;
  return 1;
}

int32_t circleContains(double testX, double testY, double centreX, double centreY,
                       double radiusSquared) {
  return squaredDistance(testX, testY, centreX, centreY) <= radiusSquared ? 1 : 0;
}

// The bound of boundedCircleOf.
//
// Write u = 2^-53 and gamma(k) = k u / (1 - k u). Every operation of either
// path, in double or in long double, and every rounding of a long double to
// double, errs by a factor (1 + d), |d| <= u, as long as nothing overflows or
// falls below the normal range. Overflow shows as an infinite or NaN result,
// which the final guards refuse. With every corner coordinate 0 or within
// [2^-200, 2^400], nonzero differences and midpoints exceed 2^-253, so the
// products of up to three of them that the formulas take are normal; what can
// still fall below (a centre's last product, the bounds' own terms) loses at
// most 2^-1074 absolute a step, which the term `floorTerm` in every bound
// covers. So a value built by k such steps from the corners lies within
// gamma(k) relative of the real-number value of the same formula; no step
// below takes more than 30, gamma(30) < 2^-47, and `slack` = 2^-45 covers any
// of them with room for the rounding of the bound's own evaluation.
//
// Let C = (CX, CY) be the real value of the exact path's formula for the
// centre (the branch is the same in both paths, see below) and ex, ey bounds
// on |cx - CX| and |cy - CY| that hold for both paths; e = ex + ey then
// bounds the distance of either centre from C, and |Ca - Ce| <= 2e.
//
// Slopes: k = -(xb - xa) / (yb - ya) takes 4 steps exactly and 3 here, so
// |k - K| <= gamma(4) |K|; midpoints take 2: |m - M| <= gamma(2) |M|.
// General case: N = K01 M01x - K12 M12x + M12y - M01y and D = K01 - K12, so
// |N' - N| <= gamma(10) S = eN, S = |K01 M01x| + |K12 M12x| + |M12y| + |M01y|,
// and |D' - D| <= gamma(6) (|K01| + |K12|) = eD, for both paths' N' and D'.
// Asking |Da| > 4 eD keeps every D' nonzero (so the exact circle exists) and
// |D| >= 3|Da|/4, |D'| >= |Da|/2, hence
//   |N'/D' - N/D| <= eN/|D'| + |N| eD / (|D| |D'|)
//                 <= 2 (eN + 2 (|Na| + eN) eD / |Da|) / |Da| = T
// and cx = N (1/D), two roundings, adds gamma(2) |cx|: ex = T + slack (|cx| + 2T).
// A level pair's midpoint has ex = slack |cx|.
// Bisector: cy = k (cx - mx) + my, so
//   |cy - CY| <= |K| (|cx - CX| + |mx - MX|) + |k - K| |cx - mx|
//                + gamma(4) (|k (cx - mx)| + |my|) + |my - MY|,
// bounded by ey = (|k| (ex + slack (|cx - mx| + 3 ex + 2 |mx|)) + slack |my|)
// (1 + 4 slack).
// Test: the exact path's squares are d2e = |P - Ce|^2 (1 + g) and
// r2e = |V1 - Ce|^2 (1 + g'), |g|, |g'| <= gamma(8), V1 the second corner;
// here d2a = |P - Ca|^2 (1 + h), ra = sqrt(r2a) = |V1 - Ca| (1 + h'),
// |h|, |h'| <= gamma(4). Moving each centre by at most 2e:
//   |P - Ca| > (ra + 4e)(1 + gamma(20))  implies d2e > r2e (outside),
//   |P - Ca| < (ra - 4e)(1 - gamma(20))  implies d2e <= r2e (inside),
// which reach = (ra + 4e)(1 + slack), outer2 = reach^2 (1 + slack) and
// inner = (ra - 4e)(1 - slack), inner2 = inner^2 (1 - slack) state for d2a.
// When 4e <= 2^-31 ra (checked as (4e)^2 <= 2^-62 r2a), those lie within
// r2a (1 +- 2^-29), so r2a (1 + 2^-28) and r2a (1 - 2^-28) serve, even rounded.
// The exact test holding means |P - Ca| <= reach <= sqrt(outer2), so each of
// |dx|, |dy| too.
// The branches: the exact path compares d = |ya - yb| rounded from long
// double with levelTolerance and with each other. The double difference is
// the same number when it is exact (checked by the two-sum error term) and
// otherwise within 2u relative of it; a comparison not settled by a relative
// margin of `slack` gives 0.
namespace {

using circle_lanes::floorTerm;
using circle_lanes::largest;
using circle_lanes::slack;
using circle_lanes::smallest;

// |a - b| in double; *exact tells whether no rounding took place.
double gapOf(double a, double b, bool* exact) {
  const double s = a - b;
  const double back = s - a;
  const double error = (a - (s - back)) + (-b - back);
  *exact = error == 0;
  return std::fabs(s);
}

// 1 when the exact path takes gap < levelTolerance, 0 when not, -1 unsure.
int32_t isLevel(double gap, bool exact) {
  if (exact) return gap < levelTolerance ? 1 : 0;
  if (gap < levelTolerance * (1 - slack)) return 1;
  if (gap > levelTolerance * (1 + slack)) return 0;
  return -1;
}

double slopeOf(double xa, double ya, double xb, double yb) { return -(xb - xa) / (yb - ya); }

}  // namespace

int32_t boundedCircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                        CircleBound* bound) {
  const double corners[1][6] = {{x0, y0, x1, y1, x2, y2}};
  for (double c : corners[0]) {
    if (!(std::fabs(c) <= largest) || (c != 0 && std::fabs(c) < smallest)) return 0;
  }
  bool exact01;
  bool exact12;
  const double d01 = gapOf(y0, y1, &exact01);
  const double d12 = gapOf(y1, y2, &exact12);
  const int32_t level01 = isLevel(d01, exact01);
  const int32_t level12 = isLevel(d12, exact12);
  if (level01 < 0 || level12 < 0 || (level01 == 1 && level12 == 1)) return 0;
  int32_t given;
  if (level01 == 0 && level12 == 0) {
    // The general case, in the arithmetic that serves several triangles at
    // once (an unsure choice of bisector comes back as -1).
    circle_lanes::generalBoundLanes<1>(corners, bound, &given);
    return given > 0 ? 1 : 0;
  }
  // One level pair: the centre's x is that pair's midpoint.
  const double xa = level01 == 1 ? x0 : x1;
  const double xb = level01 == 1 ? x1 : x2;
  const double k = level01 == 1 ? slopeOf(x1, y1, x2, y2) : slopeOf(x0, y0, x1, y1);
  const double mx = level01 == 1 ? (x1 + x2) * 0.5 : (x0 + x1) * 0.5;
  const double my = level01 == 1 ? (y1 + y2) * 0.5 : (y0 + y1) * 0.5;
  using One = circle_lanes::Lanes<1>;
  const One cx = {(xa + xb) * 0.5};
  const One ex = {slack * std::fabs(cx[0]) + floorTerm};
  const One cy = {k * (cx[0] - mx) + my};
  const One ey = circle_lanes::bisectorBound<1>(One{k}, One{mx}, One{my}, cx, ex);
  circle_lanes::finishBound<1>(One{x1}, One{y1}, cx, cy, ex, ey, circle_lanes::LaneMask<1>{-1}, bound, &given);
  return given;
}

void boundedCirclesOf(const double (*corners)[6], int32_t count, CircleBound* bounds, int32_t* given) {
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) circle_lanes::boundedCirclesFour(corners + k, bounds + k, given + k);
  if (k + 2 <= count) {
    circle_lanes::boundedCircleLanes<2>(corners + k, bounds + k, given + k);
    k += 2;
  }
  if (k < count) {
    const double* c = corners[k];
    given[k] = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &bounds[k]);
  }
}

void surelyInsideCircles(double testX, double testY, const double (*corners)[6], int32_t count, int32_t* inside) {
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) circle_lanes::surelyInsideFour(testX, testY, corners + k, inside + k);
  if (k + 2 <= count) {
    circle_lanes::surelyInsideLanes<2>(testX, testY, corners + k, inside + k);
    k += 2;
  }
  if (k < count) circle_lanes::surelyInsideLanes<1>(testX, testY, corners + k, inside + k);
}
