// Reading and writing shared by the yardstick programs, so that each pair
// compared does the same work around its triangulation. The constrained
// ones (tsvmesh_surface_cdt, tsvmesh_compare_cgal_cdt) read:
//   POINTS.tsv       a points file (first line a path, then x y z triples)
//   BREAKLINES.txt   polylines, one "x y z" vertex a line, a blank line
//                    between polylines; each vertex becomes a point
// Output: per triangle three lines "x,y,z" with two decimals, CR LF.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench_io {

// The whole file in one read.
inline bool readWholeFile(const char* path, std::vector<char>* bytes) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
      if (got <= 0) ok = false;
      else done += static_cast<size_t>(got);
    }
  }
  close(fd);
  return ok;
}

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == ','; }

// Points after the first line, until the first group that is not three numbers.
inline void parsePoints(const std::vector<char>& bytes, std::vector<double>* xyz) {
  const char* cursor = bytes.data();
  const char* const end = cursor + bytes.size();
  const char* lineEnd = static_cast<const char*>(std::memchr(cursor, '\n', bytes.size()));
  cursor = lineEnd == nullptr ? end : lineEnd + 1;
  for (;;) {
    double value[3];
    for (double& v : value) {
      while (cursor < end && (isBlank(*cursor) || *cursor == '\n')) ++cursor;
      const auto parsed = std::from_chars(cursor, end, v);
      if (parsed.ec != std::errc() || !std::isfinite(v)) return;
      cursor = parsed.ptr;
    }
    xyz->insert(xyz->end(), {value[0], value[1], value[2]});
  }
}

// Breakline vertices appended to xyz; a segment between consecutive
// vertices of one polyline (a blank line ends a polyline).
inline void parseBreaklines(const std::vector<char>& bytes, std::vector<double>* xyz,
                            std::vector<int32_t>* segments) {
  const char* cursor = bytes.data();
  const char* const end = cursor + bytes.size();
  bool inLine = false;
  while (cursor < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(cursor, '\n', static_cast<size_t>(end - cursor)));
    if (lineEnd == nullptr) lineEnd = end;
    double value[3];
    int got = 0;
    const char* at = cursor;
    for (; got < 3; ++got) {
      while (at < lineEnd && isBlank(*at)) ++at;
      const auto parsed = std::from_chars(at, lineEnd, value[got]);
      if (parsed.ec != std::errc()) break;
      at = parsed.ptr;
    }
    if (got == 3) {
      const auto index = static_cast<int32_t>(xyz->size() / 3);
      if (inLine) segments->insert(segments->end(), {index - 1, index});
      xyz->insert(xyz->end(), {value[0], value[1], value[2]});
      inLine = true;
    } else {
      inLine = false;
    }
    cursor = lineEnd == end ? end : lineEnd + 1;
  }
}

// Output through one large buffer and plain write(2) calls.
struct BlockWriter {
  int fd = -1;
  std::vector<char> buffer = std::vector<char>(size_t{1} << 20);
  size_t used = 0;
  bool ok = true;

  void flush() {
    size_t done = 0;
    while (ok && done < used) {
      const ssize_t wrote = write(fd, buffer.data() + done, used - done);
      if (wrote <= 0) ok = false;
      else done += static_cast<size_t>(wrote);
    }
    used = 0;
  }
  void line(double x, double y, double z) {
    if (buffer.size() - used < 1024) flush();
    char* out = buffer.data() + used;
    char* const last = buffer.data() + buffer.size();
    out = std::to_chars(out, last, x, std::chars_format::fixed, 2).ptr;
    *out++ = ',';
    out = std::to_chars(out, last, y, std::chars_format::fixed, 2).ptr;
    *out++ = ',';
    out = std::to_chars(out, last, z, std::chars_format::fixed, 2).ptr;
    *out++ = '\r';
    *out++ = '\n';
    used = static_cast<size_t>(out - buffer.data());
  }
  bool open(const char* path) {
    fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd >= 0;
  }
  bool finish() {
    flush();
    return close(fd) == 0 && ok;
  }
};

// Reads both inputs; false (with errno set) when either cannot be read.
inline bool readInputs(const char* pointsPath, const char* breaklinesPath, std::vector<double>* xyz,
                       std::vector<int32_t>* segments) {
  std::vector<char> bytes;
  if (!readWholeFile(pointsPath, &bytes)) return false;
  parsePoints(bytes, xyz);
  if (!readWholeFile(breaklinesPath, &bytes)) return false;
  parseBreaklines(bytes, xyz, segments);
  return true;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One timed run of a constrained triangulation program:
//   NAME POINTS.tsv BREAKLINES.txt OUT.csv
// build(xyz, segments, &writer) triangulates, writes the corners and
// returns the triangle count (or -1 on failure).
template <typename Build>
int runConstrained(int argc, char** argv, const char* name, Build build) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s POINTS.tsv BREAKLINES.txt OUT.csv\n", name);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<double> xyz;
  std::vector<int32_t> segments;
  if (!readInputs(argv[1], argv[2], &xyz, &segments)) {
    std::perror("reading");
    return 1;
  }
  const double readSeconds = secondsSince(start);
  BlockWriter out;
  if (!out.open(argv[3])) {
    std::perror(argv[3]);
    return 1;
  }
  const auto buildStart = std::chrono::steady_clock::now();
  const long long triangles = build(xyz, segments, &out);
  if (triangles < 0 || !out.finish()) {
    std::fprintf(stderr, "%s: no triangulation written\n", name);
    return 1;
  }
  std::printf("%zu points, %zu segments, %lld triangles; read %.3f s, triangulate and write %.3f s\n",
              xyz.size() / 3, segments.size() / 2, triangles, readSeconds, secondsSince(buildStart));
  return 0;
}

}  // namespace bench_io
