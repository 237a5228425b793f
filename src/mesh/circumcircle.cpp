#include "mesh/circumcircle.h"

#include <cmath>

#include "mesh/wide.h"

namespace {

// Perpendicular-bisector slope of two corners whose y values differ.
double bisectorSlope(double xa, double ya, double xb, double yb) {
  return static_cast<double>(-(static_cast<Wide>(xb) - xa) / (static_cast<Wide>(yb) - ya));
}

double half(double a, double b) {
  return static_cast<double>((static_cast<Wide>(a) + b) * static_cast<Wide>(0.5));
}

// y on the bisector with the given slope through (mx, my), at x = cx.
double onBisector(double slope, double cx, double mx, double my) {
  return static_cast<double>(static_cast<Wide>(slope) * (static_cast<Wide>(cx) - mx) + my);
}

double squaredDistance(double x, double y, double cx, double cy) {
  // Each difference is rounded to double before it is squared.
  const double dx = static_cast<double>(static_cast<Wide>(x) - cx);
  const double dy = static_cast<double>(static_cast<Wide>(y) - cy);
  return static_cast<double>(static_cast<Wide>(dx) * dx + static_cast<Wide>(dy) * dy);
}

}  // namespace

int32_t circumcircleOf(double x0, double y0, double x1, double y1, double x2, double y2,
                       double* centreX, double* centreY, double* radiusSquared) {
  const double d01 = static_cast<double>(wideAbs(static_cast<Wide>(y0) - y1));
  const double d12 = static_cast<double>(wideAbs(static_cast<Wide>(y1) - y2));
  if (d01 < levelTolerance && d12 < levelTolerance) return 0;

  double cx;
  double cy;
  if (d01 < levelTolerance) {
    // First and second corners level: their bisector is the vertical line
    // through their midpoint.
    const double k12 = bisectorSlope(x1, y1, x2, y2);
    cx = half(x0, x1);
    cy = onBisector(k12, cx, half(x1, x2), half(y1, y2));
  } else if (d12 < levelTolerance) {
    const double k01 = bisectorSlope(x0, y0, x1, y1);
    cx = half(x1, x2);
    cy = onBisector(k01, cx, half(x0, x1), half(y0, y1));
  } else {
    const double k01 = bisectorSlope(x0, y0, x1, y1);
    const double k12 = bisectorSlope(x1, y1, x2, y2);
    const double mx01 = half(x0, x1);
    const double my01 = half(y0, y1);
    const double mx12 = half(x1, x2);
    const double my12 = half(y1, y2);
    const Wide denominator = static_cast<Wide>(k01) - k12;
    // Equal slopes: the corners lie on one line and there is no circle.
    if (denominator == 0) return 0;
    cx = static_cast<double>(
        (static_cast<Wide>(k01) * mx01 - static_cast<Wide>(k12) * mx12 + my12 - my01) / denominator);
    // The bisector of the pair whose y values differ more is the better conditioned one.
    cy = d01 > d12 ? onBisector(k01, cx, mx01, my01) : onBisector(k12, cx, mx12, my12);
  }

  const double r2 = squaredDistance(x1, y1, cx, cy);
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r2)) return 0;
  *centreX = cx;
  *centreY = cy;
  *radiusSquared = r2;
  return 1;
}

int32_t circleContains(double testX, double testY, double centreX, double centreY,
                       double radiusSquared) {
  return squaredDistance(testX, testY, centreX, centreY) <= radiusSquared ? 1 : 0;
}

int32_t circumcircleContains(double testX, double testY, double x0, double y0, double x1, double y1,
                             double x2, double y2, double* centreX, double* centreY,
                             double* radiusSquared) {
  double cx;
  double cy;
  double r2;
  if (circumcircleOf(x0, y0, x1, y1, x2, y2, &cx, &cy, &r2) == 0) return 0;
  *centreX = cx;
  *centreY = cy;
  *radiusSquared = r2;
  return circleContains(testX, testY, cx, cy, r2);
}
