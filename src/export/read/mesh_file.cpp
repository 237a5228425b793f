#include "export/read/mesh_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "export/progress.h"
#include "output/triangle_layout.h"
#include "platform/export_files.h"

namespace {

constexpr size_t readCapacity = size_t{1} << 20;

// The shortest corner line, "0.00,0.00,0.00", and its line end: bounds on
// what a file of a given size can hold, so a damaged count reserves nothing.
constexpr int64_t shortestLine = 15;

// Lines between two looks at the clock for the progress bar.
constexpr int64_t progressStride = 1 << 16;

// The file read line by line through one fixed buffer.
struct LineReader {
  MeshFileHandle file = noFile;
  char* buffer = nullptr;
  size_t begin = 0;
  size_t end = 0;
  bool endOfFile = false;
  int32_t readError = 0;
  int64_t lineNumber = 0;
  int64_t consumed = 0;  // bytes handed out as lines so far
};

enum LineStatus : int32_t { lineOk = 0, lineEnd = 1, lineTooLong = 2, lineReadFailed = 3 };

// The next line without its line end (LF, or CR LF). The text stays valid
// until the next call. A last line without a line end is a line.
int32_t nextLine(LineReader* reader, const char** text, int32_t* length) {
  for (;;) {
    const char* start = reader->buffer + reader->begin;
    const size_t available = reader->end - reader->begin;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    if (newline != nullptr || (reader->endOfFile && available > 0)) {
      size_t size = newline != nullptr ? static_cast<size_t>(newline - start) : available;
      const size_t step = newline != nullptr ? size + 1 : size;
      if (size > 0 && start[size - 1] == '\r') --size;
      ++reader->lineNumber;
      if (size > static_cast<size_t>(exportLongestLine)) return lineTooLong;
      reader->begin += step;
      reader->consumed += static_cast<int64_t>(step);
      *text = start;
      *length = static_cast<int32_t>(size);
      return lineOk;
    }
    if (reader->endOfFile) return lineEnd;
    if (available > static_cast<size_t>(exportLongestLine) + 1) {
      ++reader->lineNumber;
      return lineTooLong;
    }
    std::memmove(reader->buffer, start, available);
    reader->begin = 0;
    reader->end = available;
    const int64_t got = readFromFile(reader->file, reader->buffer + reader->end, readCapacity - reader->end);
    if (got < 0) {
      reader->readError = lastSystemError();
      return lineReadFailed;
    }
    if (got == 0) reader->endOfFile = true;
    reader->end += static_cast<size_t>(got);
  }
}

uint64_t load64(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

uint64_t hashText(const char* text, int32_t length) {
  uint64_t hash = static_cast<uint64_t>(length) * 0x9E3779B97F4A7C15u;
  int32_t at = 0;
  for (; at + 8 <= length; at += 8) {
    hash = (hash ^ load64(text + at)) * 0xBF58476D1CE4E5B9u;
    hash ^= hash >> 31;
  }
  if (at < length) {
    uint64_t tail = 0;
    std::memcpy(&tail, text + at, static_cast<size_t>(length - at));
    hash = (hash ^ tail) * 0xBF58476D1CE4E5B9u;
  }
  hash ^= hash >> 32;
  hash *= 0x94D049BB133111EBu;
  hash ^= hash >> 29;
  return hash;
}

// Open addressing over slots of (hash's top 32 bits << 32 | vertex + 1);
// 0 is an empty slot. Kept at most half full.
struct VertexIndex {
  std::vector<uint64_t> slots;
  uint64_t mask = 0;
};

void sizeVertexIndex(VertexIndex* index, int64_t expectedVertices) {
  uint64_t capacity = 1024;
  while (static_cast<int64_t>(capacity / 2) < expectedVertices) capacity *= 2;
  index->slots.assign(capacity, 0);
  index->mask = capacity - 1;
}

void placeVertex(VertexIndex* index, uint64_t hash, int32_t vertex) {
  uint64_t at = hash & index->mask;
  while (index->slots[at] != 0) at = (at + 1) & index->mask;
  index->slots[at] = (hash & 0xFFFFFFFF00000000u) | static_cast<uint64_t>(vertex + 1);
}

void growVertexIndex(VertexIndex* index, const ExportMesh& mesh) {
  sizeVertexIndex(index, static_cast<int64_t>(index->slots.size()));
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    const int64_t start = mesh.textStart[static_cast<size_t>(v)];
    const int32_t length = static_cast<int32_t>(mesh.textStart[static_cast<size_t>(v) + 1] - start);
    placeVertex(index, hashText(mesh.text.data() + start, length), v);
  }
}

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

// The message for a line that could not be taken: too long or unreadable.
bool failLine(ExportReadError* error, const LineReader& reader, int32_t status, const char* expected) {
  if (status == lineTooLong) {
    return fail(error, reader.lineNumber,
                "expected a line of at most " + std::to_string(exportLongestLine) + " characters");
  }
  if (status == lineReadFailed) return fail(error, 0, std::string("cannot read: ") + systemErrorText(reader.readError));
  return fail(error, reader.lineNumber + 1, std::string("expected ") + expected + ", found the end of the file");
}

// A whole number of 1 to 10 digits that fits 32 bits, or -1.
int64_t parseCount(const char* text, int32_t length) {
  if (length < 1 || length > 10) return -1;
  int64_t value = 0;
  for (int32_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value <= INT32_MAX ? value : -1;
}

bool allAsterisks(const char* text, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    if (text[i] != '*') return false;
  }
  return true;
}

// The head: the count line, the average line (or the asterisks left when
// the average was out of range), and what is left of the placeholder.
bool readHead(LineReader* reader, ExportMesh* mesh, ExportReadError* error) {
  const char* text = nullptr;
  int32_t length = 0;
  int32_t status = nextLine(reader, &text, &length);
  if (status != lineOk) return failLine(error, *reader, status, "the triangle count");
  const int64_t count = parseCount(text, length);
  if (count < 0) {
    return fail(error, reader->lineNumber,
                "expected the triangle count (a whole number) as written by tsvmesh, found " +
                    quoteLine(text, length));
  }
  const int32_t countLength = length;
  mesh->triangleCount = static_cast<int32_t>(count);

  status = nextLine(reader, &text, &length);
  if (status != lineOk) return failLine(error, *reader, status, "the average longest side");
  if (length == headAsterisksWithoutAverage(countLength) && allAsterisks(text, length)) {
    mesh->averageKnown = false;  // the statistic was out of range
    return true;
  }
  const int64_t average = parseCount(text, length);
  if (average < 0) {
    return fail(error, reader->lineNumber,
                "expected the average longest side (a whole number) or " +
                    std::to_string(headAsterisksWithoutAverage(countLength)) + " asterisks, found " +
                    quoteLine(text, length));
  }
  mesh->averageKnown = true;
  mesh->averageSide = static_cast<int32_t>(average);

  const int32_t rest = headAsterisksAfterAverage(countLength, length);
  status = nextLine(reader, &text, &length);
  if (status != lineOk) return failLine(error, *reader, status, "the rest of the head");
  if (length != rest || !allAsterisks(text, length)) {
    return fail(error, reader->lineNumber,
                rest > 0 ? "expected the rest of the head, " + std::to_string(rest) +
                               " asterisks, found " + quoteLine(text, length)
                         : "expected the rest of the head, an empty line, found " + quoteLine(text, length));
  }
  return true;
}

}  // namespace

std::string quoteLine(const char* text, int32_t length) {
  std::string quoted = "\"";
  for (int32_t i = 0; i < length && i < 40; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    quoted += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
  }
  if (length > 40) quoted += "...";
  return quoted + "\"";
}

double exportFieldValue(const char* text, int32_t length) {
  double value = 0.0;
  if (readTwoDecimals(text, static_cast<size_t>(length), &value)) return value;
  char copy[exportLongestLine + 1];
  std::memcpy(copy, text, static_cast<size_t>(length));
  copy[length] = '\0';
  return std::strtod(copy, nullptr);
}

namespace {

// A Delaunay mesh has about two triangles per vertex; the file's size
// bounds both guesses, so a damaged count cannot reserve much.
void reserveForFaces(ExportMesh* mesh, int64_t fileSize, VertexIndex* index) {
  const int64_t fitting = std::max<int64_t>(fileSize / (3 * shortestLine), 16);
  const int64_t faces = std::min<int64_t>(mesh->triangleCount, fitting);
  mesh->corners.reserve(static_cast<size_t>(faces) * 3);
  mesh->vertices.reserve(static_cast<size_t>(faces / 2 + 16));
  mesh->textStart.reserve(static_cast<size_t>(faces / 2 + 17));
  mesh->text.reserve(static_cast<size_t>(std::min<int64_t>(fileSize / 5, faces * 12 + 256)));
  sizeVertexIndex(index, faces / 2 + 16);
}

// The vertex whose text is text, or a new one; -1 when the vertex count
// would overflow. commas point at the line's two commas.
int32_t vertexOfCorner(ExportMesh* mesh, VertexIndex* index, const char* text, int32_t length,
                       const char* const commas[2]) {
  const uint64_t hash = hashText(text, length);
  const uint64_t tag = hash & 0xFFFFFFFF00000000u;
  uint64_t at = hash & index->mask;
  for (uint64_t slot = index->slots[at]; slot != 0; at = (at + 1) & index->mask, slot = index->slots[at]) {
    if ((slot & 0xFFFFFFFF00000000u) != tag) continue;
    const int32_t candidate = static_cast<int32_t>(slot & 0xFFFFFFFFu) - 1;
    const int64_t start = mesh->textStart[static_cast<size_t>(candidate)];
    if (mesh->textStart[static_cast<size_t>(candidate) + 1] - start == length &&
        std::memcmp(mesh->text.data() + start, text, static_cast<size_t>(length)) == 0) {
      return candidate;
    }
  }
  if (mesh->vertexCount == INT32_MAX) return -1;
  const int32_t vertex = mesh->vertexCount++;
  mesh->text.insert(mesh->text.end(), text, text + length);
  mesh->textStart.push_back(static_cast<int64_t>(mesh->text.size()));
  mesh->vertices.push_back({exportFieldValue(text, static_cast<int32_t>(commas[0] - text)),
                            exportFieldValue(commas[0] + 1, static_cast<int32_t>(commas[1] - commas[0] - 1)),
                            exportFieldValue(commas[1] + 1, static_cast<int32_t>(text + length - commas[1] - 1))});
  index->slots[at] = tag | static_cast<uint64_t>(vertex + 1);
  if (static_cast<uint64_t>(mesh->vertexCount) * 2 > index->slots.size()) growVertexIndex(index, *mesh);
  return vertex;
}

// Reads corner line k (0-based over the whole file) into the mesh.
bool readCornerLine(LineReader* reader, ExportMesh* mesh, VertexIndex* index, int64_t k, ExportReadError* error) {
  const char* text = nullptr;
  int32_t length = 0;
  const int32_t status = nextLine(reader, &text, &length);
  if (status != lineOk) {
    const std::string expected = "corner " + std::to_string(k % 3 + 1) + " of triangle " +
                                 std::to_string(k / 3 + 1) + " of " + std::to_string(mesh->triangleCount);
    return failLine(error, *reader, status, expected.c_str());
  }
  const int32_t fieldCount = static_cast<int32_t>(std::count(text, text + length, ',')) + 1;
  if (fieldCount != 3) {
    return fail(error, reader->lineNumber,
                "expected a corner line x,y,z of 3 fields, found " + std::to_string(fieldCount) + ": " +
                    quoteLine(text, length));
  }
  const char* const firstComma = static_cast<const char*>(std::memchr(text, ',', static_cast<size_t>(length)));
  const char* const secondComma = static_cast<const char*>(
      std::memchr(firstComma + 1, ',', static_cast<size_t>(text + length - firstComma - 1)));
  if (!isTwoDecimalText(text, static_cast<size_t>(firstComma - text)) ||
      !isTwoDecimalText(firstComma + 1, static_cast<size_t>(secondComma - firstComma - 1)) ||
      !isTwoDecimalText(secondComma + 1, static_cast<size_t>(text + length - secondComma - 1))) {
    return fail(error, reader->lineNumber,
                "expected a corner line x,y,z of numbers with two decimals, found " + quoteLine(text, length));
  }
  const char* const commas[2] = {firstComma, secondComma};
  const int32_t vertex = vertexOfCorner(mesh, index, text, length, commas);
  if (vertex < 0) return fail(error, reader->lineNumber, "expected at most 2147483647 distinct corners");
  const ExportVertex& v = mesh->vertices[static_cast<size_t>(vertex)];
  if (!coordinateInRange(v.x) || !coordinateInRange(v.y) || !coordinateInRange(v.z)) {
    return fail(error, reader->lineNumber, "expected coordinates within " + largestCoordinateText() + ", found " +
                                               quoteLine(text, length));
  }
  mesh->corners.push_back(vertex);
  return true;
}

// Nothing may follow the last triangle.
bool readFileEnd(LineReader* reader, const ExportMesh& mesh, ExportReadError* error) {
  const char* text = nullptr;
  int32_t length = 0;
  const int32_t status = nextLine(reader, &text, &length);
  if (status == lineOk) {
    return fail(error, reader->lineNumber,
                "expected the end of the file after " + std::to_string(mesh.triangleCount) +
                    (mesh.triangleCount == 1 ? " triangle" : " triangles") + " (the head's count), found " +
                    quoteLine(text, length));
  }
  if (status != lineEnd) return failLine(error, *reader, status, "the end of the file");
  return true;
}

void findZRange(ExportMesh* mesh) {
  if (mesh->vertexCount == 0) return;
  mesh->lowestZ = mesh->vertices[0].z;
  mesh->highestZ = mesh->vertices[0].z;
  for (const ExportVertex& vertex : mesh->vertices) {
    mesh->lowestZ = std::min(mesh->lowestZ, vertex.z);
    mesh->highestZ = std::max(mesh->highestZ, vertex.z);
  }
}

}  // namespace

bool readExportMesh(const char* path, ExportMesh* mesh, ExportReadError* error, ExportProgress* progress) {
  *mesh = ExportMesh{};
  LineReader reader;
  int64_t size = -1;
  const int32_t opened = openExportInput(path, &reader.file, &size);
  if (opened != 0) return fail(error, 0, "cannot open: " + systemErrorText(opened));
  const int64_t fileSize = size > 0 ? size : 0;
  std::vector<char> buffer(readCapacity);
  reader.buffer = buffer.data();

  bool ok = readHead(&reader, mesh, error);
  VertexIndex index;
  if (ok) reserveForFaces(mesh, fileSize, &index);
  mesh->textStart.push_back(0);
  const int64_t lineTotal = static_cast<int64_t>(mesh->triangleCount) * 3;
  for (int64_t k = 0; ok && k < lineTotal; ++k) {
    if ((k & (progressStride - 1)) == 0) updateExportProgress(progress, "reading", reader.consumed, fileSize);
    ok = readCornerLine(&reader, mesh, &index, k, error);
  }
  ok = ok && readFileEnd(&reader, *mesh, error);
  closeFile(reader.file);
  if (!ok) return false;
  findZRange(mesh);
  return true;
}
