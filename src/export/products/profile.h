// Long sections: the surface's heights along polylines. A station is where
// the polyline crosses a triangle edge (its point and height computed from
// the edge's two ends, so the triangles either side agree) or a vertex of
// the polyline on the surface (its height from the triangle holding it).
// Parts of a polyline off the surface are left out; the section resumes
// where it comes back, its chainage still measured along the polyline.
#pragma once

#include <cstdint>
#include <vector>

struct ExportMesh;
struct PolylineSet;

struct ProfileStation {
  double chainage;  // along the polyline from its first vertex, in x-y
  double x;
  double y;
  double z;
};

// A stretch of one polyline on the surface: stations in order of chainage.
struct ProfileStretch {
  int32_t polyline;      // into PolylineSet::polylines
  int32_t firstStation;  // into ExportProfile::stations
  int32_t stationCount;  // at least 1
};

struct ExportProfile {
  std::vector<ProfileStretch> stretches;  // by polyline, then chainage
  std::vector<ProfileStation> stations;
  std::vector<int32_t> missed;            // the polylines that never touch the surface
};

// The sections of every polyline (a closed one returns to its start) over
// the surface's faces, which must point up.
void traceProfiles(const ExportMesh& surface, const PolylineSet& polylines, ExportProfile* profile);
