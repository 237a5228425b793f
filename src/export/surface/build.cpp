#include "export/surface/build.h"

#include <algorithm>
#include <cstdio>

#include "export/products/facing.h"
#include "export/products/mesh_edges.h"
#include "export/products/site_boundary.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "export/surface/surface.h"

namespace {

void findBounds(ExportMesh* surface) {
  ExportBounds& b = surface->bounds;
  b = ExportBounds{};
  bool first = true;
  for (const int32_t v : surface->corners) {
    const ExportVertex& p = surface->vertices[static_cast<size_t>(v)];
    if (first) {
      b = {p.x, p.y, p.z, p.x, p.y, p.z};
      first = false;
      continue;
    }
    b.lowX = std::min(b.lowX, p.x);
    b.lowY = std::min(b.lowY, p.y);
    b.lowZ = std::min(b.lowZ, p.z);
    b.highX = std::max(b.highX, p.x);
    b.highY = std::max(b.highY, p.y);
    b.highZ = std::max(b.highZ, p.z);
  }
}

// Whatever the reader let through (a points file's numbers are read as
// tsvmesh reads them) within the range every product can sum.
bool coordinatesInRange(const ExportMesh& surface, ExportReadError* error) {
  for (const ExportVertex& v : surface.vertices) {
    if (coordinateInRange(v.x) && coordinateInRange(v.y) && coordinateInRange(v.z)) continue;
    char text[160];
    std::snprintf(text, sizeof text, "expected coordinates within %s, found a point at (%.6g, %.6g, %.6g)",
                  largestCoordinateText().c_str(), v.x, v.y, v.z);
    error->line = 0;
    error->message = text;
    return false;
  }
  return true;
}

}  // namespace

bool buildSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                  ExportProgress* progress) {
  if (!readExportInput(source.path, source.kind, source.columns, source.leaveOut, surface, error, progress)) return false;
  if (!coordinatesInRange(*surface, error)) return false;
  if (!source.leaveOut.empty() && surface->surveyPoints.empty()) {
    *error = ExportReadError{0, "--leave-out names codes of a field file's points; this input has none"};
    return false;
  }
  if (source.maxSide > 0.0) dropLongTriangles(surface, source.maxSide);
  if (surface->triangleCount == 0) {
    error->line = 0;
    error->message = source.maxSide > 0.0 ? "--max-side leaves out every triangle; no surface is left"
                                          : "no triangle: the points lie on one line, or there are none";
    return false;
  }
  orientFacesUpward(surface);
  findBounds(surface);
  if (!source.edges) return true;
  surface->hasEdges = findMeshEdges(*surface, &surface->edges);
  if (surface->hasEdges) return true;
  error->line = 0;
  error->message = "the surface has more than 2^31 - 1 edges";
  return false;
}
