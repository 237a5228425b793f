// The straightforward triangulation: every live triangle is tested against
// every point in slot order. The oracle for buildDelaunayMesh's table order.
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"

// Same contract as buildDelaunayMesh. With retire false no triangle is ever
// retired, so every triangle is tested for every later point.
int32_t buildDelaunayMeshByScan(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                                int32_t* triangleCount, bool retire = true);
