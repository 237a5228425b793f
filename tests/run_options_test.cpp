// The command line as a new user meets it, and the warnings when the points
// stop short of the end of the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using Args = std::vector<std::string>;

TEST(RunOptions, HelpVersionMissingArgumentAndOptionsOnlyBeforeTheFile) {
  const ProcessResult help = runTsvmeshBinary({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: tsvmesh [--no-wait] POINTS_FILE\n", 0), 0u) << help.out;
  for (const Args& args : {Args{"-h"}, Args{"--no-wait", "--help", "x.tsv"}}) {
    const ProcessResult same = runTsvmeshBinary(args);
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, help.out);
  }
  const ProcessResult version = runTsvmeshBinary({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tsvmesh 1.0.0\n");
  for (const Args& args : {Args{}, Args{"--no-wait"}}) {  // no points file: usage, -1, no wait
    const ProcessResult missing = runTsvmeshBinary(args);
    EXPECT_EQ(missing.status, 255);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, help.out);
  }
  // Other spellings, and options after the points file, are file names.
  const std::string dir = makeScratchDir();
  for (const Args& args : {Args{"./--help"}, Args{"--no-wait", "-help"}, Args{"--no-wait=1"}, Args{"a.tsv", "-h"}}) {
    const std::string named = args[0] == "--no-wait" ? args[1] : args[0];
    const ProcessResult run = runTsvmeshBinary(args, dir);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, "Failed to open TSV file \"" + named + "\"\nPress any key to exit.");
  }
}

// Files of fewer than 3 points where the line is the point, so that few runs
// pay for the final delay.
TEST(PointsWarnings, TheLineWhereThePointsEndAndTooFewPoints) {
  const std::string dir = makeScratchDir();
  const std::string tsv = dir + "/points.tsv";
  struct Case {
    std::string body;  // after the path line
    int64_t line;      // where the points end; 0: no warning
    int64_t joins;     // CRs that join numbers, all on that line
  };
  const std::vector<Case> cases = {
      {"x\ty\tz\r\n1\t2\t3\r\n", 2, 0},        // a header line
      {"1,2,3\n4,5,6\n", 2, 0},                // comma-separated
      {"1 2 3\n\n4 5,5 6\n", 4, 0},            // a decimal comma
      {"1 2 3\n4 5 6\n  \t7 8 inf\n", 4, 0},   // not finite
      {"1 2 3\n4\n5\n", 3, 0},                 // the file ends inside a group
      {"1 2 3\r4 5 6\rbad\n", 2, 2},           // a lone CR ends no line: "1 2 34 5 6bad"
      {"1 2 3\r\n4 5 6\r\n \t\r\n\r\n", 0, 0},  // blank space at the end
      {"1 2 3\r\n4 5 6\r\n\x1a" "7 8 9 and a remark", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    writeFile(tsv, dir + "/out.csv\n" + c.body);
    const ProcessResult run = runTsvmeshBinary({tsv});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, (c.joins > 0 ? crJoinWarning(c.line, c.joins, tsv) : "") +
                           (c.line > 0 ? pointsEndWarning(c.line, tsv) : "") + fewerPointsWarning(tsv));
    EXPECT_FALSE(fileExists(dir + "/out.csv"));
  }
  writeFile(tsv, "");
  EXPECT_EQ(runTsvmeshBinary({tsv}).err, fewerPointsWarning(tsv));

  // A bad line in the middle of a survey; the path as given, relative here.
  writeFile(tsv, "out.csv\n0 0 1\n4 0 2\n0 3 3\n4 3 4\n4 3,5 9\n2 5 5\n");
  const ProcessResult middle = runTsvmeshBinary({"points.tsv"}, dir);
  EXPECT_EQ(middle.status, 0);
  EXPECT_EQ(middle.err, pointsEndWarning(6, "points.tsv"));
  EXPECT_EQ(readFile(dir + "/out.csv").substr(0, 3), "2\r\n");
}

// CRs dropped inside a line and lines of other than three numbers are
// warned about by line; the points, the triangle file and standard output
// stay those of the same numbers laid out plainly.
TEST(PointsWarnings, JoinedNumbersAndOddLinesAreNamedWhileTheReadingStays) {
  struct Case {
    std::string body;   // after the path line
    std::string plain;  // the same numbers as the reading takes them
    std::string warnings;
  };
  const std::string dir = makeScratchDir();
  const std::string tsv = dir + "/points.tsv";
  const std::vector<Case> cases = {
      {"3 4 13.75\r0 0 10.5\r4 0 9.8\r3 3 11\n", "3 4 13.750\n0 10.54 0\n9.83 3 11\n",
       crJoinWarning(2, 3, tsv) + oddLineWarning(2, 9, 1, tsv)},
      {"0 0 1 9\n4 0 2 9\n0 3 3 9\n", "0 0 1\n9 4 0\n2 9 0\n3 3 9\n", oddLineWarning(2, 4, 3, tsv)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    writeFile(tsv, dir + "/out.csv\n" + c.plain);
    const ProcessResult plain = runTsvmeshBinary({tsv});
    const std::string plainCsv = readFile(dir + "/out.csv");
    EXPECT_EQ(plain.err, "");
    writeFile(tsv, dir + "/out.csv\n" + c.body);
    const ProcessResult run = runTsvmeshBinary({tsv});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, plain.out);
    EXPECT_EQ(run.err, c.warnings);
    EXPECT_EQ(readFile(dir + "/out.csv"), plainCsv);
  }
}

// A surveyor's field file, with its header line or without, reads as an
// output path and no points; one more line names the tool that reads it.
TEST(PointsWarnings, FieldFileGetsAHintTowardsTheExportTool) {
  const std::string dir = makeScratchDir();
  const std::string tsv = dir + "/field.csv";
  const std::string hint =
      "\"" + tsv + "\" looks like a comma-separated field file: tsvmesh-export reads those (tsvmesh-export --help).\n";
  const std::string rows = "1001,5403000.000,512000.000,250.000,\"CORNER, SW\"\n"
                           "1002,5403000.000,512120.000,252.400,\"CORNER, SE\"\n"
                           "1003,5403080.000,512120.000,253.200,\"CORNER, NE\"\n";
  for (const std::string& text : {"Point,Northing,Easting,Elevation,Description\r\n" + rows, rows}) {
    SCOPED_TRACE(text);
    writeFile(tsv, text);
    const ProcessResult run = runTsvmeshBinary({tsv}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, pointsEndWarning(2, tsv) + fewerPointsWarning(tsv) + hint);
    EXPECT_EQ(readFile(tsv), text);
  }
  // A comma in the output path alone, or comma-separated numbers after a
  // path without one, are no field file.
  writeFile(tsv, "a,b.csv\n1 2 3\n4 5,5 6\n");
  EXPECT_EQ(runTsvmeshBinary({tsv}, dir).err, pointsEndWarning(3, tsv) + fewerPointsWarning(tsv));
  writeFile(tsv, "out.csv\n1,2,3\n4,5,6\n");
  EXPECT_EQ(runTsvmeshBinary({tsv}, dir).err, pointsEndWarning(2, tsv) + fewerPointsWarning(tsv));
}
