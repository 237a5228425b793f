// A surface's triangles filed by the cells of a uniform grid that their
// boxes reach, for finding the triangles near a place in time that does
// not grow with the surface. Both surfaces of a comparison are ordered by
// the grid's cells, so that neighbours in the plan are neighbours in
// memory too.
#pragma once

#include <cstdint>
#include <vector>

#include "export/products/convex_pieces.h"
#include "export/products/surface_difference.h"

struct PlanTriangle {
  PlanPoint p[3];  // counter-clockwise
  double z[3];
  bool flipped;    // the corners were given clockwise
};

struct PlanBox {
  double x0, y0, x1, y1;
};

// Triangle t of s, counter-clockwise; false when it is left out, names a
// vertex that does not exist or has no area.
bool loadPlanTriangle(const DifferenceSurface& s, int32_t t, PlanTriangle* c);

// A triangle by reference: its number, or the number's complement when
// its corners run clockwise (known once loadPlanTriangle has said so).
int32_t triangleReference(int32_t t, const PlanTriangle& c);
void loadReferenced(const DifferenceSurface& s, int32_t reference, PlanTriangle* c);

PlanBox boxOf(const PlanTriangle& c);
bool boxesMeet(const PlanBox& a, const PlanBox& b);

// A box in cell units (columns from the grid's west edge, rows from its
// south edge), as floats rounded outwards: one small record a triangle
// for the quick rejections, with the cell of its south-west corner.
struct CellBox {
  float u0, v0, u1, v1;
  int32_t column, row;
};

struct TriangleBuckets {
  PlanBox box{};                      // of every triangle filed
  double scaleX = 0.0, scaleY = 0.0;  // cells a unit
  int32_t columns = 0, rows = 0;      // 0 when nothing is filed
  std::vector<int64_t> start;         // columns * rows + 1 offsets into items, column by column
  std::vector<int32_t> items;         // triangle positions (below)
  // The triangles ordered by the cell of their boxes' south-west corner,
  // each with its box, its corners counter-clockwise and its vertices
  // copied in order of first use, so that triangles near one another in
  // the plan are near one another in memory.
  std::vector<CellBox> boxes;
  std::vector<int32_t> corners;       // 3 a triangle
  std::vector<ExportVertex> vertices;
};

// The triangle at position k of b.
void loadFiled(const TriangleBuckets& b, size_t k, PlanTriangle* c);

// Files the triangles of s that are kept and have area: about one cell
// for four triangles, coarser where long triangles would be filed in too
// many cells. Throws std::bad_alloc.
void fileTriangles(const DifferenceSurface& s, TriangleBuckets* b);

// The triangles of s that are kept and have area, by reference, ordered
// by the cell of b holding the south-west corner of their boxes (those
// beyond the grid by the nearest cell). Throws std::bad_alloc.
void orderByCell(const DifferenceSurface& s, const TriangleBuckets& b, std::vector<int32_t>* order);

// An offset from the grid's edge in cells, held to a range a float takes.
inline double cellUnits(double offset, double scale) {
  const double t = offset * scale;
  if (!(t >= -1.0)) return -1.0;
  return t < 1.0e9 ? t : 1.0e9;
}

// The cell along one axis at u cell units, within the grid.
inline int32_t cellAlong(double u, int32_t count) {
  if (!(u >= 0.0)) return 0;
  if (u >= static_cast<double>(count)) return count - 1;
  return static_cast<int32_t>(u);
}

inline int64_t cellIndex(const TriangleBuckets& b, int32_t column, int32_t row) {
  return static_cast<int64_t>(column) * b.rows + row;
}
