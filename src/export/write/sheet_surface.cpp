#include "export/write/sheet_surface.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "export/products/contours.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/write/hillshade.h"
#include "export/write/picture.h"
#include "export/write/sheet.h"

namespace {

// An edge is drawn when it is at least this long on the sheet; shorter
// ones would hide the fill of their triangles.
constexpr double shortestEdge = 12.0;

// Contour pieces shorter than this on the sheet are not drawn apart.
constexpr double contourStep = 0.5;

constexpr int32_t gridMostLines = 100;

const SheetPaint contourBrown{0.25, 0.12, 0.02, 1.0};

std::vector<double> pagePositions(const ExportMesh& mesh, const PictureLayout& layout) {
  std::vector<double> page(static_cast<size_t>(mesh.vertexCount) * 2);
  for (size_t v = 0; v < static_cast<size_t>(mesh.vertexCount); ++v) {
    picturePosition(layout, mesh.vertices[v].x, mesh.vertices[v].y, &page[v * 2], &page[v * 2 + 1]);
  }
  return page;
}

// The edges of each colour class in one path, a little darker than the
// class; faces in file order within a class.
void addEdges(Sheet* sheet, const ExportMesh& mesh, const std::vector<double>& page,
              const std::vector<int32_t>& classes, const SurfaceStyle& style) {
  std::vector<int32_t> start(surfaceClassCount + 1, 0);
  for (const int32_t k : classes) ++start[static_cast<size_t>(k) + 1];
  for (size_t k = 0; k < surfaceClassCount; ++k) start[k + 1] += start[k];
  std::vector<int32_t> order(classes.size());
  std::vector<int32_t> next(start.begin(), start.end() - 1);
  for (size_t f = 0; f < classes.size(); ++f) order[static_cast<size_t>(next[static_cast<size_t>(classes[f])]++)] = static_cast<int32_t>(f);
  for (int32_t k = 0; k < surfaceClassCount; ++k) {
    SheetPath path;
    for (int32_t i = start[static_cast<size_t>(k)]; i < start[static_cast<size_t>(k) + 1]; ++i) {
      const int32_t* corners = &mesh.corners[static_cast<size_t>(order[static_cast<size_t>(i)]) * 3];
      for (int32_t c = 0; c < 3; ++c) {
        const double* a = &page[static_cast<size_t>(corners[c]) * 2];
        const double* b = &page[static_cast<size_t>(corners[(c + 1) % 3]) * 2];
        if (std::hypot(b[0] - a[0], b[1] - a[1]) < shortestEdge) continue;
        sheetMove(&path, a[0], a[1]);
        sheetLine(&path, b[0], b[1]);
      }
    }
    double rgb[3];
    surfaceClassColour(k, rgb);
    path.stroked = true;
    path.stroke = SheetPaint{rgb[0] * 0.7, rgb[1] * 0.7, rgb[2] * 0.7, 1.0};
    path.lineWidth = style.edgeWidth;
    path.crisp = style.crispEdges;
    addSheetPath(sheet, std::move(path));
  }
}

SheetRectangle plotRectangle(const PictureLayout& layout) {
  return SheetRectangle{layout.plotLeft, layout.plotBottom - layout.plotHeight, layout.plotWidth, layout.plotHeight};
}

}  // namespace

void addSheetSurface(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, const SurfaceStyle& style,
                     ExportProgress* progress) {
  const SheetRectangle plot = plotRectangle(layout);
  // Whole pixels of the raster cover the plot, so that on a PNG (one pixel
  // a unit) each lands on one pixel of the picture.
  const double left = std::floor(plot.left * style.density), top = std::floor(plot.top * style.density);
  const double right = std::ceil((plot.left + plot.width) * style.density);
  const double bottom = std::ceil((plot.top + plot.height) * style.density);
  SheetImage image;
  image.columns = static_cast<int32_t>(std::max(1.0, right - left));
  image.rows = static_cast<int32_t>(std::max(1.0, bottom - top));
  image.left = left / style.density;
  image.top = top / style.density;
  image.width = image.columns / style.density;
  image.height = image.rows / style.density;
  const std::vector<double> page = pagePositions(mesh, layout);
  const std::vector<int32_t> classes = surfaceColourClasses(mesh, style.flat);
  rasterSurface(mesh, page, classes, &image, progress);
  addSheetImage(sheet, std::move(image));
  if (style.edges) addEdges(sheet, mesh, page, classes, style);
}

void addSheetGrid(Sheet* sheet, const PictureLayout& layout, double fontSize, double lineWidth) {
  const double spanX = static_cast<double>(layout.plotWidth / layout.scale);
  const double spanY = static_cast<double>(layout.plotHeight / layout.scale);
  const double step = sheetRoundStep(std::max(spanX, spanY) / 6.0);
  if (!(step > 0.0)) return;
  const SheetRectangle plot = plotRectangle(layout);
  const double lowX = static_cast<double>(layout.lowX), lowY = static_cast<double>(layout.lowY);
  // Pale over any colour of the ramp, so that it shows without hiding it.
  SheetPath lines;
  lines.stroked = true;
  lines.stroke = sheetGrey(1.0, 0.55);
  lines.lineWidth = lineWidth;
  SheetText label;
  label.size = fontSize;
  label.colour = sheetGrey(0.2);
  std::vector<SheetText> labels;
  // Counted in whole steps: far from the origin adding a step to a
  // coordinate need not change it.
  const double firstE = std::ceil(lowX / step), firstN = std::ceil(lowY / step);
  double lastLabel = -1e300;
  for (int32_t i = 0; i < gridMostLines && (firstE + i) * step <= lowX + spanX; ++i) {
    double px = 0.0, py = 0.0;
    picturePosition(layout, (firstE + i) * step, lowY, &px, &py);
    sheetMove(&lines, px, plot.top);
    sheetLine(&lines, px, plot.top + plot.height);
    label.text = "E " + sheetLabelNumber((firstE + i) * step);
    const double width = helveticaAdvance(label.text, fontSize, false);
    if (px - width / 2.0 < lastLabel + 0.5 * fontSize) continue;
    lastLabel = px + width / 2.0;
    label.x = px, label.y = plot.top + plot.height + 1.3 * fontSize, label.anchor = 0.5;
    labels.push_back(label);
  }
  lastLabel = 1e300;
  for (int32_t i = 0; i < gridMostLines && (firstN + i) * step <= lowY + spanY; ++i) {
    double px = 0.0, py = 0.0;
    picturePosition(layout, lowX, (firstN + i) * step, &px, &py);
    sheetMove(&lines, plot.left, py);
    sheetLine(&lines, plot.left + plot.width, py);
    if (py + 0.4 * fontSize > lastLabel - 1.5 * fontSize) continue;
    lastLabel = py + 0.4 * fontSize;
    label.text = "N " + sheetLabelNumber((firstN + i) * step);
    label.x = plot.left - 0.4 * fontSize, label.y = py + 0.4 * fontSize, label.anchor = 1.0;
    labels.push_back(label);
  }
  addSheetPath(sheet, std::move(lines));
  for (SheetText& text : labels) addSheetText(sheet, std::move(text));
  SheetPath frame;
  sheetRectangle(&frame, plot.left, plot.top, plot.width, plot.height);
  frame.stroked = true;
  frame.stroke = sheetGrey(0.2);
  frame.lineWidth = lineWidth;
  addSheetPath(sheet, std::move(frame));
}

namespace {

// One contour line on the sheet, steps shorter than contourStep merged.
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

void addPolyline(SheetPath* path, const std::vector<double>& page) {
  for (size_t i = 0; i < page.size(); i += 2) {
    if (i == 0) sheetMove(path, page[i], page[i + 1]);
    else sheetLine(path, page[i], page[i + 1]);
  }
}

struct LabelBox {
  double left, top, right, bottom;
};

bool boxFree(const LabelBox& box, const PictureLayout& layout, const std::vector<LabelBox>& placed) {
  if (box.left < layout.plotLeft || box.right > layout.plotLeft + layout.plotWidth ||
      box.top < layout.plotBottom - layout.plotHeight || box.bottom > layout.plotBottom) {
    return false;
  }
  for (const LabelBox& other : placed) {
    if (box.left < other.right && other.left < box.right && box.top < other.bottom && other.top < box.bottom) {
      return false;
    }
  }
  return true;
}

// Distance along a polyline, and the point at a distance.
struct Along {
  const std::vector<double>& page;
  std::vector<double> at;
  void pointAt(double s, double* x, double* y) const {
    const size_t count = at.size();
    const size_t i = static_cast<size_t>(std::upper_bound(at.begin(), at.end(), s) - at.begin());
    const size_t b = std::min(std::max<size_t>(i, 1), count - 1), a = b - 1;
    const double share = at[b] > at[a] ? (s - at[a]) / (at[b] - at[a]) : 0.0;
    *x = page[a * 2] + share * (page[b * 2] - page[a * 2]);
    *y = page[a * 2 + 1] + share * (page[b * 2 + 1] - page[a * 2 + 1]);
  }
};

// A label centred at (cx, cy), turned by angle: its baseline's middle.
void addLabel(Sheet* sheet, const std::string& text, double size, double cx, double cy, double angle,
              double height) {
  SheetText label;
  label.text = text;
  label.size = size;
  label.bold = true;
  label.anchor = 0.5;
  label.angle = angle;
  label.x = cx - std::sin(angle) * height / 2.0;
  label.y = cy + std::cos(angle) * height / 2.0;
  label.colour = contourBrown;
  label.halo = sheetGrey(1.0, 0.85);
  label.haloWidth = height * 0.35;
  addSheetText(sheet, std::move(label));
}

// Elevation labels along an index contour, upright, every spacing along it
// where the line runs straight enough under the text and no other label is.
void placeLabels(Sheet* sheet, const std::vector<double>& page, const std::string& text, double size,
                 double spacing, const PictureLayout& layout, std::vector<LabelBox>* placed) {
  const double width = helveticaAdvance(text, size, true), height = helveticaCapHeight * size;
  const size_t count = page.size() / 2;
  Along along{page, std::vector<double>(count, 0.0)};
  for (size_t i = 1; i < count; ++i) {
    along.at[i] = along.at[i - 1] + std::hypot(page[i * 2] - page[i * 2 - 2], page[i * 2 + 1] - page[i * 2 - 1]);
  }
  const double total = count > 0 ? along.at.back() : 0.0;
  if (total < 2.0 * width) return;
  const double firstAt = std::min(spacing / 2.0, total / 2.0);
  spacing = std::max(spacing, 2.0 * width);
  for (double s = firstAt; s + width / 2.0 <= total; s += spacing) {
    if (s < width / 2.0) continue;
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    along.pointAt(s - width / 2.0, &x0, &y0);
    along.pointAt(s + width / 2.0, &x1, &y1);
    if (std::hypot(x1 - x0, y1 - y0) < 0.9 * width) continue;  // bends under the text
    double angle = std::atan2(y1 - y0, x1 - x0);
    if (angle > std::numbers::pi / 2.0) angle -= std::numbers::pi;
    if (angle < -std::numbers::pi / 2.0) angle += std::numbers::pi;
    const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    const double halfW = (std::fabs(std::cos(angle)) * width + std::fabs(std::sin(angle)) * height) / 2.0 + 1.0;
    const double halfH = (std::fabs(std::sin(angle)) * width + std::fabs(std::cos(angle)) * height) / 2.0 + 1.0;
    const LabelBox box{cx - halfW, cy - halfH, cx + halfW, cy + halfH};
    if (!boxFree(box, layout, *placed)) continue;
    placed->push_back(box);
    addLabel(sheet, text, size, cx, cy, angle, height);
  }
}

}  // namespace

void addSheetContours(Sheet* sheet, const ExportContours& contours, const PictureLayout& layout, double lineWidth,
                      double fontSize, ExportProgress* progress) {
  clipSheet(sheet, plotRectangle(layout));
  std::vector<double> page;
  // Thin lines first, index lines over them, labels over everything.
  for (const bool index : {false, true}) {
    for (const ExportContourLevel& level : contours.levels) {
      if (level.index != index) continue;
      updateExportProgress(progress, "contours", level.firstLine, static_cast<int64_t>(contours.lines.size()));
      SheetPath path;
      path.stroked = true;
      path.stroke = contourBrown;
      path.stroke.alpha = index ? 0.9 : 0.7;
      path.lineWidth = index ? 2.2 * lineWidth : lineWidth;
      path.roundJoin = true;
      for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
        pageLine(contours, contours.lines[static_cast<size_t>(l)], layout, &page);
        addPolyline(&path, page);
      }
      addSheetPath(sheet, std::move(path));
    }
  }
  std::vector<LabelBox> placed;
  const double spacing = std::max(layout.plotWidth, layout.plotHeight) / 3.0;
  for (const ExportContourLevel& level : contours.levels) {
    if (!level.index) continue;
    const std::string text = sheetLabelNumber(level.elevation);
    for (int32_t l = level.firstLine; l < level.firstLine + level.lineCount; ++l) {
      pageLine(contours, contours.lines[static_cast<size_t>(l)], layout, &page);
      placeLabels(sheet, page, text, fontSize, spacing, layout, &placed);
    }
  }
  unclipSheet(sheet);
}

void addSheetStructure(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, double lineWidth) {
  if (mesh.breaklines.empty() && mesh.rings.empty()) return;
  clipSheet(sheet, plotRectangle(layout));
  // Red breaklines, the border dark green, holes dark blue.
  const SheetPaint colours[3] = {{0.80, 0.10, 0.10, 1.0}, {0.05, 0.40, 0.15, 1.0}, {0.10, 0.20, 0.55, 1.0}};
  for (int32_t kind = 0; kind < 3; ++kind) {
    SheetPath path;
    path.stroked = true;
    path.stroke = colours[kind];
    path.lineWidth = 1.5 * lineWidth;
    path.roundJoin = true;
    const std::vector<ExportPolyline>& lines = kind == 0 ? mesh.breaklines : mesh.rings;
    for (size_t k = 0; k < lines.size(); ++k) {
      const bool border = mesh.hasBorder && k == 0;
      if (kind == 1 && !border) continue;
      if (kind == 2 && border) continue;
      std::vector<double> page;
      for (const ExportVertex& v : lines[k].points) {
        double px = 0.0, py = 0.0;
        picturePosition(layout, v.x, v.y, &px, &py);
        page.insert(page.end(), {px, py});
      }
      if (lines[k].closed && !lines[k].points.empty()) page.insert(page.end(), {page[0], page[1]});
      addPolyline(&path, page);
    }
    if (!path.xy.empty()) addSheetPath(sheet, std::move(path));
  }
  unclipSheet(sheet);
}
