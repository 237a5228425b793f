// What surrounds the plot on a sheet: on a picture the title, colour bar,
// scale bar, north arrow and legend in bands around the plot; on a plot at
// scale the border and the strip under the drawing with its scale bar,
// north arrow and title block.
#pragma once

#include <cstdint>

struct ExportMesh;
struct PaperPlot;
struct PictureLayout;
struct PictureRequest;
struct Sheet;

// The bands around a picture's plot for a picture whose longer side is
// size; font sizes scale with it.
struct PictureBands {
  double margin, top, bottom, left, right;
  double title, label;  // font sizes
  double gridLabel;     // the first part of bottom holds the eastings
};

PictureBands pictureBands(double size);

void addPictureFrame(Sheet* sheet, const ExportMesh& mesh, const PictureLayout& layout, double size,
                     const PictureRequest& request);

inline constexpr double pointsPerMillimetre = 72.0 / 25.4;

// The plot at scale's border, strip, scale bar, north arrow and title
// block, in points.
void addPaperStrip(Sheet* sheet, const ExportMesh& mesh, const PaperPlot& plot, const PictureRequest& request);
