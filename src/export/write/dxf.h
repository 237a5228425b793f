// The surface for CAD and civil design packages: an ASCII DXF (R12, which
// all of them open) with every face a 3DFACE on layer TIN and, when given,
// the contours as polylines at their elevation on CONTOUR and CONTOUR_INDEX.
#pragma once

#include <cstdint>

struct CodedLines;
struct ExportMesh;
struct ExportContours;
struct ExportOutput;
struct ExportProgress;

// contours and lines (--lines', as 3D polylines on their codes' layers)
// may be null. units is an ExportUnits, declared in the header ($INSUNITS,
// $MEASUREMENT).
void writeDxf(const ExportMesh& mesh, const ExportContours* contours, const CodedLines* lines, int32_t units,
              ExportOutput* output, ExportProgress* progress);
