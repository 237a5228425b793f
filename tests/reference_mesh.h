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

// The circumcircle test of the plain scan: circumcircleOf, then
// circleContains (mesh/circumcircle.h). 1 when (testX, testY) is inside the
// circle through the three corners or on it; the circle's centre and squared
// radius are written only for a proper triangle, which alone can give 1.
int32_t circumcircleContains(double testX, double testY, double x0, double y0, double x1, double y1,
                             double x2, double y2, double* centreX, double* centreY,
                             double* radiusSquared);
