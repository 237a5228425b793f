#include "export/products/profile.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "export/products/exact_orientation.h"
#include "export/read/polylines.h"
#include "export/surface/surface.h"

namespace {

// Cells over the faces' extent, each listing the faces whose bounding
// boxes reach it, so that a segment meets only the faces near it.
struct FaceGrid {
  double lowX = 0.0, lowY = 0.0, cell = 1.0;
  int32_t columns = 1, rows = 1;
  std::vector<int32_t> start;  // columns * rows + 1 offsets into faces
  std::vector<int32_t> faces;
};

int32_t cellIndex(double low, double cell, int32_t count, double value) {
  const double at = std::floor((value - low) / cell);
  return at < 0.0 ? 0 : at >= count ? count - 1 : static_cast<int32_t>(at);
}

const ExportVertex& corner(const ExportMesh& mesh, int32_t face, int32_t c) {
  return mesh.vertices[static_cast<size_t>(mesh.corners[static_cast<size_t>(face) * 3 + static_cast<size_t>(c)])];
}

// Calls visit(cell) for every cell face f's bounding box reaches.
template <typename Visit>
void forFaceCells(const ExportMesh& mesh, const FaceGrid& grid, int32_t f, Visit visit) {
  const ExportVertex &a = corner(mesh, f, 0), &b = corner(mesh, f, 1), &c = corner(mesh, f, 2);
  const int32_t c0 = cellIndex(grid.lowX, grid.cell, grid.columns, std::min({a.x, b.x, c.x}));
  const int32_t c1 = cellIndex(grid.lowX, grid.cell, grid.columns, std::max({a.x, b.x, c.x}));
  const int32_t r0 = cellIndex(grid.lowY, grid.cell, grid.rows, std::min({a.y, b.y, c.y}));
  const int32_t r1 = cellIndex(grid.lowY, grid.cell, grid.rows, std::max({a.y, b.y, c.y}));
  for (int32_t r = r0; r <= r1; ++r) {
    for (int32_t col = c0; col <= c1; ++col) visit(r * grid.columns + col);
  }
}

// Lays the grid out with cells of the given size and counts each cell's
// faces into start; false when the lists would pass limit entries (long
// faces reaching across many cells).
bool countFaceGrid(const ExportMesh& mesh, double cell, int64_t limit, FaceGrid* grid) {
  const ExportBounds& b = mesh.bounds;
  grid->lowX = b.lowX;
  grid->lowY = b.lowY;
  grid->cell = cell;
  grid->columns = static_cast<int32_t>((b.highX - b.lowX) / cell) + 1;
  grid->rows = static_cast<int32_t>((b.highY - b.lowY) / cell) + 1;
  const size_t cells = static_cast<size_t>(grid->columns) * static_cast<size_t>(grid->rows);
  grid->start.assign(cells + 1, 0);
  int64_t total = 0;
  for (int32_t f = 0; f < mesh.triangleCount && total <= limit; ++f) {
    forFaceCells(mesh, *grid, f, [&](int32_t i) {
      ++grid->start[static_cast<size_t>(i) + 1];
      ++total;
    });
  }
  return total <= limit;
}

void buildFaceGrid(const ExportMesh& mesh, FaceGrid* grid) {
  const ExportBounds& b = mesh.bounds;
  const double width = b.highX - b.lowX, height = b.highY - b.lowY;
  const double faces = mesh.triangleCount > 0 ? mesh.triangleCount : 1;
  double cell = std::sqrt(width * height / faces);
  if (!(cell > 0.0)) cell = std::max({width, height, 1.0}) / faces;
  // At most about two cells a face, however long and thin the extent, and
  // lists of at most 16 entries a face; coarser cells otherwise.
  const auto cellsFor = [&](double size) { return (std::floor(width / size) + 1) * (std::floor(height / size) + 1); };
  while (cellsFor(cell) > 2.0 * faces + 64.0) cell *= 2.0;
  const int64_t limit = std::min<int64_t>(16 * static_cast<int64_t>(faces) + 1024, INT32_MAX);
  while (!countFaceGrid(mesh, cell, limit, grid) && cellsFor(cell) > 1.0) {
    cell *= 2.0;
  }
  const size_t cells = grid->start.size() - 1;
  for (size_t i = 0; i < cells; ++i) grid->start[i + 1] += grid->start[i];
  grid->faces.resize(static_cast<size_t>(grid->start[cells]));
  std::vector<int32_t> next(grid->start.begin(), grid->start.end() - 1);
  for (int32_t f = 0; f < mesh.triangleCount; ++f) {
    forFaceCells(mesh, *grid, f, [&](int32_t i) {
      const size_t cellAt = static_cast<size_t>(i);
      grid->faces[static_cast<size_t>(next[cellAt]++)] = f;
    });
  }
}

struct Segment {
  double ax, ay, bx, by;
  double dx, dy, lengthSquared;
};

// The faces whose cells the segment passes through (with a cell to spare
// either side), each once: stamp holds the mark of the last segment that
// took a face.
void facesAlong(const FaceGrid& grid, const Segment& s, int32_t mark, std::vector<int32_t>* stamp,
                std::vector<int32_t>* found) {
  found->clear();
  const int32_t c0 = cellIndex(grid.lowX, grid.cell, grid.columns, std::min(s.ax, s.bx));
  const int32_t c1 = cellIndex(grid.lowX, grid.cell, grid.columns, std::max(s.ax, s.bx));
  for (int32_t col = c0; col <= c1; ++col) {
    double lowY = std::min(s.ay, s.by), highY = std::max(s.ay, s.by);
    if (s.dx != 0.0) {
      // The segment's y where it enters and leaves the column.
      const double x0 = std::max(std::min(s.ax, s.bx), grid.lowX + col * grid.cell);
      const double x1 = std::min(std::max(s.ax, s.bx), grid.lowX + (col + 1) * grid.cell);
      const double y0 = s.ay + (x0 - s.ax) / s.dx * s.dy, y1 = s.ay + (x1 - s.ax) / s.dx * s.dy;
      lowY = std::max(lowY, std::min(y0, y1));
      highY = std::min(highY, std::max(y0, y1));
    }
    const int32_t r0 = std::max(cellIndex(grid.lowY, grid.cell, grid.rows, lowY) - 1, 0);
    const int32_t r1 = std::min(cellIndex(grid.lowY, grid.cell, grid.rows, highY) + 1, grid.rows - 1);
    for (int32_t r = r0; r <= r1; ++r) {
      for (int32_t side = std::max(col - 1, 0); side <= std::min(col + 1, grid.columns - 1); ++side) {
        const int32_t i = r * grid.columns + side;
        for (int32_t k = grid.start[static_cast<size_t>(i)]; k < grid.start[static_cast<size_t>(i) + 1]; ++k) {
          const int32_t f = grid.faces[static_cast<size_t>(k)];
          if ((*stamp)[static_cast<size_t>(f)] == mark) continue;
          (*stamp)[static_cast<size_t>(f)] = mark;
          found->push_back(f);
        }
      }
    }
  }
}

// A point of the segment on the surface: t from 0 at its start to 1 at its end.
struct Crossing {
  double t, x, y, z;
};

double parameterOf(const Segment& s, double x, double y) {
  return ((x - s.ax) * s.dx + (y - s.ay) * s.dy) / s.lengthSquared;
}

Crossing vertexCrossing(const Segment& s, const ExportVertex& v) { return {parameterOf(s, v.x, v.y), v.x, v.y, v.z}; }

// Where the segment's line crosses the edge between vertices u and w, which
// lie strictly on either side of it: computed from the edge's ends in the
// order of their indices, so the faces either side get the same bits.
Crossing edgeCrossing(const ExportMesh& mesh, const Segment& s, int32_t u, int32_t w) {
  if (u > w) std::swap(u, w);
  const ExportVertex& p = mesh.vertices[static_cast<size_t>(u)];
  const ExportVertex& q = mesh.vertices[static_cast<size_t>(w)];
  const double sideP = s.dx * (p.y - s.ay) - s.dy * (p.x - s.ax);
  const double sideQ = s.dx * (q.y - s.ay) - s.dy * (q.x - s.ax);
  double f = sideP != sideQ ? sideP / (sideP - sideQ) : 0.5;
  f = f < 0.0 ? 0.0 : f > 1.0 ? 1.0 : f;
  const double x = p.x + f * (q.x - p.x), y = p.y + f * (q.y - p.y);
  return {parameterOf(s, x, y), x, y, p.z + f * (q.z - p.z)};
}

// The height of face f's plane at (x, y).
double heightInFace(const ExportMesh& mesh, int32_t f, double x, double y) {
  const ExportVertex &a = corner(mesh, f, 0), &b = corner(mesh, f, 1), &c = corner(mesh, f, 2);
  const double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
  const double u = ((x - a.x) * (c.y - a.y) - (c.x - a.x) * (y - a.y)) / det;
  const double v = ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) / det;
  return a.z + u * (b.z - a.z) + v * (c.z - a.z);
}

// The part of the segment over face f, from its first to its last point;
// false when they do not meet. Which corners lie on which side of the
// segment's line is decided exactly; the line crosses the face between the
// crossings of its edges.
bool clipFace(const ExportMesh& mesh, int32_t f, const Segment& s, Crossing* from, Crossing* to) {
  const int32_t* v = &mesh.corners[static_cast<size_t>(f) * 3];
  const ExportVertex* at[3] = {&corner(mesh, f, 0), &corner(mesh, f, 1), &corner(mesh, f, 2)};
  if (orientationSign(at[0]->x, at[0]->y, at[1]->x, at[1]->y, at[2]->x, at[2]->y) == 0) return false;
  int32_t side[3];
  for (int32_t c = 0; c < 3; ++c) side[c] = orientationSign(s.ax, s.ay, s.bx, s.by, at[c]->x, at[c]->y);
  if ((side[0] > 0 && side[1] > 0 && side[2] > 0) || (side[0] < 0 && side[1] < 0 && side[2] < 0)) return false;
  Crossing found[3];
  int32_t count = 0;
  for (int32_t c = 0; c < 3; ++c) {
    const int32_t next = (c + 1) % 3;
    if (side[c] == 0) found[count++] = vertexCrossing(s, *at[c]);
    if (side[c] * side[next] < 0) found[count++] = edgeCrossing(mesh, s, v[c], v[next]);
  }
  *from = *to = found[0];
  for (int32_t k = 1; k < count; ++k) {
    if (found[k].t < from->t) *from = found[k];
    if (found[k].t > to->t) *to = found[k];
  }
  if (from->t < 0.0) *from = {0.0, s.ax, s.ay, heightInFace(mesh, f, s.ax, s.ay)};
  if (to->t > 1.0) *to = {1.0, s.bx, s.by, heightInFace(mesh, f, s.bx, s.by)};
  return from->t <= to->t;
}

// Gaps narrower than this share of a segment are rounding, not ground
// missing from the surface.
constexpr double joinShare = 1e-9;

struct Piece {
  Crossing from, to;
};

// Appends a station: a new stretch when asked to or when the polyline
// changes, once when two fall on one chainage.
void addStation(ExportProfile* profile, int32_t polyline, const ProfileStation& station, bool newStretch) {
  std::vector<ProfileStretch>& stretches = profile->stretches;
  if (newStretch || stretches.empty() || stretches.back().polyline != polyline) {
    stretches.push_back({polyline, static_cast<int32_t>(profile->stations.size()), 0});
  } else if (profile->stations.back().chainage == station.chainage) {
    return;
  }
  profile->stations.push_back(station);
  ++stretches.back().stationCount;
}

// The stations of one segment from its pieces over the faces, sorted.
void addSegment(ExportProfile* profile, int32_t polyline, double chainage, double length,
                std::vector<Piece>* pieces, std::vector<Crossing>* run) {
  std::stable_sort(pieces->begin(), pieces->end(), [](const Piece& a, const Piece& b) {
    return a.from.t != b.from.t ? a.from.t < b.from.t : a.to.t < b.to.t;
  });
  size_t p = 0;
  while (p < pieces->size()) {
    // Pieces that overlap or touch form one run along the surface.
    run->clear();
    double reach = (*pieces)[p].to.t;
    for (; p < pieces->size() && (*pieces)[p].from.t <= reach + joinShare; ++p) {
      run->push_back((*pieces)[p].from);
      run->push_back((*pieces)[p].to);
      reach = std::max(reach, (*pieces)[p].to.t);
    }
    std::stable_sort(run->begin(), run->end(), [](const Crossing& a, const Crossing& b) { return a.t < b.t; });
    const double first = chainage + run->front().t * length;
    const bool joined = !profile->stretches.empty() && profile->stretches.back().polyline == polyline &&
                        profile->stations.back().chainage >= first - joinShare * length;
    for (size_t k = 0; k < run->size(); ++k) {
      const Crossing& c = (*run)[k];
      addStation(profile, polyline, {chainage + c.t * length, c.x, c.y, c.z}, k == 0 && !joined);
    }
  }
}

}  // namespace

void traceProfiles(const ExportMesh& surface, const PolylineSet& polylines, ExportProfile* profile) {
  *profile = ExportProfile{};
  FaceGrid grid;
  buildFaceGrid(surface, &grid);
  std::vector<int32_t> stamp(static_cast<size_t>(surface.triangleCount), -1);
  std::vector<int32_t> faces;
  std::vector<Piece> pieces;
  std::vector<Crossing> run;
  int32_t mark = 0;
  for (int32_t l = 0; l < static_cast<int32_t>(polylines.polylines.size()); ++l) {
    const Polyline& line = polylines.polylines[static_cast<size_t>(l)];
    const size_t stretches = profile->stretches.size();
    const int32_t steps = line.closed ? line.vertexCount : line.vertexCount - 1;
    double chainage = 0.0;
    for (int32_t k = 0; k < steps; ++k) {
      const PolylineVertex& a = polylines.vertices[static_cast<size_t>(line.firstVertex + k)];
      const PolylineVertex& b = polylines.vertices[static_cast<size_t>(line.firstVertex + (k + 1) % line.vertexCount)];
      Segment s{a.x, a.y, b.x, b.y, b.x - a.x, b.y - a.y, 0.0};
      s.lengthSquared = s.dx * s.dx + s.dy * s.dy;
      if (!(s.lengthSquared > 0.0)) continue;
      const double length = std::sqrt(s.lengthSquared);
      facesAlong(grid, s, mark++, &stamp, &faces);
      pieces.clear();
      for (const int32_t f : faces) {
        Piece piece;
        if (clipFace(surface, f, s, &piece.from, &piece.to)) pieces.push_back(piece);
      }
      addSegment(profile, l, chainage, length, &pieces, &run);
      chainage += length;
    }
    if (profile->stretches.size() == stretches) profile->missed.push_back(l);
  }
}
