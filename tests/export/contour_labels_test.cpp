// Contour labels: their places along the index contours, their angles and
// texts by hand, and in a DXF read back by ezdxf, each on its own line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "export/products/contour_labels.h"
#include "export/products/contours.h"
#include "test_support.h"

namespace {

// One level (an index one when index) holding the given lines.
ExportContours contoursWith(const std::vector<std::vector<double>>& lines, bool index, bool closed = false) {
  ExportContours contours;
  contours.interval = 1.0;
  contours.levels.push_back({7.0, index, 0, static_cast<int32_t>(lines.size())});
  for (const std::vector<double>& xy : lines) {
    const int64_t first = static_cast<int64_t>(contours.xy.size());
    contours.lines.push_back({0, closed, first, static_cast<int32_t>(xy.size() / 2)});
    contours.xy.insert(contours.xy.end(), xy.begin(), xy.end());
  }
  return contours;
}

ExportContours levelsEvery(double interval, double base) {
  ExportContours contours;
  contours.interval = interval;
  contours.base = base;
  return contours;
}

}  // namespace

TEST(ContourLabelTest, DirectionsAreTheAnglesOfTheCompass) {
  EXPECT_EQ(directionDegrees(1, 0), 0.0);
  EXPECT_EQ(directionDegrees(0, 2), 90.0);
  EXPECT_EQ(directionDegrees(-3, 0), 180.0);
  EXPECT_EQ(directionDegrees(0, -1), -90.0);
  EXPECT_NEAR(directionDegrees(1, 1), 45.0, 1e-13);
  EXPECT_NEAR(directionDegrees(-1, -1), -135.0, 1e-13);
  EXPECT_NEAR(directionDegrees(1, std::sqrt(3.0)), 60.0, 1e-13);
  EXPECT_NEAR(directionDegrees(-std::sqrt(3.0), 1), 150.0, 1e-13);
  for (double a = -179.5; a < 180; a += 7.25) {
    const double r = a * 3.14159265358979323846 / 180;
    EXPECT_NEAR(directionDegrees(std::cos(r) * 1e5, std::sin(r) * 1e5), a, 1e-12) << a;
  }
}

TEST(ContourLabelTest, TextsHaveTheDecimalsTheLevelsNeed) {
  EXPECT_EQ(contourLabelText(levelsEvery(0.5, 0), 252.5), "252.5");
  EXPECT_EQ(contourLabelText(levelsEvery(0.5, 0), 250), "250.0");
  EXPECT_EQ(contourLabelText(levelsEvery(10, 0), 250), "250");
  EXPECT_EQ(contourLabelText(levelsEvery(0.25, 0), 100.5), "100.50");
  EXPECT_EQ(contourLabelText(levelsEvery(1, 0.3), 100.3), "100.3");
  EXPECT_EQ(contourLabelText(levelsEvery(0.1, 0), 100.3), "100.3");
  EXPECT_EQ(contourLabelText(levelsEvery(2000, 0), -4000), "-4000");
}

TEST(ContourLabelTest, LabelsAreSpacedAlongIndexLinesAndTurnedToRead) {
  std::vector<ContourLabel> labels;
  // 200 long at height 1: four labels, at 25, 75, 125 and 175; the line runs
  // right to left, so the labels turn by half a turn to read.
  placeContourLabels(contoursWith({{200, 0, 100, 0, 0, 0}}, true), 1.0, &labels);
  ASSERT_EQ(labels.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(labels[k].x, 175.0 - 50.0 * static_cast<double>(k));
    EXPECT_EQ(labels[k].y, 0.0);
    EXPECT_EQ(labels[k].degrees, 0.0);
    EXPECT_EQ(labels[k].level, 0);
  }
  // A line going down to the left: -135 degrees reads as 45.
  placeContourLabels(contoursWith({{10, 10, 0, 0}}, true), 1.0, &labels);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_DOUBLE_EQ(labels[0].x, 5.0);
  EXPECT_NEAR(labels[0].degrees, 45.0, 1e-12);
  // Straight down is -90, which reads as 90.
  placeContourLabels(contoursWith({{0, 30, 0, 0}}, true), 1.0, &labels);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0].degrees, 90.0);
  // A closed square of side 40 (160 around): three labels, the last on its
  // closing side, which runs down.
  placeContourLabels(contoursWith({{0, 0, 40, 0, 40, 40, 0, 40}}, true, true), 1.0, &labels);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_NEAR(labels[2].x, 0.0, 1e-12);
  EXPECT_NEAR(labels[2].y, 40 - (2.5 * 160 / 3 - 120), 1e-12);
  EXPECT_EQ(labels[2].degrees, 90.0);
  // Too short for a label, or no index line: none.
  placeContourLabels(contoursWith({{0, 0, 9.9, 0}}, true), 1.0, &labels);
  EXPECT_TRUE(labels.empty());
  placeContourLabels(contoursWith({{0, 0, 200, 0}}, false), 1.0, &labels);
  EXPECT_TRUE(labels.empty());
}

// A cone, z = 60 - r, sampled on a grid: each index contour is a ring;
// every label read back by ezdxf lies on an index polyline of its own
// level and is turned along the step it lies on.
TEST(ContourLabelTest, DxfLabelsLieOnTheirContoursAlongThem) {
  const std::string dir = makeScratchDir();
  std::string points = "cone.csv\n";
  for (int32_t i = -40; i <= 40; i += 2) {
    for (int32_t j = -40; j <= 40; j += 2) {
      char row[96];
      std::snprintf(row, sizeof row, "%d %d %.3f\n", i, j, 60 - std::sqrt(double(i * i + j * j)));
      points += row;
    }
  }
  writeFile(dir + "/cone.tsv", points);
  const std::vector<std::string> argv{"tsvmesh-export", "cone.tsv", "cone.dxf", "--contour", "2,5"};
  ASSERT_EQ(runProgram(TSVMESH_EXPORT_BINARY, argv, dir, "", 120).status, 0);
  if (!hostToolsShareFiles()) GTEST_SKIP() << "the host's Python does not see this build's files";
  if (!fileExists("/usr/bin/python3") ||
      runProgram("/usr/bin/python3", {"python3", "-c", "import ezdxf"}, dir, "", 60).status != 0) {
    GTEST_SKIP() << "Debian's python3-ezdxf is missing";
  }
  const std::string script = R"(import ezdxf, math
doc = ezdxf.readfile('cone.dxf')
m = doc.modelspace()
lines = [p for p in m.query('POLYLINE') if p.dxf.layer == 'CONTOUR_INDEX']
labels = m.query('TEXT[layer=="CONTOUR_LABEL"]')
assert len(labels) >= len(lines) > 0, (len(labels), len(lines))
for t in labels:
    x, y, z = t.dxf.align_point
    assert t.dxf.halign == 1 and t.dxf.valign == 2 and -90 < t.dxf.rotation <= 90
    assert float(t.dxf.text) == z and t.dxf.text == '%d' % z, (t.dxf.text, z)
    found = False
    for p in lines:
        if p.dxf.elevation.z != z:
            continue
        v = [tuple(q.dxf.location)[:2] for q in p.vertices]
        if p.is_closed:
            v.append(v[0])
        for (ax, ay), (bx, by) in zip(v, v[1:]):
            dx, dy = bx - ax, by - ay
            cross = (x - ax) * dy - (y - ay) * dx
            along = (x - ax) * dx + (y - ay) * dy
            if abs(cross) <= 1e-9 * (dx * dx + dy * dy) and -1e-9 <= along <= (1 + 1e-9) * (dx * dx + dy * dy):
                turn = (math.degrees(math.atan2(dy, dx)) - t.dxf.rotation) % 180
                found = found or min(turn, 180 - turn) < 1e-9
    assert found, (t.dxf.text, x, y, t.dxf.rotation)
print(len(labels), sorted(set(t.dxf.text for t in labels)))
)";
  const ProcessResult run = runProgram("/usr/bin/python3", {"python3", "-c", script}, dir, "", 120);
  EXPECT_EQ(run.status, 0) << run.err;
  // Index levels every 10 from 10 to 50 (the cone reaches 20 - 40 sqrt 2
  // at its corners, so 0 and below are cut off).
  EXPECT_NE(run.out.find("['10', '20', '30', '40', '50']"), std::string::npos) << run.out;
}
