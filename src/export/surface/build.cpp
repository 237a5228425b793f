#include "export/surface/build.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "export/products/facing.h"
#include "export/products/mesh_edges.h"
#include "export/products/site_boundary.h"
#include "export/read/field_file.h"
#include "export/read/mesh_file.h"
#include "export/read/points_input.h"
#include "export/surface/assemble.h"
#include "export/surface/constraints.h"
#include "export/surface/surface.h"
#include "export/surface/triangulate.h"

namespace engine = tsvmesh::surface;

namespace {

bool fail(ExportReadError* error, std::string message) {
  *error = ExportReadError{0, std::move(message)};
  return false;
}

// The surface's points in the engine's order: INPUT's, then the
// constraints' vertices, each with where it came from.
struct Gathered {
  std::vector<double> xyz;
  std::vector<PointSource> sources;
  SurfaceConstraints constraints;
};

std::string numberText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string placeOf(const Gathered& g, int32_t point) {
  const PointSource& s = g.sources[static_cast<size_t>(point)];
  const std::string& file = g.constraints.files[static_cast<size_t>(s.file)];
  if (s.line > 0) return file + ":" + std::to_string(s.line);
  return file + " (point " + std::to_string(point + 1) + ")";
}

void findBounds(ExportMesh* surface) {
  ExportBounds& b = surface->bounds;
  b = ExportBounds{};
  bool first = true;
  for (const int32_t v : surface->corners) {
    const ExportVertex& p = surface->vertices[static_cast<size_t>(v)];
    if (first) {
      b = {p.x, p.y, p.z, p.x, p.y, p.z};
      first = false;
      continue;
    }
    b.lowX = std::min(b.lowX, p.x);
    b.lowY = std::min(b.lowY, p.y);
    b.lowZ = std::min(b.lowZ, p.z);
    b.highX = std::max(b.highX, p.x);
    b.highY = std::max(b.highY, p.y);
    b.highZ = std::max(b.highZ, p.z);
  }
}

// Whatever the reader let through (a points file's numbers are read as
// tsvmesh reads them) within the range every product can sum.
bool coordinatesInRange(const ExportMesh& surface, ExportReadError* error) {
  for (const ExportVertex& v : surface.vertices) {
    if (coordinateInRange(v.x) && coordinateInRange(v.y) && coordinateInRange(v.z)) continue;
    char text[160];
    std::snprintf(text, sizeof text, "expected coordinates within %s, found a point at (%.6g, %.6g, %.6g)",
                  largestCoordinateText().c_str(), v.x, v.y, v.z);
    return fail(error, text);
  }
  return true;
}

// INPUT's points: a points file's in file order, a field file's that make
// the surface (with their lines), or a triangle file's vertices.
bool gatherInput(const SurfaceSource& source, int32_t kind, Gathered* g, ExportMesh* surface,
                 ExportReadError* error) {
  g->constraints.files.push_back(source.path);
  std::vector<MeshPoint> points;
  std::vector<int64_t> lines;
  if (kind == inputFieldFile) {
    FieldPoints field;
    if (!readFieldPoints(source.path, source.columns, source.leaveOut, &field, error)) return false;
    points = std::move(field.read);
    lines = std::move(field.lines);
    surface->surveyPoints = std::move(field.surveyed);
  } else if (kind == inputPointsFile) {
    if (!readPointsList(source.path, &points, error)) return false;
  } else {
    for (const ExportVertex& v : surface->vertices) points.push_back({v.x, v.y, v.z});
  }
  g->xyz.reserve(points.size() * 3);
  for (size_t i = 0; i < points.size(); ++i) {
    g->xyz.insert(g->xyz.end(), {points[i].x, points[i].y, points[i].z});
    g->sources.push_back({0, i < lines.size() ? lines[i] : 0});
  }
  return true;
}

const char* refusal(engine::SurfaceStatus status) {
  switch (status) {
    case engine::SurfaceStatus::kTooFewPoints: return "expected at least 3 points at distinct positions";
    case engine::SurfaceStatus::kCollinear: return "no triangle: the points lie on one line";
    case engine::SurfaceStatus::kNotFinite: return "expected finite coordinates";
    case engine::SurfaceStatus::kTooLarge: return "more points than a surface can hold (300,000,000)";
    case engine::SurfaceStatus::kNoMemory: return "not enough memory for the surface";
    default: return "a breakline vertex without height";
  }
}

// Repeated positions: exact repeats are counted, others named (the first
// holds, as tsvmesh keeps the first of equal points).
void noteRepeats(const Gathered& g, const engine::SurfaceResult& result, std::vector<std::string>* notes) {
  int64_t exact = 0, named = 0, more = 0;
  for (size_t i = 0; i < result.mergedInto.size(); ++i) {
    const auto first = static_cast<size_t>(result.mergedInto[i]);
    if (first == i) continue;
    const double z = g.xyz[i * 3 + 2], held = g.xyz[first * 3 + 2];
    if (z == held || std::isnan(z)) {
      // A breakline drawn through the shots it was measured from is no repeat.
      if (g.sources[i].file == g.sources[first].file) ++exact;
    } else if (named++ < 10) {
      notes->push_back("warning: " + placeOf(g, static_cast<int32_t>(i)) + " repeats the position of " +
                       placeOf(g, static_cast<int32_t>(first)) + " with height " + numberText(z) + " instead of " +
                       numberText(held) + "; the first holds");
    } else {
      ++more;
    }
  }
  if (more > 0) notes->push_back("warning: " + std::to_string(more) + " more positions repeat with other heights");
  if (exact > 0) notes->push_back("note: " + std::to_string(exact) + " exact repeats of a point are dropped");
}

// Crossing breaklines whose heights differ by more than a millimetre.
void noteCrossings(const Gathered& g, int32_t firstPoint, const engine::SurfaceResult& result,
                   std::vector<std::string>* notes) {
  int64_t named = 0;
  const auto segmentCount = static_cast<int32_t>(g.constraints.segments.size() / 2);
  for (const engine::SurfaceCrossing& c : result.crossings) {
    if (!(std::fabs(c.z[0] - c.z[1]) > 0.001) || named++ >= 10) continue;
    std::string sides[2];
    for (int32_t k = 0; k < 2; ++k) {
      const int32_t id = c.segment[k];
      sides[k] = id < segmentCount ? placeOf(g, g.constraints.segments[static_cast<size_t>(id) * 2]) : "a polygon";
    }
    (void)firstPoint;
    notes->push_back("warning: breaklines cross with heights " + numberText(c.z[0]) + " (" + sides[0] + ") and " +
                     numberText(c.z[1]) + " (" + sides[1] + "); the first holds");
  }
  if (result.pointsOutsideBorder > 0) {
    notes->push_back("note: " + std::to_string(result.pointsOutsideBorder) + " points outside the border are left out");
  }
  if (result.segmentsGivenUp > 0) {
    notes->push_back("warning: " + std::to_string(result.segmentsGivenUp) +
                     " pieces of breaklines crossing one another too often are left out");
  }
}

// The polylines as the surface follows them, heights filled where a
// polygon corner had none.
std::vector<ExportPolyline> polylinesOf(const std::vector<std::vector<int32_t>>& indices, const Gathered& g,
                                        const engine::SurfaceResult& result, bool closed) {
  std::vector<double> filled(g.xyz.size() / 3, std::nan(""));
  for (const engine::SurfaceHeight& h : result.filledHeights) filled[static_cast<size_t>(h.point)] = h.z;
  std::vector<ExportPolyline> lines;
  for (const std::vector<int32_t>& line : indices) {
    ExportPolyline polyline;
    polyline.closed = closed;
    for (const int32_t p : line) {
      const double* at = &g.xyz[static_cast<size_t>(p) * 3];
      polyline.points.push_back({at[0], at[1], std::isnan(at[2]) ? filled[static_cast<size_t>(p)] : at[2]});
    }
    lines.push_back(std::move(polyline));
  }
  return lines;
}

// The constrained Delaunay surface of the gathered points and constraints.
bool triangulate(const SurfaceSource& source, Gathered* g, ExportMesh* surface, ExportReadError* error,
                 std::vector<std::string>* notes, std::string* failedFile) {
  const auto firstPoint = static_cast<int32_t>(g->xyz.size() / 3);
  SurfaceConstraints& c = g->constraints;
  std::string constraintFile;
  if (!readSurfaceConstraints(source.breaklines, source.border, source.holes, firstPoint, &c, error,
                              &constraintFile)) {
    *failedFile = constraintFile;
    return false;
  }
  g->xyz.insert(g->xyz.end(), c.xyz.begin(), c.xyz.end());
  g->sources.insert(g->sources.end(), c.sources.begin(), c.sources.end());
  engine::SurfaceInput input;
  input.xyz = g->xyz.data();
  input.pointCount = static_cast<int32_t>(g->xyz.size() / 3);
  input.segments = c.segments.data();
  input.segmentCount = static_cast<int32_t>(c.segments.size() / 2);
  input.polygonPoints = c.polygonPoints.data();
  input.polygonEnds = c.polygonEnds.data();
  input.polygonCount = static_cast<int32_t>(c.polygonEnds.size());
  input.hasBorder = c.hasBorder;
  engine::SurfaceResult result;
  if (engine::buildSurface(input, &result) != engine::SurfaceStatus::kOk) return fail(error, refusal(result.status));
  for (const engine::SurfaceHeight& h : result.filledHeights) g->xyz[static_cast<size_t>(h.point) * 3 + 2] = h.z;
  noteRepeats(*g, result, notes);
  noteCrossings(*g, firstPoint, result, notes);
  surface->breaklines = polylinesOf(c.breaklines, *g, result, false);
  surface->rings = polylinesOf(c.rings, *g, result, true);
  surface->hasBorder = c.hasBorder;
  std::vector<double> all = std::move(g->xyz);
  all.insert(all.end(), result.addedXyz.begin(), result.addedXyz.end());
  assembleSurface(all, result.triangles, surface);
  return true;
}

// A triangle file's faces and those its hull lacks.
bool coverHull(ExportMesh* surface, ExportReadError* error, std::vector<std::string>* notes) {
  std::vector<double> xyz;
  xyz.reserve(surface->vertices.size() * 3);
  for (const ExportVertex& v : surface->vertices) xyz.insert(xyz.end(), {v.x, v.y, v.z});
  const engine::HullFill fill = engine::fillHull(xyz.data(), surface->vertexCount, surface->corners.data(),
                                                 surface->triangleCount, false);
  if (fill.status == engine::SurfaceStatus::kNoMemory) return fail(error, refusal(fill.status));
  if (fill.status != engine::SurfaceStatus::kOk || fill.boundaryCrosses || fill.triangles.empty()) return true;
  surface->corners.insert(surface->corners.end(), fill.triangles.begin(), fill.triangles.end());
  const auto added = static_cast<int32_t>(fill.triangles.size() / 3);
  surface->triangleCount += added;
  notes->push_back("note: " + std::to_string(added) + (added == 1 ? " triangle" : " triangles") +
                   " added along the hull, which the file's mesh leaves uncovered (--as-meshed keeps its own)");
  return true;
}

bool readSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                 std::vector<std::string>* notes, std::string* failedFile) {
  const int32_t kind = source.kind == inputByContent ? exportInputKindOf(source.path) : source.kind;
  const bool constrained = hasConstraints(source.breaklines, source.border, source.holes);
  if (kind == inputTriangleFile) {
    if (!readExportMesh(source.path, surface, error, nullptr)) return false;
    if (!coordinatesInRange(*surface, error)) return false;
    if (!constrained) return source.asMeshed || coverHull(surface, error, notes);
  }
  Gathered g;
  if (!gatherInput(source, kind, &g, surface, error)) return false;
  if (!source.leaveOut.empty() && surface->surveyPoints.empty()) {
    return fail(error, "--leave-out names codes of a field file's points; this input has none");
  }
  if (!triangulate(source, &g, surface, error, notes, failedFile)) return false;
  return coordinatesInRange(*surface, error);
}

}  // namespace

bool buildSurface(const SurfaceSource& source, ExportMesh* surface, ExportReadError* error,
                  ExportProgress* progress, std::vector<std::string>* notes, std::string* failedFile) {
  (void)progress;
  std::vector<std::string> ignored;
  std::string file = source.path;
  if (!readSurface(source, surface, error, notes != nullptr ? notes : &ignored, &file)) {
    if (failedFile != nullptr) *failedFile = file;
    return false;
  }
  if (source.maxSide > 0.0) dropLongTriangles(surface, source.maxSide);
  if (surface->triangleCount == 0) {
    return fail(error, source.maxSide > 0.0 ? "--max-side leaves out every triangle; no surface is left"
                                            : "no triangle: the points lie on one line, or there are none");
  }
  orientFacesUpward(surface);
  findBounds(surface);
  if (!source.edges) return true;
  surface->hasEdges = findMeshEdges(*surface, &surface->edges);
  return surface->hasEdges || fail(error, "the surface has more than 2^31 - 1 edges");
}
