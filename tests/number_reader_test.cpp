// The number scanner (input/number_scanner) against glibc itself: the
// reference reader below runs fscanf("%lf %lf %lf") over the text exactly as
// the reading is described, and every generated file must read the same
// through the points file and its scanner, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "input/points_file.h"
#include "test_support.h"

namespace {

// A file in memory with a path that opens it afresh: thousands of small
// files go through it without a disk file system's truncation cost.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("points", 0)) {
    if (fd_ < 0) throw std::runtime_error("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& path() const { return path_; }
  void write(const std::string& bytes) {
    if (ftruncate(fd_, 0) != 0 ||
        pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("memfd write failed");
    }
  }

 private:
  int fd_;
  std::string path_;
};



// Text mode by hand, the first line by find, the points by glibc's fscanf.
ReadResult referenceRead(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    if (c == '\x1A') break;
    if (c != '\r') text += c;
  }
  ReadResult result;
  result.status = pointsFileOk;
  const size_t lineEnd = text.find('\n');
  result.path = text.substr(0, lineEnd);
  const std::string rest = lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
  if (!rest.empty()) {
    std::string copy = rest;
    FILE* stream = fmemopen(copy.data(), copy.size(), "r");
    if (stream == nullptr) throw std::runtime_error("fmemopen failed");
    double x, y, z;
    while (std::fscanf(stream, "%lf %lf %lf", &x, &y, &z) == 3 && std::isfinite(x) &&
           std::isfinite(y) && std::isfinite(z)) {
      result.points.push_back(MeshPoint{x, y, z});
    }
    std::fclose(stream);
  }
  result.counted = static_cast<int32_t>(result.points.size());
  return result;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Compares everything the two readers give; the message names the input.
void expectSameReading(const std::string& bytes, const ReadResult& got, const ReadResult& want) {
  SCOPED_TRACE("file bytes: \"" + bytes.substr(0, 200) + "\"");
  ASSERT_EQ(got.status, want.status);
  EXPECT_EQ(got.path, want.path);
  EXPECT_EQ(got.counted, want.counted);
  ASSERT_EQ(got.points.size(), want.points.size());
  for (size_t i = 0; i < got.points.size(); ++i) {
    EXPECT_TRUE(sameBits(got.points[i].x, want.points[i].x) &&
                sameBits(got.points[i].y, want.points[i].y) &&
                sameBits(got.points[i].z, want.points[i].z))
        << "point " << i << ": got (" << got.points[i].x << ", " << got.points[i].y << ", "
        << got.points[i].z << ") want (" << want.points[i].x << ", " << want.points[i].y << ", "
        << want.points[i].z << ")";
  }
}

class TextMaker {
 public:
  explicit TextMaker(uint32_t seed) : random_(seed) {}

  // A stretch of number-like text: well-formed and broken numbers of every
  // form scanf knows, loose letters, and separators, glued together.
  std::string soup() {
    std::string text;
    const int pieces = pick(1, 7);
    for (int i = 0; i < pieces; ++i) {
      switch (pick(0, 9)) {
        case 0: case 1: case 2: case 3: text += decimal(); break;
        case 4: case 5: text += hexadecimal(); break;
        case 6: text += special(); break;
        case 7: text += junk(); break;
        default: text += decimal(); text += junk(); break;
      }
      text += separator();
    }
    return text;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }
  char oneOf(const char* set) { return set[pick(0, static_cast<int>(std::strlen(set)) - 1)]; }
  std::string digits(int most, const char* set = "0123456789") {
    std::string text;
    for (int count = pick(0, most); count > 0; --count) text += oneOf(set);
    return text;
  }
  std::string sign() { return chance(30) ? std::string(1, oneOf("+-")) : std::string(); }

  std::string decimal() {
    std::string text = sign();
    text += digits(chance(10) ? 40 : 6);
    if (chance(50)) {
      text += '.';
      text += digits(chance(10) ? 30 : 7);
    }
    if (chance(35)) {
      text += oneOf("eE");
      text += sign();
      text += chance(10) ? "99999" : digits(3);
      if (chance(5)) text += "0000000000000000000000400";
    }
    return text;
  }
  std::string hexadecimal() {
    std::string text = sign();
    text += '0';
    text += oneOf("xX");
    text += digits(chance(10) ? 20 : 5, "0123456789abcdefABCDEF");
    if (chance(40)) {
      text += '.';
      text += digits(4, "0123456789abcdefABCDEF");
    }
    if (chance(50)) {
      text += oneOf("pP");
      text += sign();
      text += chance(5) ? "1100" : digits(3);
    }
    return text;
  }
  std::string special() {
    static const char* const words[] = {"inf", "infinity", "nan", "nan(123)", "nan()", "in", "infin",
                                        "infinit", "na", "infx", "nanx", "i", "n", "nan(abc_1"};
    std::string text = sign();
    text += words[pick(0, 13)];
    for (char& c : text) {
      if (chance(30) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
  }
  std::string junk() { return digits(3, "0123456789+-.eExXpPabcfinty(),_"); }
  std::string separator() {
    static const char* const gaps[] = {" ", " ", "\t", "\n", "  ", "", ",", "\v\f", " \r\n", "\r"};
    return gaps[pick(0, 9)];
  }

  std::mt19937 random_;
};

}  // namespace

// Each soup is read after three different lead-ins, so that its first
// number lands in each of the three places of a group: the number of
// conversions of the soup's start then shows in the points taken.
TEST(NumberReaderVersusGlibc, GeneratedTextsReadAsFscanfReadsThem) {
  MemoryFile file;
  TextMaker maker(20240607);
  size_t pointsSeen = 0;
  for (int round = 0; round < 8000; ++round) {
    const std::string soup = maker.soup();
    for (const char* leadIn : {"", "1 ", "1 2 "}) {
      const std::string bytes = "out.csv\n" + std::string(leadIn) + soup;
      file.write(bytes);
      const ReadResult want = referenceRead(bytes);
      expectSameReading(bytes, readPointsFileAt(file.path()), want);
      if (HasFailure()) return;
      pointsSeen += want.points.size();
    }
  }
  // The soups must not all fail at their first number.
  EXPECT_GT(pointsSeen, 5000u);
}

// Hand-picked texts where scanf's one byte of push-back shows: what it has
// taken stays taken, and what strtod makes of it is the number.
TEST(NumberReaderVersusGlibc, ScanfQuirksMatch) {
  MemoryFile file;
  const char* const texts[] = {
      "1e 2 3",       "1e+ 2 3",      "1e+x 2 3",     "1e5e 1 2",  "1.5.5 2",      "0x 1 2 3",
      "0x. 1 2",      "0x.p1 2 3",    "0xp1 2 3",     "0x1p 1 2",  "0x1e+2 1 2",   "00x1 1 2",
      "-.e 1 2 3",    "- 1 2 3",      "+-1 1 2 3",    ".5 1 2",    "0X1P-2 1 2",   "1e+-5 1 2",
      "nan(12) 2 3",  "infinity 2 3", "infin 2 3 4",  "inf 2 3",   "1 2 -0",       "-0x0p0 -0 +0",
      "1e-400 2 3",   "4.9e-324 1 1", "2.4703282292062327e-324 1 1", "1e400 2 3",
      "0.1000000000000000055511151231257827021181583404541015625 2 3",
      "9007199254740993 2 3",         "1.7976931348623158e308 0 0",  "1.7976931348623159e308 0 0",
      "0x1.fffffffffffff8p1023 0 0",  "0x1.00000000000008p0 0 0",    "0x1.000000000000081p0 0 0",
  };
  for (const char* text : texts) {
    const std::string bytes = std::string("p\n") + text + "\n";
    file.write(bytes);
    expectSameReading(bytes, readPointsFileAt(file.path()), referenceRead(bytes));
  }
}

// The reading buffer is a fixed size: the first line's length shifts where
// its end falls, so over the shifts every byte of the numbers around it
// meets the boundary, including the odd forms and CRs that vanish.
TEST(NumberReaderVersusGlibc, NumbersAcrossTheBufferBoundaryReadWhole) {
  MemoryFile file;
  const char* const numbers[] = {"12.5",       "-0.000123", "1e-5",     "0x1.8p3",
                                 "+7",         "123456789012345678901234567890", "4.9e-324",
                                 "-0",         "987.654321", "0X.ABCp-3", "3.14159265358979323846",
                                 "6E+2"};
  std::string body;
  size_t next = 0;
  while (body.size() < (size_t{1} << 20) + (size_t{1} << 17)) {
    for (int k = 0; k < 3; ++k) {
      body += numbers[next++ % (sizeof numbers / sizeof numbers[0])];
      body += k < 2 ? "\t" : (next % 7 == 0 ? "\r\n" : "\n");
    }
  }
  // Only the first line changes with the shift, so the points stay those of
  // one reference reading.
  const ReadResult want = referenceRead("out.csv\n" + body);
  ASSERT_GT(want.points.size(), 30000u);
  for (int shift = 0; shift < 40; ++shift) {
    ReadResult shifted = want;
    shifted.path = "out" + std::string(static_cast<size_t>(shift), 'x') + ".csv";
    file.write(shifted.path + "\n" + body);
    SCOPED_TRACE("shift " + std::to_string(shift));
    expectSameReading("(large file)", readPointsFileAt(file.path()), shifted);
    if (HasFailure()) return;
  }
}
