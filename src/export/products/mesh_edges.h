// The mesh's edges, found from the faces' vertex indices (not from
// coordinates): two faces that share two vertices share an edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/surface/surface.h"


// Numbers the edges by their lower vertex, then their higher one. false when
// there are more than 2^31 - 1 edges.
bool findMeshEdges(const ExportMesh& mesh, ExportEdges* edges);

// The edge between corners i and j (i != j) of face f.
inline int32_t edgeBetweenCorners(const ExportEdges& edges, int32_t face, int32_t i, int32_t j) {
  return edges.faceEdge[static_cast<size_t>(face) * 3 + static_cast<size_t>(j == (i + 1) % 3 ? i : j)];
}
