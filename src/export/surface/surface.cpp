#include <algorithm>
#include <utility>

#include "export/surface/build.h"

namespace tsvmesh::surface {
namespace {

int32_t polygonStart(const SurfaceInput& in, int32_t k) { return k == 0 ? 0 : in.polygonEnds[k - 1]; }

bool indicesValid(const SurfaceInput& in) {
  for (int64_t i = 0; i < 2 * int64_t{in.segmentCount}; ++i) {
    if (in.segments[i] < 0 || in.segments[i] >= in.pointCount) return false;
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

void insertConstraints(const SurfaceInput& in, const std::vector<int32_t>& vertexOf, Cdt* cdt,
                       ConstraintLog* log) {
  for (int32_t s = 0; s < in.segmentCount; ++s) {
    insertConstraint(cdt, vertexOf[in.segments[2 * s]], vertexOf[in.segments[2 * s + 1]], s, log);
  }
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
std::vector<char> trim(const SurfaceInput& in, const Cdt& cdt, int32_t distinct, int32_t* outside) {
  std::vector<int32_t> region;
  const int32_t firstPolygonId = in.segmentCount;
  const int32_t regionCount =
      labelRegions(cdt, [firstPolygonId](int32_t id) { return id >= firstPolygonId; }, &region);
  const std::vector<std::vector<int32_t>> inside = regionPolygons(cdt, region, regionCount, firstPolygonId);
  std::vector<char> keep(region.size(), 0);
  std::vector<char> inBorder(static_cast<size_t>(distinct), 0);
  for (size_t t = 0; t < region.size(); ++t) {
    if (isGhost(cdt, static_cast<int32_t>(t))) continue;
    const std::vector<int32_t>& polygons = inside[region[t]];
    const bool border = in.hasBorder && !polygons.empty() && polygons[0] == 0;
    const size_t holes = polygons.size() - (border ? 1 : 0);
    keep[t] = (border || !in.hasBorder) && holes == 0;
    for (int32_t i = 0; i < 3 && border; ++i) {
      const int32_t v = cdt.vertex[3 * t + i];
      if (v < distinct) inBorder[v] = 1;
    }
  }
  *outside = in.hasBorder ? static_cast<int32_t>(std::count(inBorder.begin(), inBorder.end(), 0)) : 0;
  return keep;
}

// Moves the tables into the result: the triangle table is compacted in
// place into the output triangles, so that no second copy of it is made.
void writeResult(const SurfaceInput& in, Cdt* cdt, const std::vector<int32_t>& inputOf,
                 const std::vector<char>& keep, SurfaceResult* out) {
  const auto distinct = static_cast<int32_t>(inputOf.size());
  const auto vertices = static_cast<int32_t>(cdt->z.size());
  const auto outputOf = [&](int32_t v) { return v < distinct ? inputOf[v] : in.pointCount + v - distinct; };
  for (int32_t v = distinct; v < vertices; ++v) {
    out->addedXyz.insert(out->addedXyz.end(), {cdt->xy[2 * v], cdt->xy[2 * v + 1], cdt->z[v]});
  }
  const auto triangleCount = static_cast<int32_t>(cdt->vertex.size() / 3);
  for (int32_t e = 0; e < 3 * triangleCount; ++e) {
    const int32_t f = cdt->twin[e];
    if (cdt->owner[e] == 0 || f < e || cdt->vertex[e] == kGhost || cdt->vertex[f] == kGhost) continue;
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

}  // namespace

SurfaceStatus buildSurface(const SurfaceInput& in, SurfaceResult* out) {
  *out = SurfaceResult{};
  if (!indicesValid(in)) return out->status = SurfaceStatus::kBadIndex;
  Cdt cdt;
  std::vector<int32_t> vertexOf;
  std::vector<int32_t> inputOf;
  const int64_t extra = 4 * (int64_t{in.segmentCount} + pointsInPolygons(in));
  out->status = buildDelaunay(in.xyz, in.pointCount, extra, &cdt, &vertexOf, &inputOf);
  if (out->status != SurfaceStatus::kOk) return out->status;
  ConstraintLog log;
  insertConstraints(in, vertexOf, &cdt, &log);
  const auto distinct = static_cast<int32_t>(inputOf.size());
  std::vector<char> keep;
  if (in.polygonCount > 0) keep = trim(in, cdt, distinct, &out->pointsOutsideBorder);
  out->crossings = std::move(log.crossings);
  out->segmentsGivenUp = log.givenUp;
  out->mergedInto.resize(static_cast<size_t>(in.pointCount));
  for (int32_t i = 0; i < in.pointCount; ++i) out->mergedInto[i] = inputOf[vertexOf[i]];
  writeResult(in, &cdt, inputOf, keep, out);
  return out->status;
}

}  // namespace tsvmesh::surface
