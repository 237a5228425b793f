// Placeholder until the triangle file lands.
#include "output/triangle_file.h"
int32_t createTriangleFile(const char*, MeshTriangleFile*) { return triangleFileOpenFailed; }
int32_t writeTriangleBlocks(MeshTriangleFile*, const MeshPoint*, const MeshTriangle*, int32_t) { return triangleFileWriteFailed; }
size_t formatTwoDecimals(double, char*) { return 0; }
int32_t rewindTriangleFile(MeshTriangleFile*) { return triangleFileWriteFailed; }
bool readTriangleFileLine(MeshTriangleFile*, std::string*) { return false; }
int32_t closeTriangleFile(MeshTriangleFile*) { return triangleFileWriteFailed; }
