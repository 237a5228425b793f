#include "export/products/mesh_edges.h"

#include <algorithm>
#include <climits>

#include "export/read/mesh_file.h"

bool findMeshEdges(const ExportMesh& mesh, ExportEdges* edges) {
  const size_t faceCount = static_cast<size_t>(mesh.triangleCount);
  edges->faceEdge.assign(faceCount * 3, -1);
  edges->ends.clear();
  edges->edgeCount = 0;

  // Every face side filed under its lower vertex: (higher vertex, side).
  std::vector<int64_t> start(static_cast<size_t>(mesh.vertexCount) + 1, 0);
  auto usable = [&](size_t f) {
    const int32_t* c = &mesh.corners[f * 3];
    return c[0] != c[1] && c[1] != c[2] && c[2] != c[0];
  };
  for (size_t f = 0; f < faceCount; ++f) {
    if (!usable(f)) continue;
    for (size_t c = 0; c < 3; ++c) {
      const int32_t u = mesh.corners[f * 3 + c];
      const int32_t v = mesh.corners[f * 3 + (c + 1) % 3];
      ++start[static_cast<size_t>(std::min(u, v)) + 1];
    }
  }
  for (size_t v = 0; v < static_cast<size_t>(mesh.vertexCount); ++v) start[v + 1] += start[v];
  struct Side {
    int32_t higher;
    int32_t slot;  // face * 3 + corner; fits, since 3 faces of 2^31 would not fit in memory
  };
  if (faceCount * 3 > static_cast<size_t>(INT32_MAX)) return false;
  std::vector<Side> sides(static_cast<size_t>(start.back()));
  std::vector<int64_t> next(start.begin(), start.end() - 1);
  for (size_t f = 0; f < faceCount; ++f) {
    if (!usable(f)) continue;
    for (size_t c = 0; c < 3; ++c) {
      const int32_t u = mesh.corners[f * 3 + c];
      const int32_t v = mesh.corners[f * 3 + (c + 1) % 3];
      sides[static_cast<size_t>(next[static_cast<size_t>(std::min(u, v))]++)] = {std::max(u, v),
                                                                                  static_cast<int32_t>(f * 3 + c)};
    }
  }

  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    Side* first = sides.data() + start[static_cast<size_t>(v)];
    Side* last = sides.data() + start[static_cast<size_t>(v) + 1];
    std::sort(first, last, [](const Side& a, const Side& b) {
      return a.higher != b.higher ? a.higher < b.higher : a.slot < b.slot;
    });
    for (Side* side = first; side != last; ++side) {
      if (side == first || side->higher != side[-1].higher) {
        if (edges->edgeCount == INT32_MAX) return false;
        ++edges->edgeCount;
        edges->ends.push_back(v);
        edges->ends.push_back(side->higher);
      }
      edges->faceEdge[static_cast<size_t>(side->slot)] = edges->edgeCount - 1;
    }
  }
  return true;
}
