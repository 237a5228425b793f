// The difference between two surfaces as a grid: second - first at every
// cell centre both surfaces hold, for the grid formats (.asc, .tif).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/products/elevation_grid.h"

struct ExportMesh;

// Frames the cell centres that lie within both surfaces' boxes (kept as
// for sampleSurface) and samples second - first at each of them into
// values (rows * columns, row by row from the north), NaN where either
// surface holds no face. false with problem filled when the boxes share
// no cell centre, the grid would exceed gridLargestCellCount or its memory
// cannot be had.
bool sampleDifference(const ExportMesh& first, const std::vector<uint8_t>& firstKept, const ExportMesh& second,
                      const std::vector<uint8_t>& secondKept, double cell, ExportGridFrame* frame,
                      std::vector<double>* values, std::string* problem);
