#include "mesh/collinear.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "mesh/circumcircle.h"
#include "mesh/mesh_tables.h"
#include "mesh/orientation.h"

// On one line the indexed sweep is quadratic: every triangle has a
// super-triangle corner, its circle is huge, and no circle ever lies wholly
// left of the current point, so none retires. Yet almost all of them can
// hold no later point, since the later points all lie further along the
// line. This is the plain scan (every live triangle tested for every point,
// deletions by moving the last triangle into the gap, the fan appended in
// edge order) with one change: a triangle is tested only while it may still
// hold a point, so a few are tested per point instead of all.
//
// When a triangle stops mattering: let (cx, cy, r2) be its circle as the
// scan computes it, q the current point, v the line's direction (towards
// larger x) and a = q - (cx, cy). If |a|^2 > r2 (1 + 2^-48) and a . v > 0,
// both in double with margins for their rounding (each operation errs by at
// most u = 2^-53 relative), then the real |p - c|^2 grows along the line
// beyond q and stays above r2 (1 + 2^-48 - 8u); the scan's own squared
// distance of a later point p, rounded three times, is then still above
// r2, so its test gives 0 for every later point.
//
// Level and collinear corners have no circle and are never removed: such a
// triangle of three input points stays in the result, as in the scan.

namespace {

// A triangle that may still hold a later point, with its circle.
struct Pending {
  int32_t slot;
  double cx;
  double cy;
  double r2;
};

struct LineSweep {
  const MeshPoint* points = nullptr;
  int32_t n = 0;
  MeshTriangle* triangles = nullptr;
  int32_t* count = nullptr;
  int32_t limit = 0;
  double vx = 0;
  double vy = 0;
  std::vector<Pending> pending;
  std::vector<int32_t> pendingOf;  // by slot: index into pending, -1 for none
  std::vector<uint8_t> inHole;     // by slot
  std::vector<int32_t> hole;
  std::vector<MeshEdge> edges;
  int64_t testsLeft = 0;
};

void reportStep(MeshProgress progress, int32_t step) {
  if (progress.report != nullptr) progress.report(progress.context, step);
}

// Whether no point from q on along the line falls inside the circle (above).
bool holdsNoLaterPoint(const LineSweep& s, const Pending& t, double qx, double qy) {
  const double ax = qx - t.cx;
  const double ay = qy - t.cy;
  const double d2 = ax * ax + ay * ay;
  if (!(t.r2 >= 0x1p-900) || !(d2 > t.r2 * (1 + 0x1p-48))) return false;
  const double px = ax * s.vx;
  const double py = ay * s.vy;
  return px + py > (std::fabs(px) + std::fabs(py)) * 0x1p-49;
}

void dropPending(LineSweep& s, int32_t slot) {
  const int32_t k = s.pendingOf[static_cast<size_t>(slot)];
  if (k < 0) return;
  s.pending[static_cast<size_t>(k)] = s.pending.back();
  s.pendingOf[static_cast<size_t>(s.pending.back().slot)] = k;
  s.pending.pop_back();
  s.pendingOf[static_cast<size_t>(slot)] = -1;
}

// Writes t into the next slot, pending when it has a circle. False when the
// table is full (the sweep's status 4, left to the sweep).
bool appendTriangle(LineSweep& s, MeshTriangle t) {
  if (*s.count >= s.limit) return false;
  const int32_t slot = (*s.count)++;
  s.triangles[slot] = t;
  if (s.pendingOf.size() <= static_cast<size_t>(slot)) {
    s.pendingOf.resize(static_cast<size_t>(slot) + 1);
    s.inHole.resize(static_cast<size_t>(slot) + 1);
  }
  s.pendingOf[static_cast<size_t>(slot)] = -1;
  s.inHole[static_cast<size_t>(slot)] = 0;
  const MeshPoint* p = s.points;
  Pending circle{slot, 0, 0, 0};
  if (circumcircleOf(p[t.corner0].x, p[t.corner0].y, p[t.corner1].x, p[t.corner1].y, p[t.corner2].x,
                     p[t.corner2].y, &circle.cx, &circle.cy, &circle.r2) != 0) {
    s.pendingOf[static_cast<size_t>(slot)] = static_cast<int32_t>(s.pending.size());
    s.pending.push_back(circle);
  }
  return true;
}

// Moves the last triangle into slot j, which is emptied.
void moveLastInto(LineSweep& s, int32_t j) {
  const int32_t last = --*s.count;
  if (last == j) return;
  s.triangles[j] = s.triangles[last];
  const int32_t k = s.pendingOf[static_cast<size_t>(last)];
  s.pendingOf[static_cast<size_t>(j)] = k;
  if (k >= 0) s.pending[static_cast<size_t>(k)].slot = j;
  s.pendingOf[static_cast<size_t>(last)] = -1;
  s.inHole[static_cast<size_t>(j)] = s.inHole[static_cast<size_t>(last)];
  s.inHole[static_cast<size_t>(last)] = 0;
}

// The scan's tests for point q: the slots whose circle holds it, ascending;
// triangles that can hold no later point stop being tested.
void findHole(LineSweep& s, double qx, double qy) {
  s.hole.clear();
  for (size_t k = 0; k < s.pending.size();) {
    const Pending t = s.pending[k];
    if (circleContains(qx, qy, t.cx, t.cy, t.r2) != 0) {
      s.hole.push_back(t.slot);
      s.inHole[static_cast<size_t>(t.slot)] = 1;
    } else if (holdsNoLaterPoint(s, t, qx, qy)) {
      dropPending(s, t.slot);
      continue;  // another entry has moved into k
    }
    ++k;
  }
  std::sort(s.hole.begin(), s.hole.end());
}

// The scan's deletions, in its order: at each hole slot, ascending, the
// triangle's edges go to the buffer and the last triangle moves in, to be
// examined again at once.
void removeHole(LineSweep& s) {
  s.edges.clear();
  for (const int32_t j : s.hole) {
    while (j < *s.count && s.inHole[static_cast<size_t>(j)] != 0) {
      const MeshTriangle t = s.triangles[j];
      s.edges.push_back({t.corner0, t.corner1});
      s.edges.push_back({t.corner1, t.corner2});
      s.edges.push_back({t.corner2, t.corner0});
      dropPending(s, j);
      s.inHole[static_cast<size_t>(j)] = 0;
      moveLastInto(s, j);
    }
  }
}

// Strikes out the edges shared by two removed triangles, pair by pair in
// buffer order, then joins point i to the edges left. False when the table
// is full.
bool addFan(LineSweep& s, int32_t i) {
  std::vector<MeshEdge>& e = s.edges;
  for (size_t a = 0; a + 1 < e.size(); ++a) {
    for (size_t b = a + 1; b < e.size(); ++b) {
      if (e[a].from == e[b].to && e[a].to == e[b].from) e[a] = e[b] = {-1, -1};
      if (e[a].from == e[b].from && e[a].to == e[b].to) e[a] = e[b] = {-1, -1};
    }
  }
  for (const MeshEdge& edge : e) {
    if (edge.from < 0 || edge.to < 0) continue;
    if (!appendTriangle(s, {edge.from, edge.to, i})) return false;
  }
  return true;
}

// False when the scan must decide after all: the budget spent, a hole too
// large for the pairwise strike, or the table full.
bool sweepLine(LineSweep& s) {
  const int32_t n = s.n;
  appendTriangle(s, {n, n + 1, n + 2});
  for (int32_t i = 0; i < n; ++i) {
    // On a slanted line an equal x is an equal point, which the sweep skips.
    if (i > 0 && s.points[i].x == s.points[i - 1].x) continue;
    s.testsLeft -= static_cast<int64_t>(s.pending.size());
    if (s.testsLeft < 0) return false;
    findHole(s, s.points[i].x, s.points[i].y);
    constexpr size_t largestHole = 64;
    if (s.hole.size() > largestHole) return false;
    removeHole(s);
    if (!addFan(s, i)) return false;
  }
  // Every triangle that touches the super-triangle goes.
  for (int32_t j = 0; j < *s.count;) {
    const MeshTriangle t = s.triangles[j];
    if (t.corner0 >= n || t.corner1 >= n || t.corner2 >= n) {
      s.triangles[j] = s.triangles[--*s.count];
    } else {
      ++j;
    }
  }
  return true;
}

}  // namespace

bool onOneSlantedLine(const MeshPoint* points, int32_t n) {
  if (n < 2) return false;
  const MeshPoint a = points[0];
  const MeshPoint b = points[n - 1];
  if (!(a.x < b.x)) return false;
  for (int32_t k = 0; k < n; ++k) {
    if (!suitsOrientation(points[k].x) || !suitsOrientation(points[k].y) ||
        orientationOf(a.x, a.y, b.x, b.y, points[k].x, points[k].y) != 0) {
      return false;
    }
  }
  return true;
}

bool meshCollinearPoints(int32_t n, MeshPoint* points, MeshTriangle* triangles, int32_t* triangleCount,
                         MeshProgress progress) {
  const int32_t capacity = triangleTableCapacity(n);
  if (capacity < 1 || !onOneSlantedLine(points, n)) return false;
  placeSuperTriangle(points, n);
  LineSweep s;
  s.points = points;
  s.n = n;
  s.triangles = triangles;
  int32_t count = 0;
  s.count = &count;
  s.limit = capacity;
  s.vx = points[n - 1].x - points[0].x;
  s.vy = points[n - 1].y - points[0].y;
  s.testsLeft = 64 * static_cast<int64_t>(n) + 4096;
  try {
    if (!sweepLine(s)) return false;
  } catch (const std::bad_alloc&) {
    return false;  // the sweep meets the shortage itself
  }
  *triangleCount = count;
  reportStep(progress, meshProgressStart);
  for (int32_t i = 0; i < n; i += 500) reportStep(progress, meshProgressMark);
  return true;
}
