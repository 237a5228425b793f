// Cut and fill between two surveys of one site, exactly: the two
// triangulated surfaces are overlaid (every triangle of the first cut by
// the triangles of the second over the common part of their footprints)
// and the difference second - first, linear over each piece, is
// integrated piece by piece, split where it changes sign. No grid: the
// figures are those of the two piecewise linear surfaces, to rounding.
#pragma once

#include <cstdint>

#include "export/read/mesh_file.h"

// A surface as plain arrays. Triangles without area are left out; the
// footprint may be any shape, holes included. Each surface's own
// triangles must not overlap one another (as in any triangulation).
struct DifferenceSurface {
  const ExportVertex* vertices = nullptr;
  int32_t vertexCount = 0;
  const int32_t* corners = nullptr;   // 3 vertex indices a triangle
  int32_t triangleCount = 0;
  const uint8_t* kept = nullptr;      // one flag a triangle (0: left out), or null for all
};

// Areas in the x-y plane, volumes in area times height units.
struct SurfaceDifference {
  double firstArea = 0.0;      // plan area of the first surface
  double secondArea = 0.0;     // ... and of the second
  double commonArea = 0.0;     // where both surfaces are
  double firstOutside = 0.0;   // first's area outside the common area (0 when within rounding of it)
  double secondOutside = 0.0;  // second's area outside the common area
  double cut = 0.0;            // volume where second lies lower than first
  double fill = 0.0;           // volume where second lies higher
  double net = 0.0;            // fill - cut
  double cutArea = 0.0;        // plan area where second is lower
  double fillArea = 0.0;       // plan area where second is higher
  double levelArea = 0.0;      // common area where they meet to rounding: common - cut area - fill area
  int64_t pieces = 0;          // pieces of the overlay with area
};

enum DifferenceStatus : int32_t {
  differenceDone = 0,
  differenceApart = 1,        // the footprints share no area (they may touch)
  differenceOutOfMemory = 2,  // working memory was refused; result left empty
};

// Overlays first and second and fills result (on differenceApart: the two
// surfaces' areas, and both outside areas equal to them). Corner indices
// outside the vertex table leave their triangle out. Same input, same
// figures, whatever the number of processors.
int32_t differenceOfSurfaces(const DifferenceSurface& first, const DifferenceSurface& second,
                             SurfaceDifference* result);
