// Where the triangle file cannot be replaced whole, and what a failed write
// leaves: POSIX links and file size limits.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

const std::string kPoints = "0 0 1\n3 0 2\n0 4 0.5\n";
const std::string kFile = "1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n0.00,4.00,0.50\r\n3.00,0.00,2.00\r\n";

// A write cut short by the file size limit (its signal ignored, so the
// write fails instead) keeps the file that was there, and no other.
TEST(CsvInPlaceTest, FailedWriteKeepsThePreviousFile) {
  const std::string dir = makeScratchDir();
  const std::string previous = "previous\r\n" + std::string(5000, 'x');
  writeFile(dir + "/out.csv", previous);
  std::string tsv = dir + "/out.csv\n";
  for (int32_t k = 0; k < 20000; ++k) tsv += std::to_string(k % 200) + " " + std::to_string(k / 200) + " 1\n";
  writeFile(dir + "/p.tsv", tsv);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const ProcessResult run = runTsvmeshBinary({"--no-wait", dir + "/p.tsv"});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.err, "Failed to write CSV file \"" + dir + "/out.csv\"\nPress any key to exit.");
  EXPECT_EQ(readFile(dir + "/out.csv"), previous);
  size_t names = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names += entry.path().empty() ? 0 : 1;
  EXPECT_EQ(names, 2u);
}

// A symbolic link is written through, as it always was: the link stays.
TEST(CsvInPlaceTest, LinkedPathIsWrittenThrough) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/real.csv", "old");
  ASSERT_EQ(symlink((dir + "/real.csv").c_str(), (dir + "/link.csv").c_str()), 0);
  writeFile(dir + "/p.tsv", dir + "/link.csv\n" + kPoints);
  EXPECT_EQ(runTsvmeshBinary({"--no-wait", dir + "/p.tsv"}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.csv"));
  EXPECT_EQ(readFile(dir + "/real.csv"), kFile);
}

// A missing folder gives the message for the path asked for.
TEST(CsvInPlaceTest, MissingFolderNamesTheTarget) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/p.tsv", dir + "/none/out.csv\n" + kPoints);
  const ProcessResult run = runTsvmeshBinary({"--no-wait", dir + "/p.tsv"});
  EXPECT_EQ(run.status, 255);
  EXPECT_NE(run.err.find("Failed to open CSV file \"" + dir + "/none/out.csv\"\nPress any key to exit."),
            std::string::npos);
}

}  // namespace
