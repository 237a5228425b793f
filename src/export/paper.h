// ISO A paper for plots at a true scale: A0 (index 0) to A4 (index 4), and
// where a mesh lands on it.
#pragma once

#include <cstdint>

struct ExportMesh;

inline constexpr int32_t paperSizes = 5;

// Short and long side in millimetres.
inline constexpr double paperMillimetres[paperSizes][2] = {
    {841.0, 1189.0}, {594.0, 841.0}, {420.0, 594.0}, {297.0, 420.0}, {210.0, 297.0}};

// Around the drawing; the strip under it holds the title block, the scale
// bar and the legend.
inline constexpr double paperMarginMillimetres = 10.0;
inline constexpr double paperStripMillimetres = 32.0;

// The index that "A0" .. "A4" (either case) names, or -1.
int32_t paperSizeOf(const char* name);

// Metres in one ground unit (an ExportUnits).
double unitMetres(int32_t units);

struct PaperPlot {
  bool fits = false;
  bool landscape = false;
  double pageWidth = 0.0;     // millimetres
  double pageHeight = 0.0;
  double drawingWidth = 0.0;  // the mesh's extent on paper, millimetres
  double drawingHeight = 0.0;
};

// Where the mesh goes on paper at 1:scale, the orientation chosen that
// fits (portrait when both do and the mesh is taller than wide).
PaperPlot paperPlot(const ExportMesh& mesh, int32_t paper, int32_t units, int32_t scale);

// The smallest scale of the standard series (1, 2, 2.5, 5 times a power of
// ten) at which the mesh fits on the paper; 0 when none up to 1:10^9 does.
int32_t smallestFittingScale(const ExportMesh& mesh, int32_t paper, int32_t units);
