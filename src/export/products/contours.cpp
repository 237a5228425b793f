#include "export/products/contours.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "export/products/mesh_edges.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"

namespace {

constexpr int32_t progressStride = 1 << 16;

// A contour passes through nodes: an edge it crosses inside (node = edge
// id), or a vertex exactly on the level (node = edgeCount + vertex).
struct Tracer {
  const ExportMesh* mesh;
  const ExportEdges* edges;
  std::vector<int32_t> degree;    // per node, for the level being chained
  std::vector<int32_t> incident;  // per node, its first two segments
};

// The node where the level crosses the side from corner i to corner j of
// face f, one of them below the level and the other at or above it.
int32_t crossingNode(const Tracer& tracer, int32_t face, int32_t i, int32_t j, double level) {
  const int32_t* corner = &tracer.mesh->corners[static_cast<size_t>(face) * 3];
  const int32_t upper = tracer.mesh->vertices[static_cast<size_t>(corner[i])].z >= level ? corner[i] : corner[j];
  if (tracer.mesh->vertices[static_cast<size_t>(upper)].z == level) return tracer.edges->edgeCount + upper;
  return edgeBetweenCorners(*tracer.edges, face, i, j);
}

void nodePoint(const Tracer& tracer, int32_t node, double level, double* x, double* y) {
  const std::vector<ExportVertex>& vertices = tracer.mesh->vertices;
  if (node >= tracer.edges->edgeCount) {
    const ExportVertex& v = vertices[static_cast<size_t>(node - tracer.edges->edgeCount)];
    *x = v.x;
    *y = v.y;
    return;
  }
  // From the lower end, so that both faces of the edge get the same bits.
  const ExportVertex& u = vertices[static_cast<size_t>(tracer.edges->ends[static_cast<size_t>(node) * 2])];
  const ExportVertex& w = vertices[static_cast<size_t>(tracer.edges->ends[static_cast<size_t>(node) * 2 + 1])];
  const ExportVertex& low = u.z < w.z ? u : w;
  const ExportVertex& high = u.z < w.z ? w : u;
  const double t = (level - low.z) / (high.z - low.z);
  *x = low.x + t * (high.x - low.x);
  *y = low.y + t * (high.y - low.y);
}

// Appends a point unless it repeats the one before.
void appendPoint(ExportContours* contours, const ExportContourLine& line, double x, double y) {
  if (line.pointCount > 0) {
    const size_t last = contours->xy.size() - 2;
    if (contours->xy[last] == x && contours->xy[last + 1] == y) return;
  }
  contours->xy.push_back(x);
  contours->xy.push_back(y);
  ++contours->lines.back().pointCount;
}

// Follows segments from node start through segment first while the chain
// goes on through nodes of exactly two segments; one line.
void followChain(Tracer* tracer, const int32_t* segments, std::vector<uint8_t>* used, int32_t level, double elevation,
                 int32_t start, int32_t first, ExportContours* contours) {
  contours->lines.push_back({level, false, static_cast<int64_t>(contours->xy.size()), 0});
  ExportContourLine& line = contours->lines.back();
  double x = 0.0, y = 0.0;
  nodePoint(*tracer, start, elevation, &x, &y);
  appendPoint(contours, line, x, y);
  int32_t node = start;
  int32_t segment = first;
  for (;;) {
    (*used)[static_cast<size_t>(segment)] = 1;
    const int32_t a = segments[static_cast<size_t>(segment) * 2];
    const int32_t next = a == node ? segments[static_cast<size_t>(segment) * 2 + 1] : a;
    if (next == start) {
      line.closed = true;
      break;
    }
    nodePoint(*tracer, next, elevation, &x, &y);
    appendPoint(contours, line, x, y);
    node = next;
    if (tracer->degree[static_cast<size_t>(node)] != 2) break;
    const int32_t* pair = &tracer->incident[static_cast<size_t>(node) * 2];
    segment = pair[0] == segment ? pair[1] : pair[0];
    if ((*used)[static_cast<size_t>(segment)] != 0) break;
  }
  // A closed line repeats no point; pieces left without length go.
  if (line.closed && line.pointCount > 1) {
    const size_t last = contours->xy.size() - 2;
    if (contours->xy[last] == contours->xy[static_cast<size_t>(line.firstPoint)] &&
        contours->xy[last + 1] == contours->xy[static_cast<size_t>(line.firstPoint) + 1]) {
      contours->xy.resize(last);
      --line.pointCount;
    }
  }
  if (line.pointCount < (line.closed ? 3 : 2)) {
    contours->xy.resize(static_cast<size_t>(line.firstPoint));
    contours->lines.pop_back();
  }
}

void chainLevel(Tracer* tracer, const std::vector<int32_t>& segments, int32_t level, ExportContours* contours) {
  const int32_t segmentCount = static_cast<int32_t>(segments.size() / 2);
  for (int32_t s = 0; s < segmentCount; ++s) {
    for (int32_t end = 0; end < 2; ++end) {
      const size_t node = static_cast<size_t>(segments[static_cast<size_t>(s) * 2 + static_cast<size_t>(end)]);
      if (tracer->degree[node] < 2) tracer->incident[node * 2 + static_cast<size_t>(tracer->degree[node])] = s;
      ++tracer->degree[node];
    }
  }
  const double elevation = contours->levels[static_cast<size_t>(level)].elevation;
  contours->levels[static_cast<size_t>(level)].firstLine = static_cast<int32_t>(contours->lines.size());
  std::vector<uint8_t> used(static_cast<size_t>(segmentCount), 0);
  // Open pieces first, each from one of its ends; what is left are loops.
  for (int32_t s = 0; s < segmentCount; ++s) {
    for (int32_t end = 0; end < 2 && used[static_cast<size_t>(s)] == 0; ++end) {
      const int32_t node = segments[static_cast<size_t>(s) * 2 + static_cast<size_t>(end)];
      if (tracer->degree[static_cast<size_t>(node)] != 2) {
        followChain(tracer, segments.data(), &used, level, elevation, node, s, contours);
      }
    }
  }
  for (int32_t s = 0; s < segmentCount; ++s) {
    if (used[static_cast<size_t>(s)] == 0) {
      followChain(tracer, segments.data(), &used, level, elevation, segments[static_cast<size_t>(s) * 2], s,
                  contours);
    }
  }
  contours->levels[static_cast<size_t>(level)].lineCount =
      static_cast<int32_t>(contours->lines.size()) - contours->levels[static_cast<size_t>(level)].firstLine;
  for (const int32_t node : segments) tracer->degree[static_cast<size_t>(node)] = 0;
}

}  // namespace

namespace {

// Each level's segments chained into lines, the twins along edges dropped.
void chainLevels(Tracer* tracer, std::vector<std::vector<int32_t>>* segments,
                 std::vector<std::vector<int64_t>>* alongEdges, ExportContours* contours, ExportProgress* progress) {
  const ExportEdges& edges = *tracer->edges;
  const size_t nodeCount = static_cast<size_t>(edges.edgeCount) + static_cast<size_t>(tracer->mesh->vertexCount);
  tracer->degree.assign(nodeCount, 0);
  tracer->incident.assign(nodeCount * 2, -1);
  const size_t levelCount = segments->size();
  for (size_t i = 0; i < levelCount; ++i) {
    updateExportProgress(progress, "contours", static_cast<int64_t>(i), static_cast<int64_t>(levelCount));
    std::vector<int64_t>& along = (*alongEdges)[i];
    std::sort(along.begin(), along.end());
    along.erase(std::unique(along.begin(), along.end()), along.end());
    for (const int64_t pair : along) {
      (*segments)[i].push_back(static_cast<int32_t>(pair >> 32));
      (*segments)[i].push_back(static_cast<int32_t>(pair & 0xFFFFFFFF));
    }
    along = std::vector<int64_t>();
    chainLevel(tracer, (*segments)[i], static_cast<int32_t>(i), contours);
    (*segments)[i] = std::vector<int32_t>();
  }
}

}  // namespace

int32_t traceContours(const ExportMesh& mesh, const ExportEdges& edges, double interval, int32_t indexEvery,
                      double base, ExportContours* contours, ExportProgress* progress) {
  *contours = ExportContours{};
  contours->interval = interval;
  contours->base = base;
  contours->indexEvery = indexEvery;
  const int32_t status = contourLevels(mesh.lowestZ, mesh.highestZ, interval, base, indexEvery, &contours->levels);
  if (status != contourOk) return status;
  if (static_cast<int64_t>(edges.edgeCount) + mesh.vertexCount > INT32_MAX) return contourTooLarge;

  const size_t levelCount = contours->levels.size();
  std::vector<double> elevations(levelCount);
  for (size_t i = 0; i < levelCount; ++i) elevations[i] = contours->levels[i].elevation;
  Tracer tracer{&mesh, &edges, {}, {}};
  std::vector<std::vector<int32_t>> segments(levelCount);
  // Segments between two vertices on the level run along a mesh edge, and
  // both faces of that edge may give one; they are kept apart to drop the twin.
  std::vector<std::vector<int64_t>> alongEdges(levelCount);

  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if ((f & (progressStride - 1)) == 0) updateExportProgress(progress, "contours", f, mesh.triangleCount);
    if (edges.faceEdge[static_cast<size_t>(f) * 3] < 0) continue;
    const int32_t* corner = &mesh.corners[static_cast<size_t>(f) * 3];
    const double z[3] = {mesh.vertices[static_cast<size_t>(corner[0])].z,
                         mesh.vertices[static_cast<size_t>(corner[1])].z,
                         mesh.vertices[static_cast<size_t>(corner[2])].z};
    const double low = std::min({z[0], z[1], z[2]});
    const double high = std::max({z[0], z[1], z[2]});
    size_t i = static_cast<size_t>(std::upper_bound(elevations.begin(), elevations.end(), low) - elevations.begin());
    for (; i < levelCount && elevations[i] <= high; ++i) {
      const double level = elevations[i];
      const int32_t above = (z[0] >= level ? 1 : 0) | (z[1] >= level ? 2 : 0) | (z[2] >= level ? 4 : 0);
      // The corner alone on its side of the level.
      const int32_t alone = above == 1 || above == 6 ? 0 : above == 2 || above == 5 ? 1 : 2;
      const int32_t a = crossingNode(tracer, f, alone, (alone + 1) % 3, level);
      const int32_t b = crossingNode(tracer, f, alone, (alone + 2) % 3, level);
      if (a == b) continue;  // a lone vertex touching the level: no length
      if (a >= edges.edgeCount && b >= edges.edgeCount) {
        alongEdges[i].push_back(static_cast<int64_t>(std::min(a, b)) << 32 | std::max(a, b));
      } else {
        segments[i].push_back(a);
        segments[i].push_back(b);
      }
    }
  }

  chainLevels(&tracer, &segments, &alongEdges, contours, progress);
  return contourOk;
}
