// A build without three.js: no script, and the .html format stays out of
// the format table.
#include "export/write/three_script.h"

const ScriptPiece embeddedScript[] = {{nullptr, 0}};
const char threeRevision[] = "";
