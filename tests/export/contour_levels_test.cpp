// Contour levels are the decimal values asked for, and a base too far from
// the surface for exact levels is refused rather than drawn wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/products/contours.h"
#include "export/read/mesh_file.h"
#include "export/surface/build.h"
#include "test_support.h"

TEST(ContourLevels, DecimalStepsGiveTheDecimalLevels) {
  std::vector<ExportContourLevel> levels;
  ASSERT_EQ(contourLevels(100.0, 100.55, 0.1, 0.0, 5, &levels), contourOk);
  ASSERT_EQ(levels.size(), 5u);
  const double expected[] = {100.1, 100.2, 100.3, 100.4, 100.5};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(levels[i].elevation, expected[i]) << i;
  EXPECT_TRUE(levels[4].index && !levels[3].index);  // 1005 tenths from the base

  ASSERT_EQ(contourLevels(0.0, 0.35, 0.1, 0.0, 5, &levels), contourOk);
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[2].elevation, 0.3);
  // A base off the grid of steps, and below zero.
  ASSERT_EQ(contourLevels(-1.0, 0.0, 0.25, 0.05, 2, &levels), contourOk);
  ASSERT_EQ(levels.size(), 4u);
  EXPECT_EQ(levels[0].elevation, -0.95);
  EXPECT_EQ(levels[3].elevation, -0.2);
  EXPECT_TRUE(levels[0].index && !levels[1].index && levels[2].index);

  EXPECT_EQ(contourLevels(90.0, 200.0, 100.0, 1e17, 5, &levels), contourBaseTooFar);
  EXPECT_EQ(contourLevels(90.0, 200.0, 100.0, 1e300, 5, &levels), contourBaseTooFar);
  EXPECT_EQ(contourLevels(90.0, 200.0, 100.0, -7e11, 5, &levels), contourOk);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].elevation, 100.0);
}

TEST(ContourLevels, APitAtALevelDrawsNoSpeckAndATerraceIsTracedOnItsLevel) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/pit.tsv", "pit.csv\n0 0 0.5\n10 0 0.5\n10 10 0.5\n0 10 0.5\n5 5 0.3\n");
  ExportMesh surface;
  ExportReadError error;
  SurfaceSource source;
  const std::string path = dir + "/pit.tsv";
  source.path = path.c_str();
  source.edges = true;
  ASSERT_TRUE(buildSurface(source, &surface, &error, nullptr)) << error.message;
  ExportContours contours;
  ASSERT_EQ(traceContours(surface, surface.edges, 0.1, 5, 0.0, &contours, nullptr), contourOk);
  // 0.4 and 0.5: the pit's vertex lies exactly on 0.3, which counts as
  // above it, so 0.3 draws nothing (not a speck around the vertex); 0.4 is
  // one loop around the pit, 0.5 the rim through the four corners.
  ASSERT_EQ(contours.levels.size(), 2u);
  EXPECT_EQ(contours.levels[0].elevation, 0.4);
  EXPECT_EQ(contours.levels[0].lineCount, 1);
  EXPECT_TRUE(contours.lines[0].closed);
  EXPECT_EQ(contours.levels[1].lineCount, 1);
  EXPECT_EQ(contours.lines[1].pointCount, 4);

  writeFile(dir + "/far.tsv", "far.csv\n0 0 100\n10 0 150\n0 10 200\n");
  const ProcessResult far = runProgram(TSVMESH_EXPORT_BINARY,
                                       {"tsvmesh-export", "far.tsv", "far.dxf", "far.obj", "--contour", "100",
                                        "--contour-base", "1e17"},
                                       dir, "", 60);
  EXPECT_EQ(far.status, 1);
  EXPECT_EQ(far.err, "tsvmesh-export: --contour-base 1e+17 is too far from the surface's heights (100.00 and "
                     "200.00) for levels every 100; choose a base nearer to them\n");
  EXPECT_FALSE(fileExists(dir + "/far.dxf"));
  EXPECT_TRUE(fileExists(dir + "/far.obj"));
}
