// A sheet: what a picture or plan shows, as a list of drawing primitives
// (paths, text runs, raster images) in drawing order. Layout code builds
// it without any drawing library; a renderer (cairo for PNG and SVG, the
// PDF writer) only draws it. Coordinates are in the sheet's units (pixels
// of a PNG, points of a PDF or SVG), x to the right, y down from the top.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SheetPaint {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 1.0;
};

enum SheetVerb : uint8_t { sheetMoveTo = 0, sheetLineTo = 1, sheetClosePath = 2 };

// A path filled, then stroked over, as asked. moveTo and lineTo take one
// point of xy each; closePath none.
struct SheetPath {
  std::vector<double> xy;
  std::vector<uint8_t> verbs;
  bool filled = false;
  SheetPaint fill;
  bool stroked = false;
  SheetPaint stroke;
  double lineWidth = 1.0;
  bool roundJoin = false;
  bool crisp = false;  // on a raster: not antialiased, hard pixel edges
};

// One line of text in Helvetica (bold or regular), one byte a character
// in WinAnsi (Latin-1 for what is used here). (x, y) is on the baseline;
// anchor is the share of the text's advance left of x (0 left, 0.5 centre,
// 1 right); angle turns the text about (x, y), in radians, clockwise on
// the page. A halo is stroked under the letters when haloWidth > 0.
struct SheetText {
  std::string text;
  double x = 0.0;
  double y = 0.0;
  double size = 10.0;
  double anchor = 0.0;
  double angle = 0.0;
  bool bold = false;
  SheetPaint colour;
  SheetPaint halo;
  double haloWidth = 0.0;
};

// An RGB raster, rows from the top, 3 bytes a pixel, shown in the
// rectangle (left, top, width, height). smooth: interpolated when scaled.
struct SheetImage {
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<uint8_t> rgb;
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;
  bool smooth = false;
};

struct SheetRectangle {
  double left, top, width, height;
};

// A clip holds from its item to the next unclip; clips do not nest.
enum SheetItemKind : int32_t { sheetPath = 0, sheetText = 1, sheetImage = 2, sheetClip = 3, sheetUnclip = 4 };

struct SheetItem {
  int32_t kind;
  int32_t index;  // into the list of its kind; unused for an unclip
};

struct Sheet {
  double width = 0.0;
  double height = 0.0;
  SheetPaint paper{1.0, 1.0, 1.0, 1.0};
  std::vector<SheetItem> items;
  std::vector<SheetPath> paths;
  std::vector<SheetText> texts;
  std::vector<SheetImage> images;
  std::vector<SheetRectangle> clips;
  std::string title;  // for a document's metadata
  std::string date;   // "YYYY-MM-DDThh:mm:ssZ", the input's, never the clock's
};

void addSheetPath(Sheet* sheet, SheetPath path);
void addSheetText(Sheet* sheet, SheetText text);
void addSheetImage(Sheet* sheet, SheetImage image);
void clipSheet(Sheet* sheet, const SheetRectangle& rectangle);
void unclipSheet(Sheet* sheet);

// Path building.
void sheetMove(SheetPath* path, double x, double y);
void sheetLine(SheetPath* path, double x, double y);
void sheetClose(SheetPath* path);
void sheetRectangle(SheetPath* path, double left, double top, double width, double height);

inline SheetPaint sheetGrey(double level, double alpha = 1.0) { return SheetPaint{level, level, level, alpha}; }

// The advance of text at size in Helvetica (bold or regular), from the
// font's published metrics: the same on every platform whatever fonts are
// installed. Bytes without a glyph count as a space.
double helveticaAdvance(const std::string& text, double size, bool bold);

// The height of Helvetica's digits and capitals above the baseline, per
// unit of size.
inline constexpr double helveticaCapHeight = 0.718;

// Text kept to what every renderer shows alike: printable ASCII, anything
// else (control bytes, UTF-8 sequences) as '?'.
std::string sheetPrintable(const std::string& text);

// A number for a label: up to two decimals, no trailing zeros.
std::string sheetLabelNumber(double value);

// A round step (1, 2 or 5 times a power of ten) of at least wanted; 0 for
// nothing finite above 0.
double sheetRoundStep(double wanted);
