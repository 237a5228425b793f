// The order the mesh takes its points in, and the two tables sized from the
// point count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh_support.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Sorts through the run's path: the triangle table's room as scratch.
void sortAsTheRunDoes(std::vector<MeshPoint>* points) {
  const int32_t n = static_cast<int32_t>(points->size());
  std::vector<MeshTriangle> triangles(static_cast<size_t>(triangleTableCapacity(n)) + 1);
  sortPointsByX(points->data(), n, triangles.data(), triangles.size() * sizeof(MeshTriangle));
}

void expectSameSequence(const std::vector<MeshPoint>& got, const std::vector<MeshPoint>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(sameBits(got[i].x, want[i].x) && sameBits(got[i].y, want[i].y) &&
                sameBits(got[i].z, want[i].z))
        << "slot " << i << ": got (" << got[i].x << ", " << got[i].y << ") want (" << want[i].x
        << ", " << want[i].y << ")";
  }
}

std::vector<MeshPoint> stableSortedByX(std::vector<MeshPoint> points) {
  std::stable_sort(points.begin(), points.end(),
                   [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  return points;
}

}  // namespace

TEST(PointSort, CompareLooksAtXAlone) {
  EXPECT_EQ(comparePointsByX({1, 9, 9}, {2, 0, 0}), -1);
  EXPECT_EQ(comparePointsByX({2, 0, 0}, {1, 9, 9}), 1);
  EXPECT_EQ(comparePointsByX({5, 1, 2}, {5, 3, 4}), 0);
  EXPECT_EQ(comparePointsByX({-0.0, 1, 1}, {0.0, 2, 2}), 0);
  EXPECT_EQ(comparePointsByX({0.0, 1, 1}, {-0.0, 2, 2}), 0);
  EXPECT_EQ(comparePointsByX({-DBL_MAX, 0, 0}, {-DBL_MIN, 0, 0}), -1);
}

TEST(PointSort, EqualXKeepTheirFileOrder) {
  std::vector<MeshPoint> points = {{5, 1, 10}, {5, 2, 20}, {5, 3, 30}};
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = 0; j < 3; ++j) EXPECT_EQ(comparePointsByX(points[i], points[j]), 0);
  }
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{5, 1, 10}, {5, 2, 20}, {5, 3, 30}});
  points = {{5, 1, 0}, {2, 0, 0}, {5, 2, 0}, {-1, 0, 0}, {5, 3, 0}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-1, 0, 0}, {2, 0, 0}, {5, 1, 0}, {5, 2, 0}, {5, 3, 0}});
}

TEST(PointSort, DescendingXComesOutAscendingWithYAndZAlong) {
  std::vector<MeshPoint> points = {{3, 30, 300}, {2, 20, 200}, {1, 10, 100}, {-4, -40, -400}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-4, -40, -400}, {1, 10, 100}, {2, 20, 200}, {3, 30, 300}});
  // Long enough for the bulk sort, not just the short one.
  std::vector<MeshPoint> many;
  for (int i = 5000; i > 0; --i) many.push_back({i * 0.5, i * 2.0, -i * 1.0});
  sortAsTheRunDoes(&many);
  for (int i = 1; i <= 5000; ++i) {
    const MeshPoint& p = many[static_cast<size_t>(i - 1)];
    ASSERT_EQ(p.x, i * 0.5);
    ASSERT_EQ(p.y, i * 2.0);
    ASSERT_EQ(p.z, -i * 1.0);
  }
}

TEST(PointSort, NegativeAndPositiveZeroAreEqual) {
  std::vector<MeshPoint> points = {{0.0, 1, 0}, {-0.0, 2, 0}, {0.0, 3, 0}, {-0.0, 4, 0}, {-1, 5, 0}};
  const std::vector<MeshPoint> want = stableSortedByX(points);
  ASSERT_EQ(want[1].y, 1);  // the oracle itself keeps the zeros in file order
  sortAsTheRunDoes(&points);
  expectSameSequence(points, want);
  // Already in order once the zeros are equal: nothing moves.
  points = {{-0.0, 1, 0}, {0.0, 2, 0}, {-0.0, 3, 0}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-0.0, 1, 0}, {0.0, 2, 0}, {-0.0, 3, 0}});
  // The same in bulk, zeros of both signs among other values.
  std::vector<MeshPoint> many;
  for (int i = 0; i < 3000; ++i) {
    const double x = i % 3 == 0 ? 0.0 : (i % 3 == 1 ? -0.0 : (i % 7) - 3.0);
    many.push_back({x, static_cast<double>(i), 0});
  }
  const std::vector<MeshPoint> manyWant = stableSortedByX(many);
  sortAsTheRunDoes(&many);
  expectSameSequence(many, manyWant);
}

TEST(PointSort, RandomDataWithManyEqualXMatchesAStableSort) {
  std::mt19937_64 random(77);
  const double values[] = {-DBL_MAX, -1e300, -1000.5, -1, -DBL_MIN, -4.9e-324, -0.0, 0.0, 4.9e-324,
                           1e-300,   0.25,   1,       1.0000000000000002, 999.999999, 1e300, DBL_MAX};
  for (size_t n : {size_t{2}, size_t{5}, size_t{31}, size_t{32}, size_t{33}, size_t{100},
                   size_t{1000}, size_t{100000}}) {
    for (int spread : {3, 16, 0}) {
      std::vector<MeshPoint> points;
      for (size_t i = 0; i < n; ++i) {
        double x;
        if (spread == 0) {
          x = std::uniform_real_distribution<double>(-1e6, 1e6)(random);
        } else {
          x = values[std::uniform_int_distribution<int>(0, spread - 1)(random)];
        }
        points.push_back({x, static_cast<double>(i), -static_cast<double>(i)});
      }
      const std::vector<MeshPoint> want = stableSortedByX(points);
      SCOPED_TRACE("n " + std::to_string(n) + ", spread " + std::to_string(spread));
      std::vector<MeshPoint> runPath = points;
      sortAsTheRunDoes(&runPath);
      expectSameSequence(runPath, want);
      // Scratch of exactly n points is enough.
      std::vector<MeshPoint> exactScratch(n);
      std::vector<MeshPoint> exact = points;
      sortPointsByX(exact.data(), static_cast<int32_t>(n), exactScratch.data(),
                    n * sizeof(MeshPoint));
      expectSameSequence(exact, want);
      // Without usable scratch the sort still sorts, stably.
      std::vector<MeshPoint> noScratch = points;
      sortPointsByX(noScratch.data(), static_cast<int32_t>(n), nullptr, 0);
      expectSameSequence(noScratch, want);
    }
  }
}

// ---------------------------------------------------------------------------

namespace {

int heapCalls = 0;
size_t heapLastBytes = 0;
bool heapRefuses = false;

void* recordingAllocate(size_t bytes) {
  ++heapCalls;
  heapLastBytes = bytes;
  return heapRefuses ? nullptr : std::malloc(bytes);
}
void* recordingResize(void* block, size_t bytes) { return std::realloc(block, bytes); }
void recordingRelease(void* block) { std::free(block); }

class PointTables : public ::testing::Test {
 protected:
  void SetUp() override {
    heapCalls = 0;
    heapLastBytes = 0;
    heapRefuses = false;
    meshHeap = {recordingAllocate, recordingResize, recordingRelease};
  }
  void TearDown() override { resetMeshHeap(); }
};

}  // namespace

TEST_F(PointTables, TablesComeFromTheMeshHeapAtTheirSizes) {
  MeshPoint* points = allocatePointTable(5);
  ASSERT_NE(points, nullptr);
  EXPECT_EQ(heapCalls, 1);
  EXPECT_EQ(heapLastBytes, 8 * sizeof(MeshPoint));
  MeshTriangle* triangles = allocateTriangleTable(5);
  ASSERT_NE(triangles, nullptr);
  EXPECT_EQ(heapCalls, 2);
  EXPECT_EQ(heapLastBytes, 20 * sizeof(MeshTriangle));
  meshRelease(triangles);
  meshRelease(points);
}

TEST_F(PointTables, RefusedHeapGivesNoTable) {
  heapRefuses = true;
  EXPECT_EQ(allocatePointTable(10), nullptr);
  EXPECT_EQ(allocateTriangleTable(10), nullptr);
  EXPECT_EQ(heapCalls, 2);
}

TEST_F(PointTables, SizesBeyondA32BitCountAreRefusedWithoutAsking) {
  heapRefuses = true;
  EXPECT_EQ(allocatePointTable(INT32_MAX), nullptr);
  EXPECT_EQ(allocatePointTable(INT32_MAX - 2), nullptr);
  EXPECT_EQ(allocateTriangleTable(536870912), nullptr);
  EXPECT_EQ(allocateTriangleTable(INT32_MAX), nullptr);
  EXPECT_EQ(allocatePointTable(-1), nullptr);
  EXPECT_EQ(allocateTriangleTable(-1), nullptr);
  EXPECT_EQ(heapCalls, 0);
  // The largest sizes that fit are asked for in full.
  EXPECT_EQ(allocatePointTable(INT32_MAX - 3), nullptr);
  EXPECT_EQ(heapLastBytes, size_t{2147483647} * sizeof(MeshPoint));
  EXPECT_EQ(allocateTriangleTable(536870911), nullptr);
  EXPECT_EQ(heapLastBytes, size_t{2147483644} * sizeof(MeshTriangle));
  EXPECT_EQ(heapCalls, 2);
}
