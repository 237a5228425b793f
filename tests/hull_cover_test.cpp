// Whether a mesh covers its points' convex hull: known hulls, a brute-force
// hull as the oracle, and the program's one line on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mesh/hull_cover.h"
#include "mesh_support.h"
#include "test_support.h"

namespace {

// The gaps of buildDelaunayMesh's own mesh of the points (sorted here).
MeshHullGaps gapsOfMesh(std::vector<MeshPoint> points, bool* known = nullptr) {
  const auto n = static_cast<int32_t>(points.size());
  const MeshResult mesh = triangulate(points);
  MeshHullGaps gaps{-1, -1};
  const bool ok = findHullGaps(points.data(), n, mesh.triangles.data(), static_cast<int32_t>(mesh.triangles.size()), &gaps);
  if (known != nullptr) *known = ok;
  return gaps;
}

TEST(HullCoverTest, KnownHulls) {
  // A 120 x 80 rectangle and a point just below its top side: the sliver
  // above that point is not covered.
  MeshHullGaps gaps = gapsOfMesh({{0, 0, 1}, {120, 0, 1}, {120, 80, 1}, {0, 80, 1}, {60, 79, 1}});
  EXPECT_EQ(gaps.segments, 4);
  EXPECT_EQ(gaps.missing, 1);
  // A flat triangle: no mesh at all.
  gaps = gapsOfMesh({{0, 100, 1}, {50, 51, 1}, {100, 0, 1}});
  EXPECT_EQ(gaps.segments, 3);
  EXPECT_EQ(gaps.missing, 3);
  // A square with its centre is covered.
  gaps = gapsOfMesh({{0, 0, 1}, {10, 0, 1}, {0, 10, 1}, {10, 10, 1}, {5, 5, 1}});
  EXPECT_EQ(gaps.segments, 4);
  EXPECT_EQ(gaps.missing, 0);
  // Points on the sides split them; a repeated corner counts once.
  gaps = gapsOfMesh({{0, 0, 1}, {4, 0, 1}, {8, 0, 1}, {8, 4, 1}, {8, 8, 1}, {4, 8, 1}, {0, 8, 1}, {0, 4, 1},
                     {4, 4, 1}, {0, 0, 2}, {8, 8, 2}});
  EXPECT_EQ(gaps.segments, 8);
  EXPECT_EQ(gaps.missing, 0);
}

TEST(HullCoverTest, NoAreaOrNoExactAnswerSaysNothing) {
  std::vector<MeshPoint> column;
  for (int32_t k = 0; k < 10000; ++k) column.push_back({3, static_cast<double>(k % 977), 0});
  EXPECT_EQ(gapsOfMesh(column).segments, 0);
  EXPECT_EQ(gapsOfMesh({{0, 0, 0}, {1, 2, 0}, {2, 4, 0}, {1, 2, 0}}).segments, 0);
  bool known = true;
  gapsOfMesh({{0, 0, 0}, {0x1p600, 0, 0}, {0, 1, 0}}, &known);
  EXPECT_FALSE(known);
}

// A segment between two distinct positions is on the hull's boundary when
// the points lie on one side of its line, not all on it, and none lies
// strictly between its ends. Integer coordinates keep the brute force exact.
std::set<std::pair<int32_t, int32_t>> bruteHull(const std::vector<MeshPoint>& p, int32_t n) {
  std::set<std::pair<int32_t, int32_t>> sides;
  const auto cross = [&](int32_t a, int32_t b, int32_t c) {
    return (p[b].x - p[a].x) * (p[c].y - p[a].y) - (p[b].y - p[a].y) * (p[c].x - p[a].x);
  };
  const auto firstCopy = [&](int32_t a) {
    for (int32_t k = 0; k < a; ++k) {
      if (p[k].x == p[a].x && p[k].y == p[a].y) return false;
    }
    return true;
  };
  for (int32_t a = 0; a < n; ++a) {
    for (int32_t b = a + 1; b < n; ++b) {
      if (!firstCopy(a) || !firstCopy(b) || (p[a].x == p[b].x && p[a].y == p[b].y)) continue;
      bool left = false, right = false, between = false;
      for (int32_t c = 0; c < n; ++c) {
        const double s = cross(a, b, c);
        left = left || s > 0;
        right = right || s < 0;
        const double dot = (p[c].x - p[a].x) * (p[c].x - p[b].x) + (p[c].y - p[a].y) * (p[c].y - p[b].y);
        between = between || (s == 0 && dot < 0);
      }
      if (!(left && right) && (left || right) && !between) sides.insert({a, b});
    }
  }
  return sides;
}

TEST(HullCoverTest, AgreesWithBruteForceHull) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const int32_t n = 3 + static_cast<int32_t>(random() % 40);
    const int span = trial % 3 == 0 ? 4 : 60;  // small spans: many repeats and straight runs
    std::vector<MeshPoint> points;
    for (int32_t k = 0; k < n; ++k) {
      points.push_back({static_cast<double>(random() % span), static_cast<double>(random() % span), 0});
    }
    std::vector<MeshPoint> sorted = points;
    const MeshResult mesh = triangulate(sorted);
    const std::set<std::pair<int32_t, int32_t>> sides = bruteHull(sorted, n);
    std::set<std::pair<int32_t, int32_t>> edges;
    for (const MeshTriangle& t : mesh.triangles) {
      const int32_t c[4] = {t.corner0, t.corner1, t.corner2, t.corner0};
      for (int32_t e = 0; e < 3; ++e) edges.insert({std::min(c[e], c[e + 1]), std::max(c[e], c[e + 1])});
    }
    int32_t missing = 0;
    for (const auto& side : sides) missing += edges.count(side) == 0 ? 1 : 0;
    MeshHullGaps gaps{};
    ASSERT_TRUE(findHullGaps(sorted.data(), n, mesh.triangles.data(), static_cast<int32_t>(mesh.triangles.size()), &gaps));
    EXPECT_EQ(gaps.segments, static_cast<int32_t>(sides.size())) << trial;
    EXPECT_EQ(gaps.missing, missing) << trial;
  }
}

// The program names the gap on standard error and changes nothing else.
TEST(HullCoverTest, ProgramSaysSoOnStandardError) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/rect.tsv", dir + "/rect.csv\n0 0 1\n120 0 1\n120 80 1\n0 80 1\n60 79 1\n");
  ProcessResult run = runTsvmeshBinary({"--no-wait", dir + "/rect.tsv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "The mesh lacks 1 of the 4 edges of the points' convex hull; tsvmesh-export covers the whole hull.\n");
  EXPECT_EQ(run.out, "\nProcessing Points..\n\nFormed 3 triangles.  Checking avg tri side length.\n\n"
                     "Average long side length = 106.");
  writeFile(dir + "/square.tsv", dir + "/square.csv\n0 0 1\n10 0 1\n0 10 1\n10 10 1\n5 5 1\n");
  run = runTsvmeshBinary({"--no-wait", dir + "/square.tsv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

}  // namespace
