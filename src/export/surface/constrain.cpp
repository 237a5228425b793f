// Constraint insertion: walk along the segment collecting the edges it
// crosses, flip them away one by one (a crossed edge whose quadrilateral is
// convex is flipped; the new diagonal is queued again while it still
// crosses), then restore the constrained Delaunay property by flips around
// the new edges.
#include <algorithm>
#include <utility>

#include "export/surface/build.h"
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
    stack->insert(stack->end(), {{x, d}, {d, y}, {y, c}, {c, x}});
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

struct Piece {
  int32_t id;
  int32_t depth;
  ConstraintLog* log;
};

void insertPiece(Cdt* cdt, int32_t a, int32_t b, const Piece& piece);

// a->b crosses the constraint on halfedge h: a point goes in at the crossing
// and both constraints are put back as pieces through it. Returns it.
int32_t splitAtCrossing(Cdt* cdt, int32_t a, int32_t b, int32_t h, const Piece& piece) {
  const int32_t x = cdt->vertex[h];
  const int32_t y = cdt->vertex[nextEdge(h)];
  const int32_t other = cdt->owner[h] - 1;
  const double* pa = at(*cdt, a);
  const double* pb = at(*cdt, b);
  const double* px = at(*cdt, x);
  const double* py = at(*cdt, y);
  const double r[2] = {pb[0] - pa[0], pb[1] - pa[1]};
  const double s[2] = {py[0] - px[0], py[1] - px[1]};
  const double q[2] = {px[0] - pa[0], px[1] - pa[1]};
  const double denominator = r[0] * s[1] - r[1] * s[0];
  const double alongAb = std::clamp((q[0] * s[1] - q[1] * s[0]) / denominator, 0.0, 1.0);
  const double alongXy = std::clamp((q[0] * r[1] - q[1] * r[0]) / denominator, 0.0, 1.0);
  const double point[2] = {pa[0] + alongAb * r[0], pa[1] + alongAb * r[1]};
  const double zAb = cdt->z[a] + alongAb * (cdt->z[b] - cdt->z[a]);
  const double zXy = cdt->z[x] + alongXy * (cdt->z[y] - cdt->z[x]);
  cdt->owner[h] = cdt->owner[cdt->twin[h]] = 0;
  const Location loc = locate(cdt, point, h / 3);
  int32_t v = cdt->vertex[loc.edge];
  if (loc.where != Where::kOnVertex) {
    v = addVertex(cdt, point[0], point[1], zXy);
    insertAt(cdt, v, loc);
  }
  piece.log->crossings.push_back({v, {other, piece.id}, {zXy, zAb}});
  const Piece deeper{other, piece.depth + 1, piece.log};
  insertPiece(cdt, x, v, deeper);
  insertPiece(cdt, v, y, deeper);
  insertPiece(cdt, a, v, {piece.id, piece.depth + 1, piece.log});
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
      a = splitAtCrossing(cdt, a, b, h, piece);
      continue;
    }
    fresh.clear();
    if (end < 0 || !flipOut(cdt, a, end, &queue, &fresh)) break;
    const int32_t made = findEdge(*cdt, a, end);
    if (made < 0) break;
    own(cdt, made, piece.id);
    restoreDelaunay(cdt, &fresh);
    a = end;
  }
  if (a != b) ++piece.log->givenUp;
}

}  // namespace

void insertConstraint(Cdt* cdt, int32_t a, int32_t b, int32_t id, ConstraintLog* log) {
  insertPiece(cdt, a, b, {id, 0, log});
}

}  // namespace tsvmesh::surface
