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

namespace {

// The file's first bytes into buffer; how many, -1 when it cannot be read.
int64_t readFirstBytes(const char* path, char* buffer, size_t size) {
  MeshFileHandle file = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &file, &info) != 0) return -1;
  const int64_t got = readFromFile(file, buffer, size);
  closeFile(file);
  return got;
}

}  // namespace

int32_t exportInputKindOf(const char* path) {
  char buffer[1024];
  const int64_t got = readFirstBytes(path, buffer, sizeof buffer);
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

// A first line of digits that a triangle file's head would be but for a
// byte-order mark, blanks or more than 10 digits.
bool headLooksLikeACount(const char* path) {
  char buffer[64];
  const int64_t got = readFirstBytes(path, buffer, sizeof buffer);
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
