// Lines joined from coded field points: the points whose code begins with
// one of --lines' codes, joined in file order, one line a code (KERB1 and
// KERB2 are two lines; codes compare in any case).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/surface/surface.h"

struct CodedLine {
  std::string code;         // as its first point spells it
  int32_t firstVertex = 0;  // into CodedLines::vertices
  int32_t vertexCount = 0;  // at least 2
};

struct CodedLines {
  std::vector<CodedLine> lines;  // in the order of their first points
  std::vector<ExportVertex> vertices;
  std::vector<std::string> unmatched;  // the given codes no point's code begins with
  std::vector<std::string> single;     // codes with one point, which draws no line
};

// Joins the points whose code begins with any of prefixes (any case).
void joinCodedLines(const std::vector<ExportSurveyPoint>& points, const std::vector<std::string>& prefixes,
                    CodedLines* lines);
