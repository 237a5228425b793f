#include "export/products/surface_difference.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

#include "export/products/convex_pieces.h"
#include "export/products/elevation_grid.h"
#include "export/products/running_sum.h"

namespace {

struct Corners {
  PlanPoint p[3];
  double z[3];
};

struct Box {
  double x0, y0, x1, y1;
};

// Triangle t of s, counter-clockwise; false when it is left out, names a
// vertex that does not exist or has no area.
bool loadTriangle(const DifferenceSurface& s, int32_t t, Corners* c) {
  if (s.kept != nullptr && s.kept[t] == 0) return false;
  const int32_t* ids = s.corners + static_cast<int64_t>(t) * 3;
  for (int32_t k = 0; k < 3; ++k) {
    if (ids[k] < 0 || ids[k] >= s.vertexCount) return false;
    const ExportVertex& v = s.vertices[ids[k]];
    c->p[k] = {v.x, v.y};
    c->z[k] = v.z;
  }
  const int32_t turn = exactTurn(c->p[0].x, c->p[0].y, c->p[1].x, c->p[1].y, c->p[2].x, c->p[2].y);
  if (turn < 0) {
    std::swap(c->p[1], c->p[2]);
    std::swap(c->z[1], c->z[2]);
  }
  return turn != 0;
}

Box boxOf(const Corners& c) {
  return {std::min({c.p[0].x, c.p[1].x, c.p[2].x}), std::min({c.p[0].y, c.p[1].y, c.p[2].y}),
          std::max({c.p[0].x, c.p[1].x, c.p[2].x}), std::max({c.p[0].y, c.p[1].y, c.p[2].y})};
}

bool boxesMeet(const Box& a, const Box& b) { return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1; }

// The second surface's triangles filed by the cells of a uniform grid that
// their boxes reach, cell by cell (column-major, as surveys are mostly
// meshed west to east).
struct Buckets {
  Box box{};
  double scaleX = 0.0, scaleY = 0.0;  // cells a unit
  int32_t columns = 0, rows = 0;
  std::vector<int64_t> start;  // columns * rows + 1 offsets into items
  std::vector<int32_t> items;  // triangle numbers
};

// The cell along one axis holding offset (from the grid's edge), within
// the grid whatever the offset (NaN included).
int32_t cellAlong(double offset, double scale, int32_t count) {
  const double t = offset * scale;
  if (!(t >= 0.0)) return 0;
  if (t >= static_cast<double>(count)) return count - 1;
  return static_cast<int32_t>(t);
}

void cellRange(const Buckets& b, const Box& box, int32_t* c0, int32_t* c1, int32_t* r0, int32_t* r1) {
  *c0 = cellAlong(box.x0 - b.box.x0, b.scaleX, b.columns);
  *c1 = cellAlong(box.x1 - b.box.x0, b.scaleX, b.columns);
  *r0 = cellAlong(box.y0 - b.box.y0, b.scaleY, b.rows);
  *r1 = cellAlong(box.y1 - b.box.y0, b.scaleY, b.rows);
}

int64_t cellIndex(const Buckets& b, int32_t column, int32_t row) {
  return static_cast<int64_t>(column) * b.rows + row;
}

// Sizes the grid for about `cells` cells over the box, each side at
// least one cell; computed in doubles so that no extent overflows.
void sizeGrid(double cells, Buckets* b) {
  const double w = b->box.x1 - b->box.x0, h = b->box.y1 - b->box.y0;
  const double side = w > 0.0 && h > 0.0 ? std::sqrt(w * h / cells) : std::max(w, h) / cells;
  const double columns = side > 0.0 ? std::clamp(std::ceil(w / side), 1.0, cells) : 1.0;
  const double rows = side > 0.0 ? std::clamp(std::ceil(h / side), 1.0, cells) : 1.0;
  b->columns = static_cast<int32_t>(columns);
  b->rows = static_cast<int32_t>(rows);
  b->scaleX = w > 0.0 ? columns / w : 0.0;
  b->scaleY = h > 0.0 ? rows / h : 0.0;
}

// Calls visit(t, corners, box) for every triangle of s that is kept and
// has area.
template <typename Visit>
void forEachTriangle(const DifferenceSurface& s, Visit visit) {
  Corners c;
  for (int32_t t = 0; t < s.triangleCount; ++t) {
    if (loadTriangle(s, t, &c)) visit(t, c, boxOf(c));
  }
}

// How many filings the triangles' boxes need on the grid as sized.
int64_t countFilings(const DifferenceSurface& s, const Buckets& b) {
  int64_t total = 0;
  forEachTriangle(s, [&](int32_t, const Corners&, const Box& box) {
    int32_t c0, c1, r0, r1;
    cellRange(b, box, &c0, &c1, &r0, &r1);
    total += static_cast<int64_t>(c1 - c0 + 1) * (r1 - r0 + 1);
  });
  return total;
}

// Files the second surface's triangles: about one cell for two triangles,
// coarser where long triangles would be filed in too many cells. false
// when s has no triangle with area. Throws std::bad_alloc.
bool fileTriangles(const DifferenceSurface& s, Buckets* b) {
  int64_t count = 0;
  forEachTriangle(s, [&](int32_t, const Corners&, const Box& box) {
    b->box = count == 0 ? box : Box{std::min(b->box.x0, box.x0), std::min(b->box.y0, box.y0),
                                    std::max(b->box.x1, box.x1), std::max(b->box.y1, box.y1)};
    ++count;
  });
  if (count == 0) return false;
  double cells = std::max(1.0, static_cast<double>(count) / 2.0);
  sizeGrid(cells, b);
  int64_t filings = countFilings(s, *b);
  while (filings > 8 * count + (int64_t{1} << 20) && cells > 1.0) {
    cells = std::max(1.0, cells / 4.0);
    sizeGrid(cells, b);
    filings = countFilings(s, *b);
  }
  b->start.assign(static_cast<size_t>(b->columns) * static_cast<size_t>(b->rows) + 1, 0);
  b->items.resize(static_cast<size_t>(filings));
  // Counted into start[cell + 1] and summed, start[cell] is where the
  // cell begins; filling moves it to where the cell ends, which is where
  // the next begins, so a shift by one restores it.
  for (int32_t pass = 0; pass < 2; ++pass) {
    forEachTriangle(s, [&](int32_t t, const Corners&, const Box& box) {
      int32_t c0, c1, r0, r1;
      cellRange(*b, box, &c0, &c1, &r0, &r1);
      for (int32_t c = c0; c <= c1; ++c) {
        for (int32_t r = r0; r <= r1; ++r) {
          const size_t cell = static_cast<size_t>(cellIndex(*b, c, r));
          if (pass == 0) ++b->start[cell + 1];
          if (pass == 1) b->items[static_cast<size_t>(b->start[cell]++)] = t;
        }
      }
    });
    if (pass == 0) std::partial_sum(b->start.begin(), b->start.end(), b->start.begin());
  }
  std::copy_backward(b->start.begin(), b->start.end() - 1, b->start.end());
  b->start[0] = 0;
  return true;
}

// Heights closer than this (relative to the largest height of the two
// triangles) count as equal: rounding alone separates them.
constexpr double levelRelative = 64.0 * 0x1p-52;

struct Tally {
  RunningSum firstArea, common, cut, fill, cutArea, fillArea;
  int64_t pieces = 0;
};

// The difference b - a over the two triangles' common piece.
void tallyPair(const Corners& a, const PlanLinear& ha, double twiceA, const Corners& b, Tally* tally) {
  PlanPoint piece[pieceLargestCorners];
  const int32_t n = clipTriangleByTriangle(a.p, b.p, piece);
  if (n == 0) return;
  // A piece too small to tell from rounding counts only where the
  // triangles do overlap, so that surfaces which only touch stay apart.
  const double twice = twiceArea(piece, n);
  if (!(twice > 1e-9 * std::min(twiceA, twiceArea(b.p, 3))) && !trianglesOverlap(a.p, b.p)) return;
  const PlanLinear hb = planeThrough(b.p, b.z);
  const PlanLinear d{ha.ox, ha.oy, evaluateLinear(hb, ha.ox, ha.oy) - ha.h0, hb.gx - ha.gx, hb.gy - ha.gy};
  double scale = 0.0;
  for (int32_t k = 0; k < 3; ++k) scale = std::max({scale, std::fabs(a.z[k]), std::fabs(b.z[k])});
  PieceSplit split;
  integratePiece(piece, n, d, levelRelative * scale, &split);
  tally->common.add(split.area);
  tally->fill.add(split.positiveVolume);
  tally->fillArea.add(split.positiveArea);
  tally->cut.add(split.negativeVolume);
  tally->cutArea.add(split.negativeArea);
  ++tally->pieces;
}

// Overlays the first surface's triangles begin .. end - 1 on the second's.
void tallyRange(const DifferenceSurface& first, const DifferenceSurface& second, const Buckets& b, int32_t begin,
                int32_t end, Tally* tally) {
  Corners a, c;
  for (int32_t t = begin; t < end; ++t) {
    if (!loadTriangle(first, t, &a)) continue;
    const double twiceA = twiceArea(a.p, 3);
    tally->firstArea.add(twiceA / 2.0);
    const Box ba = boxOf(a);
    if (b.columns == 0 || !boxesMeet(ba, b.box)) continue;
    const PlanLinear ha = planeThrough(a.p, a.z);
    int32_t c0, c1, r0, r1;
    cellRange(b, ba, &c0, &c1, &r0, &r1);
    for (int32_t column = c0; column <= c1; ++column) {
      for (int32_t row = r0; row <= r1; ++row) {
        const size_t cell = static_cast<size_t>(cellIndex(b, column, row));
        for (int64_t i = b.start[cell]; i < b.start[cell + 1]; ++i) {
          if (!loadTriangle(second, b.items[static_cast<size_t>(i)], &c)) continue;
          const Box bc = boxOf(c);
          // A pair filed in several cells is taken in the one that holds
          // the south-west corner of their boxes' overlap.
          if (!boxesMeet(ba, bc) || cellAlong(std::max(ba.x0, bc.x0) - b.box.x0, b.scaleX, b.columns) != column ||
              cellAlong(std::max(ba.y0, bc.y0) - b.box.y0, b.scaleY, b.rows) != row) {
            continue;
          }
          tallyPair(a, ha, twiceA, c, tally);
        }
      }
    }
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
  Buckets b;
  fileTriangles(second, &b);
  RunningSum secondArea;
  forEachTriangle(second, [&](int32_t, const Corners& c, const Box&) { secondArea.add(twiceArea(c.p, 3) / 2.0); });
  // Two fixed halves, summed apart and then in order: the same figures
  // whether a second thread is had or not.
  Tally halves[2];
  const int32_t middle = first.triangleCount / 2;
  std::thread other;
  if (std::thread::hardware_concurrency() > 1 && middle >= 4096) {
    try {
      other = std::thread(tallyRange, std::cref(first), std::cref(second), std::cref(b), middle, first.triangleCount,
                          &halves[1]);
    } catch (const std::system_error&) {
    }
  }
  tallyRange(first, second, b, 0, middle, &halves[0]);
  if (other.joinable()) {
    other.join();
  } else {
    tallyRange(first, second, b, middle, first.triangleCount, &halves[1]);
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
