#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "export/surface/insertion.h"

namespace tsvmesh::surface {
namespace {

int32_t polygonStart(const SurfaceInput& in, int32_t k) { return k == 0 ? 0 : in.polygonEnds[k - 1]; }

bool indicesValid(const SurfaceInput& in) {
  for (int64_t i = 0; i < 2 * int64_t{in.segmentCount}; ++i) {
    if (in.segments[i] < 0 || in.segments[i] >= in.pointCount) return false;
    if (std::isnan(in.xyz[3 * static_cast<size_t>(in.segments[i]) + 2])) return false;
  }
  int32_t previousEnd = 0;
  for (int32_t k = 0; k < in.polygonCount; ++k) {
    if (in.polygonEnds[k] < previousEnd) return false;
    for (int32_t i = previousEnd; i < in.polygonEnds[k]; ++i) {
      if (in.polygonPoints[i] < 0 || in.polygonPoints[i] >= in.pointCount) return false;
    }
    previousEnd = in.polygonEnds[k];
  }
  return true;
}

int64_t pointsInPolygons(const SurfaceInput& in) {
  return in.polygonCount == 0 ? 0 : in.polygonEnds[in.polygonCount - 1];
}

void insertSegments(const SurfaceInput& in, const std::vector<int32_t>& vertexOf, Cdt* cdt,
                    ConstraintLog* log) {
  for (int32_t s = 0; s < in.segmentCount; ++s) {
    insertConstraint(cdt, vertexOf[in.segments[2 * s]], vertexOf[in.segments[2 * s + 1]], s, log);
  }
}

void insertPolygons(const SurfaceInput& in, const std::vector<int32_t>& vertexOf, Cdt* cdt,
                    ConstraintLog* log) {
  for (int32_t k = 0; k < in.polygonCount; ++k) {
    const int32_t first = polygonStart(in, k);
    const int32_t end = in.polygonEnds[k];
    for (int32_t i = first; i < end; ++i) {
      const int32_t next = i + 1 < end ? i + 1 : first;
      insertConstraint(cdt, vertexOf[in.polygonPoints[i]], vertexOf[in.polygonPoints[next]],
                       in.segmentCount + k, log);
    }
  }
}

// z at p on the line u-v, clamped to the segment.
double heightAlong(const Cdt& cdt, int32_t u, int32_t v, const double* p) {
  const double* a = at(cdt, u);
  const double* b = at(cdt, v);
  const double dx = b[0] - a[0];
  const double dy = b[1] - a[1];
  const double t = std::clamp(((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::isfinite(t) ? cdt.z[u] + t * (cdt.z[v] - cdt.z[u]) : cdt.z[u];
}

// The surface's height at p, where locate found it.
double heightAt(const Cdt& cdt, Location loc, const double* p) {
  const int32_t e = loc.edge;
  if (loc.where == Where::kOnVertex) return cdt.z[cdt.vertex[e]];
  if (loc.where != Where::kInside) return heightAlong(cdt, cdt.vertex[e], cdt.vertex[nextEdge(e)], p);
  const int32_t v[3] = {cdt.vertex[e], cdt.vertex[nextEdge(e)], cdt.vertex[prevEdge(e)]};
  double weight[3];
  double total = 0;
  for (int32_t i = 0; i < 3; ++i) {
    const double* b = at(cdt, v[(i + 1) % 3]);
    const double* c = at(cdt, v[(i + 2) % 3]);
    weight[i] = (b[0] - p[0]) * (c[1] - p[1]) - (b[1] - p[1]) * (c[0] - p[0]);
    total += weight[i];
  }
  double z = 0;
  for (int32_t i = 0; i < 3; ++i) z += weight[i] / total * cdt.z[v[i]];
  return z;
}

// Points given without height go in after the segments, at the height the
// surface has there.
void insertHeightless(const SurfaceInput& in, Cdt* cdt, std::vector<int32_t>* vertexOf,
                      std::vector<int32_t>* inputOf, std::vector<SurfaceHeight>* heights) {
  inputOf->resize(cdt->z.size(), -1);
  for (int32_t i = 0; i < in.pointCount; ++i) {
    const double* p = &in.xyz[3 * static_cast<size_t>(i)];
    if (!std::isnan(p[2])) continue;
    const Location loc = locate(cdt, p, cdt->lastTriangle);
    const double z = heightAt(*cdt, loc, p);
    int32_t v = cdt->vertex[loc.edge];
    if (loc.where != Where::kOnVertex) {
      v = addVertex(cdt, p[0], p[1], z);
      inputOf->push_back(i);
      insertAt(cdt, v, loc);
    }
    (*vertexOf)[i] = v;
    heights->push_back({i, cdt->z[v]});
  }
}

void toggle(std::vector<int32_t>* set, int32_t k) {
  const auto place = std::lower_bound(set->begin(), set->end(), k);
  if (place != set->end() && *place == k) set->erase(place);
  else set->insert(place, k);
}

// The polygons each region lies in, by parity: start outside every polygon
// in the region of the ghosts, and cross polygon k's edges toggling k.
std::vector<std::vector<int32_t>> regionPolygons(const Cdt& cdt, const std::vector<int32_t>& region,
                                                 int32_t regionCount, int32_t firstPolygonId) {
  std::vector<std::vector<std::pair<int32_t, int32_t>>> across(static_cast<size_t>(regionCount));
  int32_t ghostRegion = -1;
  for (size_t e = 0; e < cdt.vertex.size(); ++e) {
    const auto t = static_cast<int32_t>(e / 3);
    if (ghostRegion < 0 && cdt.vertex[e] == kGhost) ghostRegion = region[t];
    const int32_t id = cdt.owner[e] - 1;
    if (id < firstPolygonId) continue;
    const int32_t other = region[cdt.twin[e] / 3];
    if (other != region[t]) across[region[t]].push_back({other, id - firstPolygonId});
  }
  std::vector<std::vector<int32_t>> inside(static_cast<size_t>(regionCount));
  std::vector<char> seen(static_cast<size_t>(regionCount), 0);
  std::vector<int32_t> stack = {ghostRegion};
  seen[ghostRegion] = 1;
  while (!stack.empty()) {
    const int32_t r = stack.back();
    stack.pop_back();
    for (const auto& [other, polygon] : across[r]) {
      if (seen[other]) continue;
      seen[other] = 1;
      inside[other] = inside[r];
      toggle(&inside[other], polygon);
      stack.push_back(other);
    }
  }
  return inside;
}

// Which triangles the border and holes keep; counts the distinct points
// outside the border.
std::vector<char> trim(const SurfaceInput& in, const Cdt& cdt, const std::vector<int32_t>& inputOf,
                       int32_t* outside) {
  std::vector<int32_t> region;
  const int32_t firstPolygonId = in.segmentCount;
  const int32_t regionCount =
      labelRegions(cdt, [firstPolygonId](int32_t id) { return id >= firstPolygonId; }, &region);
  const std::vector<std::vector<int32_t>> inside = regionPolygons(cdt, region, regionCount, firstPolygonId);
  std::vector<char> keep(region.size(), 0);
  std::vector<char> inBorder(cdt.z.size(), 0);
  for (size_t t = 0; t < region.size(); ++t) {
    if (isGhost(cdt, static_cast<int32_t>(t))) continue;
    const std::vector<int32_t>& polygons = inside[region[t]];
    const bool border = in.hasBorder && !polygons.empty() && polygons[0] == 0;
    const size_t holes = polygons.size() - (border ? 1 : 0);
    keep[t] = (border || !in.hasBorder) && holes == 0;
    for (int32_t i = 0; i < 3 && border; ++i) {
      const int32_t v = cdt.vertex[3 * t + i];
      inBorder[v] = 1;
    }
  }
  *outside = 0;
  for (size_t v = 0; v < inputOf.size() && in.hasBorder; ++v) *outside += inputOf[v] >= 0 && !inBorder[v];
  return keep;
}

// Moves the tables into the result: the triangle table is compacted in
// place into the output triangles, so that no second copy of it is made.
void writeResult(const SurfaceInput& in, Cdt* cdt, const std::vector<int32_t>& inputOf,
                 const std::vector<char>& keep, SurfaceResult* out) {
  std::vector<int32_t> output(cdt->z.size());
  int32_t added = in.pointCount;
  for (size_t v = 0; v < output.size(); ++v) {
    if (v < inputOf.size() && inputOf[v] >= 0) {
      output[v] = inputOf[v];
      continue;
    }
    output[v] = added++;
    out->addedXyz.insert(out->addedXyz.end(), {cdt->xy[2 * v], cdt->xy[2 * v + 1], cdt->z[v]});
  }
  const auto outputOf = [&output](int32_t v) { return output[v]; };
  const auto triangleCount = static_cast<int32_t>(cdt->vertex.size() / 3);
  for (int32_t e = 0; e < 3 * triangleCount; ++e) {
    const int32_t f = cdt->twin[e];
    if (cdt->owner[e] == 0 || f < e || cdt->vertex[e] == kGhost || cdt->vertex[f] == kGhost) continue;
    if (!keep.empty() && !keep[e / 3] && !keep[f / 3]) continue;
    const int32_t a = outputOf(cdt->vertex[e]);
    const int32_t b = outputOf(cdt->vertex[f]);
    out->constrainedEdges.insert(out->constrainedEdges.end(), {std::min(a, b), std::max(a, b), cdt->owner[e] - 1});
  }
  std::vector<int32_t>().swap(cdt->twin);
  std::vector<int32_t>().swap(cdt->owner);
  size_t used = 0;
  for (int32_t t = 0; t < triangleCount; ++t) {
    if (isGhost(*cdt, t) || (!keep.empty() && !keep[t])) continue;
    for (int32_t e = 3 * t; e < 3 * t + 3; ++e) cdt->vertex[used++] = outputOf(cdt->vertex[e]);
  }
  cdt->vertex.resize(used);
  out->triangles = std::move(cdt->vertex);
  for (SurfaceCrossing& crossing : out->crossings) crossing.point = outputOf(crossing.point);
}

// The whole build; allocation failures are caught by the caller.
void build(const SurfaceInput& in, SurfaceResult* out) {
  Cdt cdt;
  std::vector<int32_t> vertexOf;
  std::vector<int32_t> inputOf;
  const int64_t extra = 4 * (int64_t{in.segmentCount} + pointsInPolygons(in));
  out->status = buildDelaunay(in.xyz, in.pointCount, extra, true, &cdt, &vertexOf, &inputOf);
  if (out->status != SurfaceStatus::kOk) return;
  ConstraintLog log;
  log.crossingLimit = 2 * (int64_t{in.segmentCount} + pointsInPolygons(in)) + 64;
  insertSegments(in, vertexOf, &cdt, &log);
  insertHeightless(in, &cdt, &vertexOf, &inputOf, &out->filledHeights);
  insertPolygons(in, vertexOf, &cdt, &log);
  std::vector<char> keep;
  if (in.polygonCount > 0) keep = trim(in, cdt, inputOf, &out->pointsOutsideBorder);
  out->crossings = std::move(log.crossings);
  out->segmentsGivenUp = log.givenUp;
  out->mergedInto.resize(static_cast<size_t>(in.pointCount));
  for (int32_t i = 0; i < in.pointCount; ++i) out->mergedInto[i] = inputOf[vertexOf[i]];
  writeResult(in, &cdt, inputOf, keep, out);
}

}  // namespace

SurfaceStatus buildSurface(const SurfaceInput& in, SurfaceResult* out) {
  *out = SurfaceResult{};
  if (in.pointCount > kMaxSurfacePoints) return out->status = SurfaceStatus::kTooLarge;
  if (!indicesValid(in)) return out->status = SurfaceStatus::kBadIndex;
  try {
    build(in, out);
  } catch (const std::bad_alloc&) {
    *out = SurfaceResult{};
    out->status = SurfaceStatus::kNoMemory;
  }
  return out->status;
}

}  // namespace tsvmesh::surface
