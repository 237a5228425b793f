// The yardstick for the surface engine: CGAL's constrained Delaunay
// triangulation (exact predicates, inexact constructions) of the same
// points and breaklines, with the same reading and writing around it as
// surface_cdt.cpp:
//   tsvmesh_compare_cgal_cdt POINTS.tsv BREAKLINES.txt OUT.csv
#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <utility>

#include "file_io.h"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<
    Kernel,
    CGAL::Triangulation_data_structure_2<CGAL::Triangulation_vertex_base_with_info_2<int32_t, Kernel>,
                                         CGAL::Constrained_triangulation_face_base_2<Kernel>>,
    CGAL::Exact_predicates_tag>;

long long triangulate(const std::vector<double>& xyz, const std::vector<int32_t>& segments,
                      bench_io::BlockWriter* out) {
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
  long long faces = 0;
  for (const auto face : cdt.finite_face_handles()) {
    for (int corner = 0; corner < 3; ++corner) {
      const auto v = face->vertex(corner);
      // A vertex made at a constraint crossing has no index of its own.
      const size_t index = static_cast<size_t>(v->info());
      out->line(v->point().x(), v->point().y(), index < points.size() ? xyz[3 * index + 2] : 0.0);
    }
    ++faces;
  }
  return faces;
}

}  // namespace

int main(int argc, char** argv) {
  return bench_io::runConstrained(argc, argv, "tsvmesh_compare_cgal_cdt", triangulate);
}
