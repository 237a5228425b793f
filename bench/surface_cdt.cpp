// tsvmesh-export's surface engine from the command line, for timing it
// against CGAL (compare_cgal_cdt.cpp does the same reading and writing):
//   tsvmesh_surface_cdt POINTS.tsv BREAKLINES.txt OUT.csv
#include "export/surface/triangulate.h"
#include "file_io.h"

int main(int argc, char** argv) {
  using namespace tsvmesh::surface;
  return bench_io::runConstrained(
      argc, argv, "tsvmesh_surface_cdt",
      [](const std::vector<double>& xyz, const std::vector<int32_t>& segments, bench_io::BlockWriter* out) {
        const SurfaceInput input = surfaceInput(xyz, segments);
        SurfaceResult result;
        if (buildSurface(input, &result) != SurfaceStatus::kOk) return -1LL;
        for (const int32_t corner : result.triangles) {
          const double* p = corner < input.pointCount
                                ? &xyz[3 * static_cast<size_t>(corner)]
                                : &result.addedXyz[3 * static_cast<size_t>(corner - input.pointCount)];
          out->line(p[0], p[1], p[2]);
        }
        return static_cast<long long>(result.triangles.size() / 3);
      });
}
