#include "export/products/difference_grid.h"

#include <algorithm>
#include <new>

#include "export/read/mesh_file.h"

bool sampleDifference(const ExportMesh& first, const std::vector<uint8_t>& firstKept, const ExportMesh& second,
                      const std::vector<uint8_t>& secondKept, double cell, ExportGridFrame* frame,
                      std::vector<double>* values, std::string* problem) {
  ExportPlanBox a{}, b{};
  if (!surfaceBox(first, firstKept, &a) || !surfaceBox(second, secondKept, &b)) {
    *problem = "a surface has no triangle to sample";
    return false;
  }
  const ExportPlanBox common{std::max(a.xmin, b.xmin), std::max(a.ymin, b.ymin), std::min(a.xmax, b.xmax),
                             std::min(a.ymax, b.ymax)};
  if (!(common.xmin <= common.xmax && common.ymin <= common.ymax)) {
    *problem = "the surfaces do not overlap: there is no difference to sample";
    return false;
  }
  if (!frameBox(common, cell, frame, problem)) return false;
  // Both surfaces sampled on the frame; the difference then takes the
  // second's place. NaN on either side stays NaN.
  std::vector<double> firstValues;
  try {
    sampleSurface(first, firstKept, *frame, &firstValues);
    sampleSurface(second, secondKept, *frame, values);
  } catch (const std::bad_alloc&) {
    *problem = "not enough memory for a grid of " + std::to_string(int64_t{frame->columns} * frame->rows) +
               " cells (two copies): take a larger --cell";
    values->clear();
    return false;
  }
  for (size_t i = 0; i < values->size(); ++i) (*values)[i] -= firstValues[i];
  return true;
}
