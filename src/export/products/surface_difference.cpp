#include "export/products/surface_difference.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "export/products/convex_pieces.h"
#include "export/products/running_sum.h"
#include "export/products/triangle_buckets.h"

namespace {

// Heights closer than this (relative to the largest height of the two
// triangles) count as equal: rounding alone separates them.
constexpr double levelRelative = 64.0 * 0x1p-52;

struct Tally {
  RunningSum firstArea, common, cut, fill, cutArea, fillArea;
  int64_t pieces = 0;
};

// The first surface's triangle with what every pair it makes needs.
struct FirstTriangle {
  PlanTriangle t;
  PlanLinear h;
  double twice;
  TriangleLines lines;
};

// The difference b - a over the two triangles' common piece.
void tallyPair(const FirstTriangle& first, const PlanTriangle& b, Tally* tally) {
  if (clearlyApart(first.lines, b.p)) return;
  const PlanTriangle& a = first.t;
  const PlanLinear& ha = first.h;
  const double twiceA = first.twice;
  PlanPoint piece[pieceLargestCorners];
  const int32_t n = clipTriangleByTriangle(a.p, b.p, piece);
  if (n == 0) return;
  // A piece too small to tell from rounding counts only where the
  // triangles do overlap, so that surfaces which only touch stay apart.
  if (!(twiceArea(piece, n) > 1e-9 * std::min(twiceA, twiceArea(b.p, 3))) && !trianglesOverlap(a.p, b.p)) return;
  const PlanLinear hb = planeThrough(b.p, b.z);
  const PlanLinear d{ha.ox, ha.oy, evaluateLinear(hb, ha.ox, ha.oy) - ha.h0, hb.gx - ha.gx, hb.gy - ha.gy};
  double scale = 0.0;
  for (int32_t k = 0; k < 3; ++k) scale = std::max({scale, std::fabs(a.z[k]), std::fabs(b.z[k])});
  PieceSplit split;
  integratePiece(piece, n, d, levelRelative * scale, &split);
  tally->common.add(split.area);
  tally->fill.add(split.positive.volume);
  tally->fillArea.add(split.positive.area);
  tally->cut.add(split.negative.volume);
  tally->cutArea.add(split.negative.area);
  ++tally->pieces;
}

// Overlays the first surface's triangle a on the second's.
void tallyTriangle(const TriangleBuckets& b, const PlanTriangle& a, Tally* tally) {
  const PlanBox ba = boxOf(a);
  if (b.columns == 0 || !boxesMeet(ba, b.box)) return;
  const FirstTriangle first{a, planeThrough(a.p, a.z), twiceArea(a.p, 3), linesOf(a.p)};
  const double u0 = cellUnits(ba.x0 - b.box.x0, b.scaleX), u1 = cellUnits(ba.x1 - b.box.x0, b.scaleX);
  const double v0 = cellUnits(ba.y0 - b.box.y0, b.scaleY), v1 = cellUnits(ba.y1 - b.box.y0, b.scaleY);
  const int32_t c0 = cellAlong(u0, b.columns), c1 = cellAlong(u1, b.columns);
  const int32_t r0 = cellAlong(v0, b.rows), r1 = cellAlong(v1, b.rows);
  PlanTriangle c;
  for (int32_t column = c0; column <= c1; ++column) {
    for (int32_t row = r0; row <= r1; ++row) {
      const size_t cell = static_cast<size_t>(cellIndex(b, column, row));
      for (int64_t i = b.start[cell]; i < b.start[cell + 1]; ++i) {
        const size_t k = static_cast<size_t>(b.items[static_cast<size_t>(i)]);
        const CellBox& cb = b.boxes[k];
        // The boxes meet, and the pair (filed in several cells) is taken
        // in the one cell that holds the south-west corner of their
        // overlap: the later of the two boxes' first columns, and rows.
        // One branch for all, as their outcomes are too mixed to guess.
        const bool meet = (u0 <= cb.u1) & (cb.u0 <= u1) & (v0 <= cb.v1) & (cb.v0 <= v1) &
                          ((column == c0) | (cb.column == column)) & ((row == r0) | (cb.row == row));
        if (!meet) continue;
        loadFiled(b, k, &c);
        tallyPair(first, c, tally);
      }
    }
  }
}

// Overlays the first surface's triangles order[begin .. end - 1] on the
// second's.
void tallyRange(const DifferenceSurface& first, const std::vector<int32_t>& order, const TriangleBuckets& b,
                size_t begin, size_t end, Tally* tally) {
  PlanTriangle a;
  for (size_t i = begin; i < end; ++i) {
    loadReferenced(first, order[i], &a);
    tally->firstArea.add(twiceArea(a.p, 3) / 2.0);
    tallyTriangle(b, a, tally);
  }
}

double sumOf(const RunningSum& a, const RunningSum& b) {
  RunningSum s;
  for (const double part : {a.total, a.correction, b.total, b.correction}) s.add(part);
  return s.value();
}

// What is left of whole once part is taken, 0 when only rounding is.
double remainder(double whole, double part) {
  const double left = whole - part;
  return left > 1e-11 * whole ? left : 0.0;
}

void finish(const Tally* halves, double secondArea, SurfaceDifference* r) {
  r->firstArea = sumOf(halves[0].firstArea, halves[1].firstArea);
  r->secondArea = secondArea;
  r->commonArea = sumOf(halves[0].common, halves[1].common);
  r->cut = sumOf(halves[0].cut, halves[1].cut);
  r->fill = sumOf(halves[0].fill, halves[1].fill);
  r->cutArea = sumOf(halves[0].cutArea, halves[1].cutArea);
  r->fillArea = sumOf(halves[0].fillArea, halves[1].fillArea);
  r->net = r->fill - r->cut;
  r->pieces = halves[0].pieces + halves[1].pieces;
  r->firstOutside = remainder(r->firstArea, r->commonArea);
  r->secondOutside = remainder(r->secondArea, r->commonArea);
  r->levelArea = remainder(r->commonArea, r->cutArea + r->fillArea);
}

int32_t overlay(const DifferenceSurface& first, const DifferenceSurface& second, SurfaceDifference* result) {
  TriangleBuckets b;
  fileTriangles(second, &b);
  RunningSum secondArea;
  PlanTriangle c;
  for (size_t k = 0; k < b.boxes.size(); ++k) {
    loadFiled(b, k, &c);
    secondArea.add(twiceArea(c.p, 3) / 2.0);
  }
  std::vector<int32_t> order;
  orderByCell(first, b, &order);
  // Two fixed halves, summed apart and then in order: the same figures
  // whether a second thread is had or not.
  Tally halves[2];
  const size_t middle = order.size() / 2;
  std::thread other;
  if (std::thread::hardware_concurrency() > 1 && middle >= 4096) {
    try {
      other = std::thread(tallyRange, std::cref(first), std::cref(order), std::cref(b), middle, order.size(),
                          &halves[1]);
    } catch (const std::system_error&) {
    }
  }
  tallyRange(first, order, b, 0, middle, &halves[0]);
  if (other.joinable()) {
    other.join();
  } else {
    tallyRange(first, order, b, middle, order.size(), &halves[1]);
  }
  finish(halves, secondArea.value(), result);
  return result->pieces > 0 ? differenceDone : differenceApart;
}

}  // namespace

int32_t differenceOfSurfaces(const DifferenceSurface& first, const DifferenceSurface& second,
                             SurfaceDifference* result) {
  *result = SurfaceDifference{};
  try {
    return overlay(first, second, result);
  } catch (const std::bad_alloc&) {
    *result = SurfaceDifference{};
    return differenceOutOfMemory;
  }
}
