#include "mesh/triangulation.h"
int32_t buildDelaunayMesh(int32_t, MeshPoint*, MeshTriangle*, int32_t* count) { *count = 0; return meshOk; }
