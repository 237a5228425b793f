#include "export/write/picture.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "export/output.h"
#include "export/paper.h"
#include "export/products/facing.h"
#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/units.h"

namespace {

// viridis at t = 0, 1/8, ..., 1; between them the ramp is interpolated.
constexpr unsigned char viridisStops[9][3] = {
    {68, 1, 84},    {71, 45, 123},  {59, 82, 139},  {44, 114, 142}, {33, 145, 140},
    {40, 174, 128}, {94, 201, 98},  {173, 220, 48}, {253, 231, 37},
};

// Triangles are filled in colour classes, one path each: cairo fills one
// long path far faster than as many short ones. A class is a step of the
// ramp and a step of light; step shadeUnit is the unshaded colour.
constexpr int32_t rampClasses = 256;
constexpr int32_t shadeClasses = 24;
constexpr int32_t shadeUnit = 16;
constexpr int32_t colourClasses = rampClasses * shadeClasses;


constexpr int32_t progressStride = 1 << 15;

// Proportions of the picture, as fractions of its longer side.
constexpr double marginShare = 0.03;
constexpr double titleShare = 0.022;
constexpr double labelShare = 0.015;
constexpr double barShare = 0.022;       // colour bar width
constexpr double labelRoomShare = 0.10;  // beside the colour bar
constexpr double bottomShare = 0.065;    // scale bar and its labels

// An edge is drawn when it is at least this many pixels long; shorter ones
// would hide the fill of their triangles.
constexpr double shortestEdge = 12.0;

// Contour pieces shorter than this on the page are not drawn apart.
constexpr double contourStep = 0.5;

// Text stays readable in small pictures.
constexpr double smallestTitle = 12.0;
constexpr double smallestLabel = 10.0;

struct Bands {
  double margin, top, bottom, left, right;
  double title, label;  // font sizes
  double gridLabel;     // the first part of bottom holds the eastings
};

Bands pictureBands(double size) {
  Bands bands{};
  bands.title = std::max(smallestTitle, titleShare * size);
  bands.label = std::max(smallestLabel, labelShare * size);
  bands.margin = marginShare * size;
  bands.gridLabel = 0.8 * bands.label;
  bands.top = bands.margin + 2.0 * bands.title;
  bands.bottom = bands.margin + 1.8 * bands.gridLabel + std::max(bottomShare * size, 4.0 * bands.label);
  bands.left = bands.margin + 5.5 * bands.gridLabel;
  bands.right = bands.margin + 0.02 * size + barShare * size + std::max(labelRoomShare * size, 5.0 * bands.label);
  return bands;
}

// Where cairo's bytes go; a vector file is written as cairo finishes it,
// which for a large mesh takes seconds, so the bar follows the bytes
// against an estimate.
struct PictureSink {
  ExportOutput* output;
  ExportProgress* progress;
  int64_t written;
  int64_t expected;
};

cairo_status_t writeToOutput(void* closure, const unsigned char* data, unsigned int length) {
  PictureSink* sink = static_cast<PictureSink*>(closure);
  writeExportBytes(sink->output, reinterpret_cast<const char*>(data), length);
  sink->written += length;
  updateExportProgress(sink->progress, "writing", std::min(sink->written, sink->expected * 99 / 100), sink->expected);
  return sink->output->errorNumber == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// Cairo's text calls want UTF-8; anything else in a file name would put the
// drawing into an error state, so only printable ASCII is kept.
std::string printable(const std::string& text) {
  std::string kept = text;
  for (char& c : kept) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  }
  return kept;
}

void showText(cairo_t* cr, double x, double y, const std::string& text, double alignX) {
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_move_to(cr, x - alignX * extents.x_advance, y);
  cairo_show_text(cr, text.c_str());
}

// Class of a triangle by its mean z within the data's z range, and its light.
int32_t colourClass(const ExportMesh& mesh, int32_t face, bool flat) {
  const int32_t* corners = &mesh.corners[static_cast<size_t>(face) * 3];
  const long double range = static_cast<long double>(mesh.highestZ) - mesh.lowestZ;
  int32_t ramp = rampClasses / 2;
  if (range > 0.0L) {
    long double mean = 0.0L;
    for (int32_t c = 0; c < 3; ++c) mean += mesh.vertices[static_cast<size_t>(corners[c])].z;
    mean /= 3.0L;
    const long double t = (mean - mesh.lowestZ) / range;
    ramp = std::min(static_cast<int32_t>(std::clamp(t, 0.0L, 1.0L) * rampClasses), rampClasses - 1);
  }
  int32_t shade = shadeUnit;
  if (!flat) {
    shade = static_cast<int32_t>(std::lround(hillshadeFactor(mesh, face) * shadeUnit));
    shade = std::clamp(shade, 0, shadeClasses - 1);
  }
  return ramp * shadeClasses + shade;
}

// The ramp colour of class k, in light: darker towards black below the
// unit step, paler towards white above it.
void classColour(int32_t k, double rgb[3]) {
  viridisColour((k / shadeClasses) / (rampClasses - 1.0), rgb);
  const double light = static_cast<double>(k % shadeClasses) / shadeUnit;
  for (int32_t i = 0; i < 3; ++i) {
    rgb[i] = light <= 1.0 ? rgb[i] * (0.3 + 0.7 * light) : rgb[i] + (1.0 - rgb[i]) * 0.8 * (light - 1.0);
  }
}

// A face's corners on the page, laid out by colour class so that the
// drawing passes read them in order.
struct PageTriangle {
  float x[3];
  float y[3];
};

void drawTriangles(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, bool vector, bool flat,
                   bool edgesShown, ExportProgress* progress) {
  std::vector<float> pixels(static_cast<size_t>(mesh.vertexCount) * 2);
  for (int32_t v = 0; v < mesh.vertexCount; ++v) {
    const ExportVertex& vertex = mesh.vertices[static_cast<size_t>(v)];
    double px = 0.0, py = 0.0;
    picturePosition(layout, vertex.x, vertex.y, &px, &py);
    pixels[static_cast<size_t>(v) * 2] = static_cast<float>(px);
    pixels[static_cast<size_t>(v) * 2 + 1] = static_cast<float>(py);
  }
  // Faces grouped by colour class, file order kept within a class; bit c of
  // edges[i] says that edge c of sorted face i is long enough to draw.
  const size_t faceCount = static_cast<size_t>(mesh.triangleCount);
  std::vector<int32_t> classes(faceCount);
  std::vector<int32_t> classStart(colourClasses + 1, 0);
  for (size_t f = 0; f < faceCount; ++f) {
    classes[f] = colourClass(mesh, static_cast<int32_t>(f), flat);
    ++classStart[classes[f] + 1];
  }
  for (int32_t k = 0; k < colourClasses; ++k) classStart[k + 1] += classStart[k];
  std::vector<PageTriangle> page(faceCount);
  std::vector<uint8_t> edges(faceCount);
  std::vector<int32_t> edgeCount(colourClasses, 0);
  std::vector<int32_t> next(classStart.begin(), classStart.end() - 1);
  constexpr float shortestSquared = static_cast<float>(shortestEdge * shortestEdge);
  for (size_t f = 0; f < faceCount; ++f) {
    const size_t slot = static_cast<size_t>(next[classes[f]]++);
    PageTriangle& triangle = page[slot];
    for (int32_t c = 0; c < 3; ++c) {
      const size_t corner = static_cast<size_t>(mesh.corners[f * 3 + static_cast<size_t>(c)]);
      triangle.x[c] = pixels[corner * 2];
      triangle.y[c] = pixels[corner * 2 + 1];
    }
    uint8_t bits = 0;
    for (int32_t c = 0; c < 3; ++c) {
      const float dx = triangle.x[(c + 1) % 3] - triangle.x[c];
      const float dy = triangle.y[(c + 1) % 3] - triangle.y[c];
      if (dx * dx + dy * dy >= shortestSquared) bits = static_cast<uint8_t>(bits | (1 << c));
    }
    if (!edgesShown) bits = 0;
    edges[slot] = bits;
    if (bits != 0) ++edgeCount[classes[f]];
  }
  classes = std::vector<int32_t>();
  pixels = std::vector<float>();

  // On a raster every pixel centre goes to exactly one triangle, so
  // neighbours meet without the pale seams of antialiased edges, and edges
  // are crisp one-pixel lines (which also keeps PNG files small). Vector
  // viewers antialias anyway; there a hairline of the fill's own colour
  // covers the seams, and edges are half as wide.
  cairo_set_antialias(cr, vector ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 0.25);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int32_t k = 0; k < colourClasses; ++k) {
    if (classStart[k] == classStart[k + 1]) continue;
    double rgb[3];
    classColour(k, rgb);
    cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
    cairo_new_path(cr);
    for (int32_t i = classStart[k]; i < classStart[k + 1]; ++i) {
      if ((i & (progressStride - 1)) == 0) updateExportProgress(progress, "drawing", i, mesh.triangleCount);
      const PageTriangle& triangle = page[static_cast<size_t>(i)];
      cairo_move_to(cr, triangle.x[0], triangle.y[0]);
      cairo_line_to(cr, triangle.x[1], triangle.y[1]);
      cairo_line_to(cr, triangle.x[2], triangle.y[2]);
      cairo_close_path(cr);
    }
    if (vector) {
      cairo_fill_preserve(cr);
      cairo_stroke(cr);
    } else {
      cairo_fill(cr);
    }
  }

  cairo_set_line_width(cr, vector ? 0.5 : 1.0);
  for (int32_t k = 0; k < colourClasses; ++k) {
    if (edgeCount[k] == 0) continue;
    double rgb[3];
    classColour(k, rgb);
    cairo_set_source_rgb(cr, rgb[0] * 0.7, rgb[1] * 0.7, rgb[2] * 0.7);
    cairo_new_path(cr);
    for (int32_t i = classStart[k]; i < classStart[k + 1]; ++i) {
      const PageTriangle& triangle = page[static_cast<size_t>(i)];
      for (int32_t c = 0; c < 3; ++c) {
        if ((edges[static_cast<size_t>(i)] & (1 << c)) == 0) continue;
        cairo_move_to(cr, triangle.x[c], triangle.y[c]);
        cairo_line_to(cr, triangle.x[(c + 1) % 3], triangle.y[(c + 1) % 3]);
      }
    }
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

void drawColourBar(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, const Bands& bands,
                   double size) {
  const double left = layout.width - bands.right + 0.02 * size;
  const double width = barShare * size;
  const double top = bands.top;
  const double bottom = layout.height - bands.bottom;
  cairo_pattern_t* ramp = cairo_pattern_create_linear(0.0, bottom, 0.0, top);
  for (int32_t i = 0; i <= 8; ++i) {
    const unsigned char* stop = viridisStops[i];
    cairo_pattern_add_color_stop_rgb(ramp, i / 8.0, stop[0] / 255.0, stop[1] / 255.0, stop[2] / 255.0);
  }
  cairo_rectangle(cr, left, top, width, bottom - top);
  cairo_set_source(cr, ramp);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(ramp);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_set_line_width(cr, std::max(1.0, size / 1600.0));
  cairo_stroke(cr);

  // Two decimals as in the triangle file, unless that would not fit.
  auto label = [](double z, char* text, size_t room) {
    std::snprintf(text, room, std::fabs(z) < 1e9 ? "%.2f" : "%.6g", z);
  };
  char text[64];
  cairo_set_font_size(cr, bands.label);
  const double labelX = left + width + 0.008 * size;
  label(mesh.highestZ, text, sizeof text);
  showText(cr, labelX, top + bands.label * 0.8, text, 0.0);
  label(mesh.lowestZ, text, sizeof text);
  showText(cr, labelX, bottom, text, 0.0);
  showText(cr, left + width / 2.0, top - 0.4 * bands.label, "z", 0.5);
}

// A round length (1, 2 or 5 times a power of ten) of about a quarter of the
// plot's width, drawn under its lower left corner.
void drawScaleBar(cairo_t* cr, const PictureLayout& layout, const Bands& bands, double size, int32_t units) {
  const double wanted = layout.plotWidth / 4.0 / static_cast<double>(layout.scale);
  if (!(wanted > 0.0) || !std::isfinite(wanted)) return;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  double length = power;
  if (2.0 * power <= wanted) length = 2.0 * power;
  if (5.0 * power <= wanted) length = 5.0 * power;
  const double pixels = length * static_cast<double>(layout.scale);
  const double left = layout.plotLeft;
  const double y = layout.height - bands.bottom + 1.8 * bands.gridLabel + 0.025 * size;
  const double tick = 0.008 * size;
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, std::max(1.0, size / 800.0));
  cairo_move_to(cr, left, y - tick);
  cairo_line_to(cr, left, y);
  cairo_line_to(cr, left + pixels, y);
  cairo_line_to(cr, left + pixels, y - tick);
  cairo_stroke(cr);
  char text[64];
  std::snprintf(text, sizeof text, "%g %s", length, exportUnitsName(units));
  cairo_set_font_size(cr, bands.label);
  const double textY = y + 1.4 * bands.label;
  showText(cr, left, textY, "0", 0.5);
  showText(cr, left + pixels, textY, text, 0.5);
}

// An arrowhead pointing up, its tip at (x, top).
void fillArrow(cairo_t* cr, double x, double top, double height) {
  cairo_move_to(cr, x, top);
  cairo_line_to(cr, x + 0.25 * height, top + height);
  cairo_line_to(cr, x, top + 0.75 * height);
  cairo_line_to(cr, x - 0.25 * height, top + height);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void drawNorthArrow(cairo_t* cr, const PictureLayout& layout, const Bands& bands, double size) {
  const double x = layout.plotLeft + layout.plotWidth - 0.02 * size;
  const double top = layout.height - bands.bottom + 1.8 * bands.gridLabel + 0.012 * size;
  const double height = 0.03 * size;
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  fillArrow(cr, x, top, height);
  cairo_set_font_size(cr, bands.label);
  showText(cr, x - 0.5 * height, top + height, "N", 1.0);
}

void drawTitle(cairo_t* cr, const PictureLayout& layout, const Bands& bands, const std::string& title) {
  const std::string text = printable(title);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  const double fontSize = bands.title;
  cairo_set_font_size(cr, fontSize);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  const double room = layout.width - 2.0 * bands.margin;
  if (extents.x_advance > room) cairo_set_font_size(cr, fontSize * room / extents.x_advance);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  showText(cr, bands.margin, bands.margin + fontSize, text, 0.0);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

// A round step (1, 2 or 5 times a power of ten) of at least wanted.
double roundStep(double wanted) {
  if (!(wanted > 0.0) || !std::isfinite(wanted)) return 0.0;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= wanted) return step * power;
  }
  return 10.0 * power;
}

// A number for a label: up to two decimals, no trailing zeros.
std::string labelNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, std::fabs(value) < 1e12 ? "%.2f" : "%.6g", value);
  std::string label = text;
  if (label.find('.') != std::string::npos && label.find('e') == std::string::npos) {
    while (label.back() == '0') label.pop_back();
    if (label.back() == '.') label.pop_back();
  }
  return label == "-0" ? "0" : label;
}

void plotClip(cairo_t* cr, const PictureLayout& layout) {
  cairo_rectangle(cr, layout.plotLeft, layout.plotBottom - layout.plotHeight, layout.plotWidth, layout.plotHeight);
  cairo_clip(cr);
}

constexpr int32_t gridMostLines = 100;

// Pale over any colour of the ramp, so that it shows without hiding it.
void gridLine(cairo_t* cr, double x0, double y0, double x1, double y1) {
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.55);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_stroke(cr);
}

// Round eastings and northings across the plot, labelled outside it.
void drawGrid(cairo_t* cr, const PictureLayout& layout, double fontSize, double lineWidth) {
  const long double scale = layout.scale;
  const double spanX = static_cast<double>(layout.plotWidth / scale);
  const double spanY = static_cast<double>(layout.plotHeight / scale);
  const double step = roundStep(std::max(spanX, spanY) / 6.0);
  if (!(step > 0.0)) return;
  cairo_set_font_size(cr, fontSize);
  cairo_set_line_width(cr, lineWidth);
  const double left = layout.plotLeft, right = layout.plotLeft + layout.plotWidth;
  const double bottom = layout.plotBottom, top = layout.plotBottom - layout.plotHeight;
  const double lowX = static_cast<double>(layout.lowX), lowY = static_cast<double>(layout.lowY);
  // Counted in whole steps: far from the origin adding a step to a
  // coordinate need not change it.
  const double firstE = std::ceil(lowX / step), firstN = std::ceil(lowY / step);
  double lastLabel = -1e300;
  for (int32_t i = 0; i < gridMostLines && (firstE + i) * step <= lowX + spanX; ++i) {
    const double e = (firstE + i) * step;
    double px = 0.0, py = 0.0;
    picturePosition(layout, e, lowY, &px, &py);
    gridLine(cr, px, top, px, bottom);
    const std::string text = "E " + labelNumber(e);
    cairo_text_extents_t extents{};
    cairo_text_extents(cr, text.c_str(), &extents);
    if (px - extents.x_advance / 2.0 < lastLabel + 0.5 * fontSize) continue;
    lastLabel = px + extents.x_advance / 2.0;
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    showText(cr, px, bottom + 1.3 * fontSize, text, 0.5);
  }
  lastLabel = 1e300;
  for (int32_t i = 0; i < gridMostLines && (firstN + i) * step <= lowY + spanY; ++i) {
    const double n = (firstN + i) * step;
    double px = 0.0, py = 0.0;
    picturePosition(layout, lowX, n, &px, &py);
    gridLine(cr, left, py, right, py);
    if (py + 0.4 * fontSize > lastLabel - 1.5 * fontSize) continue;
    lastLabel = py + 0.4 * fontSize;
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    showText(cr, left - 0.4 * fontSize, py + 0.4 * fontSize, "N " + labelNumber(n), 1.0);
  }
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_rectangle(cr, left, top, layout.plotWidth, layout.plotHeight);
  cairo_stroke(cr);
}

// One contour line on the page, steps shorter than contourStep merged.
void pageLine(const ExportContours& contours, const ExportContourLine& line, const PictureLayout& layout,
              std::vector<double>* page) {
  page->clear();
  for (int32_t p = 0; p < line.pointCount; ++p) {
    const double* xy = &contours.xy[static_cast<size_t>(line.firstPoint) + static_cast<size_t>(p) * 2];
    double px = 0.0, py = 0.0;
    picturePosition(layout, xy[0], xy[1], &px, &py);
    const size_t n = page->size();
    if (n > 0 && p + 1 < line.pointCount && std::fabs(px - (*page)[n - 2]) < contourStep &&
        std::fabs(py - (*page)[n - 1]) < contourStep) {
      continue;
    }
    page->push_back(px);
    page->push_back(py);
  }
  if (line.closed && !page->empty()) {
    page->push_back((*page)[0]);
    page->push_back((*page)[1]);
  }
}

struct LabelBox {
  double left, top, right, bottom;
};

// Elevation labels along an index contour, upright, every spacing along it
// where the line runs straight enough under the text and no other label is.
void placeLabels(cairo_t* cr, const std::vector<double>& page, const std::string& text, double spacing,
                 const PictureLayout& layout, std::vector<LabelBox>* placed) {
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  const double width = extents.x_advance, height = extents.height;
  const size_t count = page.size() / 2;
  std::vector<double> along(count, 0.0);
  for (size_t i = 1; i < count; ++i) {
    along[i] = along[i - 1] + std::hypot(page[i * 2] - page[i * 2 - 2], page[i * 2 + 1] - page[i * 2 - 1]);
  }
  const double total = count > 0 ? along.back() : 0.0;
  if (total < 2.0 * width) return;
  auto pointAt = [&](double s, double* x, double* y) {
    const size_t i = static_cast<size_t>(std::upper_bound(along.begin(), along.end(), s) - along.begin());
    const size_t b = std::min(std::max<size_t>(i, 1), count - 1), a = b - 1;
    const double share = along[b] > along[a] ? (s - along[a]) / (along[b] - along[a]) : 0.0;
    *x = page[a * 2] + share * (page[b * 2] - page[a * 2]);
    *y = page[a * 2 + 1] + share * (page[b * 2 + 1] - page[a * 2 + 1]);
  };
  const double firstAt = std::min(spacing / 2.0, total / 2.0);
  spacing = std::max(spacing, 2.0 * width);
  for (double s = firstAt; s + width / 2.0 <= total; s += spacing) {
    if (s < width / 2.0) continue;
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    pointAt(s - width / 2.0, &x0, &y0);
    pointAt(s + width / 2.0, &x1, &y1);
    if (std::hypot(x1 - x0, y1 - y0) < 0.9 * width) continue;  // bends under the text
    double angle = std::atan2(y1 - y0, x1 - x0);
    if (angle > std::numbers::pi / 2.0) angle -= std::numbers::pi;
    if (angle < -std::numbers::pi / 2.0) angle += std::numbers::pi;
    const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    const double halfW = (std::fabs(std::cos(angle)) * width + std::fabs(std::sin(angle)) * height) / 2.0 + 1.0;
    const double halfH = (std::fabs(std::sin(angle)) * width + std::fabs(std::cos(angle)) * height) / 2.0 + 1.0;
    const LabelBox box{cx - halfW, cy - halfH, cx + halfW, cy + halfH};
    if (box.left < layout.plotLeft || box.right > layout.plotLeft + layout.plotWidth ||
        box.top < layout.plotBottom - layout.plotHeight || box.bottom > layout.plotBottom) {
      continue;
    }
    bool free = true;
    for (const LabelBox& other : *placed) {
      if (box.left < other.right && other.left < box.right && box.top < other.bottom && other.top < box.bottom) {
        free = false;
        break;
      }
    }
    if (!free) continue;
    placed->push_back(box);
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    cairo_move_to(cr, -width / 2.0, height / 2.0);
    cairo_text_path(cr, text.c_str());
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.85);
    cairo_set_line_width(cr, height * 0.35);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgb(cr, 0.25, 0.12, 0.02);
    cairo_fill(cr);
    cairo_restore(cr);
  }
}

void drawContours(cairo_t* cr, const ExportContours& contours, const PictureLayout& layout, double lineWidth,
                  double fontSize, ExportProgress* progress) {
  cairo_save(cr);
  plotClip(cr, layout);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  std::vector<double> page;
  // Thin lines first, index lines over them, labels over everything.
  for (const bool index : {false, true}) {
    cairo_set_source_rgba(cr, 0.25, 0.12, 0.02, index ? 0.9 : 0.7);
    cairo_set_line_width(cr, index ? 2.2 * lineWidth : lineWidth);
    for (const ExportContourLevel& level : contours.levels) {
      if (level.index != index) continue;
      updateExportProgress(progress, "contours", level.firstLine, static_cast<int64_t>(contours.lines.size()));
      cairo_new_path(cr);
      for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
        pageLine(contours, contours.lines[static_cast<size_t>(l)], layout, &page);
        for (size_t i = 0; i < page.size(); i += 2) {
          if (i == 0) cairo_move_to(cr, page[i], page[i + 1]);
          else cairo_line_to(cr, page[i], page[i + 1]);
        }
      }
      cairo_stroke(cr);
    }
  }
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, fontSize);
  std::vector<LabelBox> placed;
  const double spacing = std::max(layout.plotWidth, layout.plotHeight) / 3.0;
  for (const ExportContourLevel& level : contours.levels) {
    if (!level.index) continue;
    const std::string text = labelNumber(level.elevation);
    for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
      pageLine(contours, contours.lines[static_cast<size_t>(l)], layout, &page);
      placeLabels(cr, page, text, spacing, layout, &placed);
    }
  }
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_restore(cr);
}

// "contours every 10 m, index every 50 m"
std::string contourLegend(const ExportContours& contours, int32_t units) {
  const std::string unit = std::string(" ") + exportUnitsName(units);
  return "contours every " + labelNumber(contours.interval) + unit + ", index every " +
         labelNumber(contours.interval * contours.indexEvery) + unit;
}

void drawLegend(cairo_t* cr, const PictureLayout& layout, const Bands& bands, double size,
                const PictureRequest& request) {
  const double x = layout.width - bands.right + 0.02 * size;
  double y = layout.height - bands.bottom + 1.8 * bands.gridLabel + 1.2 * bands.gridLabel;
  cairo_set_font_size(cr, bands.gridLabel);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  std::vector<std::string> lines;
  lines.push_back(std::string("units: ") + exportUnitsName(request.units) + (request.flat ? "" : ", sun NW 45\xC2\xB0"));
  if (request.contours != nullptr) {
    lines.push_back("contours every " + labelNumber(request.contours->interval));
    lines.push_back("index every " + labelNumber(request.contours->interval * request.contours->indexEvery));
  }
  for (const std::string& line : lines) {
    showText(cr, x, y, line, 0.0);
    y += 1.3 * bands.gridLabel;
  }
}

void drawPicture(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, bool vector, double size,
                 const PictureRequest& request, ExportProgress* progress) {
  const Bands bands = pictureBands(size);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  drawTriangles(cr, mesh, layout, vector, request.flat, request.contours == nullptr, progress);
  drawGrid(cr, layout, bands.gridLabel, std::max(vector ? 0.5 : 1.0, size / 1600.0));
  if (request.contours != nullptr) {
    drawContours(cr, *request.contours, layout, std::max(vector ? 0.4 : 1.0, size / 1600.0), bands.gridLabel,
                 progress);
  }
  drawTitle(cr, layout, bands, request.title);
  drawColourBar(cr, mesh, layout, bands, size);
  drawScaleBar(cr, layout, bands, size, request.units);
  drawNorthArrow(cr, layout, bands, size);
  drawLegend(cr, layout, bands, size, request);
}

constexpr double pointsPerMillimetre = 72.0 / 25.4;

PictureLayout paperLayout(const ExportMesh& mesh, const PaperPlot& plot, const PictureRequest& request) {
  PictureLayout layout = pictureLayout(mesh, pictureDefaultSize);
  const double margin = paperMarginMillimetres * pointsPerMillimetre;
  const double pageWidth = plot.pageWidth * pointsPerMillimetre;
  const double pageHeight = plot.pageHeight * pointsPerMillimetre;
  const double roomWidth = pageWidth - 2.0 * margin;
  const double roomHeight = pageHeight - 2.0 * margin - paperStripMillimetres * pointsPerMillimetre;
  layout.width = static_cast<int32_t>(std::ceil(pageWidth));
  layout.height = static_cast<int32_t>(std::ceil(pageHeight));
  layout.scale = static_cast<long double>(unitMetres(request.units)) * 1000.0L / request.scale * pointsPerMillimetre;
  layout.plotWidth = plot.drawingWidth * pointsPerMillimetre;
  layout.plotHeight = plot.drawingHeight * pointsPerMillimetre;
  layout.plotLeft = margin + (roomWidth - layout.plotWidth) / 2.0;
  layout.plotBottom = margin + roomHeight - (roomHeight - layout.plotHeight) / 2.0;
  return layout;
}

// The strip under a plot at scale: a scale bar and north arrow on the left,
// the title block on the right.
void drawPaperStrip(cairo_t* cr, const ExportMesh& mesh, const PaperPlot& plot, const PictureRequest& request) {
  const double mm = pointsPerMillimetre;
  const double pageWidth = plot.pageWidth * mm, pageHeight = plot.pageHeight * mm;
  const double margin = paperMarginMillimetres * mm, strip = paperStripMillimetres * mm;
  const double top = pageHeight - margin - strip;
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, 0.5);
  cairo_rectangle(cr, margin, margin, pageWidth - 2.0 * margin, pageHeight - 2.0 * margin);
  cairo_move_to(cr, margin, top);
  cairo_line_to(cr, pageWidth - margin, top);
  cairo_stroke(cr);

  // Title block: 100 mm wide, against the right edge.
  const double blockLeft = pageWidth - margin - 100.0 * mm;
  cairo_move_to(cr, blockLeft, top);
  cairo_line_to(cr, blockLeft, pageHeight - margin);
  cairo_stroke(cr);
  const double unitsPerMetre = 1.0 / unitMetres(request.units);
  const std::string unit = exportUnitsName(request.units);
  std::vector<std::string> lines{
      "scale 1:" + std::to_string(request.scale) + " on ISO A" + std::to_string(request.paper) + ", " +
          (plot.landscape ? "landscape" : "portrait") + ", units " + unit,
      request.contours != nullptr ? contourLegend(*request.contours, request.units) : std::string("no contours"),
      std::to_string(mesh.triangleCount) + (mesh.triangleCount == 1 ? " triangle" : " triangles") + ", z " +
          labelNumber(mesh.lowestZ) + " to " + labelNumber(mesh.highestZ) + " " + unit,
      "mesh file of " + request.date + ", tsvmesh-export " TSVMESH_VERSION};
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 11.0);
  const std::string name = printable(request.fileName);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, name.c_str(), &extents);
  if (extents.x_advance > 94.0 * mm) cairo_set_font_size(cr, 11.0 * 94.0 * mm / extents.x_advance);
  showText(cr, blockLeft + 3.0 * mm, top + 7.0 * mm, name, 0.0);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  for (size_t i = 0; i < lines.size(); ++i) {
    cairo_set_font_size(cr, 7.5);
    cairo_text_extents(cr, lines[i].c_str(), &extents);
    if (extents.x_advance > 94.0 * mm) cairo_set_font_size(cr, 7.5 * 94.0 * mm / extents.x_advance);
    showText(cr, blockLeft + 3.0 * mm, top + (13.0 + 5.0 * static_cast<double>(i)) * mm, lines[i], 0.0);
  }

  // Scale bar: four alternating parts, about 60 mm on paper in all.
  const double groundPerMillimetre = request.scale / 1000.0 * unitsPerMetre;
  const double length = roundStep(60.0 * groundPerMillimetre) / 2.0 >= 15.0 * groundPerMillimetre
                            ? roundStep(60.0 * groundPerMillimetre) / 2.0
                            : roundStep(60.0 * groundPerMillimetre);
  const double barWidth = length / groundPerMillimetre * mm;
  const double barLeft = margin + 8.0 * mm, barTop = top + 12.0 * mm, barHeight = 2.0 * mm;
  for (int32_t part = 0; part < 4; ++part) {
    cairo_rectangle(cr, barLeft + part * barWidth / 4.0, barTop, barWidth / 4.0, barHeight);
    cairo_set_source_rgb(cr, part % 2 == 0 ? 0.1 : 1.0, part % 2 == 0 ? 0.1 : 1.0, part % 2 == 0 ? 0.1 : 1.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_stroke(cr);
  }
  cairo_set_font_size(cr, 7.0);
  showText(cr, barLeft, barTop - 1.5 * mm, "0", 0.5);
  showText(cr, barLeft + barWidth / 2.0, barTop - 1.5 * mm, labelNumber(length / 2.0), 0.5);
  showText(cr, barLeft + barWidth, barTop - 1.5 * mm, labelNumber(length) + " " + unit, 0.5);
  showText(cr, barLeft, barTop + barHeight + 5.0 * mm, "1:" + std::to_string(request.scale), 0.0);

  // North arrow right of the bar.
  const double arrowX = std::min(barLeft + barWidth + 20.0 * mm, blockLeft - 8.0 * mm);
  const double arrowTop = top + 8.0 * mm;
  fillArrow(cr, arrowX, arrowTop, 12.0 * mm);
  showText(cr, arrowX, arrowTop - 1.5 * mm, "N", 0.5);
}

void drawPaperPlot(cairo_t* cr, const ExportMesh& mesh, const PictureLayout& layout, const PaperPlot& plot,
                   const PictureRequest& request, ExportProgress* progress) {
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  drawTriangles(cr, mesh, layout, true, request.flat, request.contours == nullptr, progress);
  drawGrid(cr, layout, 6.0, 0.3);
  if (request.contours != nullptr) drawContours(cr, *request.contours, layout, 0.25, 6.0, progress);
  drawPaperStrip(cr, mesh, plot, request);
}

}  // namespace

PictureLayout pictureLayout(const ExportMesh& mesh, int32_t size) {
  const double side = size;
  const Bands bands = pictureBands(side);
  PictureLayout layout;
  long double lowX = 0.0L, highX = 1.0L, lowY = 0.0L, highY = 1.0L;
  if (mesh.vertexCount > 0) {
    lowX = highX = mesh.vertices[0].x;
    lowY = highY = mesh.vertices[0].y;
    for (const ExportVertex& vertex : mesh.vertices) {
      lowX = std::min<long double>(lowX, vertex.x);
      highX = std::max<long double>(highX, vertex.x);
      lowY = std::min<long double>(lowY, vertex.y);
      highY = std::max<long double>(highY, vertex.y);
    }
  }
  const long double roomX = side - bands.left - bands.right;
  const long double roomY = side - bands.top - bands.bottom;
  const long double fitX = highX > lowX ? roomX / (highX - lowX) : 0.0L;
  const long double fitY = highY > lowY ? roomY / (highY - lowY) : 0.0L;
  long double scale = 1.0L;
  if (fitX > 0.0L && fitY > 0.0L) scale = std::min(fitX, fitY);
  else if (fitX > 0.0L || fitY > 0.0L) scale = std::max(fitX, fitY);
  layout.scale = scale;
  layout.lowX = lowX;
  layout.lowY = lowY;
  layout.plotWidth = static_cast<double>((highX - lowX) * scale);
  layout.plotHeight = static_cast<double>((highY - lowY) * scale);
  // A narrow mesh still leaves room for the title and the colour bar.
  const double width = std::max(bands.left + layout.plotWidth + bands.right, 0.6 * side);
  const double height = std::max(bands.top + layout.plotHeight + bands.bottom, 0.5 * side);
  layout.width = static_cast<int32_t>(std::min(std::ceil(width), side));
  layout.height = static_cast<int32_t>(std::min(std::ceil(height), side));
  layout.plotLeft = bands.left + (layout.width - bands.left - bands.right - layout.plotWidth) / 2.0;
  layout.plotBottom =
      layout.height - bands.bottom - (layout.height - bands.top - bands.bottom - layout.plotHeight) / 2.0;
  return layout;
}

void picturePosition(const PictureLayout& layout, double x, double y, double* px, double* py) {
  *px = layout.plotLeft + static_cast<double>((x - layout.lowX) * layout.scale);
  *py = layout.plotBottom - static_cast<double>((y - layout.lowY) * layout.scale);
}

void viridisColour(double t, double rgb[3]) {
  const double at = std::clamp(t, 0.0, 1.0) * 8.0;
  const int32_t stop = std::min(static_cast<int32_t>(at), 7);
  const double share = at - stop;
  for (int32_t i = 0; i < 3; ++i) {
    rgb[i] = (viridisStops[stop][i] + share * (viridisStops[stop + 1][i] - viridisStops[stop][i])) / 255.0;
  }
}

bool writeMeshPicture(const ExportMesh& mesh, const PictureRequest& request, ExportOutput* output,
                      ExportProgress* progress, std::string* problem) {
  const bool onPaper = request.paper >= 0 && request.format == picturePdf;
  PaperPlot plot;
  PictureLayout layout;
  if (onPaper) {
    plot = paperPlot(mesh, request.paper, request.units, request.scale);
    layout = paperLayout(mesh, plot, request);
  } else {
    layout = pictureLayout(mesh, request.size);
  }
  // Rough bytes of a vector file per triangle, for the bar while cairo writes.
  PictureSink sink{output, progress, 0, std::max<int64_t>(1, int64_t{60} * mesh.triangleCount)};
  cairo_surface_t* surface = nullptr;
  if (request.format == picturePng) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
  } else if (request.format == pictureSvg) {
    surface = cairo_svg_surface_create_for_stream(writeToOutput, &sink, layout.width, layout.height);
  } else {
    const double width = onPaper ? plot.pageWidth * pointsPerMillimetre : layout.width;
    const double height = onPaper ? plot.pageHeight * pointsPerMillimetre : layout.height;
    sink.expected /= 3;  // compressed
    surface = cairo_pdf_surface_create_for_stream(writeToOutput, &sink, width, height);
    // The creation date is the mesh file's, so the same file gives the same bytes.
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, request.pdfDate.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, printable(request.title).c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "tsvmesh-export");
  }
  cairo_t* cr = cairo_create(surface);
  if (onPaper) {
    drawPaperPlot(cr, mesh, layout, plot, request, progress);
  } else {
    drawPicture(cr, mesh, layout, request.format != picturePng, request.size, request, progress);
  }
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && request.format == picturePng) {
    updateExportProgress(progress, "writing", 0, 1);
    status = cairo_surface_write_to_png_stream(surface, writeToOutput, &sink);
  }
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  // Releases cairo's font caches, so that leak checkers see only our own memory.
  cairo_debug_reset_static_data();
  if (status != CAIRO_STATUS_SUCCESS) {
    *problem = cairo_status_to_string(status);
    return false;
  }
  return true;
}
