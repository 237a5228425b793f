#include "export/read/polylines.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "export/read/points_input.h"

namespace {

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The bytes split into lines without their line ends (LF or CR LF).
struct LineCursor {
  const char* at;
  const char* end;
  int64_t line = 0;
};

bool nextLine(LineCursor* cursor, const char** text, int32_t* length) {
  if (cursor->at == cursor->end) return false;
  const char* start = cursor->at;
  const char* newline =
      static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(cursor->end - start)));
  const char* stop = newline != nullptr ? newline : cursor->end;
  cursor->at = newline != nullptr ? newline + 1 : cursor->end;
  if (stop > start && stop[-1] == '\r') --stop;
  ++cursor->line;
  *text = start;
  // Longer lines are cut for the parse; nothing valid is that long.
  *length = static_cast<int32_t>(std::min<ptrdiff_t>(stop - start, INT32_MAX));
  return true;
}

// A UTF-8 byte order mark, as some editors put before the first line.
void skipByteOrderMark(LineCursor* cursor) {
  if (cursor->end - cursor->at >= 3 && std::memcmp(cursor->at, "\xEF\xBB\xBF", 3) == 0) cursor->at += 3;
}

enum NumberStatus : int32_t { numberOk, numberMalformed, numberNotFinite };

// A number filling [begin, end), "+" allowed before it; beyond a double's
// range, infinity and NaN are not finite.
int32_t parseNumber(const char* begin, const char* end, double* value) {
  if (begin < end && *begin == '+' && end - begin > 1 && begin[1] != '-') ++begin;
  const auto [stop, code] = std::from_chars(begin, end, *value);
  if (stop != end || (code != std::errc() && code != std::errc::result_out_of_range)) return numberMalformed;
  return code == std::errc() && std::isfinite(*value) ? numberOk : numberNotFinite;
}

std::string numberProblem(int32_t status, const char* begin, const char* end) {
  const std::string quoted = quoteLine(begin, static_cast<int32_t>(std::min<ptrdiff_t>(end - begin, INT32_MAX)));
  return status == numberNotFinite ? quoted + " is not a finite number" : "expected a number, found " + quoted;
}

// Closes the polyline begun at firstVertex: at least two vertices, a last
// vertex on the first makes it closed.
bool endPolyline(PolylineSet* set, size_t firstVertex, bool closed, int64_t line, ExportReadError* error) {
  std::vector<PolylineVertex>& v = set->vertices;
  if (v.size() == firstVertex) return true;
  if (v.size() - firstVertex >= 3 && v.back().x == v[firstVertex].x && v.back().y == v[firstVertex].y) {
    v.pop_back();
    closed = true;
  }
  if (v.size() - firstVertex < 2) {
    return fail(error, v.size() > firstVertex ? v[firstVertex].line : line,
                "a line needs at least two vertices, this one has " + std::to_string(v.size() - firstVertex));
  }
  if (v.size() > static_cast<size_t>(INT32_MAX)) return fail(error, line, "too many vertices");
  set->polylines.push_back({static_cast<int32_t>(firstVertex), static_cast<int32_t>(v.size() - firstVertex), closed});
  return true;
}

// "x y z" or "x y", the numbers apart by blanks or tabs, or by one comma
// with blanks about it.
bool parseVertexLine(const char* text, int32_t length, int64_t line, PolylineVertex* vertex,
                     ExportReadError* error) {
  const char* at = text;
  const char* end = text + length;
  double numbers[3] = {0.0, 0.0, 0.0};
  int32_t count = 0;
  while (at < end) {
    if (count > 0 && *at == ',') ++at;
    while (at < end && isBlank(*at)) ++at;
    const char* start = at;
    while (at < end && !isBlank(*at) && *at != ',') ++at;
    if (count == 3) {
      return fail(error, line, "expected \"x y z\" or \"x y\", found more numbers: " + quoteLine(text, length));
    }
    const int32_t status = parseNumber(start, at, &numbers[count]);
    if (status != numberOk) return fail(error, line, numberProblem(status, start, at));
    ++count;
    while (at < end && isBlank(*at)) ++at;
  }
  if (count < 2) return fail(error, line, "expected \"x y z\" or \"x y\", found " + quoteLine(text, length));
  *vertex = {numbers[0], numbers[1], numbers[2], count == 3, line};
  return true;
}

bool endsWithDxf(const char* path) {
  const size_t length = std::strlen(path);
  if (length < 4) return false;
  const char* tail = path + length - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'd' && (tail[2] | 0x20) == 'x' && (tail[3] | 0x20) == 'f';
}

// One DXF group: its code and its value line.
struct DxfGroup {
  int32_t code;
  const char* value;
  int32_t length;
  int64_t line;  // the value's line
};

bool wholeNumber(const char* begin, const char* end, int32_t* value) {
  while (begin < end && isBlank(*begin)) ++begin;
  while (end > begin && isBlank(end[-1])) --end;
  const auto [stop, code] = std::from_chars(begin, end, *value);
  return begin < end && stop == end && code == std::errc();
}

bool readDxfGroups(const char* bytes, size_t size, std::vector<DxfGroup>* groups, ExportReadError* error) {
  if (size >= 18 && std::memcmp(bytes, "AutoCAD Binary DXF", 18) == 0) {
    return fail(error, 0, "a binary DXF; save the drawing as ASCII DXF");
  }
  LineCursor cursor{bytes, bytes + size};
  skipByteOrderMark(&cursor);
  const char* text = nullptr;
  int32_t length = 0;
  while (nextLine(&cursor, &text, &length)) {
    DxfGroup group{};
    if (!wholeNumber(text, text + length, &group.code)) {
      if (std::all_of(text, text + length, isBlank) && cursor.at == cursor.end) break;  // a last empty line
      return fail(error, cursor.line, "expected a DXF group code, found " + quoteLine(text, length));
    }
    if (!nextLine(&cursor, &group.value, &group.length)) {
      return fail(error, cursor.line, "the file ends after a DXF group code, without its value");
    }
    group.line = cursor.line;
    groups->push_back(group);
  }
  return true;
}

// A group's value without blanks about it.
std::string dxfText(const DxfGroup& group) {
  const char* begin = group.value;
  const char* end = group.value + group.length;
  while (begin < end && isBlank(*begin)) ++begin;
  while (end > begin && isBlank(end[-1])) --end;
  return std::string(begin, end);
}

bool dxfNumber(const DxfGroup& group, double* value, ExportReadError* error) {
  const std::string text = dxfText(group);
  const int32_t status = parseNumber(text.data(), text.data() + text.size(), value);
  if (status == numberOk) return true;
  return fail(error, group.line, "group " + std::to_string(group.code) + ": " +
                                     numberProblem(status, text.data(), text.data() + text.size()));
}

int32_t dxfFlags(const DxfGroup& group) {
  int32_t flags = 0;
  return wholeNumber(group.value, group.value + group.length, &flags) ? flags : 0;
}

// What a DXF entity says of the polyline it begins or adds to.
struct DxfEntity {
  std::string name;
  int64_t line = 0;           // its "0" group's value line
  int32_t flags = 0;          // group 70
  bool hasElevation = false;  // group 38 (LWPOLYLINE) or 30 (POLYLINE)
  double elevation = 0.0;
  bool upward = true;         // extrusion (210, 220, 230) is (0, 0, 1)
  bool bulge = false;         // a non-zero group 42: an arc
};

// The groups of the entity from groups[first] (its "0") to the next "0";
// vertices (10/20/30, and 11/21/31 for LINE) go to set as they come.
// Returns the index of the next entity's group.
size_t readDxfEntity(const std::vector<DxfGroup>& groups, size_t first, DxfEntity* entity, PolylineSet* set,
                     bool* ok, ExportReadError* error) {
  *entity = DxfEntity{dxfText(groups[first]), groups[first].line};
  const bool lwPolyline = entity->name == "LWPOLYLINE";
  const bool vertexEntity = lwPolyline || entity->name == "LINE" || entity->name == "VERTEX";
  double extrusion[3] = {0.0, 0.0, 1.0};
  const size_t ownVertices = set->vertices.size();  // y and z go to this entity's vertices only
  size_t g = first + 1;
  for (; g < groups.size() && groups[g].code != 0; ++g) {
    const DxfGroup& group = groups[g];
    double value = 0.0;
    const int32_t code = group.code;
    const bool number = code == 10 || code == 20 || code == 30 || code == 11 || code == 21 || code == 31 ||
                        code == 38 || code == 42 || code == 210 || code == 220 || code == 230;
    if (number && !dxfNumber(group, &value, error)) {
      *ok = false;
      return g;
    }
    if (code == 70) entity->flags = dxfFlags(group);
    if (code == 38 || (code == 30 && !vertexEntity)) {
      entity->hasElevation = true;
      entity->elevation = value;
    }
    if (code == 42 && value != 0.0) entity->bulge = true;
    if (code >= 210 && code <= 230 && code % 10 == 0) extrusion[(code - 210) / 10] = value;
    if (!vertexEntity) continue;
    if (code == 10 || code == 11) set->vertices.push_back({value, 0.0, 0.0, false, group.line});
    const bool own = set->vertices.size() > ownVertices;
    if ((code == 20 || code == 21) && own) set->vertices.back().y = value;
    if ((code == 30 || code == 31) && own) {
      set->vertices.back().z = value;
      set->vertices.back().hasZ = true;
    }
  }
  entity->upward = extrusion[0] == 0.0 && extrusion[1] == 0.0 && extrusion[2] > 0.0;
  return g;
}

// Checks what a polyline's entities said and gives its vertices from
// firstVertex their z.
bool finishDxfPolyline(const DxfEntity& entity, bool threeD, size_t firstVertex, PolylineSet* set,
                       ExportReadError* error) {
  if (!entity.upward) {
    return fail(error, entity.line, entity.name + " drawn in a tilted or mirrored plane (group 210); "
                                                  "only lines drawn in the plan view are read");
  }
  for (size_t v = firstVertex; !threeD && v < set->vertices.size(); ++v) {
    set->vertices[v].z = entity.hasElevation ? entity.elevation : 0.0;
    set->vertices[v].hasZ = entity.hasElevation;
  }
  return endPolyline(set, firstVertex, (entity.flags & 1) != 0, entity.line, error);
}

// A POLYLINE from groups[first]: its VERTEX entities up to SEQEND. Polygon
// and polyface meshes (flags 16, 64) are passed over. Returns the index of
// the group after SEQEND.
size_t readDxfPolyline(const std::vector<DxfGroup>& groups, size_t first, PolylineSet* set, bool* ok,
                       ExportReadError* error) {
  DxfEntity head;
  const size_t firstVertex = set->vertices.size();
  size_t g = readDxfEntity(groups, first, &head, set, ok, error);
  const bool mesh = (head.flags & (16 | 64)) != 0;
  const bool threeD = (head.flags & 8) != 0;
  DxfEntity vertex;
  while (*ok && g < groups.size() && dxfText(groups[g]) == "VERTEX") {
    const size_t before = set->vertices.size();
    g = readDxfEntity(groups, g, &vertex, set, ok, error);
    // A spline's frame points (flag 16) are not on the line.
    if (mesh || (vertex.flags & 16) != 0) set->vertices.resize(before);
    if (*ok && vertex.bulge) *ok = fail(error, vertex.line, "an arc (bulge, group 42); explode arcs into lines");
  }
  if (!*ok) return g;
  if (g == groups.size() || dxfText(groups[g]) != "SEQEND") {
    *ok = fail(error, g < groups.size() ? groups[g].line : head.line, "a POLYLINE's vertices do not end with SEQEND");
    return g;
  }
  if (!mesh) *ok = finishDxfPolyline(head, threeD, firstVertex, set, error);
  return g + 1;
}

}  // namespace

bool readPolylineText(const char* bytes, size_t size, PolylineSet* set, ExportReadError* error) {
  *set = PolylineSet{};
  LineCursor cursor{bytes, bytes + size};
  skipByteOrderMark(&cursor);
  const char* text = nullptr;
  int32_t length = 0;
  size_t firstVertex = 0;
  while (nextLine(&cursor, &text, &length)) {
    if (std::all_of(text, text + length, isBlank)) {
      if (!endPolyline(set, firstVertex, false, cursor.line, error)) return false;
      firstVertex = set->vertices.size();
      continue;
    }
    PolylineVertex vertex;
    if (!parseVertexLine(text, length, cursor.line, &vertex, error)) return false;
    set->vertices.push_back(vertex);
  }
  if (!endPolyline(set, firstVertex, false, cursor.line, error)) return false;
  return !set->polylines.empty() || fail(error, 0, "holds no line (one vertex \"x y z\" a line)");
}

bool readPolylineDxf(const char* bytes, size_t size, PolylineSet* set, ExportReadError* error) {
  *set = PolylineSet{};
  std::vector<DxfGroup> groups;
  if (!readDxfGroups(bytes, size, &groups, error)) return false;
  bool inEntities = false;
  bool ok = true;
  DxfEntity entity;
  for (size_t g = 0; ok && g < groups.size();) {
    const std::string name = groups[g].code == 0 ? dxfText(groups[g]) : std::string();
    if (name == "SECTION") inEntities = g + 1 < groups.size() && dxfText(groups[g + 1]) == "ENTITIES";
    if (name == "ENDSEC") inEntities = false;
    if (name == "EOF") break;
    if (!inEntities || (name != "LINE" && name != "LWPOLYLINE" && name != "POLYLINE")) {
      ++g;
      continue;
    }
    if (name == "POLYLINE") {
      g = readDxfPolyline(groups, g, set, &ok, error);
      continue;
    }
    const size_t firstVertex = set->vertices.size();
    g = readDxfEntity(groups, g, &entity, set, &ok, error);
    if (ok && entity.bulge) ok = fail(error, entity.line, "an arc (bulge, group 42); explode arcs into lines");
    if (ok && name == "LINE") ok = endPolyline(set, firstVertex, false, entity.line, error);
    if (ok && name == "LWPOLYLINE") ok = finishDxfPolyline(entity, false, firstVertex, set, error);
  }
  if (!ok) return false;
  return !set->polylines.empty() || fail(error, 0, "holds no LINE, POLYLINE or LWPOLYLINE in its ENTITIES");
}

bool readPolylineFile(const char* path, PolylineSet* set, ExportReadError* error) {
  std::vector<char> bytes;
  if (!readWholeFile(path, &bytes, error)) return false;
  return endsWithDxf(path) ? readPolylineDxf(bytes.data(), bytes.size(), set, error)
                           : readPolylineText(bytes.data(), bytes.size(), set, error);
}
