#include "output/statistic.h"

#include <cassert>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The placeholder line's bytes; the summary must end inside them so that the
// first triangle line is never touched.
constexpr size_t placeholderBytes = 16;

// Doubles from here up round to infinity as floats (halfway to 2^128, ties
// to even).
constexpr double floatOverflowThreshold = 0x1.ffffffp127;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Our own "-?digits.dd" text: for an integer N of all its digits below 2^53,
// N / 100.0 is correctly rounded, which is exactly what strtod returns.
bool parseOwnDecimal(const char* text, size_t length, double* value) {
  size_t i = 0;
  const bool negative = length > 0 && text[0] == '-';
  if (negative) i = 1;
  const size_t wholeStart = i;
  unsigned long long hundredths = 0;
  while (i < length && isDigit(text[i])) {
    if (i - wholeStart == 16) return false;
    hundredths = hundredths * 10 + static_cast<unsigned>(text[i] - '0');
    ++i;
  }
  if (i == wholeStart || length - i != 3 || text[i] != '.' || !isDigit(text[i + 1]) ||
      !isDigit(text[i + 2])) {
    return false;
  }
  hundredths = hundredths * 100 + static_cast<unsigned>(text[i + 1] - '0') * 10 +
               static_cast<unsigned>(text[i + 2] - '0');
  if (hundredths > (1ull << 53)) return false;
  const double magnitude = static_cast<double>(hundredths) / 100.0;
  *value = negative ? -magnitude : magnitude;
  return true;
}

float narrowToFloat(double value) {
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  const double magnitude = std::fabs(value);
  if (magnitude >= floatOverflowThreshold) {
    return value < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  }
  if (magnitude > FLT_MAX) return value < 0 ? -FLT_MAX : FLT_MAX;
  return static_cast<float>(value);
}

// A field's text as strtod reads it, kept as a float. Our own text with
// too many digits for the integer path (a huge value) goes through
// from_chars, which rounds it as glibc's strtod does, on every system.
float fieldValue(const char* text, size_t length, std::string* scratch) {
  double value = 0.0;
  if (!parseOwnDecimal(text, length, &value)) {
    const size_t sign = length > 0 && text[0] == '-' ? 1 : 0;
    size_t digits = sign;
    while (digits < length && isDigit(text[digits])) ++digits;
    const bool ownText = digits > sign && length - digits == 3 && text[digits] == '.' &&
                         isDigit(text[digits + 1]) && isDigit(text[digits + 2]);
    if (!ownText || std::from_chars(text, text + length, value).ec != std::errc()) {
      scratch->assign(text, length);
      value = std::strtod(scratch->c_str(), nullptr);
    }
  }
  return narrowToFloat(value);
}

// x is the text before the first comma, y the text after it up to the next
// comma or the end of the line.
void cornerFromLine(const std::string& line, float* x, float* y, std::string* scratch) {
  const char* start = line.data();
  const char* stop = start + line.size();
  const char* firstComma = static_cast<const char*>(std::memchr(start, ',', line.size()));
  if (firstComma == nullptr) {
    *x = fieldValue(start, line.size(), scratch);
    *y = 0.0f;
    return;
  }
  *x = fieldValue(start, static_cast<size_t>(firstComma - start), scratch);
  const char* yStart = firstComma + 1;
  const char* secondComma =
      static_cast<const char*>(std::memchr(yStart, ',', static_cast<size_t>(stop - yStart)));
  const char* yStop = secondComma != nullptr ? secondComma : stop;
  *y = fieldValue(yStart, static_cast<size_t>(yStop - yStart), scratch);
}

// cornerFromLine for a line as it stands in the file, CRs and all. A line
// with no CR before its second comma is read in place; any other is taken
// as reading it whole gives it.
void cornerFromText(const char* text, size_t length, float* x, float* y, std::string* line,
                    std::string* scratch) {
  const char* stop = text + length;
  const char* firstComma = nullptr;
  for (const char* c = text; c < stop; ++c) {
    if (*c == '\r') break;
    if (*c != ',') continue;
    if (firstComma != nullptr) {
      *x = fieldValue(text, static_cast<size_t>(firstComma - text), scratch);
      *y = fieldValue(firstComma + 1, static_cast<size_t>(c - firstComma - 1), scratch);
      return;
    }
    firstComma = c;
  }
  line->clear();
  for (const char* c = text; c < stop; ++c) {
    if (*c != '\r') line->push_back(*c);
  }
  cornerFromLine(*line, x, y, scratch);
}

// |p - q| truncated to a whole number. Beyond 2^31 the square alone exceeds
// the 32-bit range, so such a difference (or NaN) is reported as unusable.
bool wholeDistance(float p, float q, int64_t* distance) {
  const double difference = static_cast<double>(p) - static_cast<double>(q);
  if (!(std::fabs(difference) < 0x1p31)) return false;
  const int64_t whole = static_cast<int64_t>(difference);
  *distance = whole < 0 ? -whole : whole;
  return true;
}

int32_t integerSquareRoot(int64_t n) {
  int64_t root = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (root * root > n) --root;
  while ((root + 1) * (root + 1) <= n) ++root;
  return static_cast<int32_t>(root);
}

size_t appendDecimal(char* out, int64_t value) {
  const std::to_chars_result done = std::to_chars(out, out + 24, value);
  return static_cast<size_t>(done.ptr - out);
}

}  // namespace

int32_t integerSideLength(float px, float py, float qx, float qy) {
  int64_t dx = 0;
  int64_t dy = 0;
  if (!wholeDistance(px, qx, &dx) || !wholeDistance(py, qy, &dy)) return sideOutOfRange;
  const int64_t squared = dx * dx + dy * dy;
  if (squared > std::numeric_limits<int32_t>::max()) return sideOutOfRange;
  return integerSquareRoot(squared);
}

int32_t sumLongestSides(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result) {
  std::fputs("Checking avg tri side length.\n\n", stdout);
  result->sum = 0;
  result->outOfRange = false;
  if (rewindTriangleFile(file) != triangleFileOk) return triangleFileWriteFailed;
  return sumLongestSidesFromStart(file, triangleCount, result);
}

int32_t sumLongestSidesFromStart(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result) {
  result->sum = 0;
  result->outOfRange = false;
  std::string line;
  std::string scratch;
  readTriangleFileLine(file, &line);  // the placeholder
  int64_t sum = 0;
  bool outOfRange = false;
  // Once the sum is out of range it cannot be reported, so reading stops there.
  for (int32_t k = 0; k < triangleCount && !outOfRange; ++k) {
    float x[3];
    float y[3];
    for (int corner = 0; corner < 3; ++corner) {
      const char* text = nullptr;
      size_t length = 0;
      if (peekTriangleFileLine(file, &text, &length)) {
        cornerFromText(text, length, &x[corner], &y[corner], &line, &scratch);
        continue;
      }
      readTriangleFileLine(file, &line);  // at the end of the file: empty, both fields 0
      cornerFromLine(line, &x[corner], &y[corner], &scratch);
    }
    const int32_t ab = integerSideLength(x[0], y[0], x[1], y[1]);
    const int32_t bc = integerSideLength(x[1], y[1], x[2], y[2]);
    const int32_t ca = integerSideLength(x[2], y[2], x[0], y[0]);
    if (ab == sideOutOfRange || bc == sideOutOfRange || ca == sideOutOfRange) {
      outOfRange = true;
      break;
    }
    int32_t longest = ab;
    if (longest < bc) longest = bc;
    if (longest < ca) longest = ca;
    sum += longest;
    if (sum > std::numeric_limits<int32_t>::max()) outOfRange = true;
  }
  if (file->failed) return triangleFileWriteFailed;
  result->outOfRange = outOfRange;
  result->sum = outOfRange ? 0 : static_cast<int32_t>(sum);
  return triangleFileOk;
}

int32_t writeTriangleSummary(MeshTriangleFile* file, int32_t triangleCount, const MeshSideSum& sides) {
  char summary[64];
  size_t length = appendDecimal(summary, triangleCount);
  summary[length++] = '\r';
  summary[length++] = '\n';

  bool outOfRange = sides.outOfRange;
  char averageText[24] = "";
  if (!outOfRange) {
    // 64-bit so that the one quotient beyond 32 bits (INT32_MIN / -1) is
    // caught instead of trapping.
    const int64_t average = triangleCount == 0 ? 0 : int64_t{sides.sum} / triangleCount;
    const size_t averageLength = appendDecimal(averageText, average);
    averageText[averageLength] = '\0';
    if (average > std::numeric_limits<int32_t>::max() ||
        length + averageLength + 2 > placeholderBytes) {
      outOfRange = true;
    } else {
      std::memcpy(summary + length, averageText, averageLength);
      length += averageLength;
      summary[length++] = '\r';
      summary[length++] = '\n';
    }
  }
  assert(length <= placeholderBytes);

  // After the rewind the buffer is empty and the file is at byte 0: the
  // summary goes in as pending bytes and the close writes them out.
  if (rewindTriangleFile(file) == triangleFileOk && length <= file->capacity) {
    std::memcpy(file->buffer, summary, length);
    file->begin = 0;
    file->end = length;
    file->writing = true;
  } else {
    file->failed = true;
  }
  if (closeTriangleFile(file) != triangleFileOk) return triangleFileWriteFailed;

  if (outOfRange) {
    std::fputs("Average long side length is out of range.\n", stderr);
  } else {
    std::printf("Average long side length = %s.", averageText);
  }
  return triangleFileOk;
}
