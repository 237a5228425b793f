// tsvmesh-export's surface engine from the command line, for timing it
// against CGAL (compare_cgal_cdt.cpp does the same reading and writing):
//   tsvmesh_surface_cdt POINTS.tsv BREAKLINES.txt OUT.csv
#include <chrono>
#include <cstdio>

#include "cdt_input.h"
#include "export/surface/triangulate.h"

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: tsvmesh_surface_cdt POINTS.tsv BREAKLINES.txt OUT.csv\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<double> xyz;
  std::vector<int32_t> segments;
  if (!cdt_bench::readInputs(argv[1], argv[2], &xyz, &segments)) {
    std::perror("reading");
    return 1;
  }
  const double readSeconds = secondsSince(start);
  const auto meshStart = std::chrono::steady_clock::now();
  tsvmesh::surface::SurfaceInput input;
  input.xyz = xyz.data();
  input.pointCount = static_cast<int32_t>(xyz.size() / 3);
  input.segments = segments.data();
  input.segmentCount = static_cast<int32_t>(segments.size() / 2);
  tsvmesh::surface::SurfaceResult result;
  if (tsvmesh::surface::buildSurface(input, &result) != tsvmesh::surface::SurfaceStatus::kOk) {
    std::fputs("no surface\n", stderr);
    return 1;
  }
  const double meshSeconds = secondsSince(meshStart);
  const auto writeStart = std::chrono::steady_clock::now();
  cdt_bench::BlockWriter out;
  if (!out.open(argv[3])) {
    std::perror(argv[3]);
    return 1;
  }
  for (const int32_t corner : result.triangles) {
    const double* p = corner < input.pointCount ? &xyz[3 * static_cast<size_t>(corner)]
                                                : &result.addedXyz[3 * static_cast<size_t>(corner - input.pointCount)];
    out.line(p[0], p[1], p[2]);
  }
  if (!out.finish()) {
    std::perror(argv[3]);
    return 1;
  }
  std::printf("%d points, %d segments, %zu triangles, %zu crossings; read %.3f s, triangulate %.3f s, write %.3f s\n",
              input.pointCount, input.segmentCount, result.triangles.size() / 3, result.crossings.size(),
              readSeconds, meshSeconds, secondsSince(writeStart));
  return 0;
}
