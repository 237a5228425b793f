// The triangle file is made whole beside its path and then put in place:
// runs writing one path at once each leave a whole file of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

// n points on a jittered grid, deterministic; different n give different files.
std::string gridPoints(const std::string& output, int32_t side) {
  std::string text = output + "\n";
  for (int32_t r = 0; r < side; ++r) {
    for (int32_t c = 0; c < side; ++c) {
      text += std::to_string(c * 10 + (r * 7 + c * 3) % 5) + " " + std::to_string(r * 10 + (r * 3 + c * 7) % 5) + " " +
              std::to_string((r + c) % 9) + "\n";
    }
  }
  return text;
}

std::vector<std::string> folderNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(nativePath(dir))) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(CsvReplaceTest, RunsIntoOnePathAtOnceLeaveOneWholeFile) {
  const std::string dir = makeScratchDir();
  const std::string target = dir + "/out.csv";
  // Each run's file and transcript alone first.
  std::string expected[2];
  std::string transcript[2];
  for (int k = 0; k < 2; ++k) {
    const std::string tsv = dir + "/p" + std::to_string(k) + ".tsv";
    writeFile(tsv, gridPoints(target, k == 0 ? 150 : 170));
    const ProcessResult alone = runTsvmeshBinary({"--no-wait", tsv});
    ASSERT_EQ(alone.status, 0);
    expected[k] = readFile(target);
    transcript[k] = alone.out;
  }
  ASSERT_NE(expected[0], expected[1]);
  for (int attempt = 0; attempt < 12; ++attempt) {
    ProcessResult results[2];
    std::thread runs[2];
    for (int k = 0; k < 2; ++k) {
      runs[k] = std::thread([&, k] {
        results[k] = runTsvmeshBinary({"--no-wait", dir + "/p" + std::to_string(k) + ".tsv"});
      });
    }
    for (std::thread& run : runs) run.join();
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(results[k].status, 0) << attempt;
      EXPECT_EQ(results[k].out, transcript[k]) << attempt;  // each read back its own file
    }
    const std::string left = readFile(target);
    EXPECT_TRUE(left == expected[0] || left == expected[1]) << attempt;
  }
  // No hidden file is left beside it.
  EXPECT_EQ(folderNames(dir).size(), 3u);
}

TEST(CsvReplaceTest, ThePathKeepsItsOwnNameAndTheOldBytesGo) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/out.csv", std::string(100000, 'x'));
  writeFile(dir + "/p.tsv", dir + "/out.csv\n0 0 1\n3 0 2\n0 4 0.5\n");
  const ProcessResult run = runTsvmeshBinary({"--no-wait", dir + "/p.tsv"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(dir + "/out.csv"),
            "1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n0.00,4.00,0.50\r\n3.00,0.00,2.00\r\n");
  EXPECT_EQ(folderNames(dir).size(), 2u);
}

}  // namespace
