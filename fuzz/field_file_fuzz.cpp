// The field-file reader on arbitrary bytes. The first input byte picks the
// columns: even for a header row's, odd for --columns PNEZD; the rest is
// the file. The reader ends with points or a message naming a line, never
// a crash; the points are finite, each with its line in order, and every
// number and description is valid UTF-8.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "export/read/field_file.h"
#include "export/read/mesh_file.h"
#include "fuzz_support.h"

namespace {

bool validUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string columns = (data[0] & 1) != 0 ? "PNEZD" : "";
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;
  const int64_t lines = std::count(bytes, bytes + length, '\n') + 1;
  FieldPoints points;
  ExportReadError error;
  if (!readFieldBytes(bytes, length, columns, {"TREE"}, &points, &error)) {
    FUZZ_CHECK(!error.message.empty(), "a failure without a message");
    FUZZ_CHECK(error.line >= 0 && error.line <= lines, std::to_string(error.line));
    return 0;
  }
  FUZZ_CHECK(points.read.size() == points.lines.size(), "a point without its line");
  FUZZ_CHECK(points.surveyed.size() >= points.read.size(), "more surface points than surveyed ones");
  for (size_t i = 0; i < points.read.size(); ++i) {
    const MeshPoint& p = points.read[i];
    FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "a number not finite");
    FUZZ_CHECK(points.lines[i] >= 1 && points.lines[i] <= lines, std::to_string(points.lines[i]));
    FUZZ_CHECK(i == 0 || points.lines[i] > points.lines[i - 1], "lines out of order");
  }
  for (const ExportSurveyPoint& p : points.surveyed) {
    FUZZ_CHECK(validUtf8(p.name) && validUtf8(p.description) && validUtf8(p.code), "text that is not UTF-8");
  }
  return 0;
}
