#include "export/write/hillshade.h"

#include <algorithm>
#include <cmath>

#include "export/products/facing.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/write/sheet.h"

namespace {

// viridis at t = 0, 1/8, ..., 1; between them the ramp is interpolated.
constexpr unsigned char viridisStops[9][3] = {
    {68, 1, 84},    {71, 45, 123},  {59, 82, 139},  {44, 114, 142}, {33, 145, 140},
    {40, 174, 128}, {94, 201, 98},  {173, 220, 48}, {253, 231, 37},
};

constexpr int32_t progressStride = 1 << 15;

struct RasterPoint {
  double x, y;
};

// Which side of the edge a b the point p is on, the same number (negated)
// whichever way round the edge is given, so that two faces sharing an
// edge agree on it exactly. tieWins says whether p exactly on the edge
// belongs to the face that runs a to b.
double edgeSide(RasterPoint a, RasterPoint b, RasterPoint p, bool* tieWins) {
  const bool forward = a.y < b.y || (a.y == b.y && a.x < b.x);
  const RasterPoint from = forward ? a : b, to = forward ? b : a;
  const double side = (to.x - from.x) * (p.y - from.y) - (to.y - from.y) * (p.x - from.x);
  *tieWins = forward;
  return forward ? side : -side;
}

bool covers(const RasterPoint corner[3], RasterPoint p) {
  for (int32_t c = 0; c < 3; ++c) {
    bool tieWins = false;
    const double side = edgeSide(corner[c], corner[(c + 1) % 3], p, &tieWins);
    if (side < 0.0 || (side == 0.0 && !tieWins)) return false;
  }
  return true;
}

// Where the row's centre line y meets the triangle's edges: lowest and
// highest x, or false when it misses them all.
bool rowCrossing(const RasterPoint corner[3], double y, double* low, double* high) {
  *low = 1e300;
  *high = -1e300;
  for (int32_t c = 0; c < 3; ++c) {
    const RasterPoint a = corner[c], b = corner[(c + 1) % 3];
    if (a.y == b.y || y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
    const double x = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
    *low = std::min(*low, x);
    *high = std::max(*high, x);
  }
  return *low <= *high;
}

// Fills the pixels whose centres corner[] covers (counter-clockwise with y
// down, i.e. positive edgeSide inside). Each row's run is found from where
// the edges cross it and settled at both ends by covers(), so that the
// pixels decided there are those a test of every pixel would give.
void fillTriangle(const RasterPoint corner[3], const uint8_t colour[3], SheetImage* image) {
  double lowY = corner[0].y, highY = lowY;
  for (int32_t c = 1; c < 3; ++c) {
    lowY = std::min(lowY, corner[c].y);
    highY = std::max(highY, corner[c].y);
  }
  const double firstRow = std::max(0.0, std::ceil(lowY - 0.5));
  const double lastRow = std::min(image->rows - 1.0, std::floor(highY - 0.5));
  for (double row = firstRow; row <= lastRow; ++row) {
    double low = 0.0, high = 0.0;
    if (!rowCrossing(corner, row + 0.5, &low, &high)) continue;
    double left = std::max(0.0, std::floor(low - 0.5)), right = std::min(image->columns - 1.0, std::ceil(high - 0.5));
    while (left <= right && !covers(corner, RasterPoint{left + 0.5, row + 0.5})) ++left;
    while (right >= left && !covers(corner, RasterPoint{right + 0.5, row + 0.5})) --right;
    uint8_t* line = image->rgb.data() + static_cast<size_t>(row) * static_cast<size_t>(image->columns) * 3;
    for (double column = left; column <= right; ++column) {
      std::copy(colour, colour + 3, line + static_cast<size_t>(column) * 3);
    }
  }
}

}  // namespace

void viridisColour(double t, double rgb[3]) {
  const double at = std::clamp(t, 0.0, 1.0) * 8.0;
  const int32_t stop = std::min(static_cast<int32_t>(at), 7);
  const double share = at - stop;
  for (int32_t i = 0; i < 3; ++i) {
    rgb[i] = (viridisStops[stop][i] + share * (viridisStops[stop + 1][i] - viridisStops[stop][i])) / 255.0;
  }
}

int32_t surfaceColourClass(const ExportMesh& mesh, int32_t face, bool flat) {
  const int32_t* corners = &mesh.corners[static_cast<size_t>(face) * 3];
  const long double range = static_cast<long double>(mesh.highestZ) - mesh.lowestZ;
  int32_t ramp = surfaceRampClasses / 2;
  if (range > 0.0L) {
    long double mean = 0.0L;
    for (int32_t c = 0; c < 3; ++c) mean += mesh.vertices[static_cast<size_t>(corners[c])].z;
    mean /= 3.0L;
    const long double t = (mean - mesh.lowestZ) / range;
    ramp = std::min(static_cast<int32_t>(std::clamp(t, 0.0L, 1.0L) * surfaceRampClasses), surfaceRampClasses - 1);
  }
  int32_t shade = surfaceShadeUnit;
  if (!flat) {
    shade = static_cast<int32_t>(std::lround(hillshadeFactor(mesh, face) * surfaceShadeUnit));
    shade = std::clamp(shade, 0, surfaceShadeClasses - 1);
  }
  return ramp * surfaceShadeClasses + shade;
}

void surfaceClassColour(int32_t k, double rgb[3]) {
  viridisColour((k / surfaceShadeClasses) / (surfaceRampClasses - 1.0), rgb);
  const double light = static_cast<double>(k % surfaceShadeClasses) / surfaceShadeUnit;
  for (int32_t i = 0; i < 3; ++i) {
    rgb[i] = light <= 1.0 ? rgb[i] * (0.3 + 0.7 * light) : rgb[i] + (1.0 - rgb[i]) * 0.8 * (light - 1.0);
  }
}

std::vector<int32_t> surfaceColourClasses(const ExportMesh& mesh, bool flat) {
  std::vector<int32_t> classes(static_cast<size_t>(mesh.triangleCount));
  for (int32_t f = 0; f < mesh.triangleCount; ++f) classes[static_cast<size_t>(f)] = surfaceColourClass(mesh, f, flat);
  return classes;
}

void rasterSurface(const ExportMesh& mesh, const std::vector<double>& page, const std::vector<int32_t>& classes,
                   SheetImage* image, ExportProgress* progress) {
  image->rgb.assign(static_cast<size_t>(image->columns) * static_cast<size_t>(image->rows) * 3, 255);
  const double perX = image->columns / image->width, perY = image->rows / image->height;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if ((f & (progressStride - 1)) == 0) updateExportProgress(progress, "drawing", f, mesh.triangleCount);
    RasterPoint corner[3];
    for (int32_t c = 0; c < 3; ++c) {
      const size_t v = static_cast<size_t>(mesh.corners[static_cast<size_t>(f) * 3 + static_cast<size_t>(c)]);
      corner[c] = RasterPoint{(page[v * 2] - image->left) * perX, (page[v * 2 + 1] - image->top) * perY};
    }
    const double twiceArea = (corner[1].x - corner[0].x) * (corner[2].y - corner[0].y) -
                             (corner[1].y - corner[0].y) * (corner[2].x - corner[0].x);
    if (twiceArea == 0.0 || !std::isfinite(twiceArea)) continue;
    if (twiceArea < 0.0) std::swap(corner[1], corner[2]);
    double rgb[3];
    surfaceClassColour(classes[static_cast<size_t>(f)], rgb);
    uint8_t colour[3];
    for (int32_t i = 0; i < 3; ++i) colour[i] = static_cast<uint8_t>(std::lround(std::clamp(rgb[i], 0.0, 1.0) * 255));
    fillTriangle(corner, colour, image);
  }
}
