// Writes a breaklines file for the constrained triangulation benchmarks:
//   tsvmesh_gen_breaklines SEGMENTS BREAKLINES.txt [SEED]
// Polylines of 200 segments across the 1000 x 1000 square of the points
// files, each x-monotone in a horizontal band of its own, so that none
// crosses another; one "x y z" vertex a line, a blank line between.
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fputs("usage: tsvmesh_gen_breaklines SEGMENTS BREAKLINES.txt [SEED]\n", stderr);
    return 2;
  }
  const long segments = std::strtol(argv[1], nullptr, 10);
  if (segments < 1 || segments > 10000000) {
    std::fputs("tsvmesh_gen_breaklines: SEGMENTS must be 1 .. 10000000\n", stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::mt19937_64 random(argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const long perLine = 200;
  const long lines = (segments + perLine - 1) / perLine;
  const double band = 1000.0 / static_cast<double>(lines);
  long left = segments;
  for (long k = 0; k < lines; ++k) {
    const long count = left < perLine ? left : perLine;
    left -= count;
    const double step = 1000.0 / static_cast<double>(count + 1);
    for (long i = 0; i <= count; ++i) {
      const double x = step * (static_cast<double>(i) + 0.2 + 0.6 * unit(random));
      const double y = band * (static_cast<double>(k) + 0.1 + 0.8 * unit(random));
      std::fprintf(out, "%.6f %.6f %.3f\n", x, y, 100.0 * unit(random));
    }
    std::fputs("\n", out);
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
