#include "export/cli/formats.h"

#include "export/cli/format_writers.h"

namespace {

// The build says which optional libraries it has (src/export/CMakeLists.txt,
// which also reads the rows below for its summary line: keep one row a line).
constexpr bool withCairo = TSVMESH_EXPORT_CAIRO != 0;
constexpr bool withThree = TSVMESH_EXPORT_THREE != 0;
constexpr bool withGdal = TSVMESH_EXPORT_GDAL != 0;
constexpr bool withZlib = TSVMESH_EXPORT_ZLIB != 0;

constexpr uint32_t pictureUses = usePicture | useContours | useUnits;

// clang-format off
const ExportFormat formatTable[] = {
    {"png", "a picture from above (PNG)", pictureUses, libraryCairo, withCairo, writePngProduct},
    {"svg", "the picture as SVG", pictureUses, libraryCairo, withCairo, writeSvgProduct},
    {"pdf", "the picture as PDF, or a plan at scale with --paper", pictureUses | usePaper, libraryZlib, withZlib, writePdfProduct},
    {"ply", "binary PLY mesh", 0, libraryNone, true, writePlyProduct},
    {"obj", "Wavefront OBJ mesh", 0, libraryNone, true, writeObjProduct},
    {"xml", "LandXML 1.2 TIN surface", useUnits, libraryNone, true, writeLandXmlProduct},
    {"html", "the surface in 3D, one page for any browser", useContours, libraryThree, withThree, writePageProduct},
    {"dxf", "DXF for CAD: 3DFACE surface, labelled contours, points and lines", useContours | useUnits | usePoints | useLines, libraryNone, true, writeDxfProduct},
    {"geojson", "GeoJSON contours (needs --contour) and a field file's points and lines", useContours | useSrs | usePoints | useLines, libraryNone, true, writeGeoJsonProduct},
    {"asc", "ESRI ASCII grid of elevations or of a difference (needs --cell)", useCell | needsCell | useCompare, libraryNone, true, writeAscProduct},
    {"tif", "GeoTIFF grid of elevations or of a difference, Float32 (needs --cell)", useCell | needsCell | useSrs | useCompare, libraryNone, true, writeTifProduct},
    {"gpkg", "GeoPackage: the faces as POLYGON Z, contours and lines as LINESTRING Z, points", useContours | useSrs | usePoints | useLines, libraryGdal, withGdal, writeGpkgProduct},
    {"shp", "ESRI Shapefile: faces as PolygonZ; contours, points, lines beside it", useContours | useSrs | usePoints | useLines, libraryGdal, withGdal, writeShpProduct},
    {"csv", "long sections along --profile's polylines, as CSV", useProfile | needsProfile, libraryNone, true, writeCsvProduct},
    {"txt", "areas and volumes, exact cut and fill with --compare, for people", useReport | useCompare | useUnits, libraryNone, true, writeTextReportProduct},
    {"json", "areas and volumes, exact cut and fill with --compare, for programs", useReport | useCompare | useUnits, libraryNone, true, writeJsonReportProduct},
};
// clang-format on

constexpr int32_t formatCount = static_cast<int32_t>(sizeof formatTable / sizeof formatTable[0]);

char lowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int32_t exportFormatCount() { return formatCount; }

const ExportFormat& exportFormatAt(int32_t index) { return formatTable[index]; }

const ExportFormat* exportFormatOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = lowerCase(c);
  for (const ExportFormat& format : formatTable) {
    if (extension == format.extension) return &format;
  }
  return nullptr;
}

std::string exportAvailableList() {
  std::string list;
  for (const ExportFormat& format : formatTable) {
    if (!format.available) continue;
    list += list.empty() ? "." : ", .";
    list += format.extension;
  }
  return list;
}

std::string exportFormatsUsing(uint32_t bits) {
  std::string list;
  std::string last;
  for (const ExportFormat& format : formatTable) {
    if ((format.uses & bits) != bits || !format.available) continue;
    if (!last.empty()) list += list.empty() ? last : ", " + last;
    last = std::string(".") + format.extension;
  }
  if (list.empty()) return last;
  return list + " and " + last;
}

const char* exportLibraryName(int32_t library) {
  switch (library) {
    case libraryCairo: return "cairo";
    case libraryZlib: return "zlib";
    case libraryGdal: return "GDAL";
    case libraryThree: return "three.js";
    default: return "";
  }
}
