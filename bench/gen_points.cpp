// Writes a points file for the benchmark runs:
//   tsvmesh_gen_points uniform|grid|jittered|clustered|terrain COUNT POINTS.tsv CSV_PATH [SEED]
// The first line is CSV_PATH, then one point a line, "x\ty\tz" with six
// decimals, LF line ends. A grid takes the largest square not above COUNT.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "point_sets.h"

namespace {

int usage() {
  std::fputs("usage: tsvmesh_gen_points uniform|grid|jittered|clustered|terrain COUNT POINTS.tsv CSV_PATH [SEED]\n",
             stderr);
  return 2;
}

bool parseNumber(const char* text, long long high, long long* value) {
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < 0 || parsed > high) return false;
  *value = parsed;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 6) return usage();
  int32_t set = -1;
  if (std::strcmp(argv[1], "uniform") == 0) set = benchUniform;
  if (std::strcmp(argv[1], "grid") == 0) set = benchGrid;
  if (std::strcmp(argv[1], "clustered") == 0) set = benchClustered;
  if (std::strcmp(argv[1], "terrain") == 0) set = benchTerrain;
  if (std::strcmp(argv[1], "jittered") == 0) set = benchJittered;
  long long count = 0;
  long long seed = 20240601;
  if (set < 0 || !parseNumber(argv[2], INT32_MAX, &count)) return usage();
  if (argc == 6 && !parseNumber(argv[5], INT64_MAX, &seed)) return usage();

  std::vector<BenchMicroPoint> points;
  makeBenchPoints(set, static_cast<int32_t>(count), static_cast<uint64_t>(seed), &points);
  if (!writeBenchPointsFile(argv[3], argv[4], points)) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
