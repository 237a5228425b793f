// The straightforward triangulation: every live triangle is tested against
// every point in slot order. The oracle for buildDelaunayMesh's table order.
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"

// Same contract as buildDelaunayMesh. With retire false no triangle is ever
// retired, so every triangle is tested for every later point. With
// largestHole given, it receives the most triangles any one point removed.
int32_t buildDelaunayMeshByScan(int32_t pointCount, MeshPoint* points, MeshTriangle* triangles,
                                int32_t* triangleCount, bool retire = true,
                                int32_t* largestHole = nullptr);
