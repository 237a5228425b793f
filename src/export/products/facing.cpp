#include "export/products/facing.h"

#include <utility>

#include "export/read/mesh_file.h"

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
