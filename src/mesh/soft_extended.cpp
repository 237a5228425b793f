#include "mesh/soft_extended.h"

namespace {

constexpr uint64_t quietBit = softTopBit >> 1;

bool isInfinity(SoftExtended a) {
  return a.exponent == softSpecialExponent && a.significand == softTopBit;
}

// x87's default NaN, the result of every invalid operation.
SoftExtended defaultNaN() { return {softTopBit | quietBit, softSpecialExponent, 1}; }

SoftExtended infinity(uint32_t negative) { return {softTopBit, softSpecialExponent, negative}; }

SoftExtended zero(uint32_t negative) { return {0, softZeroExponent, negative}; }

// A NaN operand is passed on, quiet; of two, the one with the larger
// significand, and of two equal ones the positive.
SoftExtended passNaN(SoftExtended a, SoftExtended b) {
  SoftExtended pick = a;
  if (!softIsNaN(a)) {
    pick = b;
  } else if (softIsNaN(b)) {
    if (b.significand > a.significand || (b.significand == a.significand && b.negative == 0)) pick = b;
  }
  pick.significand |= quietBit;
  return pick;
}

}  // namespace

SoftExtended softAddSpecial(SoftExtended a, SoftExtended b, uint32_t subtract) {
  if (softIsNaN(a) || softIsNaN(b)) return passNaN(a, b);
  const uint32_t nb = b.negative ^ subtract;
  if (isInfinity(a)) {
    if (isInfinity(b) && a.negative != nb) return defaultNaN();
    return a;
  }
  if (isInfinity(b)) return infinity(nb);
  if (a.significand == 0) {
    // -0 + -0 is -0; any other sum of zeros is +0.
    if (b.significand == 0) return zero(a.negative & nb);
    return {b.significand, b.exponent, nb};
  }
  if (b.significand == 0) return a;
  return soft_detail::addOrdinary(a, b, nb);
}

SoftExtended softMultiplySpecial(SoftExtended a, SoftExtended b) {
  if (softIsNaN(a) || softIsNaN(b)) return passNaN(a, b);
  const uint32_t negative = a.negative ^ b.negative;
  if (isInfinity(a) || isInfinity(b)) {
    if (a.significand == 0 || b.significand == 0) return defaultNaN();
    return infinity(negative);
  }
  if (a.significand == 0 || b.significand == 0) return zero(negative);
  return a * b;
}

SoftExtended softDivideSpecial(SoftExtended a, SoftExtended b) {
  if (softIsNaN(a) || softIsNaN(b)) return passNaN(a, b);
  const uint32_t negative = a.negative ^ b.negative;
  if (isInfinity(a)) return isInfinity(b) ? defaultNaN() : infinity(negative);
  if (isInfinity(b)) return zero(negative);
  if (b.significand == 0) return a.significand == 0 ? defaultNaN() : infinity(negative);
  if (a.significand == 0) return zero(negative);
  return a / b;
}

// An exponent difference over 63: the smaller operand lies wholly below
// the larger's last bit, and only its stickiness counts, far below the
// rounding bit (a subtraction takes one place at most).
SoftExtended soft_detail::addFar(uint64_t mLarge, int32_t eLarge, uint32_t negative, uint64_t mSmall,
                                 int32_t d, bool subtract) {
  const SoftWord large = static_cast<SoftWord>(mLarge) << 63;
  SoftWord small = 1;
  if (d <= 126) {
    const int32_t s = d - 63;
    small = (mSmall >> s) | static_cast<uint64_t>((mSmall << (64 - s)) != 0);
  }
  SoftWord sum = subtract ? large - small : large + small;
  const int32_t shift = leadingZeros(sum);
  sum <<= shift;
  return round(negative, eLarge + 1 - shift, static_cast<uint64_t>(sum >> 64), static_cast<uint64_t>(sum));
}

SoftExtended softRoundOutside(uint32_t negative, int32_t exponent, uint64_t high, uint64_t low) {
  if (exponent > softMaxExponent) return infinity(negative);
  // x87's subnormals: the last significand bit stands for 2^(min - 63)
  // whatever the exponent, so the rounding point moves up by the shortfall.
  const int32_t shortfall = softMinNormalExponent - exponent;
  const SoftWord value = (static_cast<SoftWord>(high) << 64) | low;
  uint64_t kept = 0;
  if (shortfall <= 63) {
    const int32_t cut = 64 + shortfall;
    kept = static_cast<uint64_t>(value >> cut);
    const SoftWord rest = value & ((SoftWord{1} << cut) - 1);
    const SoftWord half = SoftWord{1} << (cut - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  } else if (shortfall == 64) {
    // Between half the smallest subnormal and the smallest: a tie goes to zero.
    kept = value > (SoftWord{1} << 127) ? 1 : 0;
  }
  if (kept == 0) return zero(negative);
  const int32_t shift = __builtin_clzll(kept);
  return {kept << shift, softMinNormalExponent - shift, negative};
}

double softToDoubleOutside(SoftExtended a) {
  if (a.exponent == softSpecialExponent || a.significand == 0) return softToDoubleSpecial(a);
  const uint64_t sign = static_cast<uint64_t>(a.negative) << 63;
  if (a.exponent > 1023) return std::bit_cast<double>(sign | (uint64_t{0x7FF} << 52));
  // The double's subnormals: multiples of 2^-1074. The carry of a rounding
  // up to 2^-1022 lands in the exponent field, as it should.
  const int32_t cut = -1011 - a.exponent;  // 12 and up
  uint64_t kept = 0;
  if (cut <= 63) {
    kept = a.significand >> cut;
    const uint64_t rest = a.significand & ((uint64_t{1} << cut) - 1);
    const uint64_t half = uint64_t{1} << (cut - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  } else if (cut == 64) {
    kept = a.significand > softTopBit ? 1 : 0;
  }
  return std::bit_cast<double>(sign | kept);
}

double softToDoubleSpecial(SoftExtended a) {
  uint64_t bits = static_cast<uint64_t>(a.negative) << 63;
  if (a.exponent == softSpecialExponent) {
    // Infinity, or a NaN keeping the top of its significand.
    bits |= (uint64_t{0x7FF} << 52) | ((a.significand >> 11) & ((uint64_t{1} << 52) - 1));
  }
  return std::bit_cast<double>(bits);
}

SoftExtended softFromDoubleSpecial(uint64_t bits) {
  const uint32_t negative = static_cast<uint32_t>(bits >> 63);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if ((bits & (uint64_t{0x7FF} << 52)) != 0) {
    if (fraction == 0) return infinity(negative);
    return {softTopBit | quietBit | (fraction << 11), softSpecialExponent, negative};
  }
  if (fraction == 0) return zero(negative);
  const int32_t shift = __builtin_clzll(fraction);
  return {fraction << shift, -1011 - shift, negative};
}
