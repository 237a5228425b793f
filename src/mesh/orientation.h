// The orientation of three points, decided exactly.
#pragma once

#include <cstdint>

// Where the answer is exact: every coordinate 0 or of magnitude within
// [2^-400, 2^500]. Products of differences then neither overflow nor fall
// below the normal range, so the expansion arithmetic loses nothing.
inline bool suitsOrientation(double c) {
  const double a = c < 0 ? -c : c;
  return a <= 0x1p500 && (a == 0 || a >= 0x1p-400);
}

// The exact evaluation behind orientationOf, for when its fast bound fails.
int32_t exactOrientationOf(double ax, double ay, double bx, double by, double cx, double cy);

// The sign of (bx - ax)(cy - ay) - (by - ay)(cx - ax), computed without
// rounding: 1 when a, b, c turn counter-clockwise, -1 clockwise, 0 when they
// lie on one line (or coincide). Every coordinate must suit the arithmetic
// (suitsOrientation). A plain double evaluation settles almost every call
// (Shewchuk's bound, (3 + 16 eps) eps (|left| + |right|)); inline, since a
// hull takes two calls a point.
inline int32_t orientationOf(double ax, double ay, double bx, double by, double cx, double cy) {
  const double left = (bx - ax) * (cy - ay);
  const double right = (by - ay) * (cx - ax);
  const double det = left - right;
  const double bound = 3.3306690738754716e-16 * ((left < 0 ? -left : left) + (right < 0 ? -right : right));
  if (det > bound) return 1;
  if (-det > bound) return -1;
  return exactOrientationOf(ax, ay, bx, by, cx, cy);
}
