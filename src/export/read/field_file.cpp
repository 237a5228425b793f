#include "export/read/field_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "mesh/mesh_records.h"
#include "mesh/point_order.h"
#include "platform/files.h"

namespace {

bool fail(ExportReadError* error, int64_t line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}


// One field of a comma-separated line: a quoted field may hold commas and
// doubled quotes. false when a quote is not closed or text follows it.
bool nextField(const char** at, const char* end, std::string* field, bool* more) {
  const char* p = *at;
  field->clear();
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p < end && *p == '"') {
    ++p;
    for (;;) {
      if (p == end) return false;
      if (*p == '"') {
        if (p + 1 < end && p[1] == '"') {
          *field += '"';
          p += 2;
          continue;
        }
        ++p;
        break;
      }
      *field += *p++;
    }
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p != ',') return false;
  } else {
    const char* start = p;
    while (p < end && *p != ',') ++p;
    const char* last = p;
    while (last > start && (last[-1] == ' ' || last[-1] == '\t')) --last;
    field->assign(start, last);
  }
  *more = p < end;
  *at = p < end ? p + 1 : p;
  return true;
}

// A finite number filling the whole text ("+" allowed before it).
bool parseNumber(const std::string& text, double* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin < end && *begin == '+') ++begin;
  if (begin == end) return false;
  const auto [stop, code] = std::from_chars(begin, end, *value);
  return code == std::errc() && stop == end && std::isfinite(*value);
}

const char* columnName(char letter) {
  switch (letter) {
    case 'N': return "N (northing)";
    case 'E': return "E (easting)";
    default: return "Z (elevation)";
  }
}


// The column letter a header name stands for, '-' for any other name.
char headerLetter(std::string name) {
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  static const struct {
    const char* name;
    char letter;
  } names[] = {{"point", 'P'}, {"p", 'P'}, {"pt", 'P'},    {"no", 'P'},     {"name", 'P'},        {"northing", 'N'},
               {"north", 'N'},     {"n", 'N'},     {"y", 'N'},      {"easting", 'E'},     {"east", 'E'},
               {"e", 'E'},         {"x", 'E'},     {"elevation", 'Z'}, {"elev", 'Z'},     {"height", 'Z'},
               {"z", 'Z'},         {"h", 'Z'},     {"description", 'D'}, {"desc", 'D'},   {"code", 'D'},
               {"d", 'D'}};
  for (const auto& known : names) {
    if (name == known.name) return known.letter;
  }
  return '-';
}

// text with every byte that does not begin a valid UTF-8 sequence (a file
// saved in a legacy code page) replaced by U+FFFD, so that every text
// output stays a valid document.
std::string validUtf8(const std::string& text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
    bool ok = length > 0 && i + length <= text.size() && !(length == 2 && byte < 0xC2);
    for (size_t k = 1; ok && k < length; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (ok && length >= 3) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      ok = !(byte == 0xE0 && next < 0xA0) && !(byte == 0xED && next >= 0xA0) && !(byte == 0xF0 && next < 0x90) &&
           !(byte == 0xF4 && next >= 0x90) && byte <= 0xF4;
    }
    if (ok) {
      valid.append(text, i, length);
      i += length;
    } else {
      valid += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return valid;
}

// One row of the file, its fields read as columns says.
struct FieldRow {
  MeshPoint point{0.0, 0.0, 0.0};
  std::string name;
  std::string description;
  int32_t zDecimals = -1;
};

// Digits after the decimal point of a plain number; -1 with an exponent.
int32_t decimalsOf(const std::string& number) {
  if (number.find_first_of("eE") != std::string::npos) return -1;
  const size_t point = number.find('.');
  return point == std::string::npos ? 0 : static_cast<int32_t>(number.size() - point - 1);
}

// The description's first word.
std::string codeOf(const std::string& description) {
  const size_t start = description.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  const size_t end = description.find_first_of(" \t,", start);
  return description.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool sameCode(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// An unquoted description with commas: its text as it stands.
void appendDescriptionPart(const char* fieldStart, const char* p, bool more, const std::string& field,
                           std::string* description) {
  const char* fieldEnd = more ? p - 1 : p;
  while (fieldEnd > fieldStart && (fieldEnd[-1] == ' ' || fieldEnd[-1] == '\t')) --fieldEnd;
  *description += ',';
  if (fieldStart < fieldEnd && *fieldStart != '"') {
    description->append(fieldStart, fieldEnd);
  } else {
    *description += field;
  }
}

// One field into the row; problem set when a number does not read.
void takeField(char letter, const std::string& field, FieldRow* row, std::string* problem) {
  if (letter == 'P') row->name = field;
  if (letter == 'D') row->description = field;
  if (letter != 'N' && letter != 'E' && letter != 'Z') return;
  double value = 0.0;
  if (!parseNumber(field, &value)) {
    const int32_t shown = static_cast<int32_t>(std::min<size_t>(field.size(), 41));
    *problem = std::string("expected a number for ") + columnName(letter) + ", found " + quoteLine(field.data(), shown);
    return;
  }
  (letter == 'N' ? row->point.y : letter == 'E' ? row->point.x : row->point.z) = value;
  if (letter == 'Z') row->zDecimals = decimalsOf(field);
}

// Reads one row; the problem with it, or "".
std::string readRow(const char* p, const char* lineEnd, const std::string& columns, FieldRow* row) {
  const int32_t columnCount = static_cast<int32_t>(columns.size());
  const bool descriptionLast = columns.back() == 'D';
  std::string field;
  std::string problem;
  int32_t column = 0;
  bool more = true;
  while (more && problem.empty()) {
    const char* fieldStart = p;
    if (!nextField(&p, lineEnd, &field, &more)) return "expected a field that ends with its closing quote and a comma";
    if (column >= columnCount) {
      if (!descriptionLast) {
        return "expected " + std::to_string(columnCount) + " fields (--columns " + columns + "), found more";
      }
      appendDescriptionPart(fieldStart, p, more, field, &row->description);
      continue;
    }
    takeField(columns[static_cast<size_t>(column++)], field, row, &problem);
  }
  for (int32_t c = column; c < columnCount && problem.empty(); ++c) {
    const char letter = columns[static_cast<size_t>(c)];
    if (letter == 'N' || letter == 'E' || letter == 'Z') {
      problem = "expected " + std::to_string(columnCount) + " fields (--columns " + columns + "), found " +
                std::to_string(column) + "; no " + columnName(letter);
    }
  }
  return problem;
}

bool blankLine(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p != ' ' && *p != '\t') return false;
  }
  return true;
}

// The columns to read by: the header's, --columns', or a refusal.
bool chooseColumns(const std::string& given, const std::string& header, std::string* columns, std::string* problem) {
  if (!header.empty() && !given.empty() && header != given) {
    *problem = "--columns " + given + " contradicts the header row, which names the columns " + header;
    return false;
  }
  *columns = header.empty() ? given : header;
  if (columns->empty()) {
    *problem = "the first row does not name the columns (Point, Northing, Easting, Elevation, Description); "
               "give them with --columns, for example --columns PNEZD";
    return false;
  }
  return true;
}

// Every row of the file after the header (if any) into points.
bool readRows(const std::vector<char>& bytes, const std::string& given, const std::vector<std::string>& leaveOut,
              FieldPoints* points, ExportReadError* error) {
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  if (end - at >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0) at += 3;
  std::string columns;
  int64_t lineNumber = 0;
  while (at < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    if (lineEnd == nullptr) lineEnd = end;
    const char* next = lineEnd < end ? lineEnd + 1 : end;
    if (lineEnd > at && lineEnd[-1] == '\r') --lineEnd;
    ++lineNumber;
    const char* p = at;
    at = next;
    if (blankLine(p, lineEnd)) continue;
    if (columns.empty()) {
      const std::string header = fieldHeaderColumns(p, static_cast<size_t>(lineEnd - p));
      std::string problem;
      if (!chooseColumns(given, header, &columns, &problem)) return fail(error, lineNumber, problem);
      if (!header.empty()) continue;
    }
    FieldRow row;
    const std::string problem = readRow(p, lineEnd, columns, &row);
    if (!problem.empty()) return fail(error, lineNumber, problem);
    if (points->read.size() >= static_cast<size_t>(INT32_MAX / 4)) return fail(error, lineNumber, "too many points");
    ExportSurveyPoint surveyed{row.point.x, row.point.y, row.point.z, validUtf8(row.name),
                               validUtf8(row.description), "", row.zDecimals, true};
    surveyed.code = codeOf(surveyed.description);
    for (const std::string& code : leaveOut) surveyed.inSurface = surveyed.inSurface && !sameCode(code, surveyed.code);
    if (surveyed.inSurface) {
      points->read.push_back(row.point);
      points->lines.push_back(lineNumber);
    }
    points->surveyed.push_back(std::move(surveyed));
  }
  return true;
}

}  // namespace

bool parseFieldColumns(const char* text, std::string* columns, std::string* problem) {
  columns->clear();
  int32_t seen[128] = {};
  for (const char* p = text; *p != '\0'; ++p) {
    char c = *p;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (std::strchr("PNEZD-", c) == nullptr) {
      *problem = std::string("--columns takes the letters P N E Z D and -, not ") + *p;
      return false;
    }
    if (c != '-' && seen[static_cast<int>(c)]++ > 0) {
      *problem = std::string("--columns names ") + c + " twice";
      return false;
    }
    *columns += c;
  }
  if (seen['N'] == 0 || seen['E'] == 0 || seen['Z'] == 0) {
    *problem = "--columns needs N, E and Z (for example PNEZD)";
    return false;
  }
  return true;
}

std::string fieldHeaderColumns(const char* text, size_t length) {
  const char* p = text;
  const char* const end = text + length;
  std::string columns;
  std::string field;
  bool more = true;
  while (more) {
    if (!nextField(&p, end, &field, &more)) return "";
    columns += headerLetter(field);
  }
  std::string problem;
  std::string parsed;
  return parseFieldColumns(columns.c_str(), &parsed, &problem) ? parsed : "";
}

bool readFieldPoints(const char* path, const std::string& columns, const std::vector<std::string>& leaveOut,
                     FieldPoints* points, ExportReadError* error) {
  *points = FieldPoints{};
  std::vector<char> bytes;
  return readWholeFile(path, &bytes, error) && readRows(bytes, columns, leaveOut, points, error);
}

bool readFieldBytes(const char* bytes, size_t size, const std::string& columns,
                    const std::vector<std::string>& leaveOut, FieldPoints* points, ExportReadError* error) {
  *points = FieldPoints{};
  return readRows(std::vector<char>(bytes, bytes + size), columns, leaveOut, points, error);
}

