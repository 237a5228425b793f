// Placeholder until the points file reader lands.
#include "input/points_file.h"
int32_t openPointsFile(const char*, MeshPointsFile*) { return pointsFileUnreadable; }
void readOutputPath(MeshPointsFile*, std::string*) {}
int32_t countPoints(MeshPointsFile*) { return 0; }
int32_t readPoints(MeshPointsFile*, MeshPoint*, int32_t) { return 0; }
void closePointsFile(MeshPointsFile*) {}
int32_t comparePointsByX(const MeshPoint& a, const MeshPoint& b) { return a.x < b.x ? -1 : (a.x > b.x ? 1 : 0); }
void sortPointsByX(MeshPoint*, int32_t, void*, size_t) {}
MeshPoint* allocatePointTable(int32_t) { return nullptr; }
MeshTriangle* allocateTriangleTable(int32_t) { return nullptr; }
