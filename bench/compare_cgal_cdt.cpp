// The yardstick for the surface engine: CGAL's constrained Delaunay
// triangulation (exact predicates, inexact constructions) of the same
// points and breaklines, with the same reading and writing around it as
// surface_cdt.cpp:
//   tsvmesh_compare_cgal_cdt POINTS.tsv BREAKLINES.txt OUT.csv
#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "cdt_input.h"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int32_t, Kernel>;
using FaceBase = CGAL::Constrained_triangulation_face_base_2<Kernel>;
using Tds = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<Kernel, Tds, CGAL::Exact_predicates_tag>;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: tsvmesh_compare_cgal_cdt POINTS.tsv BREAKLINES.txt OUT.csv\n", stderr);
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
  std::vector<std::pair<Kernel::Point_2, int32_t>> points;
  points.reserve(xyz.size() / 3);
  for (size_t i = 0; 3 * i < xyz.size(); ++i) {
    points.push_back({Kernel::Point_2(xyz[3 * i], xyz[3 * i + 1]), static_cast<int32_t>(i)});
  }
  Cdt cdt;
  cdt.insert(points.begin(), points.end());  // spatially sorted bulk insertion
  std::vector<Cdt::Vertex_handle> handle(points.size());
  for (const auto v : cdt.finite_vertex_handles()) handle[v->info()] = v;
  for (size_t s = 0; 2 * s < segments.size(); ++s) {
    const auto a = handle[segments[2 * s]];
    const auto b = handle[segments[2 * s + 1]];
    if (a != nullptr && b != nullptr && a != b) cdt.insert_constraint(a, b);
  }
  const double meshSeconds = secondsSince(meshStart);
  const auto writeStart = std::chrono::steady_clock::now();
  cdt_bench::BlockWriter out;
  if (!out.open(argv[3])) {
    std::perror(argv[3]);
    return 1;
  }
  size_t faces = 0;
  for (const auto face : cdt.finite_face_handles()) {
    for (int corner = 0; corner < 3; ++corner) {
      const auto v = face->vertex(corner);
      const auto& p = v->point();
      // A constraint crossing makes a vertex without an index of its own.
      const double z = v->info() >= 0 && static_cast<size_t>(v->info()) < points.size()
                           ? xyz[3 * static_cast<size_t>(v->info()) + 2] : 0.0;
      out.line(p.x(), p.y(), z);
    }
    ++faces;
  }
  if (!out.finish()) {
    std::perror(argv[3]);
    return 1;
  }
  std::printf("%zu points, %zu segments, %zu triangles; read %.3f s, triangulate %.3f s, write %.3f s\n",
              points.size(), segments.size() / 2, faces, readSeconds, meshSeconds, secondsSince(writeStart));
  return 0;
}
