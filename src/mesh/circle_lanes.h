// The circle arithmetic of circumcircle.h for several triangles at once, in
// the lanes of a vector (GCC's vector extension: SSE or AVX on x86-64, NEON on
// ARM, plain code elsewhere). Each lane performs the same IEEE double
// operations in the same order as one triangle alone, so every lane's answer
// is bit for bit that of the single-triangle arithmetic, whatever the width.
// Internal to the mesh: circumcircle.cpp and the lane-width dispatch.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "mesh/circumcircle.h"

namespace circle_lanes {

inline constexpr double slack = 0x1p-45;
inline constexpr double floorTerm = 0x1p-800;  // covers any loss below the normal range
inline constexpr double largest = 0x1p400;
inline constexpr double smallest = 0x1p-200;

// (An alias template would drop the attribute; a member typedef keeps it.)
template <int N>
struct LaneTypes {
  typedef double Values __attribute__((vector_size(8 * N)));
  typedef long long Mask __attribute__((vector_size(8 * N)));
};
template <int N>
using Lanes = typename LaneTypes<N>::Values;
template <int N>
using LaneMask = typename LaneTypes<N>::Mask;

// The corners of N consecutive triangles, a vector per coordinate.
template <int N>
struct TriangleLanes {
  Lanes<N> x0, y0, x1, y1, x2, y2;
};

template <int N>
[[gnu::always_inline]] inline TriangleLanes<N> cornerLanes(const double (*corners)[6]) {
  TriangleLanes<N> t;
  for (int lane = 0; lane < N; ++lane) {
    t.x0[lane] = corners[lane][0];
    t.y0[lane] = corners[lane][1];
    t.x1[lane] = corners[lane][2];
    t.y1[lane] = corners[lane][3];
    t.x2[lane] = corners[lane][4];
    t.y2[lane] = corners[lane][5];
  }
  return t;
}

template <int N>
[[gnu::always_inline]] inline Lanes<N> everyLane(double a) {
  Lanes<N> v;
  for (int lane = 0; lane < N; ++lane) v[lane] = a;
  return v;
}

template <int N>
[[gnu::always_inline]] inline LaneMask<N> everyMask(long long a) {
  LaneMask<N> v;
  for (int lane = 0; lane < N; ++lane) v[lane] = a;
  return v;
}

template <int N>
[[gnu::always_inline]] inline Lanes<N> absOf(Lanes<N> v) {
  return reinterpret_cast<Lanes<N>>(reinterpret_cast<LaneMask<N>>(v) & everyMask<N>(INT64_MAX));
}

template <int N>
[[gnu::always_inline]] inline Lanes<N> pick(LaneMask<N> mask, Lanes<N> yes, Lanes<N> no) {
  return reinterpret_cast<Lanes<N>>((reinterpret_cast<LaneMask<N>>(yes) & mask) |
                                    (reinterpret_cast<LaneMask<N>>(no) & ~mask));
}

// Correctly rounded in each lane, as std::sqrt is (errno is never set).
template <int N>
[[gnu::always_inline]] inline Lanes<N> rootOf(Lanes<N> v) {
  Lanes<N> r;
  for (int lane = 0; lane < N; ++lane) r[lane] = std::sqrt(v[lane]);
  return r;
}

// ey for the bisector (k, mx, my) through a centre x with bound ex.
template <int N>
[[gnu::always_inline]] inline Lanes<N> bisectorBound(Lanes<N> k, Lanes<N> mx, Lanes<N> my, Lanes<N> cx, Lanes<N> ex) {
  const Lanes<N> a = absOf<N>(k) * (ex + slack * (absOf<N>(cx - mx) + 3 * ex + 2 * absOf<N>(mx)));
  return (a + slack * absOf<N>(my)) * (1 + 4 * slack) + floorTerm;
}

// The last steps of boundedCircleOf, whichever case found the centre
// (cx, cy) with error bounds ex and ey: the squared radius to the second
// corner (x1, y1), the width e = 4 (ex + ey) and the two squares from them.
// A lane in `fine` that passes the final guards gets its bound and 1, every
// other lane 0.
template <int N>
[[gnu::always_inline]] inline void finishBound(Lanes<N> x1, Lanes<N> y1, Lanes<N> cx, Lanes<N> cy, Lanes<N> ex,
                                               Lanes<N> ey, LaneMask<N> fine, CircleBound* bounds, int32_t* given) {
  using Vec = Lanes<N>;
  const Vec dx = x1 - cx;
  const Vec dy = y1 - cy;
  const Vec r2 = dx * dx + dy * dy;
  const Vec e = 4 * (ex + ey);
  fine &= (absOf<N>(cx) <= 0x1p450) & (absOf<N>(cy) <= 0x1p450) & (r2 <= 0x1p900) & (r2 >= 0x1p-600) & (e <= 0x1p450);
  // e <= 2^-31 ra: the widths fit within r2 (1 +- 2^-29); no root needed.
  const LaneMask<N> narrow = e * e <= r2 * 0x1p-62;
  const Vec radius = rootOf<N>(r2);
  const Vec reach = (radius + e) * (1 + slack);
  const Vec inner = (radius - e) * (1 - slack);
  const Vec outer2 = pick<N>(narrow, r2 * (1 + 0x1p-28), reach * reach * (1 + slack));
  const Vec inner2 = pick<N>(narrow, r2 * (1 - 0x1p-28), pick<N>(inner > 0.0, inner * inner * (1 - slack), everyLane<N>(-1.0)));
  for (int32_t lane = 0; lane < N; ++lane) {
    given[lane] = fine[lane] != 0 ? 1 : 0;
    if (fine[lane] != 0) bounds[lane] = CircleBound{cx[lane], cy[lane], outer2[lane], inner2[lane]};
  }
}

// The general case of boundedCircleOf (coordinates in range, both corner
// pairs surely not level, the choice of bisector sure) for N triangles,
// corners[k] = {x0, y0, x1, y1, x2, y2}: given[k] is 1 with bounds[k]
// written, 0 where the case offers no bound, -1 where the triangle is not
// this case.
template <int N>
[[gnu::always_inline]] inline void generalBoundLanes(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  using Vec = Lanes<N>;
  using VecMask = LaneMask<N>;
  const TriangleLanes<N> t = cornerLanes<N>(corners);
  const Vec x0 = t.x0, y0 = t.y0, x1 = t.x1, y1 = t.y1, x2 = t.x2, y2 = t.y2;
  VecMask general = everyMask<N>(-1);
  for (const Vec c : {x0, y0, x1, y1, x2, y2}) {
    const Vec a = absOf<N>(c);
    general &= (a <= largest) & ((c == 0.0) | (a >= smallest));
  }
  // gapOf and isLevel: both pairs surely not level.
  const Vec s01 = y0 - y1;
  const Vec back01 = s01 - y0;
  const VecMask exact01 = ((y0 - (s01 - back01)) + (-y1 - back01)) == 0.0;
  const Vec d01 = absOf<N>(s01);
  const Vec s12 = y1 - y2;
  const Vec back12 = s12 - y1;
  const VecMask exact12 = ((y1 - (s12 - back12)) + (-y2 - back12)) == 0.0;
  const Vec d12 = absOf<N>(s12);
  const double notLevelAbove = levelTolerance * (1 + slack);
  general &= (exact01 & (d01 >= levelTolerance)) | (~exact01 & (d01 > notLevelAbove));
  general &= (exact12 & (d12 >= levelTolerance)) | (~exact12 & (d12 > notLevelAbove));
  // The exact path's bisector is that of the pair whose y differ more.
  const VecMask bothExact = exact01 & exact12;
  const VecMask firstAbove = d01 > d12 * (1 + slack);
  const VecMask secondAbove = d12 > d01 * (1 + slack);
  const VecMask first = (bothExact & (d01 > d12)) | (~bothExact & firstAbove);
  general &= bothExact | firstAbove | secondAbove;

  const Vec k01 = -(x1 - x0) / (y1 - y0);
  const Vec k12 = -(x2 - x1) / (y2 - y1);
  const Vec mx01 = (x0 + x1) * 0.5;
  const Vec my01 = (y0 + y1) * 0.5;
  const Vec mx12 = (x1 + x2) * 0.5;
  const Vec my12 = (y1 + y2) * 0.5;
  const Vec d = k01 - k12;
  const Vec n = k01 * mx01 - k12 * mx12 + my12 - my01;
  const Vec s = absOf<N>(k01 * mx01) + absOf<N>(k12 * mx12) + absOf<N>(my12) + absOf<N>(my01);
  const Vec eN = slack * s + floorTerm;
  const Vec eD = slack * (absOf<N>(k01) + absOf<N>(k12)) + floorTerm;
  const Vec absD = absOf<N>(d);
  const VecMask fine = general & (absD > 4 * eD) & (absD >= 0x1p-300);
  const Vec signedInverse = 1 / d;
  const Vec inverse = absOf<N>(signedInverse);
  const Vec cx = n * signedInverse;
  const Vec tail = 2 * inverse * (eN + 2 * (absOf<N>(n) + eN) * eD * inverse) * (1 + slack);
  const Vec ex = tail + slack * (absOf<N>(cx) + 2 * tail) + floorTerm;
  // Selected, not branched on: the choice is a coin toss on most data.
  const Vec k = pick<N>(first, k01, k12);
  const Vec mx = pick<N>(first, mx01, mx12);
  const Vec my = pick<N>(first, my01, my12);
  const Vec cy = k * (cx - mx) + my;
  const Vec ey = bisectorBound<N>(k, mx, my, cx, ex);
  finishBound<N>(x1, y1, cx, cy, ex, ey, fine, bounds, given);
  for (int32_t lane = 0; lane < N; ++lane) {
    if (general[lane] == 0) given[lane] = -1;
  }
}

// boundedCircleOf for N triangles: the general case in the lanes, and
// boundedCircleOf itself for a triangle that is not that case.
template <int N>
[[gnu::always_inline]] inline void boundedCircleLanes(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  generalBoundLanes<N>(corners, bounds, given);
  for (int32_t lane = 0; lane < N; ++lane) {
    if (given[lane] < 0) {
      const double* c = corners[lane];
      given[lane] = boundedCircleOf(c[0], c[1], c[2], c[3], c[4], c[5], &bounds[lane]);
    }
  }
}

// The margin of surelyInsideCircles.
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
// The in-circle determinant of (px, py) against N triangles in plain
// double, and its permanent (the same sum of absolute terms), which bounds
// its rounding error.
template <int N>
struct InCircleLanes {
  Lanes<N> in;
  Lanes<N> permanent;
};

template <int N>
[[gnu::always_inline]] inline InCircleLanes<N> inCircleLanes(const TriangleLanes<N>& t, Lanes<N> px, Lanes<N> py) {
  using Vec = Lanes<N>;
  const Vec adx = t.x0 - px;
  const Vec ady = t.y0 - py;
  const Vec bdx = t.x1 - px;
  const Vec bdy = t.y1 - py;
  const Vec cdx = t.x2 - px;
  const Vec cdy = t.y2 - py;
  const Vec bc = bdx * cdy;
  const Vec cb = cdx * bdy;
  const Vec ca = cdx * ady;
  const Vec ac = adx * cdy;
  const Vec ab = adx * bdy;
  const Vec ba = bdx * ady;
  const Vec aLift = adx * adx + ady * ady;
  const Vec bLift = bdx * bdx + bdy * bdy;
  const Vec cLift = cdx * cdx + cdy * cdy;
  return {aLift * (bc - cb) + bLift * (ca - ac) + cLift * (ab - ba),
          (absOf<N>(bc) + absOf<N>(cb)) * aLift + (absOf<N>(ca) + absOf<N>(ac)) * bLift +
              (absOf<N>(ab) + absOf<N>(ba)) * cLift};
}

// N test triangles at once, in the lanes of a vector; a lane that fails a
// condition is refused, as an early return would refuse it.
template <int N>
[[gnu::always_inline]] inline void surelyInsideLanes(double testX, double testY, const double (*corners)[6], int32_t* inside) {
  using Vec = Lanes<N>;
  using VecMask = LaneMask<N>;
  const TriangleLanes<N> t = cornerLanes<N>(corners);
  const Vec x0 = t.x0, y0 = t.y0, x1 = t.x1, y1 = t.y1, x2 = t.x2, y2 = t.y2;
  const Vec px = everyLane<N>(testX);
  const Vec py = everyLane<N>(testY);
  const auto larger = [](Vec a, Vec b) { return pick<N>(a < b, b, a); };
  const Vec m = larger(larger(larger(absOf<N>(x0), absOf<N>(y0)), larger(absOf<N>(x1), absOf<N>(y1))),
                        larger(absOf<N>(x2), absOf<N>(y2)));
  const Vec dy01 = y1 - y0;
  const Vec dy12 = y2 - y1;
  const double notLevel = levelTolerance * (1 + 0x1p-50);
  VecMask fine = (absOf<N>(dy01) >= notLevel) & (absOf<N>(dy12) >= notLevel);
  const Vec dx01 = x1 - x0;
  const Vec dx12 = x2 - x1;
  const Vec o = dx01 * dy12 - dy01 * dx12;
  const Vec a = absOf<N>(dx01 * dy12) + absOf<N>(dy01 * dx12);
  const Vec q = absOf<N>(dy01 * dy12);
  fine &= (o != 0.0) & (absOf<N>(o) >= 0x1p-30 * a);

  const InCircleLanes<N> incircle = inCircleLanes<N>(t, px, py);
  const Vec in = incircle.in;
  const Vec permanent = incircle.permanent;
  fine &= ((in > 0.0) == (o > 0.0)) & (in != 0.0);
  const Vec inLow = absOf<N>(in) - slack * permanent;
  fine &= inLow > 0.0;

  const Vec inverse = 1 / absOf<N>(o);
  const double low = 1 - 0x1p-14;
  const double high = 1 + 0x1p-14;
  const Vec dx20 = x0 - x2;
  const Vec dy20 = y0 - y2;
  const Vec l01 = dx01 * dx01 + dy01 * dy01;
  const Vec l12 = dx12 * dx12 + dy12 * dy12;
  const Vec l20 = dx20 * dx20 + dy20 * dy20;
  const double grow = 1 + 0x1p-40;
  const Vec gap = inLow * inverse * low;
  const Vec r2 = l01 * l12 * l20 * 0.25 * (inverse * high) * (inverse * high) * grow;
  fine &= r2 <= 0x1p900;
  // Lanes already refused may hold anything here; their answer is not used.
  const Vec root = rootOf<N>(r2);
  const Vec r = root * grow;
  const Vec ex = (slack * ((2 * a + 2 * q) * m + a * r) * (inverse * high) + slack * (m + r) + floorTerm) * grow;
  const Vec e = q * (ex + slack * m + floorTerm) + a * grow * (ex * (1 + 2 * slack) + slack * (2 * m + r));
  const Vec right = (4 * r * e + slack * r2 * q) * grow;
  fine &= q * gap * (1 - 0x1p-40) >= right;
  for (int32_t lane = 0; lane < N; ++lane) inside[lane] = fine[lane] != 0 ? 1 : 0;
}

// Four triangles at a time, at the widest vectors the processor offers (the
// dispatch is built per processor family, see CMakeLists.txt).
void boundedCirclesFour(const double (*corners)[6], CircleBound* bounds, int32_t* given);
void surelyInsideFour(double testX, double testY, const double (*corners)[6], int32_t* inside);

}  // namespace circle_lanes
