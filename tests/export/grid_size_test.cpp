// A grid's cell count is decided in doubles, so that surfaces however far
// apart meet the cap with a message instead of a wrapped 64-bit product;
// and the difference grid of two surfaces.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/products/difference_grid.h"
#include "export/products/elevation_grid.h"
#include "export/read/mesh_file.h"
#include "export_run.h"
#include "test_support.h"

namespace {

// A points file of one unit triangle with its corner at (x, y).
std::string triangleAt(const std::string& name, const std::string& x, const std::string& y, const std::string& x1,
                       const std::string& y1) {
  return name + ".csv\n" + x + " " + y + " 1\n" + x1 + " " + y + " 1\n" + x + " " + y1 + " 1\n";
}

}  // namespace

TEST(GridSize, ComparingSurveysFarApartEndsWithAMessageAndNoReport) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/near.tsv", triangleAt("near", "0", "0", "1", "1"));
  writeFile(dir + "/far.tsv", triangleAt("far", "5368709118", "5368709118", "5368709119", "5368709119"));
  writeFile(dir + "/east.tsv", triangleAt("east", "2250000000000000", "2250000000000000", "2250000000000001",
                                          "2250000000000001"));
  writeFile(dir + "/west.tsv", triangleAt("west", "-2250000000000000", "-2250000000000000", "-2249999999999999",
                                          "-2249999999999999"));
  for (const auto& pair : {std::vector<std::string>{"near.tsv", "far.tsv"}, {"west.tsv", "east.tsv"}}) {
    // The exact report and the difference grid alike.
    const ProcessResult run = runExport({pair[0], "r.txt", "r.asc", "--compare", pair[1], "--cell", "1"}, dir);
    EXPECT_EQ(run.status, 1) << pair[1] << run.err;
    EXPECT_NE(run.err.find("do not overlap"), std::string::npos) << run.err;
    EXPECT_FALSE(fileExists(dir + "/r.txt"));
    EXPECT_FALSE(fileExists(dir + "/r.asc"));
  }
}

namespace {

// A lattice surface of n by n cells over [x0, x0 + side] x [0, side] with
// height z = slope * x + lift.
ExportMesh squareMesh(double x0, double side, int32_t n, double slope, double lift) {
  ExportMesh mesh;
  for (int32_t j = 0; j <= n; ++j) {
    for (int32_t i = 0; i <= n; ++i) {
      const double x = x0 + side * i / n, y = side * j / n;
      mesh.vertices.push_back({x, y, slope * x + lift});
    }
  }
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t a = j * (n + 1) + i;
      mesh.corners.insert(mesh.corners.end(), {a, a + 1, a + n + 2, a, a + n + 2, a + n + 1});
    }
  }
  mesh.triangleCount = static_cast<int32_t>(mesh.corners.size() / 3);
  mesh.vertexCount = static_cast<int32_t>(mesh.vertices.size());
  return mesh;
}

}  // namespace

TEST(DifferenceGrid, HoldsSecondMinusFirstOverTheCommonCentresOnly) {
  const ExportMesh ground = squareMesh(0, 10, 4, 0.0, 0.0);
  const ExportMesh slope = squareMesh(5, 10, 3, 1.0, -7.0);  // z = x - 7 over [5, 15] x [0, 10]
  ExportGridFrame frame;
  std::vector<double> values;
  std::string problem;
  ASSERT_TRUE(sampleDifference(ground, {}, slope, {}, 1.0, &frame, &values, &problem)) << problem;
  // Centres x = 5 .. 10, y = 10 .. 0.
  EXPECT_EQ(frame.firstColumn, 5);
  EXPECT_EQ(frame.columns, 6);
  EXPECT_EQ(frame.topRow, 10);
  EXPECT_EQ(frame.rows, 11);
  for (int32_t r = 0; r < frame.rows; ++r) {
    for (int32_t c = 0; c < frame.columns; ++c) {
      EXPECT_NEAR(values[static_cast<size_t>(r * frame.columns + c)], gridCentreX(frame, c) - 7.0, 1e-12);
    }
  }
  // A hole in the ground: the cell [5, 7.5] x [2.5, 5] left out.
  std::vector<uint8_t> kept(static_cast<size_t>(ground.triangleCount), 1);
  kept[2 * (1 * 4 + 2)] = kept[2 * (1 * 4 + 2) + 1] = 0;
  ASSERT_TRUE(sampleDifference(ground, kept, slope, {}, 1.0, &frame, &values, &problem)) << problem;
  const auto at = [&](double x, double y) {
    return values[static_cast<size_t>((frame.topRow - static_cast<int64_t>(y)) * frame.columns +
                                      (static_cast<int64_t>(x) - frame.firstColumn))];
  };
  EXPECT_TRUE(std::isnan(at(6, 3)));
  EXPECT_TRUE(std::isnan(at(6, 4)));
  EXPECT_EQ(at(6, 6), -1.0);
  EXPECT_EQ(at(9, 3), 2.0);
}

TEST(DifferenceGrid, SurfacesApartOrOnlyFarFromEachOtherAreRefusedOrFramedSmall) {
  const ExportMesh near = squareMesh(0, 10, 2, 0.0, 0.0);
  ExportGridFrame frame;
  std::vector<double> values;
  std::string problem;
  EXPECT_FALSE(sampleDifference(near, {}, squareMesh(5368709118.0, 10, 1, 0.0, 0.0), {}, 1.0, &frame, &values,
                                &problem));
  EXPECT_NE(problem.find("do not overlap"), std::string::npos) << problem;
  // A surface reaching 2.25e15 away still frames only the common part.
  ExportMesh wide = squareMesh(0, 10, 1, 0.0, 1.0);
  wide.vertices[1].x = wide.vertices[3].x = 2.25e15;
  ASSERT_TRUE(sampleDifference(near, {}, wide, {}, 1.0, &frame, &values, &problem)) << problem;
  EXPECT_EQ(frame.columns, 11);
  EXPECT_EQ(frame.rows, 11);
  EXPECT_FALSE(sampleDifference(near, {}, wide, {}, 1e-5, &frame, &values, &problem));
  EXPECT_NE(problem.find("more than the 134217728"), std::string::npos) << problem;
}

// Two level planes 1 m apart over one 10 m square, sampled by different
// points: the fill is 100 m^3 exactly, whatever the two triangulations.
TEST(GridSize, ComparedReportIsExactWithoutACell) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/low.tsv", "low.csv\n0 0 5\n10 0 5\n10 10 5\n0 10 5\n3 7 5\n");
  writeFile(dir + "/high.tsv", "high.csv\n0 0 6\n10 0 6\n10 10 6\n0 10 6\n6 2 6\n8 8 6\n");
  const ProcessResult run = runExport({"low.tsv", "r.json", "r.txt", "--compare", "high.tsv"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string json = readFile(dir + "/r.json");
  EXPECT_NE(json.find("\"commonArea\": 100, \"cut\": 0, \"fill\": 100, \"net\": 100, \"cutArea\": 0, "
                      "\"fillArea\": 100"),
            std::string::npos)
      << json;
  EXPECT_NE(readFile(dir + "/r.txt").find("Fill                      100.000 (high.tsv higher) over an area of 100.000"),
            std::string::npos)
      << readFile(dir + "/r.txt");
}

// 0.3 is three cells of 0.1 in decimal but 2.9999999999999996 in binary:
// the east column and north row on the surface's edge are kept, sampled
// at the edge.
TEST(GridSize, CentresOnTheSurfacesEdgeAreKeptWhateverTheBinaryRounding) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/square.tsv", "square.csv\n0 0 7\n0.3 0 7\n0 0.3 7\n0.3 0.3 7\n");
  const ProcessResult run = runExport({"square.tsv", "g.asc", "--cell", "0.1"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string grid = readFile(dir + "/g.asc");
  EXPECT_NE(grid.find("ncols 4"), std::string::npos) << grid;
  EXPECT_NE(grid.find("nrows 4"), std::string::npos) << grid;
  EXPECT_EQ(grid.substr(grid.find("NODATA_value")), "NODATA_value -9999\n7 7 7 7\n7 7 7 7\n7 7 7 7\n7 7 7 7\n") << grid;
}
