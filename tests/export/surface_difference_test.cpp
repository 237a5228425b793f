// Exact cut and fill between two triangulated surfaces: closed forms
// whatever the two samplings, an independent fine sampling on curved
// surfaces, and volumes against each surface's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "export/products/surface_difference.h"
#include "export/read/mesh_file.h"
#include "export/surface/triangulate.h"
#include "mesh/mesh_records.h"

namespace {

using Height = std::function<double(double, double)>;

struct Surface {
  std::vector<ExportVertex> vertices;
  std::vector<int32_t> corners;
  std::vector<uint8_t> kept;
  DifferenceSurface view() const {
    return {vertices.data(), static_cast<int32_t>(vertices.size()), corners.data(),
            static_cast<int32_t>(corners.size() / 3), kept.empty() ? nullptr : kept.data()};
  }
};

// A lattice of nx by ny cells over the box, each cell split along the
// diagonal that rising says.
Surface lattice(double x0, double y0, double x1, double y1, int32_t nx, int32_t ny, bool rising, const Height& z) {
  Surface s;
  for (int32_t j = 0; j <= ny; ++j) {
    for (int32_t i = 0; i <= nx; ++i) {
      const double x = x0 + (x1 - x0) * i / nx, y = y0 + (y1 - y0) * j / ny;
      s.vertices.push_back({x, y, z(x, y)});
    }
  }
  for (int32_t j = 0; j < ny; ++j) {
    for (int32_t i = 0; i < nx; ++i) {
      const int32_t a = j * (nx + 1) + i, b = a + 1, c = a + nx + 1, d = c + 1;
      const std::vector<int32_t> two = rising ? std::vector<int32_t>{a, b, d, a, d, c} : std::vector<int32_t>{a, b, c, b, d, c};
      s.corners.insert(s.corners.end(), two.begin(), two.end());
    }
  }
  return s;
}

// The Delaunay mesh of count random points in the box and of points along
// its sides, which keep its corners from being cut off.
Surface scattered(double x0, double y0, double x1, double y1, int32_t count, uint32_t seed, const Height& z) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<MeshPoint> points;
  for (int32_t k = 0; k < 8; ++k) {
    const double f = k / 8.0, g = 1.0 - f;
    for (const MeshPoint p : {MeshPoint{x0 * g + x1 * f, y0, 0}, MeshPoint{x1, y0 * g + y1 * f, 0},
                              MeshPoint{x1 * g + x0 * f, y1, 0}, MeshPoint{x0, y1 * g + y0 * f, 0}}) {
      points.push_back(p);
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    points.push_back({x0 + (x1 - x0) * (0.02 + 0.96 * u(random)), y0 + (y1 - y0) * (0.02 + 0.96 * u(random)), 0});
  }
  for (MeshPoint& p : points) p.z = z(p.x, p.y);
  // Meshed by the surface engine, the vertices in the points' order.
  std::vector<double> xyz;
  std::vector<ExportVertex> vertices;
  for (const MeshPoint& p : points) {
    xyz.insert(xyz.end(), {p.x, p.y, p.z});
    vertices.push_back({p.x, p.y, p.z});
  }
  tsvmesh::surface::SurfaceResult result;
  EXPECT_EQ(tsvmesh::surface::buildSurface(tsvmesh::surface::surfaceInput(xyz, {}), &result),
            tsvmesh::surface::SurfaceStatus::kOk);
  return {vertices, result.triangles, {}};
}

SurfaceDifference compare(const Surface& a, const Surface& b, int32_t expected = differenceDone) {
  SurfaceDifference d;
  EXPECT_EQ(differenceOfSurfaces(a.view(), b.view(), &d), expected);
  return d;
}

void expectRelative(double actual, double expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual, expected, tolerance * std::max(1.0, std::fabs(expected)));
}

const Height flat = [](double, double) { return 0.0; };

}  // namespace

TEST(SurfaceDifference, LevelPlanesOneApartFillTheSquareExactlyWhateverTheSampling) {
  const Height one = [](double, double) { return 1.0; };
  for (const double origin : {0.0, 512000.0}) {
    const Surface a = lattice(origin, origin, origin + 10, origin + 10, 3, 7, true, flat);
    for (const Surface& b : {lattice(origin, origin, origin + 10, origin + 10, 11, 5, false, one),
                             scattered(origin, origin, origin + 10, origin + 10, 200, 7, one)}) {
      const SurfaceDifference d = compare(a, b);
      expectRelative(d.fill, 100.0);
      expectRelative(d.fillArea, 100.0);
      expectRelative(d.commonArea, 100.0);
      EXPECT_EQ(d.cut, 0.0);
      EXPECT_EQ(d.cutArea, 0.0);
      EXPECT_EQ(d.firstOutside, 0.0);
      EXPECT_EQ(d.secondOutside, 0.0);
      EXPECT_EQ(d.levelArea, 0.0);
      expectRelative(d.net, 100.0);
    }
  }
}

TEST(SurfaceDifference, CrossingPlanesCutAndFillTwoEqualWedges) {
  const Height slope = [](double x, double) { return x - 50.0; };
  const Surface a = scattered(0, 0, 100, 100, 300, 11, flat);
  for (const Surface& b : {lattice(0, 0, 100, 100, 7, 9, true, slope), scattered(0, 0, 100, 100, 250, 12, slope)}) {
    const SurfaceDifference d = compare(a, b);
    expectRelative(d.cut, 125000.0);
    expectRelative(d.fill, 125000.0);
    expectRelative(d.cutArea, 5000.0);
    expectRelative(d.fillArea, 5000.0);
    EXPECT_NEAR(d.net, 0.0, 1e-9 * 125000.0);
    const SurfaceDifference back = compare(b, a);
    expectRelative(back.cut, d.fill);
    expectRelative(back.fillArea, d.cutArea);
  }
}

TEST(SurfaceDifference, PyramidOnAFlatSurveyIsAThirdOfBaseTimesHeight) {
  // The pyramid's four faces over [20, 80]^2, apex 12 high, ringed by flat
  // ground out to [0, 100]^2.
  Surface pyramid;
  pyramid.vertices = {{0, 0, 0},   {100, 0, 0},  {100, 100, 0}, {0, 100, 0},  {20, 20, 0},
                      {80, 20, 0}, {80, 80, 0},  {20, 80, 0},   {50, 50, 12}};
  pyramid.corners = {4, 5, 8, 5, 6, 8, 6, 7, 8, 7, 4, 8, 0, 1, 5, 0, 5, 4, 1, 2, 6,
                     1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7};
  const Surface ground = scattered(0, 0, 100, 100, 400, 21, flat);
  const SurfaceDifference d = compare(ground, pyramid);
  expectRelative(d.fill, 60.0 * 60.0 * 12.0 / 3.0);
  expectRelative(d.fillArea, 3600.0);
  EXPECT_EQ(d.cut, 0.0);
  expectRelative(d.levelArea, 10000.0 - 3600.0);
  const SurfaceDifference back = compare(pyramid, ground);
  expectRelative(back.cut, 14400.0);
  expectRelative(back.cutArea, 3600.0);
}

TEST(SurfaceDifference, PartialOverlapReportsBothOutsideAreasAndHolesAreLeftOut) {
  const Height one = [](double, double) { return 1.0; };
  Surface a = lattice(0, 0, 10, 10, 5, 5, true, flat);
  const Surface b = scattered(5, 0, 15, 10, 100, 3, one);
  SurfaceDifference d = compare(a, b);
  expectRelative(d.commonArea, 50.0);
  expectRelative(d.fill, 50.0);
  expectRelative(d.firstOutside, 50.0);
  expectRelative(d.secondOutside, 50.0);
  // A hole: the two triangles of the lattice cell [6, 8] x [4, 6] left
  // out, plus a triangle without area and one naming no vertex.
  a.kept.assign(a.corners.size() / 3, 1);
  a.kept[2 * (2 * 5 + 3)] = a.kept[2 * (2 * 5 + 3) + 1] = 0;
  a.corners.insert(a.corners.end(), {0, 1, 2, 0, 1, 999});
  a.kept.insert(a.kept.end(), {1, 1});
  d = compare(a, b);
  expectRelative(d.commonArea, 46.0);
  expectRelative(d.fill, 46.0);
  expectRelative(d.firstArea, 96.0);
}

TEST(SurfaceDifference, SurfacesThatOnlyTouchOrLieApartShareNoArea) {
  const Surface a = lattice(0, 0, 10, 10, 4, 4, true, flat);
  for (const Surface& b : {lattice(10, 0, 20, 10, 3, 5, false, flat), scattered(10, -5, 30, 10, 60, 5, flat),
                           lattice(5368709118.0, 5368709118.0, 5368709128.0, 5368709128.0, 1, 1, true, flat)}) {
    const SurfaceDifference d = compare(a, b, differenceApart);
    EXPECT_EQ(d.commonArea, 0.0);
    EXPECT_EQ(d.firstOutside, d.firstArea);
    EXPECT_EQ(d.secondOutside, d.secondArea);
  }
  Surface none = a;
  none.kept.assign(none.corners.size() / 3, 0);
  compare(a, none, differenceApart);
}

namespace {

// The surface's height at (x, y) by the barycentric coordinates of the
// first of its triangles that holds the point (to rounding, as points on
// an edge are); false when none does.
bool heightAt(const Surface& s, double x, double y, double* z) {
  for (size_t t = 0; t < s.corners.size(); t += 3) {
    const ExportVertex& a = s.vertices[static_cast<size_t>(s.corners[t])];
    const ExportVertex& b = s.vertices[static_cast<size_t>(s.corners[t + 1])];
    const ExportVertex& c = s.vertices[static_cast<size_t>(s.corners[t + 2])];
    const double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (det == 0.0) continue;
    const double u = ((b.x - x) * (c.y - y) - (c.x - x) * (b.y - y)) / det;
    const double v = ((c.x - x) * (a.y - y) - (a.x - x) * (c.y - y)) / det;
    const double w = 1.0 - u - v;
    if (u >= -1e-12 && v >= -1e-12 && w >= -1e-12) {
      *z = u * a.z + v * b.z + w * c.z;
      return true;
    }
  }
  return false;
}

// Cut and fill by the midpoint rule on n by n cells over the box.
void sampledCutFill(const Surface& a, const Surface& b, double x0, double y0, double x1, double y1, int32_t n,
                    double* cut, double* fill) {
  *cut = *fill = 0.0;
  const double w = (x1 - x0) / n, h = (y1 - y0) / n;
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < n; ++i) {
      const double x = x0 + (i + 0.5) * w, y = y0 + (j + 0.5) * h;
      double za = 0.0, zb = 0.0;
      if (!heightAt(a, x, y, &za) || !heightAt(b, x, y, &zb)) continue;
      (zb > za ? *fill : *cut) += std::fabs(zb - za) * w * h;
    }
  }
}

// Volume above z = 0 of the whole surface, face by face.
double volumeAboveZero(const Surface& s) {
  double volume = 0.0;
  for (size_t t = 0; t < s.corners.size(); t += 3) {
    const ExportVertex& a = s.vertices[static_cast<size_t>(s.corners[t])];
    const ExportVertex& b = s.vertices[static_cast<size_t>(s.corners[t + 1])];
    const ExportVertex& c = s.vertices[static_cast<size_t>(s.corners[t + 2])];
    volume += std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2.0 * (a.z + b.z + c.z) / 3.0;
  }
  return volume;
}

}  // namespace

TEST(SurfaceDifference, FineSamplingOfCurvedSurfacesConvergesToTheExactFigures) {
  const Height wave = [](double x, double y) { return std::sin(x) * std::cos(y); };
  const Height tilted = [](double x, double y) { return 0.3 * x - 0.4 * y + 0.1; };
  const Surface a = scattered(0, 0, 3, 3, 60, 31, wave);
  const Surface b = scattered(0, 0, 3, 3, 50, 32, tilted);
  const SurfaceDifference d = compare(a, b);
  ASSERT_GT(d.cut, 0.1);
  ASSERT_GT(d.fill, 0.1);
  double previous = 1e300;
  for (const int32_t n : {40, 160, 640}) {
    double cut = 0.0, fill = 0.0;
    sampledCutFill(a, b, 0, 0, 3, 3, n, &cut, &fill);
    const double error = std::fabs(cut - d.cut) + std::fabs(fill - d.fill);
    EXPECT_LT(error, previous / 2.0) << n;
    previous = error;
  }
  EXPECT_LT(previous, 1e-4 * (d.cut + d.fill));
}

TEST(SurfaceDifference, NetOfRandomSurveysIsTheDifferenceOfTheirVolumes) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(-3.0, 3.0);
    const double p = u(random), q = u(random);
    const Height hill = [=](double x, double y) { return 100.0 + p * std::sin(x / 7.0) + q * std::cos(y / 5.0); };
    const Height other = [=](double x, double y) { return 100.0 + q * std::sin(y / 9.0) - p * std::cos(x / 4.0); };
    const Surface a = scattered(0, 0, 40, 30, 300, seed * 2, hill);
    const Surface b = seed % 2 == 0 ? scattered(0, 0, 40, 30, 200, seed * 2 + 1, other)
                                    : lattice(0, 0, 40, 30, 17, 13, seed % 3 == 0, other);
    const SurfaceDifference d = compare(a, b);
    expectRelative(d.commonArea, 1200.0);
    EXPECT_NEAR(d.fill - d.cut, volumeAboveZero(b) - volumeAboveZero(a), 1e-9 * volumeAboveZero(a));
    const SurfaceDifference back = compare(b, a);
    EXPECT_NEAR(back.cut, d.fill, 1e-9 * d.fill);
    EXPECT_NEAR(back.cutArea, d.fillArea, 1e-9 * 1200.0);
    EXPECT_NEAR(d.cutArea + d.fillArea + d.levelArea, d.commonArea, 1e-9 * 1200.0);
  }
}

TEST(SurfaceDifference, AFanOfLongTrianglesOverALatticeFillsItsPolygon) {
  // 400 triangles from the centre to a circle of radius 40: every one
  // reaches across many cells of any grid sized from their count.
  Surface fan;
  const int32_t sides = 400;
  fan.vertices.push_back({50, 50, 1});
  for (int32_t k = 0; k < sides; ++k) {
    const double angle = 2.0 * std::numbers::pi * k / sides;
    fan.vertices.push_back({50 + 40 * std::cos(angle), 50 + 40 * std::sin(angle), 1});
    fan.corners.insert(fan.corners.end(), {0, 1 + k, 1 + (k + 1) % sides});
  }
  const double polygon = sides / 2.0 * 40.0 * 40.0 * std::sin(2.0 * std::numbers::pi / sides);
  const SurfaceDifference d = compare(lattice(0, 0, 100, 100, 37, 41, true, flat), fan);
  expectRelative(d.fill, polygon);
  expectRelative(d.commonArea, polygon);
  expectRelative(d.firstOutside, 10000.0 - polygon);
  EXPECT_EQ(d.secondOutside, 0.0);
}

TEST(SurfaceDifference, OnePlaneSampledTwiceIsLevelEverywhere) {
  const Height plane = [](double x, double y) { return 250.0 + 0.02 * x + 0.01 * y; };
  const Surface a = scattered(512000, 5403000, 512120, 5403080, 300, 41, plane);
  for (const Surface& b : {a, lattice(512000, 5403000, 512120, 5403080, 13, 9, false, plane)}) {
    const SurfaceDifference d = compare(a, b);
    expectRelative(d.levelArea, 9600.0);
    EXPECT_EQ(d.cut, 0.0);
    EXPECT_EQ(d.fill, 0.0);
    EXPECT_EQ(d.cutArea + d.fillArea, 0.0);
  }
}
