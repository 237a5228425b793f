// The breakline and polygon reader on arbitrary bytes. The first input byte
// picks the form: even for the text form, odd for DXF; the rest is the file.
// Either way the reader ends with a result or a message, never a crash; a
// result holds only finite numbers, polylines of at least two vertices that
// take every vertex once in order, and line numbers within the file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "export/read/polylines.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool dxf = (data[0] & 1) != 0;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;
  const int64_t lines = std::count(bytes, bytes + length, '\n') + 1;
  PolylineSet set;
  ExportReadError error;
  const bool ok = dxf ? readPolylineDxf(bytes, length, &set, &error) : readPolylineText(bytes, length, &set, &error);
  if (!ok) {
    FUZZ_CHECK(!error.message.empty(), "a failure without a message");
    FUZZ_CHECK(error.line >= 0 && error.line <= lines, std::to_string(error.line));
    return 0;
  }
  FUZZ_CHECK(!set.polylines.empty(), "a result without a polyline");
  int64_t next = 0;
  for (const Polyline& p : set.polylines) {
    FUZZ_CHECK(p.firstVertex == next && p.vertexCount >= 2, std::to_string(p.firstVertex));
    next += p.vertexCount;
  }
  FUZZ_CHECK(next == static_cast<int64_t>(set.vertices.size()), "vertices outside every polyline");
  for (const PolylineVertex& v : set.vertices) {
    FUZZ_CHECK(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z), "a number not finite");
    FUZZ_CHECK(v.hasZ || v.z == 0.0, "a z without hasZ");
    FUZZ_CHECK(v.line >= 1 && v.line <= lines, std::to_string(v.line));
  }
  return 0;
}
