// Worked triangulations with their exact table order, degenerate inputs, the
// working buffers, and the invariants of a sound mesh on larger sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver/console_text.h"
#include "mesh/triangulation.h"
#include "mesh_support.h"
#include "reference_mesh.h"

namespace {

std::vector<std::vector<int32_t>> corners(const std::vector<MeshTriangle>& triangles) {
  std::vector<std::vector<int32_t>> list;
  for (const MeshTriangle& t : triangles) list.push_back({t.corner0, t.corner1, t.corner2});
  return list;
}

}  // namespace

TEST(TriangulationTest, ThreePointsGiveOneTriangle) {
  std::vector<MeshPoint> points{{0, 0, 0}, {0.5, 1, 0}, {1, 0, 0}};
  MeshResult r = triangulate(points);
  EXPECT_EQ(r.status, meshOk);
  EXPECT_EQ(corners(r.triangles), (std::vector<std::vector<int32_t>>{{0, 1, 2}}));
  EXPECT_EQ(r.progress, "\nProcessing Points..");
}

TEST(TriangulationTest, SquareKeepsTableOrder) {
  // The fourth point lies exactly on the first three's circle and counts as inside.
  std::vector<MeshPoint> points{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
  MeshResult r = triangulate(points);
  EXPECT_EQ(r.status, meshOk);
  EXPECT_EQ(corners(r.triangles), (std::vector<std::vector<int32_t>>{{2, 0, 3}, {0, 1, 3}}));
}

TEST(TriangulationTest, FivePointsKeepTableOrder) {
  std::vector<MeshPoint> points{{0, 0, 0}, {1, 3, 0}, {2, 1, 0}, {3, 4, 0}, {4, 0, 0}};
  MeshResult r = triangulate(points);
  EXPECT_EQ(r.status, meshOk);
  EXPECT_EQ(corners(r.triangles),
            (std::vector<std::vector<int32_t>>{{2, 1, 3}, {2, 3, 4}, {0, 2, 4}, {0, 1, 2}}));
}

TEST(TriangulationTest, SuperTriangleCornersGoToSpareSlots) {
  std::vector<MeshPoint> points{{0, 0, 5}, {4, 2, 5}, {2, 1, 5}};
  triangulate(points);
  // dmax 4 (dx), middle (2, 1).
  EXPECT_EQ(points[3].x, -78);
  EXPECT_EQ(points[3].y, -3);
  EXPECT_EQ(points[4].x, 2);
  EXPECT_EQ(points[4].y, 81);
  EXPECT_EQ(points[5].x, 82);
  EXPECT_EQ(points[5].y, -3);
  EXPECT_EQ(points[3].z, 0);
  EXPECT_EQ(points[4].z, 0);
  EXPECT_EQ(points[5].z, 0);
}

TEST(TriangulationTest, DegenerateSetsGiveNoTriangle) {
  const std::vector<std::vector<MeshPoint>> sets{
      {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}},                      // level line
      {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}},                      // vertical line
      {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {3, 3, 0}},           // sloped line
      {{7, 7, 0}},                                            // one point
      {{3, 4, 0}, {3, 4, 1}, {3, 4, 2}},                      // all coincident
      {{0, 0, 0}, {1e-8, 1e-8, 0}, {2e-8, 0, 0}},             // box below the tolerance
  };
  for (std::vector<MeshPoint> points : sets) {
    MeshResult r = triangulate(points);
    EXPECT_EQ(r.status, meshOk);
    EXPECT_TRUE(r.triangles.empty()) << points.size() << " points, first x " << points[0].x;
  }
}

TEST(TriangulationTest, DuplicatePointsAreInsertedOnce) {
  std::vector<MeshPoint> points{{0, 0, 0}, {0.5, 1, 0}, {1, 0, 0}, {0.5, 1, 9}, {1, 0, 3}};
  MeshResult r = triangulate(points);
  EXPECT_EQ(r.status, meshOk);
  ASSERT_EQ(r.triangles.size(), 1u);
  EXPECT_EQ(meshViolation(points, 5, r.triangles, true), "");
  // The duplicates stay in the table and still count for progress marks.
  EXPECT_EQ(r.progress, "\nProcessing Points..");
}

TEST(TriangulationTest, ProgressMarkEveryFiveHundredPoints) {
  std::vector<MeshPoint> five = uniformPoints(500, 1);
  EXPECT_EQ(triangulate(five).progress, "\nProcessing Points..");
  std::vector<MeshPoint> fiveOne = uniformPoints(501, 1);
  EXPECT_EQ(triangulate(fiveOne).progress, "\nProcessing Points...");
}

namespace {

void recordStep(void* context, int32_t step) { static_cast<std::vector<int32_t>*>(context)->push_back(step); }

}  // namespace

TEST(TriangulationTest, ProgressGoesToTheCallerOnly) {
  std::vector<MeshPoint> points = uniformPoints(501, 2);
  const int32_t n = static_cast<int32_t>(points.size());
  std::stable_sort(points.begin(), points.end(), [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  points.resize(points.size() + 3);
  std::vector<MeshTriangle> triangles(static_cast<size_t>(4 * n));
  for (const bool heard : {true, false}) {
    std::vector<int32_t> steps;
    int32_t count = 0;
    testing::internal::CaptureStdout();
    const MeshProgress progress{heard ? recordStep : nullptr, &steps};
    EXPECT_EQ(buildDelaunayMesh(n, points.data(), triangles.data(), &count, progress), meshOk);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::vector<int32_t> expected{meshProgressStart, meshProgressMark, meshProgressMark};
    EXPECT_EQ(steps, heard ? expected : std::vector<int32_t>{});
  }
}

namespace {

int allocationsLeft = 0;
std::vector<size_t> resizes;

void* refuseAfterBudget(size_t bytes) {
  if (allocationsLeft-- <= 0) return nullptr;
  return std::malloc(bytes);
}

void* recordResize(void* block, size_t bytes) {
  resizes.push_back(bytes);
  return std::realloc(block, bytes);
}

void* refuseResize(void*, size_t) { return nullptr; }

// Points on one circle: a point near its centre lies inside the circles of
// many triangles at once, so the number of spokes sets the size of its hole.
std::vector<MeshPoint> wheel(int32_t spokes) {
  std::vector<MeshPoint> points;
  for (int32_t k = 0; k < spokes; ++k) {
    const double angle = 2 * 3.14159265358979323846 * (k + 0.5) / spokes;
    points.push_back({100 + 50 * std::cos(angle), 100 + 50 * std::sin(angle), 0});
  }
  return points;
}

// Points on a circle at uneven angles around a hub near its centre; the
// layout number picks the count and the angles, and so the hub's hole.
std::vector<MeshPoint> unevenWheel(int32_t layout) {
  const int32_t spokes = 40 + layout % 200;
  std::vector<MeshPoint> points;
  for (int32_t k = 0; k < spokes; ++k) {
    const double angle = 2 * 3.14159265358979323846 * (k + 0.37 * std::sin(layout * 7.0 + k)) / spokes;
    points.push_back({100 + 50 * std::cos(angle), 100 + 50 * std::sin(angle), 0});
  }
  points.push_back({100.25, 100.125, 0});
  return points;
}

// The most triangles that one point removes, by the plain scan.
int32_t largestHoleOf(std::vector<MeshPoint> points) {
  const int32_t n = static_cast<int32_t>(points.size());
  std::stable_sort(points.begin(), points.end(), [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  points.resize(points.size() + 3);
  std::vector<MeshTriangle> table(static_cast<size_t>(4 * n));
  int32_t count = 0;
  int32_t largest = 0;
  testing::internal::CaptureStdout();
  buildDelaunayMeshByScan(n, points.data(), table.data(), &count, true, &largest);
  testing::internal::GetCapturedStdout();
  return largest;
}

}  // namespace

TEST(TriangulationTest, RefusedWorkingMemoryReportsAndLeavesCount) {
  for (int budget : {0, 1}) {
    allocationsLeft = budget;
    meshHeap.allocate = refuseAfterBudget;
    std::vector<MeshPoint> points{{0, 0, 0}, {0.5, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    std::vector<MeshTriangle> triangles(12);
    int32_t count = 77;
    testing::internal::CaptureStdout();
    const int32_t status = buildDelaunayMesh(3, points.data(), triangles.data(), &count, MeshProgress{showMeshProgress, nullptr});
    const std::string printed = testing::internal::GetCapturedStdout();
    resetMeshHeap();
    EXPECT_EQ(status, budget == 0 ? meshFlagsAllocFailed : meshEdgesAllocFailed);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(printed, "");
  }
}

TEST(TriangulationTest, EdgeBufferGrowsWhenThreeMoreEdgesWouldReachCapacity) {
  // Hole sizes from the plain scan pick the cases; the growth itself is
  // watched through the heap. The buffer starts with room for 200 edges and
  // grows by 100 when the edge count + 3 reaches the capacity: a hole of 66
  // triangles (195 edges before the last) fits, 67 grows it to 300, 99 still
  // fits in 300 and 100 (297 + 3) grows it to 400.
  struct Case {
    int32_t hole;    // largest hole, by the plain scan
    int32_t layout;  // which uneven wheel has it
    std::vector<size_t> growth;
  };
  const std::vector<Case> cases{{66, 1242, {}}, {67, 1236, {300}}, {99, 667, {300}}, {100, 73, {300, 400}}};
  for (const Case& c : cases) {
    std::vector<MeshPoint> points = unevenWheel(c.layout);
    ASSERT_EQ(largestHoleOf(points), c.hole) << "layout " << c.layout;
    resizes.clear();
    meshHeap.resize = recordResize;
    MeshResult r = triangulate(points);
    resetMeshHeap();
    EXPECT_EQ(r.status, meshOk);
    std::vector<size_t> expected;
    for (size_t edges : c.growth) expected.push_back(edges * sizeof(MeshEdge));
    EXPECT_EQ(resizes, expected) << "largest hole " << c.hole;
  }

  // A refused growth stops the run with its own status.
  std::vector<MeshPoint> points = wheel(400);
  points.push_back({100.25, 100.125, 0});
  meshHeap.resize = refuseResize;
  MeshResult refused = triangulate(points);
  resetMeshHeap();
  EXPECT_EQ(refused.status, meshEdgesGrowFailed);
}

TEST(TriangulationTest, SoundMeshOnLargerSets) {
  struct Case {
    const char* name;
    std::vector<MeshPoint> points;
  };
  std::vector<Case> cases;
  cases.push_back({"uniform", uniformPoints(2000, 11)});
  cases.push_back({"grid", gridPoints(40, 40)});
  cases.push_back({"clustered", clusteredPoints(2000, 12)});
  cases.push_back({"degrees", uniformPoints(2000, 13, 0.1, 0.2, 7)});
  cases.push_back({"small plot", uniformPoints(1500, 14, 0, 3, 3)});
  for (Case& c : cases) {
    const int32_t n = static_cast<int32_t>(c.points.size());
    MeshResult r = triangulate(c.points);
    EXPECT_EQ(r.status, meshOk) << c.name;
    EXPECT_GT(r.triangles.size(), static_cast<size_t>(n)) << c.name;
    EXPECT_EQ(meshViolation(c.points, n, r.triangles, true), "") << c.name;
  }
}
