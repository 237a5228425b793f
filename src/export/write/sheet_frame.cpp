#include "export/write/sheet_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "export/paper.h"
#include "export/products/contours.h"
#include "export/read/mesh_file.h"
#include "export/units.h"
#include "export/write/hillshade.h"
#include "export/write/picture.h"
#include "export/write/sheet.h"

namespace {

// Proportions of the picture, as fractions of its longer side.
constexpr double marginShare = 0.03;
constexpr double titleShare = 0.022;
constexpr double labelShare = 0.015;
constexpr double barShare = 0.022;       // colour bar width
constexpr double labelRoomShare = 0.10;  // beside the colour bar
constexpr double bottomShare = 0.065;    // scale bar and its labels

// Text stays readable in small pictures.
constexpr double smallestTitle = 12.0;
constexpr double smallestLabel = 10.0;

// Steps of the colour bar's ramp, smoothed between them when drawn.
constexpr int32_t rampSteps = 256;

const SheetPaint ink = sheetGrey(0.1);

// Text at (x, y); bold text shrinks to fit room when it is wider.
void addText(Sheet* sheet, const std::string& text, double x, double y, double size, double anchor,
             SheetPaint colour = ink, bool bold = false, double room = 0.0) {
  SheetText run;
  run.text = text;
  run.x = x;
  run.y = y;
  run.size = size;
  const double width = helveticaAdvance(text, size, bold);
  if (room > 0.0 && width > room) run.size = size * room / width;
  run.anchor = anchor;
  run.bold = bold;
  run.colour = colour;
  addSheetText(sheet, std::move(run));
}

void strokePath(Sheet* sheet, SheetPath path, SheetPaint colour, double width) {
  path.stroked = true;
  path.stroke = colour;
  path.lineWidth = width;
  addSheetPath(sheet, std::move(path));
}

// An arrowhead pointing up, its tip at (x, top).
void addArrow(Sheet* sheet, double x, double top, double height) {
  SheetPath arrow;
  sheetMove(&arrow, x, top);
  sheetLine(&arrow, x + 0.25 * height, top + height);
  sheetLine(&arrow, x, top + 0.75 * height);
  sheetLine(&arrow, x - 0.25 * height, top + height);
  sheetClose(&arrow);
  arrow.filled = true;
  arrow.fill = ink;
  addSheetPath(sheet, std::move(arrow));
}

void addColourBar(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, const PictureBands& bands,
                  double size) {
  const double left = layout.width - bands.right + 0.02 * size;
  const double width = barShare * size;
  const double top = bands.top;
  const double bottom = layout.height - bands.bottom;
  SheetImage ramp;
  ramp.columns = 1;
  ramp.rows = rampSteps;
  for (int32_t row = 0; row < rampSteps; ++row) {
    double rgb[3];
    viridisColour(static_cast<double>(rampSteps - 1 - row) / (rampSteps - 1), rgb);
    for (const double c : rgb) ramp.rgb.push_back(static_cast<uint8_t>(std::lround(c * 255.0)));
  }
  ramp.left = left, ramp.top = top, ramp.width = width, ramp.height = bottom - top;
  ramp.smooth = true;
  addSheetImage(sheet, std::move(ramp));
  SheetPath frame;
  sheetRectangle(&frame, left, top, width, bottom - top);
  strokePath(sheet, std::move(frame), sheetGrey(0.2), std::max(1.0, size / 1600.0));

  // Two decimals as in the triangle file, unless that would not fit.
  auto label = [](double z) {
    char text[64];
    std::snprintf(text, sizeof text, std::fabs(z) < 1e9 ? "%.2f" : "%.6g", z);
    return std::string(text);
  };
  const double labelX = left + width + 0.008 * size;
  addText(sheet, label(mesh.highestZ), labelX, top + bands.label * 0.8, bands.label, 0.0, sheetGrey(0.2));
  addText(sheet, label(mesh.lowestZ), labelX, bottom, bands.label, 0.0, sheetGrey(0.2));
  addText(sheet, "z", left + width / 2.0, top - 0.4 * bands.label, bands.label, 0.5, sheetGrey(0.2));
}

// A round length (1, 2 or 5 times a power of ten) of about a quarter of the
// plot's width, drawn under its lower left corner.
void addScaleBar(Sheet* sheet, const PictureLayout& layout, const PictureBands& bands, double size,
                 int32_t units) {
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
  SheetPath bar;
  sheetMove(&bar, left, y - tick);
  sheetLine(&bar, left, y);
  sheetLine(&bar, left + pixels, y);
  sheetLine(&bar, left + pixels, y - tick);
  strokePath(sheet, std::move(bar), ink, std::max(1.0, size / 800.0));
  char text[64];
  std::snprintf(text, sizeof text, "%g %s", length, exportUnitsName(units));
  const double textY = y + 1.4 * bands.label;
  addText(sheet, "0", left, textY, bands.label, 0.5);
  addText(sheet, text, left + pixels, textY, bands.label, 0.5);
}

void addLegend(Sheet* sheet, const PictureLayout& layout, const PictureBands& bands, double size,
               const PictureRequest& request) {
  const double x = layout.width - bands.right + 0.02 * size;
  double y = layout.height - bands.bottom + 1.8 * bands.gridLabel + 1.2 * bands.gridLabel;
  std::vector<std::string> lines;
  lines.push_back(std::string("units: ") + exportUnitsName(request.units) + (request.flat ? "" : ", sun NW 45\xB0"));
  if (request.contours != nullptr) {
    lines.push_back("contours every " + sheetLabelNumber(request.contours->interval));
    lines.push_back("index every " + sheetLabelNumber(request.contours->interval * request.contours->indexEvery));
  }
  for (const std::string& line : lines) {
    addText(sheet, line, x, y, bands.gridLabel, 0.0);
    y += 1.3 * bands.gridLabel;
  }
}

// "contours every 10 m, index every 50 m"
std::string contourLegend(const ExportContours& contours, int32_t units) {
  const std::string unit = std::string(" ") + exportUnitsName(units);
  return "contours every " + sheetLabelNumber(contours.interval) + unit + ", index every " +
         sheetLabelNumber(contours.interval * contours.indexEvery) + unit;
}

}  // namespace

PictureBands pictureBands(double size) {
  PictureBands bands{};
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

void addPictureFrame(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, double size,
                     const PictureRequest& request) {
  const PictureBands bands = pictureBands(size);
  addText(sheet, sheetPrintable(request.title), bands.margin, bands.margin + bands.title, bands.title, 0.0, ink,
          true, layout.width - 2.0 * bands.margin);
  addColourBar(sheet, mesh, layout, bands, size);
  addScaleBar(sheet, layout, bands, size, request.units);
  const double arrowX = layout.plotLeft + layout.plotWidth - 0.02 * size;
  const double arrowTop = layout.height - bands.bottom + 1.8 * bands.gridLabel + 0.012 * size;
  const double arrowHeight = 0.03 * size;
  addArrow(sheet, arrowX, arrowTop, arrowHeight);
  addText(sheet, "N", arrowX - 0.5 * arrowHeight, arrowTop + arrowHeight, bands.label, 1.0);
  addLegend(sheet, layout, bands, size, request);
}

namespace {

constexpr double mm = pointsPerMillimetre;

// Right of the strip, 100 mm wide: the file's name and four lines on the
// plot, the mesh and the program.
void addTitleBlock(Sheet* sheet, const ExportMesh& mesh, const PaperPlot& plot, const PictureRequest& request,
                   double blockLeft, double top) {
  const std::string unit = exportUnitsName(request.units);
  const std::vector<std::string> lines{
      "scale 1:" + std::to_string(request.scale) + " on ISO A" + std::to_string(request.paper) + ", " +
          (plot.landscape ? "landscape" : "portrait") + ", units " + unit,
      request.contours != nullptr ? contourLegend(*request.contours, request.units) : std::string("no contours"),
      std::to_string(mesh.triangleCount) + (mesh.triangleCount == 1 ? " triangle" : " triangles") + ", z " +
          sheetLabelNumber(mesh.lowestZ) + " to " + sheetLabelNumber(mesh.highestZ) + " " + unit,
      "mesh file of " + request.date + ", tsvmesh-export " TSVMESH_VERSION};
  addText(sheet, sheetPrintable(request.fileName), blockLeft + 3.0 * mm, top + 7.0 * mm, 11.0, 0.0, ink, true,
          94.0 * mm);
  for (size_t i = 0; i < lines.size(); ++i) {
    addText(sheet, lines[i], blockLeft + 3.0 * mm, top + (13.0 + 5.0 * static_cast<double>(i)) * mm, 7.5, 0.0, ink,
            false, 94.0 * mm);
  }
}

// Four alternating parts, about 60 mm on paper in all, and a north arrow
// right of it; returns nothing, the bar's ends are where its labels are.
void addPaperScaleBar(Sheet* sheet, const PictureRequest& request, double left, double top, double blockLeft) {
  const double groundPerMillimetre = request.scale / 1000.0 / unitMetres(request.units);
  const double round = sheetRoundStep(60.0 * groundPerMillimetre);
  const double length = round / 2.0 >= 15.0 * groundPerMillimetre ? round / 2.0 : round;
  const double barWidth = length / groundPerMillimetre * mm;
  const double barLeft = left + 8.0 * mm, barTop = top + 12.0 * mm, barHeight = 2.0 * mm;
  for (int32_t part = 0; part < 4; ++part) {
    SheetPath box;
    sheetRectangle(&box, barLeft + part * barWidth / 4.0, barTop, barWidth / 4.0, barHeight);
    box.filled = true;
    box.fill = part % 2 == 0 ? ink : sheetGrey(1.0);
    strokePath(sheet, std::move(box), ink, 0.5);
  }
  const std::string unit = exportUnitsName(request.units);
  addText(sheet, "0", barLeft, barTop - 1.5 * mm, 7.0, 0.5);
  addText(sheet, sheetLabelNumber(length / 2.0), barLeft + barWidth / 2.0, barTop - 1.5 * mm, 7.0, 0.5);
  addText(sheet, sheetLabelNumber(length) + " " + unit, barLeft + barWidth, barTop - 1.5 * mm, 7.0, 0.5);
  addText(sheet, "1:" + std::to_string(request.scale), barLeft, barTop + barHeight + 5.0 * mm, 7.0, 0.0);
  const double arrowX = std::min(barLeft + barWidth + 20.0 * mm, blockLeft - 8.0 * mm);
  const double arrowTop = top + 8.0 * mm;
  addArrow(sheet, arrowX, arrowTop, 12.0 * mm);
  addText(sheet, "N", arrowX, arrowTop - 1.5 * mm, 7.0, 0.5);
}

}  // namespace

void addPaperStrip(Sheet* sheet, const ExportMesh& mesh, const PaperPlot& plot, const PictureRequest& request) {
  const double pageWidth = plot.pageWidth * mm, pageHeight = plot.pageHeight * mm;
  const double margin = paperMarginMillimetres * mm, strip = paperStripMillimetres * mm;
  const double top = pageHeight - margin - strip;
  const double blockLeft = pageWidth - margin - 100.0 * mm;
  SheetPath lines;
  sheetRectangle(&lines, margin, margin, pageWidth - 2.0 * margin, pageHeight - 2.0 * margin);
  sheetMove(&lines, margin, top);
  sheetLine(&lines, pageWidth - margin, top);
  sheetMove(&lines, blockLeft, top);
  sheetLine(&lines, blockLeft, pageHeight - margin);
  strokePath(sheet, std::move(lines), ink, 0.5);
  addTitleBlock(sheet, mesh, plot, request, blockLeft, top);
  addPaperScaleBar(sheet, request, margin, top, blockLeft);
}
