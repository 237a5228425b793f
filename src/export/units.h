// The ground unit a file declares. The triangle file itself carries none.
#pragma once

#include <cstdint>

enum ExportUnits : int32_t { unitsMetre = 0, unitsFoot = 1, unitsUsFoot = 2 };

// "m", "ft", "usft": what --units takes and what pictures print.
inline const char* exportUnitsName(int32_t units) {
  return units == unitsFoot ? "ft" : units == unitsUsFoot ? "usft" : "m";
}
