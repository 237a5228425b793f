#include "mesh/hull_cover.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>
#include <vector>

#include "mesh/orientation.h"

// Andrew's monotone chain over the points that can be on the hull. A point
// with input points in all four open quadrants around it lies strictly
// inside the hull (a line through it would leave one quadrant wholly on its
// far side), so only points with an empty quadrant are taken: those at or
// beyond the lowest or highest y of every x before or after theirs, found
// by comparisons alone. Turns are decided exactly; a point on a hull side
// stays on the chain.

namespace {

// The end of the run of equal x that starts at `start`.
int32_t runEnd(const MeshPoint* points, int32_t n, int32_t start) {
  int32_t end = start + 1;
  while (end < n && points[end].x == points[start].x) ++end;
  return end;
}

// Marks the points with an empty quadrant on the side of smaller x
// (forward) or larger x (backward).
void markEmptyQuadrants(const MeshPoint* points, int32_t n, std::vector<uint8_t>* marks) {
  const double infinity = HUGE_VAL;
  double low = infinity;
  double high = -infinity;
  for (int32_t start = 0; start < n;) {
    const int32_t end = runEnd(points, n, start);
    double runLow = infinity;
    double runHigh = -infinity;
    for (int32_t k = start; k < end; ++k) {
      const double y = points[k].y;
      if (y <= low || y >= high) (*marks)[static_cast<size_t>(k)] = 1;
      runLow = std::min(runLow, y);
      runHigh = std::max(runHigh, y);
    }
    low = std::min(low, runLow);
    high = std::max(high, runHigh);
    start = end;
  }
  low = infinity;
  high = -infinity;
  for (int32_t end = n; end > 0;) {
    int32_t start = end - 1;
    while (start > 0 && points[start - 1].x == points[end - 1].x) --start;
    for (int32_t k = start; k < end; ++k) {
      if (points[k].y <= low || points[k].y >= high) (*marks)[static_cast<size_t>(k)] = 1;
    }
    for (int32_t k = start; k < end; ++k) {
      low = std::min(low, points[k].y);
      high = std::max(high, points[k].y);
    }
    end = start;
  }
}

// The candidates in (x, y) order, each position once (its first copy):
// for the lower chain the lowest marked point of each x, for the upper the
// highest, and for both every point of the first and the last x.
void collectCandidates(const MeshPoint* points, int32_t n, std::vector<int32_t>* lows,
                       std::vector<int32_t>* highs) {
  std::vector<uint8_t> marks(static_cast<size_t>(n), 0);
  markEmptyQuadrants(points, n, &marks);
  std::vector<int32_t> run;
  for (int32_t start = 0; start < n;) {
    const int32_t end = runEnd(points, n, start);
    run.clear();
    for (int32_t k = start; k < end; ++k) {
      if (marks[static_cast<size_t>(k)] != 0) run.push_back(k);
    }
    if (start == 0 || end == n) {
      // By y, the first copy of each y first; later copies dropped.
      std::stable_sort(run.begin(), run.end(), [&](int32_t a, int32_t b) { return points[a].y < points[b].y; });
      for (size_t k = 0; k < run.size(); ++k) {
        if (k > 0 && points[run[k]].y == points[run[k - 1]].y) continue;
        lows->push_back(run[k]);
        highs->push_back(run[k]);
      }
    } else if (!run.empty()) {
      int32_t low = run.front();
      int32_t high = run.front();
      for (const int32_t k : run) {
        if (points[k].y < points[low].y) low = k;
        if (points[k].y > points[high].y) high = k;
      }
      lows->push_back(low);
      highs->push_back(points[high].y != points[low].y ? high : low);
    }
    start = end;
  }
}

int32_t turn(const MeshPoint* p, int32_t a, int32_t b, int32_t c) {
  return orientationOf(p[a].x, p[a].y, p[b].x, p[b].y, p[c].x, p[c].y);
}

// One chain: counter-clockwise turns and straight runs kept.
void chain(const MeshPoint* p, const int32_t* order, int32_t count, int32_t step, std::vector<int32_t>* out) {
  out->clear();
  for (int32_t k = 0; k < count; ++k) {
    const int32_t c = order[step > 0 ? k : count - 1 - k];
    while (out->size() >= 2 && turn(p, (*out)[out->size() - 2], out->back(), c) < 0) out->pop_back();
    out->push_back(c);
  }
}

int64_t edgeKey(int32_t a, int32_t b) {
  return (static_cast<int64_t>(std::min(a, b)) << 32) | static_cast<uint32_t>(std::max(a, b));
}

bool findGaps(const MeshPoint* points, int32_t n, const MeshTriangle* triangles, int32_t triangleCount,
              MeshHullGaps* gaps) {
  std::vector<int32_t> lows;
  std::vector<int32_t> highs;
  collectCandidates(points, n, &lows, &highs);
  for (const std::vector<int32_t>* side : {&lows, &highs}) {
    for (const int32_t k : *side) {
      if (!suitsOrientation(points[k].x) || !suitsOrientation(points[k].y)) return false;
    }
  }
  const int32_t first = lows.front();
  const int32_t last = highs.back();
  const auto onBaseLine = [&](int32_t k) { return turn(points, first, last, k) == 0; };
  if (std::all_of(lows.begin(), lows.end(), onBaseLine) && std::all_of(highs.begin(), highs.end(), onBaseLine)) {
    return true;  // no area to cover
  }
  std::vector<int32_t> lower;
  std::vector<int32_t> upper;
  chain(points, lows.data(), static_cast<int32_t>(lows.size()), 1, &lower);
  chain(points, highs.data(), static_cast<int32_t>(highs.size()), -1, &upper);
  std::unordered_set<int64_t> sides;
  std::vector<uint8_t> onHull(static_cast<size_t>(n), 0);
  for (const std::vector<int32_t>* side : {&lower, &upper}) {
    for (size_t k = 1; k < side->size(); ++k) {
      sides.insert(edgeKey((*side)[k - 1], (*side)[k]));
      onHull[static_cast<size_t>((*side)[k])] = 1;
    }
  }
  gaps->segments = static_cast<int32_t>(sides.size());
  for (int32_t t = 0; t < triangleCount && !sides.empty(); ++t) {
    const int32_t c[4] = {triangles[t].corner0, triangles[t].corner1, triangles[t].corner2, triangles[t].corner0};
    for (int32_t e = 0; e < 3; ++e) {
      if (onHull[static_cast<size_t>(c[e])] != 0 && onHull[static_cast<size_t>(c[e + 1])] != 0) {
        sides.erase(edgeKey(c[e], c[e + 1]));
      }
    }
  }
  gaps->missing = static_cast<int32_t>(sides.size());
  return true;
}

}  // namespace

bool findHullGaps(const MeshPoint* points, int32_t n, const MeshTriangle* triangles, int32_t triangleCount,
                  MeshHullGaps* gaps) {
  *gaps = MeshHullGaps{0, 0};
  try {
    return findGaps(points, n, triangles, triangleCount, gaps);
  } catch (const std::bad_alloc&) {
    return false;  // a remark, not worth failing for
  }
}
