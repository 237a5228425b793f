// A field book's codes on the plan: lines joined from coded points in DXF,
// GeoJSON, GeoPackage and Shapefile, the points layer of the GIS files, and
// the Shapefile's sibling sets, read back by ezdxf and GDAL where installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "export/products/coded_lines.h"
#include "export_run.h"
#include "test_support.h"

namespace {

// Runs Debian's Python on "imports" then script; false when the modules
// (or Python) are missing.
bool runDebianPython(const std::string& dir, const std::string& imports, const std::string& script,
                     std::string* out) {
  const std::string guarded = "import sys\ntry:\n  " + imports + "\nexcept ImportError:\n  sys.exit(77)\n" + script;
  const ProcessResult run = hostToolsShareFiles() && fileExists("/usr/bin/python3")
                                ? runProgram("/usr/bin/python3", {"python3", "-c", guarded}, dir, "", 60)
                                : ProcessResult{};
  if (run.status == 77 || run.status == -1) return false;
  EXPECT_EQ(run.status, 0) << run.err;
  *out = run.out;
  return true;
}

// Two kerbs, a tree and ground shots; KERB1's points are not together in
// the file and spelt in two cases.
const char* const fieldBook =
    "Pt,E,N,H,Code\n1,0,0,10.00,GND\n2,10,0,10.50,KERB1 start\n3,20,0,11.00,kerb1\n4,0,10,10.20,KERB2\n"
    "5,10,10,10.70,KERB2\n6,20,10,11.20,GND\n7,5,5,10.40,TREE oak\n8,15,5,10.90,KERB1\n";

ExportSurveyPoint point(double x, const char* code) { return {x, 0.0, x / 10, "", code, code, 2, true}; }

}  // namespace

TEST(CodedLinesTest, PointsJoinInFileOrderOneLineACodeInAnyCase) {
  const std::vector<ExportSurveyPoint> points = {point(1, "KERB1"), point(2, "kerb2"), point(3, "Kerb1"),
                                                 point(4, "TREE"),  point(5, "KERB2"), point(6, "KERBSTONE"),
                                                 point(7, ""),      point(8, "kerb1")};
  CodedLines lines;
  joinCodedLines(points, {"kerb", "FENCE", "tr"}, &lines);
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_EQ(lines.lines[0].code, "KERB1");
  EXPECT_EQ(lines.lines[1].code, "kerb2");
  std::vector<double> xs[2];
  for (size_t l = 0; l < 2; ++l) {
    const CodedLine& line = lines.lines[l];
    for (int32_t v = 0; v < line.vertexCount; ++v) xs[l].push_back(lines.vertices[line.firstVertex + v].x);
  }
  EXPECT_EQ(xs[0], (std::vector<double>{1, 3, 8}));
  EXPECT_EQ(xs[1], (std::vector<double>{2, 5}));
  EXPECT_EQ(lines.vertices[lines.lines[0].firstVertex + 1].z, 0.3);
  // A code beginning with KERB that is alone draws nothing, nor does TREE.
  EXPECT_EQ(lines.single, (std::vector<std::string>{"TREE", "KERBSTONE"}));
  EXPECT_EQ(lines.unmatched, (std::vector<std::string>{"FENCE"}));
}

TEST(CodedLinesTest, LinesAreRefusedWhereNothingDrawsThemOrNoPointHasACode) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", fieldBook);
  const ProcessResult ply = runExport({"f.csv", "f.ply", "--lines", "KERB"}, dir);
  EXPECT_EQ(ply.status, 2);
  EXPECT_EQ(ply.err.find("tsvmesh-export: --lines goes with .dxf, .geojson"), 0u) << ply.err;
  EXPECT_EQ(runExport({"f.csv", "f.dxf", "--lines", "KERB,,FENCE"}, dir).status, 2);
  writeFile(dir + "/p.tsv", "p.csv\n0 0 1\n1 0 1\n0 1 1\n");
  const ProcessResult points = runExport({"p.tsv", "p.dxf", "--lines", "KERB"}, dir);
  EXPECT_EQ(points.status, 1);
  EXPECT_EQ(points.err, "tsvmesh-export: p.tsv: --lines names codes of a field file's points; this input has none\n");
  EXPECT_FALSE(fileExists(dir + "/p.dxf"));
  // Codes that draw nothing are said, and the rest is written.
  const ProcessResult notes = runExport({"f.csv", "f.dxf", "--lines", "KERB,FENCE,TREE"}, dir);
  EXPECT_EQ(notes.status, 0);
  EXPECT_EQ(notes.err, "tsvmesh-export: note: --lines FENCE: no point's code begins with it\n"
                       "tsvmesh-export: note: TREE has one point only; it draws no line\n");
}

TEST(CodedLinesTest, DxfAndGeoJsonHoldThe3DLinesOnTheirCodes) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", fieldBook);
  ASSERT_EQ(runExport({"f.csv", "f.dxf", "f.geojson", "--lines", "kerb"}, dir).status, 0);
  std::string out;
  if (!runDebianPython(dir, "import ezdxf, json; from ezdxf import recover",
                       "doc, auditor = recover.readfile('f.dxf')\n"
                       "assert not auditor.has_errors and not doc.audit().has_errors\n"
                       "for p in doc.modelspace().query('POLYLINE'):\n"
                       "  print(p.dxf.layer, p.is_3d_polyline, [tuple(v.dxf.location) for v in p.vertices])\n"
                       "for f in json.load(open('f.geojson'))['features']:\n"
                       "  if f['geometry']['type'] == 'LineString':\n"
                       "    print(f['properties'], f['geometry']['coordinates'])\n",
                       &out)) {
    GTEST_SKIP() << "Debian's python3-ezdxf is missing";
  }
  EXPECT_EQ(out,
            "POINTS-KERB1 True [(10.0, 0.0, 10.5), (20.0, 0.0, 11.0), (15.0, 5.0, 10.9)]\n"
            "POINTS-KERB2 True [(0.0, 10.0, 10.2), (10.0, 10.0, 10.7)]\n"
            "{'code': 'KERB1'} [[10, 0, 10.5], [20, 0, 11], [15, 5, 10.9]]\n"
            "{'code': 'KERB2'} [[0, 10, 10.2], [10, 10, 10.7]]\n");
}

#if TSVMESH_EXPORT_GDAL
TEST(CodedLinesTest, GeoPackageAndShapefilesHoldPointsLinesAndContours) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", fieldBook);
  ASSERT_EQ(runExport({"f.csv", "f.gpkg", "plan.shp", "--lines", "KERB", "--contour", "0.5", "--srs", "EPSG:25832"},
                      dir).status, 0);
  std::string out;
  if (!runDebianPython(dir, "from osgeo import ogr",
                       "for name in ['f.gpkg', 'plan.shp', 'plan_contours.shp', 'plan_points.shp', 'plan_lines.shp']:\n"
                       "  for l in ogr.Open(name):\n"
                       "    d = l.GetLayerDefn()\n"
                       "    print(name, l.GetName(), l.GetFeatureCount(), ogr.GeometryTypeToName(l.GetGeomType()),"
                       " l.GetSpatialRef().GetAuthorityCode(None),"
                       " [d.GetFieldDefn(i).GetName() for i in range(d.GetFieldCount())])\n"
                       "for name, layer in [('f.gpkg', 'points'), ('plan_points.shp', 'plan_points')]:\n"
                       "  d = ogr.Open(name); f = d.GetLayerByName(layer).GetFeature(7 if name == 'f.gpkg' else 6)\n"
                       "  print([f.GetField(i) for i in range(4)], f.GetGeometryRef().ExportToIsoWkt())\n"
                       "for name, layer in [('f.gpkg', 'lines'), ('plan_lines.shp', 'plan_lines')]:\n"
                       "  d = ogr.Open(name)\n"
                       "  for f in d.GetLayerByName(layer):\n"
                       "    print(f.GetField('code'), f.GetGeometryRef().ExportToIsoWkt())\n",
                       &out)) {
    GTEST_SKIP() << "Python's GDAL (python3-gdal) is missing";
  }
  // z from 10 to 11.2: contours at 10.5 and 11 (10 has nothing below it).
  EXPECT_EQ(out,
            "f.gpkg faces 8 3D Polygon 25832 ['face', 'mean_z']\n"
            "f.gpkg contours 2 3D Line String 25832 ['elevation', 'index']\n"
            "f.gpkg points 8 3D Point 25832 ['number', 'code', 'description', 'z']\n"
            "f.gpkg lines 2 3D Line String 25832 ['code']\n"
            "plan.shp plan 8 3D Polygon 25832 ['face', 'mean_z']\n"
            "plan_contours.shp plan_contours 2 3D Line String 25832 ['elevation', 'index']\n"
            "plan_points.shp plan_points 8 3D Point 25832 ['number', 'code', 'desc', 'z']\n"
            "plan_lines.shp plan_lines 2 3D Line String 25832 ['code']\n"
            "['7', 'TREE', 'TREE oak', 10.4] POINT Z (5 5 10.4)\n"
            "['7', 'TREE', 'TREE oak', 10.4] POINT Z (5 5 10.4)\n"
            "KERB1 LINESTRING Z (10 0 10.5,20 0 11,15 5 10.9)\n"
            "KERB2 LINESTRING Z (0 10 10.2,10 10 10.7)\n"
            "KERB1 LINESTRING Z (10 0 10.5,20 0 11,15 5 10.9)\n"
            "KERB2 LINESTRING Z (0 10 10.2,10 10 10.7)\n");
}

// The sibling sets are put in place with the faces' set: a file in the way
// of any of them leaves every set as it was.
TEST(CodedLinesTest, ShapefileSetsAreReplacedTogetherOrNotAtAll) {
  namespace fs = std::filesystem;
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", fieldBook);
  ASSERT_EQ(runExport({"f.csv", "plan.SHP", "--lines", "KERB", "--srs", "EPSG:25832"}, dir).status, 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"f.csv", "plan.DBF", "plan.PRJ", "plan.SHP", "plan.SHX",
                                             "plan_lines.CPG", "plan_lines.DBF", "plan_lines.PRJ", "plan_lines.SHP",
                                             "plan_lines.SHX", "plan_points.CPG", "plan_points.DBF",
                                             "plan_points.PRJ", "plan_points.SHP", "plan_points.SHX"}));
  const std::string shp = readFile(dir + "/plan.SHP"), points = readFile(dir + "/plan_points.SHP");
  writeFile(dir + "/g.csv", "Pt,E,N,H,Code\n1,0,0,1,KERB\n2,5,0,2,KERB\n3,0,5,3,X\n");
  fs::remove(dir + "/plan_lines.DBF");
  fs::create_directory(dir + "/plan_lines.DBF");
  const ProcessResult failed = runExport({"g.csv", "plan.SHP", "--lines", "KERB"}, dir);
  EXPECT_EQ(failed.err.find("tsvmesh-export: plan.SHP: plan_lines.DBF: cannot write"), 0u) << failed.err;
  EXPECT_EQ(failed.status, 1);
  EXPECT_TRUE(readFile(dir + "/plan.SHP") == shp && readFile(dir + "/plan_points.SHP") == points);
  EXPECT_TRUE(fileExists(dir + "/plan_points.PRJ"));
  fs::remove(dir + "/plan_lines.DBF");
  ASSERT_EQ(runExport({"g.csv", "plan.SHP", "--lines", "KERB"}, dir).status, 0);
  EXPECT_FALSE(fileExists(dir + "/plan_points.PRJ"));  // no --srs: no stale system
  EXPECT_NE(readFile(dir + "/plan_points.SHP"), points);
}
#endif
