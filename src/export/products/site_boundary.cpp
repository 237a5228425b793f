#include "export/products/site_boundary.h"

#include <algorithm>
#include <vector>

#include "export/read/mesh_file.h"

namespace {

bool sideLonger(const ExportVertex& a, const ExportVertex& b, double limitSquared) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  return dx * dx + dy * dy > limitSquared;
}

}  // namespace

int32_t dropLongTriangles(ExportMesh* mesh, double maxSide) {
  const double limitSquared = maxSide * maxSide;
  int32_t kept = 0;
  for (int32_t f = 0; f < mesh->triangleCount; ++f) {
    const int32_t* corner = &mesh->corners[static_cast<size_t>(f) * 3];
    const ExportVertex& a = mesh->vertices[static_cast<size_t>(corner[0])];
    const ExportVertex& b = mesh->vertices[static_cast<size_t>(corner[1])];
    const ExportVertex& c = mesh->vertices[static_cast<size_t>(corner[2])];
    if (sideLonger(a, b, limitSquared) || sideLonger(b, c, limitSquared) || sideLonger(c, a, limitSquared)) continue;
    std::copy(corner, corner + 3, &mesh->corners[static_cast<size_t>(kept) * 3]);
    ++kept;
  }
  const int32_t dropped = mesh->triangleCount - kept;
  mesh->triangleCount = kept;
  mesh->corners.resize(static_cast<size_t>(kept) * 3);
  if (dropped == 0) return 0;

  // Renumber the vertices still in use, in their old order.
  std::vector<int32_t> renumbered(static_cast<size_t>(mesh->vertexCount), -1);
  for (const int32_t v : mesh->corners) renumbered[static_cast<size_t>(v)] = 0;
  int32_t used = 0;
  size_t textUsed = 0;
  for (int32_t v = 0; v < mesh->vertexCount; ++v) {
    if (renumbered[static_cast<size_t>(v)] < 0) continue;
    renumbered[static_cast<size_t>(v)] = used;
    const int64_t start = mesh->textStart[static_cast<size_t>(v)];
    const int64_t end = mesh->textStart[static_cast<size_t>(v) + 1];
    std::copy(mesh->text.begin() + start, mesh->text.begin() + end, mesh->text.begin() + static_cast<int64_t>(textUsed));
    mesh->textStart[static_cast<size_t>(used)] = static_cast<int64_t>(textUsed);
    textUsed += static_cast<size_t>(end - start);
    mesh->vertices[static_cast<size_t>(used)] = mesh->vertices[static_cast<size_t>(v)];
    ++used;
  }
  mesh->textStart[static_cast<size_t>(used)] = static_cast<int64_t>(textUsed);
  mesh->textStart.resize(static_cast<size_t>(used) + 1);
  mesh->text.resize(textUsed);
  mesh->vertices.resize(static_cast<size_t>(used));
  mesh->vertexCount = used;
  for (int32_t& v : mesh->corners) v = renumbered[static_cast<size_t>(v)];

  mesh->lowestZ = mesh->highestZ = 0.0;
  if (used > 0) {
    mesh->lowestZ = mesh->highestZ = mesh->vertices[0].z;
    for (const ExportVertex& vertex : mesh->vertices) {
      mesh->lowestZ = std::min(mesh->lowestZ, vertex.z);
      mesh->highestZ = std::max(mesh->highestZ, vertex.z);
    }
  }
  return dropped;
}
