// Numbers as text for the CAD and GIS files: the shortest decimal that
// reads back as the same double, the same on every platform.
#pragma once

#include <charconv>

// Appends value's shortest round-trip text at out; returns the new end.
// out needs room for 24 characters.
inline char* appendShortestNumber(char* out, double value) {
  return std::to_chars(out, out + 24, value).ptr;
}
