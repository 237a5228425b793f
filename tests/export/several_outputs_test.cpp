// tsvmesh-export with several outputs in one run: each is written and put
// in place on its own, the command line is checked whole before anything
// is read, and no output may name an input or another output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/cli/formats.h"
#include "export_run.h"
#include "test_support.h"

namespace {

// Two faces over a 10 m square, z from 100 to 103.5.
const std::string triangleFile =
    "2\r\n14\r\n*******\r\n0.00,0.00,100.00\r\n10.00,0.00,101.00\r\n0.00,10.00,102.00\r\n"
    "10.00,0.00,101.00\r\n10.00,10.00,103.50\r\n0.00,10.00,102.00\r\n";

const std::string tryHelp = "try 'tsvmesh-export --help'\n";

}  // namespace

TEST(SeveralOutputs, OneThatFailsLeavesTheOthersWrittenAndTheRunFails) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/mesh.csv", triangleFile);
  writeFile(dir + "/b.xml", "old");
  const ProcessResult run = runExport({"mesh.csv", "a.obj", "missing/x.ply", "b.xml", "c.txt"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find("tsvmesh-export: missing/x.ply: cannot create: "), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(readFile(dir + "/a.obj").substr(0, 28), "# tsvmesh triangle count 2\n#");
  EXPECT_NE(readFile(dir + "/b.xml"), "old");
  EXPECT_NE(readFile(dir + "/c.txt").find("2 triangles"), std::string::npos);

  // The same outputs alone have the same bytes.
  ASSERT_EQ(runExport({"mesh.csv", "alone.obj"}, dir).status, 0);
  EXPECT_EQ(readFile(dir + "/alone.obj"), readFile(dir + "/a.obj"));
  ASSERT_EQ(runExport({"mesh.csv", "alone.txt"}, dir).status, 0);
  EXPECT_EQ(readFile(dir + "/alone.txt").substr(readFile(dir + "/alone.txt").find('\n')),
            readFile(dir + "/c.txt").substr(readFile(dir + "/c.txt").find('\n')));
}

TEST(SeveralOutputs, CommandLineIsRefusedWholeBeforeAnythingIsRead) {
  const std::string dir = makeScratchDir();
  // The input does not exist: a refusal names the command line, not the file.
  const ProcessResult unknown = runExport({"none.csv", "a.obj", "b.doc"}, dir);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "tsvmesh-export: b.doc: OUTPUT must end in " + exportAvailableList() + "\n" + tryHelp);
  EXPECT_FALSE(fileExists(dir + "/a.obj"));

  // An option that none of the outputs takes, named with the formats that do.
  const ProcessResult cell = runExport({"none.csv", "a.dxf", "--cell", "1"}, dir);
  EXPECT_EQ(cell.status, 2);
  EXPECT_EQ(cell.err, "tsvmesh-export: --cell goes with " + exportFormatsUsing(useCell) +
                          "; no OUTPUT here uses it\n" + tryHelp);
  const ProcessResult contour = runExport({"none.csv", "a.json", "--contour=5"}, dir);
  EXPECT_EQ(contour.err.find("tsvmesh-export: --contour goes with "), 0u) << contour.err;
  // ... but taken as soon as one output uses it.
  EXPECT_EQ(runExport({"none.csv", "a.dxf", "b.asc", "--cell", "1"}, dir).err,
            "tsvmesh-export: none.csv: cannot open: No such file or directory\n");

  const ProcessResult both = runExport({"none.csv", "a.obj", "--mesh", "--points"}, dir);
  EXPECT_EQ(both.err, "tsvmesh-export: --mesh, --points and --columns exclude each other\n" + tryHelp);
  const ProcessResult typo = runExport({"none.csv", "a.obj", "--sise", "5"}, dir);
  EXPECT_EQ(typo.err, "tsvmesh-export: unknown option --sise\n" + tryHelp);
  EXPECT_EQ(runExport({"none.csv"}, dir).err, "tsvmesh-export: no OUTPUT given\n" + tryHelp);
}

TEST(SeveralOutputs, NoOutputNamesAnInputOrAnotherOutput) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/mesh.csv", triangleFile);
  writeFile(dir + "/other.csv", triangleFile);
  const ProcessResult compare =
      runExport({"mesh.csv", "r.txt", "./other.csv", "--compare", "other.csv"}, dir);
  EXPECT_EQ(compare.status, 2);
  // other.csv is no output format: refused as such before the clash matters.
  EXPECT_EQ(readFile(dir + "/other.csv"), triangleFile);

  writeFile(dir + "/other.txt", triangleFile);
  const ProcessResult report =
      runExport({"mesh.csv", "./other.txt", "--compare", "other.txt"}, dir);
  EXPECT_EQ(report.status, 1);
  EXPECT_EQ(report.err, "tsvmesh-export: ./other.txt is the --compare file; choose another output name\n");
  EXPECT_EQ(readFile(dir + "/other.txt"), triangleFile);

  const ProcessResult twice = runExport({"mesh.csv", "a.obj", "a.obj"}, dir);
  EXPECT_EQ(twice.status, 1);
  EXPECT_EQ(twice.err, "tsvmesh-export: a.obj is named twice as an output\n");
  EXPECT_FALSE(fileExists(dir + "/a.obj"));
}
