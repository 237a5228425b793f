// The surveyor's surface: the constrained Delaunay triangulation of points
// (x, y, z) and constraint segments, over the whole convex hull, optionally
// trimmed to a border polygon minus hole polygons.
//
// Every orientation and in-circle decision is exact (predicates.h), so the
// same input gives the same triangles in the same order on every platform.
// Points are inserted in Hilbert-curve order with a walking locator; the
// table of triangles is flat (three corners and three twin halfedges each).
//
// Contracts:
// - Points are (x, y, z) triples of finite doubles. Points at one (x, y) are
//   merged: the first in input order holds (mergedInto names it), whatever
//   the others' heights.
// - Segments are pairs of point indices, inserted in input order. Each
//   becomes a chain of triangle edges: split where it passes through a
//   point, and where it crosses an earlier constraint. A crossing adds a
//   point (index pointCount + k), its (x, y) computed in doubles and then
//   taken as given; its z is the earlier segment's interpolated height,
//   the later segment's is reported beside it. A crossing within 2^-40 of
//   a segment's length from one of the four ends is taken to be that end
//   (the other constraint then bends through it by at most that much).
// - Polygons (border first when hasBorder, then holes) are closed rings of
//   point indices; their edges become constraints after all segments. A
//   triangle is kept when it lies inside the border (if any) and outside
//   every hole, by even-odd parity of each polygon alone. An edge two
//   polygons share belongs to the later one only, so the earlier one's
//   parity is not toggled across it: give such polygons no common edge.
// - A point whose z is NaN (a polygon corner given as x y) takes the surface's height at its place
//   (from the triangulation of the points and segments), reported in
//   filledHeights. Segments need points with heights.
// - Refused, with no triangles: fewer than 3 distinct positions, all
//   positions on one line, an index out of range, a segment's point
//   without height, an infinite coordinate.
#pragma once

#include <cstdint>
#include <vector>

namespace tsvmesh::surface {

enum class SurfaceStatus {
  kOk,
  kTooFewPoints,   // fewer than three distinct (x, y)
  kCollinear,      // every point on one line
  kBadIndex,       // a segment or polygon names a point that does not exist,
                   // or a segment a point without height
  kNotFinite,      // a coordinate is infinite or NaN
  kTooLarge,       // more than kMaxSurfacePoints points
  kNoMemory,       // an allocation failed; the result is empty
};

// Halfedge numbers stay within 32 bits up to this many points.
constexpr int32_t kMaxSurfacePoints = 300'000'000;

struct SurfaceInput {
  const double* xyz = nullptr;  // 3 per point
  int32_t pointCount = 0;
  const int32_t* segments = nullptr;  // 2 per segment
  int32_t segmentCount = 0;
  // Polygon k holds polygonPoints[polygonEnds[k - 1] .. polygonEnds[k]),
  // polygonEnds[-1] read as 0; the last point joins the first.
  const int32_t* polygonPoints = nullptr;
  const int32_t* polygonEnds = nullptr;
  int32_t polygonCount = 0;
  bool hasBorder = false;  // polygon 0 is the border; the rest are holes
};

// Points and segments held in vectors, no polygons.
inline SurfaceInput surfaceInput(const std::vector<double>& xyz, const std::vector<int32_t>& segments) {
  SurfaceInput input;
  input.xyz = xyz.data();
  input.pointCount = static_cast<int32_t>(xyz.size() / 3);
  input.segments = segments.data();
  input.segmentCount = static_cast<int32_t>(segments.size() / 2);
  return input;
}

struct SurfaceCrossing {
  int32_t point = -1;               // the point at the crossing (usually a new one)
  int32_t segment[2] = {-1, -1};    // constraint ids: the earlier, then the later
  double z[2] = {0, 0};             // height along each; z[0] is the point's
};

struct SurfaceHeight {
  int32_t point = -1;  // an input point given without height
  double z = 0;        // the surface's height there
};

struct SurfaceResult {
  SurfaceStatus status = SurfaceStatus::kOk;
  // The points added at crossings, 3 per point: point pointCount + k is
  // addedXyz[3k .. 3k + 2]. Triangles index the input's points, then these.
  std::vector<double> addedXyz;
  // 3 per triangle, counter-clockwise.
  std::vector<int32_t> triangles;
  // 3 per constrained edge: its ends (the lower index first) and the
  // constraint id, a segment index or segmentCount + k for polygon k. An
  // edge two constraints share belongs to the one inserted last. Only edges
  // of kept triangles are listed.
  std::vector<int32_t> constrainedEdges;
  // Per input point: the point whose position it shares and that holds
  // (itself when it is the first at its position).
  std::vector<int32_t> mergedInto;
  std::vector<SurfaceCrossing> crossings;
  std::vector<SurfaceHeight> filledHeights;
  int32_t pointsOutsideBorder = 0;  // distinct input points outside the border
  // Pieces left out: crossings nested too deep, or more crossings for one
  // constraint than twice the number of constraints (never seen on real
  // data; a guard against endless re-crossing of rounded points).
  int32_t segmentsGivenUp = 0;
};

// Builds the surface of input into result (cleared first).
SurfaceStatus buildSurface(const SurfaceInput& input, SurfaceResult* result);

// For a triangle mesh (3 vertices per triangle, either orientation), the
// triangles to add so that it covers the convex hull of its vertices, every
// given triangle kept: those of the constrained triangulation of the
// vertices and the mesh's boundary edges that lie outside the mesh. Only
// gaps reaching the hull are filled unless fillInnerGaps.
struct HullFill {
  SurfaceStatus status = SurfaceStatus::kOk;
  std::vector<int32_t> triangles;  // 3 per triangle to add, counter-clockwise
  bool boundaryCrosses = false;    // the mesh's own edges cross: nothing added
};
HullFill fillHull(const double* xyz, int32_t pointCount, const int32_t* triangles,
                  int32_t triangleCount, bool fillInnerGaps);

}  // namespace tsvmesh::surface
