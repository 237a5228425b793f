#include "export/products/triangle_buckets.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "export/products/elevation_grid.h"

namespace {

// A float at most (at least) value, |value| <= 1e9: moved outwards by more
// than the float's rounding (half a unit in its 24th bit) before it.
float floatBelow(double value) { return static_cast<float>(value - (std::fabs(value) * 0x1p-22 + 0x1p-20)); }

float floatAbove(double value) { return static_cast<float>(value + (std::fabs(value) * 0x1p-22 + 0x1p-20)); }

CellBox cellBoxOf(const TriangleBuckets& b, const PlanBox& box) {
  CellBox cb{floatBelow(cellUnits(box.x0 - b.box.x0, b.scaleX)), floatBelow(cellUnits(box.y0 - b.box.y0, b.scaleY)),
             floatAbove(cellUnits(box.x1 - b.box.x0, b.scaleX)), floatAbove(cellUnits(box.y1 - b.box.y0, b.scaleY)), 0,
             0};
  cb.column = b.columns == 0 ? 0 : cellAlong(cb.u0, b.columns);
  cb.row = b.rows == 0 ? 0 : cellAlong(cb.v0, b.rows);
  return cb;
}

int64_t homeCell(const TriangleBuckets& b, const CellBox& box) { return cellIndex(b, box.column, box.row); }

// Sizes the grid for about `cells` cells over the box, each side at
// least one cell; computed in doubles so that no extent overflows.
void sizeGrid(double cells, TriangleBuckets* b) {
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
  PlanTriangle c;
  for (int32_t t = 0; t < s.triangleCount; ++t) {
    if (loadPlanTriangle(s, t, &c)) visit(t, c, boxOf(c));
  }
}

void cellRangeOf(const TriangleBuckets& b, const CellBox& box, int32_t* c0, int32_t* c1, int32_t* r0, int32_t* r1) {
  *c0 = box.column;
  *c1 = cellAlong(box.u1, b.columns);
  *r0 = box.row;
  *r1 = cellAlong(box.v1, b.rows);
}

// How many filings the triangles' boxes need on the grid as sized.
int64_t countFilings(const DifferenceSurface& s, const TriangleBuckets& b) {
  int64_t total = 0;
  forEachTriangle(s, [&](int32_t, const PlanTriangle&, const PlanBox& box) {
    int32_t c0, c1, r0, r1;
    cellRangeOf(b, cellBoxOf(b, box), &c0, &c1, &r0, &r1);
    total += static_cast<int64_t>(c1 - c0 + 1) * (r1 - r0 + 1);
  });
  return total;
}

// Orders the triangles by home cell (a counting sort), with their cell
// boxes when boxes is given.
void sortByCell(const DifferenceSurface& s, const TriangleBuckets& b, std::vector<int32_t>* order,
                std::vector<CellBox>* boxes) {
  std::vector<int64_t> first(std::max<size_t>(1, static_cast<size_t>(b.columns) * static_cast<size_t>(b.rows)) + 1, 0);
  forEachTriangle(s, [&](int32_t, const PlanTriangle&, const PlanBox& box) {
    ++first[static_cast<size_t>(homeCell(b, cellBoxOf(b, box))) + 1];
  });
  std::partial_sum(first.begin(), first.end(), first.begin());
  order->resize(static_cast<size_t>(first.back()));
  if (boxes != nullptr) boxes->resize(order->size());
  forEachTriangle(s, [&](int32_t t, const PlanTriangle& c, const PlanBox& box) {
    const CellBox cb = cellBoxOf(b, box);
    const size_t k = static_cast<size_t>(first[static_cast<size_t>(homeCell(b, cb))]++);
    (*order)[k] = triangleReference(t, c);
    if (boxes != nullptr) (*boxes)[k] = cb;
  });
}

// Copies the filed triangles' corners (counter-clockwise) and vertices,
// numbered anew in order of first use.
void copyVertices(const DifferenceSurface& s, const std::vector<int32_t>& filed, TriangleBuckets* b) {
  std::vector<int32_t> number(static_cast<size_t>(s.vertexCount), -1);
  b->corners.resize(filed.size() * 3);
  for (size_t k = 0; k < filed.size(); ++k) {
    const int32_t reference = filed[k];
    const int32_t* ids = s.corners + static_cast<int64_t>(reference < 0 ? ~reference : reference) * 3;
    for (int32_t c = 0; c < 3; ++c) {
      const int32_t id = ids[reference < 0 && c > 0 ? 3 - c : c];
      if (number[static_cast<size_t>(id)] < 0) {
        number[static_cast<size_t>(id)] = static_cast<int32_t>(b->vertices.size());
        b->vertices.push_back(s.vertices[id]);
      }
      b->corners[k * 3 + static_cast<size_t>(c)] = number[static_cast<size_t>(id)];
    }
  }
}

}  // namespace

void loadFiled(const TriangleBuckets& b, size_t k, PlanTriangle* c) {
  for (size_t i = 0; i < 3; ++i) {
    const ExportVertex& v = b.vertices[static_cast<size_t>(b.corners[k * 3 + i])];
    c->p[i] = {v.x, v.y};
    c->z[i] = v.z;
  }
  c->flipped = false;
}

bool loadPlanTriangle(const DifferenceSurface& s, int32_t t, PlanTriangle* c) {
  if (s.kept != nullptr && s.kept[t] == 0) return false;
  const int32_t* ids = s.corners + static_cast<int64_t>(t) * 3;
  for (int32_t k = 0; k < 3; ++k) {
    if (ids[k] < 0 || ids[k] >= s.vertexCount) return false;
    const ExportVertex& v = s.vertices[ids[k]];
    c->p[k] = {v.x, v.y};
    c->z[k] = v.z;
  }
  const int32_t turn = exactTurn(c->p[0].x, c->p[0].y, c->p[1].x, c->p[1].y, c->p[2].x, c->p[2].y);
  c->flipped = turn < 0;
  if (turn < 0) {
    std::swap(c->p[1], c->p[2]);
    std::swap(c->z[1], c->z[2]);
  }
  return turn != 0;
}

int32_t triangleReference(int32_t t, const PlanTriangle& c) { return c.flipped ? ~t : t; }

void loadReferenced(const DifferenceSurface& s, int32_t reference, PlanTriangle* c) {
  const int32_t* ids = s.corners + static_cast<int64_t>(reference < 0 ? ~reference : reference) * 3;
  for (int32_t k = 0; k < 3; ++k) {
    const ExportVertex& v = s.vertices[ids[reference < 0 && k > 0 ? 3 - k : k]];
    c->p[k] = {v.x, v.y};
    c->z[k] = v.z;
  }
  c->flipped = reference < 0;
}

PlanBox boxOf(const PlanTriangle& c) {
  return {std::min({c.p[0].x, c.p[1].x, c.p[2].x}), std::min({c.p[0].y, c.p[1].y, c.p[2].y}),
          std::max({c.p[0].x, c.p[1].x, c.p[2].x}), std::max({c.p[0].y, c.p[1].y, c.p[2].y})};
}

bool boxesMeet(const PlanBox& a, const PlanBox& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

void orderByCell(const DifferenceSurface& s, const TriangleBuckets& b, std::vector<int32_t>* order) {
  sortByCell(s, b, order, nullptr);
}

void fileTriangles(const DifferenceSurface& s, TriangleBuckets* b) {
  int64_t count = 0;
  forEachTriangle(s, [&](int32_t, const PlanTriangle&, const PlanBox& box) {
    b->box = count == 0 ? box : PlanBox{std::min(b->box.x0, box.x0), std::min(b->box.y0, box.y0),
                                        std::max(b->box.x1, box.x1), std::max(b->box.y1, box.y1)};
    ++count;
  });
  if (count == 0) return;
  double cells = std::max(1.0, static_cast<double>(count) / 4.0);
  sizeGrid(cells, b);
  int64_t filings = countFilings(s, *b);
  while (filings > 8 * count + (int64_t{1} << 20) && cells > 1.0) {
    cells = std::max(1.0, cells / 4.0);
    sizeGrid(cells, b);
    filings = countFilings(s, *b);
  }
  std::vector<int32_t> filed;
  sortByCell(s, *b, &filed, &b->boxes);
  copyVertices(s, filed, b);
  b->start.assign(static_cast<size_t>(b->columns) * static_cast<size_t>(b->rows) + 1, 0);
  b->items.resize(static_cast<size_t>(filings));
  // Counted into start[cell + 1] and summed, start[cell] is where the
  // cell begins; filing moves it to where the cell ends, which is where
  // the next begins, so a shift by one restores it.
  for (int32_t pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < b->boxes.size(); ++k) {
      int32_t c0, c1, r0, r1;
      cellRangeOf(*b, b->boxes[k], &c0, &c1, &r0, &r1);
      for (int32_t c = c0; c <= c1; ++c) {
        for (int32_t r = r0; r <= r1; ++r) {
          const size_t cell = static_cast<size_t>(cellIndex(*b, c, r));
          if (pass == 0) ++b->start[cell + 1];
          if (pass == 1) b->items[static_cast<size_t>(b->start[cell]++)] = static_cast<int32_t>(k);
        }
      }
    }
    if (pass == 0) std::partial_sum(b->start.begin(), b->start.end(), b->start.begin());
  }
  std::copy_backward(b->start.begin(), b->start.end() - 1, b->start.end());
  b->start[0] = 0;
}
