#include "export/products/volumes.h"

#include <algorithm>
#include <cmath>

#include "export/products/running_sum.h"
#include "export/read/mesh_file.h"

namespace {

// Over a face of plan area a whose heights above a level are h (one vertex
// alone on its side, at h[lone]): the volume and plan area of the lone
// vertex's corner, which the level cuts off.
void loneCorner(double a, const double h[3], int32_t lone, double* volume, double* area) {
  const double hl = h[lone];
  const double t1 = hl / (hl - h[(lone + 1) % 3]);
  const double t2 = hl / (hl - h[(lone + 2) % 3]);
  *area = a * t1 * t2;
  *volume = std::fabs(*area * hl / 3.0);
}

}  // namespace

namespace {

// Volumes and areas on either side of the base, and level with it.
struct BaseSides {
  RunningSum above, below, areaAbove, areaBelow, areaLevel;
};

// A face of plan area a with heights h0, h1, h2 over the base, split
// exactly where it crosses the base.
void splitAtBase(double a, double h0, double h1, double h2, BaseSides* sides) {
  const double h[3] = {h0, h1, h2};
  const int32_t higher = (h[0] > 0) + (h[1] > 0) + (h[2] > 0);
  const int32_t lower = (h[0] < 0) + (h[1] < 0) + (h[2] < 0);
  const double prism = a * (h[0] + h[1] + h[2]) / 3.0;
  if (lower == 0) {
    sides->above.add(prism);
    (higher > 0 ? sides->areaAbove : sides->areaLevel).add(a);
    return;
  }
  if (higher == 0) {
    sides->below.add(-prism);
    sides->areaBelow.add(a);
    return;
  }
  // The level crosses the face: the side with one vertex is a corner
  // triangle; the rest follows from the whole prism.
  const bool loneHigh = higher == 1;
  int32_t lone = 0;
  while (loneHigh ? !(h[lone] > 0) : !(h[lone] < 0)) ++lone;
  double volume = 0.0, area = 0.0;
  loneCorner(a, h, lone, &volume, &area);
  if (loneHigh) {
    sides->above.add(volume);
    sides->below.add(volume - prism);
    sides->areaAbove.add(area);
    sides->areaBelow.add(a - area);
  } else {
    sides->below.add(volume);
    sides->above.add(prism + volume);
    sides->areaBelow.add(area);
    sides->areaAbove.add(a - area);
  }
}

}  // namespace

void measureSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, bool hasBase, double base,
                    ExportSurfaceMeasures* measures) {
  *measures = ExportSurfaceMeasures{};
  measures->hasBase = hasBase;
  measures->base = base;
  RunningSum plan, surface, weighted;
  BaseSides sides;
  bool first = true;
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    if (!kept.empty() && kept[static_cast<size_t>(f)] == 0) continue;
    const int32_t* ids = &mesh.corners[static_cast<size_t>(f) * 3];
    const ExportVertex& p0 = mesh.vertices[static_cast<size_t>(ids[0])];
    const ExportVertex& p1 = mesh.vertices[static_cast<size_t>(ids[1])];
    const ExportVertex& p2 = mesh.vertices[static_cast<size_t>(ids[2])];
    ++measures->faces;
    for (const ExportVertex* p : {&p0, &p1, &p2}) {
      measures->lowest = first ? p->z : std::min(measures->lowest, p->z);
      measures->highest = first ? p->z : std::max(measures->highest, p->z);
      first = false;
    }
    const double ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
    const double bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    const double a = std::fabs(ax * by - bx * ay) / 2.0;
    const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    plan.add(a);
    surface.add(std::sqrt(nx * nx + ny * ny + nz * nz) / 2.0);
    weighted.add(a * ((p0.z + p1.z + p2.z) / 3.0));
    if (!hasBase) continue;

    splitAtBase(a, p0.z - base, p1.z - base, p2.z - base, &sides);
  }
  measures->planArea = plan.value();
  measures->surfaceArea = surface.value();
  measures->mean = measures->planArea > 0.0 ? weighted.value() / measures->planArea : 0.0;
  measures->above = sides.above.value();
  measures->below = sides.below.value();
  measures->areaAbove = sides.areaAbove.value();
  measures->areaBelow = sides.areaBelow.value();
  measures->areaLevel = sides.areaLevel.value();
}
