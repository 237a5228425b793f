#include "reference_mesh.h"

#include "mesh/triangulation.h"

#include <cstdio>
#include <unordered_set>

#include "mesh/circumcircle.h"
#include "mesh/wide.h"

int32_t circumcircleContains(double testX, double testY, double x0, double y0, double x1, double y1,
                             double x2, double y2, double* centreX, double* centreY,
                             double* radiusSquared) {
  double cx;
  double cy;
  double r2;
  if (circumcircleOf(x0, y0, x1, y1, x2, y2, &cx, &cy, &r2) == 0) return 0;
  *centreX = cx;
  *centreY = cy;
  *radiusSquared = r2;
  return circleContains(testX, testY, cx, cy, r2);
}

// The straightforward scan, kept as the oracle for the indexed triangulation:
// every live triangle is tested for every point, in slot order.
namespace {

// Deletes slot j by moving the last triangle (and its flag) into the gap.
void removeTriangle(MeshTriangle* triangles, int32_t* flags, int32_t* count, int32_t j) {
  const int32_t last = *count - 1;
  triangles[j] = triangles[last];
  if (flags != nullptr) flags[j] = flags[last];
  *count = last;
}

}  // namespace

int32_t buildDelaunayMeshByScan(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                                int32_t* triangleCount, bool retire,
                                int32_t* largestHole) {
  const int32_t n = pointCount;
  if (n < 1) return meshOk;
  const int64_t limit64 = int64_t{4} * n;
  const int32_t limit = limit64 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(limit64);
  int32_t capacity = 200;
  int32_t status = meshOk;

  auto* flags = static_cast<int32_t*>(meshAllocate(static_cast<size_t>(limit) * sizeof(int32_t)));
  if (flags == nullptr) return meshFlagsAllocFailed;
  auto* edges = static_cast<MeshEdge*>(meshAllocate(static_cast<size_t>(capacity) * sizeof(MeshEdge)));
  if (edges == nullptr) {
    meshRelease(flags);
    return meshEdgesAllocFailed;
  }

  placeSuperTriangle(points, n);
  triangles[0] = {n, n + 1, n + 2};
  flags[0] = 0;
  *triangleCount = 1;
  std::fputs("\nProcessing Points.", stdout);

  double centreX = 0, centreY = 0, radiusSquared = 0;
  std::unordered_set<double> ysAtThisX;
  for (int32_t i = 0; i < n && status == meshOk; ++i) {
    const double px = points[i].x;
    const double py = points[i].y;
    // A point already in the mesh is not inserted again: it would only add
    // triangles of zero area. Equal x are adjacent after the sort.
    if (i == 0 || points[i - 1].x != px) ysAtThisX.clear();
    const bool duplicate = !ysAtThisX.insert(py + 0.0).second;

    int32_t edgeCount = 0;
    for (int32_t j = 0; !duplicate && j < *triangleCount;) {
      if (flags[j] != 0) {
        ++j;
        continue;
      }
      const MeshTriangle t = triangles[j];
      const int32_t inside =
          circumcircleContains(px, py, points[t.corner0].x, points[t.corner0].y, points[t.corner1].x,
                               points[t.corner1].y, points[t.corner2].x, points[t.corner2].y,
                               &centreX, &centreY, &radiusSquared);
      // Retire a triangle once the point is right of its circle by the
      // test's own arithmetic: later points, with larger x, are farther still.
      const double a = static_cast<double>(static_cast<Wide>(px) - centreX);
      if (retire && a > 0 && static_cast<double>(static_cast<Wide>(a) * a) > radiusSquared) flags[j] = 1;
      if (inside == 0) {
        ++j;
        continue;
      }
      if (edgeCount + 3 >= capacity) {
        auto* grown = static_cast<MeshEdge*>(
            meshResize(edges, static_cast<size_t>(capacity + 100) * sizeof(MeshEdge)));
        if (grown == nullptr) {
          status = meshEdgesGrowFailed;
          break;
        }
        edges = grown;
        capacity += 100;
      }
      edges[edgeCount++] = {t.corner0, t.corner1};
      edges[edgeCount++] = {t.corner1, t.corner2};
      edges[edgeCount++] = {t.corner2, t.corner0};
      removeTriangle(triangles, flags, triangleCount, j);
    }
    if (status != meshOk) break;

    if (largestHole != nullptr && edgeCount / 3 > *largestHole) *largestHole = edgeCount / 3;
    // An edge shared by two removed triangles is inside the hole: strike both.
    for (int32_t a = 0; a + 1 < edgeCount; ++a) {
      for (int32_t b = a + 1; b < edgeCount; ++b) {
        if (edges[a].from == edges[b].to && edges[a].to == edges[b].from) {
          edges[a] = edges[b] = {-1, -1};
        }
        if (edges[a].from == edges[b].from && edges[a].to == edges[b].to) {
          edges[a] = edges[b] = {-1, -1};
        }
      }
    }
    for (int32_t e = 0; e < edgeCount; ++e) {
      if (edges[e].from < 0 || edges[e].to < 0) continue;
      if (*triangleCount >= limit) {
        status = meshTriangleLimit;
        break;
      }
      triangles[*triangleCount] = {edges[e].from, edges[e].to, i};
      flags[*triangleCount] = 0;
      ++*triangleCount;
    }
    if (status != meshOk) break;
    if (i % 500 == 0) std::fputc('.', stdout);
  }

  if (status == meshOk) {
    for (int32_t j = 0; j < *triangleCount;) {
      const MeshTriangle t = triangles[j];
      if (t.corner0 >= n || t.corner1 >= n || t.corner2 >= n) {
        removeTriangle(triangles, nullptr, triangleCount, j);
      } else {
        ++j;
      }
    }
  }
  meshRelease(edges);
  meshRelease(flags);
  return status;
}
