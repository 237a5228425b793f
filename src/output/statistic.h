// The longest-side statistic, measured from the triangle file's own text.
#pragma once

#include <cstdint>

#include "output/triangle_file.h"

// The side returned when a squared length does not fit 32 bits.
inline constexpr int32_t sideOutOfRange = -1;

// Distance of (px, py) and (qx, qy) in whole units: each difference truncated
// toward zero, squared, summed, and the integer square root taken.
// sideOutOfRange when the squared length exceeds 2147483647.
int32_t integerSideLength(float px, float py, float qx, float qy);

// The result of reading the blocks back.
struct MeshSideSum {
  int32_t sum;        // sum of the triangles' longest sides
  bool outOfRange;    // a squared length or the sum did not fit 32 bits
};

// Prints "Checking avg tri side length.\n\n", rewinds the file, reads the
// placeholder and triangleCount blocks back and sums their longest sides.
// Returns triangleFileWriteFailed when the file cannot be read back.
int32_t sumLongestSides(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result);

// Writes the blocks as writeTriangleBlocks does and sums their longest
// sides as sumLongestSides would over the finished file, printing the same.
// The sides are read on a second handle (path, the file's own) by a second
// thread while the blocks are written; where that cannot be had (path names
// no ordinary file, or no thread starts) the finished file is read back
// through file. Nothing about the read-back is printed when the write failed.
int32_t writeAndMeasureBlocks(MeshTriangleFile* file, const char* path, const MeshPoint* points,
                              const MeshPointLines* lines, const MeshTriangle* triangles,
                              int32_t triangleCount, MeshSideSum* sides);

// Rewinds and writes the count line and the average line over the
// placeholder, closes the file, and prints "Average long side length = %s.".
// A count of 0 gives an average of 0. When the sum is out of range only the
// count line is written and a message goes to standard error instead.
// Returns triangleFileWriteFailed when a write or the close failed (nothing
// is printed on standard output then).
int32_t writeTriangleSummary(MeshTriangleFile* file, int32_t triangleCount, const MeshSideSum& sides);
