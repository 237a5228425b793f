#include "input/points_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "input/number_scanner.h"
#include "platform/files.h"

namespace {

// One buffer of this size serves both passes over a file that can be
// rewound; a pipe is held whole instead, in a block that starts at this size.
constexpr size_t bufferBytes = size_t{1} << 20;
constexpr size_t smallestBuffer = 4096;

// Text mode as the program does it itself: this byte ends the data.
constexpr char endOfText = 0x1A;

// ---------------------------------------------------------------------------
// Raw reading

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Removes every CR from the bytes just read at data[end .. end + count) in
// place; gives the new count. Notes each CR that stood between two non-blank
// bytes (across reads too): dropped, it joins two words into one.
size_t dropCarriageReturns(MeshPointsFile* file, size_t count) {
  char* const bytes = file->data + file->end;
  const int64_t base = static_cast<int64_t>(file->dropped + file->end);
  const char* const stop = bytes + count;
  char* out = bytes;
  for (const char* in = bytes;;) {
    const char* cr = static_cast<const char*>(std::memchr(in, '\r', static_cast<size_t>(stop - in)));
    const char* keepEnd = cr != nullptr ? cr : stop;
    if (keepEnd > in) {
      if (file->joinPending && !isBlank(*in)) {
        if (file->joins++ == 0) file->firstJoin = base + (out - bytes);
      }
      file->joinPending = false;
      if (out != in) std::memmove(out, in, static_cast<size_t>(keepEnd - in));
      out += keepEnd - in;
      file->lastKept = keepEnd[-1];
    }
    if (cr == nullptr) return static_cast<size_t>(out - bytes);
    file->joinPending = file->joinPending || !isBlank(file->lastKept);
    in = cr + 1;
  }
}

// One read(2) into the free room after `end`, translated as text: the bytes
// from a 0x1A on are cut off for good and CRs vanish. Gives read's result
// (-1 error, 0 end of file, else raw bytes read); the data has ended after an
// error, the end of the file or a 0x1A.
int64_t readChunk(MeshPointsFile* file) {
  char* to = file->data + file->end;
  const int64_t got = readFromFile(file->handle, to, file->capacity - file->end);
  if (got <= 0) {
    file->endOfData = true;
    return got;
  }
  size_t count = static_cast<size_t>(got);
  if (const void* stop = std::memchr(to, endOfText, count)) {
    count = static_cast<size_t>(static_cast<const char*>(stop) - to);
    file->endOfData = true;
  }
  file->end += dropCarriageReturns(file, count);
  return got;
}

// A pipe cannot be rewound, so it is read whole at open. False when it
// cannot be read at all or the heap refuses room for it.
bool readWholeFile(MeshPointsFile* file) {
  bool first = true;
  while (!file->endOfData) {
    if (file->end == file->capacity) {
      if (file->capacity > SIZE_MAX / 2) return false;
      char* grown = static_cast<char*>(std::realloc(file->data, file->capacity * 2));
      if (grown == nullptr) return false;
      file->data = grown;
      file->capacity *= 2;
    }
    // An error after the first bytes ends the data, as a failed read ends a
    // stream; only a source that yields nothing readable is refused.
    if (readChunk(file) < 0 && first) return false;
    first = false;
  }
  file->memorySize = file->end;
  return true;
}

void rewindPointsFile(MeshPointsFile* file) {
  file->begin = 0;
  file->dropped = 0;
  if (file->inMemory) {
    file->end = file->memorySize;
    file->endOfData = true;
    return;
  }
  file->end = 0;
  file->endOfData = false;
  // It is read again from its start.
  file->firstJoin = -1;
  file->joins = 0;
  file->joinPending = false;
  file->lastKept = '\n';
  // A file that refuses to rewind yields nothing rather than the wrong bytes.
  if (seekFile(file->handle, 0, meshSeekStart) != 0) file->endOfData = true;
}

// Consumes the first line and its "\n"; appends it to `line` when given.
// False, when the line runs past `limit` bytes, with the bytes up to there
// consumed (and appended).
bool takeFirstLine(MeshPointsFile* file, std::string* line, size_t limit) {
  if (file->data == nullptr) return true;
  size_t taken = 0;
  for (;;) {
    const char* start = file->data + file->begin;
    const size_t available = std::min(file->end - file->begin, limit + 1 - taken);
    const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available));
    if (lineEnd != nullptr) {
      if (line != nullptr) line->append(start, static_cast<size_t>(lineEnd - start));
      file->begin += static_cast<size_t>(lineEnd - start) + 1;
      return true;
    }
    if (line != nullptr) line->append(start, available);
    file->begin += available;
    taken += available;
    if (taken > limit) return false;
    if (!fetchMorePointsText(file)) return true;
  }
}

}  // namespace

bool fetchMorePointsText(MeshPointsFile* file) {
  if (file->endOfData || file->data == nullptr) return false;
  if (file->begin > 0) {
    std::memmove(file->data, file->data + file->begin, file->end - file->begin);
    file->dropped += file->begin;
    file->end -= file->begin;
    file->begin = 0;
  }
  while (file->end < file->capacity) {
    const size_t before = file->end;
    readChunk(file);
    if (file->end > before) return true;
    if (file->endOfData) return false;
    // A chunk of nothing but CRs: keep reading.
  }
  return false;
}

int32_t openPointsFile(const char* path, MeshPointsFile* file) {
  *file = MeshPointsFile{};
  if (path == nullptr) return pointsFileUnreadable;
  MeshFileInfo info{};
  if (openFileForReading(path, &file->handle, &info) != 0) return pointsFileUnreadable;
  file->inMemory = !info.rewindable;
  // A small file gets a buffer of its own size; any size reads correctly,
  // should the file grow later.
  size_t bytes = bufferBytes;
  if (!file->inMemory && info.size >= 0 && static_cast<uint64_t>(info.size) < bufferBytes) {
    bytes = std::max(smallestBuffer, static_cast<size_t>(info.size) + 1);
  }
  // The I/O buffer is plain malloc, not the mesh heap: a refusal here is a
  // file this run cannot read, not a failed table.
  file->data = static_cast<char*>(std::malloc(bytes));
  file->capacity = file->data != nullptr ? bytes : 0;
  // The first read happens now, so that a source that opens but cannot be
  // read (EISDIR and the like) is refused here.
  const bool readable = file->data != nullptr &&
                        (file->inMemory ? readWholeFile(file) : readChunk(file) >= 0);
  if (!readable) {
    closePointsFile(file);
    return pointsFileUnreadable;
  }
  return pointsFileOk;
}

int32_t readOutputPath(MeshPointsFile* file, std::string* outputPath) {
  outputPath->clear();
  const size_t limit = longestPathBytes();
  bool whole = true;
  try {
    whole = takeFirstLine(file, outputPath, limit);
  } catch (const std::bad_alloc&) {
    // A line beyond the heap names no file anyway; the points still start
    // after it.
    outputPath->clear();
    whole = takeFirstLine(file, nullptr, limit);
  }
  // Notepad saves UTF-8 with a byte-order mark; it belongs to no file name.
  if (whole && outputPath->compare(0, 3, "\xEF\xBB\xBF") == 0) outputPath->erase(0, 3);
  if (whole) return pointsFileOk;
  outputPath->clear();
  return pointsFileLongPath;
}

int32_t countPoints(MeshPointsFile* file) {
  NumberScratch scratch;
  int32_t count = 0;
  file->listEnd = -1;
  MeshLineTally tally;
  file->tally = &tally;
  while (count < INT32_MAX && scanPointNumbers(file, &scratch, nullptr, &file->listEnd)) ++count;
  file->tally = nullptr;
  // The last line, when the list runs to the end of the data.
  if (file->listEnd < 0 && count < INT32_MAX) endTallyLine(&tally);
  file->counted = tally;
  file->countedFirstJoin = file->firstJoin;
  file->countedJoins = file->joins;
  return count;
}

namespace {

// The line of the text byte at `target` (the output path being line 1).
// Rescans the file from its start.
int64_t lineOfText(MeshPointsFile* file, uint64_t target) {
  // Line ends are counted only now, so that reading never pays for them.
  rewindPointsFile(file);
  int64_t line = 1;
  for (;;) {
    const bool last = file->dropped + file->end >= target;
    const char* at = file->data + file->begin;
    const char* stop = last ? file->data + (target - file->dropped) : file->data + file->end;
    while ((at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(stop - at)))) != nullptr) {
      ++line;
      ++at;
    }
    if (last) {
      file->begin = static_cast<size_t>(target - file->dropped);
      return line;
    }
    file->begin = file->end;
    if (!fetchMorePointsText(file)) return line;
  }
}

}  // namespace

int64_t pointsEndLine(MeshPointsFile* file) {
  if (file->listEnd < 0 || file->data == nullptr) return 0;
  return lineOfText(file, static_cast<uint64_t>(file->listEnd));
}

bool looksCommaSeparated(MeshPointsFile* file, const std::string& outputPath) {
  if (file->listEnd < 0 || file->data == nullptr || outputPath.find(',') == std::string::npos) return false;
  if (lineOfText(file, static_cast<uint64_t>(file->listEnd)) != 2) return false;
  if (file->begin == file->end && !fetchMorePointsText(file)) return false;
  return file->data[file->begin] == ',';
}

MeshPointsLayout pointsLayout(MeshPointsFile* file) {
  const MeshLineTally& tally = file->counted;
  MeshPointsLayout layout{tally.oddLine, tally.oddNumbers, tally.oddLines, 0, 0};
  // Joins after the list's end do not count.
  const int64_t first = file->countedFirstJoin;
  if (first >= 0 && file->data != nullptr && (file->listEnd < 0 || first < file->listEnd)) {
    layout.joinLine = lineOfText(file, static_cast<uint64_t>(first));
    layout.joins = file->countedJoins;
  }
  return layout;
}

int32_t readPoints(MeshPointsFile* file, MeshPoint* points, int32_t capacity) {
  rewindPointsFile(file);
  takeFirstLine(file, nullptr, longestPathBytes());
  if (points == nullptr) return 0;
  NumberScratch scratch;
  int32_t stored = 0;
  int64_t stop = -1;
  while (stored < capacity && scanPointNumbers(file, &scratch, &points[stored], &stop)) ++stored;
  return stored;
}

void closePointsFile(MeshPointsFile* file) {
  std::free(file->data);
  closeFile(file->handle);
  *file = MeshPointsFile{};
}
