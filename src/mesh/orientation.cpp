#include "mesh/orientation.h"

// Where the fast bound leaves the sign open, the determinant is formed
// exactly as a sum of non-overlapping doubles (an expansion) from error-free
// differences and products, and the largest part gives the sign.

namespace {

// a - b = high + low exactly.
void exactDifference(double a, double b, double* high, double* low) {
  const double s = a - b;
  const double bVirtual = a - s;
  const double aVirtual = s + bVirtual;
  *high = s;
  *low = (a - aVirtual) + (bVirtual - b);
}

// a = high + low with each half of at most 26 significant bits.
void split(double a, double* high, double* low) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  *high = c - (c - a);
  *low = a - *high;
}

// a * b = high + low exactly (Dekker's product).
void exactProduct(double a, double b, double* high, double* low) {
  double ah;
  double al;
  double bh;
  double bl;
  split(a, &ah, &al);
  split(b, &bh, &bl);
  *high = a * b;
  *low = al * bl - (((*high - ah * bh) - al * bh) - ah * bl);
}

// Adds b to the expansion e[0 .. *length-1] (ascending magnitudes, no
// overlap), dropping zero parts.
void growExpansion(double* e, int32_t* length, double b) {
  int32_t kept = 0;
  double q = b;
  for (int32_t k = 0; k < *length; ++k) {
    const double sum = q + e[k];
    const double bVirtual = sum - q;
    const double error = (q - (sum - bVirtual)) + (e[k] - bVirtual);
    q = sum;
    if (error != 0) e[kept++] = error;
  }
  if (q != 0) e[kept++] = q;
  *length = kept;
}

}  // namespace

int32_t exactOrientationOf(double ax, double ay, double bx, double by, double cx, double cy) {
  double d[4][2];  // bx - ax, cy - ay, by - ay, cx - ax, each as high and low
  exactDifference(bx, ax, &d[0][0], &d[0][1]);
  exactDifference(cy, ay, &d[1][0], &d[1][1]);
  exactDifference(by, ay, &d[2][0], &d[2][1]);
  exactDifference(cx, ax, &d[3][0], &d[3][1]);
  double e[32];
  int32_t length = 0;
  for (int32_t i = 0; i < 2; ++i) {
    for (int32_t j = 0; j < 2; ++j) {
      double high;
      double low;
      exactProduct(d[0][i], d[1][j], &high, &low);
      growExpansion(e, &length, low);
      growExpansion(e, &length, high);
      exactProduct(d[2][i], d[3][j], &high, &low);
      growExpansion(e, &length, -low);
      growExpansion(e, &length, -high);
    }
  }
  if (length == 0) return 0;
  return e[length - 1] > 0 ? 1 : -1;
}
