#include "export/products/coded_lines.h"

#include <unordered_map>

namespace {

std::string upperCase(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return upper;
}

bool beginsWith(const std::string& upperCode, const std::string& upperPrefix) {
  return !upperPrefix.empty() && upperCode.compare(0, upperPrefix.size(), upperPrefix) == 0;
}

}  // namespace

void joinCodedLines(const std::vector<ExportSurveyPoint>& points, const std::vector<std::string>& prefixes,
                    CodedLines* lines) {
  *lines = CodedLines{};
  std::vector<std::string> upperPrefixes;
  for (const std::string& prefix : prefixes) upperPrefixes.push_back(upperCase(prefix));
  std::vector<bool> matched(prefixes.size(), false);
  // Each line's points, as indices into points, in file order.
  std::unordered_map<std::string, int32_t> lineOfCode;
  std::vector<std::vector<int32_t>> members;
  std::vector<std::string> codes;
  for (size_t p = 0; p < points.size(); ++p) {
    const std::string code = upperCase(points[p].code);
    bool wanted = false;
    for (size_t i = 0; i < upperPrefixes.size(); ++i) {
      if (!beginsWith(code, upperPrefixes[i])) continue;
      matched[i] = true;
      wanted = true;
    }
    if (!wanted) continue;
    const auto found = lineOfCode.emplace(code, static_cast<int32_t>(members.size()));
    if (found.second) {
      members.emplace_back();
      codes.push_back(points[p].code);
    }
    members[static_cast<size_t>(found.first->second)].push_back(static_cast<int32_t>(p));
  }
  for (size_t i = 0; i < prefixes.size(); ++i) {
    if (!matched[i]) lines->unmatched.push_back(prefixes[i]);
  }
  for (size_t l = 0; l < members.size(); ++l) {
    if (members[l].size() < 2) {
      lines->single.push_back(codes[l]);
      continue;
    }
    CodedLine line;
    line.code = codes[l];
    line.firstVertex = static_cast<int32_t>(lines->vertices.size());
    line.vertexCount = static_cast<int32_t>(members[l].size());
    for (const int32_t p : members[l]) {
      const ExportSurveyPoint& point = points[static_cast<size_t>(p)];
      lines->vertices.push_back({point.x, point.y, point.z});
    }
    lines->lines.push_back(line);
  }
}
