#include "output/two_decimals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string printfTwoDecimals(double value) {
  // glibc shows a NaN's sign; some other C libraries drop it.
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  char text[400];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string ownTwoDecimals(double value) {
  char text[400];
  const size_t length = formatTwoDecimals(value, text);
  EXPECT_LE(length, 330u);
  return std::string(text, length);
}

void expectSameAsPrintf(double value) {
  ASSERT_EQ(ownTwoDecimals(value), printfTwoDecimals(value)) << std::hexfloat << value;
}

}  // namespace

TEST(FormatTwoDecimals, MatchesPrintfOnChosenValues) {
  const double chosen[] = {
      0.0, -0.0, 1.0, -0.5, 0.125, 0.375, 0.625, -0.125, 2.675, 1.005, 0.005, 0.015, 0.025, -0.004,
      -0.005, -0.006, 0.004999999, 9.995, 99.995, 999.995, 1e15 + 0.005, 1e15, 123456789.125,
      0.01, 0.1, 0.29, 1e-300, -1e-300, 4.9e-324, 1e300, -1e300, 1e38, 1e22, 1e23, 1.7976931348623157e308,
      -1.7976931348623157e308, 4503599627370495.5, 9007199254740993.0, 90071992547409.92,
      std::nextafter(0x1p53 / 100.0, 0.0), std::nextafter(0x1p53 / 100.0, 1e300), -0x1p53 / 100.0,
      std::nextafter(-0x1p53 / 100.0, 0.0), 0x1p63 / 100.0, 0x1p64, 2147483647.0, -2147483648.0,
      HUGE_VAL, -HUGE_VAL, std::nan(""), -std::nan("")};
  for (double value : chosen) expectSameAsPrintf(value);
}

TEST(FormatTwoDecimals, MatchesPrintfOnTiesAndGrids) {
  // Eighths are exact binary ties at the third decimal; x.xx5 mostly are not.
  for (int k = -40000; k <= 40000; ++k) {
    expectSameAsPrintf(k / 8.0);
    expectSameAsPrintf(k / 1000.0);
    expectSameAsPrintf(k * 1.005);
    expectSameAsPrintf(1e12 + k / 8.0);
  }
  for (int k = 0; k < 2000; ++k) expectSameAsPrintf(static_cast<double>(k) * 1e10 + 0.005);
}

TEST(FormatTwoDecimals, MatchesPrintfOnRandomValuesAtEveryScale) {
  std::mt19937_64 rng(20240601);
  std::uniform_real_distribution<double> unit(1.0, 10.0);
  for (int exponent = -3; exponent <= 20; ++exponent) {
    for (int i = 0; i < 20000; ++i) {
      const double value = unit(rng) * std::pow(10.0, exponent);
      expectSameAsPrintf(value);
      expectSameAsPrintf(-value);
    }
  }
  for (int i = 0; i < 300; ++i) expectSameAsPrintf(unit(rng) * 1e299);
  // Arbitrary bit patterns, finite ones only, across the whole range.
  for (int i = 0; i < 100000; ++i) {
    const uint64_t bits = rng();
    double value;
    static_assert(sizeof value == sizeof bits);
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) expectSameAsPrintf(value);
  }
}
