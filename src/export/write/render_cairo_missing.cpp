// A build without cairo: PNG and SVG stay out of the format table, so this
// is never reached from the command line.
#include "export/write/render_cairo.h"

bool renderSheetCairo(const Sheet&, bool, ExportOutput*, ExportProgress*, std::string* problem) {
  *problem = "this build has no cairo to draw with";
  return false;
}
