// The sheet and its PDF writer without any drawing library: text measured
// from the fonts' published metrics, the surface raster against an
// independent point-in-triangle test, and a PDF's structure read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "export/output.h"
#include "export/read/mesh_file.h"
#include "export/write/hillshade.h"
#include "export/write/sheet.h"
#include "export/write/sheet_pdf.h"
#include "test_support.h"

#if TSVMESH_EXPORT_ZLIB
#include <zlib.h>
#endif

namespace {

// A fan of four faces about a hub at (10.5, 10.5) inside the square
// 2.5 .. 17.5, each face at its own height, so of its own colour.
ExportMesh fanOfFour() {
  ExportMesh mesh;
  mesh.vertices = {{2.5, 2.5, 0}, {17.5, 2.5, 1}, {17.5, 17.5, 2}, {2.5, 17.5, 3}, {10.5, 10.5, 4}};
  mesh.vertexCount = 5;
  mesh.corners = {0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4};
  mesh.triangleCount = 4;
  mesh.lowestZ = 0.0;
  mesh.highestZ = 4.0;
  return mesh;
}

// Strictly inside, by the sign of three cross products; 0 on an edge.
int insideStrictly(const double* a, const double* b, const double* c, double x, double y) {
  auto cross = [](const double* p, const double* q, double x, double y) {
    return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]);
  };
  const double s0 = cross(a, b, x, y), s1 = cross(b, c, x, y), s2 = cross(c, a, x, y);
  if (s0 == 0.0 || s1 == 0.0 || s2 == 0.0) return 0;
  return (s0 > 0.0 && s1 > 0.0 && s2 > 0.0) || (s0 < 0.0 && s1 < 0.0 && s2 < 0.0) ? 1 : -1;
}

}  // namespace

TEST(SheetText, AdvancesAreHelveticasPublishedWidths) {
  // Thousandths of the size from the AFM files: digits 556, 'W' 944, 'i'
  // 222 (bold 278), 'm' 833 (bold 889), the degree sign 400.
  EXPECT_DOUBLE_EQ(helveticaAdvance("0123456789", 10.0, false), 55.6);
  EXPECT_DOUBLE_EQ(helveticaAdvance("W", 1000.0, false), 944.0);
  EXPECT_DOUBLE_EQ(helveticaAdvance("im", 1000.0, false), 222.0 + 833.0);
  EXPECT_DOUBLE_EQ(helveticaAdvance("im", 1000.0, true), 278.0 + 889.0);
  EXPECT_DOUBLE_EQ(helveticaAdvance("45\xB0", 1000.0, false), 556.0 * 2 + 400.0);
  EXPECT_DOUBLE_EQ(helveticaAdvance("N 200", 10.0, false), 7.22 + 2.78 + 3 * 5.56);
  // Control bytes count as spaces; text for every renderer is plain ASCII.
  EXPECT_DOUBLE_EQ(helveticaAdvance("\t", 1000.0, true), 278.0);
  EXPECT_EQ(sheetPrintable("relev\xC3\xA9.csv\n"), "relev??.csv?");
  EXPECT_EQ(sheetLabelNumber(250.0), "250");
  EXPECT_EQ(sheetLabelNumber(12.5), "12.5");
  EXPECT_EQ(sheetLabelNumber(-0.001), "0");
  EXPECT_EQ(sheetRoundStep(30.0), 50.0);
  EXPECT_EQ(sheetRoundStep(0.7), 1.0);
}

TEST(SheetRaster, EveryPixelCentreGoesToTheFaceItLiesIn) {
  // A fan of faces of distinct colours whose edges pass exactly through
  // pixel centres (x.5) and between them; each centre strictly inside a
  // face has its colour, one on a shared edge has the colour of one of the
  // two, and no centre inside the fan stays white.
  const ExportMesh mesh = fanOfFour();
  std::vector<double> page;
  for (const ExportVertex& v : mesh.vertices) page.insert(page.end(), {v.x, v.y});
  const std::vector<int32_t> classes = surfaceColourClasses(mesh, true);
  SheetImage image;
  image.columns = image.rows = 20;
  image.width = image.height = 20.0;
  rasterSurface(mesh, page, classes, &image, nullptr);
  std::vector<uint32_t> colours;
  for (const int32_t k : classes) {
    double rgb[3];
    surfaceClassColour(k, rgb);
    colours.push_back(static_cast<uint32_t>(std::lround(rgb[0] * 255) << 16 | std::lround(rgb[1] * 255) << 8 |
                                            std::lround(rgb[2] * 255)));
  }
  int32_t onEdges = 0;
  for (int32_t row = 0; row < 20; ++row) {
    for (int32_t column = 0; column < 20; ++column) {
      const uint8_t* p = &image.rgb[static_cast<size_t>(row * 20 + column) * 3];
      const uint32_t pixel = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      const double x = column + 0.5, y = row + 0.5;
      if (x < 2.5 || x > 17.5 || y < 2.5 || y > 17.5) {
        EXPECT_EQ(pixel, 0xFFFFFFu) << column << "," << row;
        continue;
      }
      if (x == 2.5 || x == 17.5 || y == 2.5 || y == 17.5) continue;  // the fan's rim: either
      std::vector<uint32_t> allowed;  // the faces the centre lies in or on
      for (size_t f = 0; f < 4; ++f) {
        const int32_t* c = &mesh.corners[f * 3];
        const int side = insideStrictly(&page[static_cast<size_t>(c[0]) * 2], &page[static_cast<size_t>(c[1]) * 2],
                                        &page[static_cast<size_t>(c[2]) * 2], x, y);
        if (side >= 0) allowed.push_back(colours[f]);
      }
      onEdges += allowed.size() > 1 ? 1 : 0;
      EXPECT_NE(std::find(allowed.begin(), allowed.end(), pixel), allowed.end()) << column << "," << row;
    }
  }
  EXPECT_EQ(onEdges, 14);  // the diagonal from (2.5, 2.5) through the hub to (17.5, 17.5)
}

#if TSVMESH_EXPORT_ZLIB
namespace {

// A half-transparent box, a line of text ending at x = 100 and a two-pixel
// image, on a page of 200 by 100 points.
Sheet smallSheet() {
  Sheet sheet;
  sheet.width = 200.0;
  sheet.height = 100.0;
  sheet.title = "plan (draft)";
  sheet.date = "2026-03-14T15:09:26Z";
  SheetPath box;
  sheetRectangle(&box, 10.0, 20.0, 30.0, 40.0);
  box.filled = true;
  box.fill = SheetPaint{1.0, 0.5, 0.0, 0.5};
  addSheetPath(&sheet, box);
  SheetText label;
  label.text = "(a) 45\xB0";
  label.x = 100.0;
  label.y = 50.0;
  label.size = 10.0;
  label.anchor = 1.0;
  addSheetText(&sheet, label);
  SheetImage image;
  image.columns = 2;
  image.rows = 1;
  image.rgb = {255, 0, 0, 0, 0, 255};
  image.left = image.top = 0.0;
  image.width = image.height = 10.0;
  addSheetImage(&sheet, image);

  return sheet;
}

}  // namespace

TEST(SheetPdf, CrossReferencesLengthsAndTextReadBack) {
  const Sheet sheet = smallSheet();
  const std::string dir = makeScratchDir();
  ExportOutput output;
  ASSERT_TRUE(openExportOutput((dir + "/sheet.pdf").c_str(), &output));
  std::string problem;
  ASSERT_TRUE(writeSheetPdf(sheet, &output, nullptr, &problem)) << problem;
  ASSERT_TRUE(finishExportOutput(&output));
  const std::string pdf = readFile(dir + "/sheet.pdf");

  // Every offset in the cross-reference table is where its object starts.
  const size_t startxref = pdf.rfind("startxref\n");
  ASSERT_NE(startxref, std::string::npos);
  const size_t table = std::stoul(pdf.substr(startxref + 10));
  ASSERT_EQ(pdf.compare(table, 5, "xref\n"), 0);
  const int objects = std::stoi(pdf.substr(table + 7));
  EXPECT_EQ(objects, 9);  // the free entry, 6 fixed objects, an image, the information
  for (int k = 1; k < objects; ++k) {
    const size_t offset = std::stoul(pdf.substr(table + 7 + 2 + 20 * static_cast<size_t>(k), 10));
    EXPECT_EQ(pdf.compare(offset, std::to_string(k).size() + 6, std::to_string(k) + " 0 obj"), 0) << k;
  }
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 200 100 ]"), std::string::npos);
  EXPECT_NE(pdf.find("/Title (plan \\(draft\\))"), std::string::npos);
  EXPECT_NE(pdf.find("/CreationDate (D:20260314150926Z)"), std::string::npos);

  // The page's content, inflated: the box (y up from the bottom), half
  // opaque, and the text ending at x = 100, escaped, the degree in WinAnsi.
  const size_t content = pdf.find("4 0 obj\n<< /Filter /FlateDecode /Length ");
  ASSERT_NE(content, std::string::npos);
  const size_t length = std::stoul(pdf.substr(content + 40));
  const size_t stream = pdf.find("stream\n", content) + 7;
  EXPECT_EQ(pdf.compare(stream + length, 10, "\nendstream"), 0);
  std::vector<Bytef> page(4096);
  uLongf pageLength = page.size();
  ASSERT_EQ(uncompress(page.data(), &pageLength, reinterpret_cast<const Bytef*>(pdf.data() + stream), length), Z_OK);
  const std::string text(reinterpret_cast<const char*>(page.data()), pageLength);
  EXPECT_NE(text.find("/G0 gs\n1 0.5 0 rg\n10 80 m\n40 80 l\n40 40 l\n10 40 l\nh\nf\n"), std::string::npos) << text;
  EXPECT_NE(pdf.find("/G0 << /ca 0.5 /CA 1 >>"), std::string::npos);
  const double start = 100.0 - helveticaAdvance("(a) 45\xB0", 10.0, false);
  EXPECT_NE(text.find("1 0 0 1 " + std::to_string(static_cast<int>(start)) + "."), std::string::npos) << text;
  EXPECT_NE(text.find("(\\(a\\) 45\\260) Tj"), std::string::npos) << text;
  EXPECT_NE(text.find("10 0 0 10 0 90 cm\n/I0 Do"), std::string::npos) << text;
}
#endif
