// Which way a face points. Viewers light a face on the side its corners
// run counter-clockwise, so a terrain's faces must do so seen from above.
#pragma once

#include <cstdint>

struct ExportMesh;

// Twice the signed area of face f in x-y: positive when its corners run
// counter-clockwise seen from above (+z), 0 for a face without area.
double faceTwiceArea(const ExportMesh& mesh, int32_t face);

// Swaps the last two corners of every face that runs clockwise seen from
// above, so that every face with an area points up. Face order is kept.
void orientFacesUpward(ExportMesh* mesh);

// The light on a face from a sun in the north-west (azimuth 315 degrees)
// 45 degrees high, relative to level ground: 1 for level ground, 0 for a
// face turned edge-on to the sun or away from it (below 0), up to sqrt(2)
// for a face square to it. A face without area counts as level.
double hillshadeFactor(const ExportMesh& mesh, int32_t face);
