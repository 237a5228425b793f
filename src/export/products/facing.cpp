#include "export/products/facing.h"

#include <cmath>
#include <utility>

#include "export/read/mesh_file.h"

namespace {

// Towards the sun, a unit vector.
constexpr double sunX = -0.5;
constexpr double sunY = 0.5;
constexpr double sunZ = 0.70710678118654752;

}  // namespace

double faceTwiceArea(const ExportMesh& mesh, int32_t face) {
  const int32_t* corner = &mesh.corners[static_cast<size_t>(face) * 3];
  const ExportVertex& a = mesh.vertices[static_cast<size_t>(corner[0])];
  const ExportVertex& b = mesh.vertices[static_cast<size_t>(corner[1])];
  const ExportVertex& c = mesh.vertices[static_cast<size_t>(corner[2])];
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

void orientFacesUpward(ExportMesh* mesh) {
  for (int32_t f = 0; f < mesh->triangleCount; ++f) {
    if (faceTwiceArea(*mesh, f) < 0.0) {
      std::swap(mesh->corners[static_cast<size_t>(f) * 3 + 1], mesh->corners[static_cast<size_t>(f) * 3 + 2]);
    }
  }
}

double hillshadeFactor(const ExportMesh& mesh, int32_t face) {
  const int32_t* corner = &mesh.corners[static_cast<size_t>(face) * 3];
  const ExportVertex& a = mesh.vertices[static_cast<size_t>(corner[0])];
  const ExportVertex& b = mesh.vertices[static_cast<size_t>(corner[1])];
  const ExportVertex& c = mesh.vertices[static_cast<size_t>(corner[2])];
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  if (nz < 0.0) {
    nx = -nx;
    ny = -ny;
    nz = -nz;
  }
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(length > 0.0) || !std::isfinite(length)) return 1.0;
  return (nx * sunX + ny * sunY + nz * sunZ) / length / sunZ;
}
