#include "export/surface/cdt.h"

#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

void link(Cdt* cdt, int32_t e, int32_t f) {
  cdt->twin[e] = f;
  cdt->twin[f] = e;
}

int32_t addTriangle(Cdt* cdt, int32_t a, int32_t b, int32_t c) {
  const auto first = static_cast<int32_t>(cdt->vertex.size());
  cdt->vertex.insert(cdt->vertex.end(), {a, b, c});
  cdt->twin.insert(cdt->twin.end(), {-1, -1, -1});
  cdt->owner.insert(cdt->owner.end(), {0, 0, 0});
  return first;
}

void setVertex(Cdt* cdt, int32_t e, int32_t v) {
  cdt->vertex[e] = v;
  if (v != kGhost) cdt->outEdge[v] = e;
}

// Triangle first / 3 gets corners a, b, c.
void setCorners(Cdt* cdt, int32_t first, int32_t a, int32_t b, int32_t c) {
  setVertex(cdt, first, a);
  setVertex(cdt, first + 1, b);
  setVertex(cdt, first + 2, c);
}

// What lies across an edge: its twin and its owner.
struct Side {
  int32_t twin;
  int32_t owner;
};
Side sideOf(const Cdt& cdt, int32_t e) { return {cdt.twin[e], cdt.owner[e]}; }

// Halfedge e takes over the place of an old edge.
void takeOver(Cdt* cdt, int32_t e, Side old) {
  link(cdt, e, old.twin);
  cdt->owner[e] = old.owner;
}

uint32_t nextRandom(Cdt* cdt) {
  cdt->random ^= cdt->random << 13;
  cdt->random ^= cdt->random >> 17;
  cdt->random ^= cdt->random << 5;
  return cdt->random;
}

// Whether p lies strictly inside the circumcircle of triangle t; for a ghost
// triangle (u, v, ghost), strictly on the outer side of its hull edge u->v.
bool inCircleOf(const Cdt& cdt, int32_t t, const double* p) {
  const int32_t* v = &cdt.vertex[3 * t];
  for (int32_t i = 0; i < 3; ++i) {
    if (v[i] == kGhost) {
      return orientation(at(cdt, v[(i + 1) % 3]), at(cdt, v[(i + 2) % 3]), p) > 0;
    }
  }
  return inCircle(at(cdt, v[0]), at(cdt, v[1]), at(cdt, v[2]), p) > 0;
}

// Lawson's flips around a new vertex v: each stacked halfedge is opposite v
// in its triangle; after a flip the two edges now opposite v are checked.
void legalizeFrom(Cdt* cdt, int32_t v, const int32_t* edges, int32_t count) {
  std::vector<int32_t>& stack = cdt->stack;
  stack.assign(edges, edges + count);
  const double* p = at(*cdt, v);
  while (!stack.empty()) {
    const int32_t e = stack.back();
    stack.pop_back();
    if (cdt->owner[e] != 0 || !inCircleOf(*cdt, cdt->twin[e] / 3, p)) continue;
    flipEdge(cdt, e);
    stack.push_back(prevEdge(e));
    stack.push_back(nextEdge(cdt->twin[e]));
  }
}

/*
        c                     c
       / \                   /|\
      /   \                 / p \     (triangle split: 1 -> 3)
     /  p  \     ---->     /.' '.\
    a-------b             a-------b
*/
void insertInTriangle(Cdt* cdt, int32_t t, int32_t p) {
  const int32_t e0 = 3 * t;
  const int32_t a = cdt->vertex[e0];
  const int32_t b = cdt->vertex[e0 + 1];
  const int32_t c = cdt->vertex[e0 + 2];
  const Side bc = sideOf(*cdt, e0 + 1);
  const Side ca = sideOf(*cdt, e0 + 2);
  const int32_t n1 = addTriangle(cdt, b, c, p);
  const int32_t n2 = addTriangle(cdt, c, a, p);
  setCorners(cdt, n1, b, c, p);
  setCorners(cdt, n2, c, a, p);
  setCorners(cdt, e0, a, b, p);
  takeOver(cdt, n1, bc);
  takeOver(cdt, n2, ca);
  cdt->owner[e0 + 1] = cdt->owner[e0 + 2] = 0;
  link(cdt, e0 + 1, n1 + 2);
  link(cdt, n1 + 1, n2 + 2);
  link(cdt, n2 + 1, e0 + 2);
  const int32_t opposite[3] = {e0, n1, n2};
  legalizeFrom(cdt, p, opposite, 3);
  cdt->lastTriangle = t;
}

// Edge e = u->v of (u, v, c), twin v->u of (v, u, d), split at p into
// (c, u, p), (v, c, p), (d, v, p), (u, d, p).
void insertOnEdge(Cdt* cdt, int32_t e, int32_t p) {
  const int32_t f = cdt->twin[e];
  const int32_t u = cdt->vertex[e];
  const int32_t v = cdt->vertex[f];
  const int32_t c = cdt->vertex[prevEdge(e)];
  const int32_t d = cdt->vertex[prevEdge(f)];
  const int32_t split = cdt->owner[e];
  const Side vc = sideOf(*cdt, nextEdge(e));
  const Side cu = sideOf(*cdt, prevEdge(e));
  const Side ud = sideOf(*cdt, nextEdge(f));
  const Side dv = sideOf(*cdt, prevEdge(f));
  const int32_t t1 = 3 * (e / 3);
  const int32_t t2 = 3 * (f / 3);
  const int32_t n1 = addTriangle(cdt, v, c, p);
  const int32_t n2 = addTriangle(cdt, u, d, p);
  setCorners(cdt, t1, c, u, p);
  setCorners(cdt, t2, d, v, p);
  setCorners(cdt, n1, v, c, p);
  setCorners(cdt, n2, u, d, p);
  takeOver(cdt, t1, cu);
  takeOver(cdt, n1, vc);
  takeOver(cdt, t2, dv);
  takeOver(cdt, n2, ud);
  link(cdt, t1 + 1, n2 + 2);
  link(cdt, t1 + 2, n1 + 1);
  link(cdt, n1 + 2, t2 + 1);
  link(cdt, t2 + 2, n2 + 1);
  cdt->owner[t1 + 1] = cdt->owner[n2 + 2] = cdt->owner[n1 + 2] = cdt->owner[t2 + 1] = split;
  cdt->owner[t1 + 2] = cdt->owner[n1 + 1] = cdt->owner[t2 + 2] = cdt->owner[n2 + 1] = 0;
  const int32_t opposite[4] = {t1, n1, t2, n2};
  legalizeFrom(cdt, p, opposite, 4);
  cdt->lastTriangle = t1 / 3;
}

// In a triangle that p is not outside of: which of its corners, edges or
// inside p is on, from the three orientations (none negative).
Location classify(const Cdt& cdt, int32_t t, const int* side) {
  int32_t zeros = 0;
  int32_t zero = -1;
  for (int32_t i = 0; i < 3; ++i) {
    if (side[i] == 0) {
      ++zeros;
      zero = i;
    }
  }
  if (zeros == 0) return {Where::kInside, 3 * t};
  if (zeros == 1) return {Where::kOnEdge, 3 * t + zero};
  for (int32_t i = 0; i < 3; ++i) {
    if (side[i] != 0) return {Where::kOnVertex, 3 * t + (i + 2) % 3};
  }
  (void)cdt;
  return {Where::kOnVertex, 3 * t};
}

// Leaves a ghost triangle for the real triangle across its hull edge.
int32_t realNeighbour(const Cdt& cdt, int32_t t) {
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t e = 3 * t + i;
    if (cdt.vertex[e] != kGhost && cdt.vertex[nextEdge(e)] != kGhost) return cdt.twin[e] / 3;
  }
  return t;
}

}  // namespace

int32_t addVertex(Cdt* cdt, double x, double y, double z) {
  cdt->xy.push_back(x);
  cdt->xy.push_back(y);
  cdt->z.push_back(z);
  cdt->outEdge.push_back(-1);
  return static_cast<int32_t>(cdt->z.size()) - 1;
}

void startTriangulation(Cdt* cdt, int32_t a, int32_t b, int32_t c) {
  const int32_t t = addTriangle(cdt, a, b, c);
  const int32_t corner[3] = {a, b, c};
  int32_t ghost[3];
  for (int32_t i = 0; i < 3; ++i) ghost[i] = addTriangle(cdt, corner[(i + 1) % 3], corner[i], kGhost);
  for (int32_t i = 0; i < 3; ++i) {
    link(cdt, t + i, ghost[i]);
    // (b, a, g) meets (c, b, g) along b-g: a->g ... g->b.
    link(cdt, ghost[i] + 2, ghost[(i + 1) % 3] + 1);
    cdt->outEdge[corner[i]] = t + i;
  }
  cdt->lastTriangle = 0;
}

Location locate(Cdt* cdt, const double* p, int32_t start) {
  int32_t t = isGhost(*cdt, start) ? realNeighbour(*cdt, start) : start;
  int32_t came = -1;
  for (;;) {
    const uint32_t first = nextRandom(cdt) % 3;
    int side[3] = {1, 1, 1};
    int32_t next = -1;
    for (uint32_t k = 0; k < 3 && next < 0; ++k) {
      const int32_t i = static_cast<int32_t>((first + k) % 3);
      const int32_t e = 3 * t + i;
      if (e == came) continue;
      side[i] = orientation(at(*cdt, cdt->vertex[e]), at(*cdt, cdt->vertex[nextEdge(e)]), p);
      if (side[i] < 0) next = cdt->twin[e];
    }
    if (next < 0) return classify(*cdt, t, side);
    if (isGhost(*cdt, next / 3)) return {Where::kOutside, next};
    t = next / 3;
    came = next;
  }
}

void insertAt(Cdt* cdt, int32_t v, Location loc) {
  if (loc.where == Where::kOnEdge) {
    insertOnEdge(cdt, loc.edge, v);
  } else {
    insertInTriangle(cdt, loc.edge / 3, v);
  }
}

void flipEdge(Cdt* cdt, int32_t e) {
  const int32_t f = cdt->twin[e];
  const int32_t u = cdt->vertex[e];
  const int32_t v = cdt->vertex[f];
  const int32_t c = cdt->vertex[prevEdge(e)];
  const int32_t d = cdt->vertex[prevEdge(f)];
  const Side vc = sideOf(*cdt, nextEdge(e));
  const Side cu = sideOf(*cdt, prevEdge(e));
  const Side ud = sideOf(*cdt, nextEdge(f));
  const Side dv = sideOf(*cdt, prevEdge(f));
  // (u, v, c) + (v, u, d) -> (d, c, u) + (c, d, v), e and f the new diagonal.
  setVertex(cdt, e, d);
  setVertex(cdt, nextEdge(e), c);
  setVertex(cdt, prevEdge(e), u);
  setVertex(cdt, f, c);
  setVertex(cdt, nextEdge(f), d);
  setVertex(cdt, prevEdge(f), v);
  takeOver(cdt, nextEdge(e), cu);
  takeOver(cdt, prevEdge(e), ud);
  takeOver(cdt, nextEdge(f), dv);
  takeOver(cdt, prevEdge(f), vc);
  cdt->owner[e] = cdt->owner[f] = 0;
}

int32_t findEdge(const Cdt& cdt, int32_t a, int32_t b) {
  const int32_t start = cdt.outEdge[a];
  int32_t e = start;
  do {
    if (cdt.vertex[nextEdge(e)] == b) return e;
    e = cdt.twin[prevEdge(e)];
  } while (e != start);
  return -1;
}

}  // namespace tsvmesh::surface
