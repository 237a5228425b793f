// The surface engine on cases with known answers, on random and nearly
// degenerate sets checked by the invariants of surface_check.h, and the
// border, holes and hull filling on exact areas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "export/surface/surface_check.h"
#include "export/surface/triangulate.h"

namespace tsvmesh::surface {
namespace {

int32_t triangleCount(const SurfaceResult& r) { return static_cast<int32_t>(r.triangles.size() / 3); }

bool hasEdge(const SurfaceResult& r, int32_t a, int32_t b) {
  for (size_t t = 0; 3 * t < r.triangles.size(); ++t) {
    for (int32_t i = 0; i < 3; ++i) {
      const int32_t u = r.triangles[3 * t + i];
      const int32_t v = r.triangles[3 * t + (i + 1) % 3];
      if ((u == a && v == b) || (u == b && v == a)) return true;
    }
  }
  return false;
}

int32_t edgeOwner(const SurfaceResult& r, int32_t a, int32_t b) {
  for (size_t i = 0; i < r.constrainedEdges.size(); i += 3) {
    if (r.constrainedEdges[i] == std::min(a, b) && r.constrainedEdges[i + 1] == std::max(a, b)) {
      return r.constrainedEdges[i + 2];
    }
  }
  return -1;
}

TEST(SurfaceKnownAnswers, HullSliversAreCovered) {
  SurfaceCase rectangle;
  rectangle.points({{0, 0}, {120, 0}, {120, 80}, {0, 80}, {60, 79}});
  const SurfaceResult four = rectangle.build();
  EXPECT_EQ(triangleCount(four), 4);
  EXPECT_EQ(doubledArea(rectangle.input(), four), 2 * 120.0 * 80.0);
  EXPECT_EQ(surfaceFault(rectangle.input(), four), "");

  SurfaceCase flat;
  flat.points({{0, 100}, {50, 51}, {100, 0}});
  const SurfaceResult one = flat.build();
  EXPECT_EQ(triangleCount(one), 1);
  EXPECT_EQ(doubledArea(flat.input(), one), 100.0);
}

TEST(SurfaceKnownAnswers, MicrometreApartIsStillDelaunay) {
  SurfaceCase close;
  close.points({{5, 14}, {17, 40}, {17.000001, 40.0000003}, {25, 10}});
  const SurfaceResult result = close.build();
  EXPECT_EQ(triangleCount(result), 2);
  EXPECT_EQ(surfaceFault(close.input(), result), "");
  // The far corner (25, 10) is outside the circle of the sliver, so the
  // short edge's two ends must both be joined to it and to (5, 14).
  EXPECT_TRUE(hasEdge(result, 0, 3));
}

TEST(SurfaceKnownAnswers, RidgeKeepsEverySegment) {
  SurfaceCase ridge;
  std::vector<int32_t> crest;
  for (int32_t i = 0; i <= 10; ++i) {
    crest.push_back(ridge.add(10.0 * i, 0, 100));
    ridge.add(10.0 * i, 3, 99);
    ridge.add(10.0 * i, -3, 99);
  }
  for (int32_t i = 0; i < 10; ++i) ridge.segment(crest[i], crest[i + 1]);
  const SurfaceResult result = ridge.build();
  EXPECT_EQ(surfaceFault(ridge.input(), result), "");
  for (int32_t i = 0; i < 10; ++i) EXPECT_TRUE(hasEdge(result, crest[i], crest[i + 1])) << i;
}

TEST(SurfaceKnownAnswers, SegmentThroughPointsAndAlongEdges) {
  SurfaceCase line;
  const int32_t a = line.add(0, 0);
  const int32_t middle = line.add(5, 0);
  const int32_t b = line.add(10, 0);
  line.add(5, 5);
  line.add(5, -5);
  line.add(2, 1);
  line.segment(a, b);
  const SurfaceResult result = line.build();
  EXPECT_EQ(surfaceFault(line.input(), result), "");
  EXPECT_TRUE(hasEdge(result, a, middle));
  EXPECT_TRUE(hasEdge(result, middle, b));
  EXPECT_TRUE(result.crossings.empty());
  // A later segment along an edge already constrained takes the edge over.
  line.segment(a, middle);
  const SurfaceResult again = line.build();
  EXPECT_EQ(edgeOwner(again, a, middle), 1);
  EXPECT_EQ(edgeOwner(again, middle, b), 0);
}

TEST(SurfaceKnownAnswers, CrossingSegmentsMeetAtANewPoint) {
  SurfaceCase cross;
  const int32_t a = cross.add(0, 0, 10);
  const int32_t b = cross.add(10, 10, 20);
  const int32_t c = cross.add(0, 10, 0);
  const int32_t d = cross.add(10, 0, 2);
  cross.segment(a, b);
  cross.segment(c, d);
  const SurfaceResult result = cross.build();
  ASSERT_EQ(result.crossings.size(), 1u);
  const SurfaceCrossing& crossing = result.crossings[0];
  EXPECT_EQ(crossing.point, 4);
  EXPECT_EQ(crossing.segment[0], 0);
  EXPECT_EQ(crossing.segment[1], 1);
  EXPECT_EQ(crossing.z[0], 15.0);
  EXPECT_EQ(crossing.z[1], 1.0);
  EXPECT_EQ(result.addedXyz, (std::vector<double>{5, 5, 15}));  // the earlier segment's height holds
  EXPECT_EQ(triangleCount(result), 4);
  EXPECT_EQ(surfaceFault(cross.input(), result), "");
}

TEST(SurfaceKnownAnswers, RepeatedPositionsMergeIntoTheFirst) {
  SurfaceCase repeated;
  repeated.add(0, 0, 1);
  repeated.add(1, 0, 2);
  repeated.add(0, 0, 3);
  repeated.add(0, 1, 4);
  repeated.add(1, 0, 2);
  const SurfaceResult result = repeated.build();
  EXPECT_EQ(result.mergedInto, (std::vector<int32_t>{0, 1, 0, 3, 1}));
  EXPECT_EQ(triangleCount(result), 1);
}

TEST(SurfaceKnownAnswers, DegenerateInputIsRefused) {
  SurfaceCase line;
  for (int32_t i = 0; i < 10000; ++i) line.add(i, 2.0 * i);
  EXPECT_EQ(line.build().status, SurfaceStatus::kCollinear);
  SurfaceCase two;
  two.points({{0, 0}, {1, 1}, {0, 0}, {1, 1}});
  EXPECT_EQ(two.build().status, SurfaceStatus::kTooFewPoints);
  SurfaceCase wrong;
  wrong.points({{0, 0}, {1, 0}, {0, 1}});
  wrong.segment(0, 3);
  EXPECT_EQ(wrong.build().status, SurfaceStatus::kBadIndex);
  EXPECT_TRUE(wrong.build().triangles.empty());
}

TEST(SurfaceBorder, SquareMinusHoleHasItsExactArea) {
  SurfaceCase site;
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> coordinate(-50, 150);
  std::set<std::pair<double, double>> outside;  // distinct positions
  for (int32_t i = 0; i < 400; ++i) {
    const double x = coordinate(random);
    const double y = coordinate(random);
    site.add(x, y, 0.5 * x);
    if (x < 0 || x > 100 || y < 0 || y > 100) outside.insert({x, y});
  }
  site.hasBorder = true;
  site.polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
  site.polygon({{40, 40}, {40, 60}, {60, 60}, {60, 40}});  // clockwise: orientation does not matter
  const SurfaceResult result = site.build();
  EXPECT_EQ(surfaceFault(site.input(), result, kNotHull), "");
  EXPECT_EQ(doubledArea(site.input(), result), 2 * (100.0 * 100.0 - 20.0 * 20.0));
  EXPECT_EQ(result.pointsOutsideBorder, static_cast<int32_t>(outside.size()));
}

TEST(SurfaceBorder, OverlappingHolesAndABreaklineAlongTheBorder) {
  SurfaceCase site;
  for (int32_t x = 0; x <= 10; ++x) {
    for (int32_t y = 0; y <= 10; ++y) site.add(10.0 * x, 10.0 * y);
  }
  site.segment(0, 10);  // x = 0, y 0..100: along the border's west side
  site.hasBorder = true;
  site.polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
  site.polygon({{10, 10}, {50, 10}, {50, 50}, {10, 50}});
  site.polygon({{30, 30}, {70, 30}, {70, 70}, {30, 70}});
  const SurfaceResult result = site.build();
  // Even-odd for each polygon alone: the union of the holes is removed.
  EXPECT_EQ(doubledArea(site.input(), result), 2 * (10000.0 - 1600 - 1600 + 400));
  EXPECT_EQ(result.pointsOutsideBorder, 0);
}

// Polygons along each other's edges: holes in the border's corners, and
// holes side by side, whose common edges belong to one polygon each.
TEST(SurfaceBorder, PolygonsSharingEdges) {
  for (int32_t layout = 0; layout < 8; ++layout) {
    SurfaceCase site;
    for (int32_t i = 0; i < 300; ++i) site.add((i * 37) % 101 + 0.25, (i * 91) % 103 - 1.5, 1);
    site.hasBorder = true;
    site.polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    const double x = (layout & 1) ? 50 : 0;
    const double y = (layout & 2) ? 50 : 0;
    site.polygon({{x, y}, {x + 50, y}, {x + 50, y + 50}, {x, y + 50}});  // a quarter in a corner
    if (layout & 4) {
      const double nx = 50 - x;  // the quarter beside it, sharing a side
      site.polygon({{nx, y}, {nx + 50, y}, {nx + 50, y + 50}, {nx, y + 50}});
    }
    const SurfaceResult result = site.build();
    EXPECT_EQ(doubledArea(site.input(), result), 2 * ((layout & 4) ? 5000.0 : 7500.0)) << layout;
  }
}

TEST(SurfaceBorder, BreaklineAcrossTheBorderIsCutAtIt) {
  SurfaceCase site;
  for (int32_t i = 0; i < 200; ++i) site.add((i * 37) % 201 - 50.25, (i * 91) % 199 - 49.5, 1);
  const int32_t west = site.add(-50, 50, 0);
  const int32_t east = site.add(150, 50, 20);
  site.segment(west, east);
  site.hasBorder = true;
  site.polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
  const SurfaceResult result = site.build();
  // Trimmed, the breakline's ends are gone: no hull count, no whole chain.
  EXPECT_EQ(surfaceFault(site.input(), result, kNotHull | kNotChains), "");
  EXPECT_EQ(doubledArea(site.input(), result), 2 * 100.0 * 100.0);
  ASSERT_EQ(result.crossings.size(), 2u);
  // The border's east side goes in first; the breakline's heights hold.
  EXPECT_EQ(result.addedXyz, (std::vector<double>{100, 50, 15, 0, 50, 5}));
  for (const SurfaceCrossing& crossing : result.crossings) EXPECT_EQ(crossing.segment[1], 1);  // the border
}

TEST(SurfaceBorder, CornersWithoutHeightTakeTheSurfaces) {
  SurfaceCase plane;
  for (int32_t x = 0; x <= 10; ++x) {
    for (int32_t y = 0; y <= 10; ++y) plane.add(x, y, x + 2.0 * y);
  }
  plane.hasBorder = true;
  const double none = std::nan("");
  for (const auto& [x, y] : {std::pair{1.5, 1.5}, {8.5, 1.5}, {8.5, 8.5}, {1.5, 8.5}}) {
    plane.polygonPoints.push_back(plane.add(x, y, none));
  }
  plane.polygonEnds.push_back(4);
  const SurfaceResult result = plane.build();
  ASSERT_EQ(result.status, SurfaceStatus::kOk);
  ASSERT_EQ(result.filledHeights.size(), 4u);
  for (const SurfaceHeight& height : result.filledHeights) {
    const double* p = &plane.xyz[3 * static_cast<size_t>(height.point)];
    EXPECT_NEAR(height.z, p[0] + 2 * p[1], 1e-12);
  }
  EXPECT_EQ(doubledArea(plane.input(), result), 2 * 7.0 * 7.0);
  EXPECT_EQ(result.pointsOutsideBorder, 121 - 49);
  plane.segment(0, 121);  // a segment needs heights at both ends
  EXPECT_EQ(plane.build().status, SurfaceStatus::kBadIndex);
}

TEST(SurfaceFill, SliverAlongTheHullIsAdded) {
  const std::vector<double> xyz = {0, 0, 0, 120, 0, 0, 120, 80, 0, 0, 80, 0, 60, 79, 0};
  // A mesh that lacks the sliver (3, 4, 2); one triangle given clockwise.
  const std::vector<int32_t> mesh = {0, 1, 4, 0, 4, 3, 1, 4, 2};
  const HullFill fill = fillHull(xyz.data(), 5, mesh.data(), 3, false);
  ASSERT_EQ(fill.status, SurfaceStatus::kOk);
  ASSERT_EQ(fill.triangles.size(), 3u);
  std::vector<int32_t> corners = fill.triangles;
  std::sort(corners.begin(), corners.end());
  EXPECT_EQ(corners, (std::vector<int32_t>{2, 3, 4}));
  const HullFill none = fillHull(xyz.data(), 5, fill.triangles.data(), 1, false);
  EXPECT_EQ(none.triangles.size(), 3u * 3u);  // the rest of the rectangle
}

// The triangles taken out of a Delaunay surface (its hull's row, and some
// inside) come back exactly: the triangulation constrained by the rest's
// boundary is the Delaunay one, which has all those edges already.
TEST(SurfaceFill, TakenOutTrianglesComeBack) {
  SurfaceCase random;
  std::mt19937 generator(3);
  std::uniform_real_distribution<double> anywhere(0.0, 100.0);
  for (int32_t i = 0; i < 2000; ++i) random.add(anywhere(generator), anywhere(generator));
  const SurfaceResult whole = random.build();
  std::map<std::pair<int32_t, int32_t>, int32_t> uses;
  for (size_t e = 0; e < whole.triangles.size(); ++e) {
    const int32_t a = whole.triangles[e];
    const int32_t b = whole.triangles[e % 3 == 2 ? e - 2 : e + 1];
    ++uses[{std::min(a, b), std::max(a, b)}];
  }
  // An inner gap must not touch the triangles along the hull, or it would
  // reach the hull through them: no corner of an inner gap on the hull.
  std::set<int32_t> hullPoints;
  for (const auto& [edge, count] : uses) {
    if (count == 1) hullPoints.insert({edge.first, edge.second});
  }
  std::vector<int32_t> kept;
  std::multiset<std::vector<int32_t>> outer;
  std::multiset<std::vector<int32_t>> all;
  for (size_t t = 0; 3 * t < whole.triangles.size(); ++t) {
    std::vector<int32_t> corners(whole.triangles.begin() + 3 * t, whole.triangles.begin() + 3 * t + 3);
    bool onHull = false;
    for (int32_t i = 0; i < 3; ++i) {
      const int32_t a = corners[i];
      const int32_t b = corners[(i + 1) % 3];
      onHull = onHull || uses[{std::min(a, b), std::max(a, b)}] == 1;
    }
    bool nearHull = false;
    for (const int32_t c : corners) nearHull = nearHull || hullPoints.count(c) > 0;
    const bool inner = t % 97 == 0 && !onHull && !nearHull;
    if (!onHull && !inner) kept.insert(kept.end(), corners.begin(), corners.end());
    std::sort(corners.begin(), corners.end());
    if (onHull) outer.insert(corners);
    if (onHull || inner) all.insert(corners);
  }
  const auto sorted = [](const HullFill& fill) {
    std::multiset<std::vector<int32_t>> triangles;
    for (size_t t = 0; 3 * t < fill.triangles.size(); ++t) {
      std::vector<int32_t> corners(fill.triangles.begin() + 3 * t, fill.triangles.begin() + 3 * t + 3);
      std::sort(corners.begin(), corners.end());
      triangles.insert(corners);
    }
    return triangles;
  };
  const auto count = static_cast<int32_t>(kept.size() / 3);
  EXPECT_EQ(sorted(fillHull(random.xyz.data(), 2000, kept.data(), count, false)), outer);
  EXPECT_EQ(sorted(fillHull(random.xyz.data(), 2000, kept.data(), count, true)), all);
}

TEST(SurfaceFill, InnerGapsOnlyWhenAsked) {
  std::vector<double> xyz;
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) xyz.insert(xyz.end(), {double(x), double(y), 0});
  }
  std::vector<int32_t> mesh;
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      if (x == 1 && y == 1) continue;  // a hole in the middle
      const int32_t v = 4 * y + x;
      mesh.insert(mesh.end(), {v, v + 1, v + 5, v, v + 5, v + 4});
    }
  }
  const auto count = static_cast<int32_t>(mesh.size() / 3);
  EXPECT_TRUE(fillHull(xyz.data(), 16, mesh.data(), count, false).triangles.empty());
  EXPECT_EQ(fillHull(xyz.data(), 16, mesh.data(), count, true).triangles.size(), 6u);
}

}  // namespace
}  // namespace tsvmesh::surface
