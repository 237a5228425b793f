// tsvmesh-export run as a user runs it: the bundled examples through every
// format and read back, and damaged triangle files that must leave no output.
#include <gtest/gtest.h>

#include <cairo.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "export/read/mesh_file.h"
#include "export/write/picture.h"
#include "export_run.h"
#include "test_support.h"

namespace {

// Runs tsvmesh on a bundled example in dir; returns the triangle file's path.
std::string meshExample(const std::string& dir, const std::string& name) {
  EXPECT_EQ(mkdir((dir + "/build").c_str(), 0777), 0);
  const ProcessResult run = runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/" + name + ".tsv"}, dir);
  EXPECT_EQ(run.status, 0);
  return dir + "/build/" + name + ".csv";
}

size_t countOf(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

std::set<std::string> folderEntries(const std::string& dir) {
  std::set<std::string> names;
  DIR* folder = opendir(dir.c_str());
  while (dirent* entry = readdir(folder)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.insert(entry->d_name);
  }
  closedir(folder);
  return names;
}

// The colour of the pixel that shows data point (x, y), as 0xRRGGBB.
uint32_t pixelAt(cairo_surface_t* image, const PictureLayout& layout, double x, double y) {
  double px = 0.0, py = 0.0;
  picturePosition(layout, x, y, &px, &py);
  const unsigned char* row = cairo_image_surface_get_data(image) +
                             static_cast<int>(py) * cairo_image_surface_get_stride(image);
  uint32_t pixel = 0;
  std::memcpy(&pixel, row + static_cast<int>(px) * 4, 4);
  return pixel & 0xFFFFFF;
}

}  // namespace

TEST(ExportTest, SurveyExampleThroughEveryFormat) {
  const std::string dir = makeScratchDir();
  const std::string csv = meshExample(dir, "survey");
  for (const char* extension : {"obj", "ply", "xml", "png", "svg", "pdf"}) {
    const ProcessResult run = runExport({csv, dir + "/survey." + extension}, dir);
    EXPECT_EQ(run.status, 0) << extension;
    EXPECT_EQ(run.err, "") << extension;
  }
  // Corners numbered by first appearance in the hand-checked triangle file;
  // its faces run clockwise seen from above, so each is turned to face up.
  EXPECT_EQ(readFile(dir + "/survey.obj"),
            "# tsvmesh triangle count 4\n# tsvmesh average longest side 3\n"
            "v 2.00 1.00 11.00\nv 1.00 3.00 12.25\nv 3.00 4.00 13.75\nv 4.00 0.00 9.80\nv 0.00 0.00 10.50\n"
            "f 1 3 2\nf 1 4 3\nf 5 4 1\nf 5 1 2\n");

  const std::string ply = readFile(dir + "/survey.ply");
  const std::string head =
      "ply\nformat binary_little_endian 1.0\ncomment tsvmesh triangle count 4\n"
      "comment tsvmesh average longest side 3\nelement vertex 5\nproperty double x\nproperty double y\n"
      "property double z\nelement face 4\nproperty list uchar int vertex_indices\nend_header\n";
  ASSERT_EQ(ply.size(), head.size() + 5 * 24 + 4 * 13);
  EXPECT_EQ(ply.substr(0, head.size()), head);
  double fourth[3];
  std::memcpy(fourth, ply.data() + head.size() + 3 * 24, sizeof fourth);
  EXPECT_EQ(fourth[0], 4.0);
  EXPECT_EQ(fourth[1], 0.0);
  EXPECT_EQ(fourth[2], 9.8);
  int32_t third[3];
  EXPECT_EQ(ply[head.size() + 5 * 24 + 2 * 13], 3);
  std::memcpy(third, ply.data() + head.size() + 5 * 24 + 2 * 13 + 1, sizeof third);
  EXPECT_EQ(third[0], 4);
  EXPECT_EQ(third[1], 3);
  EXPECT_EQ(third[2], 0);

  const std::string xml = readFile(dir + "/survey.xml");
  EXPECT_EQ(countOf(xml, "<P id="), 5u);
  EXPECT_EQ(countOf(xml, "<F>"), 4u);
  EXPECT_NE(xml.find("<P id=\"1\">1.00 2.00 11.00</P>"), std::string::npos);  // northing easting elevation
  EXPECT_NE(xml.find("<F>5 1 4</F>"), std::string::npos);  // clockwise, as civil software writes faces
  EXPECT_NE(xml.find("<Definition surfType=\"TIN\">"), std::string::npos);

  EXPECT_EQ(readFile(dir + "/survey.pdf").substr(0, 5), "%PDF-");
  EXPECT_NE(readFile(dir + "/survey.svg").find("<svg"), std::string::npos);
  cairo_surface_t* image = cairo_image_surface_create_from_png((dir + "/survey.png").c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(std::max(cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)), 1600);
  cairo_surface_destroy(image);
}

TEST(ExportTest, TerrainExampleCountsAgreeInEveryFormat) {
  const std::string dir = makeScratchDir();
  const std::string csv = meshExample(dir, "terrain");
  const std::string count = readFile(csv).substr(0, readFile(csv).find('\r'));
  std::vector<std::string> arguments{csv};
  for (const char* extension : {"obj", "ply", "xml", "png", "svg", "pdf"}) {
    arguments.push_back(dir + "/terrain." + extension);
  }
  arguments.insert(arguments.end(), {"--size", "500", "--as-meshed"});
  const ProcessResult run = runExport(arguments, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(readFile(dir + "/terrain.ply").find("\nelement face " + count + "\n"), std::string::npos);
  EXPECT_EQ(std::to_string(countOf(readFile(dir + "/terrain.obj"), "\nf ")), count);
  EXPECT_EQ(std::to_string(countOf(readFile(dir + "/terrain.xml"), "<F>")), count);
  cairo_surface_t* image = cairo_image_surface_create_from_png((dir + "/terrain.png").c_str());
  EXPECT_EQ(std::max(cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)), 500);
  cairo_surface_destroy(image);
}

TEST(ExportTest, PictureFillsTrianglesWithTheRampColourOfTheirMeanHeight) {
  // Two separate triangles, all corners at the lowest and at the highest z:
  // the ends of the viridis ramp, #440154 and #fde725.
  const std::string dir = makeScratchDir();
  const std::string csv = dir + "/two.csv";
  writeFile(csv,
            "2\r\n70\r\n*******\r\n0.00,0.00,5.00\r\n100.00,0.00,5.00\r\n0.00,100.00,5.00\r\n"
            "200.00,0.00,9.50\r\n300.00,0.00,9.50\r\n200.00,100.00,9.50\r\n");
  ASSERT_EQ(runExport({csv, dir + "/two.png", "--size=400", "--as-meshed"}, dir).status, 0);
  ExportMesh mesh;
  ExportReadError error;
  ASSERT_TRUE(readExportMesh(csv.c_str(), &mesh, &error, nullptr));
  const PictureLayout layout = pictureLayout(mesh, 400);
  cairo_surface_t* image = cairo_image_surface_create_from_png((dir + "/two.png").c_str());
  ASSERT_EQ(cairo_image_surface_get_width(image), layout.width);
  ASSERT_EQ(cairo_image_surface_get_height(image), layout.height);
  EXPECT_EQ(layout.width, 400);
  EXPECT_EQ(pixelAt(image, layout, 30.0, 30.0), 0x440154u);
  EXPECT_EQ(pixelAt(image, layout, 230.0, 30.0), 0xFDE725u);
  EXPECT_EQ(pixelAt(image, layout, 150.0, 90.0), 0xFFFFFFu);  // between them: the background
  cairo_surface_destroy(image);
}

TEST(ExportTest, DamagedTriangleFilesGetOneMessageAndLeaveNoOutput) {
  const std::string block = "0.00,0.00,1.00\r\n3.00,0.00,2.00\r\n0.00,4.00,3.00\r\n";
  struct Case {
    std::string bytes;
    std::string message;  // after "tsvmesh-export: mesh.csv:"
  };
  const Case cases[] = {
      {"", "1: expected the triangle count, found the end of the file"},
      {"a,b,c\n1,2,3\n", "1: expected the triangle count (a whole number) as written by tsvmesh, found \"a,b,c\""},
      {"2\r\n5\r\n********\r\n" + block, "7: expected corner 1 of triangle 2 of 2, found the end of the file"},
      {"1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n3.00,0.00,2.00\r\n",
       "6: expected corner 3 of triangle 1 of 1, found the end of the file"},
      {"1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n3.00,0.00\r\n0.00,4.00,3.00\r\n",
       "5: expected a corner line x,y,z of 3 fields, found 2: \"3.00,0.00\""},
      {"1\r\n5\r\n********\r\n0.00,0.00,1.00\r\n3,0.00,2.00\r\n0.00,4.00,3.00\r\n",
       "5: expected a corner line x,y,z of numbers with two decimals, found \"3,0.00,2.00\""},
      {"1\r\n5\r\n***\r\n" + block, "3: expected the rest of the head, 8 asterisks, found \"***\""},
      {"1\r\n5\r\n********\r\n" + block + block,
       "7: expected the end of the file after 1 triangle (the head's count), found \"0.00,0.00,1.00\""},
  };
  const std::string dir = makeScratchDir();
  for (const Case& damaged : cases) {
    writeFile(dir + "/mesh.csv", damaged.bytes);
    writeFile(dir + "/old.ply", "old");
    for (const char* output : {"old.ply", "new.obj", "new.png"}) {
      const ProcessResult run = runExport({"mesh.csv", output}, dir);
      EXPECT_EQ(run.status, 1) << damaged.message;
      EXPECT_EQ(run.err, "tsvmesh-export: mesh.csv:" + damaged.message + "\n");
      EXPECT_EQ(readFile(dir + "/old.ply"), "old");
      EXPECT_EQ(folderEntries(dir), (std::set<std::string>{"mesh.csv", "old.ply"})) << damaged.message;
    }
  }

  // The input itself, by name or through a hard link, is never overwritten.
  writeFile(dir + "/mesh.obj", "1\r\n5\r\n********\r\n" + block);
  ASSERT_EQ(link((dir + "/mesh.obj").c_str(), (dir + "/same.ply").c_str()), 0);
  for (const char* output : {"mesh.obj", "same.ply"}) {
    const ProcessResult run = runExport({"mesh.obj", output}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tsvmesh-export: " + std::string(output) + " is the input file; choose another output name\n");
    EXPECT_EQ(readFile(dir + "/mesh.obj"), "1\r\n5\r\n********\r\n" + block);
  }
  const ProcessResult missing = runExport({"none.csv", "none.ply"}, dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tsvmesh-export: none.csv: cannot open: No such file or directory\n");
  EXPECT_FALSE(fileExists(dir + "/none.ply"));
  EXPECT_EQ(runExport({"mesh.obj", "mesh.doc"}, dir).status, 2);
}
