// The areas and volumes report: text for people (.txt), JSON for programs.
#pragma once

#include <string>

#include "export/products/surface_difference.h"
#include "export/products/volumes.h"

struct ExportOutput;

struct ExportReport {
  std::string surfaceName;   // the input file's name
  int32_t triangleCount = 0;
  ExportSurfaceMeasures measures;
  bool compared = false;
  std::string otherName;     // --compare's file name
  const char* unit = "m";    // the ground unit --units declares (the data carry none)
  SurfaceDifference difference;  // exact, over the overlay of both surfaces
};

// Lengths in the units of the coordinates (report.unit), areas in their
// squares and volumes in their cubes, as the report says.
void writeTextReport(const ExportReport& report, ExportOutput* output);
void writeJsonReport(const ExportReport& report, ExportOutput* output);
