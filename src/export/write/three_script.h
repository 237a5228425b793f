// three.js and its orbit controls (Debian's libjs-three), embedded into the
// program when it is built (cmake/embed_files.cmake), so that the 3D page
// needs no file and no network.
#pragma once

#include <cstddef>

struct ScriptPiece {
  const char* bytes;
  size_t size;
};

// The script text in pieces, ending with {nullptr, 0}; only that end when
// the build has no three.js.
extern const ScriptPiece embeddedScript[];

// three.js's revision ("111"); empty without it.
extern const char threeRevision[];
