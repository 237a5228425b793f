#include "export/products/exact_orientation.h"

#include <cmath>

namespace {

// a + b = sum + error exactly (Knuth's two-sum).
void twoSum(double a, double b, double* sum, double* error) {
  const double s = a + b;
  const double bVirtual = s - a;
  const double aVirtual = s - bVirtual;
  *sum = s;
  *error = (a - aVirtual) + (b - bVirtual);
}

// a = high + low, each with at most 26 significant bits (Veltkamp).
void split(double a, double* high, double* low) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  *high = c - (c - a);
  *low = a - *high;
}

// a * b = product + error exactly (Dekker).
void twoProduct(double a, double b, double* product, double* error) {
  double aHigh, aLow, bHigh, bLow;
  split(a, &aHigh, &aLow);
  split(b, &bHigh, &bLow);
  const double p = a * b;
  *product = p;
  *error = aLow * bLow - (((p - aHigh * bHigh) - aLow * bHigh) - aHigh * bLow);
}

}  // namespace

int32_t orientationSign(double ax, double ay, double bx, double by, double cx, double cy) {
  const double left = (bx - ax) * (cy - ay);
  const double right = (by - ay) * (cx - ax);
  const double det = left - right;
  // The bound on the rounding of det (Shewchuk's ccwerrboundA).
  constexpr double epsilon = 1.1102230246251565e-16;
  const double bound = (3.0 + 16.0 * epsilon) * epsilon * (std::fabs(left) + std::fabs(right));
  if (det > bound) return 1;
  if (-det > bound) return -1;
  // ax by - ax cy - ay bx + ay cx + bx cy - by cx as twelve exact parts,
  // summed into a nonoverlapping expansion whose largest part has the sign.
  const double factors[6][2] = {{ax, by}, {-ax, cy}, {-ay, bx}, {ay, cx}, {bx, cy}, {-by, cx}};
  double expansion[13];
  int32_t count = 0;
  for (const auto& pair : factors) {
    double parts[2];
    twoProduct(pair[0], pair[1], &parts[1], &parts[0]);
    for (const double part : parts) {
      double q = part;
      for (int32_t i = 0; i < count; ++i) twoSum(q, expansion[i], &q, &expansion[i]);
      expansion[count++] = q;
    }
  }
  for (int32_t i = count - 1; i >= 0; --i) {
    if (expansion[i] > 0.0) return 1;
    if (expansion[i] < 0.0) return -1;
  }
  return 0;
}
