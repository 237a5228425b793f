// Four lanes: one 256-bit register where the processor has AVX2, two SSE
// registers where it has not. The answers are the same bits either way.
#include "mesh/circle_lanes.h"

namespace circle_lanes {

namespace {

__attribute__((target("avx2"))) void boundedWide(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  boundedCircleLanes<4>(corners, bounds, given);
}

void boundedNarrow(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  boundedCircleLanes<4>(corners, bounds, given);
}

__attribute__((target("avx2"))) void insideWide(double testX, double testY, const double (*corners)[6],
                                                int32_t* inside) {
  surelyInsideLanes<4>(testX, testY, corners, inside);
}

void insideNarrow(double testX, double testY, const double (*corners)[6], int32_t* inside) {
  surelyInsideLanes<4>(testX, testY, corners, inside);
}

// Asked once; the processor does not change under a running program.
const bool haveWideLanes = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

}  // namespace

void boundedCirclesFour(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  if (haveWideLanes) {
    boundedWide(corners, bounds, given);
  } else {
    boundedNarrow(corners, bounds, given);
  }
}

void surelyInsideFour(double testX, double testY, const double (*corners)[6], int32_t* inside) {
  if (haveWideLanes) {
    insideWide(testX, testY, corners, inside);
  } else {
    insideNarrow(testX, testY, corners, inside);
  }
}

}  // namespace circle_lanes
