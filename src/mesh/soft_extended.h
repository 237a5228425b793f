// A number with x87's 64-bit significand, computed with integers only, for
// processors whose long double is some other type.
//
// Every operation gives exactly the bits that x87 gives with 64-bit
// precision and rounding to nearest, ties to even: the sum, difference,
// product and quotient are rounded once to 64 bits (to fewer in x87's own
// subnormal range, to infinity beyond its largest exponent); conversion from
// double is exact; conversion to double rounds that 64-bit value once more,
// to 53 bits or to the double's subnormals, as storing an x87 register does.
// Signed zeros, infinities and NaN (the default NaN for invalid operations,
// a NaN operand passed on, the larger significand of two, the positive of
// two equal ones) follow x87 as well.
//
// The common case, finite non-zero operands and a result in range, is inline;
// zeros, infinities, NaN and the ends of the range go through out-of-line
// functions.
#pragma once

#include <bit>
#include <cstdint>

__extension__ typedef unsigned __int128 SoftWord;

// Markers in SoftExtended::exponent for the values without an exponent of
// their own. Finite non-zero values keep theirs within x87's range, far from both.
inline constexpr int32_t softZeroExponent = -0x40000000;
inline constexpr int32_t softSpecialExponent = 0x40000000;  // infinity and NaN
// x87's range, in the same terms: the value is significand * 2^(exponent - 63).
inline constexpr int32_t softMinNormalExponent = -16382;
inline constexpr int32_t softMaxExponent = 16383;
inline constexpr uint64_t softTopBit = uint64_t{1} << 63;

struct SoftExtended {
  // Top bit set for every value but zero (0 here). An infinity is exactly
  // the top bit; a NaN has more bits, the quiet bit (62) among them.
  uint64_t significand = 0;
  int32_t exponent = softZeroExponent;
  uint32_t negative = 0;  // 1 for a negative sign, of zeros and NaN too

  SoftExtended() = default;
  constexpr SoftExtended(uint64_t significandBits, int32_t exponentValue, uint32_t negativeSign)
      : significand(significandBits), exponent(exponentValue), negative(negativeSign) {}

  // Implicit, so that doubles mix into expressions as they do with long double.
  constexpr SoftExtended(double value);
  explicit constexpr operator double() const;

  friend SoftExtended operator+(SoftExtended a, SoftExtended b);
  friend SoftExtended operator-(SoftExtended a, SoftExtended b);
  friend SoftExtended operator*(SoftExtended a, SoftExtended b);
  friend SoftExtended operator/(SoftExtended a, SoftExtended b);
  friend SoftExtended operator-(SoftExtended a) { return {a.significand, a.exponent, a.negative ^ 1u}; }
  friend bool operator==(SoftExtended a, SoftExtended b);
  friend bool operator<(SoftExtended a, SoftExtended b);
  friend bool operator<=(SoftExtended a, SoftExtended b);
  friend bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
  friend bool operator>=(SoftExtended a, SoftExtended b) { return b <= a; }
};

inline SoftExtended softAbs(SoftExtended a) { return {a.significand, a.exponent, 0}; }

// The out-of-line parts (soft_extended.cpp).
SoftExtended softAddSpecial(SoftExtended a, SoftExtended b, uint32_t subtract);
SoftExtended softMultiplySpecial(SoftExtended a, SoftExtended b);
SoftExtended softDivideSpecial(SoftExtended a, SoftExtended b);
// Rounds (high, low) / 2^64 * 2^(exponent - 63), high's top bit set, where
// the exponent is outside x87's normal range.
SoftExtended softRoundOutside(uint32_t negative, int32_t exponent, uint64_t high, uint64_t low);
double softToDoubleOutside(SoftExtended a);
double softToDoubleSpecial(SoftExtended a);
SoftExtended softFromDoubleSpecial(uint64_t bits);

namespace soft_detail {

// Both finite and non-zero: one test for the two markers.
inline bool bothOrdinary(int32_t ea, int32_t eb) {
  constexpr uint32_t offset = 0x20000000;
  return ((static_cast<uint32_t>(ea) + offset) | (static_cast<uint32_t>(eb) + offset)) < 2 * offset;
}

// Rounds high + low / 2^64 to an integer, ties to even; low is the fraction.
inline SoftExtended round(uint32_t negative, int32_t exponent, uint64_t high, uint64_t low) {
  if (exponent >= softMinNormalExponent && exponent <= softMaxExponent) [[likely]] {
    const uint64_t up = static_cast<uint64_t>(low > softTopBit) | ((low == softTopBit) & high);
    const uint64_t rounded = high + up;
    if (rounded != 0) [[likely]] return {rounded, exponent, negative};
    // All ones rounded up: the next power of two.
    if (exponent == softMaxExponent) return {softTopBit, softSpecialExponent, negative};
    return {softTopBit, exponent + 1, negative};
  }
  return softRoundOutside(negative, exponent, high, low);
}

inline int32_t leadingZeros(SoftWord v) {
  const uint64_t high = static_cast<uint64_t>(v >> 64);
  return high != 0 ? __builtin_clzll(high) : 64 + __builtin_clzll(static_cast<uint64_t>(v));
}

SoftExtended addFar(uint64_t mLarge, int32_t eLarge, uint32_t negative, uint64_t mSmall, int32_t d,
                    bool subtract);

// Two doubles' 53-bit significands within 9 places: the sum is exact in a
// signed 64-bit integer, whatever the signs and which is larger. The usual
// case in the geometry, worth its own path. False, leaving *sum, for other
// operands. (Finite, non-zero operands; nb is b's sign.)
[[gnu::always_inline]] inline bool addNear(SoftExtended a, SoftExtended b, uint32_t nb, SoftExtended* sum) {
  const int32_t gap = a.exponent - b.exponent;
  if (((a.significand | b.significand) & 0x7FF) != 0 || gap < -9 || gap > 9) return false;
  const uint64_t signA = -static_cast<uint64_t>(a.negative);
  const uint64_t signB = -static_cast<uint64_t>(nb);
  const int32_t shiftA = gap > 0 ? gap : 0;
  const int32_t shiftB = gap > 0 ? 0 : -gap;
  const uint64_t termA = (((a.significand >> 11) << shiftA) ^ signA) - signA;
  const uint64_t termB = (((b.significand >> 11) << shiftB) ^ signB) - signB;
  const uint64_t total = termA + termB;
  if (total == 0) {
    *sum = {};  // x - x is +0 when rounding to nearest
    return true;
  }
  const uint64_t negative = total >> 63;
  const uint64_t magnitude = (total ^ -negative) + negative;
  const int32_t shift = __builtin_clzll(magnitude);
  const int32_t low = a.exponent - shiftA;
  // Through round for the range alone: nothing is cut off.
  *sum = round(static_cast<uint32_t>(negative), low + 11 - shift, magnitude << shift, 0);
  return true;
}

// Finite, non-zero operands; nb is b's sign after any subtraction.
inline SoftExtended addOrdinary(SoftExtended a, SoftExtended b, uint32_t nb) {
  SoftExtended near;
  if (addNear(a, b, nb, &near)) return near;
  // Which operand is larger is data, taken with masks: the compiler would
  // branch on conditionals, and the processor could only guess.
  const uint64_t swap = -static_cast<uint64_t>((a.exponent < b.exponent) |
                                                ((a.exponent == b.exponent) & (a.significand < b.significand)));
  const uint64_t mLarge = a.significand ^ ((a.significand ^ b.significand) & swap);
  const uint64_t mSmall = b.significand ^ ((a.significand ^ b.significand) & swap);
  const uint32_t swap32 = static_cast<uint32_t>(swap);
  const uint32_t exponentFlip = static_cast<uint32_t>(a.exponent ^ b.exponent) & swap32;
  const int32_t eLarge = static_cast<int32_t>(static_cast<uint32_t>(a.exponent) ^ exponentFlip);
  const int32_t d = eLarge - static_cast<int32_t>(static_cast<uint32_t>(b.exponent) ^ exponentFlip);
  const uint32_t negative = a.negative ^ ((a.negative ^ nb) & swap32);
  if (d > 63) [[unlikely]] return addFar(mLarge, eLarge, negative, mSmall, d, a.negative != nb);
  // The smaller significand shifted right by d: its high word, and the bits
  // that fall below, exactly, in the low word.
  const uint64_t smallHigh = mSmall >> d;
  const uint64_t smallLow = (mSmall << 1) << (63 - d);
  uint64_t high;
  uint64_t low;
  int32_t exponent;
  if (a.negative == nb) {
    high = mLarge + smallHigh;
    const uint64_t carry = high < mLarge ? 1 : 0;
    // A carry out: one place right, the dropped bit kept as stickiness.
    low = (smallLow >> carry) | (smallLow & carry) | (high << 63 & -carry);
    high = (high >> carry) | (carry << 63);
    exponent = eLarge + static_cast<int32_t>(carry);
  } else {
    low = 0 - smallLow;
    high = mLarge - smallHigh - (smallLow != 0 ? 1 : 0);
    if (high == 0) [[unlikely]] {
      if (low == 0) return {};  // x - x is +0 when rounding to nearest
      const int32_t shift = __builtin_clzll(low);
      return round(negative, eLarge - 64 - shift, low << shift, 0);
    }
    const int32_t shift = __builtin_clzll(high);
    high = (high << shift) | ((low >> 1) >> (63 - shift));
    low <<= shift;
    exponent = eLarge - shift;
  }
  return round(negative, exponent, high, low);
}

}  // namespace soft_detail

constexpr SoftExtended::SoftExtended(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const uint32_t field = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (field - 1 < 0x7FE) [[likely]] {
    significand = (fraction << 11) | softTopBit;
    exponent = static_cast<int32_t>(field) - 1023;
    negative = static_cast<uint32_t>(bits >> 63);
  } else {
    *this = softFromDoubleSpecial(bits);
  }
}

constexpr SoftExtended::operator double() const {
  if (exponent >= -1022 && exponent <= 1023) [[likely]] {
    // The carry of the rounding runs on into the exponent field, up to the
    // infinity's bits past the largest double.
    uint64_t kept = significand >> 11;
    const uint64_t rest = significand & 0x7FF;
    kept += static_cast<uint64_t>(rest > 0x400) | ((rest == 0x400) & kept);
    return std::bit_cast<double>((static_cast<uint64_t>(negative) << 63) +
                                 (static_cast<uint64_t>(exponent + 1022) << 52) + kept);
  }
  return softToDoubleOutside(*this);
}

inline SoftExtended operator+(SoftExtended a, SoftExtended b) {
  if (soft_detail::bothOrdinary(a.exponent, b.exponent)) [[likely]] {
    return soft_detail::addOrdinary(a, b, b.negative);
  }
  return softAddSpecial(a, b, 0);
}

inline SoftExtended operator-(SoftExtended a, SoftExtended b) {
  if (soft_detail::bothOrdinary(a.exponent, b.exponent)) [[likely]] {
    return soft_detail::addOrdinary(a, b, b.negative ^ 1u);
  }
  return softAddSpecial(a, b, 1);
}

inline SoftExtended operator*(SoftExtended a, SoftExtended b) {
  if (soft_detail::bothOrdinary(a.exponent, b.exponent)) [[likely]] {
    if (b.significand == softTopBit) {  // by a power of two, as halving: exact but for range
      return soft_detail::round(a.negative ^ b.negative, a.exponent + b.exponent, a.significand, 0);
    }
    SoftWord product = static_cast<SoftWord>(a.significand) * b.significand;
    const int32_t short1 = 1 - static_cast<int32_t>(product >> 127);  // top bit 126: one more place
    product <<= short1;
    const int32_t exponent = a.exponent + b.exponent + 1 - short1;
    return soft_detail::round(a.negative ^ b.negative, exponent, static_cast<uint64_t>(product >> 64),
                              static_cast<uint64_t>(product));
  }
  return softMultiplySpecial(a, b);
}

inline SoftExtended operator/(SoftExtended a, SoftExtended b) {
  if (soft_detail::bothOrdinary(a.exponent, b.exponent)) [[likely]] {
    // A 64-bit quotient; the remainder against half the divisor gives the
    // rounding bit and whether anything lies below it. (A quotient of two
    // 64-bit significands is never exactly halfway.)
    const int32_t below = a.significand < b.significand ? 1 : 0;  // a quotient below 1: one more place
    const int32_t exponent = a.exponent - b.exponent - below;
    const SoftWord dividend = static_cast<SoftWord>(a.significand) << (63 + below);
    const uint64_t quotient = static_cast<uint64_t>(dividend / b.significand);
    const uint64_t remainder = static_cast<uint64_t>(dividend) - quotient * b.significand;
    const uint64_t other = b.significand - remainder;
    const uint64_t fraction = remainder == 0        ? 0
                              : remainder < other ? softTopBit >> 1
                                                  : softTopBit | (softTopBit >> 1);
    return soft_detail::round(a.negative ^ b.negative, exponent, quotient, fraction);
  }
  return softDivideSpecial(a, b);
}

inline bool softIsNaN(SoftExtended a) {
  return a.exponent == softSpecialExponent && a.significand != softTopBit;
}

namespace soft_detail {

// Orders magnitudes: zero's marker is below every exponent, infinity's above.
inline SoftWord magnitudeKey(SoftExtended a) {
  return (static_cast<SoftWord>(static_cast<uint32_t>(a.exponent) + 0x80000000u) << 64) | a.significand;
}

// -1, 0 or 1 for ordered operands, whatever their zeros' signs.
inline int32_t compareOrdered(SoftExtended a, SoftExtended b) {
  if (a.negative != b.negative) {
    if (a.significand == 0 && b.significand == 0) return 0;
    return a.negative != 0 ? -1 : 1;
  }
  const SoftWord ka = magnitudeKey(a);
  const SoftWord kb = magnitudeKey(b);
  if (ka == kb) return 0;
  return (ka < kb) != (a.negative != 0) ? -1 : 1;
}

}  // namespace soft_detail

inline bool operator==(SoftExtended a, SoftExtended b) {
  return !softIsNaN(a) && !softIsNaN(b) && soft_detail::compareOrdered(a, b) == 0;
}

inline bool operator<(SoftExtended a, SoftExtended b) {
  return !softIsNaN(a) && !softIsNaN(b) && soft_detail::compareOrdered(a, b) < 0;
}

inline bool operator<=(SoftExtended a, SoftExtended b) {
  return !softIsNaN(a) && !softIsNaN(b) && soft_detail::compareOrdered(a, b) <= 0;
}
