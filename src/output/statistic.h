// The longest-side statistic, measured from the triangle file's own text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/triangle_file.h"

// The side returned when a squared length does not fit 32 bits.
inline constexpr int32_t sideOutOfRange = -1;

// Distance of (px, py) and (qx, qy) in whole units: each difference truncated
// toward zero, squared, summed, and the integer square root taken.
// sideOutOfRange when the squared length exceeds 2147483647.
int32_t integerSideLength(float px, float py, float qx, float qy);

// A coordinate's text as the statistic reads it: as strtod reads it, then
// kept as a float.
float statisticValue(const char* text, size_t length);

// The result of reading the blocks back.
struct MeshSideSum {
  int32_t sum;        // sum of the triangles' longest sides
  bool outOfRange;    // a squared length or the sum did not fit 32 bits
};

// Rewinds the file, reads the placeholder and triangleCount blocks back and
// sums their longest sides. Returns triangleFileReadFailed when the file
// cannot be read back.
int32_t sumLongestSides(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result);

// Writes the blocks as writeTriangleBlocks does and sums their longest
// sides as sumLongestSides would over the finished file. The sides are read
// on a second handle (path, the file's own) by a second thread while the
// blocks are written; where that cannot be had (path names no ordinary file,
// or no thread starts) the finished file is read back through file.
// triangleFileWriteFailed when the blocks could not be written (nothing is
// read back then), triangleFileReadFailed when they could not be read back.
int32_t writeAndMeasureBlocks(MeshTriangleFile* file, const char* path, const MeshPoint* points,
                              const MeshPointLines* lines, const MeshTriangle* triangles,
                              int32_t triangleCount, MeshSideSum* sides);

// The average longest side as the head of the file holds it.
struct MeshAverage {
  int32_t value;    // the sum over the count, truncated; 0 for a count of 0
  bool outOfRange;  // the sum, the quotient or its text did not fit: not written
};

// Rewinds and writes the count line and the average line over the
// placeholder, closes the file and gives the average written. When the
// average is out of range only the count line is written. Returns
// triangleFileWriteFailed when a write or the close failed.
int32_t writeTriangleSummary(MeshTriangleFile* file, int32_t triangleCount, const MeshSideSum& sides,
                             MeshAverage* average);
