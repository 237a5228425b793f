// The points file on arbitrary bytes, read twice: through openPointsFile as a
// run reads it, and through a buffer of a few bytes that makes every line and
// every number straddle refills. Both readings must give what glibc's
// fscanf("%lf %lf %lf") gives on the same text: the same path, the same count
// from countPoints and readPoints, and bit-identical finite coordinates.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "input/points_file.h"

namespace {

struct Reading {
  std::string path;
  std::vector<MeshPoint> points;
};

// The oracle: the bytes as text (CRs dropped, nothing from a 0x1A on), the
// first line as the path, then groups for as long as fscanf converts all
// three numbers and all three are finite.
Reading readWithScanf(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
    if (data[i] != '\r') text.push_back(static_cast<char>(data[i]));
  }
  Reading reading;
  const size_t lineEnd = text.find('\n');
  reading.path = text.substr(0, lineEnd);
  if (lineEnd == std::string::npos) return reading;
  std::string rest = text.substr(lineEnd + 1);
  FILE* stream = fmemopen(rest.data(), rest.size(), "r");
  FUZZ_CHECK(stream != nullptr, "fmemopen");
  MeshPoint p{};
  while (std::fscanf(stream, "%lf %lf %lf", &p.x, &p.y, &p.z) == 3 && std::isfinite(p.x) &&
         std::isfinite(p.y) && std::isfinite(p.z)) {
    reading.points.push_back(p);
  }
  std::fclose(stream);
  return reading;
}

std::string describe(const char* how, const std::string& detail) { return std::string(how) + ": " + detail; }

// The run's sequence on one open file, checked step by step; closes it.
void readLikeARun(MeshPointsFile* file, const Reading& expected, const char* how) {
  std::string path;
  readOutputPath(file, &path);
  FUZZ_CHECK(path == expected.path, describe(how, "path"));

  const int32_t counted = countPoints(file);
  const int32_t wanted = static_cast<int32_t>(expected.points.size());
  FUZZ_CHECK(counted == wanted,
             describe(how, "counted " + std::to_string(counted) + ", fscanf " + std::to_string(wanted)));

  // Exactly the counted size: ASan sees a store past it.
  std::vector<MeshPoint> table(static_cast<size_t>(counted));
  const int32_t stored = readPoints(file, table.data(), counted);
  FUZZ_CHECK(stored == counted, describe(how, "stored " + std::to_string(stored)));
  for (int32_t i = 0; i < stored; ++i) {
    const MeshPoint& got = table[static_cast<size_t>(i)];
    FUZZ_CHECK(std::isfinite(got.x) && std::isfinite(got.y) && std::isfinite(got.z),
               describe(how, "point " + std::to_string(i) + " not finite"));
    FUZZ_CHECK(std::memcmp(&got, &expected.points[static_cast<size_t>(i)], sizeof got) == 0,
               describe(how, "point " + std::to_string(i) + " differs"));
  }

  // A second pass into a smaller table stops at its capacity.
  if (counted > 0) {
    std::vector<MeshPoint> shorter(static_cast<size_t>(counted - 1));
    FUZZ_CHECK(readPoints(file, shorter.data(), counted - 1) == counted - 1,
               describe(how, "capacity not respected"));
  }
  closePointsFile(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MemoryFile input = makeMemoryFile("tsvmesh-points");
  fillMemoryFile(input, data, size);
  const Reading expected = readWithScanf(data, size);

  MeshPointsFile file;
  FUZZ_CHECK(openPointsFile(input.path.c_str(), &file) == pointsFileOk, "open");
  readLikeARun(&file, expected, "whole buffer");

  // The same file through a buffer of 1 to 29 bytes, set up as openPointsFile
  // would set it up for a file larger than its buffer.
  MeshPointsFile tiny;
  tiny.handle = open(input.path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(tiny.handle >= 0, "reopen");
  tiny.capacity = 1 + size % 29;
  tiny.data = static_cast<char*>(std::malloc(tiny.capacity));
  FUZZ_CHECK(tiny.data != nullptr, "malloc");
  readLikeARun(&tiny, expected, "tiny buffer");
  return 0;
}
