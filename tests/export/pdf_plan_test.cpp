// The PDFs read back by an independent reader, poppler's tools (Debian:
// poppler-utils): the text a user searches for, the paper of a plot at
// scale, a scale bar measured on the rendered page, and the colours of a
// rendered picture. Each test skips when the tools are missing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "export/read/mesh_file.h"
#include "export/write/picture.h"
#include "export_run.h"
#include "test_support.h"

namespace {

bool havePoppler() {
  return fileExists("/usr/bin/pdftotext") && fileExists("/usr/bin/pdfinfo") && fileExists("/usr/bin/pdftoppm");
}

std::string poppler(const std::string& tool, const std::vector<std::string>& args, const std::string& dir) {
  std::vector<std::string> argv{tool};
  argv.insert(argv.end(), args.begin(), args.end());
  const ProcessResult run = runProgram("/usr/bin/" + tool, argv, dir, "", 120);
  EXPECT_EQ(run.status, 0) << tool << ": " << run.err;
  return run.out;
}

// Runs tsvmesh on points in dir; returns the triangle file's path.
std::string meshOfPoints(const std::string& dir, const std::string& name, const std::string& points) {
  mkdir((dir + "/build").c_str(), 0777);
  writeFile(dir + "/" + name + ".tsv", "build/" + name + ".csv\n" + points);
  EXPECT_EQ(runTsvmeshBinary({dir + "/" + name + ".tsv"}, dir).status, 0);
  return dir + "/build/" + name + ".csv";
}

// A gently rolling field 120 m by 90 m, points every 10 m.
std::string rollingField() {
  std::string points;
  for (int x = 0; x <= 120; x += 10) {
    for (int y = 0; y <= 90; y += 10) {
      char line[96];
      std::snprintf(line, sizeof line, "%d\t%d\t%.2f\n", x, y,
                    100.0 + 0.05 * x + 0.03 * y + 2.0 * std::sin(x / 30.0) * std::cos(y / 25.0));
      points += line;
    }
  }
  return points;
}

struct Word {
  double left, top, right, bottom;
  std::string text;
};

// The words of pdftotext -bbox, in points from the page's top left.
std::vector<Word> wordsOf(const std::string& html) {
  std::vector<Word> words;
  for (size_t at = html.find("<word "); at != std::string::npos; at = html.find("<word ", at + 1)) {
    Word word{};
    std::sscanf(html.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &word.left, &word.top,
                &word.right, &word.bottom);
    const size_t open = html.find('>', at) + 1;
    word.text = html.substr(open, html.find('<', open) - open);
    words.push_back(word);
  }
  return words;
}

// A binary PPM as pdftoppm writes it: width, height, then RGB rows.
struct Raster {
  int width = 0, height = 0;
  std::string rgb;
  uint32_t at(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return static_cast<uint32_t>(static_cast<unsigned char>(rgb[i])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(rgb[i + 1])) << 8 | static_cast<unsigned char>(rgb[i + 2]);
  }
};

Raster readPpm(const std::string& path) {
  const std::string bytes = readFile(path);
  Raster raster;
  int maximum = 0, used = 0;
  EXPECT_EQ(std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &raster.width, &raster.height, &maximum, &used), 3);
  raster.rgb = bytes.substr(static_cast<size_t>(used) + 1);
  EXPECT_EQ(raster.rgb.size(), static_cast<size_t>(raster.width) * static_cast<size_t>(raster.height) * 3);
  return raster;
}

bool near(uint32_t colour, uint32_t expected, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    if (std::abs(static_cast<int>((colour >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) >
        tolerance) {
      return false;
    }
  }
  return true;
}

}  // namespace

TEST(PdfPlan, TitleLegendAndTitleBlockAreText) {
  if (!havePoppler()) GTEST_SKIP() << "poppler's tools (Debian: poppler-utils) are missing";
  const std::string dir = makeScratchDir();
  mkdir((dir + "/build").c_str(), 0777);
  ASSERT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const std::string csv = dir + "/build/terrain.csv";
  ASSERT_EQ(runExport({csv, "picture.pdf", "--contour", "10"}, dir).status, 0);
  const std::string picture = poppler("pdftotext", {"picture.pdf", "-"}, dir);
  // A sheet is for a client: tsvmesh's own statistic stays off it.
  EXPECT_EQ(picture.find("average longest side"), std::string::npos);
  for (const char* piece : {"terrain.csv: ", " triangles", "units: m, sun NW 45\xC2\xB0",
                            "contours every 10", "index every 50", "E 200", "N 400", "423.95", "197.33", "200 m"}) {
    EXPECT_NE(picture.find(piece), std::string::npos) << piece << " in\n" << picture;
  }
  ASSERT_EQ(runExport({csv, "plan.pdf", "--paper", "A3", "--scale", "5000", "--contour", "10"}, dir).status, 0);
  const std::string plan = poppler("pdftotext", {"plan.pdf", "-"}, dir);
  for (const char* piece : {"terrain.csv", "scale 1:5000 on ISO A3, portrait, units m",
                            "contours every 10 m, index every 50 m", "z 197.33 to 423.95 m", "mesh file of ",
                            "tsvmesh-export " TSVMESH_VERSION, "1:5000", "250 m"}) {
    EXPECT_NE(plan.find(piece), std::string::npos) << piece << " in\n" << plan;
  }
  EXPECT_NE(poppler("pdfinfo", {"plan.pdf"}, dir).find("Title:           terrain.csv: "), std::string::npos);
}

TEST(PdfPlan, PlotAtScaleHasItsPaperAndAScaleBarThatMeasuresRight) {
  if (!havePoppler()) GTEST_SKIP() << "poppler's tools (Debian: poppler-utils) are missing";
  const std::string dir = makeScratchDir();
  const std::string csv = meshOfPoints(dir, "field", rollingField());
  ASSERT_EQ(runExport({csv, "plan.pdf", "--paper", "A3", "--scale", "500", "--contour", "1"}, dir).status, 0);
  // 240 mm by 180 mm on paper fits either way round: landscape, A3 in points.
  EXPECT_NE(poppler("pdfinfo", {"plan.pdf"}, dir).find("Page size:       1190.55 x 841.89 pts (A3)"),
            std::string::npos);

  // The bar's half-way label stands half its length from "0": in the strip
  // under the drawing (its lowest 42 mm), measured between word centres.
  constexpr double pointsPerMetreAt500 = 72.0 / 25.4 * 1000.0 / 500.0;
  const std::vector<Word> words = wordsOf(poppler("pdftotext", {"-bbox", "plan.pdf", "-"}, dir));
  const Word* zero = nullptr;
  const Word* half = nullptr;
  for (const Word& word : words) {
    if (word.top < 841.89 - 42.0 * 72.0 / 25.4) continue;
    if (word.text == "0" && zero == nullptr) zero = &word;
    if (word.text == "12.5") half = &word;
  }
  ASSERT_TRUE(zero != nullptr && half != nullptr);
  const double labelled = ((half->left + half->right) - (zero->left + zero->right)) / 2.0 / pointsPerMetreAt500;
  EXPECT_NEAR(labelled, 12.5, 0.05);

  // On the page rendered at 10 pixels a millimetre, the bar's row (13 mm
  // under the strip's top) is dark from its left end to its right end: 25 m.
  const int row = static_cast<int>((297.0 - 42.0 + 13.0) * 10.0);
  poppler("pdftoppm", {"-r", "254", "-x", "0", "-y", std::to_string(row), "-W", "4200", "-H", "1", "plan.pdf", "bar"},
          dir);
  const Raster bar = readPpm(dir + "/bar-1.ppm");
  int first = -1, last = -1;
  for (int x = 120; x < bar.width; ++x) {  // past the border, 10 mm in
    if (!near(bar.at(x, 0), 0x1A1A1A, 80)) continue;
    if (first >= 0 && x - last > 150) break;  // the north arrow, 18 mm on
    if (first < 0) first = x;
    last = x;
  }
  ASSERT_GE(first, 0);
  EXPECT_NEAR((last + 1 - first) / 10.0 * 500.0 / 1000.0, 25.0, 0.25);
}

TEST(PdfPlan, RenderedPictureShowsTheRampColours) {
  if (!havePoppler()) GTEST_SKIP() << "poppler's tools (Debian: poppler-utils) are missing";
  // Two level triangles at the lowest and the highest z: the ends of the
  // viridis ramp, #440154 and #fde725, white between them.
  const std::string dir = makeScratchDir();
  const std::string csv = dir + "/two.csv";
  writeFile(csv,
            "2\r\n70\r\n*******\r\n0.00,0.00,5.00\r\n100.00,0.00,5.00\r\n0.00,100.00,5.00\r\n"
            "200.00,0.00,9.50\r\n300.00,0.00,9.50\r\n200.00,100.00,9.50\r\n");
  ASSERT_EQ(runExport({csv, "two.pdf", "--size=400", "--as-meshed"}, dir).status, 0);
  poppler("pdftoppm", {"-r", "72", "two.pdf", "two"}, dir);
  const Raster page = readPpm(dir + "/two-1.ppm");
  ExportMesh mesh;
  ExportReadError error;
  ASSERT_TRUE(readExportMesh(csv.c_str(), &mesh, &error, nullptr));
  const PictureLayout layout = pictureLayout(mesh, 400);
  EXPECT_EQ(page.width, layout.width);
  EXPECT_EQ(page.height, layout.height);
  const struct {
    double x, y;
    uint32_t colour;
  } spots[] = {{30.0, 30.0, 0x440154}, {230.0, 30.0, 0xFDE725}, {150.0, 90.0, 0xFFFFFF}};
  for (const auto& spot : spots) {
    double px = 0.0, py = 0.0;
    picturePosition(layout, spot.x, spot.y, &px, &py);
    const uint32_t colour = page.at(static_cast<int>(px), static_cast<int>(py));
    EXPECT_TRUE(near(colour, spot.colour, 3)) << std::hex << colour << " at " << spot.x << "," << spot.y;
  }
}
