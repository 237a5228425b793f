// The triangulation's tables and the steps that change them, shared by the
// surface's point insertion, constraint insertion and trimming.
//
// Triangle t owns halfedges 3t, 3t+1, 3t+2, counter-clockwise; halfedge e
// runs from vertex[e] to vertex[nextEdge(e)] and twin[e] is the same edge in
// the neighbouring triangle. The outside of the convex hull is covered by
// ghost triangles (u, v, kGhost), one per hull edge u->v (the hull to its
// right), so every halfedge has a twin and the hull needs no special case.
//
/*
          c                       c
         / \                     /|\
        / t \        split      / | \
       a-----b       ------>   a--p--b     (edge split: 2 -> 4)
        \   /                   \ | /
         \ /                     \|/
          d                       d
*/
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace tsvmesh::surface {

constexpr int32_t kGhost = std::numeric_limits<int32_t>::max();

struct Cdt {
  std::vector<double> xy;        // 2 per vertex
  std::vector<double> z;         // per vertex
  std::vector<int32_t> vertex;   // per halfedge: where it starts
  std::vector<int32_t> twin;     // per halfedge
  std::vector<int32_t> owner;    // per halfedge: constraint id + 1, 0 for none
  std::vector<int32_t> outEdge;  // per vertex: one halfedge starting there
  std::vector<int32_t> stack;    // scratch for the flips after an insertion
  int32_t lastTriangle = 0;
  uint32_t random = 2463534242u;  // the walk's coin, fixed for reproducibility
};

inline int32_t nextEdge(int32_t e) { return e % 3 == 2 ? e - 2 : e + 1; }
inline int32_t prevEdge(int32_t e) { return e % 3 == 0 ? e + 2 : e - 1; }
inline const double* at(const Cdt& cdt, int32_t v) { return &cdt.xy[2 * static_cast<size_t>(v)]; }
inline bool isGhost(const Cdt& cdt, int32_t t) {
  return cdt.vertex[3 * t] == kGhost || cdt.vertex[3 * t + 1] == kGhost ||
         cdt.vertex[3 * t + 2] == kGhost;
}

enum class Where { kInside, kOnEdge, kOnVertex, kOutside };
struct Location {
  Where where = Where::kInside;
  int32_t edge = -1;  // a halfedge of the triangle (kInside), the edge itself
                      // (kOnEdge), one leaving the vertex (kOnVertex), or the
                      // hull edge of the ghost triangle (kOutside)
};

// The triangle of the first three vertices (not collinear) and its ghosts.
void startTriangulation(Cdt* cdt, int32_t a, int32_t b, int32_t c);
// Walks from triangle start to p.
Location locate(Cdt* cdt, const double* p, int32_t start);
// Inserts vertex v (its xy already stored) at loc, then restores the
// (constrained) Delaunay property around it.
void insertAt(Cdt* cdt, int32_t v, Location loc);
// Replaces the diagonal of the quadrilateral of e and its twin by the other
// diagonal; e and twin[e] become that diagonal (vertex[e] the far corner of
// twin[e]'s old triangle).
void flipEdge(Cdt* cdt, int32_t e);
// The halfedge a->b, or -1.
int32_t findEdge(const Cdt& cdt, int32_t a, int32_t b);
// Adds a vertex (no triangle yet); returns its number.
int32_t addVertex(Cdt* cdt, double x, double y, double z);

}  // namespace tsvmesh::surface
