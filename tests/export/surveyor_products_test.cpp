// Contours, the site boundary, face orientation and the CAD and GIS files,
// on surfaces whose answers are known by hand; the files are read back by
// independent readers (ezdxf, Python's json, meshio) where installed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "export/products/contours.h"
#include "export/products/facing.h"
#include "export/products/mesh_edges.h"
#include "export/products/site_boundary.h"
#include "export/read/mesh_file.h"
#include "export_run.h"
#include "test_support.h"

namespace {

constexpr double pi = 3.14159265358979323846;

ExportMesh meshOf(const std::vector<ExportVertex>& vertices, const std::vector<int32_t>& corners) {
  ExportMesh mesh;
  mesh.vertices = vertices;
  mesh.vertexCount = static_cast<int32_t>(vertices.size());
  mesh.corners = corners;
  mesh.triangleCount = static_cast<int32_t>(corners.size() / 3);
  mesh.textStart.push_back(0);
  mesh.lowestZ = mesh.highestZ = vertices[0].z;
  for (const ExportVertex& v : vertices) {
    char text[128];
    const int length = std::snprintf(text, sizeof text, "%.2f,%.2f,%.2f", v.x, v.y, v.z);
    mesh.text.insert(mesh.text.end(), text, text + length);
    mesh.textStart.push_back(static_cast<int64_t>(mesh.text.size()));
    mesh.lowestZ = std::min(mesh.lowestZ, v.z);
    mesh.highestZ = std::max(mesh.highestZ, v.z);
  }
  return mesh;
}

// A side x side lattice of unit squares, z from height(x, y), each square
// cut by its rising diagonal; the corner order alternates between clockwise
// and counter-clockwise, as files give them.
template <typename Height>
ExportMesh latticeMesh(int32_t side, Height height) {
  std::vector<ExportVertex> vertices;
  for (int32_t j = 0; j <= side; ++j) {
    for (int32_t i = 0; i <= side; ++i) vertices.push_back({double(i), double(j), height(i, j)});
  }
  std::vector<int32_t> corners;
  for (int32_t j = 0; j < side; ++j) {
    for (int32_t i = 0; i < side; ++i) {
      const int32_t a = j * (side + 1) + i, b = a + 1, c = a + side + 2, d = a + side + 1;
      corners.insert(corners.end(), {a, b, c, a, d, c});
    }
  }
  return meshOf(vertices, corners);
}

ExportContours contoursOf(const ExportMesh& mesh, double interval, double base = 0.0) {
  ExportEdges edges;
  EXPECT_TRUE(findMeshEdges(mesh, &edges));
  ExportContours contours;
  EXPECT_EQ(traceContours(mesh, edges, interval, 5, base, &contours, nullptr), contourOk);
  // No line anywhere steps in place.
  for (const ExportContourLine& line : contours.lines) {
    for (int32_t p = 1; p < line.pointCount; ++p) {
      const double* at = &contours.xy[static_cast<size_t>(line.firstPoint) + static_cast<size_t>(p) * 2];
      EXPECT_FALSE(at[0] == at[-2] && at[1] == at[-1]) << "a zero-length step";
    }
  }
  return contours;
}

const ExportContourLevel& levelAt(const ExportContours& contours, double elevation) {
  for (const ExportContourLevel& level : contours.levels) {
    if (level.elevation == elevation) return level;
  }
  ADD_FAILURE() << "no level " << elevation;
  return contours.levels.front();
}

std::vector<std::pair<double, double>> pointsOf(const ExportContours& contours, const ExportContourLevel& level,
                                                int32_t line) {
  const ExportContourLine& l = contours.lines[static_cast<size_t>(level.firstLine + line)];
  std::vector<std::pair<double, double>> points;
  for (int32_t p = 0; p < l.pointCount; ++p) {
    const size_t at = static_cast<size_t>(l.firstPoint) + static_cast<size_t>(p) * 2;
    points.emplace_back(contours.xy[at], contours.xy[at + 1]);
  }
  return points;
}

// Runs a Python check with Debian's Python; exit status 77 means its
// reader is not installed.
void runPythonCheck(const std::string& dir, const std::string& script, const std::vector<std::string>& args) {
  if (!fileExists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
  writeFile(dir + "/check.py", script);
  std::vector<std::string> argv{"python3", dir + "/check.py"};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult run = runProgram("/usr/bin/python3", argv, dir, "", 120);
  if (run.status == 77) GTEST_SKIP() << run.out;
  EXPECT_EQ(run.status, 0) << run.out << run.err;
}

}  // namespace

TEST(ContourTest, TiltedPlaneGivesStraightParallelLinesAtTheirLevels) {
  // z = x: every level's contour is the line x = level across the lattice.
  const ExportMesh mesh = latticeMesh(10, [](int32_t i, int32_t) { return double(i); });
  const ExportContours contours = contoursOf(mesh, 2.5);
  ASSERT_EQ(contours.levels.size(), 4u);  // 2.5 .. 10; 0 has nothing below it
  EXPECT_TRUE(contours.levels[1].index == false && levelAt(contours, 10.0).index == false);
  for (const ExportContourLevel& level : contours.levels) {
    ASSERT_EQ(level.lineCount, 1) << level.elevation;
    EXPECT_FALSE(contours.lines[static_cast<size_t>(level.firstLine)].closed);
    const auto points = pointsOf(contours, level, 0);
    // Crossings between columns: every row edge and every diagonal, 21;
    // a level through a column of vertices: those 11 vertices.
    EXPECT_EQ(points.size(), std::fmod(level.elevation, 1.0) == 0.0 ? 11u : 21u) << level.elevation;
    const bool rising = points.front().second < points.back().second;
    EXPECT_EQ(std::min(points.front().second, points.back().second), 0.0);
    EXPECT_EQ(std::max(points.front().second, points.back().second), 10.0);
    for (size_t p = 0; p < points.size(); ++p) {
      EXPECT_EQ(points[p].first, level.elevation);
      if (p > 0) {
        EXPECT_EQ(points[p].second > points[p - 1].second, rising);
      }
    }
  }
}

TEST(ContourTest, ConeGivesClosedLoopsAtKnownRadii) {
  // Apex 10 high at the origin, rings of 16 points at radius r, z = 10 - r.
  std::vector<ExportVertex> vertices{{0.0, 0.0, 10.0}};
  for (int32_t r = 1; r <= 5; ++r) {
    for (int32_t k = 0; k < 16; ++k) {
      vertices.push_back({r * std::cos(k * pi / 8), r * std::sin(k * pi / 8), 10.0 - r});
    }
  }
  std::vector<int32_t> corners;
  for (int32_t k = 0; k < 16; ++k) corners.insert(corners.end(), {0, 1 + k, 1 + (k + 1) % 16});
  for (int32_t r = 1; r < 5; ++r) {
    for (int32_t k = 0; k < 16; ++k) {
      const int32_t a = 1 + (r - 1) * 16 + k, b = 1 + (r - 1) * 16 + (k + 1) % 16;
      corners.insert(corners.end(), {a, a + 16, b + 16, a, b + 16, b});
    }
  }
  const ExportMesh mesh = meshOf(vertices, corners);
  const ExportContours contours = contoursOf(mesh, 0.5);
  // The apex alone touches level 10: a point, no line.
  EXPECT_EQ(levelAt(contours, 10.0).lineCount, 0);
  for (const double elevation : {8.0, 7.5, 6.0}) {
    const ExportContourLevel& level = levelAt(contours, elevation);
    ASSERT_EQ(level.lineCount, 1) << elevation;
    EXPECT_TRUE(contours.lines[static_cast<size_t>(level.firstLine)].closed);
    const auto points = pointsOf(contours, level, 0);
    const double radius = 10.0 - elevation;
    // On a ring: its 16 vertices. Between rings: 16 radial crossings at the
    // radius and 16 on the diagonals, inside it but outside the chords.
    const bool onRing = std::fmod(elevation, 1.0) == 0.0;
    ASSERT_EQ(points.size(), onRing ? 16u : 32u) << elevation;
    int32_t atRadius = 0;
    for (const auto& [x, y] : points) {
      const double distance = std::hypot(x, y);
      EXPECT_LE(distance, radius + 1e-12);
      EXPECT_GE(distance, radius * std::cos(pi / 16) - 1e-12);
      atRadius += std::fabs(distance - radius) < 1e-12 ? 1 : 0;
    }
    EXPECT_EQ(atRadius, 16) << elevation;
  }
}

TEST(ContourTest, VerticesPlateausAndRidgesOnALevelGiveOneLineEach) {
  // A plateau at 5 on the 2 x 2 middle of a 3 x 3 lattice, the rest at 0:
  // at 5 the plateau's rim, one closed square of its 4 corners.
  const ExportMesh plateau =
      latticeMesh(3, [](int32_t i, int32_t j) { return i >= 1 && i <= 2 && j >= 1 && j <= 2 ? 5.0 : 0.0; });
  const ExportContours rim = contoursOf(plateau, 5.0);
  ASSERT_EQ(rim.levels.size(), 1u);
  ASSERT_EQ(rim.levels[0].lineCount, 1);
  EXPECT_TRUE(rim.lines[0].closed);
  const auto square = pointsOf(rim, rim.levels[0], 0);
  ASSERT_EQ(square.size(), 4u);
  for (const auto& [x, y] : square) EXPECT_TRUE((x == 1.0 || x == 2.0) && (y == 1.0 || y == 2.0));

  // A ridge at 5 along the middle row, lower on both sides: both faces of
  // every ridge edge meet the level there, yet the line runs once, open.
  const ExportMesh ridge = latticeMesh(2, [](int32_t, int32_t j) { return j == 1 ? 5.0 : 0.0; });
  const ExportContours crest = contoursOf(ridge, 5.0);
  ASSERT_EQ(crest.levels[0].lineCount, 1);
  EXPECT_FALSE(crest.lines[0].closed);
  EXPECT_EQ(pointsOf(crest, crest.levels[0], 0).size(), 3u);

  // The same ridge on a slope that rises away from it: at 5 the line runs
  // along the ridge's lower side only; above it nothing doubles.
  const ExportMesh step = latticeMesh(2, [](int32_t, int32_t j) { return j == 0 ? 0.0 : j == 1 ? 5.0 : 7.0; });
  const ExportContours edge = contoursOf(step, 5.0);
  ASSERT_EQ(edge.levels[0].lineCount, 1);
  EXPECT_EQ(pointsOf(edge, edge.levels[0], 0).size(), 3u);

  // A saddle exactly at a level: four pieces meet at its centre and end there.
  const ExportMesh saddle = latticeMesh(2, [](int32_t i, int32_t j) { return (i - 1.0) * (j - 1.0) + 5.0; });
  const ExportContours cross = contoursOf(saddle, 5.0);
  const ExportContourLevel& five = levelAt(cross, 5.0);
  EXPECT_GE(five.lineCount, 2);
  for (int32_t l = 0; l < five.lineCount; ++l) EXPECT_FALSE(cross.lines[static_cast<size_t>(five.firstLine + l)].closed);
}

TEST(ContourTest, LevelsCountFromTheBaseAndRefuseTooMany) {
  std::vector<ExportContourLevel> levels;
  ASSERT_EQ(contourLevels(-3.0, 12.0, 5.0, 1.0, 2, &levels), contourOk);
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[0].elevation, 1.0);
  EXPECT_EQ(levels[2].elevation, 11.0);
  EXPECT_TRUE(levels[0].index && !levels[1].index && levels[2].index);
  EXPECT_EQ(contourLevels(0.0, 1000.0, 0.01, 0.0, 5, &levels), contourTooManyLevels);
}

TEST(SiteBoundaryTest, LongTrianglesGoWithTheirVerticesAndFacesPointUp) {
  // A unit square and a far point making a long sliver with it.
  ExportMesh mesh = meshOf({{0, 0, 1}, {1, 0, 2}, {1, 1, 3}, {0, 1, 4}, {9, 0.5, 5}},
                           {0, 2, 1, 0, 3, 2, 1, 2, 4});
  EXPECT_EQ(dropLongTriangles(&mesh, 1.5), 1);
  ASSERT_EQ(mesh.triangleCount, 2);
  EXPECT_EQ(mesh.vertexCount, 4);
  EXPECT_EQ(mesh.highestZ, 4.0);
  EXPECT_EQ(std::string(mesh.text.begin() + mesh.textStart[3], mesh.text.end()), "0.00,1.00,4.00");
  orientFacesUpward(&mesh);
  EXPECT_EQ(mesh.corners, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_GT(faceTwiceArea(mesh, 0), 0.0);
}

namespace {

// The OBJ's faces as corner coordinates: twice the signed area of each.
std::vector<double> objFaceAreas(const std::string& obj, double* longestSide) {
  std::vector<ExportVertex> vertices;
  std::vector<double> areas;
  *longestSide = 0.0;
  size_t at = 0;
  while (at < obj.size()) {
    const size_t end = obj.find('\n', at);
    const std::string line = obj.substr(at, end - at);
    at = end + 1;
    ExportVertex v{};
    int a = 0, b = 0, c = 0;
    if (std::sscanf(line.c_str(), "v %lf %lf %lf", &v.x, &v.y, &v.z) == 3) vertices.push_back(v);
    if (std::sscanf(line.c_str(), "f %d %d %d", &a, &b, &c) == 3) {
      const ExportVertex p[3] = {vertices[size_t(a - 1)], vertices[size_t(b - 1)], vertices[size_t(c - 1)]};
      areas.push_back((p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x));
      for (int32_t k = 0; k < 3; ++k) {
        *longestSide = std::max(*longestSide, std::hypot(p[(k + 1) % 3].x - p[k].x, p[(k + 1) % 3].y - p[k].y));
      }
    }
  }
  return areas;
}

}  // namespace

TEST(SurveyorFilesTest, ConcaveSiteKeepsItsShapeWithMaxSide) {
  // An L of unit squares, 4 long each way and 1 wide, and its notch's corner
  // point: the full mesh fills the hull (area 11.5); with --max-side 1.5
  // what remains is the L (7) and the one short triangle in the notch's corner.
  const std::string dir = makeScratchDir();
  std::string points = dir + "/l.csv\n";
  for (int32_t y = 0; y <= 4; ++y) {
    for (int32_t x = 0; x <= 4; ++x) {
      if (x <= 1 || y <= 1) points += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(x + y) + "\n";
    }
  }
  writeFile(dir + "/l.tsv", points);
  ASSERT_EQ(runTsvmeshBinary({dir + "/l.tsv"}, dir).status, 0);
  for (const bool boundary : {false, true}) {
    std::vector<std::string> args{dir + "/l.csv", dir + "/l.obj"};
    if (boundary) args.insert(args.end(), {"--max-side", "1.5"});
    ASSERT_EQ(runExport(args, dir).status, 0);
    double longest = 0.0;
    double area = 0.0;
    for (const double twice : objFaceAreas(readFile(dir + "/l.obj"), &longest)) {
      EXPECT_GT(twice, 0.0) << "a face pointing down";
      area += twice / 2.0;
    }
    EXPECT_DOUBLE_EQ(area, boundary ? 7.5 : 11.5);
    if (boundary) {
      EXPECT_LE(longest, 1.5);
    }
  }
}

TEST(SurveyorFilesTest, TerrainContoursReadBackInDxfGeoJsonAndPly) {
  const std::string dir = makeScratchDir();
  ASSERT_EQ(mkdir((dir + "/build").c_str(), 0777), 0);
  ASSERT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const std::string csv = dir + "/build/terrain.csv";
  const std::string count = readFile(csv).substr(0, readFile(csv).find('\r'));
  ASSERT_EQ(runExport({csv, "t.geojson", "--contour", "10", "--as-meshed"}, dir).status, 0);
  ASSERT_EQ(runExport({csv, "t.dxf", "--contour=10", "--units", "usft", "--as-meshed"}, dir).status, 0);
  ASSERT_EQ(runExport({csv, "t.ply", "--as-meshed"}, dir).status, 0);

  // Levels ascend by 10, every fifth an index; rings close; per level the
  // number of lines, for the DXF's check.
  runPythonCheck(dir, R"(import json, sys
doc = json.load(open('t.geojson'))
assert doc['type'] == 'FeatureCollection'
counts, last = {}, None
for f in doc['features']:
    z, g = f['properties']['elevation'], f['geometry']
    assert z % 10 == 0 and (last is None or z > last), z
    assert f['properties']['index'] == (z % 50 == 0), z
    lines = [g['coordinates']] if g['type'] == 'LineString' else g['coordinates']
    assert g['type'] == ('LineString' if len(lines) == 1 else 'MultiLineString')
    for line in lines:
        assert len(line) >= 2 and all(0 <= x <= 1000 and 0 <= y <= 1000 for x, y in line)
    counts[z], last = len(lines), z
assert len(counts) >= 10, counts
json.dump(counts, open('levels.json', 'w'))
)", {});

  runPythonCheck(dir, R"(import json, sys
try:
    import ezdxf
    from ezdxf import recover
except ImportError:
    print('ezdxf is not installed'); sys.exit(77)
doc, auditor = recover.readfile('t.dxf')
assert not auditor.has_errors, [str(e) for e in auditor.errors]
audit = doc.audit()
assert not audit.has_errors, [e.message for e in audit.errors]
assert doc.header['$INSUNITS'] == 21
faces = doc.modelspace().query('3DFACE')
assert len(faces) == int(sys.argv[1]) and all(f.dxf.layer == 'TIN' for f in faces)
for f in faces:
    a, b, c = f.dxf.vtx0, f.dxf.vtx1, f.dxf.vtx2
    assert (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) > 0, 'a face pointing down'
counts = {}
for p in doc.modelspace().query('POLYLINE'):
    z = p.dxf.elevation.z
    assert p.dxf.layer == ('CONTOUR_INDEX' if z % 50 == 0 else 'CONTOUR'), (z, p.dxf.layer)
    assert all(v.dxf.location.z == z for v in p.vertices)
    counts[str(int(z))] = counts.get(str(int(z)), 0) + 1
assert counts == json.load(open('levels.json')), counts
)", {count});

  runPythonCheck(dir, R"(import sys
try:
    import meshio
except ImportError:
    print('meshio is not installed'); sys.exit(77)
mesh = meshio.read('t.ply')
faces = mesh.cells_dict['triangle']
assert len(faces) == int(sys.argv[1])
p = mesh.points
for a, b, c in faces:
    assert (p[b][0] - p[a][0]) * (p[c][1] - p[a][1]) - (p[b][1] - p[a][1]) * (p[c][0] - p[a][0]) > 0
)", {count});
}

TEST(PictureProductsTest, HillshadeLightsSlopesFacingTheNorthWestSun) {
  // Level ground, a 45-degree slope rising to the south-east (facing the
  // sun square on: its normal points at it) and one rising to the
  // north-west (edge-on to a sun 45 degrees high). Corner order does not matter.
  const double r = std::sqrt(0.5);
  const ExportMesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0},                 // level
                                  {0, 0, 0}, {r, -r, 1}, {r, r, 0},                // faces the sun
                                  {0, 0, 0}, {-r, r, 1}, {r, r, 0}},               // turned from it
                                 {0, 1, 2, 3, 5, 4, 6, 7, 8});
  EXPECT_DOUBLE_EQ(hillshadeFactor(mesh, 0), 1.0);
  EXPECT_NEAR(hillshadeFactor(mesh, 1), std::sqrt(2.0), 1e-12);
  EXPECT_NEAR(hillshadeFactor(mesh, 2), 0.0, 1e-12);
}

TEST(PictureProductsTest, PlotAtScaleIsTheChosenPaperOrIsRefusedWithAScaleThatFits) {
  const std::string dir = makeScratchDir();
  ASSERT_EQ(mkdir((dir + "/build").c_str(), 0777), 0);
  ASSERT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const std::string csv = dir + "/build/terrain.csv";
  // 1000 m across: 2 m on paper at 1:500, 400 mm at 1:2500 (too tall for A3
  // landscape with its title strip), 200 mm at 1:5000.
  const ProcessResult refused = runExport({csv, "t.pdf", "--paper", "A3", "--scale", "500", "--as-meshed"}, dir);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "tsvmesh-export: the mesh does not fit on A3 at 1:500; the smallest standard scale that fits is 1:5000\n");
  EXPECT_FALSE(fileExists(dir + "/t.pdf"));
  ASSERT_EQ(runExport({csv, "t.pdf", "--paper=a3", "--scale=5000", "--contour", "10"}, dir).status, 0);
  // A3 in points, 297 x 420 mm; the mesh is a little taller than wide.
  EXPECT_NE(readFile(dir + "/t.pdf").find("/MediaBox [ 0 0 841.889764 1190.551181 ]"), std::string::npos);
  EXPECT_EQ(runExport({csv, "t.png", "--paper", "A3", "--scale", "500"}, dir).status, 2);
  EXPECT_EQ(runExport({csv, "t.pdf", "--paper", "A3"}, dir).status, 2);
  const ProcessResult empty = runExport({csv, "t.geojson"}, dir);
  EXPECT_EQ(empty.status, 1);  // a triangle file has no points to show without contours
  EXPECT_FALSE(fileExists(dir + "/t.geojson"));
}
