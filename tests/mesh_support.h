// Point sets and mesh checks shared by the triangulation tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_records.h"

struct MeshResult {
  int32_t status = -1;
  std::vector<MeshTriangle> triangles;
  std::string progress;  // what the routine printed
};

// Sorts the points stably by x (as the run does) and triangulates them with
// buildDelaunayMesh; `points` gets the three super-triangle slots appended.
MeshResult triangulate(std::vector<MeshPoint>& points);

// Triangulates with buildDelaunayMesh and with the plain scan (retiring
// finished triangles or not) and returns the first difference in status,
// progress text or table, or "" when the two agree triangle for triangle.
std::string differenceFromScan(std::vector<MeshPoint> points, bool retire = true);

// Generators; all deterministic for a seed.
std::vector<MeshPoint> uniformPoints(int32_t n, uint32_t seed, double lo = 0, double hi = 1000,
                                     int decimals = 6);
std::vector<MeshPoint> gridPoints(int32_t columns, int32_t rows, double spacing = 1, double x0 = 0,
                                  double y0 = 0);
std::vector<MeshPoint> clusteredPoints(int32_t n, uint32_t seed);

// Checks what a sound mesh must satisfy and returns the first violation, or
// "" when none: corners below n with corner2 the highest, every directed
// edge used at most once, no triangle of zero area, and (when checkEmpty)
// no input point strictly inside any triangle's circumcircle, decided
// exactly (up to a relative margin of 1e-9 on the in-circle determinant).
std::string meshViolation(const std::vector<MeshPoint>& points, int32_t n,
                          const std::vector<MeshTriangle>& triangles, bool checkEmpty);

// surelyInsideCircles for one triangle.
int32_t surelyInsideCircle(double testX, double testY, double x0, double y0, double x1, double y1,
                           double x2, double y2);

// Gives the mesh heap back its malloc, realloc and free, after a test that
// made it refuse.
void resetMeshHeap();
