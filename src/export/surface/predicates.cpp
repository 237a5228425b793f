#include "export/surface/predicates.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "export/surface/exact_number.h"

namespace tsvmesh::surface {
namespace {

constexpr double kEpsilon = 0x1p-53;
// Forward error bounds of the double evaluations below (relative to the sum
// of the magnitudes of their terms), valid without underflow or overflow.
constexpr double kOrientationBound = (3.0 + 16.0 * kEpsilon) * kEpsilon;
constexpr double kInCircleBound = (10.0 + 96.0 * kEpsilon) * kEpsilon;

// Zero, or far enough from both ends of the double range that degree-4
// products of such differences neither underflow nor overflow.
bool safeDifference(double d) {
  const double magnitude = std::fabs(d);
  return (magnitude >= 0x1p-200 || d == 0) && magnitude <= 0x1p200;
}

int signOf(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

__extension__ typedef __int128 Wide;
int signOf(Wide v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

int32_t lowestOf(const double* values, int32_t count) {
  int32_t lowest = lowestExponent(values[0]);
  for (int32_t i = 1; i < count; ++i) lowest = std::min(lowest, lowestExponent(values[i]));
  return lowest;
}

// The values as integers at their common scale (their lowest set bit), when
// each then fits in 61 bits: the usual case, where 128-bit integers suffice
// and the wide numbers below are not needed.
bool smallIntegers(const double* values, int32_t count, int64_t* out) {
  uint64_t mantissa[8];
  int32_t exponent[8];
  int32_t base = 1 << 20;
  for (int32_t i = 0; i < count; ++i) {
    splitDouble(values[i], &mantissa[i], &exponent[i]);
    if (mantissa[i] != 0) base = std::min(base, exponent[i]);
  }
  for (int32_t i = 0; i < count; ++i) {
    if (mantissa[i] == 0) {
      out[i] = 0;
      continue;
    }
    const int32_t shift = exponent[i] - base;
    if (shift + std::bit_width(mantissa[i]) > 61) return false;
    const auto magnitude = static_cast<int64_t>(mantissa[i] << shift);
    out[i] = values[i] < 0 ? -magnitude : magnitude;
  }
  return true;
}

// Exact p - q for two coordinates at scale base.
void exactDifference(ExactNumber* out, double p, double q, int32_t base) {
  ExactNumber left;
  ExactNumber right;
  exactFromDouble(&left, p, base);
  exactFromDouble(&right, q, base);
  exactSubtract(out, left, right);
}

// out = a * d - b * c.
void exactCross(ExactNumber* out, const ExactNumber& a, const ExactNumber& b, const ExactNumber& c,
                const ExactNumber& d) {
  ExactNumber left;
  ExactNumber right;
  exactMultiply(&left, a, d);
  exactMultiply(&right, b, c);
  exactSubtract(out, left, right);
}

// Exact (b - a) x (c - a) with all coordinates at scale base.
void exactOrientation(ExactNumber* out, const double* a, const double* b, const double* c,
                      int32_t base) {
  ExactNumber bax;
  ExactNumber bay;
  ExactNumber cax;
  ExactNumber cay;
  exactDifference(&bax, b[0], a[0], base);
  exactDifference(&bay, b[1], a[1], base);
  exactDifference(&cax, c[0], a[0], base);
  exactDifference(&cay, c[1], a[1], base);
  exactCross(out, bax, bay, cax, cay);
}

// In 128-bit integers when every difference fits in 30 bits.
bool smallInCircle(const double* all, int* sign) {
  int64_t v[8];
  if (!smallIntegers(all, 8, v)) return false;
  int64_t delta[6];
  for (int32_t i = 0; i < 6; ++i) {
    delta[i] = v[i] - v[6 + i % 2];
    if (delta[i] >= (int64_t{1} << 30) || delta[i] <= -(int64_t{1} << 30)) return false;
  }
  Wide total = 0;
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t j = (i + 1) % 3;
    const int32_t k = (i + 2) % 3;
    const Wide lift = Wide{delta[2 * i]} * delta[2 * i] + Wide{delta[2 * i + 1]} * delta[2 * i + 1];
    const Wide minor = Wide{delta[2 * j]} * delta[2 * k + 1] - Wide{delta[2 * j + 1]} * delta[2 * k];
    total += lift * minor;
  }
  *sign = signOf(total);
  return true;
}

int exactInCircle(const double* a, const double* b, const double* c, const double* d) {
  const double all[8] = {a[0], a[1], b[0], b[1], c[0], c[1], d[0], d[1]};
  int sign = 0;
  if (smallInCircle(all, &sign)) return sign;
  const int32_t base = lowestOf(all, 8);
  ExactNumber delta[6];  // adx ady bdx bdy cdx cdy
  const double* rows[3] = {a, b, c};
  for (int32_t i = 0; i < 3; ++i) {
    exactDifference(&delta[2 * i], rows[i][0], d[0], base);
    exactDifference(&delta[2 * i + 1], rows[i][1], d[1], base);
  }
  ExactNumber total;
  for (int32_t i = 0; i < 3; ++i) {
    const ExactNumber& px = delta[2 * i];
    const ExactNumber& py = delta[2 * i + 1];
    const int32_t j = (i + 1) % 3;
    const int32_t k = (i + 2) % 3;
    ExactNumber xx;
    ExactNumber yy;
    ExactNumber lift;
    ExactNumber minor;
    ExactNumber term;
    exactMultiply(&xx, px, px);
    exactMultiply(&yy, py, py);
    exactAdd(&lift, xx, yy);
    exactCross(&minor, delta[2 * j], delta[2 * j + 1], delta[2 * k], delta[2 * k + 1]);
    exactMultiply(&term, lift, minor);
    exactAdd(&total, total, term);
  }
  return exactSign(total);
}

}  // namespace

int orientation(const double* a, const double* b, const double* c) {
  const double acx = a[0] - c[0];
  const double bcx = b[0] - c[0];
  const double acy = a[1] - c[1];
  const double bcy = b[1] - c[1];
  const double left = acx * bcy;
  const double right = acy * bcx;
  const double det = left - right;
  if (safeDifference(acx) && safeDifference(bcx) && safeDifference(acy) && safeDifference(bcy) &&
      std::fabs(det) > kOrientationBound * (std::fabs(left) + std::fabs(right))) {
    return signOf(det);
  }
  const double all[6] = {a[0], a[1], b[0], b[1], c[0], c[1]};
  int64_t v[6];
  if (smallIntegers(all, 6, v)) {
    return signOf(Wide{v[2] - v[0]} * (v[5] - v[1]) - Wide{v[3] - v[1]} * (v[4] - v[0]));
  }
  ExactNumber exact;
  exactOrientation(&exact, a, b, c, lowestOf(all, 6));
  return exactSign(exact);
}

int inCircle(const double* a, const double* b, const double* c, const double* d) {
  const double dx[3] = {a[0] - d[0], b[0] - d[0], c[0] - d[0]};
  const double dy[3] = {a[1] - d[1], b[1] - d[1], c[1] - d[1]};
  // Sums in the order the error bound was derived for: a's term, b's, c's.
  double det = 0;
  double permanent = 0;
  bool safe = true;
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t j = (i + 1) % 3;
    const int32_t k = (i + 2) % 3;
    const double lift = dx[i] * dx[i] + dy[i] * dy[i];
    const double left = dx[j] * dy[k];
    const double right = dx[k] * dy[j];
    det += lift * (left - right);
    permanent += (std::fabs(left) + std::fabs(right)) * lift;
    safe = safe && safeDifference(dx[i]) && safeDifference(dy[i]);
  }
  if (safe && std::fabs(det) > kInCircleBound * permanent) return signOf(det);
  return exactInCircle(a, b, c, d);
}

int orientationOfCentroid(const double* a, const double* b, const double* p, const double* q,
                          const double* r) {
  const double all[10] = {a[0], a[1], b[0], b[1], p[0], p[1], q[0], q[1], r[0], r[1]};
  const int32_t base = lowestOf(all, 10);
  ExactNumber sum;
  for (const double* corner : {p, q, r}) {
    ExactNumber one;
    exactOrientation(&one, a, b, corner, base);
    exactAdd(&sum, sum, one);
  }
  return exactSign(sum);
}

int centroidAboveY(const double* p, const double* q, const double* r, double y) {
  const double all[4] = {p[1], q[1], r[1], y};
  const int32_t base = lowestOf(all, 4);
  ExactNumber sum;
  for (const double* corner : {p, q, r}) {
    ExactNumber one;
    ExactNumber level;
    exactFromDouble(&one, corner[1], base);
    exactFromDouble(&level, y, base);
    exactAdd(&sum, sum, one);
    exactSubtract(&sum, sum, level);
  }
  return exactSign(sum);
}

}  // namespace tsvmesh::surface
