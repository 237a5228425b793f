#include "export/products/elevation_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>
#include <thread>

#include "export/read/mesh_file.h"

namespace {

// x = hi + lo exactly (Knuth's two-sum).
void twoSum(double a, double b, double* hi, double* lo) {
  const double s = a + b;
  const double bb = s - a;
  *lo = (a - (s - bb)) + (b - bb);
  *hi = s;
}

// a * b = hi + lo exactly (Dekker's product with Veltkamp's split), with
// plain multiplications so that every processor gives the same bits.
void twoProduct(double a, double b, double* hi, double* lo) {
  constexpr double splitter = 134217729.0;  // 2^27 + 1
  const double p = a * b;
  const double ca = splitter * a;
  const double ahi = ca - (ca - a);
  const double alo = a - ahi;
  const double cb = splitter * b;
  const double bhi = cb - (cb - b);
  const double blo = b - bhi;
  *lo = ((ahi * bhi - p) + ahi * blo + alo * bhi) + alo * blo;
  *hi = p;
}

// The sign of a sum of doubles, exactly: the terms are grown into a
// nonoverlapping expansion whose largest part carries the sign.
int32_t exactSignOfSum(const double* terms, int32_t count) {
  double parts[16];
  int32_t partCount = 0;
  for (int32_t t = 0; t < count; ++t) {
    double q = terms[t];
    int32_t kept = 0;
    for (int32_t i = 0; i < partCount; ++i) {
      double hi = 0.0, lo = 0.0;
      twoSum(q, parts[i], &hi, &lo);
      if (lo != 0.0) parts[kept++] = lo;
      q = hi;
    }
    if (q != 0.0) parts[kept++] = q;
    partCount = kept;
  }
  if (partCount == 0) return 0;
  return parts[partCount - 1] > 0.0 ? 1 : -1;
}

// On an edge u -> v a centre counts as inside when it lies a hair east and
// a whisker north of the line: where the edge runs south, or due east.
bool edgeTakesTies(double ux, double uy, double vx, double vy) { return vy < uy || (vy == uy && vx > ux); }

struct Corner {
  double x;
  double y;
};

enum CentreHold : int32_t { holdsNot = 0, holdsOnBorder = 1, holdsOwn = 2 };

// Whether the face (counter-clockwise) owns the centre, or holds it only on
// a border that the tie rule gives away.
int32_t holdOf(const Corner* c, double px, double py) {
  int32_t hold = holdsOwn;
  for (int32_t e = 0; e < 3; ++e) {
    const Corner& u = c[e];
    const Corner& v = c[(e + 1) % 3];
    const int32_t turn = exactTurn(u.x, u.y, v.x, v.y, px, py);
    if (turn < 0) return holdsNot;
    if (turn == 0 && !edgeTakesTies(u.x, u.y, v.x, v.y)) hold = holdsOnBorder;
  }
  return hold;
}

// Whether a grid of columns by rows (each counted in a double, exact far
// beyond any cap) stays within the cap; a product of 64-bit counts could wrap.
bool gridFits(double columns, double rows) {
  return std::max(columns, 0.0) * std::max(rows, 0.0) <= static_cast<double>(gridLargestCellCount);
}

std::string tooManyCells(double columns, double rows) {
  char count[32];
  std::snprintf(count, sizeof count, "%.3g", columns * rows);
  return std::string("the grid would have ") + count + " cells, more than the " +
         std::to_string(gridLargestCellCount) + " a grid may have";
}

bool faceKept(const std::vector<uint8_t>& kept, int32_t face) {
  return kept.empty() || kept[static_cast<size_t>(face)] != 0;
}

}  // namespace

int32_t exactTurn(double ax, double ay, double bx, double by, double cx, double cy) {
  const double left = (ax - cx) * (by - cy);
  const double right = (ay - cy) * (bx - cx);
  const double estimate = left - right;
  // Shewchuk's bound on the error of the estimate above.
  constexpr double epsilon = 0x1p-53;
  const double bound = (3.0 + 16.0 * epsilon) * epsilon * (std::fabs(left) + std::fabs(right));
  if (estimate > bound) return 1;
  if (-estimate > bound) return -1;
  // (ax - cx)(by - cy) - (ay - cy)(bx - cx) as six exact products.
  double terms[12];
  twoProduct(ax, by, &terms[0], &terms[1]);
  twoProduct(-ax, cy, &terms[2], &terms[3]);
  twoProduct(-cx, by, &terms[4], &terms[5]);
  twoProduct(-ay, bx, &terms[6], &terms[7]);
  twoProduct(ay, cx, &terms[8], &terms[9]);
  twoProduct(cy, bx, &terms[10], &terms[11]);
  return exactSignOfSum(terms, 12);
}

int32_t faceHoldsPoint(double ax, double ay, double bx, double by, double cx, double cy, double px, double py) {
  const int32_t turn = exactTurn(ax, ay, bx, by, cx, cy);
  if (turn == 0) return holdsNot;
  const Corner c[3] = {{ax, ay}, turn > 0 ? Corner{bx, by} : Corner{cx, cy}, turn > 0 ? Corner{cx, cy} : Corner{bx, by}};
  return holdOf(c, px, py);
}

double gridCentreX(const ExportGridFrame& frame, int32_t column) {
  return std::clamp(static_cast<double>(frame.firstColumn + column) * frame.cell, frame.lowX, frame.highX);
}

double gridCentreY(const ExportGridFrame& frame, int32_t row) {
  return std::clamp(static_cast<double>(frame.topRow - row) * frame.cell, frame.lowY, frame.highY);
}

namespace {

// k * cell at most limit, or beyond it by no more than the rounding of a
// product of decimals (a few units in the last place).
bool withinEdge(double k, double cell, double limit, bool upper) {
  const double at = k * cell;
  if (upper ? at <= limit : at >= limit) return true;
  const double slack = 4.0 * (std::nextafter(std::fabs(limit), 1e308) - std::fabs(limit));
  return upper ? at - limit <= slack : limit - at <= slack;
}

}  // namespace

bool surfaceBox(const ExportMesh& mesh, const std::vector<uint8_t>& kept, ExportPlanBox* box) {
  bool any = false;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if (!faceKept(kept, f)) continue;
    for (int32_t c = 0; c < 3; ++c) {
      const ExportVertex& v = mesh.vertices[static_cast<size_t>(mesh.corners[static_cast<size_t>(f) * 3 + c])];
      if (!any) *box = {v.x, v.y, v.x, v.y};
      any = true;
      box->xmin = std::min(box->xmin, v.x);
      box->xmax = std::max(box->xmax, v.x);
      box->ymin = std::min(box->ymin, v.y);
      box->ymax = std::max(box->ymax, v.y);
    }
  }
  return any;
}

bool frameSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, double cell, ExportGridFrame* frame,
                  std::string* problem) {
  ExportPlanBox box{};
  if (!surfaceBox(mesh, kept, &box)) {
    *problem = "the surface has no triangle to sample";
    return false;
  }
  return frameBox(box, cell, frame, problem);
}

bool frameBox(const ExportPlanBox& box, double cell, ExportGridFrame* frame, std::string* problem) {
  if (!(cell > 0.0) || !std::isfinite(cell)) {
    *problem = "--cell takes a positive size";
    return false;
  }
  const double xmin = box.xmin, ymin = box.ymin, xmax = box.xmax, ymax = box.ymax;
  // The centres within the box: the first and last multiples of cell in
  // it, found by the same products that place them.
  const double limit = 4.0e15;
  double west = std::ceil(xmin / cell), east = std::floor(xmax / cell);
  double south = std::ceil(ymin / cell), north = std::floor(ymax / cell);
  if (!(std::fabs(west) < limit && std::fabs(east) < limit && std::fabs(south) < limit && std::fabs(north) < limit) ||
      !gridFits(east - west + 1.0, north - south + 1.0)) {
    *problem = "--cell is too small for this surface: " + tooManyCells(east - west + 1.0, north - south + 1.0);
    return false;
  }
  while (withinEdge(west - 1.0, cell, xmin, false)) west -= 1.0;
  while (!withinEdge(west, cell, xmin, false)) west += 1.0;
  while (withinEdge(east + 1.0, cell, xmax, true)) east += 1.0;
  while (!withinEdge(east, cell, xmax, true)) east -= 1.0;
  while (withinEdge(south - 1.0, cell, ymin, false)) south -= 1.0;
  while (!withinEdge(south, cell, ymin, false)) south += 1.0;
  while (withinEdge(north + 1.0, cell, ymax, true)) north += 1.0;
  while (!withinEdge(north, cell, ymax, true)) north -= 1.0;
  if (east < west || north < south) {
    *problem = "the surface holds no cell centre: --cell is larger than the surface";
    return false;
  }
  frame->cell = cell;
  frame->lowX = xmin;
  frame->highX = xmax;
  frame->lowY = ymin;
  frame->highY = ymax;
  frame->firstColumn = static_cast<int64_t>(west);
  frame->topRow = static_cast<int64_t>(north);
  frame->columns = static_cast<int32_t>(east - west + 1.0);
  frame->rows = static_cast<int32_t>(north - south + 1.0);
  return true;
}

namespace {

// A row or column number computed in doubles, held within low .. high
// before it becomes an integer: a face far beyond the frame would
// otherwise overflow the conversion.
int64_t indexWithin(double value, int64_t low, int64_t high) {
  if (!(value >= static_cast<double>(low))) return low;
  if (value >= static_cast<double>(high)) return high;
  return static_cast<int64_t>(value);
}

// Samples the rows bandFirst .. bandLast of the grid: the faces that reach
// them, in file order.
// A face's plane, z = z0 + gx (x - x0) + gy (y - y0), corners counter-clockwise.
struct FacePlane {
  double z0, gx, gy;
};

FacePlane planeOf(const ExportVertex* const v[3]) {
  const double e1x = v[1]->x - v[0]->x, e1y = v[1]->y - v[0]->y, e1z = v[1]->z - v[0]->z;
  const double e2x = v[2]->x - v[0]->x, e2y = v[2]->y - v[0]->y, e2z = v[2]->z - v[0]->z;
  const double area2 = e1x * e2y - e2x * e1y;
  // A sliver too thin for doubles to hold its slope takes its mean height.
  if (!(area2 > 0.0)) return {(v[0]->z + v[1]->z + v[2]->z) / 3.0, 0.0, 0.0};
  return {v[0]->z, (e1z * e2y - e2z * e1y) / area2, (e2z * e1x - e1z * e2x) / area2};
}

void sampleRows(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const ExportGridFrame& frame,
                int64_t bandFirst, int64_t bandLast, double* values) {
  const double cell = frame.cell;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if (!faceKept(kept, f)) continue;
    const int32_t* ids = &mesh.corners[static_cast<size_t>(f) * 3];
    const ExportVertex* v[3] = {&mesh.vertices[static_cast<size_t>(ids[0])],
                                &mesh.vertices[static_cast<size_t>(ids[1])],
                                &mesh.vertices[static_cast<size_t>(ids[2])]};
    const double ymin = std::min({v[0]->y, v[1]->y, v[2]->y}), ymax = std::max({v[0]->y, v[1]->y, v[2]->y});
    const int64_t rowFirst = indexWithin(static_cast<double>(frame.topRow) - std::floor(ymax / cell) - 1.0, bandFirst,
                                         bandLast + 1);
    const int64_t rowLast = indexWithin(static_cast<double>(frame.topRow) - std::ceil(ymin / cell) + 1.0, bandFirst - 1,
                                        bandLast);
    if (rowFirst > rowLast) continue;
    const int32_t turn = exactTurn(v[0]->x, v[0]->y, v[1]->x, v[1]->y, v[2]->x, v[2]->y);
    if (turn == 0) continue;  // no area, no centre
    if (turn < 0) std::swap(v[1], v[2]);
    const Corner c[3] = {{v[0]->x, v[0]->y}, {v[1]->x, v[1]->y}, {v[2]->x, v[2]->y}};

    const FacePlane plane = planeOf(v);

    const double xmin = std::min({c[0].x, c[1].x, c[2].x}), xmax = std::max({c[0].x, c[1].x, c[2].x});
    for (int64_t r = rowFirst; r <= rowLast; ++r) {
      const double py = gridCentreY(frame, static_cast<int32_t>(r));
      // The face's extent along this row, from the edges that cross it,
      // widened by a column each way; the owner test is exact.
      double left = xmax, right = xmin;
      for (int32_t e = 0; e < 3; ++e) {
        const Corner& a = c[e];
        const Corner& b = c[(e + 1) % 3];
        if ((a.y <= py && py <= b.y) || (b.y <= py && py <= a.y)) {
          const double x = a.y == b.y ? a.x : a.x + (py - a.y) / (b.y - a.y) * (b.x - a.x);
          left = std::min({left, x, a.y == b.y ? b.x : x});
          right = std::max({right, x, a.y == b.y ? b.x : x});
        }
      }
      if (left > right) continue;
      const int64_t columnFirst =
          indexWithin(std::floor(left / cell) - static_cast<double>(frame.firstColumn) - 1.0, 0, frame.columns);
      const int64_t columnLast =
          indexWithin(std::ceil(right / cell) - static_cast<double>(frame.firstColumn) + 1.0, -1, frame.columns - 1);
      double* row = values + static_cast<size_t>(r) * static_cast<size_t>(frame.columns);
      for (int64_t col = columnFirst; col <= columnLast; ++col) {
        const double px = gridCentreX(frame, static_cast<int32_t>(col));
        // A centre on the surface's own edge, which no face owns, takes
        // the first face in file order that touches it.
        const int32_t hold = holdOf(c, px, py);
        if (hold == holdsNot || (hold == holdsOnBorder && !std::isnan(row[col]))) continue;
        row[col] = plane.z0 + plane.gx * (px - v[0]->x) + plane.gy * (py - v[0]->y);
      }
    }
  }
}

}  // namespace

void sampleSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const ExportGridFrame& frame,
                   std::vector<double>* values) {
  values->assign(static_cast<size_t>(frame.columns) * static_cast<size_t>(frame.rows),
                 std::numeric_limits<double>::quiet_NaN());
  // Every cell is decided within its row, so two bands of rows can be
  // sampled at once with the same result; one thread does all where a
  // second cannot be had.
  const int64_t half = frame.rows / 2;
  std::thread lower;
  if (half >= 32 && std::thread::hardware_concurrency() > 1) {
    try {
      lower = std::thread(sampleRows, std::cref(mesh), std::cref(kept), std::cref(frame), half,
                          int64_t{frame.rows} - 1, values->data());
    } catch (const std::system_error&) {
    }
  }
  sampleRows(mesh, kept, frame, 0, lower.joinable() ? half - 1 : int64_t{frame.rows} - 1, values->data());
  if (lower.joinable()) lower.join();
}
