// The surface sampled on a grid of square cells (a DEM): cell centres lie on
// multiples of the cell size, each takes the value of the linear surface of
// the one face that holds it, and cells no face holds stay empty (NaN).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportMesh;

// Where the grid lies: column c's centre is at x = (firstColumn + c) * cell,
// row r's at y = (topRow - r) * cell, rows from north to south.
struct ExportGridFrame {
  double cell = 0.0;
  int64_t firstColumn = 0;
  int64_t topRow = 0;
  int32_t columns = 0;
  int32_t rows = 0;
  // The box the centres are sampled within: a centre on the surface's edge
  // in decimal (0.3 as 3 cells of 0.1) may land a rounding beyond it in
  // binary, and is sampled at the edge instead.
  double lowX = -1e308, highX = 1e308, lowY = -1e308, highY = 1e308;
};

// The most cells a grid may have (a gigabyte of doubles).
inline constexpr int64_t gridLargestCellCount = int64_t{1} << 27;

struct ExportPlanBox {
  double xmin, ymin, xmax, ymax;
};

// The box of the kept faces' corners (kept as below); false when no face
// is kept.
bool surfaceBox(const ExportMesh& mesh, const std::vector<uint8_t>& kept, ExportPlanBox* box);

// The smallest frame whose centres cover every vertex of the faces kept
// (kept is one flag a face, or empty for all). false with problem filled
// when no kept face exists, the cell is not a positive finite size, or the
// grid would exceed gridLargestCellCount.
bool frameSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, double cell, ExportGridFrame* frame,
                  std::string* problem);

// The same for the box: the frame of the cell centres within it. false
// with problem filled when the cell is not a positive finite size, no
// centre lies in the box or the grid would exceed gridLargestCellCount.
bool frameBox(const ExportPlanBox& box, double cell, ExportGridFrame* frame, std::string* problem);

double gridCentreX(const ExportGridFrame& frame, int32_t column);
double gridCentreY(const ExportGridFrame& frame, int32_t row);

// Samples the kept faces at every centre of frame into values (rows *
// columns, row by row from the north), NaN where no kept face holds the
// centre. A centre on an edge or a vertex shared by several faces belongs
// to exactly one of them: the faces are decided by the exact sign of each
// edge, and a centre on an edge counts as lying a hair east and a whisker
// north of where it is. A centre on the surface's outer edge, which that
// rule would leave empty on some sides, takes the first face that touches
// it.
void sampleSurface(const ExportMesh& mesh, const std::vector<uint8_t>& kept, const ExportGridFrame& frame,
                   std::vector<double>* values);

// Whether the face with corners (x, y) a, b, c owns the point p by the rule
// above: 2 when it owns it, 1 when p lies on its border but the rule gives
// it to the other side, 0 when p is outside (or the face has no area).
int32_t faceHoldsPoint(double ax, double ay, double bx, double by, double cx, double cy, double px, double py);

// The sign (-1, 0, 1) of the turn a -> b -> c, exactly: positive when c
// lies left of a -> b.
int32_t exactTurn(double ax, double ay, double bx, double by, double cx, double cy);
