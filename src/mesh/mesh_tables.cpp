#include "mesh/mesh_tables.h"

#include <cstddef>

int32_t triangleTableCapacity(int32_t n) {
  if (n < 0 || n > INT32_MAX / 4) return -1;
  return 4 * n;
}

MeshPoint* allocatePointTable(int32_t n) {
  if (n < 0 || n > INT32_MAX - 3) return nullptr;
  const size_t slots = static_cast<size_t>(n) + 3;
  return static_cast<MeshPoint*>(meshAllocate(slots * sizeof(MeshPoint)));
}

MeshTriangle* allocateTriangleTable(int32_t n) {
  const int32_t capacity = triangleTableCapacity(n);
  if (capacity < 0) return nullptr;
  return static_cast<MeshTriangle*>(meshAllocate(static_cast<size_t>(capacity) * sizeof(MeshTriangle)));
}
