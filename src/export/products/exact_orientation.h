// The side of a line a point lies on, decided exactly for every pair of
// doubles: a fast answer where rounding cannot change its sign, otherwise
// the determinant summed without error.
#pragma once

#include <cstdint>

// The sign of (b - a) x (c - a): 1 when c lies left of the line from a to
// b, -1 right of it, 0 on it. Exact for coordinates within +-1e90 whose
// products do not fall below the normal doubles.
int32_t orientationSign(double ax, double ay, double bx, double by, double cx, double cy);
