#include "export/paper.h"

#include <algorithm>

#include "export/read/mesh_file.h"

int32_t paperSizeOf(const char* name) {
  if ((name[0] != 'A' && name[0] != 'a') || name[1] < '0' || name[1] > '4' || name[2] != '\0') return -1;
  return name[1] - '0';
}

double unitMetres(int32_t units) {
  return units == 1 ? 0.3048 : units == 2 ? 1200.0 / 3937.0 : 1.0;  // foot, US survey foot, metre
}

PaperPlot paperPlot(const ExportMesh& mesh, int32_t paper, int32_t units, int32_t scale) {
  double lowX = 0.0, highX = 0.0, lowY = 0.0, highY = 0.0;
  if (mesh.vertexCount > 0) {
    lowX = highX = mesh.vertices[0].x;
    lowY = highY = mesh.vertices[0].y;
    for (const ExportVertex& v : mesh.vertices) {
      lowX = std::min(lowX, v.x);
      highX = std::max(highX, v.x);
      lowY = std::min(lowY, v.y);
      highY = std::max(highY, v.y);
    }
  }
  PaperPlot plot;
  const double millimetres = unitMetres(units) * 1000.0 / scale;
  plot.drawingWidth = (highX - lowX) * millimetres;
  plot.drawingHeight = (highY - lowY) * millimetres;
  const double shortSide = paperMillimetres[paper][0], longSide = paperMillimetres[paper][1];
  auto fitsOn = [&](double width, double height) {
    return plot.drawingWidth <= width - 2.0 * paperMarginMillimetres &&
           plot.drawingHeight <= height - 2.0 * paperMarginMillimetres - paperStripMillimetres;
  };
  const bool portrait = fitsOn(shortSide, longSide);
  const bool landscape = fitsOn(longSide, shortSide);
  plot.fits = portrait || landscape;
  plot.landscape = landscape && !(portrait && plot.drawingHeight > plot.drawingWidth);
  plot.pageWidth = plot.landscape ? longSide : shortSide;
  plot.pageHeight = plot.landscape ? shortSide : longSide;
  return plot;
}

int32_t smallestFittingScale(const ExportMesh& mesh, int32_t paper, int32_t units) {
  for (int64_t power = 1; power <= 100000000; power *= 10) {
    for (const int64_t step : {10, 20, 25, 50}) {
      const int64_t scale = power * step / 10;
      if (scale >= 1 && paperPlot(mesh, paper, units, static_cast<int32_t>(scale)).fits) {
        return static_cast<int32_t>(scale);
      }
    }
  }
  return paperPlot(mesh, paper, units, 1000000000).fits ? 1000000000 : 0;
}
