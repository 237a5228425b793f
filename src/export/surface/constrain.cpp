// Constraint insertion: walk along the segment collecting the edges it
// crosses, flip them away one by one (a crossed edge whose quadrilateral is
// convex is flipped; the new diagonal is queued again while it still
// crosses), then restore the constrained Delaunay property by flips around
// the new edges.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "export/surface/insertion.h"
#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

using EdgeEnds = std::pair<int32_t, int32_t>;

// Deeper nesting (a crossing point rounded so badly that its own pieces
// cross again) is given up rather than followed.
constexpr int32_t kMaxDepth = 16;

enum class Exit { kAlong, kCross, kNone };
struct Leaving {
  Exit exit = Exit::kNone;
  int32_t edge = -1;  // kAlong: a->v with v on the way to b; kCross: x->y,
                      // crossed with x right of a->b and y left of it
};

// x lies on the line a-b: whether it is past a in b's direction.
bool ahead(const double* a, const double* b, const double* x) {
  const int32_t k = b[0] != a[0] ? 0 : 1;
  return x[k] != a[k] && ((x[k] > a[k]) == (b[k] > a[k]));
}

Leaving leaveVertex(const Cdt& cdt, int32_t a, int32_t b) {
  const double* pa = at(cdt, a);
  const double* pb = at(cdt, b);
  const int32_t first = cdt.outEdge[a];
  int32_t e = first;
  do {
    const int32_t x = cdt.vertex[nextEdge(e)];
    const int32_t y = cdt.vertex[prevEdge(e)];
    if (x != kGhost) {
      const int side = orientation(pa, pb, at(cdt, x));
      if (side == 0 && ahead(pa, pb, at(cdt, x))) return {Exit::kAlong, e};
      if (side < 0 && y != kGhost && orientation(pa, pb, at(cdt, y)) > 0) {
        return {Exit::kCross, nextEdge(e)};
      }
    }
    e = cdt.twin[prevEdge(e)];
  } while (e != first);
  return {};
}

void own(Cdt* cdt, int32_t e, int32_t id) {
  cdt->owner[e] = id + 1;
  cdt->owner[cdt->twin[e]] = id + 1;
}

bool crosses(const double* a, const double* b, const double* c, const double* d) {
  const int sc = orientation(a, b, c);
  const int sd = orientation(a, b, d);
  return (sc > 0 && sd < 0) || (sc < 0 && sd > 0);
}

// Lawson's flips over the queued edges and whatever they uncover, the
// constraints left alone.
void restoreDelaunay(Cdt* cdt, std::vector<EdgeEnds>* stack) {
  while (!stack->empty()) {
    const auto [x, y] = stack->back();
    stack->pop_back();
    const int32_t h = findEdge(*cdt, x, y);
    if (h < 0 || cdt->owner[h] != 0) continue;
    const int32_t f = cdt->twin[h];
    if (isGhost(*cdt, h / 3) || isGhost(*cdt, f / 3)) continue;
    const int32_t c = cdt->vertex[prevEdge(h)];
    const int32_t d = cdt->vertex[prevEdge(f)];
    if (inCircle(at(*cdt, x), at(*cdt, y), at(*cdt, c), at(*cdt, d)) <= 0) continue;
    flipEdge(cdt, h);
    for (const EdgeEnds& edge : {EdgeEnds{x, d}, EdgeEnds{d, y}, EdgeEnds{y, c}, EdgeEnds{c, x}}) {
      if (edge.first != kGhost && edge.second != kGhost) stack->push_back(edge);
    }
  }
}

// The new edges and those around them: the triangles outside the flipped
// region now face new corners, so their edges are checked as well.
void withSurroundings(const Cdt& cdt, std::vector<EdgeEnds>* edges) {
  const size_t count = edges->size();
  for (size_t i = 0; i < count; ++i) {
    const int32_t h = findEdge(cdt, (*edges)[i].first, (*edges)[i].second);
    if (h < 0) continue;
    for (const int32_t e : {nextEdge(h), prevEdge(h), nextEdge(cdt.twin[h]), prevEdge(cdt.twin[h])}) {
      if (cdt.vertex[e] != kGhost && cdt.vertex[nextEdge(e)] != kGhost) {
        edges->push_back({cdt.vertex[e], cdt.vertex[nextEdge(e)]});
      }
    }
  }
}

// Flips every edge crossing a->b away; returns false when no flip is left
// to make (which exact predicates should never allow).
bool flipOut(Cdt* cdt, int32_t a, int32_t b, std::vector<EdgeEnds>* queue,
             std::vector<EdgeEnds>* fresh) {
  const double* pa = at(*cdt, a);
  const double* pb = at(*cdt, b);
  const size_t budget = 16 * queue->size() * queue->size() + 1024;
  for (size_t i = 0; i < queue->size(); ++i) {
    if (i > budget) return false;
    const auto [x, y] = (*queue)[i];
    const int32_t h = findEdge(*cdt, x, y);
    const int32_t c = cdt->vertex[prevEdge(h)];
    const int32_t d = cdt->vertex[prevEdge(cdt->twin[h])];
    if (!crosses(at(*cdt, c), at(*cdt, d), at(*cdt, x), at(*cdt, y))) {
      queue->push_back({x, y});
      continue;
    }
    flipEdge(cdt, h);
    if (c != a && c != b && d != a && d != b && crosses(pa, pb, at(*cdt, c), at(*cdt, d))) {
      queue->push_back({c, d});
    } else {
      fresh->push_back({c, d});
    }
  }
  return true;
}

// The power of two of the largest magnitude among values.
int32_t magnitudeExponent(std::initializer_list<double> values) {
  double largest = 0;
  for (const double v : values) largest = std::max(largest, std::fabs(v));
  int exponent = 0;
  std::frexp(largest, &exponent);
  return exponent;
}

// A crossing's place along a segment, 0 .. 1 (the middle if rounding made
// nonsense of it).
double fraction(double t) { return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.5; }

struct Piece {
  int32_t id;
  int32_t depth;
  ConstraintLog* log;
};

void insertPiece(Cdt* cdt, int32_t a, int32_t b, const Piece& piece);

// Where a->b meets x->y, as fractions along each and a point in doubles.
struct Meeting {
  double alongAb;
  double alongXy;
  double point[2];
};

Meeting meetingOf(const double* pa, const double* pb, const double* px, const double* py) {
  // Halves, whose differences cannot overflow, brought near 1 by a power of
  // two, so that no product overflows or underflows whatever the size.
  const double ab[2] = {0.5 * pb[0] - 0.5 * pa[0], 0.5 * pb[1] - 0.5 * pa[1]};
  const double xy[2] = {0.5 * py[0] - 0.5 * px[0], 0.5 * py[1] - 0.5 * px[1]};
  const double ax[2] = {0.5 * px[0] - 0.5 * pa[0], 0.5 * px[1] - 0.5 * pa[1]};
  const int32_t exponent = magnitudeExponent({ab[0], ab[1], xy[0], xy[1], ax[0], ax[1]});
  const double r[2] = {std::ldexp(ab[0], -exponent), std::ldexp(ab[1], -exponent)};
  const double s[2] = {std::ldexp(xy[0], -exponent), std::ldexp(xy[1], -exponent)};
  const double q[2] = {std::ldexp(ax[0], -exponent), std::ldexp(ax[1], -exponent)};
  const double denominator = r[0] * s[1] - r[1] * s[0];
  Meeting meeting{};
  meeting.alongAb = fraction((q[0] * s[1] - q[1] * s[0]) / denominator);
  meeting.alongXy = fraction((q[0] * r[1] - q[1] * r[0]) / denominator);
  meeting.point[0] = 2 * (0.5 * pa[0] + meeting.alongAb * ab[0]);
  meeting.point[1] = 2 * (0.5 * pa[1] + meeting.alongAb * ab[1]);
  return meeting;
}

// A crossing within 2^-40 of a segment's length from one of the four ends
// is taken to be that end: otherwise the rounded point, a hair off both
// lines, makes nearly collinear pieces cross again and again.
int32_t snappedEnd(const Meeting& m, int32_t a, int32_t b, int32_t x, int32_t y) {
  constexpr double kSnap = 0x1p-40;
  if (m.alongXy <= kSnap) return x;
  if (m.alongXy >= 1 - kSnap) return y;
  if (m.alongAb <= kSnap) return a;
  if (m.alongAb >= 1 - kSnap) return b;
  return -1;
}

double heightAt(const Cdt& cdt, int32_t u, int32_t v, double along) {
  return 2 * (0.5 * cdt.z[u] + along * (0.5 * cdt.z[v] - 0.5 * cdt.z[u]));
}

// a->b crosses the constraint on halfedge h: a point goes in at the crossing
// (or an end near it is used) and both constraints are put back as pieces
// through it. Returns it.
int32_t splitAtCrossing(Cdt* cdt, int32_t a, int32_t b, int32_t h, const Piece& piece) {
  const int32_t x = cdt->vertex[h];
  const int32_t y = cdt->vertex[nextEdge(h)];
  const int32_t other = cdt->owner[h] - 1;
  const Meeting m = meetingOf(at(*cdt, a), at(*cdt, b), at(*cdt, x), at(*cdt, y));
  const double zXy = heightAt(*cdt, x, y, m.alongXy);
  cdt->owner[h] = cdt->owner[cdt->twin[h]] = 0;
  int32_t v = snappedEnd(m, a, b, x, y);
  if (v < 0) {
    const Location loc = locate(cdt, m.point, h / 3);
    v = cdt->vertex[loc.edge];
    if (loc.where != Where::kOnVertex) {
      v = addVertex(cdt, m.point[0], m.point[1], zXy);
      insertAt(cdt, v, loc);
    }
  }
  piece.log->crossings.push_back({v, {other, piece.id}, {zXy, heightAt(*cdt, a, b, m.alongAb)}});
  const Piece deeper{other, piece.depth + 1, piece.log};
  insertPiece(cdt, x, v, deeper);
  insertPiece(cdt, v, y, deeper);
  insertPiece(cdt, a, v, {piece.id, piece.depth + 1, piece.log});
  // When the crossing fell on a vertex off x-y, the edge x-y may be left
  // free, and then must be Delaunay again.
  std::vector<EdgeEnds> freed = {{x, y}};
  restoreDelaunay(cdt, &freed);
  return v;
}

void insertPiece(Cdt* cdt, int32_t a, int32_t b, const Piece& piece) {
  if (piece.depth > kMaxDepth) {
    ++piece.log->givenUp;
    return;
  }
  std::vector<EdgeEnds> queue;
  std::vector<EdgeEnds> fresh;
  while (a != b) {
    const Leaving leaving = leaveVertex(*cdt, a, b);
    if (leaving.exit == Exit::kNone) break;
    if (leaving.exit == Exit::kAlong) {
      own(cdt, leaving.edge, piece.id);
      a = cdt->vertex[nextEdge(leaving.edge)];
      continue;
    }
    queue.clear();
    int32_t h = leaving.edge;
    int32_t end = -1;
    while (end < 0) {
      if (cdt->owner[h] != 0) break;
      queue.push_back({cdt->vertex[h], cdt->vertex[nextEdge(h)]});
      const int32_t f = cdt->twin[h];
      const int32_t w = cdt->vertex[prevEdge(f)];
      if (w == kGhost) break;
      const int side = w == b ? 0 : orientation(at(*cdt, a), at(*cdt, b), at(*cdt, w));
      if (side == 0) end = w;
      else h = side < 0 ? prevEdge(f) : nextEdge(f);
    }
    if (end < 0 && cdt->owner[h] != 0) {
      if (piece.log->crossingsLeft-- <= 0) break;
      a = splitAtCrossing(cdt, a, b, h, piece);
      continue;
    }
    fresh.clear();
    if (end < 0 || !flipOut(cdt, a, end, &queue, &fresh)) break;
    const int32_t made = findEdge(*cdt, a, end);
    if (made < 0) break;
    own(cdt, made, piece.id);
    withSurroundings(*cdt, &fresh);
    restoreDelaunay(cdt, &fresh);
    a = end;
  }
  if (a != b) ++piece.log->givenUp;
}

}  // namespace

void insertConstraint(Cdt* cdt, int32_t a, int32_t b, int32_t id, ConstraintLog* log) {
  log->crossingsLeft = log->crossingLimit;
  insertPiece(cdt, a, b, {id, 0, log});
}

}  // namespace tsvmesh::surface
