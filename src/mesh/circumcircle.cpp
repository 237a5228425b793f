#include "mesh/circumcircle.h"
int32_t circumcircleContains(double, double, double, double, double, double, double, double, double*, double*, double*) { return 0; }
