// The yardstick for tsvmesh's speed: the same points file in, the same shape
// of triangle file out, with CGAL's Delaunay triangulation in between.
//   tsvmesh_compare_cgal POINTS.tsv [CSV_PATH]
// CSV_PATH overrides the path on the file's first line. Writes the
// placeholder line, then per finite face three lines "x,y,z" with two
// decimals, CR LF. It does not read the file back for a statistic, so it
// does a little less work than tsvmesh does.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "file_io.h"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int32_t, Kernel>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;
using Point = Kernel::Point_2;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// First line as the output path, then x y z triples up to the first group
// that is not three finite numbers. z is kept apart and found by index.
void parsePoints(const std::vector<char>& bytes, std::string* outputPath,
                 std::vector<std::pair<Point, int32_t>>* points, std::vector<double>* zs) {
  const char* cursor = bytes.data();
  const char* const end = cursor + bytes.size();
  const char* lineEnd = static_cast<const char*>(std::memchr(cursor, '\n', bytes.size()));
  if (lineEnd == nullptr) lineEnd = end;
  outputPath->assign(cursor, lineEnd);
  if (!outputPath->empty() && outputPath->back() == '\r') outputPath->pop_back();
  cursor = lineEnd == end ? end : lineEnd + 1;

  for (;;) {
    double value[3];
    for (double& v : value) {
      while (cursor < end && isBlank(*cursor)) ++cursor;
      const auto parsed = std::from_chars(cursor, end, v);
      if (parsed.ec != std::errc() || !std::isfinite(v)) return;
      cursor = parsed.ptr;
    }
    const auto index = static_cast<int32_t>(zs->size());
    points->push_back({Point(value[0], value[1]), index});
    zs->push_back(value[2]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: tsvmesh_compare_cgal POINTS.tsv [CSV_PATH]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> bytes;
  if (!bench_io::readWholeFile(argv[1], &bytes)) {
    std::perror(argv[1]);
    return 1;
  }
  std::string outputPath;
  std::vector<std::pair<Point, int32_t>> points;
  std::vector<double> zs;
  parsePoints(bytes, &outputPath, &points, &zs);
  std::vector<char>().swap(bytes);
  if (argc > 2) outputPath = argv[2];
  const double readSeconds = bench_io::secondsSince(start);

  const auto meshStart = std::chrono::steady_clock::now();
  Delaunay mesh;
  mesh.insert(points.begin(), points.end());  // spatially sorted bulk insertion
  const double meshSeconds = bench_io::secondsSince(meshStart);

  const auto writeStart = std::chrono::steady_clock::now();
  bench_io::BlockWriter out;
  out.fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out.fd < 0) {
    std::perror(outputPath.c_str());
    return 1;
  }
  static const char placeholder[] = "**************\r\n";
  std::memcpy(out.buffer.data(), placeholder, sizeof placeholder - 1);
  out.used = sizeof placeholder - 1;
  int64_t faces = 0;
  for (const auto face : mesh.finite_face_handles()) {
    for (int corner = 0; corner < 3; ++corner) {
      const auto vertex = face->vertex(corner);
      out.line(vertex->point().x(), vertex->point().y(), zs[static_cast<size_t>(vertex->info())]);
    }
    ++faces;
  }
  out.flush();
  const bool closed = close(out.fd) == 0;
  if (!out.ok || !closed) {
    std::perror(outputPath.c_str());
    return 1;
  }
  const double writeSeconds = bench_io::secondsSince(writeStart);

  std::printf("%zu points, %lld triangles; read %.3f s, triangulate %.3f s, write %.3f s\n",
              points.size(), static_cast<long long>(faces), readSeconds, meshSeconds, writeSeconds);
  return 0;
}
