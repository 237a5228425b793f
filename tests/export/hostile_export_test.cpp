// tsvmesh-export on input a hostile user would try: numbers beyond a
// double, text that is not UTF-8, and surfaces with nothing left to draw.
// Each is refused alike for every format, or written as valid documents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_run.h"
#include "test_support.h"

namespace {

const std::string square =
    "2\r\n14\r\n*******\r\n0.00,0.00,100.00\r\n10.00,0.00,101.00\r\n0.00,10.00,102.00\r\n"
    "10.00,0.00,101.00\r\n10.00,10.00,103.50\r\n0.00,10.00,102.00\r\n";

const char* const everyKindOfOutput[] = {"o.png", "o.pdf", "o.txt", "o.json", "o.xml", "o.geojson", "o.html",
                                         "o.dxf", "o.obj"};

// Each output alone: status 1, the message, and no file left.
void expectRefusedForEveryFormat(const std::string& dir, const std::string& input, const std::string& message,
                                 const std::vector<std::string>& options = {}) {
  for (const char* output : everyKindOfOutput) {
    std::vector<std::string> arguments{input, output};
    const std::string name = output;
    if (name != "o.txt" && name != "o.json" && name != "o.xml" && name != "o.obj") {
      arguments.insert(arguments.end(), {"--contour", "1"});
    }
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ProcessResult run = runExport(arguments, dir);
    if (run.err.find("this build has no") != std::string::npos) continue;
    EXPECT_EQ(run.status, 1) << output;
    EXPECT_EQ(run.err, "tsvmesh-export: " + message + "\n") << output;
    EXPECT_FALSE(fileExists(dir + "/" + output)) << output;
  }
}

}  // namespace

TEST(HostileExport, NumbersBeyondRangeAreRefusedWithTheirLine) {
  const std::string dir = makeScratchDir();
  const std::string huge = "1" + std::string(309, '0') + ".00";
  writeFile(dir + "/inf.csv", "1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n" + huge + ",0.00,2.00\r\n0.00,4.00,3.00\r\n");
  const ProcessResult inf = runExport({"inf.csv", "o.json"}, dir);
  EXPECT_EQ(inf.status, 1);
  EXPECT_EQ(inf.err.find("tsvmesh-export: inf.csv:5: expected coordinates within -1e90 .. 1e90, found \"1000"), 0u)
      << inf.err;
  EXPECT_FALSE(fileExists(dir + "/o.json"));

  writeFile(dir + "/deep.tsv", "deep.csv\n0 0 -1e154\n10 0 1\n0 10 2\n");
  const ProcessResult deep = runExport({"deep.tsv", "o.txt"}, dir);
  EXPECT_EQ(deep.status, 1);
  EXPECT_EQ(deep.err, "tsvmesh-export: deep.tsv: expected coordinates within -1e90 .. 1e90, found a point at "
                      "(0, 0, -1e+154)\n");

  writeFile(dir + "/square.csv", square);
  EXPECT_EQ(runExport({"square.csv", "o.txt", "--base", "1e308"}, dir).status, 2);
  const ProcessResult base = runExport({"square.csv", "o.json", "--base", "-1e90"}, dir);
  ASSERT_EQ(base.status, 0) << base.err;
  EXPECT_EQ(readFile(dir + "/o.json").find("nan"), std::string::npos);
  EXPECT_EQ(readFile(dir + "/o.json").find("inf"), std::string::npos);
}

TEST(HostileExport, DescriptionsThatAreNotUtf8BecomeValidText) {
  const std::string dir = makeScratchDir();
  // "relevé" in Latin-1, a lone continuation byte, a truncated sequence.
  writeFile(dir + "/f.csv", "P,N,E,Z,D\n1,0,0,1,relev\xE9\n2,0,10,2,a\x80z\n3,10,0,3,\xE2\x82\n");
  for (const char* output : {"f.geojson", "f.xml"}) {
    const ProcessResult run = runExport({"f.csv", output}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = readFile(dir + "/" + output);
    EXPECT_NE(text.find("relev\xEF\xBF\xBD"), std::string::npos) << output;
    EXPECT_NE(text.find("a\xEF\xBF\xBDz"), std::string::npos) << output;
    EXPECT_EQ(text.find('\xE9'), std::string::npos) << output;
    EXPECT_EQ(text.find("\x80z"), std::string::npos) << output;
  }
}

TEST(HostileExport, NoTriangleToShowIsRefusedAlikeForEveryFormat) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/square.csv", square);
  expectRefusedForEveryFormat(dir, "square.csv", "square.csv: --max-side leaves out every triangle; no surface is left",
                              {"--max-side", "5"});
  writeFile(dir + "/line.tsv", "line.csv\n0 0 1\n1 2 2\n2 4 3\n3 6 4\n");
  expectRefusedForEveryFormat(dir, "line.tsv", "line.tsv: no triangle: the points lie on one line");
  writeFile(dir + "/empty.csv", "0\r\n0\r\n************\r\n");
  const ProcessResult empty = runExport({"empty.csv", "o.obj"}, dir);
  EXPECT_EQ(empty.status, 1) << empty.err;
}

TEST(HostileExport, BaseReportSaysWhereGroundLevelWithTheBaseGoes) {
  const std::string dir = makeScratchDir();
  // A flat square at 100 and, beside it, a face rising from 100 to 103.
  writeFile(dir + "/flat.tsv", "flat.csv\n0 0 100\n10 0 100\n10 10 100\n0 10 100\n20 0 103\n");
  const ProcessResult run = runExport({"flat.tsv", "r.json", "--base", "100"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string json = readFile(dir + "/r.json");
  EXPECT_NE(json.find("\"areaBelow\": 0, \"areaLevel\": 100}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"volumeBelow\": 0,"), std::string::npos) << json;
}

TEST(HostileExport, ATriangleFileWithADamagedCountIsNamedAsBothReadings) {
  const std::string dir = makeScratchDir();
  const std::string rest = "\r\n14\r\n*******\r\n0.00,0.00,100.00\r\n10.00,0.00,101.00\r\n0.00,10.00,102.00\r\n";
  const std::string both = ": read as a points file it holds 0 points; read as a triangle file its first line is "
                           "not a count as tsvmesh writes it (digits alone, at most 10, no byte-order mark or blanks)\n";
  writeFile(dir + "/space.csv", " 1" + rest);
  EXPECT_EQ(runExport({"space.csv", "o.obj"}, dir).err, "tsvmesh-export: space.csv:1" + both);
  writeFile(dir + "/long.csv", "12345678901" + rest);
  EXPECT_EQ(runExport({"long.csv", "o.obj"}, dir).err, "tsvmesh-export: long.csv:1" + both);
  writeFile(dir + "/bom.csv", "\xEF\xBB\xBF" "1" + rest);
  const ProcessResult bom = runExport({"bom.csv", "o.obj"}, dir);
  EXPECT_EQ(bom.status, 1);
  EXPECT_EQ(bom.err.find("tsvmesh-export: bom.csv:1: expected the triangle count"), 0u) << bom.err;
  EXPECT_FALSE(fileExists(dir + "/o.obj"));
}
