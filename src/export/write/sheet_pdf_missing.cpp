// A build without zlib: PDF stays out of the format table, so this is
// never reached from the command line.
#include "export/write/sheet_pdf.h"

bool writeSheetPdf(const Sheet&, ExportOutput*, ExportProgress*, std::string* problem) {
  *problem = "this build has no zlib to compress with";
  return false;
}
