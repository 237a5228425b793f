// Grids of elevations as text: the ESRI ASCII grid (.asc), which GIS
// software reads without any library.
#pragma once

#include <vector>

#include "export/products/elevation_grid.h"

struct ExportOutput;
struct ExportProgress;

// The value that stands for an empty cell: -9999, or a longer row of nines
// when the data reach that low.
double gridNodataValue(const std::vector<double>& values);

// The grid's head (lower-left corner of the lower-left cell, cell size,
// nodata) and its rows from north to south, each value the shortest text
// that reads back to it.
void writeAsciiGrid(const ExportGridFrame& frame, const std::vector<double>& values, ExportOutput* output,
                    ExportProgress* progress);
