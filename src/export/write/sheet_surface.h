// What the plot area of a sheet shows: the surface (a raster, with the
// triangle edges over it when asked), the coordinate grid and the contours
// with their labels.
#pragma once

#include <cstdint>

struct ExportContours;
struct ExportMesh;
struct ExportProgress;
struct PictureLayout;
struct Sheet;

struct SurfaceStyle {
  double density = 1.0;     // raster pixels per sheet unit
  bool flat = false;        // plain ramp colours, no hillshade
  bool edges = false;       // triangle edges long enough to see
  bool crispEdges = false;  // edges not antialiased (on a raster)
  double edgeWidth = 1.0;
};

// The surface over the plot area of layout.
void addSheetSurface(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, const SurfaceStyle& style,
                     ExportProgress* progress);

// Round eastings and northings across the plot, labelled outside it, and
// the plot's frame.
void addSheetGrid(Sheet* sheet, const PictureLayout& layout, double fontSize, double lineWidth);

// Contour lines, index lines thicker, index lines labelled upright along
// them; all clipped to the plot.
// The breaklines, the border and the holes the surface follows, drawn over it.
void addSheetStructure(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, double lineWidth);

void addSheetContours(Sheet* sheet, const ExportContours& contours, const PictureLayout& layout, double lineWidth,
                      double fontSize, ExportProgress* progress);
