// tsvmesh-export where no library is needed: the same bytes on Linux,
// Windows (under Wine) and ARM (under qemu), names beyond ASCII, the output
// put in place whole, and the 3D page's data.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "export/cli/formats.h"
#include "export/output.h"
#include "export/products/facing.h"
#include "export/read/mesh_file.h"
#include "export/write/terrain_page.h"
#include "export_run.h"
#include "test_support.h"

namespace {

// FNV-1a, 64 bits: a digest that is the same on every platform by definition.
uint64_t digestOf(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325u;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
  return hash;
}

std::set<std::string> folderEntries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(nativePath(dir))) {
    const std::u8string name = entry.path().filename().u8string();
    names.insert(std::string(name.begin(), name.end()));
  }
  return names;
}

const std::string triangleFile =
    "2\r\n6\r\n********\r\n500000.00,5000000.00,100.00\r\n500010.00,5000000.00,101.00\r\n"
    "500000.00,5000010.00,102.00\r\n500010.00,5000000.00,101.00\r\n500000.00,5000010.00,102.00\r\n"
    "500010.00,5000010.00,103.50\r\n";

// The terrain example meshed by tsvmesh in dir, the triangle file dated
// 2026-03-14 15:09:26 UTC (files that carry a date take the mesh file's).
std::string terrainOfFixedDate(const std::string& dir) {
  std::filesystem::create_directory(nativePath(dir + "/build"));
  EXPECT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const std::string csv = dir + "/build/terrain.csv";
  using namespace std::chrono;
  std::filesystem::last_write_time(
      nativePath(csv), file_clock::from_sys(sys_days{year{2026} / 3 / 14} + hours{15} + minutes{9} + seconds{26}));
  return csv;
}

bool pdfIsBuiltIn() {
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    if (exportFormatAt(f).library == libraryZlib) return exportFormatAt(f).available;
  }
  return false;
}

}  // namespace

// Digests taken on x86-64 Linux, contours every 10 m (the mesh formats
// ignore them); the mesh file's date is set, because
// LandXML carries it. The triangle file comes from tsvmesh on each platform.
TEST(ExportEverywhere, TerrainExampleGivesTheSameBytesOnEveryPlatform) {
  const std::string dir = makeScratchDir();
  const std::string csv = terrainOfFixedDate(dir);
  const struct {
    const char* extension;
    uint64_t digest;
  } expected[] = {{"ply", 0x16E87405842C6F87u}, {"obj", 0xBBDD3026B26149F3u}, {"xml", 0x9BCC61C16E5ECA00u},
                  {"dxf", 0x97FDC583853616F4u}, {"geojson", 0xCBE851D1BA8EF7FBu}};
  // All five from one run, and the ones without contours alone as well:
  // an output has the same bytes whatever else its run writes.
  std::vector<std::string> together{csv};
  for (const auto& format : expected) together.push_back(dir + "/terrain." + format.extension);
  together.insert(together.end(), {"--contour", "10", "--as-meshed"});
  const ProcessResult run = runExport(together, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const auto& format : expected) {
    const std::string output = dir + "/terrain." + format.extension;
    EXPECT_EQ(digestOf(readFile(output)), format.digest) << format.extension << " " << std::hex
                                                         << digestOf(readFile(output));
  }
  for (const char* alone : {"ply", "obj"}) {
    const std::string output = dir + "/alone." + alone;
    ASSERT_EQ(runExport({csv, output, "--as-meshed"}, dir).status, 0);
    EXPECT_EQ(readFile(output), readFile(dir + "/terrain." + alone)) << alone;
  }
  EXPECT_NE(readFile(dir + "/terrain.xml").find("date=\"2026-03-14\" time=\"15:09:26\""), std::string::npos);
}

// The elevation grid as GeoTIFF, written by the program's own writer on
// every platform: the digest taken on x86-64 Linux, where GDAL read the
// file back (geotiff_test.cpp).
TEST(ExportEverywhere, GeoTiffGridGivesTheSameBytesOnEveryPlatform) {
  const std::string dir = makeScratchDir();
  std::filesystem::create_directory(nativePath(dir + "/build"));
  ASSERT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const ProcessResult run =
      runExport({dir + "/build/terrain.csv", dir + "/terrain.tif", "--cell", "2.5", "--srs", "EPSG:25832"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string tiff = readFile(dir + "/terrain.tif");
  EXPECT_EQ(digestOf(tiff), 0x2A31B243751D1658u) << std::hex << digestOf(tiff) << std::dec << " " << tiff.size();
}

// The PDF writer's bytes: a picture and a plot at scale, digests taken on
// x86-64 Linux (the fonts are named, not embedded, and the date is the
// mesh file's, so nothing of the system goes in). zlib's output is part of
// the bytes: Debian ships the same release for Linux and for MinGW.
TEST(ExportEverywhere, PdfPictureAndPlanGiveTheSameBytesOnEveryPlatform) {
  if (!pdfIsBuiltIn()) GTEST_SKIP() << "this build has no .pdf output (no zlib)";
  const std::string dir = makeScratchDir();
  const std::string csv = terrainOfFixedDate(dir);
  const struct {
    std::vector<std::string> options;
    uint64_t digest;
  } expected[] = {{{"--contour", "10"}, 0xE440D6CE789B803Cu},
                  {{"--paper", "A3", "--scale", "5000", "--contour", "10"}, 0x48FAAD3B1413FD72u},
                  {{"--paper", "A4", "--scale", "10000", "--flat"}, 0xD637847C0FB742E6u}};
  for (const auto& pdf : expected) {
    std::vector<std::string> args{csv, dir + "/terrain.pdf", "--as-meshed"};
    args.insert(args.end(), pdf.options.begin(), pdf.options.end());
    const ProcessResult run = runExport(args, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string bytes = readFile(dir + "/terrain.pdf");
    EXPECT_NE(bytes.find("/CreationDate (D:20260314150926Z)"), std::string::npos);
    EXPECT_EQ(digestOf(bytes), pdf.digest) << pdf.options[1] << " " << std::hex << digestOf(bytes);
  }
}

TEST(ExportEverywhere, OutputIsReplacedWholeUnderAnyNameAndTheInputIsNeverTheOutput) {
  const std::string dir = makeScratchDir();
  // "relevé ☃": beyond any single-byte code page, for Windows' wide names.
  const std::string name = "relev\xC3\xA9 \xE2\x98\x83";
  writeFile(dir + "/" + name + ".csv", triangleFile);
  writeFile(dir + "/" + name + ".obj", "old");
  const ProcessResult run = runExport({dir + "/" + name + ".csv", dir + "/" + name + ".obj"}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readFile(dir + "/" + name + ".obj").substr(0, 28), "# tsvmesh triangle count 2\n#");
  EXPECT_EQ(folderEntries(dir), (std::set<std::string>{name + ".csv", name + ".obj"}));

  // The input under another spelling of its name is the same file.
  writeFile(dir + "/mesh.ply", triangleFile);
  const ProcessResult same = runExport({"mesh.ply", "./mesh.ply"}, dir);
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.err, "tsvmesh-export: ./mesh.ply is the input file; choose another output name\n");
  EXPECT_EQ(readFile(dir + "/mesh.ply"), triangleFile);

  const ProcessResult missing = runExport({"none.csv", "none.obj"}, dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tsvmesh-export: none.csv: cannot open: No such file or directory\n");
}

// On Linux the file being written has no name at all, so that even a killed
// export leaves nothing; elsewhere only its hidden temporary is there.
TEST(ExportEverywhere, OutputIsInvisibleUntilPublished) {
  const std::string dir = makeScratchDir();
  const std::string path = dir + "/out.txt";
  for (const char* text : {"first", "second", "dropped"}) {
    ExportOutput output;
    ASSERT_TRUE(openExportOutput(path.c_str(), &output));
#ifdef __linux__
    EXPECT_TRUE(output.pending.temporary.empty());
#endif
    writeExportText(&output, text);
    std::set<std::string> visible = folderEntries(dir);
    visible.erase(output.pending.temporary.substr(output.pending.temporary.find_last_of("/\\") + 1));
    visible.erase("out.txt");
    EXPECT_TRUE(visible.empty()) << text;
    if (std::string(text) == "dropped") {
      abandonExportOutput(&output);
    } else {
      ASSERT_TRUE(finishExportOutput(&output)) << text;
    }
    EXPECT_EQ(folderEntries(dir), std::set<std::string>{"out.txt"});
  }
  EXPECT_EQ(readFile(path), "second");
}

TEST(ExportEverywhere, HelpListsTheFormatsOfThisBuildAndAMissingOneIsNamed) {
  const ProcessResult help = runExport({"--help"}, "");
  EXPECT_EQ(help.status, 0);
  std::string writes;
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    const ExportFormat& format = exportFormatAt(f);
    const std::string line = std::string("\n  .") + format.extension + " ";
    EXPECT_EQ(help.out.find(line) != std::string::npos, format.available) << format.extension;
    if (format.available) writes += (writes.empty() ? "." : ", .") + std::string(format.extension);
  }
  EXPECT_EQ(writes, exportAvailableList());
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    const ExportFormat& format = exportFormatAt(f);
    if (format.library == libraryNone) {
      EXPECT_TRUE(format.available) << format.extension;
    }
    if (format.available) continue;
    const ProcessResult run = runExport({"mesh.csv", std::string("out.") + format.extension}, "");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("tsvmesh-export: this build has no .") + format.extension +
                           " output; it writes " + writes + "\ntry 'tsvmesh-export --help'\n");
  }
}

TEST(TerrainPage, DataIsCentredAndEveryFaceTurnsUp) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/mesh.csv", triangleFile);
  ExportMesh mesh;
  ExportReadError error;
  ASSERT_TRUE(readExportMesh((dir + "/mesh.csv").c_str(), &mesh, &error, nullptr)) << error.message;
  orientFacesUpward(&mesh);
  const TerrainPageData data = terrainPageData(mesh, nullptr);
  // Survey coordinates about the box's centre (500005, 5000005, 101.75):
  // exact in 32-bit floats.
  EXPECT_EQ(data.positions, (std::vector<float>{-5, -5, -1.75f, 5, -5, -0.75f, -5, 5, 0.25f, 5, 5, 1.75f}));
  // The first face is counter-clockwise from above, the second clockwise
  // in the file and turned round.
  EXPECT_EQ(data.indices, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2}));

  std::string sixBytes = "foobar";
  const auto* bytes = reinterpret_cast<const unsigned char*>(sixBytes.data());
  const char* const encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (size_t n = 0; n <= 6; ++n) EXPECT_EQ(base64Text(bytes, n), encoded[n]);
}
