#include "export/products/convex_pieces.h"

#include <cmath>

#include "export/products/elevation_grid.h"

namespace {

// exactTurn(u, v, p), with its first, floating-point stage here where
// the compiler can fold it into the clipping loops; *estimate receives
// that stage's value of the turn (twice the signed area of u, v, p).
int32_t sideOf(const PlanPoint& u, const PlanPoint& v, const PlanPoint& p, double* estimate) {
  const double left = (u.x - p.x) * (v.y - p.y);
  const double right = (u.y - p.y) * (v.x - p.x);
  *estimate = left - right;
  constexpr double epsilon = 0x1p-53;
  const double bound = (3.0 + 16.0 * epsilon) * epsilon * (std::fabs(left) + std::fabs(right));
  if (*estimate > bound) return 1;
  if (-*estimate > bound) return -1;
  return exactTurn(u.x, u.y, v.x, v.y, p.x, p.y);
}

// The point at fraction t (kept within 0 .. 1) from p to q.
PlanPoint pointBetween(const PlanPoint& p, const PlanPoint& q, double t) {
  if (!(t >= 0.0)) t = 0.0;
  if (t > 1.0) t = 1.0;
  return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

// Keeps the part of the convex polygon on or left of u -> v; a side is
// cut where the turns of its ends, linear along it, pass zero. Every
// corner and crossing is written and then kept or not by a count, as
// which side a corner lies on is too mixed to guess; out has room for two
// corners an input corner. Rounded crossings can make a polygon a hair
// from convex: no more than pieceLargestCorners are kept.
int32_t clipByLine(const PlanPoint* in, int32_t n, const PlanPoint& u, const PlanPoint& v, PlanPoint* out) {
  int32_t side[pieceLargestCorners];
  double turn[pieceLargestCorners];
  for (int32_t i = 0; i < n; ++i) side[i] = sideOf(u, v, in[i], &turn[i]);
  int32_t m = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t j = i + 1 == n ? 0 : i + 1;
    out[m] = in[i];
    m += static_cast<int32_t>(side[i] >= 0);
    if (side[i] * side[j] < 0) out[m++] = pointBetween(in[i], in[j], turn[i] / (turn[i] - turn[j]));
  }
  return m < pieceLargestCorners ? m : pieceLargestCorners;
}

// Keeps the part of the polygon where sign * h >= 0, h given at its
// corners and linear along its sides.
int32_t clipBySign(const PlanPoint* in, const double* h, int32_t n, double sign, PlanPoint* out, double* hOut) {
  int32_t m = 0;
  for (int32_t i = 0; i < n && m < pieceLargestCorners; ++i) {
    const int32_t j = i + 1 == n ? 0 : i + 1;
    const double si = sign * h[i], sj = sign * h[j];
    if (si >= 0.0) {
      hOut[m] = h[i];
      out[m++] = in[i];
    }
    if (((si > 0.0 && sj < 0.0) || (si < 0.0 && sj > 0.0)) && m < pieceLargestCorners) {
      hOut[m] = 0.0;
      out[m++] = pointBetween(in[i], in[j], h[i] / (h[i] - h[j]));
    }
  }
  return m;
}

// Half the signed area and the integral of h over the polygon, by a fan
// from its first corner.
void fanIntegral(const PlanPoint* p, const double* h, int32_t n, double* area, double* volume) {
  double twice = 0.0, sixfold = 0.0;
  for (int32_t k = 1; k + 1 < n; ++k) {
    const double ax = p[k].x - p[0].x, ay = p[k].y - p[0].y;
    const double bx = p[k + 1].x - p[0].x, by = p[k + 1].y - p[0].y;
    const double t = ax * by - bx * ay;
    twice += t;
    sixfold += t * (h[0] + h[k] + h[k + 1]);
  }
  *area = twice / 2.0;
  *volume = sixfold / 6.0;
}

}  // namespace

int32_t clipTriangleByTriangle(const PlanPoint a[3], const PlanPoint b[3], PlanPoint* piece) {
  PlanPoint first[2 * pieceLargestCorners], second[2 * pieceLargestCorners];
  int32_t n = clipByLine(a, 3, b[0], b[1], first);
  if (n >= 3) n = clipByLine(first, n, b[1], b[2], second);
  if (n >= 3) n = clipByLine(second, n, b[2], b[0], first);
  for (int32_t i = 0; i < n; ++i) piece[i] = first[i];
  return n >= 3 ? n : 0;
}

bool trianglesOverlap(const PlanPoint a[3], const PlanPoint b[3]) {
  for (int32_t pass = 0; pass < 2; ++pass) {
    const PlanPoint* s = pass == 0 ? a : b;
    const PlanPoint* t = pass == 0 ? b : a;
    for (int32_t e = 0; e < 3; ++e) {
      const PlanPoint& u = s[e];
      const PlanPoint& v = s[e == 2 ? 0 : e + 1];
      double turn = 0.0;
      if (sideOf(u, v, t[0], &turn) <= 0 && sideOf(u, v, t[1], &turn) <= 0 && sideOf(u, v, t[2], &turn) <= 0) {
        return false;
      }
    }
  }
  return true;
}

TriangleLines linesOf(const PlanPoint t[3]) {
  TriangleLines lines;
  for (int32_t k = 0; k < 3; ++k) {
    const PlanPoint& u = t[k];
    const PlanPoint& v = t[k == 2 ? 0 : k + 1];
    lines.ux[k] = u.x;
    lines.uy[k] = u.y;
    lines.dx[k] = v.x - u.x;
    lines.dy[k] = v.y - u.y;
  }
  return lines;
}

bool clearlyApart(const TriangleLines& lines, const PlanPoint other[3]) {
  // The turn of p about a side, d x (p - u), is off by a few units in the
  // last place of its two products, d itself rounded included. All nine
  // turns are taken and joined without branches, as which ones decide is
  // too mixed to guess.
  constexpr double margin = 16.0 * 0x1p-53;
  bool apart = false;
  for (int32_t k = 0; k < 3; ++k) {
    bool beyond = true;
    for (int32_t c = 0; c < 3; ++c) {
      const double left = lines.dx[k] * (other[c].y - lines.uy[k]);
      const double right = lines.dy[k] * (other[c].x - lines.ux[k]);
      beyond = beyond & (left - right < -margin * (std::fabs(left) + std::fabs(right)));
    }
    apart = apart | beyond;
  }
  return apart;
}

double evaluateLinear(const PlanLinear& h, double x, double y) {
  return h.h0 + h.gx * (x - h.ox) + h.gy * (y - h.oy);
}

PlanLinear planeThrough(const PlanPoint c[3], const double z[3]) {
  const double e1x = c[1].x - c[0].x, e1y = c[1].y - c[0].y, e1z = z[1] - z[0];
  const double e2x = c[2].x - c[0].x, e2y = c[2].y - c[0].y, e2z = z[2] - z[0];
  const double area2 = e1x * e2y - e2x * e1y;
  if (area2 == 0.0 || !std::isfinite(area2)) return {c[0].x, c[0].y, (z[0] + z[1] + z[2]) / 3.0, 0.0, 0.0};
  return {c[0].x, c[0].y, z[0], (e1z * e2y - e2z * e1y) / area2, (e2z * e1x - e1z * e2x) / area2};
}

double twiceArea(const PlanPoint* polygon, int32_t count) {
  double twice = 0.0;
  for (int32_t k = 1; k + 1 < count; ++k) {
    const double ax = polygon[k].x - polygon[0].x, ay = polygon[k].y - polygon[0].y;
    const double bx = polygon[k + 1].x - polygon[0].x, by = polygon[k + 1].y - polygon[0].y;
    twice += ax * by - bx * ay;
  }
  return twice;
}

void integratePiece(const PlanPoint* piece, int32_t count, const PlanLinear& h, double level, PieceSplit* split) {
  *split = PieceSplit{};
  double heights[pieceLargestCorners];
  bool positive = false, negative = false;
  for (int32_t i = 0; i < count; ++i) {
    double value = evaluateLinear(h, piece[i].x, piece[i].y);
    if (std::fabs(value) <= level) value = 0.0;
    heights[i] = value;
    positive = positive || value > 0.0;
    negative = negative || value < 0.0;
  }
  double volume = 0.0;
  fanIntegral(piece, heights, count, &split->area, &volume);
  if (positive && !negative) {
    split->positive.area = split->area;
    split->positive.volume = volume;
  } else if (negative && !positive) {
    split->negative.area = split->area;
    split->negative.volume = -volume;
  } else if (positive && negative) {
    PlanPoint part[pieceLargestCorners];
    double partHeights[pieceLargestCorners];
    int32_t n = clipBySign(piece, heights, count, 1.0, part, partHeights);
    fanIntegral(part, partHeights, n, &split->positive.area, &split->positive.volume);
    n = clipBySign(piece, heights, count, -1.0, part, partHeights);
    fanIntegral(part, partHeights, n, &split->negative.area, &volume);
    split->negative.volume = -volume;
  }
}
