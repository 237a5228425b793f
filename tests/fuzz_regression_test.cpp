// Point sets the triangulation fuzzer found, replayed from fuzz/corpus. None
// is a defect of the indexed triangulation: each is a set on which the plain
// scan, too, leaves something other than a sound mesh, and the fast version
// must still give the scan's status and table exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../fuzz/mesh_input.h"
#include "mesh/triangulation.h"
#include "mesh_support.h"
#include "reference_mesh.h"
#include "test_support.h"

namespace {

struct Finding {
  const char* file;
  int32_t status;
  const char* what;
};

TEST(FuzzFindings, TriangulationMatchesThePlainScan) {
  const Finding findings[] = {
      {"finding_below_tolerance", meshTriangleLimit,
       "an 11 x 11 grid of 1e-7 steps: y differences below the level tolerance, "
       "zero-area triangles that are never removed, and the table fills up"},
      {"finding_far_offset", meshOk, "a unit grid at 1e15: zero-area triangles along one x"},
      {"finding_circle_and_centre", meshOk,
       "the integer points of one circle and its centre: triangles of either turn"},
      {"finding_circle_overlap", meshOk, "the integer points of one circle: overlapping triangles"},
      {"finding_thousandth_grid", meshOk, "a grid of 0.001 steps at -16: overlapping triangles"},
  };
  for (const Finding& finding : findings) {
    SCOPED_TRACE(std::string(finding.file) + ": " + finding.what);
    const std::string bytes =
        readFile(std::string(TSVMESH_SOURCE_DIR) + "/fuzz/corpus/triangulation/" + finding.file);
    FuzzPointSet set = decodeFuzzPointSet(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_GT(set.n, 2);
    std::vector<MeshPoint> points(set.points.begin(), set.points.begin() + set.n);
    std::vector<MeshPoint> sorted = points;
    const MeshResult fast = triangulate(points);  // sorts stably, appends the spare slots
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
    sorted.resize(sorted.size() + 3);
    std::vector<MeshTriangle> table(static_cast<size_t>(set.n) * 4);
    int32_t count = 0;
    testing::internal::CaptureStdout();
    const int32_t status = buildDelaunayMeshByScan(set.n, sorted.data(), table.data(), &count);
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(fast.status, finding.status);
    EXPECT_EQ(status, finding.status);
    ASSERT_EQ(fast.triangles.size(), static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
      const MeshTriangle& a = fast.triangles[static_cast<size_t>(k)];
      const MeshTriangle& b = table[static_cast<size_t>(k)];
      ASSERT_TRUE(a.corner0 == b.corner0 && a.corner1 == b.corner1 && a.corner2 == b.corner2)
          << "triangle " << k;
    }
    if (finding.status == meshTriangleLimit) {
      EXPECT_EQ(count, 4 * set.n);
    }
  }
}

}  // namespace
