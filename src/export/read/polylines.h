// Breaklines and polygons (a border, holes) read from a file: a text file
// of polylines, or a DXF drawing's lines. Only reading: what the lines mean
// is the surface's business.
//
// Text: one vertex a line, "x y z" or "x y" (blanks, tabs or a comma
// between the numbers), a blank line between polylines. A polyline whose
// last vertex repeats its first is closed (the repeat is dropped).
//
// DXF (ASCII): the ENTITIES section's LINE, LWPOLYLINE (z from its
// elevation, group 38; closed by bit 1 of group 70) and POLYLINE with its
// VERTEX entities, 2D (z from the elevation in its group 30) or 3D; other
// entities are passed over, and so are polygon and polyface meshes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/read/mesh_file.h"

struct PolylineVertex {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;       // 0 when hasZ is false
  bool hasZ = false;    // false for "x y", or a DXF entity without its z
  int64_t line = 0;     // the file's line (1-based) that gave the vertex
};

// A polyline's vertices are vertices[firstVertex .. firstVertex + vertexCount - 1];
// it has at least two.
struct Polyline {
  int32_t firstVertex = 0;
  int32_t vertexCount = 0;
  bool closed = false;  // an edge joins the last vertex to the first
};

struct PolylineSet {
  std::vector<PolylineVertex> vertices;
  std::vector<Polyline> polylines;
};

// Reads the polylines of the file at path: DXF when its name ends in
// ".dxf" (either case), text otherwise. false with error filled (its line,
// or 0 for the whole file) when the file cannot be read, a number is not a
// finite double, a line or entity is malformed, a polyline has fewer than
// two vertices, or the file holds no polyline.
bool readPolylineFile(const char* path, PolylineSet* set, ExportReadError* error);

// The same from bytes in memory.
bool readPolylineText(const char* bytes, size_t size, PolylineSet* set, ExportReadError* error);
bool readPolylineDxf(const char* bytes, size_t size, PolylineSet* set, ExportReadError* error);
