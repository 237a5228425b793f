// Areas and volumes of a surface over its faces exactly, and against a
// level (a second surface is compared in surface_difference).
#pragma once

#include <cstdint>
#include <vector>

#include "export/products/elevation_grid.h"

struct ExportMesh;

struct ExportSurfaceMeasures {
  int32_t faces = 0;          // faces measured (kept, with or without area)
  double planArea = 0.0;      // in the x-y plane
  double surfaceArea = 0.0;   // along the faces, in 3D
  double lowest = 0.0;        // over the faces' corners
  double highest = 0.0;
  double mean = 0.0;          // area-weighted over the surface: volume above 0 / plan area
  bool hasBase = false;
  double base = 0.0;
  double above = 0.0;         // volume between the surface and the base where the surface is higher
  double below = 0.0;         // ... and where it is lower
  double areaAbove = 0.0;     // plan area where the surface is higher than the base
  double areaBelow = 0.0;
  double areaLevel = 0.0;     // plan area of faces lying exactly at the base, in neither of the two above
};

// Measures the kept faces (kept: one flag a face, or empty for all); with
// hasBase, the volumes above and below base, each face split exactly where
// it crosses the level.
void measureSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, bool hasBase, double base,
                    ExportSurfaceMeasures* measures);
