// Points on one straight line: the mesh's result without the indexed sweep.
#pragma once

#include <cstdint>

#include "mesh/mesh_records.h"
#include "mesh/triangulation.h"

// Whether points[0 .. n-1], sorted by ascending x, lie exactly on one line
// that is not vertical (their first and last x differ), every coordinate
// suiting the exact orientation.
bool onOneSlantedLine(const MeshPoint* points, int32_t n);

// buildDelaunayMesh's result, table order included, for points on one
// slanted line (see collinear.cpp): true with the super-triangle placed,
// the table and *triangleCount as the sweep leaves them, and the sweep's
// progress reported. False, having reported nothing and written no point
// slot but the super-triangle's, when the points are not on such a line or
// it cannot finish within a budget linear in n (or the table would
// overflow); the caller then sweeps.
bool meshCollinearPoints(int32_t n, MeshPoint* points, MeshTriangle* triangles, int32_t* triangleCount,
                         MeshProgress progress);
