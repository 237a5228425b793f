#include "mesh/mesh_records.h"

#include <cstdlib>

namespace {
void* heapAllocate(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void* heapResize(void* block, size_t bytes) { return std::realloc(block, bytes == 0 ? 1 : bytes); }
void heapRelease(void* block) { std::free(block); }
}  // namespace

MeshHeap meshHeap = {heapAllocate, heapResize, heapRelease};

void* meshAllocate(size_t bytes) { return meshHeap.allocate(bytes); }
void* meshResize(void* block, size_t bytes) { return meshHeap.resize(block, bytes); }
void meshRelease(void* block) {
  if (block != nullptr) meshHeap.release(block);
}
