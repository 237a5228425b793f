// The sweep's state while it inserts the points, and the replay of one
// point's hole (hole_replay.cpp). Internal to the triangulation.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/circle_index.h"
#include "mesh/mesh_records.h"

// A slot of the shared-edge hash table: an edge (its corners, lower first),
// the index of its copy still waiting for a partner (-1 for none), and the
// hole it belongs to.
struct EdgeSlot {
  int64_t key;
  int32_t pending;
  uint32_t stamp;
};

// The waiting copy of an edge at the hub (see strikeHoleEdges), by its
// other corner.
struct HubSlot {
  int32_t pending;
  uint32_t stamp;
};

// An edge of a removed triangle that is not the unwritten fan's (the older
// triangles of a hole), and how many removed triangles have it.
struct OlderEdge {
  int32_t slot;  // the triangle's slot before the replay
  int32_t low;
  int32_t high;
  int32_t copies;
};

// One run's sweep: the table being built and the working memory, owned
// here and released by the destructor on every exit. The waiting fan is the
// circle index's (circles.fan).
struct Sweep {
  int32_t n = 0;
  MeshPoint* points = nullptr;
  MeshTriangle* triangles = nullptr;
  int32_t* count = nullptr;  // the caller's live count
  int32_t limit = 0;         // room in the table
  CircleIndex circles;
  int32_t* circleOfSlot = nullptr;  // for the index, from meshHeap
  // The edges of the hole being replayed, from meshHeap (so that the tests
  // can refuse its growth).
  MeshEdge* edges = nullptr;
  int32_t edgeRoom = 0;
  int32_t edgeCount = 0;
  std::vector<HubSlot> hubSlots;  // by point
  // Hash table for large holes; a slot belongs to the current hole only when
  // its stamp matches, so nothing needs clearing between holes.
  std::vector<EdgeSlot> edgeSlots;
  uint32_t stamp = 0;
  std::vector<MeshEdge> survivors;  // the next fan's rim, as the replay finds it
  std::vector<OlderEdge> olderEdges;
  std::vector<int32_t> struckRims;  // rim edges that an older triangle shares

  Sweep() = default;
  Sweep(const Sweep&) = delete;
  Sweep& operator=(const Sweep&) = delete;
  ~Sweep() {
    meshRelease(edges);
    meshRelease(circleOfSlot);
  }
};

// Takes the hole's triangles out of the table as the plain scan deletes
// them, and their edges into the edge buffer (s.edges, s.edgeCount), in the
// scan's order. False, before deleting any, when the buffer could not grow.
bool replayHole(Sweep& s, const std::vector<int32_t>& hole);

// Strikes out the buffer's edges that two removed triangles share, as the
// scan's pass over all pairs would; hub is the corner of the last fan (-1
// for none).
void strikeHoleEdges(Sweep& s, int32_t hub);

// The edges left in the buffer, in its order, into s.survivors.
void collectSurvivors(Sweep& s);

// Whether the hole of an unwritten waiting fan can be replayed by the fan's
// structure (replayUnwritten): false where an edge is shared three times, or
// more than a few older triangles are in the hole; the fan must then be
// written and the hole replayed by replayHole.
bool countOlderEdges(Sweep& s, const std::vector<int32_t>& hole);

// replayHole and the pairing for a hole that takes the unwritten fan: the
// same deletions in the same order, the same circle moves, and the same
// table, but a fan triangle is written only where it outlives the hole, and
// the edges are paired by the fan's structure instead of the buffer. The
// next fan's rim is left in s.survivors. False, with the fan written and
// nothing replayed, when the edge buffer could not grow.
bool replayUnwritten(Sweep& s, const std::vector<int32_t>& hole);
