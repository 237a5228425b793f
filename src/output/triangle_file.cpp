#include "output/triangle_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "mesh/wide.h"
#include "output/triangle_layout.h"
#include "output/two_decimals.h"
#include "platform/files.h"

namespace {

// One buffer serves the whole life of the file, first for writing, then for
// reading back, then for the summary.
constexpr size_t streamCapacity = size_t{1} << 20;

// Room for one block whatever its nine values print as: the values, six
// commas and three CR LF pairs.
constexpr size_t longestBlockText = 9 * longestTwoDecimalsText + 6 + 6;

// Once a write has failed the rest is dropped, so that no later bytes land
// at a wrong place in the file.
void flushPending(MeshTriangleFile* file) {
  if (file->end > 0 && !file->failed && !writeToFile(file->handle, file->buffer, file->end)) {
    file->failed = true;
  }
  if (file->end > 0 && file->announce != nullptr) {
    {
      const std::lock_guard<std::mutex> hold(file->announce->lock);
      ++file->announce->flushes;
    }
    file->announce->moved.notify_one();
  }
  file->end = 0;
}

void switchToWriting(MeshTriangleFile* file) {
  if (file->writing) return;
  // Read-ahead in the buffer has already moved the descriptor; step back to
  // the logical position.
  const size_t unread = file->end - file->begin;
  if (unread > 0 && seekFile(file->handle, -static_cast<int64_t>(unread), meshSeekCurrent) < 0) {
    file->failed = true;
  }
  file->begin = 0;
  file->end = 0;
  file->writing = true;
  file->endOfFile = false;
}

void switchToReading(MeshTriangleFile* file) {
  if (!file->writing) return;
  flushPending(file);
  file->begin = 0;
  file->end = 0;
  file->writing = false;
  file->endOfFile = false;
}

void appendBytes(MeshTriangleFile* file, const char* bytes, size_t count) {
  switchToWriting(file);
  if (count > file->capacity - file->end) flushPending(file);
  if (count > file->capacity) {
    if (!file->failed && !writeToFile(file->handle, bytes, count)) file->failed = true;
    return;
  }
  std::memcpy(file->buffer + file->end, bytes, count);
  file->end += count;
}

bool fillBuffer(MeshTriangleFile* file) {
  for (;;) {
    int64_t flushes = 0;
    bool writerDone = true;
    if (file->follow != nullptr) {
      // Taken before the read: an end seen after the writer stopped is final.
      const std::lock_guard<std::mutex> hold(file->follow->lock);
      flushes = file->follow->flushes;
      writerDone = file->follow->done;
    }
    const int64_t got = readFromFile(file->handle, file->buffer, file->capacity);
    if (got > 0) {
      file->begin = 0;
      file->end = static_cast<size_t>(got);
      return true;
    }
    if (got == 0 && !writerDone) {
      std::unique_lock<std::mutex> hold(file->follow->lock);
      file->follow->moved.wait(hold, [&] { return file->follow->flushes != flushes || file->follow->done; });
      continue;
    }
    if (got < 0) file->failed = true;
    file->endOfFile = true;
    return false;
  }
}

// Text mode on reading: carriage returns are dropped wherever they stand.
void appendWithoutCr(std::string* line, const char* bytes, size_t count) {
  while (count > 0) {
    const char* cr = static_cast<const char*>(std::memchr(bytes, '\r', count));
    const size_t keep = cr != nullptr ? static_cast<size_t>(cr - bytes) : count;
    line->append(bytes, keep);
    if (cr == nullptr) return;
    bytes += keep + 1;
    count -= keep + 1;
  }
}

char* appendValue(char* out, double value) {
  out += formatTwoDecimals(value, out);
  return out;
}

char* appendCorner(char* out, const MeshPoint& point) {
  out = appendValue(out, point.x);
  *out++ = ',';
  out = appendValue(out, point.y);
  *out++ = ',';
  out = appendValue(out, point.z);
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

// Gives an opened file its one stream buffer; a refusal closes the file.
int32_t attachStreamBuffer(MeshFileHandle handle, MeshTriangleFile* file) {
  char* buffer = static_cast<char*>(std::malloc(streamCapacity));
  if (buffer == nullptr) {
    closeFile(handle);
    return triangleFileOpenFailed;
  }
  file->handle = handle;
  file->buffer = buffer;
  file->capacity = streamCapacity;
  return triangleFileOk;
}

}  // namespace

int32_t createTriangleFile(const char* path, MeshTriangleFile* file) {
  *file = MeshTriangleFile{};
  MeshFileHandle handle = noFile;
  if (createFileForUpdate(path, &handle) != 0) return triangleFileOpenFailed;
  return attachStreamBuffer(handle, file);
}

namespace {

// Lines up to this long are copied in one fixed-size move; the pool and the
// stream buffer have that much room past any line.
constexpr size_t shortLine = 32;

char* appendPointLine(char* out, const MeshPoint* points, const MeshPointLines& lines, int32_t k) {
  if (k >= lines.count) return appendCorner(out, points[k]);
  const char* text = lines.text + lines.start[k];
  const size_t length = lines.start[k + 1] - lines.start[k];
  if (length <= shortLine) {
    std::memcpy(out, text, shortLine);
  } else {
    std::memcpy(out, text, length);
  }
  return out + length;
}

}  // namespace

void formatPointLines(const MeshPoint* points, int32_t n, MeshPointLines* lines) {
  *lines = MeshPointLines{};
  if (n <= 0) return;
  const size_t budget = std::min(static_cast<size_t>(n) * 32, size_t{1} << 31);
  auto* start = static_cast<uint32_t*>(std::malloc((static_cast<size_t>(n) + 1) * sizeof(uint32_t)));
  // Room for one more line of any length past the budget, and the copy's overrun.
  char* text = static_cast<char*>(std::malloc(budget + 3 * longestTwoDecimalsText + 8 + shortLine));
  if (start == nullptr || text == nullptr) {
    std::free(start);
    std::free(text);
    return;
  }
  size_t used = 0;
  int32_t k = 0;
  start[0] = 0;
  while (k < n && used <= budget) {
    used = static_cast<size_t>(appendCorner(text + used, points[k]) - text);
    start[++k] = static_cast<uint32_t>(used);
  }
  lines->text = text;
  lines->start = start;
  lines->count = k;
}

void releasePointLines(MeshPointLines* lines) {
  std::free(lines->text);
  std::free(lines->start);
  *lines = MeshPointLines{};
}

MeshLineFormatter::~MeshLineFormatter() {
  if (thread.joinable()) thread.join();
  releasePointLines(&lines);
}

void startFormattingPointLines(const MeshPoint* points, int32_t n, MeshLineFormatter* formatter) {
  MeshPointLines* lines = &formatter->lines;
  try {
    formatter->thread = std::thread([points, n, lines] {
      // The text of a value depends on the arithmetic's full significand,
      // which a new thread is not sure to start with.
      prepareWideArithmetic();
      formatPointLines(points, n, lines);
    });
  } catch (const std::exception&) {  // no thread, or no memory to start one
  }
}

const MeshPointLines* finishFormattingPointLines(MeshLineFormatter* formatter) {
  if (formatter->thread.joinable()) formatter->thread.join();
  return &formatter->lines;
}

int32_t writeTriangleBlocks(MeshTriangleFile* file, const MeshPoint* points, const MeshPointLines* lines,
                            const MeshTriangle* triangles, int32_t triangleCount) {
  if (file->handle == noFile || file->buffer == nullptr) return triangleFileWriteFailed;
  const MeshPointLines& cached = lines != nullptr ? *lines : MeshPointLines{};
  appendBytes(file, trianglePlaceholder, triangleHeadBytes);
  for (int32_t k = 0; k < triangleCount && !file->failed; ++k) {
    // The reserve covers the longest block and the last line's fixed-size copy.
    if (file->capacity - file->end < longestBlockText + shortLine) flushPending(file);
    char* out = file->buffer + file->end;
    out = appendPointLine(out, points, cached, triangles[k].corner0);
    out = appendPointLine(out, points, cached, triangles[k].corner1);
    out = appendPointLine(out, points, cached, triangles[k].corner2);
    file->end = static_cast<size_t>(out - file->buffer);
  }
  flushPending(file);
  return file->failed ? triangleFileWriteFailed : triangleFileOk;
}

int32_t rewriteTriangleHead(MeshTriangleFile* file, const char* bytes, size_t count) {
  if (rewindTriangleFile(file) != triangleFileOk) {
    file->failed = true;
    return triangleFileWriteFailed;
  }
  appendBytes(file, bytes, count);
  return triangleFileOk;
}

int32_t openTriangleFileToFollow(const char* path, MeshWriteProgress* progress, MeshTriangleFile* file) {
  *file = MeshTriangleFile{};
  MeshFileHandle handle = noFile;
  MeshFileInfo info{};
  if (openFileForReading(path, &handle, &info) != 0) return triangleFileOpenFailed;
  // Only an ordinary file can be followed while it grows.
  if (info.size < 0) {
    closeFile(handle);
    return triangleFileOpenFailed;
  }
  if (attachStreamBuffer(handle, file) != triangleFileOk) return triangleFileOpenFailed;
  file->writing = false;
  file->follow = progress;
  return triangleFileOk;
}

void finishWriteProgress(MeshWriteProgress* progress) {
  {
    const std::lock_guard<std::mutex> hold(progress->lock);
    progress->done = true;
  }
  progress->moved.notify_one();
}

int32_t rewindTriangleFile(MeshTriangleFile* file) {
  if (file->handle == noFile || file->buffer == nullptr) return triangleFileWriteFailed;
  const bool failedBefore = file->failed;
  if (file->writing) flushPending(file);
  const bool flushed = failedBefore || !file->failed;
  file->begin = 0;
  file->end = 0;
  file->writing = false;
  file->endOfFile = false;
  if (seekFile(file->handle, 0, meshSeekStart) < 0) {
    file->failed = true;
    return triangleFileWriteFailed;
  }
  return flushed ? triangleFileOk : triangleFileWriteFailed;
}

bool readTriangleFileLine(MeshTriangleFile* file, std::string* line) {
  line->clear();
  if (file->handle == noFile || file->buffer == nullptr) return false;
  switchToReading(file);
  bool consumed = false;
  for (;;) {
    if (file->begin == file->end && (file->endOfFile || !fillBuffer(file))) return consumed;
    const char* start = file->buffer + file->begin;
    const size_t available = file->end - file->begin;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
    const size_t take = newline != nullptr ? static_cast<size_t>(newline - start) : available;
    appendWithoutCr(line, start, take);
    consumed = true;
    if (newline != nullptr) {
      file->begin += take + 1;
      return true;
    }
    file->begin = file->end;
  }
}

bool peekTriangleFileLine(MeshTriangleFile* file, const char** text, size_t* length) {
  if (file->writing || file->buffer == nullptr) return false;
  const char* start = file->buffer + file->begin;
  const char* newline = static_cast<const char*>(std::memchr(start, '\n', file->end - file->begin));
  if (newline == nullptr) return false;
  *text = start;
  *length = static_cast<size_t>(newline - start);
  file->begin += *length + 1;
  return true;
}

int32_t closeTriangleFile(MeshTriangleFile* file) {
  if (file->handle != noFile) {
    if (file->writing && file->buffer != nullptr) flushPending(file);
    if (!closeFile(file->handle)) file->failed = true;
    file->handle = noFile;
  }
  std::free(file->buffer);
  file->buffer = nullptr;
  file->capacity = 0;
  file->begin = 0;
  file->end = 0;
  return file->failed ? triangleFileWriteFailed : triangleFileOk;
}
