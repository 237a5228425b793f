#include "export/read/points_input.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/progress.h"
#include "export/read/field_file.h"
#include "export/read/mesh_file.h"
#include "export/surface/assemble.h"
#include "export/write/number_text.h"
#include "input/points_file.h"
#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "output/statistic.h"
#include "output/triangle_layout.h"
#include "output/two_decimals.h"
#include "platform/files.h"

namespace {

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }



}  // namespace

bool readWholeFile(const char* path, std::vector<char>* bytes, ExportReadError* error) {
  MeshFileHandle file = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &file, &info) != 0) return fail(error, 0, "cannot open: not a readable file");
  bytes->clear();
  if (info.size > 0) bytes->reserve(static_cast<size_t>(info.size));
  std::vector<char> block(size_t{1} << 20);
  for (;;) {
    const int64_t got = readFromFile(file, block.data(), block.size());
    if (got < 0) {
      closeFile(file);
      return fail(error, 0, "cannot read");
    }
    if (got == 0) break;
    bytes->insert(bytes->end(), block.data(), block.data() + got);
  }
  closeFile(file);
  return true;
}

int32_t exportInputKindOf(const char* path) {
  MeshFileHandle file = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &file, &info) != 0) return inputTriangleFile;
  char buffer[1024];
  const int64_t got = readFromFile(file, buffer, sizeof buffer);
  closeFile(file);
  if (got <= 0) return inputTriangleFile;
  const bool bom = got >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0;
  const char* head = bom ? buffer + 3 : buffer;
  int64_t length = 0;
  while (length < got - (bom ? 3 : 0) && head[length] != '\n' && head[length] != '\r') ++length;
  bool digits = length > 0 && length <= 10;
  bool asterisks = length == triangleHeadBytes - 2;  // the placeholder before the head is written
  bool comma = false;
  for (int64_t i = 0; i < length; ++i) {
    digits = digits && isDigit(head[i]);
    asterisks = asterisks && head[i] == '*';
    comma = comma || head[i] == ',';
  }
  if (comma && !fieldHeaderColumns(head, static_cast<size_t>(length)).empty()) return inputFieldFile;
  return digits || asterisks || comma ? inputTriangleFile : inputPointsFile;
}

namespace {

// Vertices numbered by first use in the faces, as a triangle file's are,
// then the points no face uses; the super-triangle's corners only if used.
// Returns the point of each vertex.
std::vector<int32_t> numberVertices(const MeshTriangle* triangles, int32_t count, int32_t n, int32_t slots,
                                    ExportMesh* mesh) {
  std::vector<int32_t> vertexOf(static_cast<size_t>(slots), -1);
  std::vector<int32_t> pointOf;
  pointOf.reserve(static_cast<size_t>(slots));
  mesh->corners.resize(static_cast<size_t>(count) * 3);
  for (int32_t k = 0; k < count; ++k) {
    const int32_t c[3] = {triangles[k].corner0, triangles[k].corner1, triangles[k].corner2};
    for (int32_t i = 0; i < 3; ++i) {
      int32_t& vertex = vertexOf[static_cast<size_t>(c[i])];
      if (vertex < 0) {
        vertex = static_cast<int32_t>(pointOf.size());
        pointOf.push_back(c[i]);
      }
      mesh->corners[static_cast<size_t>(k) * 3 + static_cast<size_t>(i)] = vertex;
    }
  }
  for (int32_t p = 0; p < n; ++p) {
    if (vertexOf[static_cast<size_t>(p)] < 0) pointOf.push_back(p);
  }
  return pointOf;
}

// Each vertex's coordinates and, for the text formats, the shortest texts
// that read back to them.
void fillVertices(const MeshPoint* points, const std::vector<int32_t>& pointOf, ExportMesh* mesh) {
  const int32_t vertexCount = static_cast<int32_t>(pointOf.size());
  mesh->vertexCount = vertexCount;
  mesh->vertices.resize(static_cast<size_t>(vertexCount));
  mesh->textStart.assign(1, 0);
  mesh->textStart.reserve(static_cast<size_t>(vertexCount) + 1);
  mesh->text.clear();
  mesh->text.reserve(static_cast<size_t>(vertexCount) * 32);
  char line[128];
  for (int32_t v = 0; v < vertexCount; ++v) {
    const MeshPoint& p = points[pointOf[static_cast<size_t>(v)]];
    mesh->vertices[static_cast<size_t>(v)] = {p.x, p.y, p.z};
    char* out = appendShortestNumber(line, p.x);
    *out++ = ',';
    out = appendShortestNumber(out, p.y);
    *out++ = ',';
    out = appendShortestNumber(out, p.z);
    mesh->text.insert(mesh->text.end(), line, out);
    mesh->textStart.push_back(static_cast<int64_t>(mesh->text.size()));
  }
}

// The z range of what the faces show, as for a triangle file.
void findFaceZRange(ExportMesh* mesh) {
  if (mesh->corners.empty()) return;
  mesh->lowestZ = mesh->highestZ = mesh->vertices[static_cast<size_t>(mesh->corners[0])].z;
  for (const int32_t v : mesh->corners) {
    mesh->lowestZ = std::min(mesh->lowestZ, mesh->vertices[static_cast<size_t>(v)].z);
    mesh->highestZ = std::max(mesh->highestZ, mesh->vertices[static_cast<size_t>(v)].z);
  }
}

}  // namespace

bool meshSortedPoints(MeshPoint* points, int32_t n, ExportMesh* mesh, ExportReadError* error) {
  MeshTriangle* triangles = allocateTriangleTable(n);
  if (triangles == nullptr) return fail(error, 0, "not enough memory for the mesh of " + std::to_string(n) + " points");
  prepareWideArithmetic();
  int32_t count = 0;
  const int32_t status = buildDelaunayMesh(n, points, triangles, &count, MeshProgress{nullptr, nullptr});
  if (meshMemoryRefused(status)) {
    meshRelease(triangles);
    return fail(error, 0, "not enough memory for the mesh of " + std::to_string(n) + " points");
  }

  // An unfinished mesh (the triangle limit) still uses the super-triangle's
  // corners, which tsvmesh writes like any other point.
  bool superCorners = false;
  for (int32_t k = 0; k < count; ++k) {
    superCorners = superCorners || triangles[k].corner0 >= n || triangles[k].corner1 >= n ||
                   triangles[k].corner2 >= n;
  }
  const int32_t slots = superCorners ? n + 3 : n;
  mesh->triangleCount = count;
  const std::vector<int32_t> pointOf = numberVertices(triangles, count, n, slots, mesh);
  meshRelease(triangles);
  fillVertices(points, pointOf, mesh);
  findFaceZRange(mesh);
  measureAverageSide(mesh);
  return true;
}

namespace {

// A first line of digits that a triangle file's head would be but for a
// byte-order mark, blanks or more than 10 digits.
bool headLooksLikeACount(const char* path) {
  MeshFileHandle file = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &file, &info) != 0) return false;
  char buffer[64];
  const int64_t got = readFromFile(file, buffer, sizeof buffer);
  closeFile(file);
  int64_t at = got >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (at < got && (buffer[at] == ' ' || buffer[at] == '\t')) ++at;
  const int64_t first = at;
  while (at < got && isDigit(buffer[at])) ++at;
  return at > first && (at == got || buffer[at] == '\r' || buffer[at] == '\n' || buffer[at] == ' ');
}

}  // namespace

bool readPointsList(const char* path, std::vector<MeshPoint>* points, ExportReadError* error) {
  points->clear();
  MeshPointsFile file;
  if (openPointsFile(path, &file) != pointsFileOk) return fail(error, 0, "cannot open: not a readable file");
  std::string outputPath;
  if (readOutputPath(&file, &outputPath) != pointsFileOk) {
    closePointsFile(&file);
    return fail(error, 1, "expected the first line to be a path, found a line longer than any path (" +
                              std::to_string(longestPathBytes()) + " bytes)");
  }
  const int32_t counted = countPoints(&file);
  points->resize(static_cast<size_t>(counted > 0 ? counted : 0) + 3);
  const int32_t n = counted > 0 ? readPoints(&file, points->data(), counted) : 0;
  closePointsFile(&file);
  points->resize(static_cast<size_t>(n));
  if (n < 3 && headLooksLikeACount(path)) {
    return fail(error, 1, "read as a points file it holds " + std::to_string(n) +
                              " points; read as a triangle file its first line is not a count as tsvmesh writes it "
                              "(digits alone, at most 10, no byte-order mark or blanks)");
  }
  return true;
}

bool readPointsMesh(const char* path, ExportMesh* mesh, ExportReadError* error, ExportProgress* progress) {
  *mesh = ExportMesh{};
  std::vector<MeshPoint> points;
  updateExportProgress(progress, "reading", 0, 1);
  if (!readPointsList(path, &points, error)) return false;
  const auto n = static_cast<int32_t>(points.size());
  if (n < 3) return fail(error, 0, "expected at least 3 points (x y z) after the first line, found " + std::to_string(n));
  points.resize(points.size() + 3);
  std::vector<MeshPoint> scratch(static_cast<size_t>(n));
  sortPointsByX(points.data(), n, scratch.data(), scratch.size() * sizeof(MeshPoint));
  updateExportProgress(progress, "meshing", 0, 1);
  return meshSortedPoints(points.data(), n, mesh, error);
}

bool readExportInput(const char* path, int32_t kind, const std::string& columns,
                     const std::vector<std::string>& leaveOut, ExportMesh* mesh,
                     ExportReadError* error, ExportProgress* progress) {
  if (kind == inputByContent) kind = exportInputKindOf(path);
  if (kind == inputFieldFile) return readFieldMesh(path, columns, leaveOut, mesh, error, progress);
  if (kind == inputPointsFile) return readPointsMesh(path, mesh, error, progress);
  return readExportMesh(path, mesh, error, progress);
}
