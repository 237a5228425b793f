// The number type of the geometry: a 64-bit significand, rounding to nearest,
// ties to even. The build picks it (TSVMESH_SOFT_EXTENDED): x87's long
// double where the compiler has it, the integer-only SoftExtended elsewhere;
// both give the same bits.
#pragma once

#if TSVMESH_SOFT_EXTENDED

#include "mesh/soft_extended.h"

using Wide = SoftExtended;

inline Wide wideAbs(Wide value) { return softAbs(value); }

// Nothing to set up: the type carries its own rounding.
inline void prepareWideArithmetic() {}

#else

#include <cmath>
#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "long double is not x87's 80-bit type: build with TSVMESH_SOFT_EXTENDED");

using Wide = long double;

inline Wide wideAbs(Wide value) { return std::fabs(value); }

// Puts the calling thread's x87 unit in its default state: 64-bit
// significand, rounding to nearest. Windows starts threads at 53 bits.
inline void prepareWideArithmetic() { __asm__ __volatile__("fninit"); }

#endif
