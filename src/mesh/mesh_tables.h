// The run's two tables, sized from the point count n, from the mesh heap.
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"

// The triangle table's room for a mesh of n points: 4 * n triangles, the
// bound the mesh holds its count to. -1 when n is negative or 4 * n does
// not fit a 32-bit count.
int32_t triangleTableCapacity(int32_t n);

// The point table: n + 3 slots (three for the super-triangle). nullptr when
// the heap refuses or the size does not fit a 32-bit count.
MeshPoint* allocatePointTable(int32_t n);

// The triangle table: triangleTableCapacity(n) slots. nullptr when the heap
// refuses or there is no such capacity.
MeshTriangle* allocateTriangleTable(int32_t n);
