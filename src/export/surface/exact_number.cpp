#include "export/surface/exact_number.h"

#include <bit>
#include <cstring>

namespace tsvmesh::surface {
namespace {

__extension__ typedef unsigned __int128 Wide;

void trim(ExactNumber* n) {
  while (n->size > 0 && n->limb[n->size - 1] == 0) --n->size;
  if (n->size == 0) n->negative = false;
}

int compareMagnitude(const ExactNumber& a, const ExactNumber& b) {
  if (a.size != b.size) return a.size < b.size ? -1 : 1;
  for (int32_t i = a.size - 1; i >= 0; --i) {
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  }
  return 0;
}

void addMagnitude(ExactNumber* out, const ExactNumber& a, const ExactNumber& b) {
  const ExactNumber& longer = a.size >= b.size ? a : b;
  const ExactNumber& shorter = a.size >= b.size ? b : a;
  uint64_t carry = 0;
  for (int32_t i = 0; i < longer.size; ++i) {
    const Wide sum = Wide{longer.limb[i]} + (i < shorter.size ? shorter.limb[i] : 0) + carry;
    out->limb[i] = static_cast<uint64_t>(sum);
    carry = static_cast<uint64_t>(sum >> 64);
  }
  out->size = longer.size;
  if (carry != 0) out->limb[out->size++] = carry;
}

// |a| >= |b|.
void subtractMagnitude(ExactNumber* out, const ExactNumber& a, const ExactNumber& b) {
  uint64_t borrow = 0;
  for (int32_t i = 0; i < a.size; ++i) {
    const uint64_t right = i < b.size ? b.limb[i] : 0;
    const uint64_t step = a.limb[i] - right;
    const uint64_t next = (a.limb[i] < right || step < borrow) ? 1 : 0;
    out->limb[i] = step - borrow;
    borrow = next;
  }
  out->size = a.size;
  trim(out);
}

// out = a + (flip ? -b : b); out may alias a or b (limbs are read before
// they are written at each index).
void addSigned(ExactNumber* out, const ExactNumber& a, const ExactNumber& b, bool flip) {
  const bool bNegative = flip ? !b.negative : b.negative;
  if (b.size == 0) {
    if (out != &a) *out = a;
    return;
  }
  if (a.negative == bNegative) {
    const bool negative = a.negative;
    addMagnitude(out, a, b);
    out->negative = negative;
  } else if (compareMagnitude(a, b) >= 0) {
    const bool negative = a.negative;
    subtractMagnitude(out, a, b);
    out->negative = out->size != 0 && negative;
  } else {
    subtractMagnitude(out, b, a);
    out->negative = out->size != 0 && bNegative;
  }
}

}  // namespace

void splitDouble(double v, uint64_t* mantissa, int32_t* exponent) {
  const auto bits = std::bit_cast<uint64_t>(v);
  const auto field = static_cast<int32_t>((bits >> 52) & 0x7ff);
  uint64_t m = bits & ((uint64_t{1} << 52) - 1);
  int32_t e = -1074;
  if (field != 0) {
    m |= uint64_t{1} << 52;
    e = field - 1075;
  }
  if (m == 0) {
    *mantissa = 0;
    *exponent = 0;
    return;
  }
  const int zeros = std::countr_zero(m);
  *mantissa = m >> zeros;
  *exponent = e + zeros;
}

int32_t lowestExponent(double v) {
  if (v == 0) return 1 << 20;
  uint64_t mantissa = 0;
  int32_t exponent = 0;
  splitDouble(v, &mantissa, &exponent);
  return exponent;
}

void exactFromDouble(ExactNumber* out, double v, int32_t base) {
  out->size = 0;
  out->negative = false;
  uint64_t mantissa = 0;
  int32_t exponent = 0;
  splitDouble(v, &mantissa, &exponent);
  if (mantissa == 0) return;
  const int32_t shift = exponent - base;  // >= 0
  const int32_t whole = shift / 64;
  const int32_t bits = shift % 64;
  for (int32_t i = 0; i < whole; ++i) out->limb[i] = 0;
  out->limb[whole] = mantissa << bits;
  out->limb[whole + 1] = bits == 0 ? 0 : mantissa >> (64 - bits);
  out->size = whole + 2;
  trim(out);
  out->negative = v < 0;
}

void exactAdd(ExactNumber* out, const ExactNumber& a, const ExactNumber& b) {
  addSigned(out, a, b, false);
}

void exactSubtract(ExactNumber* out, const ExactNumber& a, const ExactNumber& b) {
  addSigned(out, a, b, true);
}

void exactMultiply(ExactNumber* out, const ExactNumber& a, const ExactNumber& b) {
  if (a.size == 0 || b.size == 0) {
    out->size = 0;
    out->negative = false;
    return;
  }
  const int32_t size = a.size + b.size;
  std::memset(out->limb, 0, sizeof(uint64_t) * static_cast<size_t>(size));
  for (int32_t i = 0; i < a.size; ++i) {
    uint64_t carry = 0;
    for (int32_t j = 0; j < b.size; ++j) {
      const Wide product = Wide{a.limb[i]} * b.limb[j] + out->limb[i + j] + carry;
      out->limb[i + j] = static_cast<uint64_t>(product);
      carry = static_cast<uint64_t>(product >> 64);
    }
    out->limb[i + b.size] = carry;
  }
  out->size = size;
  out->negative = a.negative != b.negative;
  trim(out);
}

}  // namespace tsvmesh::surface
