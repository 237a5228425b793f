// The surveyor's surface through the real tool: the whole hull, breaklines
// kept as edges, a border and holes with exact areas, and blunders named.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "export_run.h"
#include "test_support.h"

namespace {

// An OBJ's vertices (x y) and its faces' edges as pairs of positions.
struct ObjMesh {
  std::vector<std::pair<double, double>> vertices;
  std::set<std::pair<std::pair<double, double>, std::pair<double, double>>> edges;
  int32_t faces = 0;
};

ObjMesh readObj(const std::string& text) {
  ObjMesh mesh;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    double x = 0, y = 0, z = 0;
    int a = 0, b = 0, c = 0;
    if (std::sscanf(line.c_str(), "v %lf %lf %lf", &x, &y, &z) == 3) mesh.vertices.push_back({x, y});
    if (std::sscanf(line.c_str(), "f %d %d %d", &a, &b, &c) != 3) continue;
    ++mesh.faces;
    const int corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
      auto p = mesh.vertices[static_cast<size_t>(corners[k] - 1)];
      auto q = mesh.vertices[static_cast<size_t>(corners[(k + 1) % 3] - 1)];
      mesh.edges.insert(p < q ? std::make_pair(p, q) : std::make_pair(q, p));
    }
  }
  return mesh;
}

bool hasEdge(const ObjMesh& mesh, std::pair<double, double> p, std::pair<double, double> q) {
  return mesh.edges.count(p < q ? std::make_pair(p, q) : std::make_pair(q, p)) > 0;
}

}  // namespace

TEST(SurveyorSurface, CoversTheWholeHullOfPointsAndOfATriangleFile) {
  const std::string dir = makeScratchDir();
  // tsvmesh leaves the sliver under (60, 79) uncovered: 3 triangles of 4.
  writeFile(dir + "/rect.tsv", "rect.csv\n0 0 1\n120 0 1\n120 80 1\n0 80 1\n60 79 1\n");
  ASSERT_EQ(runTsvmeshBinary({"--no-wait", "rect.tsv"}, dir).status, 0);
  const ProcessResult filled = runExport({"rect.csv", "r.json"}, dir);
  ASSERT_EQ(filled.status, 0) << filled.err;
  EXPECT_EQ(filled.err, "tsvmesh-export: rect.csv: note: 1 triangle added along the hull, which the file's mesh "
                        "leaves uncovered (--as-meshed keeps its own)\n");
  EXPECT_NE(readFile(dir + "/r.json").find("\"triangles\": 4,"), std::string::npos);
  EXPECT_NE(readFile(dir + "/r.json").find("\"planimetricArea\": 9600,"), std::string::npos);
  ASSERT_EQ(runExport({"rect.csv", "kept.json", "--as-meshed"}, dir).status, 0);
  EXPECT_NE(readFile(dir + "/kept.json").find("\"triangles\": 3,"), std::string::npos);

  // From the points themselves: the same 4 triangles; three points that
  // tsvmesh cannot mesh at all give their one triangle.
  ASSERT_EQ(runExport({"rect.tsv", "p.json"}, dir).status, 0);
  EXPECT_NE(readFile(dir + "/p.json").find("\"planimetricArea\": 9600,"), std::string::npos);
  writeFile(dir + "/three.tsv", "three.csv\n0 100 1\n50 51 1\n100 0 1\n");
  ASSERT_EQ(runExport({"three.tsv", "t.json"}, dir).status, 0);
  EXPECT_NE(readFile(dir + "/t.json").find("\"triangles\": 1,"), std::string::npos);
}

TEST(SurveyorSurface, ARidgeMeasuredAsABreaklineKeepsEverySegment) {
  const std::string dir = makeScratchDir();
  std::string points = "ridge.csv\n", ridge;
  for (int i = 0; i <= 10; ++i) {
    const int x = i * 10;
    points += std::to_string(x) + " 3 10\n" + std::to_string(x) + " -3 10\n";  // side shots, 3 m below
    ridge += std::to_string(x) + " 0 13\n";
  }
  points += "0 0 13\n100 0 13\n";
  writeFile(dir + "/ridge.tsv", points);
  writeFile(dir + "/ridge.txt", ridge);
  ASSERT_EQ(runExport({"ridge.tsv", "plain.obj"}, dir).status, 0);
  const ProcessResult run = runExport({"ridge.tsv", "ridge.obj", "--breaklines", "ridge.txt"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  // The end points repeat the breakline's ends with their height: no blunder.
  EXPECT_EQ(run.err, "");
  const ObjMesh mesh = readObj(readFile(dir + "/ridge.obj"));
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(hasEdge(mesh, {i * 10.0, 0.0}, {i * 10.0 + 10, 0.0})) << "segment " << i;
  }
  EXPECT_EQ(mesh.faces, 40);

  // The breakline itself, for CAD and civil software: its own DXF layer, a
  // LandXML Breakline (northing easting elevation).
  ASSERT_EQ(runExport({"ridge.tsv", "ridge.dxf", "ridge.xml", "--breaklines", "ridge.txt"}, dir).status, 0);
  const std::string dxf = readFile(dir + "/ridge.dxf");
  EXPECT_NE(dxf.find("  0\nPOLYLINE\n  8\nBREAKLINES\n"), std::string::npos);
  EXPECT_NE(dxf.find("  0\nLAYER\n  2\nBREAKLINES\n"), std::string::npos);
  EXPECT_NE(readFile(dir + "/ridge.xml").find("<Breakline brkType=\"standard\"><PntList3D>0 0 13 0 10 13 0 20 13"),
            std::string::npos);
}

TEST(SurveyorSurface, BorderAndHolesLeaveExactAreas) {
  const std::string dir = makeScratchDir();
  std::string points = "grid.csv\n";
  for (int j = 0; j <= 10; ++j) {
    for (int i = 0; i <= 10; ++i) points += std::to_string(i * 10 + (j % 2) * 3) + " " + std::to_string(j * 10) + " 5\n";
  }
  writeFile(dir + "/grid.tsv", points);
  writeFile(dir + "/border.txt", "10 10\n90 10\n90 90\n10 90\n");
  writeFile(dir + "/holes.txt", "40,40\n60,40\n60,60\n40,60\n\n70 70\n80 70\n75 80\n");
  const ProcessResult run =
      runExport({"grid.tsv", "a.json", "--border", "border.txt", "--holes", "holes.txt", "--base", "0"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("points outside the border are left out"), std::string::npos) << run.err;
  // 80 x 80 less 20 x 20 and a triangle of 50: 5950; level at 5 above 0.
  const std::string json = readFile(dir + "/a.json");
  EXPECT_NE(json.find("\"planimetricArea\": 5950,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"volumeAbove\": 29750,"), std::string::npos) << json;
  ASSERT_EQ(runExport({"grid.tsv", "a.xml", "--border", "border.txt", "--holes", "holes.txt"}, dir).status, 0);
  const std::string xml = readFile(dir + "/a.xml");
  EXPECT_NE(xml.find("<Boundary name=\"border\" bndType=\"outer\"><PntList3D>10 10 5 10 90 5"), std::string::npos)
      << xml.substr(0, 2000);
  EXPECT_NE(xml.find("bndType=\"void\""), std::string::npos);
}

TEST(SurveyorSurface, BlundersAreSaidAloudAndHeightlessBreaklinesRefused) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", "Pt,E,N,Z\n1,0,0,10\n2,10,0,11\n3,0,10,12\n4,10,0,14.5\n5,0,0,10\n");
  const ProcessResult run = runExport({"f.csv", "f.obj"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "tsvmesh-export: f.csv: warning: f.csv:5 repeats the position of f.csv:3 with height 14.5 "
                     "instead of 11; the first holds\n"
                     "tsvmesh-export: f.csv: note: 1 exact repeats of a point are dropped\n");

  writeFile(dir + "/flat.txt", "0 0\n10 10\n");
  const ProcessResult flat = runExport({"f.csv", "g.obj", "--breaklines", "flat.txt"}, dir);
  EXPECT_EQ(flat.status, 1);
  EXPECT_EQ(flat.err, "tsvmesh-export: flat.txt:1: expected a breakline vertex with its height (x y z)\n");
  EXPECT_FALSE(fileExists(dir + "/g.obj"));
  const ProcessResult clash = runExport({"f.csv", "flat.txt", "--breaklines", "flat.txt"}, dir);
  EXPECT_EQ(clash.status, 1);
  EXPECT_EQ(clash.err, "tsvmesh-export: flat.txt is a --breaklines file; choose another output name\n");
  EXPECT_EQ(readFile(dir + "/flat.txt"), "0 0\n10 10\n");
}

// The bundled site with its stockpile's toe and the fence as breaklines:
// every segment of both is an edge of the surface.
TEST(SurveyorSurface, TheBundledSiteFollowsItsBreaklines) {
  const std::string dir = makeScratchDir();
  const std::string examples = std::string(TSVMESH_SOURCE_DIR) + "/examples/";
  const ProcessResult run =
      runExport({examples + "site.csv", "site.obj", "--breaklines", examples + "site-breaklines.txt"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const ObjMesh mesh = readObj(readFile(dir + "/site.obj"));
  std::istringstream lines(readFile(examples + "site-breaklines.txt"));
  std::string line;
  std::pair<double, double> previous;
  bool inLine = false;
  int32_t segments = 0;
  while (std::getline(lines, line)) {
    double x = 0, y = 0, z = 0;
    if (std::sscanf(line.c_str(), "%lf %lf %lf", &x, &y, &z) != 3) {
      inLine = false;
      continue;
    }
    if (inLine) {
      EXPECT_TRUE(hasEdge(mesh, previous, {x, y})) << line;
      ++segments;
    }
    previous = {x, y};
    inLine = true;
  }
  EXPECT_EQ(segments, 32 + 11);
}

// Pictures draw what the surface follows: the breaklines in red.
TEST(SurveyorSurface, PicturesDrawTheBreaklines) {
  const std::string dir = makeScratchDir();
  const std::string examples = std::string(TSVMESH_SOURCE_DIR) + "/examples/";
  const ProcessResult plain = runExport({examples + "site.csv", "plain.svg", "--size", "400"}, dir);
  if (plain.status == 2) GTEST_SKIP() << "this build has no .svg output";
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(runExport({examples + "site.csv", "lines.svg", "--size", "400", "--breaklines",
                       examples + "site-breaklines.txt"}, dir).status, 0);
  const std::string red = "stroke:rgb(80%,10%,10%)";
  EXPECT_EQ(readFile(dir + "/plain.svg").find(red), std::string::npos);
  EXPECT_NE(readFile(dir + "/lines.svg").find(red), std::string::npos);
}
