#include "export/surface/surface_check.h"

#include <algorithm>
#include <map>
#include <utility>

#include "export/surface/predicates.h"

namespace tsvmesh::surface {
namespace {

using Edge = std::pair<int32_t, int32_t>;

// The input's points and the added ones, as the triangles index them.
struct Points {
  std::vector<double> xyz;
  std::map<Edge, int32_t> owner;  // constrained edges, lower end first
};

Points pointsOf(const SurfaceInput& in, const SurfaceResult& r) {
  Points points;
  points.xyz.assign(in.xyz, in.xyz + 3 * static_cast<size_t>(in.pointCount));
  points.xyz.insert(points.xyz.end(), r.addedXyz.begin(), r.addedXyz.end());
  for (size_t i = 0; i + 2 < r.constrainedEdges.size(); i += 3) {
    points.owner[{r.constrainedEdges[i], r.constrainedEdges[i + 1]}] = r.constrainedEdges[i + 2];
  }
  return points;
}

const double* pointAt(const Points& r, int32_t i) { return &r.xyz[3 * static_cast<size_t>(i)]; }

int32_t ownerOf(const Points& r, int32_t a, int32_t b) {
  const auto found = r.owner.find({std::min(a, b), std::max(a, b)});
  return found == r.owner.end() ? -1 : found->second;
}

// Points on the boundary of the convex hull of the used points, collinear
// ones included (Andrew's monotone chain with exact turns).
int32_t hullBoundaryCount(const Points& r, std::vector<int32_t> used) {
  std::sort(used.begin(), used.end(), [&](int32_t a, int32_t b) {
    const double* p = pointAt(r, a);
    const double* q = pointAt(r, b);
    return p[0] != q[0] ? p[0] < q[0] : p[1] < q[1];
  });
  std::vector<int32_t> chain;
  for (int pass = 0; pass < 2; ++pass) {
    const size_t base = chain.size();
    for (const int32_t v : used) {
      while (chain.size() >= base + 2 &&
             orientation(pointAt(r, chain[chain.size() - 2]), pointAt(r, chain.back()), pointAt(r, v)) < 0) {
        chain.pop_back();
      }
      chain.push_back(v);
    }
    chain.pop_back();
    std::reverse(used.begin(), used.end());
  }
  return static_cast<int32_t>(chain.size());
}

std::string topologyFault(const Points& p, const SurfaceResult& r, std::map<Edge, int32_t>* edges) {
  const auto points = static_cast<int32_t>(p.xyz.size() / 3);
  for (size_t t = 0; 3 * t < r.triangles.size(); ++t) {
    const int32_t* v = &r.triangles[3 * t];
    for (int32_t i = 0; i < 3; ++i) {
      if (v[i] < 0 || v[i] >= points) return "index out of range";
    }
    if (orientation(pointAt(p, v[0]), pointAt(p, v[1]), pointAt(p, v[2])) <= 0) {
      return "triangle " + std::to_string(t) + " is clockwise or flat";
    }
    for (int32_t i = 0; i < 3; ++i) {
      if (!edges->emplace(Edge{v[i], v[(i + 1) % 3]}, static_cast<int32_t>(3 * t + i)).second) {
        return "a directed edge twice";
      }
    }
  }
  return "";
}

std::string delaunayFault(const Points& p, const SurfaceResult& r, const std::map<Edge, int32_t>& edges) {
  for (const auto& [edge, slot] : edges) {
    const auto twin = edges.find({edge.second, edge.first});
    if (twin == edges.end() || ownerOf(p, edge.first, edge.second) >= 0) continue;
    const int32_t t = slot / 3;
    const int32_t* v = &r.triangles[3 * t];
    const int32_t far = r.triangles[3 * (twin->second / 3) + (twin->second % 3 + 2) % 3];
    if (inCircle(pointAt(p, v[0]), pointAt(p, v[1]), pointAt(p, v[2]), pointAt(p, far)) > 0) {
      return "edge " + std::to_string(edge.first) + "-" + std::to_string(edge.second) + " is not Delaunay";
    }
  }
  return "";
}

using Chains = std::map<int32_t, std::map<int32_t, std::vector<int32_t>>>;

// Per constraint id, the neighbours of each point along its edges (a hull
// edge appears in one direction only, so both are recorded).
Chains chainsOf(const Points& p, const std::map<Edge, int32_t>& edges) {
  Chains chains;
  for (const auto& [edge, slot] : edges) {
    const int32_t s = ownerOf(p, edge.first, edge.second);
    if (s < 0) continue;
    chains[s][edge.first].push_back(edge.second);
    chains[s][edge.second].push_back(edge.first);
  }
  return chains;
}

// The edges owned by segment s, walked from its first end, reach its other.
std::string chainFault(const SurfaceInput& in, const Points& p, const SurfaceResult& r, Chains* chains,
                       int32_t s) {
  const int32_t a = r.mergedInto[in.segments[2 * s]];
  const int32_t b = r.mergedInto[in.segments[2 * s + 1]];
  std::map<int32_t, std::vector<int32_t>>& next = (*chains)[s];
  int32_t at = a;
  int32_t previous = -1;
  for (size_t steps = 0; at != b && steps <= r.triangles.size(); ++steps) {
    int32_t step = -1;
    for (const int32_t w : next[at]) {
      // A crossing's point is rounded off the line; input points are not.
      const bool onLine = w >= in.pointCount || orientation(pointAt(p, a), pointAt(p, b), pointAt(p, w)) == 0;
      if (w != previous && onLine) step = w;
    }
    if (step < 0) return "segment " + std::to_string(s) + " is not a chain of its edges";
    previous = at;
    at = step;
  }
  return at == b ? "" : "segment " + std::to_string(s) + " chain does not end";
}

}  // namespace

std::string surfaceFault(const SurfaceInput& in, const SurfaceResult& r, int skip) {
  if (r.status != SurfaceStatus::kOk) return "status not ok";
  const Points p = pointsOf(in, r);
  std::map<Edge, int32_t> edges;
  std::string fault = topologyFault(p, r, &edges);
  if (!fault.empty()) return fault;
  if ((skip & kNotHull) == 0) {
    std::vector<int32_t> used(r.triangles.begin(), r.triangles.end());
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    const int32_t boundary = hullBoundaryCount(p, used);
    const auto expected = static_cast<size_t>(2 * static_cast<int64_t>(used.size()) - boundary - 2);
    if (r.triangles.size() / 3 != expected) {
      return "hull not covered: " + std::to_string(r.triangles.size() / 3) + " triangles, expected " +
             std::to_string(expected);
    }
  }
  fault = delaunayFault(p, r, edges);
  Chains chains = chainsOf(p, edges);
  for (int32_t s = 0; s < in.segmentCount && fault.empty() && (skip & kNotChains) == 0; ++s) {
    if (r.mergedInto[in.segments[2 * s]] != r.mergedInto[in.segments[2 * s + 1]]) {
      fault = chainFault(in, p, r, &chains, s);
    }
  }
  return fault;
}

double doubledArea(const SurfaceInput& in, const SurfaceResult& result) {
  const Points r = pointsOf(in, result);
  double sum = 0;
  for (size_t t = 0; 3 * t < result.triangles.size(); ++t) {
    const double* a = pointAt(r, result.triangles[3 * t]);
    const double* b = pointAt(r, result.triangles[3 * t + 1]);
    const double* c = pointAt(r, result.triangles[3 * t + 2]);
    sum += (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
  }
  return sum;
}

}  // namespace tsvmesh::surface
