// Draws a sheet with cairo: a PNG (one pixel a sheet unit) or an SVG (one
// point a unit).
#pragma once

#include <string>

struct ExportOutput;
struct ExportProgress;
struct Sheet;

// false with problem set when cairo reports a failure (or the build has no
// cairo; the formats that need it are then not offered).
bool renderSheetCairo(const Sheet& sheet, bool svg, ExportOutput* output, ExportProgress* progress,
                      std::string* problem);
