// A running sum with Neumaier's compensation, so that a million small
// pieces add up to what their exact sum rounds to, or very near it.
#pragma once

#include <cmath>

struct RunningSum {
  double total = 0.0;
  double correction = 0.0;
  void add(double value) {
    const double t = total + value;
    correction += std::fabs(total) >= std::fabs(value) ? (total - t) + value : (value - t) + total;
    total = t;
  }
  double value() const { return total + correction; }
};
