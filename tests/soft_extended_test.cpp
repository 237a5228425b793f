// SoftExtended against x87's own long double, bit for bit: random operands
// over x87's whole range and the double's, with the hard cases made common.
// TSVMESH_ORACLE_OPERATIONS sets the number of operations (default 3e6).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

#include "mesh/soft_extended.h"

namespace {

struct Bits {
  uint64_t significand;
  uint32_t signAndExponent;
  bool operator==(const Bits&) const = default;
};

Bits bitsOf(long double v) {
  Bits b{0, 0};
  std::memcpy(&b.significand, &v, 8);
  std::memcpy(&b.signAndExponent, reinterpret_cast<const char*>(&v) + 8, 2);
  return b;
}

// x87's encoding of a SoftExtended: a biased exponent, its subnormals unnormalized.
Bits bitsOf(SoftExtended s) {
  const uint32_t sign = s.negative << 15;
  if (s.significand == 0) return {0, sign};
  if (s.exponent == softSpecialExponent) return {s.significand, sign | 0x7FFF};
  if (s.exponent < softMinNormalExponent) return {s.significand >> (softMinNormalExponent - s.exponent), sign};
  return {s.significand, sign | static_cast<uint32_t>(s.exponent + 16383)};
}

long double nativeOf(SoftExtended s) {
  const Bits b = bitsOf(s);
  long double v = 0;
  std::memcpy(&v, &b.significand, 8);
  std::memcpy(reinterpret_cast<char*>(&v) + 8, &b.signAndExponent, 2);
  return v;
}

uint64_t doubleBits(double d) { return std::bit_cast<uint64_t>(d); }

struct Random {
  uint64_t state;
  uint64_t next() {  // splitmix64
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int32_t below(int32_t n) { return static_cast<int32_t>(next() % static_cast<uint64_t>(n)); }
};

// Significands with long runs of equal bits and ends like 100...0 and
// 011...1 at the 53rd and 64th bits, where ties and carries happen.
uint64_t significand(Random& r) {
  uint64_t m = r.next();
  switch (r.below(7)) {
    case 0: m &= ~uint64_t{0} << r.below(64); break;
    case 5: m = (uint64_t{1} << r.below(64)) | static_cast<uint64_t>(r.below(2)); break;
    case 1: m |= (uint64_t{1} << r.below(64)) - 1; break;
    case 2: m = (m & ~uint64_t{0x7FF}) | (0x400 + static_cast<uint64_t>(r.below(3)) - 1); break;
    case 3: m = (m & ~uint64_t{0xFFF}) | 0x3FF; break;
    default: break;
  }
  return m | softTopBit;
}

// Exponents spread over x87's range, crowded near the double's ends and 0.
int32_t exponent(Random& r) {
  switch (r.below(6)) {
    case 0: return r.below(32800) - 16445;
    case 5: return -8223 - r.below(3);  // squares at the bottom of x87's subnormals
    case 1: return 1024 - r.below(4);
    case 2: return -1022 - r.below(56);
    case 3: return 16383 - r.below(70);
    default: return r.below(130) - 65;
  }
}

// A value x87 can hold: within its range, no bits below its subnormals' last.
SoftExtended fit(uint64_t m, int32_t e, uint32_t sign) {
  e = std::min(std::max(e, softMinNormalExponent - 63), softMaxExponent);
  if (e < softMinNormalExponent) m &= ~uint64_t{0} << (softMinNormalExponent - e);
  return {m, e, sign};
}

SoftExtended operand(Random& r, const SoftExtended& other) {
  const uint32_t sign = static_cast<uint32_t>(r.next() & 1);
  switch (r.below(16)) {
    case 0: return {0, softZeroExponent, sign};
    case 1: return {softTopBit, softSpecialExponent, sign};
    case 2: return {softTopBit | (softTopBit >> 1) | (r.next() % 3), softSpecialExponent, sign};
    case 3: return SoftExtended(std::bit_cast<double>(r.next()));  // any double, subnormals too
    case 4:  // near the other operand: cancellation, ties after alignment
      if (other.significand != 0 && other.exponent != softSpecialExponent) {
        static const int32_t gaps[] = {0, 1, 2, 11, 52, 53, 54, 63, 64, 65, 66, 127, 128};
        const uint64_t m = r.below(2) == 0 ? other.significand + static_cast<uint64_t>(r.below(5)) - 2
                                           : significand(r);
        return fit(m | softTopBit, other.exponent - (r.below(2) == 0 ? gaps[r.below(13)] : r.below(70)), sign);
      }
      break;
    default: break;
  }
  const int32_t e = r.below(8) == 0 ? softMinNormalExponent - r.below(64) : exponent(r);
  return fit(significand(r), e, sign);
}

std::string show(SoftExtended v) {
  const Bits b = bitsOf(v);
  std::ostringstream text;
  text << std::hex << b.signAndExponent << ":" << b.significand;
  return text.str();
}

// Every operation on a and b, and each result taken to double, as x87 does them.
testing::AssertionResult agree(SoftExtended a, SoftExtended b) {
  const long double na = nativeOf(a);
  const long double nb = nativeOf(b);
  const SoftExtended soft[] = {a + b, a - b, a * b, a / b, -a, softAbs(b)};
  const long double native[] = {na + nb, na - nb, na * nb, na / nb, -na, std::fabs(nb)};
  const bool order[] = {a == b, a < b, a <= b, a > b, a >= b};
  const bool nativeOrder[] = {na == nb, na < nb, na <= nb, na > nb, na >= nb};
  for (int k = 0; k < 6; ++k) {
    if (bitsOf(soft[k]) != bitsOf(native[k]) ||
        doubleBits(static_cast<double>(soft[k])) != doubleBits(static_cast<double>(native[k])) ||
        (k < 5 && order[k] != nativeOrder[k])) {
      return testing::AssertionFailure() << "operation " << k << " on " << show(a) << " " << show(b)
                                         << " gave " << show(soft[k]);
    }
  }
  return testing::AssertionSuccess();
}

bool haveOracle() {
  return std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384;
}

}  // namespace

TEST(SoftExtendedOracle, RandomOperandsMatchX87BitForBit) {
  if (!haveOracle()) GTEST_SKIP() << "long double is not x87's type here: no oracle";
  const char* setting = std::getenv("TSVMESH_ORACLE_OPERATIONS");
  const long long operations = setting != nullptr ? std::atoll(setting) : 3000000;
  Random r{12};
  SoftExtended previous(1.0);
  for (long long done = 0; done < operations; done += 12) {  // 6 results, 6 conversions
    const SoftExtended a = operand(r, previous);
    const SoftExtended b = operand(r, a);
    previous = b;
    // Both x87 values, so the encodings agree both ways.
    ASSERT_EQ(bitsOf(nativeOf(a)), bitsOf(a)) << show(a);
    ASSERT_TRUE(agree(a, b));
    const double d = std::bit_cast<double>(r.next());
    ASSERT_EQ(bitsOf(SoftExtended(d)), bitsOf(static_cast<long double>(d))) << d;
  }
}

// Every pair of significands and exponents at the edges: the sticky bit of a
// far smaller operand under a power of two, the ends of the double's range
// and of x87's, the squares and quotients landing on x87's last subnormal.
TEST(SoftExtendedOracle, ThresholdsMatchX87BitForBit) {
  if (!haveOracle()) GTEST_SKIP() << "long double is not x87's type here: no oracle";
  const uint64_t significands[] = {softTopBit, softTopBit + 1, softTopBit + 0x400, softTopBit + 0xC00,
                                   softTopBit | (softTopBit >> 1), ~uint64_t{0}, ~uint64_t{0x7FF}};
  const int32_t exponents[] = {-16445, -16444, -16383, -16382, -8224, -8223, -8222, -1075, -1074, -1023,
                               -1022, -64, -63, -1, 0, 1, 62, 63, 64, 65, 126, 127, 128, 1023, 1024,
                               8191, 8192, 16383};
  std::vector<SoftExtended> values;
  for (const uint64_t m : significands) {
    for (const int32_t e : exponents) {
      for (const uint32_t sign : {0u, 1u}) values.push_back(fit(m, e, sign));
    }
  }
  for (const SoftExtended& a : values) {
    for (const SoftExtended& b : values) ASSERT_TRUE(agree(a, b));
  }
}

// Runs everywhere: x87's double rounding, worked out by hand.
TEST(SoftExtendedTest, RoundsTwiceOnTheWayToDouble) {
  // 1 + 2^-53 + 2^-64 is a tie at the 64th bit, kept even: 1 + 2^-53, a tie
  // at the 53rd, kept even: 1. Rounded once it would be 1 + 2^-52.
  EXPECT_EQ(static_cast<double>(SoftExtended(1.0 + 0x1p-52) - 0x1p-53 + 0x1p-64), 1.0);
  // 2^-1074 * 0.75 rounds up to the smallest subnormal; 0.5 of it, a tie, to +0.
  EXPECT_EQ(static_cast<double>(SoftExtended(0x1p-1074) * 0.75), 0x1p-1074);
  EXPECT_EQ(doubleBits(static_cast<double>(SoftExtended(0x1p-1074) * 0.5)), 0u);
  EXPECT_EQ(static_cast<double>(SoftExtended(0x1p1023) * 2.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(doubleBits(static_cast<double>(SoftExtended(-0.0) + -0.0)), doubleBits(-0.0));
  EXPECT_EQ(doubleBits(static_cast<double>(SoftExtended(3.0) - 3.0)), 0u);
  // 2.5 hundredths and 3.5: the formatter's 1.5 * 2^63 trick rounds ties to even.
  const SoftExtended shift(0x1.8p63);
  EXPECT_EQ(static_cast<double>((SoftExtended(2.5) + shift) - shift), 2.0);
  EXPECT_EQ(static_cast<double>((SoftExtended(3.5) + shift) - shift), 4.0);
}
