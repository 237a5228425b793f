// Signed integers wide enough for a degree-4 polynomial in any doubles
// brought to one power of two: the exact fallback of the predicates.
// Fixed capacity, no allocation; only the limbs in use are touched.
#pragma once

#include <cstdint>

namespace tsvmesh::surface {

struct ExactNumber {
  // 2^1024 / 2^-1074 spans 2098 bits plus 53; four factors and a few carries.
  static constexpr int32_t kLimbs = 140;
  int32_t size = 0;  // limbs in use, 0 for zero; limb[size - 1] != 0
  bool negative = false;
  uint64_t limb[kLimbs];
};

// v = +-mantissa * 2^exponent with mantissa odd (0 for v = 0); v finite.
void splitDouble(double v, uint64_t* mantissa, int32_t* exponent);
// The power of two of v's lowest set bit (v = odd * 2^e); a large value for 0.
int32_t lowestExponent(double v);
// out = v / 2^base, an integer because base <= lowestExponent(v).
void exactFromDouble(ExactNumber* out, double v, int32_t base);
void exactAdd(ExactNumber* out, const ExactNumber& a, const ExactNumber& b);
void exactSubtract(ExactNumber* out, const ExactNumber& a, const ExactNumber& b);
// out must be neither a nor b.
void exactMultiply(ExactNumber* out, const ExactNumber& a, const ExactNumber& b);
inline int exactSign(const ExactNumber& a) { return a.size == 0 ? 0 : (a.negative ? -1 : 1); }

}  // namespace tsvmesh::surface
