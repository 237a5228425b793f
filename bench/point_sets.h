// Point sets for the benchmarks, shared by the in-memory cases and the
// points file generator so that both measure the same shapes of input.
//
// Coordinates are kept as whole micro-units (six decimals): the generator
// prints them exactly, and the in-memory cases convert them to the very
// doubles that reading the printed text would give.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

enum BenchPointSet : int32_t {
  benchUniform = 0,    // x, y, z uniform in 0 .. 1000
  benchGrid = 1,       // whole-number lattice side x side, row by row
  benchClustered = 2,  // Gaussian blobs of very different density
  benchTerrain = 3,    // uniform x, y; z a landscape of hills and a valley, in hundredths
  benchJittered = 4,   // the lattice of benchGrid, each point moved by up to 1e-4
};

struct BenchMicroPoint {
  int64_t x;
  int64_t y;
  int64_t z;
};

inline constexpr int64_t benchMicroPerUnit = 1000000;
inline constexpr int64_t benchMicroRange = 1000 * benchMicroPerUnit;

// The double nearest to micro / 10^6. Both operands are exact doubles and the
// division rounds once, so this is what strtod makes of the printed text.
inline double benchMicroToDouble(int64_t micro) {
  return static_cast<double>(micro) / static_cast<double>(benchMicroPerUnit);
}

// Writes micro (0 .. 1000 units) as "units.dddddd" and returns its length.
inline size_t benchFormatMicro(int64_t micro, char* out) {
  char digits[24];
  int64_t units = micro / benchMicroPerUnit;
  int64_t fraction = micro % benchMicroPerUnit;
  size_t length = 0;
  do {
    digits[length++] = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units > 0);
  size_t written = 0;
  while (length > 0) out[written++] = digits[--length];
  out[written++] = '.';
  for (int i = 5; i >= 0; --i) {
    out[written + static_cast<size_t>(i)] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return written + 6;
}

// Fills points with count points of the given set. A grid takes the largest
// side whose square does not exceed count. Fixed seed: the same call gives
// the same points on every run of the same build.
inline void makeBenchPoints(int32_t set, int32_t count, uint64_t seed,
                            std::vector<BenchMicroPoint>* points) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int64_t> anywhere(0, benchMicroRange);
  points->clear();

  if (set == benchGrid || set == benchJittered) {
    // +-100 micro-units: every point off the lattice, none off its cell.
    std::uniform_int_distribution<int64_t> jitter(-100, 100);
    int32_t side = static_cast<int32_t>(std::sqrt(static_cast<double>(count)));
    while (static_cast<int64_t>(side + 1) * (side + 1) <= count) ++side;
    while (side > 0 && static_cast<int64_t>(side) * side > count) --side;
    points->reserve(static_cast<size_t>(side) * static_cast<size_t>(side));
    for (int32_t row = 0; row < side; ++row) {
      for (int32_t column = 0; column < side; ++column) {
        if (set == benchGrid) {
          points->push_back({column * benchMicroPerUnit, row * benchMicroPerUnit, anywhere(random)});
        } else {
          // No coordinate below 0: the first row and column move only inward.
          const int64_t x = column * benchMicroPerUnit + jitter(random);
          const int64_t y = row * benchMicroPerUnit + jitter(random);
          points->push_back({x < 0 ? -x : x, y < 0 ? -y : y, anywhere(random)});
        }
      }
    }
    return;
  }

  points->reserve(static_cast<size_t>(std::max(count, 0)));
  if (set == benchClustered) {
    // Fifty blobs with spreads from 2 to 40 units: dense cores, sparse gaps
    // between them, and many points that share a circumcircle test region.
    constexpr int blobCount = 50;
    struct Blob {
      double x, y, sigma;
    };
    Blob blobs[blobCount];
    std::uniform_real_distribution<double> centre(100.0, 900.0);
    std::uniform_real_distribution<double> spread(2.0, 40.0);
    for (Blob& blob : blobs) blob = {centre(random), centre(random), spread(random)};
    std::uniform_int_distribution<int> pick(0, blobCount - 1);
    std::normal_distribution<double> normal(0.0, 1.0);
    while (static_cast<int32_t>(points->size()) < count) {
      const Blob& blob = blobs[pick(random)];
      const double x = std::nearbyint((blob.x + blob.sigma * normal(random)) * benchMicroPerUnit);
      const double y = std::nearbyint((blob.y + blob.sigma * normal(random)) * benchMicroPerUnit);
      // Outside the square is thrown away, never clamped: clamping would
      // pile points on the border lines.
      if (!(x >= 0.0 && x <= static_cast<double>(benchMicroRange))) continue;
      if (!(y >= 0.0 && y <= static_cast<double>(benchMicroRange))) continue;
      points->push_back({static_cast<int64_t>(x), static_cast<int64_t>(y), anywhere(random)});
    }
    return;
  }

  if (set == benchTerrain) {
    // Twelve round hills on a plane tilted toward the south-west, cut by a
    // winding valley; every value rounded to hundredths, as a survey gives.
    struct Hill {
      double x, y, height, spread;
    };
    Hill hills[12];
    std::uniform_real_distribution<double> place(0.0, 1000.0);
    std::uniform_real_distribution<double> rise(20.0, 120.0);
    std::uniform_real_distribution<double> width(60.0, 220.0);
    for (Hill& hill : hills) hill = {place(random), place(random), rise(random), width(random)};
    constexpr int64_t hundredth = benchMicroPerUnit / 100;
    std::uniform_int_distribution<int64_t> spot(0, benchMicroRange / hundredth);
    for (int32_t i = 0; i < count; ++i) {
      const int64_t x = spot(random) * hundredth;
      const int64_t y = spot(random) * hundredth;
      const double ux = benchMicroToDouble(x);
      const double uy = benchMicroToDouble(y);
      double z = 150.0 + 0.08 * ux + 0.05 * uy;
      for (const Hill& hill : hills) {
        const double dx = ux - hill.x;
        const double dy = uy - hill.y;
        z += hill.height * std::exp(-(dx * dx + dy * dy) / (2.0 * hill.spread * hill.spread));
      }
      const double bank = uy - (500.0 + 150.0 * std::sin(ux / 160.0));
      z -= 45.0 * std::exp(-bank * bank / (2.0 * 40.0 * 40.0));
      points->push_back({x, y, static_cast<int64_t>(std::nearbyint(std::max(z, 0.0) * 100.0)) * hundredth});
    }
    return;
  }

  for (int32_t i = 0; i < count; ++i) {
    const int64_t x = anywhere(random);
    const int64_t y = anywhere(random);
    points->push_back({x, y, anywhere(random)});
  }
}

// Writes a points file: csvPath on the first line, then "x\ty\tz" with six
// decimals and LF line ends. False when the file cannot be written.
inline bool writeBenchPointsFile(const char* path, const char* csvPath,
                                 const std::vector<BenchMicroPoint>& points) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  // One line is at most 3 * 11 + 3 bytes; filling a 1 MiB block by hand
  // keeps the formatting free of stdio's per-call cost.
  std::vector<char> block(size_t{1} << 20);
  size_t used = 0;
  bool ok = std::fputs(csvPath, out) >= 0 && std::fputc('\n', out) != EOF;
  for (const BenchMicroPoint& p : points) {
    char* line = block.data() + used;
    size_t length = benchFormatMicro(p.x, line);
    line[length++] = '\t';
    length += benchFormatMicro(p.y, line + length);
    line[length++] = '\t';
    length += benchFormatMicro(p.z, line + length);
    line[length++] = '\n';
    used += length;
    if (used > block.size() - 64) {
      ok = ok && std::fwrite(block.data(), 1, used, out) == used;
      used = 0;
    }
  }
  ok = ok && std::fwrite(block.data(), 1, used, out) == used;
  return std::fclose(out) == 0 && ok;
}
