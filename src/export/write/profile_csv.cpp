#include "export/write/profile_csv.h"

#include "export/output.h"
#include "export/products/profile.h"
#include "export/write/number_text.h"

void writeProfileCsv(const ExportProfile& profile, ExportOutput* output) {
  writeExportText(output, "chainage,easting,northing,elevation\n");
  for (size_t s = 0; s < profile.stretches.size(); ++s) {
    const ProfileStretch& stretch = profile.stretches[s];
    if (s > 0) {
      writeExportText(output, profile.stretches[s - 1].polyline == stretch.polyline ? "\n" : "\n\n");
    }
    for (int32_t k = 0; k < stretch.stationCount; ++k) {
      const ProfileStation& station = profile.stations[static_cast<size_t>(stretch.firstStation + k)];
      char row[128];
      char* out = appendShortestNumber(row, station.chainage);
      for (const double value : {station.x, station.y, station.z}) {
        *out++ = ',';
        out = appendShortestNumber(out, value);
      }
      *out++ = '\n';
      writeExportBytes(output, row, static_cast<size_t>(out - row));
    }
  }
}
