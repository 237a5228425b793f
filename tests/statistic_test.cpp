#include "output/statistic.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "output/triangle_file.h"
#include "test_support.h"

namespace {

struct StatisticRun {
  std::string before;  // the file once the blocks are written
  std::string after;   // the finished file
  MeshSideSum sides{-1, false};
  MeshAverage average{-1, false};
  int32_t sumStatus = -1;
  int32_t summaryStatus = -1;
};

void startCapture() {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
}

// The statistic gives back values; what the console shows is the driver's.
void endCapture() {
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Writes and measures the blocks and writes the summary, as a run does.
// Unless following, the statistic is given a path it cannot follow.
StatisticRun runStatistic(const std::vector<MeshPoint>& points, const std::vector<MeshTriangle>& triangles,
                          bool following = true) {
  StatisticRun run;
  const std::string dir = makeScratchDir();
  const std::string path = dir + "/out.csv";
  MeshTriangleFile file;
  EXPECT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  const int32_t count = static_cast<int32_t>(triangles.size());
  startCapture();
  run.sumStatus = writeAndMeasureBlocks(&file, following ? path.c_str() : dir.c_str(), points.data(), nullptr,
                                        triangles.data(), count, &run.sides);
  run.before = readFile(path);
  run.summaryStatus = writeTriangleSummary(&file, count, run.sides, &run.average);
  endCapture();
  run.after = readFile(path);
  return run;
}

// Reads back a file of the given bytes as if it held count blocks.
StatisticRun runOnText(const std::string& bytes, int32_t count) {
  StatisticRun run;
  const std::string path = makeScratchDir() + "/out.csv";
  MeshTriangleFile file;
  EXPECT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  EXPECT_EQ(writeToFile(file.handle, bytes.data(), bytes.size()), true);
  startCapture();
  run.sumStatus = sumLongestSides(&file, count, &run.sides);
  run.summaryStatus = writeTriangleSummary(&file, count, run.sides, &run.average);
  endCapture();
  return run;
}

// Writes the summary for a chosen count and sum over a file of one block.
StatisticRun runSummary(int32_t count, MeshSideSum sides) {
  StatisticRun run;
  const std::string path = makeScratchDir() + "/out.csv";
  const std::vector<MeshPoint> points = {{0, 0, 1.25}, {3, 0, 2}, {0, 4, 0.5}};
  const MeshTriangle triangle{0, 1, 2};
  MeshTriangleFile file;
  EXPECT_EQ(createTriangleFile(path.c_str(), &file), triangleFileOk);
  startCapture();
  EXPECT_EQ(writeTriangleBlocks(&file, points.data(), nullptr, &triangle, 1), triangleFileOk);
  run.before = readFile(path);
  run.summaryStatus = writeTriangleSummary(&file, count, sides, &run.average);
  endCapture();
  run.after = readFile(path);
  return run;
}

// The longest side of one triangle, measured through the file.
std::string averageOfOne(MeshPoint a, MeshPoint b, MeshPoint c) {
  const StatisticRun run = runStatistic({a, b, c}, {{0, 1, 2}});
  if (run.average.outOfRange) return "out of range";
  return std::to_string(run.average.value);
}

}  // namespace

TEST(IntegerSideLength, TruncatesEachDifferenceBeforeSquaring) {
  EXPECT_EQ(integerSideLength(0, 0, 3, 0), 3);
  EXPECT_EQ(integerSideLength(3, 0, 0, 4), 5);
  EXPECT_EQ(integerSideLength(0, 4, 0, 0), 4);
  EXPECT_EQ(integerSideLength(3.9f, 0, 0, 4.2f), 5);  // dx 3, dy 4
  EXPECT_EQ(integerSideLength(0, 0, 0.99f, 0.99f), 0);
  EXPECT_EQ(integerSideLength(0, 0, 1.5f, 1.5f), 1);   // d2 = 2
  EXPECT_EQ(integerSideLength(0, 0, 3.9f, 0), 3);      // -3.9 counts as 3
  EXPECT_EQ(integerSideLength(1000000.99f, 7, 1000000.0f, 7), 1);
  EXPECT_EQ(integerSideLength(-2.5f, -2.5f, -2.5f, -2.5f), 0);
}

TEST(IntegerSideLength, IsTheIntegerSquareRootUpToThe32BitLimit) {
  EXPECT_EQ(integerSideLength(46340, 296, 0, 0), 46340);  // d2 = 2147483216
  EXPECT_EQ(integerSideLength(0, 0, 46340.99f, 0), 46340);
  EXPECT_EQ(integerSideLength(46340, 297, 0, 0), sideOutOfRange);  // d2 = 2147483809
  EXPECT_EQ(integerSideLength(0, 0, 46341, 0), sideOutOfRange);
  EXPECT_EQ(integerSideLength(0, 0, 0, -46341), sideOutOfRange);

  std::mt19937 rng(11);
  std::uniform_int_distribution<int> coordinate(-16383, 16383);
  for (int i = 0; i < 200000; ++i) {
    const int ax = coordinate(rng), ay = coordinate(rng), bx = coordinate(rng), by = coordinate(rng);
    const int64_t d2 = int64_t{ax - bx} * (ax - bx) + int64_t{ay - by} * (ay - by);
    const int64_t side = integerSideLength(static_cast<float>(ax), static_cast<float>(ay),
                                           static_cast<float>(bx), static_cast<float>(by));
    ASSERT_LE(side * side, d2);
    ASSERT_GT((side + 1) * (side + 1), d2);
  }
  for (int64_t s = 1; s <= 46340; ++s) ASSERT_EQ(integerSideLength(static_cast<float>(s), 0, 0, 0), s);
}

TEST(IntegerSideLength, ReportsDifferencesBeyondRangeWithoutOverflow) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(integerSideLength(nan, 0, 0, 0), sideOutOfRange);
  EXPECT_EQ(integerSideLength(0, 0, 0, nan), sideOutOfRange);
  EXPECT_EQ(integerSideLength(inf, 0, 0, 0), sideOutOfRange);
  EXPECT_EQ(integerSideLength(inf, 0, inf, 0), sideOutOfRange);
  EXPECT_EQ(integerSideLength(FLT_MAX, 0, -FLT_MAX, 0), sideOutOfRange);
  EXPECT_EQ(integerSideLength(0, 3e9f, 0, -3e9f), sideOutOfRange);
  EXPECT_EQ(integerSideLength(FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX), 0);
}

TEST(LongestSideStatistic, WorkedExampleByteForByte) {
  const StatisticRun run = runStatistic({{0, 0, 1.25}, {3, 0, 2}, {0, 4, 0.5}}, {{0, 1, 2}});
  const std::string blocks = "0.00,0.00,1.25\r\n3.00,0.00,2.00\r\n0.00,4.00,0.50\r\n";
  EXPECT_EQ(run.before, "**************\r\n" + blocks);
  EXPECT_EQ(run.sumStatus, triangleFileOk);
  EXPECT_EQ(run.summaryStatus, triangleFileOk);
  EXPECT_EQ(run.after, "1\r\n5\r\n********\r\n" + blocks);
  EXPECT_EQ(run.sides.sum, 5);
  EXPECT_FALSE(run.sides.outOfRange);
  EXPECT_EQ(run.average.value, 5);
  EXPECT_FALSE(run.average.outOfRange);
}

TEST(LongestSideStatistic, MeasuresTheWrittenTextNotThePointTable) {
  EXPECT_EQ(averageOfOne({0, 0, 0}, {3.9, 0, 0}, {0, 4.2, 0}), "5");
  EXPECT_EQ(averageOfOne({0, 0, 0}, {0.99, 0.99, 0}, {0, 0.5, 0}), "0");
  EXPECT_EQ(averageOfOne({0, 0, 0}, {1.5, 1.5, 0}, {1.5, 1.5, 0}), "1");
  EXPECT_EQ(averageOfOne({0, 0, 0}, {3.9, 0, 0}, {0, 0, 0}), "3");
  EXPECT_EQ(averageOfOne({1000000.99, 4, 0}, {1000000.00, 4, 0}, {1000000.99, 4, 0}), "1");
  // 2.999 is written as 3.00, and the file is what counts.
  EXPECT_EQ(averageOfOne({0, 0, 0}, {2.999, 0, 0}, {0, 0, 0}), "3");
  // Each of the three sides can be the longest.
  EXPECT_EQ(averageOfOne({0, 0, 0}, {10, 0, 0}, {5, 1, 0}), "10");
  EXPECT_EQ(averageOfOne({5, 1, 0}, {0, 0, 0}, {10, 0, 0}), "10");
  EXPECT_EQ(averageOfOne({0, 0, 0}, {5, 1, 0}, {10, 0, 0}), "10");
  // z never counts.
  EXPECT_EQ(averageOfOne({0, 0, -1e12}, {3, 0, 123.456}, {0, 4, 1e30}), "5");
}

TEST(LongestSideStatistic, AveragesWithTruncation) {
  const StatisticRun run = runStatistic({{0, 0, 0}, {3, 0, 0}, {0, 4, 0}},
                                        {{0, 1, 1}, {1, 0, 0}, {0, 2, 2}});
  EXPECT_EQ(run.sides.sum, 10);
  EXPECT_EQ(run.average.value, 3);
}

TEST(LongestSideStatistic, ReadsLongLinesWhole) {
  // Lines of well over 64 characters, and fields far beyond 15 characters.
  const StatisticRun run = runStatistic(
      {{1e30, 0, 1e60}, {1e30, 4, -1e60}, {0, 0, 1e60}, {3, 0, 1e60}, {0, 4, 1e60}},
      {{0, 1, 0}, {2, 3, 4}});
  ASSERT_GT(run.before.find('\n', 17) - 16, 100u);
  EXPECT_EQ(run.sides.sum, 9);
  EXPECT_EQ(run.average.value, 4);
}

TEST(LongestSideStatistic, SummaryLayoutsFollowTheTextLengths) {
  struct Case {
    int32_t count;
    int32_t sum;
    const char* head;
    const char* average;
  };
  const Case cases[] = {
      {57, 57 * 12, "57\r\n12\r\n******\r\n", "12"},
      {1, 0, "1\r\n0\r\n********\r\n", "0"},
      {1, 5, "1\r\n5\r\n********\r\n", "5"},
      {12345, 12345 * 1234 + 12344, "12345\r\n1234\r\n*\r\n", "1234"},  // Lc + La = 9
      {123456, 123456 * 1234, "123456\r\n1234\r\n\r\n", "1234"},        // 10
      {123456, 123456 * 12345, "123456\r\n12345\r\n\n", "12345"},       // 11
      {0, 0, "0\r\n0\r\n********\r\n", "0"},
      {-5, 0, "-5\r\n0\r\n*******\r\n", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    const StatisticRun run = runSummary(c.count, {c.sum, false});
    EXPECT_EQ(run.summaryStatus, triangleFileOk);
    ASSERT_EQ(run.after.size(), run.before.size());
    EXPECT_EQ(run.after.substr(0, 16), c.head);
    EXPECT_EQ(run.after.substr(16), run.before.substr(16));
    EXPECT_FALSE(run.average.outOfRange);
    EXPECT_EQ(std::to_string(run.average.value), c.average);
  }
}

TEST(LongestSideStatistic, CountZeroWritesZeroAverage) {
  const StatisticRun run = runStatistic({}, {});
  EXPECT_EQ(run.sides.sum, 0);
  EXPECT_EQ(run.average.value, 0);
  EXPECT_FALSE(run.average.outOfRange);
  EXPECT_EQ(run.summaryStatus, triangleFileOk);
}

TEST(LongestSideStatistic, OutOfRangeWritesOnlyTheCount) {
  const StatisticRun run = runStatistic({{0, 0, 0}, {1e6, 0, 0}, {0, 0, 0}}, {{0, 1, 2}});
  EXPECT_EQ(run.sumStatus, triangleFileOk);
  EXPECT_TRUE(run.sides.outOfRange);
  EXPECT_EQ(run.summaryStatus, triangleFileOk);
  EXPECT_TRUE(run.average.outOfRange);
  EXPECT_EQ(run.after.substr(0, 16), "1\r\n***********\r\n");
  EXPECT_EQ(run.after.substr(16), run.before.substr(16));

  // The one quotient that leaves 32 bits takes the same way.
  const StatisticRun quotient = runSummary(-1, {std::numeric_limits<int32_t>::min(), false});
  EXPECT_EQ(quotient.after.substr(0, 16), "-1\r\n**********\r\n");
  EXPECT_TRUE(quotient.average.outOfRange);
}

TEST(LongestSideStatistic, SumMayReachButNotPassThe32BitLimit) {
  // 46341 triangles with a longest side of 46340, then one of 41707 (the sum
  // is 2147483647) or of 41708 (one more).
  const std::vector<MeshPoint> points = {{0, 0, 0}, {46340, 0, 0}, {41707, 0, 0}, {41708, 0, 0}};
  for (int32_t last : {2, 3}) {
    std::vector<MeshTriangle> triangles(46341, MeshTriangle{0, 1, 1});
    triangles.push_back({0, last, 0});
    const StatisticRun run = runStatistic(points, triangles);
    if (last == 2) {
      EXPECT_FALSE(run.sides.outOfRange);
      EXPECT_EQ(run.sides.sum, std::numeric_limits<int32_t>::max());
      EXPECT_FALSE(run.average.outOfRange);
      EXPECT_EQ(run.after.substr(0, 16), "46342\r\n46339\r\n\r\n");
    } else {
      EXPECT_TRUE(run.sides.outOfRange);
      EXPECT_TRUE(run.average.outOfRange);
    }
  }
}

TEST(LongestSideStatistic, FieldsAreReadAsStrtodReadsThem) {
  struct Case {
    const char* blocks;  // after the placeholder line
    int32_t count;
    int32_t sum;
    bool outOfRange;
  };
  const Case cases[] = {
      {"0,0\n3\n0,4,9\n", 1, 5, false},                             // no comma: y is 0; LF-only lines
      {"  0.5e1 ,0x0\r\n0,+12.0e-0,zz\r\n0,0,\r\n", 1, 13, false},  // 5,0  0,12  0,0
      {"0000000000000000000003.00,0\r\n0,0\r\n0,0\r\n", 1, 3, false},
      {"3\r.\r00,0,0\r\n0,0\r\n0,0\r\n", 1, 3, false},  // CRs are dropped anywhere
      {"0,1\r2,0\r\n0,5,\r9\r\n0,0\r\n", 1, 12, false},  // in y too; after y they do not matter
      {"abc,def\r\n-1e1,0\r\n0,0\r\n", 1, 10, false},
      {"0,0\r\n3,4\r\n", 2, 5, false},  // the file ends early: missing lines read as 0,0
      // Just below the rounding threshold a double becomes FLT_MAX, written out in full here.
      {"3.4028235e38,-3.4028235e38\r\n340282346638528859811704183484516925440.00,"
       "-340282346638528859811704183484516925440\r\n3.4028235e38,-3.4028235e38\r\n",
       1, 0, false},
      {"3.40282357e38,0\r\n3.40282357e38,0\r\n3.40282357e38,0\r\n", 1, 0, true},  // infinity
      {"nan,0\r\n0,0\r\n0,0\r\n", 1, 0, true},
      {"0,0\r\n1e-50,-1e-50\r\n0,0\r\n", 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blocks);
    const StatisticRun run = runOnText(std::string("**************\r\n") + c.blocks, c.count);
    EXPECT_EQ(run.sumStatus, triangleFileOk);
    EXPECT_EQ(run.sides.outOfRange, c.outOfRange);
    if (!c.outOfRange) {
      EXPECT_EQ(run.sides.sum, c.sum);
    }
  }
}

TEST(LongestSideStatistic, SummaryWriteFailurePrintsNothing) {
  MeshTriangleFile file;
  if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(createTriangleFile("/dev/full", &file), triangleFileOk);
  StatisticRun run;
  startCapture();
  EXPECT_EQ(writeTriangleSummary(&file, 1, {5, false}, &run.average), triangleFileWriteFailed);
  endCapture();
  EXPECT_EQ(closeTriangleFile(&file), triangleFileWriteFailed);
}

// Whether the file is read while it grows (dozens of flushes ahead of the
// reader) or once it is finished, the file, the console and the sum agree.
TEST(LongestSideStatistic, FollowingAndReadingBackTheFinishedFileAgree) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-5000.0, 5000.0);
  std::vector<MeshPoint> points(3000);
  for (MeshPoint& p : points) p = {coordinate(random), coordinate(random), coordinate(random)};
  std::vector<MeshTriangle> triangles(40000);  // some 3 MB of text
  std::uniform_int_distribution<int32_t> corner(0, 2999);
  for (MeshTriangle& t : triangles) t = {corner(random), corner(random), corner(random)};
  const StatisticRun followed = runStatistic(points, triangles);
  const StatisticRun finished = runStatistic(points, triangles, false);
  EXPECT_EQ(followed.sumStatus, triangleFileOk);
  EXPECT_EQ(finished.sumStatus, triangleFileOk);
  EXPECT_GT(followed.sides.sum, 0);
  EXPECT_EQ(followed.sides.sum, finished.sides.sum);
  EXPECT_EQ(followed.sides.outOfRange, finished.sides.outOfRange);
  EXPECT_EQ(followed.average.value, finished.average.value);
  EXPECT_TRUE(followed.after == finished.after);

  // Only an ordinary file is followed; anything else is read back when finished.
  MeshWriteProgress unused;
  MeshTriangleFile follower;
  EXPECT_EQ(openTriangleFileToFollow("/dev/null", &unused, &follower), triangleFileOpenFailed);
}

// A failed write is reported before anything is read back or printed.
TEST(LongestSideStatistic, WriteFailureMeasuresNothing) {
  if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::vector<MeshPoint> points = {{0, 0, 1.25}, {3, 0, 2}, {0, 4, 0.5}};
  const std::vector<MeshTriangle> triangles(5000, MeshTriangle{0, 1, 2});
  MeshTriangleFile file;
  ASSERT_EQ(createTriangleFile("/dev/full", &file), triangleFileOk);
  StatisticRun run;
  startCapture();
  EXPECT_EQ(writeAndMeasureBlocks(&file, "/dev/full", points.data(), nullptr, triangles.data(), 5000, &run.sides),
            triangleFileWriteFailed);
  endCapture();
  EXPECT_EQ(closeTriangleFile(&file), triangleFileWriteFailed);
}
