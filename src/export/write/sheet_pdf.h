// Writes a sheet as a one-page PDF of the program's own making: vector
// paths, text in the standard Helvetica fonts (not embedded, WinAnsi
// encoding), images and the page's content compressed with zlib. Nothing
// depends on the clock or the system, so a sheet gives the same bytes on
// every platform. One sheet unit is one point.
#pragma once

#include <string>

struct ExportOutput;
struct ExportProgress;
struct Sheet;

// false with problem set when the PDF cannot be made (a build without
// zlib; the format is then not offered). A write failure shows in output.
bool writeSheetPdf(const Sheet& sheet, ExportOutput* output, ExportProgress* progress, std::string* problem);
