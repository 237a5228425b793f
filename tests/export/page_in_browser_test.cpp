// The 3D page as a browser shows it: headless Chromium with software WebGL
// opens the page for the bundled terrain, which marks itself drawn, and its
// screenshot holds the surface, not only the background.
#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/cli/formats.h"
#include "test_support.h"

namespace {

bool threeIsBuiltIn() {
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    if (exportFormatAt(f).library == libraryThree) return exportFormatAt(f).available;
  }
  return false;
}

ProcessResult runChromium(const std::string& dir, const std::vector<std::string>& action, const std::string& page) {
  std::vector<std::string> argv{TSVMESH_CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                                "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                "--no-first-run", "--user-data-dir=" + dir + "/profile",
                                "--virtual-time-budget=20000", "--window-size=800,600"};
  argv.insert(argv.end(), action.begin(), action.end());
  argv.push_back("file://" + page);
  return runProgram(TSVMESH_CHROMIUM, argv, dir, "", 240);
}

}  // namespace

TEST(TerrainPage, OpensInChromiumAsASurface) {
  if (!threeIsBuiltIn()) GTEST_SKIP() << "this build has no three.js (libjs-three)";
  if (std::string(TSVMESH_CHROMIUM).empty() || !fileExists(TSVMESH_CHROMIUM)) {
    GTEST_SKIP() << "no chromium to open the page in (Debian: chromium)";
  }
  const std::string dir = makeScratchDir();
  std::filesystem::create_directory(dir + "/build");
  ASSERT_EQ(runTsvmeshBinary({std::string(TSVMESH_SOURCE_DIR) + "/examples/terrain.tsv"}, dir).status, 0);
  const std::string csv = readFile(dir + "/build/terrain.csv");
  const std::string count = csv.substr(0, csv.find('\r'));
  const ProcessResult run = runProgram(TSVMESH_EXPORT_BINARY, {"tsvmesh-export", "build/terrain.csv", "terrain.html", "--contour", "10", "--as-meshed"},
                                       dir, "", 120);
  ASSERT_EQ(run.status, 0) << run.err;

  const ProcessResult dom = runChromium(dir, {"--dump-dom"}, dir + "/terrain.html");
  EXPECT_NE(dom.out.find("<html lang=\"en\" data-ready=\"" + count + "\">"), std::string::npos)
      << dom.out.substr(0, 300) << dom.err;
  EXPECT_NE(dom.out.find("id=\"contours\" type=\"checkbox\" checked"), std::string::npos);

  const ProcessResult shot = runChromium(dir, {"--screenshot=" + dir + "/shot.png"}, dir + "/terrain.html");
  cairo_surface_t* image = cairo_image_surface_create_from_png((dir + "/shot.png").c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << shot.err;
  const int width = cairo_image_surface_get_width(image);
  const int height = cairo_image_surface_get_height(image);
  // The background and the panels are grey or white; the surface is
  // coloured on the viridis ramp.
  int64_t coloured = 0;
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
    for (int x = 0; x < width; ++x) {
      const unsigned char* pixel = row + 4 * x;
      const int low = std::min({pixel[0], pixel[1], pixel[2]});
      const int high = std::max({pixel[0], pixel[1], pixel[2]});
      coloured += high - low > 40 ? 1 : 0;
    }
  }
  cairo_surface_destroy(image);
  EXPECT_GT(coloured * 5, int64_t{width} * height) << coloured << " coloured pixels of " << width * height;
}
