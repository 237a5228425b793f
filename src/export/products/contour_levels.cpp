// Contour levels formed in decimal: binary steps of 0.1 drift off the
// decimal levels (0.1 + 0.2 is 0.30000000000000004), and a vertex at 100.3
// must lie on the level 100.3, not a hair below it.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "export/products/contours.h"

namespace {

__extension__ typedef __int128 Wide;

// A decimal: mantissa * 10^exponent, with at most 17 digits.
struct Decimal {
  int64_t mantissa = 0;
  int32_t exponent = 0;
};

// The shortest decimal that reads back to value.
Decimal decimalOf(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  *result.ptr = '\0';
  Decimal decimal;
  int32_t fraction = 0;
  bool afterPoint = false;
  const char* p = text;
  const bool negative = *p == '-';
  if (negative) ++p;
  for (; *p != '\0' && *p != 'e'; ++p) {
    if (*p == '.') {
      afterPoint = true;
      continue;
    }
    decimal.mantissa = decimal.mantissa * 10 + (*p - '0');
    if (afterPoint) ++fraction;
  }
  decimal.exponent = (*p == 'e' ? static_cast<int32_t>(std::strtol(p + 1, nullptr, 10)) : 0) - fraction;
  if (negative) decimal.mantissa = -decimal.mantissa;
  return decimal;
}

// Decimal units stay below 10^36, far inside 128 bits.
constexpr Wide unitLimit = static_cast<Wide>(1000000000000000000) * 1000000000000000000;

// a + k * b, or false when it leaves the range.
bool stepFrom(Wide a, int64_t k, Wide b, Wide* sum) {
  const Wide magnitude = k < 0 ? -static_cast<Wide>(k) : static_cast<Wide>(k);
  if (magnitude != 0 && (b > unitLimit / magnitude || b < -unitLimit / magnitude)) return false;
  *sum = a + static_cast<Wide>(k) * b;
  return *sum < unitLimit && *sum > -unitLimit;
}

// value * 10^shift, or false when it leaves the range.
bool scaleUp(Wide value, int32_t shift, Wide* scaled) {
  const Wide limit = unitLimit;
  for (int32_t i = 0; i < shift; ++i) {
    if (value > limit / 10 || value < -limit / 10) return false;
    value *= 10;
  }
  *scaled = value;
  return true;
}

// units * 10^-scale as the nearest double.
double nearestDouble(Wide units, int32_t scale) {
  char digits[64];
  char* end = digits + sizeof digits;
  char* p = end;
  const bool negative = units < 0;
  do {
    const int32_t digit = static_cast<int32_t>(units % 10);
    *--p = static_cast<char>('0' + (digit < 0 ? -digit : digit));
    units /= 10;
  } while (units != 0);
  char text[96];
  const int length = static_cast<int>(end - p);
  std::snprintf(text, sizeof text, "%s%.*se-%d", negative ? "-" : "", length, p, scale);
  double value = 0.0;
  std::from_chars(text, text + std::strlen(text), value);
  return value;
}

}  // namespace

int32_t contourLevels(double lowest, double highest, double interval, double base, int32_t indexEvery,
                      std::vector<ExportContourLevel>* levels) {
  levels->clear();
  if (!((highest - lowest) / interval <= contourMostLevels)) return contourTooManyLevels;
  const double firstStep = std::floor((lowest - base) / interval);
  if (!(std::fabs(firstStep) <= contourFarthestStep)) return contourBaseTooFar;
  // Base and interval on one decimal scale: levels are base + k * step.
  const Decimal b = decimalOf(base);
  const Decimal i = decimalOf(interval);
  const int32_t scale = std::max(0, -std::min(b.exponent, i.exponent));
  Wide baseUnits = 0, stepUnits = 0;
  if (scale > 40 || !scaleUp(b.mantissa, b.exponent + scale, &baseUnits) ||
      !scaleUp(i.mantissa, i.exponent + scale, &stepUnits)) {
    return contourBaseTooFar;
  }
  int64_t k = static_cast<int64_t>(firstStep) - 1;
  for (int32_t step = 0; step < contourMostLevels + 4; ++step, ++k) {
    Wide units = 0;
    if (!stepFrom(baseUnits, k, stepUnits, &units)) return contourBaseTooFar;
    const double elevation = nearestDouble(units, scale);
    if (elevation > highest) break;
    if (elevation <= lowest) continue;
    if (static_cast<int32_t>(levels->size()) == contourMostLevels) return contourTooManyLevels;
    const bool index = indexEvery > 0 && k % indexEvery == 0;
    levels->push_back({elevation, index, 0, 0});
  }
  return contourOk;
}
