// A build without cairo: the picture formats stay out of the format table,
// so this is never reached from the command line.
#include "export/write/picture.h"

bool writeMeshPicture(const ExportMesh&, const PictureRequest&, ExportOutput*, ExportProgress*,
                      std::string* problem) {
  *problem = "this build has no cairo to draw with";
  return false;
}
