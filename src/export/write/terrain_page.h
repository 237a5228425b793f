// The surface in 3D: one self-contained HTML page that any current browser
// opens from disk without a network. three.js (embedded at build time)
// draws it with WebGL, lit by the pictures' sun (north-west, 45 degrees up)
// and coloured by elevation; orbit, pan, zoom, a vertical exaggeration and
// switches for the wireframe and the contours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportContours;
struct ExportMesh;
struct ExportOutput;
struct ExportProgress;

// The page's binary data: vertices relative to the centre of the mesh's
// bounding box as 32-bit floats (x, y, z each), so that survey coordinates
// keep their precision on the GPU, the faces as 32-bit indices in the mesh's
// corner order, and the contours as line segments (two points each) in the
// same coordinates, index contours apart.
struct TerrainPageData {
  std::vector<float> positions;
  std::vector<uint32_t> indices;
  std::vector<float> contourSegments;
  std::vector<float> indexContourSegments;
};

// contours may be null.
TerrainPageData terrainPageData(const ExportMesh& mesh, const ExportContours* contours);

// Standard base64 with padding.
std::string base64Text(const unsigned char* bytes, size_t count);

// Writes the page; name is the mesh file's name, shown on the page. The
// faces should point up (orientFacesUpward), which the lighting assumes.
// contours may be null; otherwise the page has a switch for them.
void writeTerrainPage(const ExportMesh& mesh, const ExportContours* contours, const std::string& name,
                      ExportOutput* output, ExportProgress* progress);
