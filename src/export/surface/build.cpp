#include "export/surface/build.h"

#include <algorithm>

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

}  // namespace

bool buildSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                  ExportProgress* progress) {
  if (!readExportInput(source.path, source.kind, source.columns, surface, error, progress)) return false;
  if (source.maxSide > 0.0) dropLongTriangles(surface, source.maxSide);
  orientFacesUpward(surface);
  findBounds(surface);
  if (!source.edges) return true;
  surface->hasEdges = findMeshEdges(*surface, &surface->edges);
  if (surface->hasEdges) return true;
  error->line = 0;
  error->message = "the surface has more than 2^31 - 1 edges";
  return false;
}
