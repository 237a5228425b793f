#include "output/triangle_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

std::string captureBlocks(const std::string& path, const std::vector<MeshPoint>& points,
                          const std::vector<MeshTriangle>& triangles, int32_t count, int32_t* status) {
  MeshTriangleFile file;
  EXPECT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  testing::internal::CaptureStdout();
  *status = writeTriangleBlocks(&file, points.data(), nullptr, triangles.data(), count);
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  closeTriangleFile(&file);
  return out;
}

}  // namespace

TEST(TriangleFile, WritesTheWorkedExampleAndReportsTheCount) {
  const std::string path = makeScratchDir() + "/out.csv";
  const std::vector<MeshPoint> points = {{0, 0, 1.25}, {3, 0, 2}, {0, 4, 0.5}};
  const std::vector<MeshTriangle> triangles = {{0, 1, 2}};
  int32_t status = -1;
  const std::string out = captureBlocks(path, points, triangles, 1, &status);
  EXPECT_EQ(status, triangleFileOk);
  EXPECT_EQ(out, "");  // the count is the driver's to show
  EXPECT_EQ(readFile(path),
            "**************\r\n0.00,0.00,1.25\r\n3.00,0.00,2.00\r\n0.00,4.00,0.50\r\n");
}

TEST(TriangleFile, WritesCornersInOrderAndTrianglesInTableOrder) {
  const std::string path = makeScratchDir() + "/out.csv";
  const std::vector<MeshPoint> points = {{1, -0.5, 0}, {-0.004, 1e20, 7.777}, {2.675, 3, -1}};
  const std::vector<MeshTriangle> triangles = {{2, 0, 1}, {1, 2, 0}};
  int32_t status = -1;
  captureBlocks(path, points, triangles, 2, &status);
  EXPECT_EQ(status, triangleFileOk);
  EXPECT_EQ(readFile(path),
            "**************\r\n"
            "2.67,3.00,-1.00\r\n1.00,-0.50,0.00\r\n-0.00,100000000000000000000.00,7.78\r\n"
            "-0.00,100000000000000000000.00,7.78\r\n2.67,3.00,-1.00\r\n1.00,-0.50,0.00\r\n");
}

TEST(TriangleFile, EmptiesAnExistingFileAndWritesOnlyThePlaceholderForNoTriangles) {
  const std::string path = makeScratchDir() + "/out.csv";
  writeFile(path, std::string(100000, 'x'));
  for (int32_t count : {0, -7}) {
    int32_t status = -1;
    const std::string out = captureBlocks(path, {}, {}, count, &status);
    EXPECT_EQ(status, triangleFileOk);
    EXPECT_EQ(out, "");
    EXPECT_EQ(readFile(path), "**************\r\n");
  }
}

TEST(TriangleFile, ReportsOpenAndWriteFailures) {
  MeshTriangleFile file;
  EXPECT_EQ(createTriangleFile((makeScratchDir() + "/missing/out.csv").c_str(), &file),
            triangleFileOpenFailed);

  if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(createTriangleFile("/dev/full", &file), triangleFileOk);
  const std::vector<MeshPoint> points = {{0, 0, 1.25}, {3, 0, 2}, {0, 4, 0.5}};
  const std::vector<MeshTriangle> triangles(5000, MeshTriangle{0, 1, 2});
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTriangleBlocks(&file, points.data(), nullptr, triangles.data(), 5000), triangleFileWriteFailed);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(closeTriangleFile(&file), triangleFileWriteFailed);
  EXPECT_EQ(closeTriangleFile(&file), triangleFileWriteFailed);  // a second close is harmless
  EXPECT_EQ(file.handle, noFile);
}

TEST(TriangleFile, ReadsWholeLinesWithoutCarriageReturns) {
  const std::string path = makeScratchDir() + "/out.csv";
  MeshTriangleFile file;
  ASSERT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  // Longer than any buffer, so it must be joined across refills.
  const std::string longLine(3 * 1024 * 1024 + 17, '7');
  const std::string bytes = "first\r\n\r\nmid\rdle\n" + longLine + "\r\nlast";
  ASSERT_EQ(writeToFile(file.handle, bytes.data(), bytes.size()), true);
  ASSERT_EQ(rewindTriangleFile(&file), triangleFileOk);

  std::string line = "stale";
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "first");
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "");
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "middle");
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_TRUE(line == longLine) << line.size();
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(readTriangleFileLine(&file, &line));

  // A rewind starts the reading over from byte 0.
  ASSERT_EQ(rewindTriangleFile(&file), triangleFileOk);
  EXPECT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "first");
  EXPECT_EQ(closeTriangleFile(&file), triangleFileOk);
}

TEST(TriangleFile, RewindFlushesPendingBlocksBeforeReading) {
  const std::string path = makeScratchDir() + "/out.csv";
  MeshTriangleFile file;
  ASSERT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  std::vector<MeshPoint> points;
  std::vector<MeshTriangle> triangles;
  for (int32_t i = 0; i < 30000; ++i) {
    points.push_back({i + 0.25, -i - 0.5, 1e6 + i});
    triangles.push_back({i, i, i});
  }
  testing::internal::CaptureStdout();
  ASSERT_EQ(writeTriangleBlocks(&file, points.data(), nullptr, triangles.data(), 30000), triangleFileOk);
  std::fflush(stdout);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(rewindTriangleFile(&file), triangleFileOk);
  std::string line;
  ASSERT_TRUE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(line, "**************");
  for (int32_t i = 0; i < 30000; ++i) {
    char expected[80];
    std::snprintf(expected, sizeof expected, "%.2f,%.2f,%.2f", i + 0.25, -i - 0.5, 1e6 + i);
    for (int corner = 0; corner < 3; ++corner) {
      ASSERT_TRUE(readTriangleFileLine(&file, &line));
      ASSERT_EQ(line, expected);
    }
  }
  EXPECT_FALSE(readTriangleFileLine(&file, &line));
  EXPECT_EQ(closeTriangleFile(&file), triangleFileOk);
}

// Blocks copied from the points' preformatted lines are the bytes of blocks
// formatted as they are written: short lines, lines too long for one fixed
// copy, and points past the budget, which stop the preformatting early.
TEST(TriangleFile, PreformattedLinesGiveTheSameBytes) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> small(-1000.0, 1000.0);
  std::vector<MeshPoint> points(2000);
  for (size_t k = 0; k < points.size(); ++k) {
    points[k] = {small(random), small(random), small(random)};
    if (k % 7 == 3) points[k].x = 1e300 * small(random);  // a line of over 300 characters
    if (k >= 1900) points[k].y = -1e200;                   // the budget runs out here
  }
  std::vector<MeshTriangle> triangles(6000);
  std::uniform_int_distribution<int32_t> corner(0, 1999);
  for (MeshTriangle& t : triangles) t = {corner(random), corner(random), corner(random)};

  MeshPointLines lines;
  formatPointLines(points.data(), static_cast<int32_t>(points.size()), &lines);
  EXPECT_GT(lines.count, 100);
  EXPECT_LT(lines.count, 2000);
  const std::string dir = makeScratchDir();
  int32_t status = -1;
  captureBlocks(dir + "/plain.csv", points, triangles, 6000, &status);
  EXPECT_EQ(status, triangleFileOk);
  MeshTriangleFile file;
  ASSERT_EQ(createTriangleFile((dir + "/copied.csv").c_str(), &file), triangleFileOk);
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTriangleBlocks(&file, points.data(), &lines, triangles.data(), 6000), triangleFileOk);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(closeTriangleFile(&file), triangleFileOk);
  releasePointLines(&lines);
  EXPECT_EQ(readFile(dir + "/copied.csv"), readFile(dir + "/plain.csv"));
}
