// The points' numbers, delimited exactly as glibc's "%lf" delimits them and
// converted by the program's own means, so that every C library gives the
// same values: one of the two text conversions the output's bytes rest on.
#pragma once

#include <cstdint>
#include <string>

#include "input/points_file.h"
#include "mesh/mesh_records.h"

// Working strings of one pass, allocated only by the rare long or odd numbers.
struct NumberScratch {
  std::string spill;  // start of a number longer than the whole buffer
  std::string text;   // zero-terminated copy for the slow conversion
};

// One "%lf %lf %lf" from the unread text of file, refilling its buffer as
// needed: true when all three convert and are finite. A group that fails
// either way ends the point list, and *stop then gives where, in text bytes:
// the number that failed, or the group's first number when the data ends
// inside the group; -1 when only blank space was left. `point` may be null
// when the pass only counts. While file->tally is set, the numbers and the
// line ends it passes are tallied there.
bool scanPointNumbers(MeshPointsFile* file, NumberScratch* scratch, MeshPoint* point, int64_t* stop);
