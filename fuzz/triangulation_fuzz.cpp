// The triangulation on small point sets where duplicates, collinear and
// cocircular points are the rule (the input layout is in mesh_input.h).
//
// Always: the sort by x is stable, and the status, count, table and
// super-triangle corners equal the plain scan's exactly; every corner is in
// range (below n and corner2 the highest after a complete run).
// Where the set can give a sound mesh (see checkMesh) also: status 0, no
// zero-area triangle, each directed edge used once, two triangles on an edge
// lie on either side of it, and with small integer coordinates no point lies
// strictly inside a triangle's circumcircle (decided exactly).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "mesh/point_order.h"
#include "mesh_input.h"
#include "mesh/triangulation.h"
#include "reference_mesh.h"

namespace {

// Coordinates up to this many times their smallest spacing still give a
// sound mesh (found by fuzzing; 1e15 at unit spacing does not).
constexpr double kLargestSoundRatio = 1e10;

using Wide = long double;

Wide orientation(const MeshPoint& a, const MeshPoint& b, const MeshPoint& c) {
  return (static_cast<Wide>(b.x) - a.x) * (static_cast<Wide>(c.y) - a.y) -
         (static_cast<Wide>(b.y) - a.y) * (static_cast<Wide>(c.x) - a.x);
}

using Exact = __int128;

struct IntegerPoint {
  Exact x;
  Exact y;
};

Exact exactOrientation(IntegerPoint a, IntegerPoint b, IntegerPoint c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// > 0 when d is strictly inside the circle through a, b, c (counter-clockwise).
Exact exactInCircle(IntegerPoint a, IntegerPoint b, IntegerPoint c, IntegerPoint d) {
  const Exact adx = a.x - d.x, ady = a.y - d.y;
  const Exact bdx = b.x - d.x, bdy = b.y - d.y;
  const Exact cdx = c.x - d.x, cdy = c.y - d.y;
  const Exact al = adx * adx + ady * ady, bl = bdx * bdx + bdy * bdy, cl = cdx * cdx + cdy * cdy;
  return adx * (bdy * cl - bl * cdy) - ady * (bdx * cl - bl * cdx) + al * (bdx * cdy - bdy * cdx);
}

std::string where(size_t k, const char* what) { return "triangle " + std::to_string(k) + ": " + what; }

// Smallest gap between distinct values of one coordinate; infinity if none.
double smallestGap(const std::vector<MeshPoint>& points, int32_t n, double MeshPoint::*coordinate) {
  std::vector<double> values;
  for (int32_t i = 0; i < n; ++i) values.push_back(points[static_cast<size_t>(i)].*coordinate);
  std::sort(values.begin(), values.end());
  double gap = HUGE_VAL;
  for (size_t i = 1; i < values.size(); ++i) {
    if (values[i] != values[i - 1]) gap = std::min(gap, values[i] - values[i - 1]);
  }
  return gap;
}

// True when the tolerance cannot take a thin triangle for a level one, and
// the coordinates are small enough against their spacing that the rounding
// of a circle's centre cannot move a point across the circle.
bool soundMeshExpected(const std::vector<MeshPoint>& points, int32_t n) {
  const double gapY = smallestGap(points, n, &MeshPoint::y);
  const double gap = std::min(smallestGap(points, n, &MeshPoint::x), gapY);
  double largest = 0;
  for (int32_t i = 0; i < n; ++i) {
    const MeshPoint& p = points[static_cast<size_t>(i)];
    largest = std::max({largest, std::fabs(p.x), std::fabs(p.y)});
  }
  return gapY >= 1e-5 && (gap == HUGE_VAL || largest / gap < kLargestSoundRatio);
}

const MeshPoint& cornerPoint(const std::vector<MeshPoint>& points, int32_t corner) {
  return points[static_cast<size_t>(corner)];
}

// sound: the points lie exactly on their grid, not many on one circle, and
// soundMeshExpected holds. The plain scan breaks each of these too:
// - y spacing below the level tolerance: thin triangles taken for level ones
//   have no circle and are never removed; zero-area triangles stay, and the
//   table can fill up (status 4, super-triangle corners left in it);
// - coordinates huge against their spacing, and points on one circle or
//   nearly so (a grid of 0.1 or 1/3 steps is nearly cocircular everywhere):
//   the rounded centres decide case by case whether a point on a circle is
//   inside, so a hole need not be star-shaped and its fan overlaps what stays.
void checkMesh(const std::vector<MeshPoint>& points, int32_t n, const MeshTriangle* triangles,
               int32_t count, int32_t status, bool sound, bool integerCoordinates) {
  FUZZ_CHECK(status == meshOk || (status == meshTriangleLimit && !sound), "status " + std::to_string(status));
  const int32_t cornerLimit = status == meshOk ? n : n + 3;
  for (int32_t k = 0; k < count; ++k) {
    const MeshTriangle& t = triangles[k];
    const size_t at = static_cast<size_t>(k);
    FUZZ_CHECK(t.corner0 >= 0 && t.corner1 >= 0 && t.corner2 >= 0 && t.corner0 < cornerLimit &&
                   t.corner1 < cornerLimit && t.corner2 < cornerLimit,
               where(at, "corner out of range"));
    if (status == meshOk) {
      FUZZ_CHECK(t.corner2 > t.corner0 && t.corner2 > t.corner1, where(at, "corner2 not the highest"));
    }
  }
  if (!sound) return;
  // Every edge joins at most two triangles, one on either side: nothing is
  // folded over or stacked on an edge.
  std::map<std::pair<int32_t, int32_t>, int32_t> thirdCorner;  // -1 once two triangles share it
  std::set<std::pair<int32_t, int32_t>> directed;
  for (int32_t k = 0; k < count; ++k) {
    const MeshTriangle& t = triangles[k];
    const size_t at = static_cast<size_t>(k);
    const int32_t c[3] = {t.corner0, t.corner1, t.corner2};
    FUZZ_CHECK(orientation(cornerPoint(points, c[0]), cornerPoint(points, c[1]), cornerPoint(points, c[2])) != 0,
               where(at, "zero area"));
    for (int e = 0; e < 3; ++e) {
      const int32_t from = c[e];
      const int32_t to = c[(e + 1) % 3];
      const int32_t other = c[(e + 2) % 3];
      FUZZ_CHECK(directed.insert({from, to}).second, where(at, "directed edge used twice"));
      const auto [entry, first] = thirdCorner.insert({{std::min(from, to), std::max(from, to)}, other});
      if (first) continue;
      FUZZ_CHECK(entry->second >= 0, where(at, "edge shared by three triangles"));
      const Wide here = orientation(cornerPoint(points, from), cornerPoint(points, to), cornerPoint(points, other));
      const Wide there =
          orientation(cornerPoint(points, from), cornerPoint(points, to), cornerPoint(points, entry->second));
      FUZZ_CHECK((here > 0) != (there > 0), where(at, "two triangles on one side of an edge"));
      entry->second = -1;
    }
  }
  if (!integerCoordinates) return;
  std::vector<IntegerPoint> exact;
  for (int32_t i = 0; i < n; ++i) {
    const MeshPoint& p = points[static_cast<size_t>(i)];
    exact.push_back({static_cast<Exact>(static_cast<int64_t>(p.x)), static_cast<Exact>(static_cast<int64_t>(p.y))});
  }
  for (int32_t k = 0; k < count; ++k) {
    const MeshTriangle& t = triangles[k];
    IntegerPoint a = exact[static_cast<size_t>(t.corner0)];
    IntegerPoint b = exact[static_cast<size_t>(t.corner1)];
    IntegerPoint c = exact[static_cast<size_t>(t.corner2)];
    if (exactOrientation(a, b, c) < 0) std::swap(b, c);
    for (int32_t i = 0; i < n; ++i) {
      FUZZ_CHECK(exactInCircle(a, b, c, exact[static_cast<size_t>(i)]) <= 0,
                 where(static_cast<size_t>(k), "a point strictly inside its circumcircle"));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzPointSet set = decodeFuzzPointSet(data, size);
  const int32_t n = set.n;
  if (n < 1) return 0;
  std::vector<MeshPoint>& points = set.points;

  std::vector<MeshTriangle> triangles(static_cast<size_t>(n) * 4);
  std::vector<MeshPoint> stable(points.begin(), points.begin() + n);
  std::stable_sort(stable.begin(), stable.end(), [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  sortPointsByX(points.data(), n, triangles.data(), triangles.size() * sizeof(MeshTriangle));
  FUZZ_CHECK(std::memcmp(stable.data(), points.data(), stable.size() * sizeof(MeshPoint)) == 0,
             "sort by x not stable");

  QuietConsole quiet;
  std::vector<MeshPoint> scanPoints = points;
  int32_t count = 0;
  const int32_t status = buildDelaunayMesh(n, points.data(), triangles.data(), &count, MeshProgress{nullptr, nullptr});
  FUZZ_CHECK(count >= 0 && count <= 4 * n, "count " + std::to_string(count));

  std::vector<MeshTriangle> scanTriangles(static_cast<size_t>(n) * 4);
  int32_t scanCount = 0;
  const int32_t scanStatus = buildDelaunayMeshByScan(n, scanPoints.data(), scanTriangles.data(), &scanCount);
  FUZZ_CHECK(scanStatus == status, "status " + std::to_string(status) + ", scan " + std::to_string(scanStatus));
  FUZZ_CHECK(scanCount == count, "count " + std::to_string(count) + ", scan " + std::to_string(scanCount));
  FUZZ_CHECK(std::memcmp(scanTriangles.data(), triangles.data(), static_cast<size_t>(count) * sizeof(MeshTriangle)) == 0,
             "table differs from the plain scan");
  FUZZ_CHECK(std::memcmp(scanPoints.data(), points.data(), points.size() * sizeof(MeshPoint)) == 0,
             "super-triangle corners differ from the plain scan");

  checkMesh(points, n, triangles.data(), count, status, set.exactGrid && !set.onCircle && soundMeshExpected(points, n),
            set.integerCoordinates);
  return 0;
}
