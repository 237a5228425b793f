// The site boundary: a triangulation always fills the convex hull, so a
// concave site gets long slivers across its bays. Leaving out every triangle
// with a side longer than a chosen length is the usual remedy.
#pragma once

#include <cstdint>

struct ExportMesh;

// Leaves out every face with a side longer than maxSide in x-y; the faces
// kept keep their order. Vertices that no kept face uses go too, the rest
// keep their order and text; the z range is that of the vertices kept.
// Returns the number of faces left out.
int32_t dropLongTriangles(ExportMesh* mesh, double maxSide);
