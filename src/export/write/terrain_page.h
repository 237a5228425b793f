// The surface in 3D: one self-contained HTML page that any current browser
// opens from disk without a network. three.js (embedded at build time)
// draws it with WebGL, lit by the pictures' sun (north-west, 45 degrees up)
// and coloured by elevation; orbit, pan, zoom, a vertical exaggeration and
// a wireframe switch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportMesh;
struct ExportOutput;
struct ExportProgress;

// The page's binary data: vertices relative to the centre of the mesh's
// bounding box as 32-bit floats (x, y, z each), so that survey coordinates
// keep their precision on the GPU, and faces turned counter-clockwise seen
// from above, as 32-bit indices.
struct TerrainPageData {
  std::vector<float> positions;
  std::vector<uint32_t> indices;
};

TerrainPageData terrainPageData(const ExportMesh& mesh);

// Standard base64 with padding.
std::string base64Text(const unsigned char* bytes, size_t count);

// Writes the page; name is the mesh file's name, shown on the page.
void writeTerrainPage(const ExportMesh& mesh, const std::string& name, ExportOutput* output,
                      ExportProgress* progress);
