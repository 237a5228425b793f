#include "export/surface/constraints.h"

#include <cmath>
#include <limits>

#include "export/read/polylines.h"

namespace {

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

// Appends set's polyline p; its vertex indices (from firstPoint) in order.
std::vector<int32_t> appendPolyline(const PolylineSet& set, const Polyline& p, int32_t file, int32_t firstPoint,
                                    SurfaceConstraints* c) {
  std::vector<int32_t> indices;
  for (int32_t k = 0; k < p.vertexCount; ++k) {
    const PolylineVertex& v = set.vertices[static_cast<size_t>(p.firstVertex + k)];
    indices.push_back(firstPoint + static_cast<int32_t>(c->sources.size()));
    c->xyz.insert(c->xyz.end(), {v.x, v.y, v.hasZ ? v.z : std::numeric_limits<double>::quiet_NaN()});
    c->sources.push_back({file, v.line});
  }
  return indices;
}

bool readBreaklines(const char* path, int32_t file, int32_t firstPoint, SurfaceConstraints* c, ExportReadError* error) {
  PolylineSet set;
  if (!readPolylineFile(path, &set, error)) return false;
  for (const Polyline& p : set.polylines) {
    for (int32_t k = 0; k < p.vertexCount; ++k) {
      const PolylineVertex& v = set.vertices[static_cast<size_t>(p.firstVertex + k)];
      if (!v.hasZ) return fail(error, v.line, "expected a breakline vertex with its height (x y z)");
    }
    std::vector<int32_t> indices = appendPolyline(set, p, file, firstPoint, c);
    const size_t edges = p.closed ? indices.size() : indices.size() - 1;
    for (size_t k = 0; k < edges; ++k) {
      c->segments.insert(c->segments.end(), {indices[k], indices[(k + 1) % indices.size()]});
      c->segmentFile.push_back(file);
    }
    if (p.closed) indices.push_back(indices.front());
    c->breaklines.push_back(std::move(indices));
  }
  return true;
}

// A polygon's ring: at least three corners, closed whether the file closed it or not.
bool readRings(const char* path, int32_t file, bool border, int32_t firstPoint, SurfaceConstraints* c,
               ExportReadError* error) {
  PolylineSet set;
  if (!readPolylineFile(path, &set, error)) return false;
  if (border && set.polylines.size() != 1) {
    return fail(error, 0, "expected one polygon for the border, found " + std::to_string(set.polylines.size()));
  }
  for (const Polyline& p : set.polylines) {
    if (p.vertexCount < 3) {
      return fail(error, set.vertices[static_cast<size_t>(p.firstVertex)].line, "expected a polygon of 3 or more corners");
    }
    std::vector<int32_t> indices = appendPolyline(set, p, file, firstPoint, c);
    c->polygonPoints.insert(c->polygonPoints.end(), indices.begin(), indices.end());
    c->polygonEnds.push_back(static_cast<int32_t>(c->polygonPoints.size()));
    c->rings.push_back(std::move(indices));
  }
  c->hasBorder = c->hasBorder || border;
  return true;
}

}  // namespace

bool hasConstraints(const std::vector<const char*>& breaklineFiles, const char* borderFile, const char* holesFile) {
  return !breaklineFiles.empty() || borderFile != nullptr || holesFile != nullptr;
}

bool readSurfaceConstraints(const std::vector<const char*>& breaklineFiles, const char* borderFile,
                            const char* holesFile, int32_t firstPoint, SurfaceConstraints* constraints,
                            ExportReadError* error, std::string* failedFile) {
  SurfaceConstraints& c = *constraints;
  for (const char* path : breaklineFiles) {
    c.files.push_back(path);
    *failedFile = path;
    if (!readBreaklines(path, static_cast<int32_t>(c.files.size()) - 1, firstPoint, &c, error)) return false;
  }
  for (const char* path : {borderFile, holesFile}) {
    if (path == nullptr) continue;
    c.files.push_back(path);
    *failedFile = path;
    if (!readRings(path, static_cast<int32_t>(c.files.size()) - 1, path == borderFile, firstPoint, &c, error)) {
      return false;
    }
  }
  return true;
}
