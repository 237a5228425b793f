// The statistic on a triangle file of arbitrary bytes. The first input byte
// picks the mode:
//   0x00-0x7F  read-back: triangle count (byte & 0x7F) - 8, the rest is the
//              file; sumLongestSides must agree with an independent reading
//              of the same text, then writeTriangleSummary writes it.
//   0x80-0xFF  summary only: count and sum from the next 8 bytes (any 32-bit
//              values), out-of-range from bit 0, the rest is the file.
// Either way the summary must stay within bytes 0-15: everything from byte 16
// on is unchanged and the file keeps its length.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz_support.h"
#include "output/statistic.h"
#include "output/triangle_file.h"

namespace {

constexpr size_t kSummaryRoom = 16;

struct Expected {
  int64_t sum = 0;
  bool outOfRange = false;
};

float fieldValue(const std::string& text) { return static_cast<float>(std::strtod(text.c_str(), nullptr)); }

// x is the text before the first comma, y the text after it up to the next
// comma or the end of the line; a line without a comma is all x, y 0.
void cornerOf(const std::string& line, float* x, float* y) {
  const size_t first = line.find(',');
  if (first == std::string::npos) {
    *x = fieldValue(line);
    *y = 0.0f;
    return;
  }
  *x = fieldValue(line.substr(0, first));
  const size_t second = line.find(',', first + 1);
  *y = fieldValue(line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
}

// |p - q| truncated; false when it is too large for any side to fit 32 bits.
bool wholeDifference(float p, float q, int64_t* out) {
  const double difference = static_cast<double>(p) - static_cast<double>(q);
  if (!(std::fabs(difference) < 1e6)) return false;
  *out = static_cast<int64_t>(std::fabs(std::trunc(difference)));
  return true;
}

// Largest s with s * s <= n, by bisection.
int64_t integerRoot(int64_t n) {
  int64_t low = 0;
  int64_t high = 3037000499;  // floor(sqrt(2^63 - 1))
  while (low < high) {
    const int64_t mid = low + (high - low + 1) / 2;
    if (mid * mid <= n) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return low;
}

// The statistic of the text as a reader of the file sees it: CRs dropped,
// lines split at LF, the line after the last one empty.
Expected sumOfText(const std::string& bytes, int32_t count) {
  std::string text;
  for (char c : bytes) {
    if (c != '\r') text.push_back(c);
  }
  size_t at = text.find('\n');  // the placeholder line is skipped
  at = at == std::string::npos ? text.size() : at + 1;
  auto nextLine = [&]() {
    if (at >= text.size()) return std::string();
    const size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    return line;
  };
  Expected expected;
  for (int32_t k = 0; k < count; ++k) {
    float x[3];
    float y[3];
    for (int c = 0; c < 3; ++c) cornerOf(nextLine(), &x[c], &y[c]);
    int64_t longest = 0;
    for (int side = 0; side < 3; ++side) {
      const int from = side;
      const int to = (side + 1) % 3;
      int64_t dx = 0;
      int64_t dy = 0;
      if (!wholeDifference(x[from], x[to], &dx) || !wholeDifference(y[from], y[to], &dy) ||
          dx * dx + dy * dy > std::numeric_limits<int32_t>::max()) {
        expected.outOfRange = true;
        return expected;
      }
      longest = std::max(longest, integerRoot(dx * dx + dy * dy));
    }
    expected.sum += longest;
    if (expected.sum > std::numeric_limits<int32_t>::max()) {
      expected.outOfRange = true;
      return expected;
    }
  }
  return expected;
}

std::string overlay(std::string bytes, const std::string& head) {
  if (bytes.size() < head.size()) bytes.resize(head.size());
  bytes.replace(0, head.size(), head);
  return bytes;
}

int32_t readInt32(const uint8_t* at) {
  uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | at[i];
  int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool summaryOnly = (data[0] & 0x80) != 0;
  if (summaryOnly && size < 9) return 0;
  const size_t headerBytes = summaryOnly ? 9 : 1;
  const std::string before(reinterpret_cast<const char*>(data + headerBytes), size - headerBytes);

  static const MemoryFile target = makeMemoryFile("tsvmesh-triangles");
  QuietConsole quiet;
  MeshTriangleFile file;
  FUZZ_CHECK(createTriangleFile(target.path.c_str(), &file) == triangleFileOk, "create");
  FUZZ_CHECK(before.empty() || pwrite(static_cast<int>(file.handle), before.data(), before.size(), 0) ==
                                   static_cast<ssize_t>(before.size()),
             "fill");

  int32_t count;
  MeshSideSum sides{0, false};
  if (summaryOnly) {
    count = readInt32(data + 1);
    sides.sum = readInt32(data + 5);
    sides.outOfRange = (data[0] & 1) != 0;
  } else {
    count = static_cast<int32_t>(data[0] & 0x7F) - 8;
    FUZZ_CHECK(sumLongestSides(&file, count, &sides) == triangleFileOk, "read back");
    const Expected expected = sumOfText(before, count);
    FUZZ_CHECK(sides.outOfRange == expected.outOfRange, "out of range: got " +
                                                            std::to_string(sides.outOfRange));
    if (!expected.outOfRange) {
      FUZZ_CHECK(sides.sum == expected.sum,
                 "sum " + std::to_string(sides.sum) + ", expected " + std::to_string(expected.sum));
    }
  }
  MeshAverage written{0, false};
  FUZZ_CHECK(writeTriangleSummary(&file, count, sides, &written) == triangleFileOk, "summary");

  const std::string after = memoryFileBytes(target);
  const std::string countLine = std::to_string(count) + "\r\n";
  const int64_t average = count == 0 ? 0 : int64_t{sides.sum} / count;
  const std::string averageLine = std::to_string(average) + "\r\n";
  const bool averageFits = !sides.outOfRange && average <= std::numeric_limits<int32_t>::max() &&
                           countLine.size() + averageLine.size() <= kSummaryRoom;
  const std::string head = averageFits ? countLine + averageLine : countLine;
  FUZZ_CHECK(head.size() <= kSummaryRoom, "summary longer than the placeholder");
  FUZZ_CHECK(written.outOfRange == !averageFits && (!averageFits || written.value == average),
             "average given back");
  FUZZ_CHECK(after == overlay(before, head), "file after the summary: count " + std::to_string(count) +
                                                 ", sum " + std::to_string(sides.sum));
  return 0;
}
