#include "export/surface/assemble.h"

#include <algorithm>

#include "export/surface/surface.h"
#include "export/write/number_text.h"
#include "output/statistic.h"
#include "output/two_decimals.h"

namespace {

// A coordinate as the statistic reads it back from a triangle file: its
// two-decimal text, read by the statistic's own reading.
float statisticCoordinate(double value) {
  char text[longestTwoDecimalsText + 1];
  const size_t length = formatTwoDecimals(value, text);
  return statisticValue(text, length);
}

void appendVertex(const double* p, ExportMesh* surface) {
  surface->vertices.push_back({p[0], p[1], p[2]});
  char line[80];
  char* out = appendShortestNumber(line, p[0]);
  *out++ = ',';
  out = appendShortestNumber(out, p[1]);
  *out++ = ',';
  out = appendShortestNumber(out, p[2]);
  surface->text.insert(surface->text.end(), line, out);
  surface->textStart.push_back(static_cast<int64_t>(surface->text.size()));
}

}  // namespace

void assembleSurface(const std::vector<double>& xyz, const std::vector<int32_t>& triangles, ExportMesh* surface) {
  const size_t pointCount = xyz.size() / 3;
  std::vector<int32_t> vertexOf(pointCount, -1);
  surface->vertices.clear();
  surface->text.clear();
  surface->textStart.assign(1, 0);
  surface->corners.resize(triangles.size());
  surface->vertices.reserve(pointCount);
  surface->text.reserve(pointCount * 24);
  surface->textStart.reserve(pointCount + 1);
  for (size_t c = 0; c < triangles.size(); ++c) {
    const auto point = static_cast<size_t>(triangles[c]);
    if (vertexOf[point] < 0) {
      vertexOf[point] = static_cast<int32_t>(surface->vertices.size());
      appendVertex(&xyz[point * 3], surface);
    }
    surface->corners[c] = vertexOf[point];
  }
  surface->vertexCount = static_cast<int32_t>(surface->vertices.size());
  surface->triangleCount = static_cast<int32_t>(triangles.size() / 3);
  surface->lowestZ = surface->highestZ = 0.0;
  for (size_t v = 0; v < surface->vertices.size(); ++v) {
    const double z = surface->vertices[v].z;
    surface->lowestZ = v == 0 ? z : std::min(surface->lowestZ, z);
    surface->highestZ = v == 0 ? z : std::max(surface->highestZ, z);
  }
  measureAverageSide(surface);
}

void measureAverageSide(ExportMesh* surface) {
  std::vector<float> xs(surface->vertices.size());
  std::vector<float> ys(surface->vertices.size());
  for (size_t v = 0; v < surface->vertices.size(); ++v) {
    xs[v] = statisticCoordinate(surface->vertices[v].x);
    ys[v] = statisticCoordinate(surface->vertices[v].y);
  }
  int64_t sum = 0;
  bool inRange = true;
  for (int32_t f = 0; f < surface->triangleCount && inRange; ++f) {
    const int32_t* c = &surface->corners[static_cast<size_t>(f) * 3];
    int32_t longest = 0;
    for (int32_t e = 0; e < 3; ++e) {
      const auto a = static_cast<size_t>(c[e]);
      const auto b = static_cast<size_t>(c[(e + 1) % 3]);
      const int32_t side = integerSideLength(xs[a], ys[a], xs[b], ys[b]);
      if (side == sideOutOfRange) inRange = false;
      longest = std::max(longest, side);
    }
    sum += longest;
    if (sum > INT32_MAX) inRange = false;
  }
  surface->averageKnown = inRange;
  surface->averageSide = inRange && surface->triangleCount > 0 ? static_cast<int32_t>(sum / surface->triangleCount) : 0;
}
