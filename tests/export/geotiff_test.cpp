// The GeoTIFF writer of the program's own: its codes and bytes on every
// platform, and, where GDAL is, GDAL reading it back exactly as it reads a
// GeoTIFF written by GDAL from the same grid.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "export/output.h"
#include "export/write/gdal_formats.h"
#include "export/write/geotiff.h"
#include "test_support.h"

namespace {

// A 3 x 2 grid with its corner at (-0.25, 8.25) and cells of 0.5, one
// empty cell and one beyond the float range.
const ExportGridFrame smallFrame{0.5, 0, 16, 3, 2};
const std::vector<double> smallValues{1.5, std::numeric_limits<double>::quiet_NaN(), -2.25, 1e300, 0.1, 7};

std::string writtenGrid(const std::string& path, int32_t epsgCode) {
  ExportOutput output;
  EXPECT_TRUE(openExportOutput(path.c_str(), &output));
  writeBaselineGeoTiff(smallFrame, smallValues, -9999.0, epsgCode, &output, nullptr);
  EXPECT_TRUE(finishExportOutput(&output));
  return readFile(path);
}

uint32_t littleAt(const std::string& bytes, size_t at, int32_t size) {
  uint32_t value = 0;
  for (int32_t i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The directory entry for tag: its type, count and value (or offset).
struct Entry {
  uint32_t type = 0, count = 0, value = 0;
};

Entry entryOf(const std::string& tiff, uint32_t tag) {
  const uint32_t directory = littleAt(tiff, 4, 4);
  const uint32_t entries = littleAt(tiff, directory, 2);
  for (uint32_t e = 0; e < entries; ++e) {
    const size_t at = directory + 2 + 12 * e;
    if (littleAt(tiff, at, 2) != tag) continue;
    const uint32_t type = littleAt(tiff, at + 2, 2);
    return {type, littleAt(tiff, at + 4, 4), littleAt(tiff, at + 8, type == 3 ? 2 : 4)};
  }
  return {};
}

}  // namespace

TEST(GeoTiffCodes, EpsgCodesAndTheirKind) {
  int32_t code = 0;
  ASSERT_TRUE(parseEpsgCode("EPSG:25832", &code));
  EXPECT_EQ(code, 25832);
  ASSERT_TRUE(parseEpsgCode("epsg:4326", &code));
  EXPECT_EQ(code, 4326);
  for (const char* wrong : {"EPSG:", "EPSG:0", "EPSG:65535", "EPSG:99999999", "EPSG:-1", "EPSG:25832 ", "EPSG 25832",
                            "ESRI:102100", "+proj=utm +zone=32", "EPSG::25832"}) {
    EXPECT_FALSE(parseEpsgCode(wrong, &code)) << wrong;
  }
  // WGS 84, ETRS89, NAD83, GDA2020, NAD83(2011) are latitude and longitude;
  // UTM zones, the web's Mercator, WGS 84's geocentric and 3D systems and
  // the ranges' neighbours are not.
  for (const int32_t geographic : {4326, 4258, 4269, 7844, 6318, 3819, 20041, 4001}) {
    EXPECT_TRUE(epsgCodeIsGeographic(geographic)) << geographic;
  }
  for (const int32_t other : {25832, 32632, 3857, 4978, 4979, 2056, 1, 3818, 20042, 65534, 4000}) {
    EXPECT_FALSE(epsgCodeIsGeographic(other)) << other;
  }
}

TEST(GeoTiffCodes, TheFileHoldsTheGridAsWritten) {
  const std::string dir = makeScratchDir();
  const std::string tiff = writtenGrid(dir + "/g.tif", 25832);
  ASSERT_GE(tiff.size(), 24u);
  EXPECT_EQ(tiff.substr(0, 4), std::string("II*\0", 4));
  EXPECT_EQ(entryOf(tiff, 256).value, 3u);
  EXPECT_EQ(entryOf(tiff, 257).value, 2u);
  EXPECT_EQ(entryOf(tiff, 339).value, 3u);  // IEEE floats
  // One strip: the six cells at the end of the file, north row first.
  const uint32_t start = entryOf(tiff, 273).value;
  EXPECT_EQ(entryOf(tiff, 279).value, 24u);
  ASSERT_EQ(tiff.size(), start + 24u);
  const float expected[] = {1.5f, -9999.0f, -2.25f, std::numeric_limits<float>::max(), 0.1f, 7.0f};
  for (int32_t i = 0; i < 6; ++i) {
    const uint32_t bits = littleAt(tiff, start + 4 * i, 4);
    float value = 0;
    std::memcpy(&value, &bits, 4);
    EXPECT_EQ(value, expected[i]) << i;
  }
  const Entry nodata = entryOf(tiff, 42113);
  EXPECT_EQ(nodata.type, 2u);
  EXPECT_EQ(tiff.substr(nodata.value, nodata.count), std::string("-9999\0", 6));
  // GeoKeys: version, 3 keys; model projected, pixel is area, the code.
  const Entry keys = entryOf(tiff, 34735);
  ASSERT_EQ(keys.count, 16u);
  std::vector<uint32_t> shorts;
  for (uint32_t k = 0; k < keys.count; ++k) shorts.push_back(littleAt(tiff, keys.value + 2 * k, 2));
  EXPECT_EQ(shorts, (std::vector<uint32_t>{1, 1, 0, 3, 1024, 0, 1, 1, 1025, 0, 1, 1, 3072, 0, 1, 25832}));
  EXPECT_EQ(entryOf(writtenGrid(dir + "/none.tif", 0), 34735).count, 0u);  // no key at all
}

#if TSVMESH_EXPORT_GDAL
// GDAL reads our file and its own from the same grid alike: size,
// geotransform, nodata, every cell's bits, the area-or-point reading and
// the reference system (its EPSG code, and the two systems the same).
TEST(GeoTiffCodes, GdalReadsOurGridAsItReadsItsOwn) {
  const std::string dir = makeScratchDir();
  if (!hostToolsShareFiles()) GTEST_SKIP() << "the host's Python does not see this build's files";
  if (!fileExists("/usr/bin/python3") ||
      runProgram("/usr/bin/python3", {"python3", "-c", "from osgeo import gdal"}, dir, "", 60).status != 0) {
    GTEST_SKIP() << "Python's GDAL (python3-gdal) is missing";
  }
  // A larger grid too, so that it takes several strips.
  ExportGridFrame large{2.0, -300, 900, 700, 300};
  std::vector<double> largeValues(static_cast<size_t>(large.columns) * large.rows);
  for (size_t i = 0; i < largeValues.size(); ++i) {
    largeValues[i] = i % 97 == 0 ? std::nan("") : std::sin(static_cast<double>(i)) * 1000.0 - 123.456;
  }
  const struct {
    const char* srs;
    bool useLarge;
  } cases[] = {{"EPSG:25832", false}, {"EPSG:4326", false}, {nullptr, false}, {"EPSG:32633", true},
               {"EPSG:7844", false}};
  std::string script = "from osgeo import gdal\ngdal.UseExceptions()\n"
                       "def look(p):\n"
                       "  d = gdal.Open(p); b = d.GetRasterBand(1); s = d.GetSpatialRef()\n"
                       "  return (d.RasterXSize, d.RasterYSize, d.GetGeoTransform(), b.GetNoDataValue(),\n"
                       "          b.DataType, b.ReadRaster(), d.GetMetadataItem('AREA_OR_POINT'),\n"
                       "          None if s is None else s.GetAuthorityCode(None)), s\n";
  for (size_t i = 0; i < std::size(cases); ++i) {
    const ExportGridFrame& frame = cases[i].useLarge ? large : smallFrame;
    const std::vector<double>& values = cases[i].useLarge ? largeValues : smallValues;
    for (const bool ours : {true, false}) {
      const std::string path = dir + "/" + std::to_string(i) + (ours ? "ours.tif" : "gdal.tif");
      ExportOutput output;
      std::string problem;
      ASSERT_TRUE(openExportOutput(path.c_str(), &output));
      ASSERT_TRUE(ours ? writeGeoTiffGrid(frame, values, -9999.0, cases[i].srs, &output, nullptr, &problem)
                       : writeGdalGeoTiff(frame, values, -9999.0, cases[i].srs, &output, nullptr, &problem))
          << problem;
      ASSERT_TRUE(finishExportOutput(&output));
    }
    const std::string n = std::to_string(i);
    script += "a, sa = look('" + n + "ours.tif'); b, sb = look('" + n + "gdal.tif')\n"
              "print(a == b, a[7], sa is None or sa.IsSame(sb) == 1, a[0], a[1], len(a[5]))\n";
  }
  const ProcessResult run = runProgram("/usr/bin/python3", {"python3", "-c", script}, dir, "", 120);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "True 25832 True 3 2 24\n"
            "True 4326 True 3 2 24\n"
            "True None True 3 2 24\n"
            "True 32633 True 700 300 840000\n"
            "True 7844 True 3 2 24\n");
}
#endif
