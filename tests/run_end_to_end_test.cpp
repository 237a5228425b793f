// Whole runs of the real binary on files: where the output goes, and what a
// run does with unusual first lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "test_support.h"

namespace {

const char* const points = "0 0 1\n4 0 2\n0 3 3\n4 3 4\n2 5 5\n";

}  // namespace

TEST(RunEndToEnd, MissingOutputFolderReportsAfterTheTriangulation) {
  const std::string dir = makeScratchDir();
  const std::string csv = dir + "/no such folder/out.csv";
  writeFile(dir + "/in.tsv", csv + "\n" + points);
  ProcessResult run = runTsvmeshBinary({dir + "/in.tsv"});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "\nProcessing Points.."); // the progress came first
  EXPECT_EQ(run.err, "Failed to open CSV file \"" + csv + "\"\nPress any key to exit.");
  EXPECT_FALSE(fileExists(dir + "/no such folder"));
}

TEST(RunEndToEnd, EmptyFirstLineNamesNoFile) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/in.tsv", std::string("\n") + points);
  ProcessResult run = runTsvmeshBinary({dir + "/in.tsv"}, dir);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "\nProcessing Points..");
  EXPECT_EQ(run.err, "Failed to open CSV file \"\"\nPress any key to exit.");
}

TEST(RunEndToEnd, FirstLineNamingThePointsFileIsRefused) {
  // By its name, a relative name, and the links the system can make here
  // (Wine has no symbolic links); rewriting the file keeps the links good.
  const std::string dir = makeScratchDir();
  const std::string tsv = dir + "/self.tsv";
  writeFile(tsv, "");
  std::vector<std::string> names = {tsv, "sub/../self.tsv"};
  std::filesystem::create_directory(nativePath(dir + "/sub"));
  std::error_code error;
  std::filesystem::create_symlink(nativePath(tsv), nativePath(dir + "/link.tsv"), error);
  if (!error) names.push_back(dir + "/link.tsv");
  std::filesystem::create_hard_link(nativePath(tsv), nativePath(dir + "/hard.tsv"), error);
  if (!error) names.push_back("hard.tsv");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    writeFile(tsv, name + "\n" + points);
    ProcessResult run = runTsvmeshBinary({tsv}, dir);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "\nProcessing Points..");
    EXPECT_EQ(run.err, "Failed to open CSV file \"" + name + "\"\nPress any key to exit.");
    EXPECT_EQ(readFile(tsv), name + "\n" + points);
  }
}

TEST(RunEndToEnd, CarriageReturnLineEndsReadAlike) {
  const std::string dir = makeScratchDir();
  std::string lf = dir + "/lf.csv\n" + points;
  std::string crlf;
  for (char c : std::string(dir + "/crlf.csv\n" + points)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  writeFile(dir + "/lf.tsv", lf);
  writeFile(dir + "/crlf.tsv", crlf);
  ProcessResult a = runTsvmeshBinary({dir + "/lf.tsv"});
  ProcessResult b = runTsvmeshBinary({dir + "/crlf.tsv"});
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(b.status, 0);
  EXPECT_EQ(a.out, b.out);
  const std::string csv = readFile(dir + "/lf.csv");
  EXPECT_EQ(csv, readFile(dir + "/crlf.csv"));  // the CR never reached the path either
  // Three triangles: the rectangle split by a diagonal (longest sides 5 and 5)
  // and the roof (longest side 4): 14 / 3 = 4.
  EXPECT_EQ(csv.substr(0, 16), "3\r\n4\r\n********\r\n");
}
