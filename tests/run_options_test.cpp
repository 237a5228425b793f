// The command line as a new user meets it: help, version, the missing
// argument and the options before the points file; and the warnings when the
// points stop short of the end of the file.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

const std::string kUsageStart = "Usage: tsvmesh [--no-wait] POINTS_FILE\n";

std::string tsvMessage(const std::string& path) {
  return "Failed to open TSV file \"" + path + "\"\nPress any key to exit.";
}

TEST(RunOptions, HelpVersionAndTheMissingArgument) {
  const ProcessResult help = runTsvmeshBinary({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind(kUsageStart, 0), 0u) << help.out;
  for (const char* option : {"--no-wait", "-h, --help", "--version", "x y z", "xamples"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  // -h is the same, and so is a help after --no-wait or with a file after it.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"}, {"--no-wait", "--help", "x.tsv"}}) {
    const ProcessResult same = runTsvmeshBinary(args);
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, help.out);
    EXPECT_EQ(same.err, "");
  }

  const ProcessResult version = runTsvmeshBinary({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tsvmesh 1.0.0\n");
  EXPECT_EQ(version.err, "");

  // Nothing to read: the usage on standard error, status -1, no key wait.
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--no-wait"}}) {
    const ProcessResult missing = runTsvmeshBinary(args);
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, help.out);
  }
}

TEST(RunOptions, OptionsCountOnlyBeforeThePointsFileAndAsSpelt) {
  const std::string dir = makeScratchDir();
  // Any other spelling, or an option after the points file, is a file name.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"./--help"}, {"--HELP"}, {"--no-wait", "-help"}, {"--no-wait=yes"},
        {"absent.tsv", "--help"}, {"-"}}) {
    SCOPED_TRACE(args.front());
    const std::string named = args.front() == "--no-wait" ? args[1] : args.front();
    const ProcessResult run = runTsvmeshBinary(args, dir);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, tsvMessage(named));
  }
  // A file really called --help is read as the points file.
  writeFile(dir + "/--help", "out.csv\n1 2 3\n");
  const ProcessResult file = runTsvmeshBinary({"--no-wait", "./--help"}, dir);
  EXPECT_EQ(file.status, 0);
  EXPECT_EQ(file.err, fewerPointsWarning("./--help"));
}

// Every way the point list can stop; files of fewer than 3 points where the
// point is the message, so that few runs pay for the final delay.
TEST(PointsWarnings, TheLineWhereThePointsEndAndTooFewPoints) {
  const std::string dir = makeScratchDir();
  const std::string tsv = dir + "/points.tsv";
  struct Case {
    const char* name;
    std::string body;  // after the path line
    int64_t endLine;   // 0: no warning
  };
  const Case cases[] = {
      {"a header line", "x\ty\tz\r\n1\t2\t3\r\n", 2},
      {"comma-separated", "1,2,3\n4,5,6\n", 2},
      {"a decimal comma", "1 2 3\n\n4 5,5 6\n", 4},
      {"a non-finite value", "1 2 3\n4 5 6\n  \t7 8 inf\n", 4},
      {"the file ends inside a group", "1 2 3\n4\n5\n", 3},
      {"blank space at the end", "1 2 3\r\n4 5 6\r\n \t\r\n\r\n", 0},
      {"text after 0x1A", "1 2 3\r\n4 5 6\r\n\x1a" "7 8 9 and a remark", 0},
      {"a CR alone ends no line", "1 2 3\r4 5 6\rbad\n", 2},
      {"nothing after the path", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(tsv, dir + "/out.csv\n" + c.body);
    const ProcessResult run = runTsvmeshBinary({tsv});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, (c.endLine > 0 ? pointsEndWarning(c.endLine, tsv) : "") + fewerPointsWarning(tsv));
    EXPECT_FALSE(fileExists(dir + "/out.csv"));
  }
  writeFile(tsv, "");
  const ProcessResult empty = runTsvmeshBinary({tsv});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, fewerPointsWarning(tsv));

  // A bad line in the middle of a survey: the mesh of the points before it,
  // and the line named once; the path as given, relative here.
  writeFile(tsv, "out.csv\n0 0 1\n4 0 2\n0 3 3\n4 3 4\n4 3,5 9\n2 5 5\n");
  const ProcessResult middle = runTsvmeshBinary({"points.tsv"}, dir);
  EXPECT_EQ(middle.status, 0);
  EXPECT_EQ(middle.err, pointsEndWarning(6, "points.tsv"));
  EXPECT_EQ(readFile(dir + "/out.csv").substr(0, 3), "2\r\n");
}

}  // namespace
