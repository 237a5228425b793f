#include "export/write/picture.h"

#include <algorithm>
#include <cmath>

#include "export/paper.h"
#include "export/read/mesh_file.h"
#include "export/write/render_cairo.h"
#include "export/write/sheet.h"
#include "export/write/sheet_frame.h"
#include "export/write/sheet_pdf.h"
#include "export/write/sheet_surface.h"

namespace {

// Raster pixels per sheet unit for the surface: a PNG's own pixels; twice
// that for a picture in points, which viewers zoom into; 150 dpi on paper.
constexpr double pngDensity = 1.0;
constexpr double vectorDensity = 2.0;
constexpr double paperDensity = 150.0 / 72.0;

// A vector file's raster stays under this many pixels (A0 at 150 dpi
// fits), however large the picture asked for.
constexpr double mostVectorPixels = 40e6;

double vectorRasterDensity(const PictureLayout& layout, double wanted) {
  const double area = layout.plotWidth * layout.plotHeight;
  return area * wanted * wanted > mostVectorPixels ? std::sqrt(mostVectorPixels / area) : wanted;
}

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

void buildPaperSheet(const ExportMesh& mesh, const PictureRequest& request, Sheet* sheet,
                     ExportProgress* progress) {
  const PaperPlot plot = paperPlot(mesh, request.paper, request.units, request.scale);
  const PictureLayout layout = paperLayout(mesh, plot, request);
  sheet->width = plot.pageWidth * pointsPerMillimetre;
  sheet->height = plot.pageHeight * pointsPerMillimetre;
  SurfaceStyle style;
  style.density = vectorRasterDensity(layout, paperDensity);
  style.flat = request.flat;
  style.edges = request.contours == nullptr;
  style.edgeWidth = 0.5;
  addSheetSurface(sheet, mesh, layout, style, progress);
  addSheetGrid(sheet, layout, 6.0, 0.3);
  if (request.contours != nullptr) addSheetContours(sheet, *request.contours, layout, 0.25, 6.0, progress);
  addSheetStructure(sheet, mesh, layout, 0.25);
  addPaperStrip(sheet, mesh, plot, request);
}

void buildPlainSheet(const ExportMesh& mesh, const PictureRequest& request, Sheet* sheet, ExportProgress* progress) {
  const PictureLayout layout = pictureLayout(mesh, request.size);
  const bool raster = request.format == picturePng;
  const double size = request.size;
  sheet->width = layout.width;
  sheet->height = layout.height;
  SurfaceStyle style;
  style.density = raster ? pngDensity : vectorRasterDensity(layout, vectorDensity);
  style.flat = request.flat;
  style.edges = request.contours == nullptr;
  style.crispEdges = raster;
  style.edgeWidth = raster ? 1.0 : 0.5;
  addSheetSurface(sheet, mesh, layout, style, progress);
  const double pixel = raster ? 1.0 : 0.5;
  addSheetGrid(sheet, layout, pictureBands(size).gridLabel, std::max(pixel, size / 1600.0));
  if (request.contours != nullptr) {
    addSheetContours(sheet, *request.contours, layout, std::max(raster ? 1.0 : 0.4, size / 1600.0),
                     pictureBands(size).gridLabel, progress);
  }
  addSheetStructure(sheet, mesh, layout, std::max(raster ? 1.0 : 0.4, size / 1600.0));
  addPictureFrame(sheet, mesh, layout, size, request);
}

}  // namespace

PictureLayout pictureLayout(const ExportMesh& mesh, int32_t size) {
  const double side = size;
  const PictureBands bands = pictureBands(side);
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

void buildPictureSheet(const ExportMesh& mesh, const PictureRequest& request, Sheet* sheet,
                       ExportProgress* progress) {
  sheet->title = sheetPrintable(request.title);
  sheet->date = request.pdfDate;
  if (request.paper >= 0 && request.format == picturePdf) buildPaperSheet(mesh, request, sheet, progress);
  else buildPlainSheet(mesh, request, sheet, progress);
}

bool writeMeshPicture(const ExportMesh& mesh, const PictureRequest& request, ExportOutput* output,
                      ExportProgress* progress, std::string* problem) {
  Sheet sheet;
  buildPictureSheet(mesh, request, &sheet, progress);
  if (request.format == picturePdf) return writeSheetPdf(sheet, output, progress, problem);
  return renderSheetCairo(sheet, request.format == pictureSvg, output, progress, problem);
}
