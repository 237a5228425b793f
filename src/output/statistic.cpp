#include "output/statistic.h"

#include <cassert>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <exception>
#include <thread>

#include "output/triangle_layout.h"

namespace {

// Doubles from here up round to infinity as floats (halfway to 2^128, ties
// to even).
constexpr double floatOverflowThreshold = 0x1.ffffffp127;

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
  if (!readTwoDecimals(text, length, &value)) {
    if (!isTwoDecimalText(text, length) || std::from_chars(text, text + length, value).ec != std::errc()) {
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

float statisticValue(const char* text, size_t length) {
  std::string scratch;
  return fieldValue(text, length, &scratch);
}

int32_t integerSideLength(float px, float py, float qx, float qy) {
  int64_t dx = 0;
  int64_t dy = 0;
  if (!wholeDistance(px, qx, &dx) || !wholeDistance(py, qy, &dy)) return sideOutOfRange;
  const int64_t squared = dx * dx + dy * dy;
  if (squared > std::numeric_limits<int32_t>::max()) return sideOutOfRange;
  return integerSquareRoot(squared);
}

namespace {

// sumLongestSides from the stream's position (byte 0), printing nothing.
int32_t readLongestSides(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result) {
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
  if (file->failed) return triangleFileReadFailed;
  result->outOfRange = outOfRange;
  result->sum = outOfRange ? 0 : static_cast<int32_t>(sum);
  return triangleFileOk;
}

// A second handle on the file being written and the thread that reads the
// sides from it. Stopping tells the reader the writer is done, waits for
// it and closes the handle; going stops it.
struct SideFollower {
  MeshWriteProgress progress;
  MeshTriangleFile file;
  MeshSideSum sides{0, false};
  int32_t status = triangleFileReadFailed;
  std::thread reader;
  ~SideFollower();
};

void stopFollowing(SideFollower* follower) {
  if (follower->reader.joinable()) {
    finishWriteProgress(&follower->progress);
    follower->reader.join();
  }
  closeTriangleFile(&follower->file);
}

SideFollower::~SideFollower() { stopFollowing(this); }

bool startFollowing(const char* path, int32_t triangleCount, SideFollower* follower) {
  if (openTriangleFileToFollow(path, &follower->progress, &follower->file) != triangleFileOk) return false;
  try {
    follower->reader = std::thread([follower, triangleCount] {
      follower->status = readLongestSides(&follower->file, triangleCount, &follower->sides);
    });
  } catch (const std::exception&) {  // no thread, or no memory to start one
    return false;
  }
  return true;
}

}  // namespace

int32_t sumLongestSides(MeshTriangleFile* file, int32_t triangleCount, MeshSideSum* result) {
  result->sum = 0;
  result->outOfRange = false;
  if (rewindTriangleFile(file) != triangleFileOk) return triangleFileReadFailed;
  return readLongestSides(file, triangleCount, result);
}

int32_t writeAndMeasureBlocks(MeshTriangleFile* file, const char* path, const MeshPoint* points,
                              const MeshPointLines* lines, const MeshTriangle* triangles,
                              int32_t triangleCount, MeshSideSum* sides) {
  *sides = MeshSideSum{0, false};
  SideFollower follower;
  const bool following = startFollowing(path, triangleCount, &follower);
  if (following) file->announce = &follower.progress;
  const int32_t written = writeTriangleBlocks(file, points, lines, triangles, triangleCount);
  file->announce = nullptr;
  stopFollowing(&follower);
  if (written != triangleFileOk) return written;
  if (!following) return sumLongestSides(file, triangleCount, sides);
  *sides = follower.sides;
  return follower.status;
}

int32_t writeTriangleSummary(MeshTriangleFile* file, int32_t triangleCount, const MeshSideSum& sides,
                             MeshAverage* average) {
  char summary[64];
  const size_t countDigits = appendDecimal(summary, triangleCount);
  size_t length = countDigits;
  summary[length++] = '\r';
  summary[length++] = '\n';

  *average = MeshAverage{0, sides.outOfRange};
  if (!average->outOfRange) {
    // 64-bit so that the one quotient beyond 32 bits (INT32_MIN / -1) is
    // caught instead of trapping.
    const int64_t quotient = triangleCount == 0 ? 0 : int64_t{sides.sum} / triangleCount;
    char* averageText = summary + length;
    const size_t averageLength = appendDecimal(averageText, quotient);
    if (quotient > std::numeric_limits<int32_t>::max() ||
        !headHoldsAverage(static_cast<int32_t>(countDigits), static_cast<int32_t>(averageLength))) {
      average->outOfRange = true;
    } else {
      average->value = static_cast<int32_t>(quotient);
      length += averageLength;
      summary[length++] = '\r';
      summary[length++] = '\n';
    }
  }
  // Within the placeholder, so that the first triangle line is never touched.
  assert(length <= static_cast<size_t>(triangleHeadBytes));
  const bool rewritten = rewriteTriangleHead(file, summary, length) == triangleFileOk;
  if (closeTriangleFile(file) != triangleFileOk || !rewritten) return triangleFileWriteFailed;
  return triangleFileOk;
}
