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

// The sign of (bx - ax)(cy - ay) - (by - ay)(cx - ax), computed without
// rounding: 1 when a, b, c turn counter-clockwise, -1 clockwise, 0 when they
// lie on one line (or coincide). Every coordinate must suit the arithmetic
// (suitsOrientation).
int32_t orientationOf(double ax, double ay, double bx, double by, double cx, double cy);
