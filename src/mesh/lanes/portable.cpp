// Four lanes in whatever vectors the compiler targets (two NEON registers on
// 64-bit ARM).
#include "mesh/circle_lanes.h"

namespace circle_lanes {

void boundedCirclesFour(const double (*corners)[6], CircleBound* bounds, int32_t* given) {
  boundedCircleLanes<4>(corners, bounds, given);
}

void surelyInsideFour(double testX, double testY, const double (*corners)[6], int32_t* inside) {
  surelyInsideLanes<4>(testX, testY, corners, inside);
}

}  // namespace circle_lanes
