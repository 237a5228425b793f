// A grid's cell count is decided in doubles, so that surfaces however far
// apart meet the cap with a message instead of a wrapped 64-bit product.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/products/elevation_grid.h"
#include "test_support.h"

namespace {

ProcessResult runExport(const std::vector<std::string>& args, const std::string& dir) {
  std::vector<std::string> argv{"tsvmesh-export"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(TSVMESH_EXPORT_BINARY, argv, dir, "", 120);
}

ExportGridFrame oneCellAt(int64_t column, int64_t row) {
  ExportGridFrame frame;
  frame.cell = 1.0;
  frame.firstColumn = column;
  frame.topRow = row;
  frame.columns = 2;
  frame.rows = 2;
  return frame;
}

// A points file of one unit triangle with its corner at (x, y).
std::string triangleAt(const std::string& name, const std::string& x, const std::string& y, const std::string& x1,
                       const std::string& y1) {
  return name + ".csv\n" + x + " " + y + " 1\n" + x1 + " " + y + " 1\n" + x + " " + y1 + " 1\n";
}

}  // namespace

TEST(GridSize, FramesFarApartAreRefusedWhereTheirProductWouldWrap) {
  ExportGridFrame united;
  std::string problem;
  // 5368709118^2 wraps 64 bits to a count under the cap; 4.5e15^2 to 0.
  for (const int64_t far : {int64_t{5368709118}, int64_t{2250000000000000}}) {
    problem.clear();
    EXPECT_FALSE(uniteFrames(oneCellAt(0, 0), oneCellAt(far, far), &united, &problem)) << far;
    EXPECT_NE(problem.find("more than the 134217728"), std::string::npos) << problem;
    EXPECT_FALSE(uniteFrames(oneCellAt(-far, -far), oneCellAt(far, far), &united, &problem)) << far;
  }
  // Just under the cap (8192 x 16384 cells) is a grid.
  ASSERT_TRUE(uniteFrames(oneCellAt(0, 0), oneCellAt(8190, 16382), &united, &problem)) << problem;
  EXPECT_EQ(united.columns, 8192);
  EXPECT_EQ(united.rows, 16384);
  EXPECT_FALSE(uniteFrames(oneCellAt(0, 0), oneCellAt(8191, 16382), &united, &problem));
}

TEST(GridSize, ComparingSurveysFarApartEndsWithAMessageAndNoReport) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/near.tsv", triangleAt("near", "0", "0", "1", "1"));
  writeFile(dir + "/far.tsv", triangleAt("far", "5368709118", "5368709118", "5368709119", "5368709119"));
  writeFile(dir + "/east.tsv", triangleAt("east", "2250000000000000", "2250000000000000", "2250000000000001",
                                          "2250000000000001"));
  writeFile(dir + "/west.tsv", triangleAt("west", "-2250000000000000", "-2250000000000000", "-2249999999999999",
                                          "-2249999999999999"));
  for (const auto& pair : {std::vector<std::string>{"near.tsv", "far.tsv"}, {"west.tsv", "east.tsv"}}) {
    const ProcessResult run = runExport({pair[0], "r.txt", "--compare", pair[1], "--cell", "1"}, dir);
    EXPECT_EQ(run.status, 1) << pair[1] << run.err;
    EXPECT_FALSE(run.err.empty());
    EXPECT_FALSE(fileExists(dir + "/r.txt"));
  }
}
