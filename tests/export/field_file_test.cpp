// Field files: a header row chooses the columns; --columns is needed only
// without one, and one that contradicts the header is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/read/field_file.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "export_run.h"
#include "test_support.h"

namespace {

std::string headerOf(const std::string& row) { return fieldHeaderColumns(row.data(), row.size()); }

}  // namespace

TEST(FieldFile, HeaderNamesChooseTheColumnsInAnyCaseAndOrder) {
  EXPECT_EQ(headerOf("Point,Northing,Easting,Elevation,Description"), "PNEZD");
  EXPECT_EQ(headerOf("PT, EAST ,north,Height,code"), "PENZD");
  EXPECT_EQ(headerOf("\"No\",Y,X,H,Desc,Remark"), "PNEZD-");
  EXPECT_EQ(headerOf("x,y,z"), "ENZ");
  // Not a header: a column missing, a name twice, or a row of numbers.
  EXPECT_EQ(headerOf("Point,Northing,Easting,Description"), "");
  EXPECT_EQ(headerOf("N,E,Z,Northing"), "");
  EXPECT_EQ(headerOf("1,100,200,10,A"), "");
  EXPECT_EQ(headerOf("1,100,200,1O,A"), "");

  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", "\xEF\xBB\xBF" "Easting,Northing,Elev,Code\r\n10,20,5,KERB1\r\n12,20,6,KERB1\r\n"
                            "10,23,7,TREE OAK\r\n");
  EXPECT_EQ(exportInputKindOf((dir + "/f.csv").c_str()), inputFieldFile);
  FieldPoints points;
  ExportReadError error;
  ASSERT_TRUE(readFieldPoints((dir + "/f.csv").c_str(), "", {}, &points, &error)) << error.message;
  ASSERT_EQ(points.surveyed.size(), 3u);
  EXPECT_EQ(points.surveyed[0].x, 10.0);
  EXPECT_EQ(points.surveyed[0].y, 20.0);
  EXPECT_EQ(points.surveyed[2].z, 7.0);
  EXPECT_EQ(points.surveyed[2].description, "TREE OAK");
  EXPECT_EQ(points.lines, (std::vector<int64_t>{2, 3, 4}));
}

TEST(FieldFile, ColumnsAreNeededWithoutAHeaderAndMustAgreeWithOne) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/site.csv", "Point,Northing,Easting,Elevation,Description\n1,100,200,10,A\n2,100,210,11,B\n"
                               "3,110,200,12,C\n");
  ASSERT_EQ(runExport({"site.csv", "site.obj"}, dir).status, 0);
  EXPECT_NE(readFile(dir + "/site.obj").find("v 200 100 10"), std::string::npos);
  ASSERT_EQ(runExport({"site.csv", "same.obj", "--columns", "pnezd"}, dir).status, 0);
  EXPECT_EQ(readFile(dir + "/same.obj"), readFile(dir + "/site.obj"));

  const ProcessResult swapped = runExport({"site.csv", "swapped.obj", "--columns", "PENZD"}, dir);
  EXPECT_EQ(swapped.status, 1);
  EXPECT_EQ(swapped.err, "tsvmesh-export: site.csv:1: --columns PENZD contradicts the header row, which names "
                         "the columns PNEZD\n");
  EXPECT_FALSE(fileExists(dir + "/swapped.obj"));

  // Without a header the first row is a point: a typo in it is an error,
  // never a header that drops the point.
  writeFile(dir + "/typo.csv", "1,100,200,1O,A\n2,100,210,11,B\n3,110,200,12,C\n4,110,210,13,D\n");
  const ProcessResult typo = runExport({"typo.csv", "typo.obj", "--columns", "PNEZD"}, dir);
  EXPECT_EQ(typo.status, 1);
  EXPECT_EQ(typo.err, "tsvmesh-export: typo.csv:1: expected a number for Z (elevation), found \"1O\"\n");
  const ProcessResult none = runExport({"typo.csv", "typo.obj", "--points"}, dir);
  EXPECT_EQ(none.status, 1);
  FieldPoints points;
  ExportReadError error;
  EXPECT_FALSE(readFieldPoints((dir + "/typo.csv").c_str(), "", {}, &points, &error));
  EXPECT_EQ(error.line, 1);
  EXPECT_NE(error.message.find("give them with --columns"), std::string::npos) << error.message;
}

TEST(FieldFile, LeftOutCodesStayOnThePlanButOffTheSurface) {
  const std::string dir = makeScratchDir();
  // A tree shot at its top, 15 m above the ground around it.
  writeFile(dir + "/f.csv", "Pt,E,N,H,Code\n1,0,0,10.00,GND\n2,10,0,10.00,GND\n3,10,10,10.00,GND\n"
                            "4,0,10,10.00,GND\n5,5,5,25.30,tree oak\n");
  const ProcessResult run = runExport({"f.csv", "f.txt", "f.geojson", "--leave-out", "TREE,SIGN"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string report = readFile(dir + "/f.txt");
  EXPECT_NE(report.find("2 triangles"), std::string::npos) << report;
  EXPECT_NE(report.find("Highest elevation         10.000"), std::string::npos) << report;
  // The tree is still a point of the plan, with its code.
  EXPECT_NE(readFile(dir + "/f.geojson").find("\"number\":\"5\",\"code\":\"tree\""), std::string::npos);

  writeFile(dir + "/p.tsv", "p.csv\n0 0 1\n1 0 1\n0 1 1\n");
  const ProcessResult points = runExport({"p.tsv", "p.txt", "--leave-out", "TREE"}, dir);
  EXPECT_EQ(points.status, 1);
  EXPECT_EQ(points.err, "tsvmesh-export: p.tsv: --leave-out names codes of a field file's points; this input has "
                        "none\n");
}
