// The surface every product is made from: the points with every digit
// read, the triangles, and what products share (edges, bounds). It is built
// once a run (surface/build.h) and products only read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportEdges {
  int32_t edgeCount = 0;
  // 3 per face: the edge from corner c to corner c + 1 (mod 3); -1 for
  // every edge of a face that repeats a vertex.
  std::vector<int32_t> faceEdge;
  // 2 per edge: its vertices, the lower index first.
  std::vector<int32_t> ends;
};

// The extent of the faces' corners; all 0 for a surface without faces.
struct ExportBounds {
  double lowX = 0.0, lowY = 0.0, lowZ = 0.0;
  double highX = 0.0, highY = 0.0, highZ = 0.0;
};

// Coordinates beyond this are refused: areas and volumes of any surface
// within it, summed over 2^31 faces, stay finite.
inline constexpr double exportLargestCoordinate = 1e90;

inline bool coordinateInRange(double value) {
  return value >= -exportLargestCoordinate && value <= exportLargestCoordinate;
}

inline std::string largestCoordinateText() { return "-1e90 .. 1e90"; }

struct ExportVertex {
  double x;
  double y;
  double z;
};

// A surveyed point with its number (or name) and description, either
// empty where the field file had none. Its code is the description's first
// word, which chooses its layer and whether it shapes the surface.
struct ExportSurveyPoint {
  double x;
  double y;
  double z;
  std::string name;
  std::string description;
  std::string code;
  int32_t zDecimals = -1;  // digits after the point in the file's elevation; -1: as few as read back
  bool inSurface = true;   // false for a code --leave-out names
};

// A breakline, or a ring of the border or a hole, as the surface follows it.
struct ExportPolyline {
  std::vector<ExportVertex> points;
  bool closed = false;
};

struct ExportMesh {
  int32_t triangleCount = 0;     // the faces
  int32_t averageSide = 0;       // tsvmesh's average longest side of the input's mesh
  bool averageKnown = false;     // false when out of tsvmesh's range (a triangle file's head kept its asterisks)
  int32_t vertexCount = 0;
  std::vector<char> text;                // every vertex's "x,y,z", back to back
  std::vector<int64_t> textStart;        // vertexCount + 1 offsets into text
  std::vector<ExportVertex> vertices;    // the same texts as numbers
  std::vector<int32_t> corners;          // 3 vertex indices per face, in the input's order
  double lowestZ = 0.0;                  // over the vertices; 0 when there are none
  double highestZ = 0.0;
  // A field file's points in file order, whatever the faces use; empty for
  // other inputs.
  std::vector<ExportSurveyPoint> surveyPoints;
  std::vector<ExportPolyline> breaklines;  // what the surface was made to follow
  std::vector<ExportPolyline> rings;       // the border first when hasBorder, then the holes
  bool hasBorder = false;
  ExportBounds bounds;                   // set when the surface is built
  bool hasEdges = false;                 // edges are found only for products that walk them
  ExportEdges edges;
};

