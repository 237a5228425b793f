// One run of the exact comparison, or of one survey alone, for
// bench/overlay_run.sh to time:
//   tsvmesh_overlay_bench alone SURVEY BASE     build the surface, measure it against BASE
//   tsvmesh_overlay_bench compare FIRST SECOND  build both, overlay them
//   tsvmesh_overlay_bench together FIRST SECOND the same, both built at once on two threads
// SURVEY, FIRST and SECOND are whatever tsvmesh-export reads (points,
// field or triangle files). The figures go to standard output.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "export/products/surface_difference.h"
#include "export/products/volumes.h"
#include "export/read/mesh_file.h"
#include "export/surface/build.h"

namespace {

bool build(const char* path, ExportMesh* mesh) {
  ExportReadError error;
  SurfaceSource source;
  source.path = path;
  if (buildSurface(source, mesh, &error, nullptr)) return true;
  std::fprintf(stderr, "%s:%lld: %s\n", path, static_cast<long long>(error.line), error.message.c_str());
  return false;
}

DifferenceSurface viewOf(const ExportMesh& mesh) {
  return {mesh.vertices.data(), static_cast<int32_t>(mesh.vertices.size()), mesh.corners.data(), mesh.triangleCount,
          nullptr};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "alone") == 0) {
    ExportMesh mesh;
    if (!build(argv[2], &mesh)) return 1;
    ExportSurfaceMeasures m;
    measureSurface(mesh, {}, true, std::strtod(argv[3], nullptr), &m);
    std::printf("faces %d plan %.6f above %.6f below %.6f\n", m.faces, m.planArea, m.above, m.below);
    return 0;
  }
  const bool together = argc == 4 && std::strcmp(argv[1], "together") == 0;
  if (together || (argc == 4 && std::strcmp(argv[1], "compare") == 0)) {
    ExportMesh first, second;
    bool built = true;
    if (together) {
      std::thread other([&] { built = build(argv[3], &second); });
      const bool firstBuilt = build(argv[2], &first);
      other.join();
      built = built && firstBuilt;
    } else {
      built = build(argv[2], &first) && build(argv[3], &second);
    }
    if (!built) return 1;
    SurfaceDifference d;
    const auto begin = std::chrono::steady_clock::now();
    const int32_t status = differenceOfSurfaces(viewOf(first), viewOf(second), &d);
    const std::chrono::duration<double> overlay = std::chrono::steady_clock::now() - begin;
    std::fprintf(stderr, "overlay %.3f s\n", overlay.count());
    std::printf("status %d pieces %lld common %.6f cut %.6f fill %.6f cut area %.6f fill area %.6f outside %.6f %.6f\n",
                status, static_cast<long long>(d.pieces), d.commonArea, d.cut, d.fill, d.cutArea, d.fillArea,
                d.firstOutside, d.secondOutside);
    return status == differenceDone ? 0 : 1;
  }
  std::fputs("usage: tsvmesh_overlay_bench alone SURVEY BASE | compare FIRST SECOND | together FIRST SECOND\n", stderr);
  return 2;
}
