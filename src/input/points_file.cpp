#include "input/points_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

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

// Removes every CR from bytes[0 .. count) in place; gives the new count.
size_t dropCarriageReturns(char* bytes, size_t count) {
  char* cr = static_cast<char*>(std::memchr(bytes, '\r', count));
  if (cr == nullptr) return count;
  char* out = cr;
  for (const char* in = cr + 1; in != bytes + count; ++in) {
    if (*in != '\r') *out++ = *in;
  }
  return static_cast<size_t>(out - bytes);
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
  file->end += dropCarriageReturns(to, count);
  return got;
}

// Drops the consumed bytes before `begin` and reads more after `end`. False
// when nothing could be added: the data has ended, or the buffer is full of
// unconsumed bytes. Indices relative to `begin` stay valid.
bool fetchMore(MeshPointsFile* file) {
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
  // A file that refuses to rewind yields nothing rather than the wrong bytes.
  if (seekFile(file->handle, 0, meshSeekStart) != 0) file->endOfData = true;
}

// Consumes the first line and its "\n"; appends it to `line` when given.
void takeFirstLine(MeshPointsFile* file, std::string* line) {
  if (file->data == nullptr) return;
  for (;;) {
    const char* start = file->data + file->begin;
    const size_t available = file->end - file->begin;
    const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', available));
    if (lineEnd != nullptr) {
      if (line != nullptr) line->append(start, static_cast<size_t>(lineEnd - start));
      file->begin += static_cast<size_t>(lineEnd - start) + 1;
      return;
    }
    if (line != nullptr) line->append(start, available);
    file->begin = file->end;
    if (!fetchMore(file)) return;
  }
}

// ---------------------------------------------------------------------------
// Numbers, read the way glibc's "%lf" reads them

bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// ASCII letters differ from their capitals by one bit; compared only
// against lower-case letters, so no other byte can match by accident.
int lowered(int c) { return c | 0x20; }

// Working strings of one pass, allocated only by the rare long or odd numbers.
struct NumberScratch {
  std::string spill;  // start of a number longer than the whole buffer
  std::string text;   // zero-terminated copy for the slow conversion
};

// Walks one number forward from `begin` without consuming it, fetching more
// input as needed; a number that outgrows the buffer moves to the spill.
struct NumberCursor {
  MeshPointsFile* file;
  NumberScratch* scratch;
  size_t length = 0;  // bytes of the number at data[begin ..]
  bool spilled = false;
  bool tooLong = false;  // the spill outgrew the heap: the number fails

  // The next byte, or -1 at the end of the data.
  int peek() {
    if (file->begin + length < file->end) {
      return static_cast<unsigned char>(file->data[file->begin + length]);
    }
    return peekAfterFetch();
  }
  void take() { ++length; }
  // peek() and take() when the byte is `wanted` in either case.
  bool takeLetter(int wanted) {
    if (lowered(peek()) != wanted) return false;
    take();
    return true;
  }

  int peekAfterFetch() {
    for (;;) {
      if (fetchMore(file)) return static_cast<unsigned char>(file->data[file->begin + length]);
      if (file->endOfData) return -1;
      try {
        scratch->spill.append(file->data + file->begin, length);
      } catch (const std::bad_alloc&) {
        tooLong = true;
        return -1;
      }
      spilled = true;
      file->begin += length;
      length = 0;
    }
  }
};

// Whether a number that from_chars found out of range overflowed rather
// than underflowed: the place of its leading digit, moved by its exponent,
// is above the units. Out of range happens only hundreds of places away
// from the units, so the estimate cannot be wrong.
bool overflowed(const char* first, const char* last, bool hex) {
  const char mark = hex ? 'p' : 'e';
  int64_t place = 0;  // leading nonzero digit: 1 for the units, 0 for tenths, ...
  bool leadingZeros = true;
  bool afterPoint = false;
  const char* at = first;
  for (; at < last && lowered(static_cast<unsigned char>(*at)) != mark; ++at) {
    if (*at == '.') {
      afterPoint = true;
    } else if (leadingZeros && *at == '0') {
      if (afterPoint) --place;
    } else {
      leadingZeros = false;
      if (!afterPoint && place < INT32_MAX) ++place;
    }
  }
  int64_t exponent = 0;
  if (at < last) {
    ++at;
    const bool negative = at < last && *at == '-';
    if (at < last && (*at == '+' || *at == '-')) ++at;
    for (; at < last && isDigit(*at); ++at) exponent = std::min<int64_t>(exponent * 10 + (*at - '0'), INT32_MAX);
    if (negative) exponent = -exponent;
  }
  return (hex ? 4 * place : place) + exponent > 0;
}

// What strtod makes of a delimited number: the longest prefix that is a
// number, correctly rounded, underflow to a signed zero and overflow to a
// signed infinity; "0x" with no hex digit after it is the 0 before the x.
// Done with from_chars, so that every C library gives the same values.
bool convertSlowly(const char* text, double* value) {
  const char* at = text;
  const bool negative = *at == '-';
  if (*at == '+' || *at == '-') ++at;
  const char* last = at + std::strlen(at);
  const bool hex = at[0] == '0' && lowered(static_cast<unsigned char>(at[1])) == 'x';
  const char* digits = hex ? at + 2 : at;
  double magnitude = 0;
  const std::from_chars_result result =
      std::from_chars(digits, last, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
  if (result.ptr == digits) {
    if (!hex) return false;
    magnitude = 0;
  } else if (result.ec == std::errc::result_out_of_range) {
    magnitude = overflowed(digits, result.ptr, hex) ? HUGE_VAL : 0.0;
  }
  *value = negative ? -magnitude : magnitude;
  return true;
}

// Converts a delimited number the way scanf does: a plain decimal through
// from_chars (correctly rounded, as strtod rounds), anything else, or a
// plain one it cannot take whole, as strtod would. When `spilled`, the
// number starts in scratch->spill and ends at first .. last.
bool convertNumber(const char* first, const char* last, bool plain, bool spilled,
                   NumberScratch* scratch, double* value) {
  if (plain && !spilled) {
    // The leading '+' is scanf's, not from_chars'.
    const char* digits = (*first == '+') ? first + 1 : first;
    const std::from_chars_result result = std::from_chars(digits, last, *value);
    if (result.ec == std::errc() && result.ptr == last) return true;
  }
  std::string& text = scratch->text;
  try {
    if (spilled) {
      text.assign(scratch->spill);
    } else {
      text.clear();
    }
    text.append(first, static_cast<size_t>(last - first));
  } catch (const std::bad_alloc&) {
    return false;  // a number too long to hold ends the list like a bad one
  }
  return convertSlowly(text.c_str(), value);
}

// Delimits one number exactly as glibc's scanf does (it never puts back
// more than one byte, so "1e+" or "0x1p" stay part of the number), consumes
// it and converts it. False when the conversion fails.
bool scanAnyNumber(MeshPointsFile* file, NumberScratch* scratch, double* value) {
  NumberCursor cursor{file, scratch};
  scratch->spill.clear();
  bool plain = true;  // only signs, digits, '.' and 'e': from_chars can take it
  bool sign = false;
  int c = cursor.peek();
  if (c == '+' || c == '-') {
    cursor.take();
    sign = true;
    c = cursor.peek();
    if (c < 0) return false;
  }
  if (lowered(c) == 'n') {
    cursor.take();
    if (!cursor.takeLetter('a') || !cursor.takeLetter('n')) return false;
    plain = false;
  } else if (lowered(c) == 'i') {
    cursor.take();
    if (!cursor.takeLetter('n') || !cursor.takeLetter('f')) return false;
    if (cursor.takeLetter('i')) {
      if (!cursor.takeLetter('n') || !cursor.takeLetter('i') || !cursor.takeLetter('t') ||
          !cursor.takeLetter('y')) {
        return false;
      }
    }
    plain = false;
  } else {
    bool hex = false;
    bool digit = false;
    bool dot = false;
    bool exponent = false;
    bool afterExponentMark = false;
    if (c == '0') {
      cursor.take();
      c = cursor.peek();
      if (lowered(c) == 'x') {
        cursor.take();
        hex = true;
        plain = false;
        c = cursor.peek();
      } else {
        digit = true;
      }
    }
    const int exponentMark = hex ? 'p' : 'e';
    for (; c >= 0; c = cursor.peek()) {
      const bool wasExponentMark = afterExponentMark;
      afterExponentMark = false;
      if (isDigit(c) || (hex && !exponent && isHexDigit(c))) {
        digit = true;
      } else if (wasExponentMark && (c == '+' || c == '-')) {
        // sign of the exponent
      } else if (digit && !exponent && lowered(c) == exponentMark) {
        exponent = true;
        dot = true;
        afterExponentMark = true;
      } else if (!dot && c == '.') {
        dot = true;
      } else {
        break;
      }
      cursor.take();
    }
    const size_t taken = scratch->spill.size() + cursor.length;
    if (taken == (sign ? 1u : 0u) || (hex && taken == (sign ? 3u : 2u))) return false;
  }
  if (cursor.tooLong) return false;

  const char* first = file->data + file->begin;
  file->begin += cursor.length;
  return convertNumber(first, first + cursor.length, plain, cursor.spilled, scratch, value);
}

// The common number, "[sign]digits[.digits]" followed by white space in the
// buffer, is delimited here without the general scan; where that pattern
// does not hold the general scan decides. Gives true for a finite number.
// `value` may be null when only the count matters: fewer than 300 integer
// digits without exponent are finite, so such numbers go unconverted.
bool scanFiniteNumber(MeshPointsFile* file, NumberScratch* scratch, double* value) {
  const char* first = file->data + file->begin;
  const char* limit = file->data + file->end;
  const char* at = first + ((*first == '+' || *first == '-') ? 1 : 0);
  const char* integers = at;
  while (at < limit && isDigit(*at)) ++at;
  const size_t integerDigits = static_cast<size_t>(at - integers);
  size_t digits = integerDigits;
  if (at < limit && *at == '.') {
    const char* fraction = ++at;
    while (at < limit && isDigit(*at)) ++at;
    digits += static_cast<size_t>(at - fraction);
  }
  double converted;
  double* to = value != nullptr ? value : &converted;
  if (digits > 0 && at < limit && isSpace(static_cast<unsigned char>(*at))) {
    file->begin = static_cast<size_t>(at - file->data);
    if (value == nullptr && integerDigits < 300) return true;
    return convertNumber(first, at, true, false, scratch, to) && std::isfinite(*to);
  }
  return scanAnyNumber(file, scratch, to) && std::isfinite(*to);
}

// Skips white space; false at the end of the data.
bool skipSpace(MeshPointsFile* file) {
  for (;;) {
    while (file->begin < file->end) {
      if (!isSpace(static_cast<unsigned char>(file->data[file->begin]))) return true;
      ++file->begin;
    }
    if (!fetchMore(file)) return false;
  }
}

// One "%lf %lf %lf": true when all three convert and are finite; a group
// that fails either way ends the point list, and *stop then gives where, in
// text bytes: the number that failed, or the group's first number when the
// data ends inside the group; -1 when only blank space was left. `point`
// may be null when the pass only counts.
bool scanPoint(MeshPointsFile* file, NumberScratch* scratch, MeshPoint* point, int64_t* stop) {
  double values[3];
  int64_t groupStart = -1;
  for (double& value : values) {
    if (!skipSpace(file)) {
      *stop = groupStart;
      return false;
    }
    const int64_t at = static_cast<int64_t>(file->dropped + file->begin);
    if (groupStart < 0) groupStart = at;
    if (!scanFiniteNumber(file, scratch, point != nullptr ? &value : nullptr)) {
      *stop = at;
      return false;
    }
  }
  if (point != nullptr) *point = MeshPoint{values[0], values[1], values[2]};
  return true;
}

// ---------------------------------------------------------------------------
// Sorting

// Maps x to an unsigned key with the order of x; both zeros share a key.
uint64_t orderKey(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  constexpr uint64_t signBit = uint64_t{1} << 63;
  if (bits == signBit) bits = 0;
  return (bits & signBit) != 0 ? ~bits : bits | signBit;
}

void insertionSortByX(MeshPoint* points, int32_t n) {
  for (int32_t i = 1; i < n; ++i) {
    const MeshPoint moving = points[i];
    int32_t j = i;
    for (; j > 0 && comparePointsByX(points[j - 1], moving) > 0; --j) points[j] = points[j - 1];
    points[j] = moving;
  }
}

constexpr int digitBits = 11;
constexpr int digitCount = (64 + digitBits - 1) / digitBits;
constexpr uint32_t bucketCount = uint32_t{1} << digitBits;

uint32_t digitOf(uint64_t key, int digit) {
  return static_cast<uint32_t>(key >> (digit * digitBits)) & (bucketCount - 1);
}

// Least-significant-digit radix sort, stable by construction, moving the
// records between the table and the scratch; digits that all keys share
// cost no pass.
void radixSortByX(MeshPoint* points, int32_t n, MeshPoint* scratch) {
  static_assert(digitCount * digitBits >= 64);
  uint32_t counts[digitCount][bucketCount] = {};
  for (int32_t i = 0; i < n; ++i) {
    const uint64_t key = orderKey(points[i].x);
    for (int digit = 0; digit < digitCount; ++digit) ++counts[digit][digitOf(key, digit)];
  }
  MeshPoint* from = points;
  MeshPoint* to = scratch;
  const uint64_t firstKey = orderKey(points[0].x);
  for (int digit = 0; digit < digitCount; ++digit) {
    uint32_t* offsets = counts[digit];
    if (offsets[digitOf(firstKey, digit)] == static_cast<uint32_t>(n)) continue;
    uint32_t sum = 0;
    for (uint32_t bucket = 0; bucket < bucketCount; ++bucket) {
      const uint32_t count = offsets[bucket];
      offsets[bucket] = sum;
      sum += count;
    }
    for (int32_t i = 0; i < n; ++i) to[offsets[digitOf(orderKey(from[i].x), digit)]++] = from[i];
    std::swap(from, to);
  }
  if (from != points) std::memcpy(points, from, static_cast<size_t>(n) * sizeof(MeshPoint));
}

}  // namespace

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

void readOutputPath(MeshPointsFile* file, std::string* outputPath) {
  outputPath->clear();
  try {
    takeFirstLine(file, outputPath);
  } catch (const std::bad_alloc&) {
    // A line beyond the heap names no file anyway; the points still start
    // after it.
    outputPath->clear();
    takeFirstLine(file, nullptr);
  }
}

int32_t countPoints(MeshPointsFile* file) {
  NumberScratch scratch;
  int32_t count = 0;
  file->listEnd = -1;
  while (count < INT32_MAX && scanPoint(file, &scratch, nullptr, &file->listEnd)) ++count;
  return count;
}

int64_t pointsEndLine(MeshPointsFile* file) {
  if (file->listEnd < 0 || file->data == nullptr) return 0;
  const uint64_t target = static_cast<uint64_t>(file->listEnd);
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
    file->begin = file->end;
    if (last || !fetchMore(file)) return line;
  }
}

int32_t readPoints(MeshPointsFile* file, MeshPoint* points, int32_t capacity) {
  rewindPointsFile(file);
  takeFirstLine(file, nullptr);
  if (points == nullptr) return 0;
  NumberScratch scratch;
  int32_t stored = 0;
  int64_t stop = -1;
  while (stored < capacity && scanPoint(file, &scratch, &points[stored], &stop)) ++stored;
  return stored;
}

void closePointsFile(MeshPointsFile* file) {
  std::free(file->data);
  closeFile(file->handle);
  *file = MeshPointsFile{};
}

int32_t comparePointsByX(const MeshPoint& a, const MeshPoint& b) {
  if (a.x < b.x) return -1;
  if (a.x > b.x) return 1;
  return 0;
}

void sortPointsByX(MeshPoint* points, int32_t n, void* scratch, size_t scratchBytes) {
  if (points == nullptr || n < 2) return;
  int32_t i = 1;
  while (i < n && comparePointsByX(points[i - 1], points[i]) <= 0) ++i;
  if (i == n) return;  // survey grids often come sorted already
  if (n <= 32) {
    insertionSortByX(points, n);
    return;
  }
  const bool scratchFits = scratch != nullptr &&
                           reinterpret_cast<uintptr_t>(scratch) % alignof(MeshPoint) == 0 &&
                           scratchBytes / sizeof(MeshPoint) >= static_cast<size_t>(n);
  if (!scratchFits) {
    std::stable_sort(points, points + n, [](const MeshPoint& a, const MeshPoint& b) {
      return comparePointsByX(a, b) < 0;
    });
    return;
  }
  radixSortByX(points, n, static_cast<MeshPoint*>(scratch));
}

MeshPoint* allocatePointTable(int32_t n) {
  if (n < 0 || n > INT32_MAX - 3) return nullptr;
  const size_t slots = static_cast<size_t>(n) + 3;
  return static_cast<MeshPoint*>(meshAllocate(slots * sizeof(MeshPoint)));
}

MeshTriangle* allocateTriangleTable(int32_t n) {
  if (n < 0 || n > INT32_MAX / 4) return nullptr;
  const size_t slots = static_cast<size_t>(n) * 4;
  return static_cast<MeshTriangle*>(meshAllocate(slots * sizeof(MeshTriangle)));
}
