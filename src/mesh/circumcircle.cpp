#include "mesh/circumcircle.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

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

int32_t circumcircleContains(double testX, double testY, double x0, double y0, double x1, double y1,
                             double x2, double y2, double* centreX, double* centreY,
                             double* radiusSquared) {
  double cx;
  double cy;
  double r2;
  if (circumcircleOf(x0, y0, x1, y1, x2, y2, &cx, &cy, &r2) == 0) return 0;
  *centreX = cx;
  *centreY = cy;
  *radiusSquared = r2;
  return circleContains(testX, testY, cx, cy, r2);
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

constexpr double slack = 0x1p-45;
constexpr double floorTerm = 0x1p-800;  // covers any loss below the normal range
constexpr double largest = 0x1p400;
constexpr double smallest = 0x1p-200;

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

// ey for the bisector (k, mx, my) through a centre x with bound ex.
double bisectorBound(double k, double mx, double my, double cx, double ex) {
  const double a = std::fabs(k) * (ex + slack * (std::fabs(cx - mx) + 3 * ex + 2 * std::fabs(mx)));
  return (a + slack * std::fabs(my)) * (1 + 4 * slack) + floorTerm;
}

}  // namespace

int32_t boundedCircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                        CircleBound* bound) {
  const double corners[6] = {x0, y0, x1, y1, x2, y2};
  for (double c : corners) {
    if (!(std::fabs(c) <= largest) || (c != 0 && std::fabs(c) < smallest)) return 0;
  }
  bool exact01;
  bool exact12;
  const double d01 = gapOf(y0, y1, &exact01);
  const double d12 = gapOf(y1, y2, &exact12);
  const int32_t level01 = isLevel(d01, exact01);
  const int32_t level12 = isLevel(d12, exact12);
  if (level01 < 0 || level12 < 0 || (level01 == 1 && level12 == 1)) return 0;

  double cx;
  double cy;
  double ex;
  double ey;
  if (level01 == 1 || level12 == 1) {
    // One level pair: the centre's x is that pair's midpoint.
    const double xa = level01 == 1 ? x0 : x1;
    const double xb = level01 == 1 ? x1 : x2;
    const double k = level01 == 1 ? slopeOf(x1, y1, x2, y2) : slopeOf(x0, y0, x1, y1);
    const double mx = level01 == 1 ? (x1 + x2) * 0.5 : (x0 + x1) * 0.5;
    const double my = level01 == 1 ? (y1 + y2) * 0.5 : (y0 + y1) * 0.5;
    cx = (xa + xb) * 0.5;
    ex = slack * std::fabs(cx) + floorTerm;
    cy = k * (cx - mx) + my;
    ey = bisectorBound(k, mx, my, cx, ex);
  } else {
    bool first;  // the exact path's d01 > d12
    if (exact01 && exact12) {
      first = d01 > d12;
    } else if (d01 > d12 * (1 + slack)) {
      first = true;
    } else if (d12 > d01 * (1 + slack)) {
      first = false;
    } else {
      return 0;
    }
    const double k01 = slopeOf(x0, y0, x1, y1);
    const double k12 = slopeOf(x1, y1, x2, y2);
    const double mx01 = (x0 + x1) * 0.5;
    const double my01 = (y0 + y1) * 0.5;
    const double mx12 = (x1 + x2) * 0.5;
    const double my12 = (y1 + y2) * 0.5;
    const double d = k01 - k12;
    const double n = k01 * mx01 - k12 * mx12 + my12 - my01;
    const double s = std::fabs(k01 * mx01) + std::fabs(k12 * mx12) + std::fabs(my12) + std::fabs(my01);
    const double eN = slack * s + floorTerm;
    const double eD = slack * (std::fabs(k01) + std::fabs(k12)) + floorTerm;
    if (!(std::fabs(d) > 4 * eD) || !(std::fabs(d) >= 0x1p-300)) return 0;
    const double signedInverse = 1 / d;
    const double inverse = std::fabs(signedInverse);
    cx = n * signedInverse;
    const double t = 2 * inverse * (eN + 2 * (std::fabs(n) + eN) * eD * inverse) * (1 + slack);
    ex = t + slack * (std::fabs(cx) + 2 * t) + floorTerm;
    // Selected, not branched on: the choice is a coin toss on most data.
    const double k = first ? k01 : k12;
    const double mx = first ? mx01 : mx12;
    const double my = first ? my01 : my12;
    cy = k * (cx - mx) + my;
    ey = bisectorBound(k, mx, my, cx, ex);
  }

  const double dx = x1 - cx;
  const double dy = y1 - cy;
  const double r2 = dx * dx + dy * dy;
  const double e = 4 * (ex + ey);
  if (!(std::fabs(cx) <= 0x1p450) || !(std::fabs(cy) <= 0x1p450) || !(r2 <= 0x1p900) ||
      !(r2 >= 0x1p-600) || !(e <= 0x1p450)) {
    return 0;
  }
  bound->centreX = cx;
  bound->centreY = cy;
  if (e * e <= r2 * 0x1p-62) {
    // e <= 2^-31 ra: the widths below fit within r2 (1 +- 2^-29); no root needed.
    bound->outer2 = r2 * (1 + 0x1p-28);
    bound->inner2 = r2 * (1 - 0x1p-28);
    return 1;
  }
  const double radius = std::sqrt(r2);
  const double reach = (radius + e) * (1 + slack);
  const double inner = (radius - e) * (1 - slack);
  bound->outer2 = reach * reach * (1 + slack);
  bound->inner2 = inner > 0 ? inner * inner * (1 - slack) : -1.0;
  return 1;
}

// Two triangles at once, in the two lanes of an SSE register: each lane
// takes the general case of boundedCircleOf operation for operation (the
// same IEEE double operations in the same order give the same bits), and a
// lane that would leave it (a level or unsure pair, an unsure choice of
// bisector, no bound) is answered by boundedCircleOf itself.
namespace {

typedef double Pair __attribute__((vector_size(16)));
typedef long long PairMask __attribute__((vector_size(16)));

Pair pairOf(double a, double b) { return Pair{a, b}; }
Pair absOf(Pair v) { return reinterpret_cast<Pair>(reinterpret_cast<PairMask>(v) & PairMask{INT64_MAX, INT64_MAX}); }
Pair pick(PairMask mask, Pair yes, Pair no) {
  return reinterpret_cast<Pair>((reinterpret_cast<PairMask>(yes) & mask) | (reinterpret_cast<PairMask>(no) & ~mask));
}

}  // namespace

void boundedCirclePairOf(const double corners[2][6], CircleBound bounds[2], int32_t given[2]) {
  const Pair x0 = pairOf(corners[0][0], corners[1][0]);
  const Pair y0 = pairOf(corners[0][1], corners[1][1]);
  const Pair x1 = pairOf(corners[0][2], corners[1][2]);
  const Pair y1 = pairOf(corners[0][3], corners[1][3]);
  const Pair x2 = pairOf(corners[0][4], corners[1][4]);
  const Pair y2 = pairOf(corners[0][5], corners[1][5]);
  PairMask fine = PairMask{-1, -1};
  for (const Pair c : {x0, y0, x1, y1, x2, y2}) {
    const Pair a = absOf(c);
    fine &= (a <= largest) & ((c == 0.0) | (a >= smallest));
  }
  // gapOf and isLevel: the lane goes on only with both pairs surely not level.
  const Pair s01 = y0 - y1;
  const Pair back01 = s01 - y0;
  const PairMask exact01 = ((y0 - (s01 - back01)) + (-y1 - back01)) == 0.0;
  const Pair d01 = absOf(s01);
  const Pair s12 = y1 - y2;
  const Pair back12 = s12 - y1;
  const PairMask exact12 = ((y1 - (s12 - back12)) + (-y2 - back12)) == 0.0;
  const Pair d12 = absOf(s12);
  const double notLevelAbove = levelTolerance * (1 + slack);
  fine &= (exact01 & (d01 >= levelTolerance)) | (~exact01 & (d01 > notLevelAbove));
  fine &= (exact12 & (d12 >= levelTolerance)) | (~exact12 & (d12 > notLevelAbove));
  const PairMask bothExact = exact01 & exact12;
  const PairMask firstAbove = d01 > d12 * (1 + slack);
  const PairMask secondAbove = d12 > d01 * (1 + slack);
  const PairMask first = (bothExact & (d01 > d12)) | (~bothExact & firstAbove);
  fine &= bothExact | firstAbove | secondAbove;

  const Pair k01 = -(x1 - x0) / (y1 - y0);
  const Pair k12 = -(x2 - x1) / (y2 - y1);
  const Pair mx01 = (x0 + x1) * 0.5;
  const Pair my01 = (y0 + y1) * 0.5;
  const Pair mx12 = (x1 + x2) * 0.5;
  const Pair my12 = (y1 + y2) * 0.5;
  const Pair d = k01 - k12;
  const Pair n = k01 * mx01 - k12 * mx12 + my12 - my01;
  const Pair s = absOf(k01 * mx01) + absOf(k12 * mx12) + absOf(my12) + absOf(my01);
  const Pair eN = slack * s + floorTerm;
  const Pair eD = slack * (absOf(k01) + absOf(k12)) + floorTerm;
  const Pair absD = absOf(d);
  fine &= (absD > 4 * eD) & (absD >= 0x1p-300);
  const Pair signedInverse = 1 / d;
  const Pair inverse = absOf(signedInverse);
  const Pair cx = n * signedInverse;
  const Pair t = 2 * inverse * (eN + 2 * (absOf(n) + eN) * eD * inverse) * (1 + slack);
  const Pair ex = t + slack * (absOf(cx) + 2 * t) + floorTerm;
  const Pair k = pick(first, k01, k12);
  const Pair mx = pick(first, mx01, mx12);
  const Pair my = pick(first, my01, my12);
  const Pair cy = k * (cx - mx) + my;
  const Pair a = absOf(k) * (ex + slack * (absOf(cx - mx) + 3 * ex + 2 * absOf(mx)));
  const Pair ey = (a + slack * absOf(my)) * (1 + 4 * slack) + floorTerm;

  const Pair dx = x1 - cx;
  const Pair dy = y1 - cy;
  const Pair r2 = dx * dx + dy * dy;
  const Pair e = 4 * (ex + ey);
  fine &= (absOf(cx) <= 0x1p450) & (absOf(cy) <= 0x1p450) & (r2 <= 0x1p900) & (r2 >= 0x1p-600) & (e <= 0x1p450);
  const PairMask narrow = e * e <= r2 * 0x1p-62;
  // Correctly rounded in each lane, as std::sqrt is; the compiler pairs them.
  const Pair radius = {std::sqrt(r2[0]), std::sqrt(r2[1])};
  const Pair reach = (radius + e) * (1 + slack);
  const Pair inner = (radius - e) * (1 - slack);
  const Pair outer2 = pick(narrow, r2 * (1 + 0x1p-28), reach * reach * (1 + slack));
  const Pair inner2 = pick(narrow, r2 * (1 - 0x1p-28), pick(inner > 0.0, inner * inner * (1 - slack), Pair{-1.0, -1.0}));
  for (int32_t lane = 0; lane < 2; ++lane) {
    if (fine[lane] == 0) {
      const double* c = corners[lane];
      given[lane] = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &bounds[lane]);
      continue;
    }
    bounds[lane] = CircleBound{cx[lane], cy[lane], outer2[lane], inner2[lane]};
    given[lane] = 1;
  }
}

// The margin of surelyInsideCircle.
//
// u = 2^-53, uL = 2^-64, s = `slack` = 2^-45 = 256 u. The filter only
// decides triangles whose two pairs (0, 1) and (1, 2) are surely not level:
// |y1 - y0| and |y2 - y1| rounded in double at least levelTolerance (1 + 2^-50)
// means the real differences, and so the exact path's rounded ones, are at
// least levelTolerance. The exact path then takes its general branch, whose
// real-number value is the true circumcentre C, with R = |V1 - C| the true
// radius. Every coordinate (the test point's too) is 0 or within
// [2^-100, 2^100], so nonzero differences are at least 2^-152 and no product
// below falls out of the normal range; absolute losses below it (a centre
// that happens to be tiny) are covered by `floorTerm`.
//
// With M the largest corner coordinate magnitude, |Cx|, |Cy| <= M + R and
// every midpoint is at most M. As in boundedCircleOf's derivation, the exact
// path's slopes and midpoints err by at most 1.01 u relative, its numerator
// N' by 2.1 u S, S = |K01 M01x| + |K12 M12x| + |M12y| + |M01y|
// <= (Ksum + 2) M, Ksum = |K01| + |K12|, and its denominator D' by
// 1.02 u Ksum. Scaling by Q = |dy01 dy12| turns the slopes into products:
// Ksum Q = A = |dx01 dy12| + |dy01 dx12| and |D| Q = |O|, O the
// orientation dx01 dy12 - dy01 dx12. Asking |O| >= 2^-30 A (with O and A as
// computed, which err by at most 4 u A) keeps |D' - D| <= |D| / 8, so D' is
// not 0 and |N'/D' - N/D| <= 8/7 (2.1 u S + 1.02 u |Cx| Ksum) / |D|; the
// final rounding adds 1.01 u |cx|:
//   ex = |cx - Cx| <= 3u ((2A + 2Q) M + A R) / |O| + 1.1 u (M + R).
// cy = k (cx - mx) + my with the chosen pair's slope, |K| <= Ksum = A / Q:
//   ey <= |K| (ex (1 + 2s) + s (2M + R)) + s M.
// The exact test squares differences from its centre Ce, |Ce - C| <= e =
// ex + ey, with relative error gamma(8) on each square, so it says inside
// when rho + e <= (R - e)(1 - 8.1 u), rho = |P - C|, which follows from
// R - rho >= 2e + 8.1 u R, which follows (as R^2 - rho^2 <= 2R (R - rho))
// from
//   R^2 - rho^2 >= 4 R e + s R^2.
// The in-circle determinant I of (V0 - P, V1 - P, V2 - P) equals
// O (R^2 - rho^2); its double value errs by at most (10 + 96u) u times its
// permanent. R^2 = l01 l12 l20 / (4 O^2) with the squared sides l. The test
// below is the last inequality multiplied by Q, with each quantity replaced
// by a bound on the safe side (computed values within 4u relative of the
// real ones, 1/|O| within 2^-14 of 1/|Oc| given the 2^-30 condition) and
// each side's own rounding covered by 2^-40. It also asks R^2 <= 2^900, so
// that the exact circle does not overflow.
// Two test triangles at once, in the lanes of a vector register; a lane
// that fails a condition is refused, as an early return would refuse it.
void surelyInsideCirclePairOf(double testX, double testY, const double corners[2][6], int32_t inside[2]) {
  const Pair x0 = pairOf(corners[0][0], corners[1][0]);
  const Pair y0 = pairOf(corners[0][1], corners[1][1]);
  const Pair x1 = pairOf(corners[0][2], corners[1][2]);
  const Pair y1 = pairOf(corners[0][3], corners[1][3]);
  const Pair x2 = pairOf(corners[0][4], corners[1][4]);
  const Pair y2 = pairOf(corners[0][5], corners[1][5]);
  const Pair px = pairOf(testX, testX);
  const Pair py = pairOf(testY, testY);
  const auto larger = [](Pair a, Pair b) { return pick(a < b, b, a); };
  const Pair m = larger(larger(larger(absOf(x0), absOf(y0)), larger(absOf(x1), absOf(y1))),
                        larger(absOf(x2), absOf(y2)));
  const Pair dy01 = y1 - y0;
  const Pair dy12 = y2 - y1;
  const double notLevel = levelTolerance * (1 + 0x1p-50);
  PairMask fine = (absOf(dy01) >= notLevel) & (absOf(dy12) >= notLevel);
  const Pair dx01 = x1 - x0;
  const Pair dx12 = x2 - x1;
  const Pair o = dx01 * dy12 - dy01 * dx12;
  const Pair a = absOf(dx01 * dy12) + absOf(dy01 * dx12);
  const Pair q = absOf(dy01 * dy12);
  fine &= (o != 0.0) & (absOf(o) >= 0x1p-30 * a);

  const Pair adx = x0 - px;
  const Pair ady = y0 - py;
  const Pair bdx = x1 - px;
  const Pair bdy = y1 - py;
  const Pair cdx = x2 - px;
  const Pair cdy = y2 - py;
  const Pair bc = bdx * cdy;
  const Pair cb = cdx * bdy;
  const Pair ca = cdx * ady;
  const Pair ac = adx * cdy;
  const Pair ab = adx * bdy;
  const Pair ba = bdx * ady;
  const Pair aLift = adx * adx + ady * ady;
  const Pair bLift = bdx * bdx + bdy * bdy;
  const Pair cLift = cdx * cdx + cdy * cdy;
  const Pair in = aLift * (bc - cb) + bLift * (ca - ac) + cLift * (ab - ba);
  const Pair permanent = (absOf(bc) + absOf(cb)) * aLift + (absOf(ca) + absOf(ac)) * bLift +
                         (absOf(ab) + absOf(ba)) * cLift;
  fine &= ((in > 0.0) == (o > 0.0)) & (in != 0.0);
  const Pair inLow = absOf(in) - slack * permanent;
  fine &= inLow > 0.0;

  const Pair inverse = 1 / absOf(o);
  const double low = 1 - 0x1p-14;
  const double high = 1 + 0x1p-14;
  const Pair dx20 = x0 - x2;
  const Pair dy20 = y0 - y2;
  const Pair l01 = dx01 * dx01 + dy01 * dy01;
  const Pair l12 = dx12 * dx12 + dy12 * dy12;
  const Pair l20 = dx20 * dx20 + dy20 * dy20;
  const double grow = 1 + 0x1p-40;
  const Pair gap = inLow * inverse * low;
  const Pair r2 = l01 * l12 * l20 * 0.25 * (inverse * high) * (inverse * high) * grow;
  fine &= r2 <= 0x1p900;
  // Lanes already refused may hold anything here; their answer is not used.
  const Pair root = pairOf(fine[0] != 0 ? std::sqrt(r2[0]) : 0.0, fine[1] != 0 ? std::sqrt(r2[1]) : 0.0);
  const Pair r = root * grow;
  const Pair ex = (slack * ((2 * a + 2 * q) * m + a * r) * (inverse * high) + slack * (m + r) + floorTerm) * grow;
  const Pair e = q * (ex + slack * m + floorTerm) + a * grow * (ex * (1 + 2 * slack) + slack * (2 * m + r));
  const Pair right = (4 * r * e + slack * r2 * q) * grow;
  fine &= q * gap * (1 - 0x1p-40) >= right;
  inside[0] = fine[0] != 0 ? 1 : 0;
  inside[1] = fine[1] != 0 ? 1 : 0;
}

int32_t surelyInsideCircle(double testX, double testY, double x0, double y0, double x1, double y1,
                           double x2, double y2) {
  // One triangle in both lanes: a single arithmetic serves one and two.
  const double corners[2][6] = {{x0, y0, x1, y1, x2, y2}, {x0, y0, x1, y1, x2, y2}};
  int32_t inside[2];
  surelyInsideCirclePairOf(testX, testY, corners, inside);
  return inside[0];
}
