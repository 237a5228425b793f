// What tsvmesh-export computes from a surface, against known answers:
// points and field files meshed as tsvmesh meshes them, grids sampled from
// planes, volumes of prisms, pyramids and cones, and the GIS files read back
// with GDAL itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "export/products/elevation_grid.h"
#include "export/products/volumes.h"
#include "export/read/mesh_file.h"
#include "export/read/field_file.h"
#include "export/read/points_input.h"
#include "export/surface/build.h"
#include "export_run.h"
#include "test_support.h"

namespace {

struct Xyz {
  double x, y, z;
};

std::string pointsText(const std::vector<Xyz>& points) {
  std::string text = "out.csv\n";
  char line[128];
  for (const Xyz& p : points) {
    std::snprintf(line, sizeof line, "%.17g\t%.17g\t%.17g\n", p.x, p.y, p.z);
    text += line;
  }
  return text;
}

// Meshes points the way tsvmesh-export reads a points file.
ExportMesh meshOf(const std::vector<Xyz>& points) {
  const std::string path = makeScratchDir() + "/points.tsv";
  writeFile(path, pointsText(points));
  ExportMesh mesh;
  ExportReadError error;
  SurfaceSource source;
  source.path = path.c_str();
  EXPECT_TRUE(buildSurface(source, &mesh, &error, nullptr)) << error.message;
  return mesh;
}

// A (size + 1)^2 lattice of points over [0, size]^2 with the given heights.
template <typename Height>
std::vector<Xyz> lattice(int32_t size, double step, Height height) {
  std::vector<Xyz> points;
  for (int32_t i = 0; i <= size; ++i) {
    for (int32_t j = 0; j <= size; ++j) points.push_back({i * step, j * step, height(i * step, j * step)});
  }
  return points;
}

// Runs a Python script with Debian's modules (imports, a line of Python);
// false when they are missing.
bool runDebianPython(const std::string& dir, const std::string& imports, const std::string& script,
                     std::string* out) {
  if (!fileExists("/usr/bin/python3")) return false;
  const ProcessResult probe = runProgram("/usr/bin/python3", {"python3", "-c", imports}, dir, "", 60);
  if (probe.status != 0) return false;
  const ProcessResult run = runProgram("/usr/bin/python3", {"python3", "-c", script}, dir, "", 60);
  EXPECT_EQ(run.status, 0) << run.err;
  *out = run.out;
  return true;
}

}  // namespace

TEST(SurfaceInputTest, MillimetresSurviveIntoObjAndLandXml) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/mm.tsv", "mm.csv\n512345.123 6789012.456 123.457\n512346.001 6789012.999 123.4\n"
                             "512345.5 6789014.25 124.0005\n");
  for (const char* extension : {"obj", "xml"}) {
    const ProcessResult run = runExport({"mm.tsv", std::string("mm.") + extension}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const std::string obj = readFile(dir + "/mm.obj");
  EXPECT_NE(obj.find("v 512345.123 6789012.456 123.457\n"), std::string::npos) << obj;
  EXPECT_NE(obj.find("v 512345.5 6789014.25 124.0005\n"), std::string::npos) << obj;
  EXPECT_NE(readFile(dir + "/mm.xml").find(">6789012.456 512345.123 123.457</P>"), std::string::npos);
}

TEST(SurfaceInputTest, FieldFileWithHeaderQuotesAndCommasInDescriptions) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/site.csv",
            "Point,Northing,Easting,Elevation,Description\r\n"
            "101,5000.125,2000.5,10.25,\"TREE, OAK\"\r\n"
            "102, 5010 ,2000,11,FENCE, POST 3\r\n"
            "\r\n"
            "\"1\"\"03\",5005,2010.75,12,\"\"\r\n");
  std::string columns, problem;
  ASSERT_TRUE(parseFieldColumns("pnezd", &columns, &problem));
  FieldPoints points;
  ExportReadError error;
  ASSERT_TRUE(readFieldPoints((dir + "/site.csv").c_str(), columns, {}, &points, &error)) << error.message;
  ASSERT_EQ(points.read.size(), 3u);
  ASSERT_EQ(points.surveyed.size(), 3u);
  const ExportSurveyPoint* p = points.surveyed.data();
  EXPECT_TRUE(p[0].x == 2000.5 && p[0].y == 5000.125 && p[0].z == 10.25 && p[0].name == "101" &&
              p[0].description == "TREE, OAK");
  EXPECT_TRUE(p[1].x == 2000 && p[1].y == 5010 && p[1].name == "102" && p[1].description == "FENCE, POST 3");
  EXPECT_TRUE(p[2].x == 2010.75 && p[2].name == "1\"03" && p[2].description.empty());

  // The same file through the tool: CgPoints with numbers and descriptions.
  const ProcessResult run = runExport({"site.csv", "site.xml", "--columns", "PNEZD"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string xml = readFile(dir + "/site.xml");
  EXPECT_NE(xml.find("<CgPoint name=\"101\" desc=\"TREE, OAK\">5000.125 2000.5 10.25</CgPoint>"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<CgPoint name=\"1&quot;03\">5005 2010.75 12</CgPoint>"), std::string::npos);
}

TEST(SurfaceInputTest, MalformedFieldLinesAreNamedByLineAndLeaveNoOutput) {
  const std::string dir = makeScratchDir();
  const struct {
    const char* text;
    const char* letters;
    const char* message;
  } cases[] = {
      {"1,10,20,5\n2,11,x,5\n3,12,22,6\n", "PNEZ", "f.csv:2: expected a number for E (easting), found \"x\""},
      {"1,10,20,5\n2,11,21\n3,12,22,6\n", "PNEZ", "f.csv:2: expected 4 fields (--columns PNEZ), found 3; no Z"},
      {"10,20,5\n11,21,5,9\n", "NEZ", "f.csv:2: expected 3 fields (--columns NEZ), found more"},
      {"1,10,20,5,\"open\n", "PNEZD", "f.csv:1: expected a field that ends with its closing quote"},
      {"N,E,Z\n10,20,5\n", "NEZ", "f.csv: expected at least 3 points at distinct positions"},
  };
  for (const auto& c : cases) {
    writeFile(dir + "/f.csv", c.text);
    const ProcessResult run = runExport({"f.csv", "f.obj", "--columns", c.letters}, dir);
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_EQ(run.err.find(std::string("tsvmesh-export: ") + c.message), 0u) << run.err;
    EXPECT_FALSE(fileExists(dir + "/f.obj"));
  }
  std::string columns, problem;
  EXPECT_FALSE(parseFieldColumns("PNZD", &columns, &problem));
  EXPECT_FALSE(parseFieldColumns("PNEZZ", &columns, &problem));
  EXPECT_FALSE(parseFieldColumns("PNEZX", &columns, &problem));
}

// A points file whose first line is longer than any path (here a file of
// NUL bytes, all one line) is refused at line 1 without reading it whole.
TEST(SurfaceInputTest, FirstLineLongerThanAnyPathIsRefusedAtLineOne) {
  const std::string path = makeScratchDir() + "/nul.tsv";
  writeFile(path, std::string(size_t{4} << 20, '\0'));
  std::vector<MeshPoint> points;
  ExportReadError error;
  EXPECT_FALSE(readPointsList(path.c_str(), &points, &error));
  EXPECT_EQ(error.line, 1);
  EXPECT_NE(error.message.find("longer than any path"), std::string::npos) << error.message;
}

TEST(ElevationGridTest, TiltedPlaneGivesThePlaneInEveryCellItCovers) {
  // Cell centres fall on the lattice's vertices and edges: each is decided.
  // 81 rows: two bands sampled at once where a second core is.
  const auto plane = [](double x, double y) { return 2.0 * x + 3.0 * y + 5.0; };
  const ExportMesh mesh = meshOf(lattice(10, 1.0, plane));
  ExportGridFrame frame;
  std::string problem;
  ASSERT_TRUE(frameSurface(mesh, {}, 0.125, &frame, &problem));
  std::vector<double> values;
  sampleSurface(mesh, {}, frame, &values);
  int32_t covered = 0;
  for (int32_t r = 0; r < frame.rows; ++r) {
    for (int32_t c = 0; c < frame.columns; ++c) {
      const double x = gridCentreX(frame, c), y = gridCentreY(frame, r);
      const double value = values[static_cast<size_t>(r) * static_cast<size_t>(frame.columns) + c];
      const bool inside = x >= 0 && x <= 10 && y >= 0 && y <= 10;
      ASSERT_EQ(!std::isnan(value), inside) << x << " " << y;
      if (inside) {
        ++covered;
        EXPECT_NEAR(value, plane(x, y), 1e-12) << x << " " << y;
      }
    }
  }
  EXPECT_EQ(covered, 81 * 81);
}

TEST(ElevationGridTest, EveryPointInsideTheMeshHasExactlyOneOwner) {
  // Points on shared edges and vertices included: a jittered lattice whose
  // probes sit on its vertices, on its edges' midpoints and near both.
  std::mt19937 random(17);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  std::vector<Xyz> points = lattice(6, 1.0, [](double, double) { return 0.0; });
  for (Xyz& p : points) {
    if (p.x > 0 && p.x < 6 && p.y > 0 && p.y < 6) p = {p.x + jitter(random), p.y + jitter(random), 0.0};
  }
  const ExportMesh mesh = meshOf(points);
  std::vector<std::pair<double, double>> probes;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    for (int32_t c = 0; c < 3; ++c) {
      const ExportVertex& a = mesh.vertices[static_cast<size_t>(mesh.corners[f * 3 + c])];
      const ExportVertex& b = mesh.vertices[static_cast<size_t>(mesh.corners[f * 3 + (c + 1) % 3])];
      probes.push_back({a.x, a.y});
      probes.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
      probes.push_back({std::nextafter(a.x, b.x), a.y});
    }
  }
  for (const auto& [px, py] : probes) {
    if (px <= 0 || px >= 6 || py <= 0 || py >= 6) continue;  // the outer edge has its own rule
    int32_t owners = 0;
    for (int32_t f = 0; f < mesh.triangleCount; ++f) {
      const ExportVertex* v[3];
      for (int32_t c = 0; c < 3; ++c) v[c] = &mesh.vertices[static_cast<size_t>(mesh.corners[f * 3 + c])];
      owners += faceHoldsPoint(v[0]->x, v[0]->y, v[1]->x, v[1]->y, v[2]->x, v[2]->y, px, py) == 2;
    }
    ASSERT_EQ(owners, 1) << px << " " << py;
  }
}

TEST(ElevationGridTest, ExactTurnSeesWhatRoundingHides) {
  EXPECT_EQ(exactTurn(0, 0, 1, 1, 0.5, 0.5), 0);
  EXPECT_EQ(exactTurn(0, 0, 1, 1, 0.5, std::nextafter(0.5, 1.0)), 1);
  EXPECT_EQ(exactTurn(0, 0, 1, 1, 0.5, std::nextafter(0.5, 0.0)), -1);
  // Far from the origin the naive formula rounds these to zero.
  const double big = 512345.123;
  EXPECT_EQ(exactTurn(big, big, big + 3, big + 3, big + 1, std::nextafter(big + 1, 1e9)), 1);
  EXPECT_EQ(exactTurn(0.1, 0.1, 0.3, 0.3, 0.7, 0.7), exactTurn(0.7, 0.7, 0.3, 0.3, 0.1, 0.1) * -1);
}

TEST(VolumeTest, PrismAboveALevelThatCutsTheSurface) {
  // z = 2x + 3y + 5 over [0, 10]^2; the level 6 cuts off the corner where
  // 2x + 3y < 1, a triangle of area 1/12 whose volume below is 1/36.
  const ExportMesh mesh = meshOf(lattice(10, 1.0, [](double x, double y) { return 2 * x + 3 * y + 5; }));
  ExportSurfaceMeasures m;
  measureSurface(mesh, {}, true, 6.0, &m);
  EXPECT_NEAR(m.planArea, 100.0, 1e-9);
  EXPECT_NEAR(m.surfaceArea, 100.0 * std::sqrt(1 + 4 + 9), 1e-9);
  EXPECT_DOUBLE_EQ(m.lowest, 5.0);
  EXPECT_DOUBLE_EQ(m.highest, 55.0);
  EXPECT_NEAR(m.mean, 30.0, 1e-9);
  EXPECT_NEAR(m.below, 1.0 / 36.0, 1e-12);
  EXPECT_NEAR(m.above, 2400.0 + 1.0 / 36.0, 1e-9);
  EXPECT_NEAR(m.areaBelow, 1.0 / 12.0, 1e-12);
  EXPECT_NEAR(m.areaAbove, 100.0 - 1.0 / 12.0, 1e-9);
}

TEST(VolumeTest, PyramidAndStockpileCone) {
  ExportSurfaceMeasures m;
  measureSurface(meshOf({{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {0, 0, 3}}), {}, true, 0.0, &m);
  EXPECT_NEAR(m.above, 4.0 * 3.0 / 3.0, 1e-12);
  EXPECT_NEAR(m.surfaceArea, 4.0 * std::sqrt(1.0 + 9.0), 1e-12);
  EXPECT_EQ(m.below, 0.0);

  // A cone of radius 20 and height 6 from rings of 128 points: the faceted
  // volume lies below pi r^2 h / 3 by about the polygon's share of the disc.
  const double pi = 3.14159265358979323846;
  std::vector<Xyz> cone{{0, 0, 6}};
  for (int32_t ring = 1; ring <= 10; ++ring) {
    for (int32_t k = 0; k < 128; ++k) {
      const double angle = 2 * pi * (k + 0.5 * (ring % 2)) / 128, r = 2.0 * ring;
      cone.push_back({r * std::cos(angle), r * std::sin(angle), 6.0 * (1 - r / 20)});
    }
  }
  measureSurface(meshOf(cone), {}, true, 0.0, &m);
  const double exact = pi * 400 * 6 / 3;
  EXPECT_LT(m.above, exact);
  EXPECT_GT(m.above, exact * 0.995);
}

TEST(SurfaceOutputTest, ReportAndGridFilesFromTheTool) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/plane.tsv", pointsText(lattice(4, 1.0, [](double x, double y) { return x + 2 * y; })));
  ASSERT_EQ(runExport({"plane.tsv", "plane.json", "--base", "1"}, dir).status, 0);
  const std::string json = readFile(dir + "/plane.json");
  EXPECT_NE(json.find("\"planimetricArea\": 16,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"highestElevation\": 12,"), std::string::npos) << json;
  ASSERT_EQ(runExport({"plane.tsv", "plane.asc", "--cell", "2"}, dir).status, 0);
  EXPECT_EQ(readFile(dir + "/plane.asc"),
            "ncols 3\nnrows 3\nxllcorner -1\nyllcorner -1\ncellsize 2\nNODATA_value -9999\n"
            "8 10 12\n4 6 8\n0 2 4\n");
  const ProcessResult noCell = runExport({"plane.tsv", "plane.asc"}, dir);
  EXPECT_EQ(noCell.status, 2);
  EXPECT_EQ(noCell.err.find("tsvmesh-export: a .asc or .tif grid needs --cell SIZE\n"), 0u);
}

#if TSVMESH_EXPORT_GDAL
TEST(SurfaceOutputTest, GdalReadsTheGeoTiffAndTheGeoPackageBack) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/plane.tsv",
            pointsText(lattice(8, 1.0, [](double x, double y) { return 500000 + x + 2 * y; })));
  ASSERT_EQ(runExport({"plane.tsv", "plane.tif", "--cell", "0.5", "--srs", "EPSG:25832"}, dir).status, 0);
  ASSERT_EQ(runExport({"plane.tsv", "plane.gpkg", "--srs", "EPSG:25832", "--contour", "5"}, dir).status, 0);
  std::string out;
  if (!runDebianPython(dir, "from osgeo import gdal, ogr",
                     "from osgeo import gdal, ogr\n"
                     "d = gdal.Open('plane.tif'); b = d.GetRasterBand(1)\n"
                     "print(d.RasterXSize, d.RasterYSize, d.GetGeoTransform(), b.DataType == gdal.GDT_Float32)\n"
                     "print(b.GetNoDataValue(), b.ReadAsArray(4, 3, 1, 1)[0][0], b.ReadAsArray(0, 0, 1, 1)[0][0])\n"
                     "print(d.GetSpatialRef().GetAuthorityCode(None))\n"
                     "v = ogr.Open('plane.gpkg')\n"
                     "for l in v:\n"
                     "  print(l.GetName(), l.GetFeatureCount(), ogr.GeometryTypeToName(l.GetGeomType()),"
                     " l.GetSpatialRef().GetAuthorityCode(None))\n",
                     &out)) {
    GTEST_SKIP() << "Python's GDAL (python3-gdal) is missing";
  }
  // z from 500000 to 500024: contours at 500005, 500010, 500015 and 500020.
  // Centres from 0 to 8 by 0.5: 17 columns and rows; (x, y) = (2, 6.5) at
  // column 4, row 3 has 500000 + 2 + 13; the corner at (0, 8) is outside.
  EXPECT_EQ(out,
            "17 17 (-0.25, 0.5, 0.0, 8.25, 0.0, -0.5) True\n"
            "-9999.0 500015.0 500016.0\n"
            "25832\n"
            "faces 128 3D Polygon 25832\n"
            "contours 4 3D Line String 25832\n");
}
#endif

#if TSVMESH_EXPORT_GDAL
// Without --srs a GeoPackage claims no system: its layers point to the
// undefined Cartesian one (-1), not the undefined geographic one (0),
// whose latitude-first axes would swap x and y in GDAL.
TEST(SurfaceOutputTest, GeoPackageWithoutSrsIsCartesian) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/plane.tsv", pointsText(lattice(2, 10.0, [](double x, double y) { return x + y; })));
  ASSERT_EQ(runExport({"plane.tsv", "plane.gpkg", "--contour", "5"}, dir).status, 0);
  std::string out;
  if (!runDebianPython(dir, "from osgeo import ogr",
                       "from osgeo import ogr\n"
                       "d = ogr.Open('plane.gpkg')\n"
                       "for l in d:\n"
                       "  s = l.GetSpatialRef(); e = l.GetExtent()\n"
                       "  print(l.GetName(), s is None or s.IsGeographic() == 0, e[0], e[1], e[2], e[3])\n"
                       "r = d.ExecuteSQL('SELECT table_name, srs_id FROM gpkg_geometry_columns ORDER BY table_name')\n"
                       "print([(f.GetField(0), f.GetField(1)) for f in r])\n",
                       &out)) {
    GTEST_SKIP() << "Python's GDAL (python3-gdal) is missing";
  }
  EXPECT_EQ(out,
            "faces True 0.0 20.0 0.0 20.0\n"
            "contours True 0.0 20.0 0.0 20.0\n"
            "[('contours', -1), ('faces', -1)]\n");
}

// A Shapefile is a set of files: it is replaced whole or not at all, and a
// part the new set lacks (no --srs: no .prj) does not stay from an older one.
TEST(SurfaceOutputTest, ShapefileIsReplacedAsAWholeSet) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/small.tsv", pointsText(lattice(1, 10.0, [](double x, double y) { return x + y; })));
  writeFile(dir + "/large.tsv", pointsText(lattice(4, 1.0, [](double x, double y) { return x - y; })));
  ASSERT_EQ(runExport({"small.tsv", "s.shp", "--srs", "EPSG:25832"}, dir).status, 0);
  EXPECT_TRUE(fileExists(dir + "/s.prj"));
  writeFile(dir + "/s.cpg", "LATIN1");
  ASSERT_EQ(runExport({"small.tsv", "s.shp"}, dir).status, 0);
  EXPECT_FALSE(fileExists(dir + "/s.prj"));
  EXPECT_FALSE(fileExists(dir + "/s.cpg"));
  const std::string shp = readFile(dir + "/s.shp"), shx = readFile(dir + "/s.shx");

  // The .dbf cannot be written (a folder has its name): the old .shp and
  // .shx stay, and no .prj comes.
  std::filesystem::remove(dir + "/s.dbf");
  std::filesystem::create_directory(dir + "/s.dbf");
  const ProcessResult failed = runExport({"large.tsv", "s.shp", "--srs", "EPSG:25832"}, dir);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err.find("tsvmesh-export: s.shp: s.dbf: cannot write"), 0u) << failed.err;
  EXPECT_EQ(readFile(dir + "/s.shp"), shp);
  EXPECT_EQ(readFile(dir + "/s.shx"), shx);
  EXPECT_FALSE(fileExists(dir + "/s.prj"));

  // Nor is any part left behind in a folder that had none.
  const std::string empty = makeScratchDir();
  std::filesystem::create_directory(empty + "/t.DBF");
  writeFile(empty + "/large.tsv", readFile(dir + "/large.tsv"));
  EXPECT_EQ(runExport({"large.tsv", "t.SHP"}, empty).status, 1);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(empty)) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"large.tsv", "t.DBF"}));
}
#endif

TEST(SurfaceOutputTest, FieldPointsReadBackFromDxfAndGeoJson) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/f.csv", "P,E,N,Z,D\n7,512345.123,6789012.456,12.5,\"TREE, OAK\"\n8,512350,6789012,13,\n"
                            "9,512347.5,6789020.25,14,POST\n");
  ASSERT_EQ(runExport({"f.csv", "f.dxf", "--columns", "PENZD"}, dir).status, 0);
  const ProcessResult geojson = runExport({"f.csv", "f.geojson", "--columns", "PENZD", "--srs", "EPSG:25832"}, dir);
  ASSERT_EQ(geojson.status, 0) << geojson.err;
  std::string out;
  if (!runDebianPython(dir, "import ezdxf, json",
                       "import ezdxf, json\n"
                       "from ezdxf import recover\n"
                       "doc, auditor = recover.readfile('f.dxf')\n"
                       "m = doc.modelspace()\n"
                       "print(len(auditor.errors), [(p.dxf.layer, tuple(p.dxf.location)) for p in m.query('POINT')])\n"
                       "print([(t.dxf.layer, t.dxf.text) for t in m.query('TEXT')])\n"
                       "d = json.load(open('f.geojson'))\n"
                       "print(d['crs']['properties']['name'], [(f['properties']['number'], f['properties']['code'],"
                       " f['properties']['description'], f['properties']['z'], f['geometry']['coordinates'])"
                       " for f in d['features']])\n",
                       &out)) {
    GTEST_SKIP() << "Debian's python3-ezdxf is missing";
  }
  // A layer per code (the description's first word); each point labelled
  // with its number, its elevation to the file's decimals and its description.
  EXPECT_EQ(out,
            "0 [('POINTS-TREE', (512345.123, 6789012.456, 12.5)), ('POINTS', (512350.0, 6789012.0, 13.0)), "
            "('POINTS-POST', (512347.5, 6789020.25, 14.0))]\n"
            "[('POINTS-TREE', '7'), ('POINTS-TREE', '12.5'), ('POINTS-TREE', 'TREE, OAK'), ('POINTS', '8'), "
            "('POINTS', '13'), ('POINTS-POST', '9'), ('POINTS-POST', '14'), ('POINTS-POST', 'POST')]\n"
            "urn:ogc:def:crs:EPSG::25832 [('7', 'TREE', 'TREE, OAK', 12.5, [512345.123, 6789012.456, 12.5]), "
            "('8', '', '', 13, [512350, 6789012, 13]), ('9', 'POST', 'POST', 14, [512347.5, 6789020.25, 14])]\n");
}
