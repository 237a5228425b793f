// Where the index contours are labelled with their levels: along each line
// at even steps, each label centred on the line and turned along it,
// upright enough to read (its angle within -90 .. 90 degrees).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportContours;

struct ContourLabel {
  double x;        // the label's centre, on the line
  double y;
  double degrees;  // the direction of the line's step there, counter-clockwise from +x, in (-90, 90]
  int32_t level;   // into ExportContours::levels
};

// Labels contourLabelSpacing heights apart along every index contour, at
// least one on a line of contourLabelShortest heights or more, none on a
// shorter one; in the order of the lines, along each from its start.
inline constexpr double contourLabelSpacing = 50.0;
inline constexpr double contourLabelShortest = 10.0;
void placeContourLabels(const ExportContours& contours, double height, std::vector<ContourLabel>* labels);

// The level as a label: to as many decimals as the interval and the base
// need (1 for an interval of 0.5, none for 10), the same on every system.
std::string contourLabelText(const ExportContours& contours, double elevation);

// The direction of (dx, dy) in degrees within (-180, 180], from the basic
// operations alone so that every system computes the same bits.
double directionDegrees(double dx, double dy);
