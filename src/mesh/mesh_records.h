// Records shared by every stage of a run, and the heap the run allocates from.
#pragma once

#include <cstddef>
#include <cstdint>

// One surveyed point. Only x and y take part in the geometry; z is carried
// from the points file to the triangle file unchanged.
struct MeshPoint {
  double x;
  double y;
  double z;
};

// One triangle as three indices into the point table. The corner order is
// significant: it picks the circumcircle formula and the order of the lines
// written for the triangle.
struct MeshTriangle {
  int32_t corner0;
  int32_t corner1;
  int32_t corner2;
};

// One edge of a triangle: of one being removed, (-1, -1) once struck out; of
// a fan's rim, in the order of the fan's triangles.
struct MeshEdge {
  int32_t from;
  int32_t to;
};

// Every table and working buffer comes from these three functions, so that
// the tests can make the heap refuse a request. They default to malloc,
// realloc and free.
struct MeshHeap {
  void* (*allocate)(size_t bytes);
  void* (*resize)(void* block, size_t bytes);
  void (*release)(void* block);
};

extern MeshHeap meshHeap;

void* meshAllocate(size_t bytes);
void* meshResize(void* block, size_t bytes);
void meshRelease(void* block);
