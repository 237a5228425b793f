#include "export/products/contour_labels.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "export/products/contours.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// atan(t) for |t| <= 1: two halvings (atan t = 2 atan(t / (1 + sqrt(1 + t^2))))
// bring t below tan(pi/16) < 0.2, where 14 terms of the series leave an
// error under 1e-19.
double arcTangent(double t) {
  for (int32_t i = 0; i < 2; ++i) t = t / (1.0 + std::sqrt(1.0 + t * t));
  const double square = t * t;
  double sum = 0.0;
  for (int32_t k = 27; k >= 1; k -= 2) sum = 1.0 / k - square * sum;
  return 4.0 * t * sum;
}

// The digits after the point that value's shortest decimal has.
int32_t decimalsOf(double value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
  int32_t fraction = 0;
  const char* p = text;
  while (p < end && *p != '.' && *p != 'e') ++p;
  if (p < end && *p == '.') {
    for (++p; p < end && *p != 'e'; ++p) ++fraction;
  }
  int32_t exponent = 0;
  if (p < end) std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
  return fraction - exponent > 0 ? fraction - exponent : 0;
}

double stepLength(const double* a, const double* b) {
  const double dx = b[0] - a[0], dy = b[1] - a[1];
  return std::sqrt(dx * dx + dy * dy);
}

// The labels of one line: n of them at (k + 1/2) / n of its length.
void labelLine(const ExportContours& contours, const ExportContourLine& line, double height,
               std::vector<ContourLabel>* labels) {
  const double* xy = &contours.xy[static_cast<size_t>(line.firstPoint)];
  const int32_t steps = line.closed ? line.pointCount : line.pointCount - 1;
  const auto corner = [&](int32_t p) { return xy + static_cast<size_t>(p % line.pointCount) * 2; };
  double length = 0.0;
  for (int32_t s = 0; s < steps; ++s) length += stepLength(corner(s), corner(s + 1));
  if (!(length >= contourLabelShortest * height)) return;
  const double count = std::floor(length / (contourLabelSpacing * height));
  const int32_t n = count < 1.0 ? 1 : count > 1e6 ? 1000000 : static_cast<int32_t>(count);
  double walked = 0.0;
  int32_t s = 0;
  for (int32_t k = 0; k < n; ++k) {
    const double at = (k + 0.5) * length / n;
    double step = stepLength(corner(s), corner(s + 1));
    while (walked + step < at && s + 1 < steps) {
      walked += step;
      ++s;
      step = stepLength(corner(s), corner(s + 1));
    }
    const double* a = corner(s);
    const double* b = corner(s + 1);
    const double f = step > 0.0 ? std::min(1.0, (at - walked) / step) : 0.0;
    double degrees = directionDegrees(b[0] - a[0], b[1] - a[1]);
    if (degrees > 90.0) degrees -= 180.0;
    if (degrees <= -90.0) degrees += 180.0;
    labels->push_back({a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1]), degrees, line.level});
  }
}

}  // namespace

double directionDegrees(double dx, double dy) {
  const double ax = std::fabs(dx), ay = std::fabs(dy);
  if (ax == 0.0 && ay == 0.0) return 0.0;
  // The angle from the x axis within the first quadrant, then its quadrant.
  double angle = ay <= ax ? arcTangent(ay / ax) : pi / 2 - arcTangent(ax / ay);
  if (dx < 0.0) angle = pi - angle;
  if (dy < 0.0) angle = -angle;
  return angle * (180.0 / pi);
}

void placeContourLabels(const ExportContours& contours, double height, std::vector<ContourLabel>* labels) {
  labels->clear();
  if (!(height > 0.0)) return;
  for (const ExportContourLine& line : contours.lines) {
    if (contours.levels[static_cast<size_t>(line.level)].index && line.pointCount >= 2) {
      labelLine(contours, line, height, labels);
    }
  }
}

std::string contourLabelText(const ExportContours& contours, double elevation) {
  const int32_t interval = decimalsOf(contours.interval), base = decimalsOf(contours.base);
  const int32_t decimals = std::min(interval > base ? interval : base, 12);
  char text[400];
  const auto end = std::to_chars(text, text + sizeof text, elevation, std::chars_format::fixed, decimals).ptr;
  return std::string(text, end);
}
