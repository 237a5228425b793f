// ISO A paper for plots at scale: A0 (index 0) to A4 (index 4).
#pragma once

#include <cstdint>
#include <cstring>

inline constexpr int32_t paperSizes = 5;

// Short and long side in millimetres.
inline constexpr double paperMillimetres[paperSizes][2] = {
    {841.0, 1189.0}, {594.0, 841.0}, {420.0, 594.0}, {297.0, 420.0}, {210.0, 297.0}};

// The index that "A0" .. "A4" (either case) names, or -1.
inline int32_t paperSizeOf(const char* name) {
  if ((name[0] != 'A' && name[0] != 'a') || name[1] < '0' || name[1] > '4' || name[2] != '\0') return -1;
  return name[1] - '0';
}
