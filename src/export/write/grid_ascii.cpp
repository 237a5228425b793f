#include "export/write/grid_ascii.h"

#include <cmath>
#include <string>

#include "export/output.h"
#include "export/progress.h"
#include "export/write/number_text.h"

namespace {

std::string shortest(double value) {
  char text[32];
  return std::string(text, appendShortestNumber(text, value));
}

}  // namespace

double gridNodataValue(const std::vector<double>& values) {
  double lowest = 0.0;
  for (const double v : values) {
    if (!std::isnan(v) && v < lowest) lowest = v;
  }
  double nodata = -9999.0;
  while (nodata >= lowest && nodata > -1e300) nodata = nodata * 10.0 - 9.0;
  return nodata;
}

void writeAsciiGrid(const ExportGridFrame& frame, const std::vector<double>& values, ExportOutput* output,
                    ExportProgress* progress) {
  const double nodata = gridNodataValue(values);
  const double west = (static_cast<double>(frame.firstColumn) - 0.5) * frame.cell;
  const double south = (static_cast<double>(frame.topRow - frame.rows + 1) - 0.5) * frame.cell;
  std::string head = "ncols " + std::to_string(frame.columns) + "\nnrows " + std::to_string(frame.rows);
  head += "\nxllcorner " + shortest(west) + "\nyllcorner " + shortest(south);
  head += "\ncellsize " + shortest(frame.cell) + "\nNODATA_value " + shortest(nodata) + "\n";
  writeExportText(output, head);
  std::string line;
  char text[32];
  for (int32_t r = 0; r < frame.rows; ++r) {
    if ((r & 63) == 0) updateExportProgress(progress, "writing", r, frame.rows);
    line.clear();
    const double* row = values.data() + static_cast<size_t>(r) * static_cast<size_t>(frame.columns);
    for (int32_t c = 0; c < frame.columns; ++c) {
      if (c > 0) line += ' ';
      line.append(text, appendShortestNumber(text, std::isnan(row[c]) ? nodata : row[c]));
    }
    line += '\n';
    writeExportText(output, line);
  }
}
