#include "mesh/triangulation.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/circle_index.h"
#include "mesh/collinear.h"
#include "mesh/mesh_tables.h"
#include "mesh/sweep.h"
#include "mesh/wide.h"

// Bowyer-Watson insertion whose result, table order included, is exactly
// that of the plain scan: for every point, every live triangle is tested in
// slot order; a triangle whose circle holds the point is deleted by moving
// the last triangle into its slot, which is then examined again at once.
//
// Testing every triangle would make the run quadratic. Instead the live
// triangles' circles are kept in an index (circle_index.h) that lists the
// slots of exactly those circles that hold a point, in ascending order; they
// replay the scan's deletions in the scan's order (hole_replay.cpp), so the
// edge buffer, the fan and the table come out the same.

namespace {

// Points per slab: 256, fewer for small sets, where a slab's stale circles
// weigh more against its few points.
int32_t slabLength(int32_t n) { return std::clamp(n / 16, 32, 256); }

// Tells whether point i repeats the x and y of an earlier point. Equal x
// are adjacent after the sort, so only the current run of equal x is searched.
struct DuplicateFinder {
  int32_t runStart = 0;
  std::unordered_set<double> ys;  // used once a run grows long

  bool repeats(const MeshPoint* points, int32_t i) {
    if (i == 0 || points[i - 1].x != points[i].x) {
      runStart = i;
      ys.clear();
      return false;
    }
    const double y = points[i].y + 0.0;  // -0 and +0 are one y
    constexpr int32_t linearLimit = 32;
    if (i - runStart < linearLimit) {
      for (int32_t k = runStart; k < i; ++k) {
        if (points[k].y == y) return true;
      }
      return false;
    }
    if (i - runStart == linearLimit) {
      for (int32_t k = runStart; k < i; ++k) ys.insert(points[k].y + 0.0);
    }
    return !ys.insert(y).second;
  }
};

// Joins point i to every edge left on the hole's rim, in buffer order, at
// the table's end, and files the new triangles' circles.
int32_t addFan(Sweep& s, int32_t i) {
  const MeshEdge* const edges = s.edges;
  const int32_t edgeCount = s.edgeCount;
  const int32_t limit = s.limit;
  MeshTriangle* const triangles = s.triangles;
  int32_t* const count = s.count;
  const int32_t fanStart = *count;
  for (int32_t e = 0; e < edgeCount; ++e) {
    if (edges[e].from < 0 || edges[e].to < 0) continue;
    if (*count >= limit) return meshTriangleLimit;
    triangles[*count] = {edges[e].from, edges[e].to, i};
    ++*count;
  }
  fileCircles(&s.circles, fanStart, *count - fanStart);
  return meshOk;
}

// Deletes slot j by moving the last triangle into the gap.
void moveLastInto(MeshTriangle* triangles, int32_t* count, int32_t j) {
  const int32_t last = *count - 1;
  triangles[j] = triangles[last];
  *count = last;
}

// Joins point i to the rim in s.survivors at the table's end. Where the
// next query will test the whole fan with the filter, the fan stays
// unwritten; otherwise, or when it would pass the table's room, it is
// written as addFan writes it.
int32_t addFanFromSurvivors(Sweep& s, int32_t i) {
  const int32_t fanStart = *s.count;
  const auto size = static_cast<int32_t>(s.survivors.size());
  WaitingFan& fan = s.circles.fan;
  // Small fans gain little, and the table by point is made on the first
  // large one, so that scattered points never pay for its memory.
  constexpr int32_t largeFan = 32;
  if (fan.usable && fan.pays && size <= s.limit - fanStart && (size >= largeFan || !fan.rimEnds.empty()) &&
      holdUnwritten(&fan, &s.survivors, i, fanStart)) {
    *s.count = fanStart + size;
    fileCircles(&s.circles, fanStart, size);
    return meshOk;
  }
  for (const MeshEdge& e : s.survivors) {
    if (*s.count >= s.limit) return meshTriangleLimit;
    s.triangles[*s.count] = {e.from, e.to, i};
    ++*s.count;
  }
  fileCircles(&s.circles, fanStart, *s.count - fanStart);
  return meshOk;
}

// Inserts point i; hub is the last point inserted (-1 for none).
int32_t insertPoint(Sweep& s, int32_t i, int32_t hub) {
  const std::vector<int32_t>& hole = findHole(&s.circles, s.points[i].x, s.points[i].y);
  if (s.circles.fan.unwritten) {
    if (countOlderEdges(s, hole)) {
      if (!replayUnwritten(s, hole)) return meshEdgesGrowFailed;
      return addFanFromSurvivors(s, i);
    }
    writeWaitingFan(&s.circles.fan);
  }
  if (!replayHole(s, hole)) return meshEdgesGrowFailed;
  strikeHoleEdges(s, hub);
  if (s.circles.fan.usable && s.circles.fan.pays) {
    collectSurvivors(s);
    return addFanFromSurvivors(s, i);
  }
  return addFan(s, i);
}

// Drops every triangle that touches the super-triangle.
void removeSuperTriangle(Sweep& s) {
  for (int32_t j = 0; j < *s.count;) {
    const MeshTriangle t = s.triangles[j];
    if (t.corner0 >= s.n || t.corner1 >= s.n || t.corner2 >= s.n) {
      moveLastInto(s.triangles, s.count, j);
    } else {
      ++j;
    }
  }
}

void report(MeshProgress progress, int32_t step) {
  if (progress.report != nullptr) progress.report(progress.context, step);
}

int32_t sweepPoints(Sweep& s, MeshProgress progress) {
  const int32_t n = s.n;
  const MeshPoint* const points = s.points;
  const int32_t slab = slabLength(n);
  const MeshBox box = placeSuperTriangle(s.points, n);
  openCircleIndex(&s.circles, points, s.triangles, s.circleOfSlot, n, box.ymin, box.ymax, points[0].x,
                  points[std::min(n, slab) - 1].x);
  s.triangles[0] = {n, n + 1, n + 2};
  *s.count = 1;
  fileCircle(&s.circles, 0);
  report(progress, meshProgressStart);

  int32_t hub = -1;  // the corner of the last fan
  DuplicateFinder duplicates;
  for (int32_t i = 0; i < n; ++i) {
    if (i % slab == 0 && i > 0) startSlab(&s.circles, points[i].x, points[std::min(n, i + slab) - 1].x);
    if (!duplicates.repeats(points, i)) {
      const int32_t status = insertPoint(s, i, hub);
      if (status != meshOk) return status;
      hub = i;
    }
    if (i % 500 == 0) report(progress, meshProgressMark);
  }
  writeWaitingFan(&s.circles.fan);
  removeSuperTriangle(s);
  return meshOk;
}

}  // namespace

MeshBox placeSuperTriangle(MeshPoint* points, int32_t n) {
  MeshBox box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int32_t i = 1; i < n; ++i) {
    if (points[i].x < box.xmin) box.xmin = points[i].x;
    if (points[i].x > box.xmax) box.xmax = points[i].x;
    if (points[i].y < box.ymin) box.ymin = points[i].y;
    if (points[i].y > box.ymax) box.ymax = points[i].y;
  }
  const double dx = static_cast<double>(static_cast<Wide>(box.xmax) - box.xmin);
  const double dy = static_cast<double>(static_cast<Wide>(box.ymax) - box.ymin);
  const double dmax = dx > dy ? dx : dy;
  const double xmid = static_cast<double>((static_cast<Wide>(box.xmax) + box.xmin) * static_cast<Wide>(0.5));
  const double ymid = static_cast<double>((static_cast<Wide>(box.ymax) + box.ymin) * static_cast<Wide>(0.5));
  // The super-triangle, corners in the three spare slots:
  //                 n+1  (xmid, ymid + 20 dmax)
  //                /   \  .
  //               / box \     the points' box sits just above the base
  //             n ------- n+2  (xmid -/+ 20 dmax, ymid - dmax)
  points[n] = {static_cast<double>(xmid - static_cast<Wide>(20.0) * dmax), static_cast<double>(ymid - static_cast<Wide>(dmax)), 0.0};
  points[n + 1] = {xmid, static_cast<double>(ymid + static_cast<Wide>(20.0) * dmax), 0.0};
  points[n + 2] = {static_cast<double>(xmid + static_cast<Wide>(20.0) * dmax), static_cast<double>(ymid - static_cast<Wide>(dmax)), 0.0};
  return box;
}

int32_t buildDelaunayMesh(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                          int32_t* triangleCount, MeshProgress progress) {
  const int32_t n = pointCount;
  if (n < 1) return meshOk;
  // Past a 32-bit capacity no table can be had; the count is held to 32 bits.
  const int32_t capacity = triangleTableCapacity(n);
  Sweep s;
  s.n = n;
  s.points = points;
  s.triangles = triangles;
  s.count = triangleCount;
  s.limit = capacity < 0 ? INT32_MAX : capacity;
  s.circleOfSlot = static_cast<int32_t*>(meshAllocate(static_cast<size_t>(s.limit) * sizeof(int32_t)));
  if (s.circleOfSlot == nullptr) return meshFlagsAllocFailed;
  s.edgeRoom = 200;
  s.edges = static_cast<MeshEdge*>(meshAllocate(static_cast<size_t>(s.edgeRoom) * sizeof(MeshEdge)));
  if (s.edges == nullptr) return meshEdgesAllocFailed;
  // Points on one line would cost the sweep n^2 tests for an empty mesh.
  if (meshCollinearPoints(n, points, triangles, triangleCount, progress)) return meshOk;
  // The one place where the standard containers' refusals (the index's own
  // memory, which counts with the per-triangle working memory) become a status.
  try {
    return sweepPoints(s, progress);
  } catch (const std::bad_alloc&) {
    return meshFlagsAllocFailed;
  }
}
