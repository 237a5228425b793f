// The drawn surface as a raster: every face filled with the colour of its
// mean z on the viridis ramp, lit by a sun in the north-west 45 degrees
// high (unless flat). Colours come in classes, a step of the ramp and a
// step of light, so that faces of one colour can be drawn together.
#pragma once

#include <cstdint>
#include <vector>

struct ExportMesh;
struct ExportProgress;
struct SheetImage;

inline constexpr int32_t surfaceRampClasses = 256;
inline constexpr int32_t surfaceShadeClasses = 24;
inline constexpr int32_t surfaceShadeUnit = 16;  // the unshaded step
inline constexpr int32_t surfaceClassCount = surfaceRampClasses * surfaceShadeClasses;

// The viridis colour at t in 0 .. 1, as red, green, blue in 0 .. 1.
void viridisColour(double t, double rgb[3]);

// The class of face by its mean z within the mesh's z range, and its light.
int32_t surfaceColourClass(const ExportMesh& mesh, int32_t face, bool flat);

// The ramp colour of class k in its light: darker towards black below the
// unit step, paler towards white above it.
void surfaceClassColour(int32_t k, double rgb[3]);

// Every face's colour class, in face order.
std::vector<int32_t> surfaceColourClasses(const ExportMesh& mesh, bool flat);

// Fills image's pixels (its size and place already set) with the faces in
// the colours of their classes; page holds each vertex's x, y on the
// sheet. A pixel takes the colour of the face its centre lies in; a centre
// on an edge shared by two faces goes to exactly one of them. Pixels
// outside every face are white.
void rasterSurface(const ExportMesh& mesh, const std::vector<double>& page, const std::vector<int32_t>& classes,
                   SheetImage* image, ExportProgress* progress);
