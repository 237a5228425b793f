// The surface against CGAL's constrained Delaunay triangulation (exact
// predicates, inexact constructions): for points in general position the
// constrained Delaunay triangulation is unique, so the triangle sets must
// be equal.
#include <gtest/gtest.h>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "export/surface/surface_check.h"
#include "export/surface/triangulate.h"

namespace tsvmesh::surface {
namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
// Vertices carry their input index; crossings are not asked of CGAL here.
using Cgal = CGAL::Constrained_Delaunay_triangulation_2<
    Kernel, CGAL::Triangulation_data_structure_2<CGAL::Triangulation_vertex_base_with_info_2<int32_t, Kernel>,
                                                 CGAL::Constrained_triangulation_face_base_2<Kernel>>>;

using Triangle = std::array<int32_t, 3>;

// A triangle as its corners from the smallest, counter-clockwise order kept.
Triangle canonical(int32_t a, int32_t b, int32_t c) {
  if (b < a && b < c) return {b, c, a};
  if (c < a && c < b) return {c, a, b};
  return {a, b, c};
}

std::set<Triangle> cgalTriangles(const std::vector<double>& xyz, const std::vector<int32_t>& segments) {
  std::vector<std::pair<Kernel::Point_2, int32_t>> points;
  for (size_t i = 0; 3 * i < xyz.size(); ++i) {
    points.push_back({Kernel::Point_2(xyz[3 * i], xyz[3 * i + 1]), static_cast<int32_t>(i)});
  }
  Cgal cdt;
  cdt.insert(points.begin(), points.end());
  std::vector<Cgal::Vertex_handle> handle(points.size());
  for (const auto v : cdt.finite_vertex_handles()) handle[v->info()] = v;
  for (size_t s = 0; 2 * s < segments.size(); ++s) {
    cdt.insert_constraint(handle[segments[2 * s]], handle[segments[2 * s + 1]]);
  }
  std::set<Triangle> triangles;
  for (const auto f : cdt.finite_face_handles()) {
    triangles.insert(canonical(f->vertex(0)->info(), f->vertex(1)->info(), f->vertex(2)->info()));
  }
  return triangles;
}

std::set<Triangle> ourTriangles(const SurfaceResult& result) {
  std::set<Triangle> triangles;
  for (size_t t = 0; 3 * t < result.triangles.size(); ++t) {
    triangles.insert(canonical(result.triangles[3 * t], result.triangles[3 * t + 1], result.triangles[3 * t + 2]));
  }
  return triangles;
}

// Random points in a 1000 m square and polylines in horizontal bands, each
// x-monotone, so that no two segments cross.
void randomSite(uint32_t seed, int32_t points, int32_t polylines, std::vector<double>* xyz,
                std::vector<int32_t>* segments) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> anywhere(0.0, 1000.0);
  for (int32_t i = 0; i < points; ++i) xyz->insert(xyz->end(), {anywhere(random), anywhere(random), anywhere(random)});
  const double band = 1000.0 / std::max(polylines, 1);
  for (int32_t k = 0; k < polylines; ++k) {
    std::uniform_real_distribution<double> height(k * band + 0.05 * band, (k + 1) * band - 0.05 * band);
    double x = anywhere(random) * 0.3;
    for (int32_t step = 0; x < 1000.0; ++step) {
      const auto index = static_cast<int32_t>(xyz->size() / 3);
      xyz->insert(xyz->end(), {x, height(random), 0.0});
      if (step > 0) segments->insert(segments->end(), {index - 1, index});
      x += 5.0 + anywhere(random) * 0.1;
    }
  }
}

void expectSameAsCgal(const std::vector<double>& xyz, const std::vector<int32_t>& segments) {
  const SurfaceInput input = surfaceInput(xyz, segments);
  SurfaceResult result;
  ASSERT_EQ(buildSurface(input, &result), SurfaceStatus::kOk);
  EXPECT_EQ(surfaceFault(input, result), "");
  const std::set<Triangle> ours = ourTriangles(result);
  const std::set<Triangle> theirs = cgalTriangles(xyz, segments);
  EXPECT_EQ(ours.size(), theirs.size());
  EXPECT_TRUE(ours == theirs);
}

TEST(SurfaceAgainstCgal, RandomPoints) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::vector<double> xyz;
    std::vector<int32_t> segments;
    randomSite(seed, seed == 1 ? 30000 : 1000 * seed, 0, &xyz, &segments);
    expectSameAsCgal(xyz, segments);
  }
}

TEST(SurfaceAgainstCgal, RandomPointsWithPolylines) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::vector<double> xyz;
    std::vector<int32_t> segments;
    randomSite(100 + seed, seed == 1 ? 20000 : 1000 * seed, static_cast<int32_t>(3 * seed), &xyz, &segments);
    expectSameAsCgal(xyz, segments);
  }
}

}  // namespace
}  // namespace tsvmesh::surface
