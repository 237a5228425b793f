#include "mesh/waiting_fan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A fan about hub 4 over the rim 0-1-2-3 (a square around its centre), in
// table slots 2 .. 5; slots 0 and 1 hold older triangles.
struct FanCase {
  std::vector<MeshPoint> points = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {1, 1, 0}};
  std::vector<MeshTriangle> table = std::vector<MeshTriangle>(6, MeshTriangle{-1, -1, -1});
  WaitingFan fan;
  FanCase() { openWaitingFan(&fan, points.data(), static_cast<int32_t>(points.size()), table.data()); }
};

std::vector<MeshEdge> squareRim() { return {{0, 1}, {1, 2}, {2, 3}, {3, 0}}; }

bool sameTriangle(const MeshTriangle& a, const MeshTriangle& b) {
  return a.corner0 == b.corner0 && a.corner1 == b.corner1 && a.corner2 == b.corner2;
}

}  // namespace

TEST(WaitingFan, HoldsAPlainRingUnwrittenAndWritesItInFanOrder) {
  FanCase c;
  std::vector<MeshEdge> rim = squareRim();
  ASSERT_TRUE(holdUnwritten(&c.fan, &rim, 4, 2));
  EXPECT_TRUE(c.fan.unwritten);
  EXPECT_TRUE(sameTriangle(fanTriangle(c.fan, 2), {2, 3, 4}));
  EXPECT_EQ(rimTriangleAt(c.fan, 2, false), 2);  // edge 2-3 starts at 2
  EXPECT_EQ(rimTriangleAt(c.fan, 2, true), 1);   // edge 1-2 ends there
  EXPECT_EQ(rimTriangleOf(c.fan, 3, 2), 2);      // either way round
  EXPECT_EQ(rimTriangleOf(c.fan, 0, 2), -1);
  EXPECT_TRUE(sameTriangle(c.table[2], {-1, -1, -1}));  // nothing written yet

  writeWaitingFan(&c.fan);
  EXPECT_FALSE(c.fan.unwritten);
  for (int32_t k = 0; k < 4; ++k) EXPECT_TRUE(sameTriangle(c.table[2 + k], fanTriangle(c.fan, k))) << k;
  // The fan's entries by point are gone with it.
  for (const RimEnds& ends : c.fan.rimEnds) {
    EXPECT_EQ(ends.from, -1);
    EXPECT_EQ(ends.to, -1);
  }
}

TEST(WaitingFan, RefusesARimThatIsNoPlainRing) {
  for (const std::vector<MeshEdge>& bad : {std::vector<MeshEdge>{{0, 1}, {0, 2}},  // a corner starts twice
                                           std::vector<MeshEdge>{{0, 1}, {2, 1}},  // ends twice
                                           std::vector<MeshEdge>{{0, 1}, {1, 0}}}) {
    FanCase c;
    std::vector<MeshEdge> rim = bad;
    EXPECT_FALSE(holdUnwritten(&c.fan, &rim, 4, 2));
    EXPECT_FALSE(c.fan.unwritten);
    ASSERT_EQ(rim.size(), bad.size());  // handed back as it was
    EXPECT_EQ(rim[1].from, bad[1].from);
    EXPECT_EQ(rim[1].to, bad[1].to);
    for (const RimEnds& ends : c.fan.rimEnds) EXPECT_EQ(ends.from, -1);
  }
}

TEST(WaitingFan, WritesOnlyTheSurvivorsLeftInTheirOwnSlots) {
  FanCase c;
  std::vector<MeshEdge> rim = squareRim();
  ASSERT_TRUE(holdUnwritten(&c.fan, &rim, 4, 2));
  c.fan.taken = {1, 0, 1, 0};  // triangles 0 and 2 died in the hole
  const MeshTriangle moved{7, 8, 9};
  c.table[2] = moved;  // the replay moved a survivor into a dead fan slot
  // The table now ends before the fan's last slot: triangle 3 moved down.
  writeFanSurvivors(&c.fan, 5);
  EXPECT_FALSE(c.fan.unwritten);
  EXPECT_TRUE(sameTriangle(c.table[2], moved));
  EXPECT_TRUE(sameTriangle(c.table[3], {1, 2, 4}));
  EXPECT_TRUE(sameTriangle(c.table[4], {-1, -1, -1}));  // taken: left alone
  EXPECT_TRUE(sameTriangle(c.table[5], {-1, -1, -1}));  // past the count
}
