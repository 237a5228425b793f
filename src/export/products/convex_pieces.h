// Convex pieces in plan: the common part of two triangles, and the
// integral of a linear height over a piece, split where it changes sign.
// Which side of a line a point lies on is decided exactly (for the points
// as given, crossings included); crossings themselves are computed in
// doubles.
#pragma once

#include <cstdint>

struct PlanPoint {
  double x;
  double y;
};

// The most corners a piece can have: a triangle cut by three lines gains
// at most one corner a line, and a sign split adds one more.
inline constexpr int32_t pieceLargestCorners = 8;

// The part of triangle a that lies in triangle b, both counter-clockwise
// with area, as a counter-clockwise convex polygon written into piece
// (room for pieceLargestCorners). Returns its corner count, 0 when it has
// fewer than three corners (the triangles are apart or only touch).
int32_t clipTriangleByTriangle(const PlanPoint a[3], const PlanPoint b[3], PlanPoint* piece);

// Whether the interiors of the two triangles (counter-clockwise, with
// area) overlap, exactly: false when some side of either has the other
// wholly on or beyond its line.
bool trianglesOverlap(const PlanPoint a[3], const PlanPoint b[3]);

// A triangle's sides as lines (from corner k towards corner k + 1), for
// telling quickly that another triangle lies beyond one of them.
struct TriangleLines {
  double ux[3], uy[3], dx[3], dy[3];
};

TriangleLines linesOf(const PlanPoint t[3]);

// true only when some side of the counter-clockwise triangle whose lines
// these are has every corner of other beyond its line by more than
// rounding: then the interiors do not overlap. false tells nothing.
bool clearlyApart(const TriangleLines& lines, const PlanPoint other[3]);

// The linear function h(p) = h0 + gx (p.x - ox) + gy (p.y - oy).
struct PlanLinear {
  double ox;
  double oy;
  double h0;
  double gx;
  double gy;
};

double evaluateLinear(const PlanLinear& h, double x, double y);

// The plane through three corners with heights z, as a linear function
// from corner 0; a triangle too thin for doubles to give a slope takes
// its mean height.
PlanLinear planeThrough(const PlanPoint c[3], const double z[3]);

// Over a convex piece: the plan area and the integral of h where h > 0
// (area and volume positive), and where h < 0 (area and volume as
// positive numbers). Heights within level of zero count as zero; the
// area where h is zero is in neither.
struct PiecePart {
  double area = 0.0;
  double volume = 0.0;
};

struct PieceSplit {
  double area = 0.0;
  PiecePart positive, negative;
};

void integratePiece(const PlanPoint* piece, int32_t count, const PlanLinear& h, double level, PieceSplit* split);

// Twice the signed area of a polygon, from its first corner.
double twiceArea(const PlanPoint* polygon, int32_t count);
