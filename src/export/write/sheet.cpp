#include "export/write/sheet.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// Advances of ' ' (32) to '~' (126) in thousandths of the size, as the
// fonts' AFM files give them (0x27 and 0x60 as WinAnsi's quotesingle and
// grave).
constexpr int16_t helveticaWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  // space to /
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0 to ?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @ to O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P to _
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // ` to o
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};      // p to ~
// The same in bold, 19 a row from the space.
constexpr int16_t helveticaBoldWidths[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};
constexpr int16_t degreeWidth = 400;  // WinAnsi 0xB0 in both
constexpr unsigned char degreeSign = 0xB0;

void addItem(Sheet* sheet, int32_t kind, size_t index) {
  sheet->items.push_back(SheetItem{kind, static_cast<int32_t>(index)});
}

}  // namespace

void addSheetPath(Sheet* sheet, SheetPath path) {
  if (path.verbs.empty() || (!path.filled && !path.stroked)) return;
  addItem(sheet, sheetPath, sheet->paths.size());
  sheet->paths.push_back(std::move(path));
}

void addSheetText(Sheet* sheet, SheetText text) {
  if (text.text.empty()) return;
  addItem(sheet, sheetText, sheet->texts.size());
  sheet->texts.push_back(std::move(text));
}

void addSheetImage(Sheet* sheet, SheetImage image) {
  if (image.columns <= 0 || image.rows <= 0) return;
  addItem(sheet, sheetImage, sheet->images.size());
  sheet->images.push_back(std::move(image));
}

void clipSheet(Sheet* sheet, const SheetRectangle& rectangle) {
  addItem(sheet, sheetClip, sheet->clips.size());
  sheet->clips.push_back(rectangle);
}

void unclipSheet(Sheet* sheet) { addItem(sheet, sheetUnclip, 0); }

void sheetMove(SheetPath* path, double x, double y) {
  path->xy.push_back(x);
  path->xy.push_back(y);
  path->verbs.push_back(sheetMoveTo);
}

void sheetLine(SheetPath* path, double x, double y) {
  path->xy.push_back(x);
  path->xy.push_back(y);
  path->verbs.push_back(sheetLineTo);
}

void sheetClose(SheetPath* path) { path->verbs.push_back(sheetClosePath); }

void sheetRectangle(SheetPath* path, double left, double top, double width, double height) {
  sheetMove(path, left, top);
  sheetLine(path, left + width, top);
  sheetLine(path, left + width, top + height);
  sheetLine(path, left, top + height);
  sheetClose(path);
}

double helveticaAdvance(const std::string& text, double size, bool bold) {
  const int16_t* widths = bold ? helveticaBoldWidths : helveticaWidths;
  int64_t thousandths = 0;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == degreeSign) thousandths += degreeWidth;
    else thousandths += widths[byte >= 32 && byte <= 126 ? byte - 32 : 0];
  }
  return static_cast<double>(thousandths) * size / 1000.0;
}

std::string sheetPrintable(const std::string& text) {
  std::string kept = text;
  for (char& c : kept) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  }
  return kept;
}

std::string sheetLabelNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, std::fabs(value) < 1e12 ? "%.2f" : "%.6g", value);
  std::string label = text;
  if (label.find('.') != std::string::npos && label.find('e') == std::string::npos) {
    while (label.back() == '0') label.pop_back();
    if (label.back() == '.') label.pop_back();
  }
  return label == "-0" ? "0" : label;
}

double sheetRoundStep(double wanted) {
  if (!(wanted > 0.0) || !std::isfinite(wanted)) return 0.0;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= wanted) return step * power;
  }
  return 10.0 * power;
}
