#include "output/two_decimals.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "mesh/wide.h"

namespace {

// Below this magnitude 100 * value rounds to an integer under 2^53, so the
// text can be produced from a 64-bit integer.
constexpr double fastFormatLimit = 0x1p53 / 100.0;

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The magnitude's digits, written backwards so that they end at end:
// returns where they start.
char* hundredthsBackwards(unsigned long long rest, char* end) {
  char* p = end;
  const unsigned fraction = static_cast<unsigned>(rest % 100);
  rest /= 100;
  p -= 2;
  std::memcpy(p, digitPairs + 2 * fraction, 2);
  *--p = '.';
  while (rest >= 100) {
    p -= 2;
    std::memcpy(p, digitPairs + 2 * (rest % 100), 2);
    rest /= 100;
  }
  if (rest >= 10) {
    p -= 2;
    std::memcpy(p, digitPairs + 2 * rest, 2);
  } else {
    *--p = static_cast<char>('0' + rest);
  }
  return p;
}

}  // namespace

size_t formatTwoDecimals(double value, char* out) {
  if (std::fabs(value) < fastFormatLimit) {
    // 100 * value is exact in the 64-bit significand, so rounding it to an
    // integer (ties to even) is rounding the exact decimal value, as printf
    // does. Adding and taking away 1.5 * 2^63 rounds it in two instructions:
    // the sum's last significand bit is the units place.
    const Wide scaled = static_cast<Wide>(value) * static_cast<Wide>(100.0);
    constexpr Wide roundingShift = 0x1.8p63;
    // The integer is below 2^53: converting it through double is exact and
    // spares x87 its slow switch of rounding mode for the truncation. The
    // sums must be rounded to 64 bits, as Wide rounds them.
    const double whole = static_cast<double>((scaled + roundingShift) - roundingShift);
    const long long hundredths = static_cast<long long>(whole);
    const unsigned long long magnitude = hundredths < 0 ? 0ull - static_cast<unsigned long long>(hundredths)
                                                        : static_cast<unsigned long long>(hundredths);
    char digits[24];
    const char* start = hundredthsBackwards(magnitude, digits + sizeof digits);
    char* o = out;
    if (std::signbit(value)) *o++ = '-';
    const size_t length = static_cast<size_t>(digits + sizeof digits - start);
    std::memcpy(o, start, length);
    return static_cast<size_t>(o - out) + length;
  }
  const std::to_chars_result done =
      std::to_chars(out, out + longestTwoDecimalsText, value, std::chars_format::fixed, 2);
  return static_cast<size_t>(done.ptr - out);
}
