// Long sections: the exact side-of-line test on nearly collinear points,
// sections with known answers (a plane gives its own heights, a pyramid
// breaks at its edges, a gap in the surface is left out), a brute-force
// check that every station is an edge crossing and none is missed, and
// the .csv output of the tool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "export/products/exact_orientation.h"
#include "export/products/profile.h"
#include "export/read/mesh_file.h"
#include "export/read/polylines.h"
#include "export/surface/build.h"
#include "export_run.h"
#include "test_support.h"

namespace {

ExportMesh surfaceOf(const std::string& pointsText) {
  const std::string path = makeScratchDir() + "/points.tsv";
  writeFile(path, "points.csv\n" + pointsText);
  SurfaceSource source;
  source.path = path.c_str();
  ExportMesh surface;
  ExportReadError error;
  EXPECT_TRUE(buildSurface(source, &surface, &error, nullptr)) << error.message;
  return surface;
}

PolylineSet polylinesOf(const std::string& text) {
  PolylineSet set;
  ExportReadError error;
  EXPECT_TRUE(readPolylineText(text.data(), text.size(), &set, &error)) << error.message;
  return set;
}

std::vector<ProfileStation> stationsOf(const ExportProfile& profile, size_t stretch) {
  const ProfileStretch& s = profile.stretches[stretch];
  return std::vector<ProfileStation>(profile.stations.begin() + s.firstStation,
                                     profile.stations.begin() + s.firstStation + s.stationCount);
}

// The pyramid of height 10 over the square [0, 10]^2: four faces meeting
// at its apex (5, 5).
const char* const pyramid = "0 0 0\n10 0 0\n10 10 0\n0 10 0\n5 5 10\n";

}  // namespace

TEST(ProfileTest, SideOfLineIsExactForPointsAnUlpOffTheLine) {
  // a = (0.5 + i u, 0.5 + j u) against the line through (12, 12) and
  // (24, 24): the determinant is 12 (j - i) u, whose sign plain doubles
  // get wrong for many i, j.
  const double u = std::ldexp(1.0, -53);
  for (int32_t i = 0; i < 32; ++i) {
    for (int32_t j = 0; j < 32; ++j) {
      const int32_t expected = j > i ? 1 : j < i ? -1 : 0;
      EXPECT_EQ(orientationSign(0.5 + i * u, 0.5 + j * u, 12, 12, 24, 24), expected) << i << " " << j;
      EXPECT_EQ(orientationSign(12, 12, 24, 24, 0.5 + i * u, 0.5 + j * u), expected) << i << " " << j;
    }
  }
  EXPECT_EQ(orientationSign(0, 0, 1, 0, 0, 1), 1);
  EXPECT_EQ(orientationSign(0, 0, 1, 0, 0, -1), -1);
  EXPECT_EQ(orientationSign(1e90, 1e90, -1e90, -1e90, 3e89, 3e89), 0);
}

TEST(ProfileTest, PyramidBreaksAtItsEdgesAndStartsWhereTheSurfaceDoes) {
  const ExportMesh surface = surfaceOf(pyramid);
  ASSERT_EQ(surface.triangleCount, 4);
  ExportProfile profile;
  // From x = -5 (off the surface) to 9 along y = 3: the section starts at
  // the edge x = 0, chainage 5; the south face is z = 2y = 6 between the
  // apex's edges at x = 3 and 7; the east face is z = 2 (10 - x).
  traceProfiles(surface, polylinesOf("-5 3\n9 3\n"), &profile);
  ASSERT_EQ(profile.stretches.size(), 1u);
  const std::vector<ProfileStation> s = stationsOf(profile, 0);
  ASSERT_EQ(s.size(), 4u);
  const double expected[4][4] = {{5, 0, 3, 0}, {8, 3, 3, 6}, {12, 7, 3, 6}, {14, 9, 3, 2}};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_NEAR(s[k].chainage, expected[k][0], 1e-12) << k;
    EXPECT_NEAR(s[k].x, expected[k][1], 1e-12) << k;
    EXPECT_EQ(s[k].y, 3.0) << k;
    EXPECT_NEAR(s[k].z, expected[k][3], 1e-12) << k;
  }
  // Through the apex: a station at the apex itself, its height exactly.
  traceProfiles(surface, polylinesOf("1 1\n9 9\n"), &profile);
  ASSERT_EQ(profile.stretches.size(), 1u);
  const std::vector<ProfileStation> diagonal = stationsOf(profile, 0);
  ASSERT_EQ(diagonal.size(), 3u);
  EXPECT_EQ(diagonal[1].x, 5.0);
  EXPECT_EQ(diagonal[1].z, 10.0);
  EXPECT_NEAR(diagonal[2].z, 2.0, 1e-12);
  // A polyline that never meets it.
  traceProfiles(surface, polylinesOf("20 20\n30 30\n\n1 1\n2 1\n"), &profile);
  EXPECT_EQ(profile.missed, (std::vector<int32_t>{0}));
  ASSERT_EQ(profile.stretches.size(), 1u);
  EXPECT_EQ(profile.stretches[0].polyline, 1);
}

TEST(ProfileTest, PlaneGivesItsOwnHeightsAtEveryEdgeCrossing) {
  // A jittered lattice on the plane z = 2x + 3y + 1, every number a
  // multiple of 1/64 and so exact in the file.
  std::string points;
  for (int32_t i = 0; i <= 12; ++i) {
    for (int32_t j = 0; j <= 12; ++j) {
      const double x = i + ((i * 7 + j * 3) % 37 - 18) / 64.0, y = j + ((i * 5 + j * 11) % 31 - 15) / 64.0;
      char row[96];
      std::snprintf(row, sizeof row, "%.6f %.6f %.6f\n", x, y, 2 * x + 3 * y + 1);
      points += row;
    }
  }
  const ExportMesh surface = surfaceOf(points);
  ExportProfile profile;
  traceProfiles(surface, polylinesOf("0.5 1.25\n10.5 8.75\n3 10.5\n"), &profile);
  ASSERT_EQ(profile.stretches.size(), 1u);
  const std::vector<ProfileStation> s = stationsOf(profile, 0);
  const double first = std::hypot(10.0, 7.5), total = first + std::hypot(7.5, 1.75);
  EXPECT_EQ(s.front().chainage, 0.0);
  EXPECT_NEAR(s.back().chainage, total, 1e-12);
  // Brute force over every edge: each station but the polyline's vertices
  // lies on an edge, and no edge crosses between two stations.
  std::vector<std::pair<int32_t, int32_t>> edges;
  for (int32_t f = 0; f < surface.triangleCount; ++f) {
    for (int32_t c = 0; c < 3; ++c) edges.push_back({surface.corners[f * 3 + c], surface.corners[f * 3 + (c + 1) % 3]});
  }
  const auto side = [](const ExportVertex& a, const ExportVertex& b, double x, double y) {
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
  };
  size_t crossings = 0;
  for (size_t k = 0; k < s.size(); ++k) {
    EXPECT_NEAR(s[k].z, 2 * s[k].x + 3 * s[k].y + 1, 1e-9) << k;
    const double along = s[k].chainage <= first ? std::hypot(s[k].x - 0.5, s[k].y - 1.25)
                                                : first + std::hypot(s[k].x - 10.5, s[k].y - 8.75);
    EXPECT_NEAR(s[k].chainage, along, 1e-9) << k;
    if (k > 0) {
      EXPECT_GT(s[k].chainage, s[k - 1].chainage) << k;
    }
    bool onEdge = false;
    for (const auto& [u, w] : edges) {
      const ExportVertex &a = surface.vertices[u], &b = surface.vertices[w];
      const double length = std::hypot(b.x - a.x, b.y - a.y);
      onEdge = onEdge || (std::fabs(side(a, b, s[k].x, s[k].y)) < 1e-9 * length &&
                          std::min(a.x, b.x) - 1e-9 <= s[k].x && s[k].x <= std::max(a.x, b.x) + 1e-9);
      if (k == 0) continue;
      // An edge strictly between stations k - 1 and k would cross their step.
      const ExportVertex p{s[k - 1].x, s[k - 1].y, 0}, q{s[k].x, s[k].y, 0};
      const double sa = side(p, q, a.x, a.y), sb = side(p, q, b.x, b.y);
      const double sp = side(a, b, p.x, p.y), sq = side(a, b, q.x, q.y);
      const double tiny = 1e-9 * length;
      EXPECT_FALSE(sa * sb < 0 && ((sp > tiny && sq < -tiny) || (sp < -tiny && sq > tiny))) << k;
    }
    crossings += onEdge ? 1 : 0;
  }
  EXPECT_GE(crossings, s.size() - 3);  // all but the polyline's three vertices
  EXPECT_TRUE(s.front().x == 0.5 && s.front().y == 1.25 && s.back().x == 3.0 && s.back().y == 10.5);
  size_t corners = 0;
  for (const ProfileStation& station : s) corners += station.x == 10.5 && station.y == 8.75 ? 1 : 0;
  EXPECT_EQ(corners, 1u);
  EXPECT_GT(s.size(), 20u);
}

// Polylines between lattice points run through vertices and along edges
// again and again: whatever the rounding, the section over a surface
// without holes is one stretch, its chainage rising, its heights those of
// the plane z = x + 2y.
TEST(ProfileTest, PolylinesThroughVerticesAndAlongEdgesGiveOneUnbrokenSection) {
  std::string points;
  for (int32_t i = 0; i <= 8; ++i) {
    for (int32_t j = 0; j <= 8; ++j) {
      points += std::to_string(i) + " " + std::to_string(j) + " " + std::to_string(i + 2 * j) + "\n";
    }
  }
  const ExportMesh surface = surfaceOf(points);
  uint32_t seed = 12345;
  const auto next = [&seed](int32_t low, int32_t high) {
    seed = seed * 1103515245u + 12345u;
    return low + static_cast<int32_t>((seed >> 16) % static_cast<uint32_t>(high - low + 1));
  };
  for (int32_t trial = 0; trial < 200; ++trial) {
    std::string text;
    for (int32_t v = next(2, 6); v > 0; --v) {
      text += std::to_string(next(1, 7)) + " " + std::to_string(next(1, 7)) + "\n";
    }
    ExportProfile profile;
    traceProfiles(surface, polylinesOf(text), &profile);
    ASSERT_EQ(profile.stretches.size(), 1u) << text;
    const std::vector<ProfileStation> s = stationsOf(profile, 0);
    for (size_t k = 0; k < s.size(); ++k) {
      EXPECT_NEAR(s[k].z, s[k].x + 2 * s[k].y, 1e-12) << text;
      if (k > 0) {
        EXPECT_GT(s[k].chainage, s[k - 1].chainage) << text;
      }
    }
  }
}

TEST(ProfileTest, GapsInTheSurfaceAreLeftOutAndTheChainageGoesOn) {
  // Two unit squares 2 apart, each of two faces pointing up.
  ExportMesh surface;
  surface.vertices = {{0, 0, 1}, {1, 0, 1}, {1, 1, 2}, {0, 1, 2}, {3, 0, 5}, {4, 0, 5}, {4, 1, 5}, {3, 1, 5}};
  surface.vertexCount = 8;
  surface.corners = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
  surface.triangleCount = 4;
  surface.bounds = {0, 0, 1, 4, 1, 5};
  ExportProfile profile;
  traceProfiles(surface, polylinesOf("-1 0.5\n5 0.5\n"), &profile);
  ASSERT_EQ(profile.stretches.size(), 2u);
  const std::vector<ProfileStation> a = stationsOf(profile, 0), b = stationsOf(profile, 1);
  ASSERT_EQ(a.size(), 3u);  // x = 0, the diagonal at 0.5, 1
  EXPECT_EQ(a[0].chainage, 1.0);
  EXPECT_EQ(a[1].z, 1.5);
  EXPECT_EQ(a[2].chainage, 2.0);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b[0].chainage, 4.0);
  EXPECT_EQ(b[2].chainage, 5.0);
  EXPECT_EQ(b[2].z, 5.0);
}

TEST(ProfileTest, CsvHoldsEverySectionAndItsGaps) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/pyramid.tsv", std::string("pyramid.csv\n") + pyramid);
  writeFile(dir + "/line.txt", "-5 3\n9 3\n\n20 20 1\n30 30 1\n\n5 1\n5 4\n");
  const ProcessResult run = runExport({"pyramid.tsv", "section.csv", "--profile", "line.txt"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "tsvmesh-export: note: line.txt:4: this polyline misses the surface; its section is empty\n");
  EXPECT_EQ(readFile(dir + "/section.csv"),
            "chainage,easting,northing,elevation\n5,0,3,0\n8,3,3,6\n12,7,3,6\n14,9,3,2\n\n\n0,5,1,2\n3,5,4,8\n");

  const ProcessResult noProfile = runExport({"pyramid.tsv", "s.csv"}, dir);
  EXPECT_EQ(noProfile.status, 2);
  EXPECT_EQ(noProfile.err.find("tsvmesh-export: a .csv long section needs --profile FILE\n"), 0u);
  EXPECT_EQ(runExport({"pyramid.tsv", "s.ply", "--profile", "line.txt"}, dir).status, 2);
  writeFile(dir + "/line.csv", "0 0\n1 1\n");
  const ProcessResult same = runExport({"pyramid.tsv", "line.csv", "--profile", "line.csv"}, dir);
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.err, "tsvmesh-export: line.csv is the --profile file; choose another output name\n");
  EXPECT_EQ(readFile(dir + "/line.csv"), "0 0\n1 1\n");
  writeFile(dir + "/bad.txt", "0 0\n1 x\n");
  const ProcessResult bad = runExport({"pyramid.tsv", "s.csv", "--profile", "bad.txt"}, dir);
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.find("tsvmesh-export: bad.txt:2: "), 0u) << bad.err;
  EXPECT_FALSE(fileExists(dir + "/s.csv"));
  writeFile(dir + "/far.txt", "0 0\n1e300 1\n");
  const ProcessResult far = runExport({"pyramid.tsv", "s.csv", "--profile", "far.txt"}, dir);
  EXPECT_EQ(far.status, 1);
  EXPECT_EQ(far.err, "tsvmesh-export: far.txt:2: expected coordinates within -1e90 .. 1e90\n");
}
