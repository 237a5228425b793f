#include "mesh/point_order.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Maps x to an unsigned key with the order of x; both zeros share a key.
uint64_t orderKey(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  constexpr uint64_t signBit = uint64_t{1} << 63;
  if (bits == signBit) bits = 0;
  return (bits & signBit) != 0 ? ~bits : bits | signBit;
}

void insertionSortByX(MeshPoint* points, int32_t n) {
  for (int32_t i = 1; i < n; ++i) {
    const MeshPoint moving = points[i];
    int32_t j = i;
    for (; j > 0 && comparePointsByX(points[j - 1], moving) > 0; --j) points[j] = points[j - 1];
    points[j] = moving;
  }
}

constexpr int digitBits = 11;
constexpr int digitCount = (64 + digitBits - 1) / digitBits;
constexpr uint32_t bucketCount = uint32_t{1} << digitBits;

uint32_t digitOf(uint64_t key, int digit) {
  return static_cast<uint32_t>(key >> (digit * digitBits)) & (bucketCount - 1);
}

// Least-significant-digit radix sort, stable by construction, moving the
// records between the table and the scratch; digits that all keys share
// cost no pass.
void radixSortByX(MeshPoint* points, int32_t n, MeshPoint* scratch) {
  static_assert(digitCount * digitBits >= 64);
  uint32_t counts[digitCount][bucketCount] = {};
  for (int32_t i = 0; i < n; ++i) {
    const uint64_t key = orderKey(points[i].x);
    for (int digit = 0; digit < digitCount; ++digit) ++counts[digit][digitOf(key, digit)];
  }
  MeshPoint* from = points;
  MeshPoint* to = scratch;
  const uint64_t firstKey = orderKey(points[0].x);
  for (int digit = 0; digit < digitCount; ++digit) {
    uint32_t* offsets = counts[digit];
    if (offsets[digitOf(firstKey, digit)] == static_cast<uint32_t>(n)) continue;
    uint32_t sum = 0;
    for (uint32_t bucket = 0; bucket < bucketCount; ++bucket) {
      const uint32_t count = offsets[bucket];
      offsets[bucket] = sum;
      sum += count;
    }
    for (int32_t i = 0; i < n; ++i) to[offsets[digitOf(orderKey(from[i].x), digit)]++] = from[i];
    std::swap(from, to);
  }
  if (from != points) std::memcpy(points, from, static_cast<size_t>(n) * sizeof(MeshPoint));
}

}  // namespace

int32_t comparePointsByX(const MeshPoint& a, const MeshPoint& b) {
  if (a.x < b.x) return -1;
  if (a.x > b.x) return 1;
  return 0;
}

void sortPointsByX(MeshPoint* points, int32_t n, void* scratch, size_t scratchBytes) {
  if (points == nullptr || n < 2) return;
  int32_t i = 1;
  while (i < n && comparePointsByX(points[i - 1], points[i]) <= 0) ++i;
  if (i == n) return;  // survey grids often come sorted already
  if (n <= 32) {
    insertionSortByX(points, n);
    return;
  }
  const bool scratchFits = scratch != nullptr &&
                           reinterpret_cast<uintptr_t>(scratch) % alignof(MeshPoint) == 0 &&
                           scratchBytes / sizeof(MeshPoint) >= static_cast<size_t>(n);
  if (!scratchFits) {
    std::stable_sort(points, points + n, [](const MeshPoint& a, const MeshPoint& b) {
      return comparePointsByX(a, b) < 0;
    });
    return;
  }
  radixSortByX(points, n, static_cast<MeshPoint*>(scratch));
}
