// The order the mesh takes its points in: ascending x, file order among
// equal x. Done by the program's own sort, so that every platform gives the
// same order and so the same triangles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/mesh_records.h"

// -1, 0 or 1 by x alone (positive and negative zero are equal).
int32_t comparePointsByX(const MeshPoint& a, const MeshPoint& b);

// Sorts points[0 .. n-1] by ascending x, keeping the file order of equal x.
// scratch (scratchBytes long, at least n * sizeof(MeshPoint)) is working
// memory that the sort may overwrite; the run lends it the still empty
// triangle table so that no fresh memory is touched.
void sortPointsByX(MeshPoint* points, int32_t n, void* scratch, size_t scratchBytes);
