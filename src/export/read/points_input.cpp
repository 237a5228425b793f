#include "export/read/points_input.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/write/number_text.h"
#include "input/points_file.h"
#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "output/statistic.h"
#include "output/two_decimals.h"
#include "platform/files.h"

namespace {

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A coordinate as the statistic reads it back from the triangle file: its
// two-decimal text, read as a double, kept as a float.
float statisticCoordinate(double value) {
  char text[longestTwoDecimalsText + 1];
  const size_t length = formatTwoDecimals(value, text);
  text[length] = '\0';
  const double read = std::strtod(text, nullptr);
  if (std::fabs(read) > FLT_MAX) return read < 0 ? -FLT_MAX : FLT_MAX;
  return static_cast<float>(read);
}

// tsvmesh's count and average longest side for these faces.
void measureLongestSides(const MeshPoint* points, int32_t pointSlots, const MeshTriangle* triangles,
                         int32_t count, ExportMesh* mesh) {
  std::vector<float> xs(static_cast<size_t>(pointSlots));
  std::vector<float> ys(static_cast<size_t>(pointSlots));
  for (int32_t i = 0; i < pointSlots; ++i) {
    xs[static_cast<size_t>(i)] = statisticCoordinate(points[i].x);
    ys[static_cast<size_t>(i)] = statisticCoordinate(points[i].y);
  }
  int64_t sum = 0;
  bool inRange = true;
  for (int32_t k = 0; k < count && inRange; ++k) {
    const int32_t c[3] = {triangles[k].corner0, triangles[k].corner1, triangles[k].corner2};
    int32_t longest = 0;
    for (int32_t e = 0; e < 3; ++e) {
      const size_t a = static_cast<size_t>(c[e]);
      const size_t b = static_cast<size_t>(c[(e + 1) % 3]);
      const int32_t side = integerSideLength(xs[a], ys[a], xs[b], ys[b]);
      if (side == sideOutOfRange) inRange = false;
      longest = std::max(longest, side);
    }
    sum += longest;
    if (sum > INT32_MAX) inRange = false;
  }
  mesh->triangleCount = count;
  mesh->averageKnown = inRange;
  mesh->averageSide = inRange && count > 0 ? static_cast<int32_t>(sum / count) : 0;
}

// A whole file in memory, read through the platform's files.
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

// One field of a comma-separated line: a quoted field may hold commas and
// doubled quotes. false when a quote is not closed or text follows it.
bool nextField(const char** at, const char* end, std::string* field, bool* more) {
  const char* p = *at;
  field->clear();
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p < end && *p == '"') {
    ++p;
    for (;;) {
      if (p == end) return false;
      if (*p == '"') {
        if (p + 1 < end && p[1] == '"') {
          *field += '"';
          p += 2;
          continue;
        }
        ++p;
        break;
      }
      *field += *p++;
    }
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p != ',') return false;
  } else {
    const char* start = p;
    while (p < end && *p != ',') ++p;
    const char* last = p;
    while (last > start && (last[-1] == ' ' || last[-1] == '\t')) --last;
    field->assign(start, last);
  }
  *more = p < end;
  *at = p < end ? p + 1 : p;
  return true;
}

// A finite number filling the whole text ("+" allowed before it).
bool parseNumber(const std::string& text, double* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin < end && *begin == '+') ++begin;
  if (begin == end) return false;
  const auto [stop, code] = std::from_chars(begin, end, *value);
  return code == std::errc() && stop == end && std::isfinite(*value);
}

const char* columnName(char letter) {
  switch (letter) {
    case 'N': return "N (northing)";
    case 'E': return "E (easting)";
    default: return "Z (elevation)";
  }
}

}  // namespace

int32_t exportInputKindOf(const char* path) {
  MeshFileHandle file = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &file, &info) != 0) return inputTriangleFile;
  char head[64];
  const int64_t got = readFromFile(file, head, sizeof head);
  closeFile(file);
  if (got <= 0) return inputTriangleFile;
  int64_t length = 0;
  while (length < got && head[length] != '\n' && head[length] != '\r') ++length;
  bool digits = length > 0 && length <= 10;
  bool asterisks = length == 14;
  bool comma = false;
  for (int64_t i = 0; i < length; ++i) {
    digits = digits && isDigit(head[i]);
    asterisks = asterisks && head[i] == '*';
    comma = comma || head[i] == ',';
  }
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
  if (status == meshFlagsAllocFailed || status == meshEdgesAllocFailed || status == meshEdgesGrowFailed) {
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
  measureLongestSides(points, slots, triangles, count, mesh);

  const std::vector<int32_t> pointOf = numberVertices(triangles, count, n, slots, mesh);
  meshRelease(triangles);
  fillVertices(points, pointOf, mesh);
  findFaceZRange(mesh);
  return true;
}

bool readPointsMesh(const char* path, ExportMesh* mesh, ExportReadError* error, ExportProgress* progress) {
  *mesh = ExportMesh{};
  MeshPointsFile file;
  if (openPointsFile(path, &file) != pointsFileOk) return fail(error, 0, "cannot open: not a readable file");
  std::string outputPath;
  if (readOutputPath(&file, &outputPath) != pointsFileOk) {
    closePointsFile(&file);
    return fail(error, 1, "expected the first line to be a path, found a line longer than any path (" +
                              std::to_string(longestPathBytes()) + " bytes)");
  }
  const int32_t counted = countPoints(&file);
  if (counted < 3) {
    closePointsFile(&file);
    return fail(error, 0,
                "expected at least 3 points (x y z) after the first line, found " + std::to_string(counted));
  }
  MeshPoint* points = allocatePointTable(counted);
  if (points == nullptr) {
    closePointsFile(&file);
    return fail(error, 0, "not enough memory for " + std::to_string(counted) + " points");
  }
  updateExportProgress(progress, "reading", 0, 1);
  const int32_t n = readPoints(&file, points, counted);
  closePointsFile(&file);
  std::vector<MeshPoint> scratch(static_cast<size_t>(n));
  sortPointsByX(points, n, scratch.data(), scratch.size() * sizeof(MeshPoint));
  updateExportProgress(progress, "meshing", 0, 1);
  const bool meshed = n >= 3 ? meshSortedPoints(points, n, mesh, error)
                             : fail(error, 0, "expected at least 3 points, found " + std::to_string(n));
  meshRelease(points);
  return meshed;
}

bool parseFieldColumns(const char* text, std::string* columns, std::string* problem) {
  columns->clear();
  int32_t seen[128] = {};
  for (const char* p = text; *p != '\0'; ++p) {
    char c = *p;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (std::strchr("PNEZD-", c) == nullptr) {
      *problem = std::string("--columns takes the letters P N E Z D and -, not ") + *p;
      return false;
    }
    if (c != '-' && seen[static_cast<int>(c)]++ > 0) {
      *problem = std::string("--columns names ") + c + " twice";
      return false;
    }
    *columns += c;
  }
  if (seen['N'] == 0 || seen['E'] == 0 || seen['Z'] == 0) {
    *problem = "--columns needs N, E and Z (for example PNEZD)";
    return false;
  }
  return true;
}

bool readFieldMesh(const char* path, const std::string& columns, ExportMesh* mesh, ExportReadError* error,
                   ExportProgress* progress) {
  *mesh = ExportMesh{};
  std::vector<char> bytes;
  if (!readWholeFile(path, &bytes, error)) return false;
  updateExportProgress(progress, "reading", 0, 1);
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  if (end - at >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0) at += 3;

  const int32_t columnCount = static_cast<int32_t>(columns.size());
  const bool descriptionLast = columns.back() == 'D';
  std::vector<MeshPoint> read;
  std::vector<ExportSurveyPoint> surveyed;
  std::string field;
  int64_t lineNumber = 0;
  bool firstLine = true;
  while (at < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    if (lineEnd == nullptr) lineEnd = end;
    const char* next = lineEnd < end ? lineEnd + 1 : end;
    if (lineEnd > at && lineEnd[-1] == '\r') --lineEnd;
    ++lineNumber;
    const char* p = at;
    at = next;
    bool blank = true;
    for (const char* q = p; q < lineEnd; ++q) blank = blank && (*q == ' ' || *q == '\t');
    if (blank) continue;

    MeshPoint point{0.0, 0.0, 0.0};
    std::string name;
    std::string description;
    int32_t column = 0;
    bool more = true;
    bool header = false;
    std::string problem;
    while (more && problem.empty()) {
      const char* fieldStart = p;
      if (!nextField(&p, lineEnd, &field, &more)) {
        problem = "expected a field that ends with its closing quote and a comma";
        break;
      }
      if (column >= columnCount) {
        if (!descriptionLast) {
          problem = "expected " + std::to_string(columnCount) + " fields (--columns " + columns + "), found more";
          break;
        }
        // An unquoted description with commas: its text as it stands.
        const char* fieldEnd = more ? p - 1 : p;
        while (fieldEnd > fieldStart && (fieldEnd[-1] == ' ' || fieldEnd[-1] == '\t')) --fieldEnd;
        description += ',';
        if (fieldStart < fieldEnd && *fieldStart != '"') {
          description.append(fieldStart, fieldEnd);
        } else {
          description += field;
        }
        continue;
      }
      const char letter = columns[static_cast<size_t>(column++)];
      if (letter == 'P') name = field;
      if (letter == 'D') description = field;
      if (letter == 'N' || letter == 'E' || letter == 'Z') {
        double value = 0.0;
        if (!parseNumber(field, &value)) {
          if (firstLine) {
            header = true;  // column names
          } else {
            const int32_t shown = static_cast<int32_t>(std::min<size_t>(field.size(), 41));
            problem = std::string("expected a number for ") + columnName(letter) + ", found " +
                      quoteLine(field.data(), shown);
          }
          continue;
        }
        (letter == 'N' ? point.y : letter == 'E' ? point.x : point.z) = value;
      }
    }
    if (problem.empty() && !header && column < columnCount) {
      for (int32_t c = column; c < columnCount; ++c) {
        const char letter = columns[static_cast<size_t>(c)];
        if (letter == 'N' || letter == 'E' || letter == 'Z') {
          problem = "expected " + std::to_string(columnCount) + " fields (--columns " + columns + "), found " +
                    std::to_string(column) + "; no " + columnName(letter);
          break;
        }
      }
    }
    firstLine = false;
    if (!problem.empty()) return fail(error, lineNumber, problem);
    if (header) continue;
    if (read.size() >= static_cast<size_t>(INT32_MAX / 4)) return fail(error, lineNumber, "too many points");
    read.push_back(point);
    surveyed.push_back({point.x, point.y, point.z, std::move(name), std::move(description)});
  }
  const int32_t n = static_cast<int32_t>(read.size());
  if (n < 3) return fail(error, 0, "expected at least 3 points, found " + std::to_string(n));

  // tsvmesh's order: by x, equal x in file order.
  std::vector<int32_t> order(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return comparePointsByX(read[static_cast<size_t>(a)], read[static_cast<size_t>(b)]) < 0;
  });
  std::vector<MeshPoint> points(static_cast<size_t>(n) + 3);
  for (int32_t i = 0; i < n; ++i) points[static_cast<size_t>(i)] = read[static_cast<size_t>(order[static_cast<size_t>(i)])];
  updateExportProgress(progress, "meshing", 0, 1);
  if (!meshSortedPoints(points.data(), n, mesh, error)) return false;
  mesh->surveyPoints = std::move(surveyed);
  return true;
}

bool readExportInput(const char* path, int32_t kind, const std::string& columns, ExportMesh* mesh,
                     ExportReadError* error, ExportProgress* progress) {
  if (kind == inputByContent) kind = exportInputKindOf(path);
  if (kind == inputFieldFile) return readFieldMesh(path, columns, mesh, error, progress);
  if (kind == inputPointsFile) return readPointsMesh(path, mesh, error, progress);
  return readExportMesh(path, mesh, error, progress);
}
