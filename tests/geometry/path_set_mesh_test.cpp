#include "geometry/path_set_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "section_test_support.h"

namespace veskor {
namespace {

using test::Circle;
using test::FillRing;
using test::FillSet;
using test::Ring;
using test::Square;
using Tri = std::array<std::uint32_t, 3>;

std::vector<Tri> Triangles(const ItemMeshBuilder& b) {
  std::vector<Tri> t(b.triangleCount);
  for (std::uint32_t k = 0; k < b.triangleCount; ++k) {
    t[k] = {b.indices[3 * k], b.indices[3 * k + 1], b.indices[3 * k + 2]};
  }
  return t;
}

class MeshBuild : public ::testing::Test {
 protected:
  void SetUp() override { MeshBuilderInit(b_); }
  void TearDown() override {
    MeshBuilderRelease(b_);
    PathSetFree(set_);
    SweepPathRelease(ring_);
  }
  void Build(std::uint32_t kind, const std::vector<Ring>& rings) {
    FillSet(set_, kind, rings);
    PathSetNormalise(set_);
    PathSetBuildMesh(set_, range_, b_);
  }
  ItemMeshBuilder b_;
  PathSet set_{};
  SweepPath ring_{};
  LodRange range_{};
};

// A square ring of points at parameters 0, .25, .5, .75, hidden as given, under each cap.
TEST_F(MeshBuild, CapsFanOverTheirRingAndLeaveOutTrianglesBetweenHiddenPoints) {
  const struct {
    std::vector<std::uint8_t> hidden;
    std::uint32_t force, triangles;
  } cases[] = {{{0, 0, 0, 0}, 0, 4},
               {{1, 1, 1, 1}, 0, 0},
               {{1, 1, 1, 1}, 1, 4},
               {{0, 1, 1, 0}, 0, 3},
               {{1, 0, 1, 1}, 0, 2}};
  for (const auto& c : cases) {
    for (const bool top : {false, true}) {
      FillRing(ring_, {Square(0, 0, 2, 2), 5, kSectionPlain, {}, c.hidden});
      MeshBuilderReset(b_, 64, 64);
      if (top) {
        MeshAddCapTop(b_, ring_, 1, 1, 6, c.force);
      } else {
        MeshAddCapBottom(b_, 1, 1, 4, ring_, c.force);
      }
      EXPECT_EQ(b_.vertexCount, 6u);  // centre, n points, closing point
      EXPECT_EQ(b_.arrays.array2.count, 6u);
      EXPECT_EQ(b_.triangleCount, c.triangles) << top << " " << c.force;
      EXPECT_EQ(b_.capTriangleB, c.triangles);
      EXPECT_EQ(b_.capTriangleA, top ? 0u : c.triangles);
    }
  }
  // Winding and unit-square places: point 1 (parameter .25) at (0, 1) under the bottom cap and
  // at (1, 0) over the top one; centre (.5, .5), point 0 and the closing point (0, 0).
  const float expect[2][6][2] = {{{.5f, .5f}, {0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}},
                                 {{.5f, .5f}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}};
  for (const std::uint32_t top : {0u, 1u}) {
    MeshBuilderReset(b_, 64, 64);
    FillRing(ring_, {Square(0, 0, 2, 2)});
    if (top != 0) {
      MeshAddCapTop(b_, ring_, 1, 1, 0, 1);
    } else {
      MeshAddCapBottom(b_, 1, 1, 0, ring_, 1);
    }
    EXPECT_EQ(Triangles(b_)[0], top != 0 ? (Tri{1, 0, 2}) : (Tri{1, 2, 0}));
    for (std::uint32_t v = 0; v < 6; ++v) {
      EXPECT_EQ(b_.texCoords[4 * v], expect[top][v][0]) << top << " " << v;
      EXPECT_EQ(b_.texCoords[4 * v + 1], expect[top][v][1]) << top << " " << v;
    }
  }
  // One point: the centre, two ring vertices, one triangle at most; equal places stay apart.
  MeshBuilderReset(b_, 64, 64);
  FillRing(ring_, {{{3, 3}}});
  MeshAddCapBottom(b_, 3, 3, 0, ring_, 0);
  EXPECT_EQ(b_.vertexCount, 3u);
  EXPECT_EQ(b_.triangleCount, 1u);
  EXPECT_EQ(b_.boxMin[0], 3.0f);
  MeshAddVertex(b_, 0, 0, 0);  // a ring starts the side where it is added
  MeshAddRing(b_, ring_);
  EXPECT_EQ(b_.capVertexB, 4u);
  EXPECT_EQ(b_.vertexCount, 6u);
}

// Rings of 4 and 8 points with evenly spread parameters: 12 triangles, 5 + 9 vertices.
TEST_F(MeshBuild, TwoUncappedRingsZipByParameter) {
  Build(kPathSetClosed, {{Square(-1, -1, 1, 1), 0}, {Circle(0, 0, 1, 8), 1}});
  EXPECT_EQ(b_.vertexCount, 14u);
  EXPECT_EQ(b_.arrays.array2.count, 14u);
  EXPECT_EQ(b_.triangleCount, 12u);
  EXPECT_EQ(b_.capVertexB, 0u);
  EXPECT_EQ(b_.capTriangleB, 0u);
  const std::vector<Tri> t = Triangles(b_);
  EXPECT_EQ(t[0], (Tri{6, 0, 5}));  // the second ring's first midpoint comes first
  EXPECT_EQ(t[1], (Tri{0, 6, 1}));
  EXPECT_EQ(b_.texCoords[4 * 13], 1.0f);      // the closing vertex of the second ring
  EXPECT_EQ(b_.texCoords[4 * 13 + 1], 1.0f);  // its profile position
  const auto* ranges = MeshWorkData<std::uint32_t>(b_.arrays.array4);
  EXPECT_EQ(ranges[2 * 11], *std::min_element(t[11].begin(), t[11].end()));
  EXPECT_EQ(ranges[1], *std::max_element(t[0].begin(), t[0].end()));
  MeshBuilderRelease(b_);  // the work arrays' blocks go back, the view and the counts empty
  EXPECT_TRUE(b_.arrays.array1.block.base == nullptr && b_.arrays.array4.block.base == nullptr);
  EXPECT_TRUE(b_.positions == nullptr && b_.indices == nullptr);
  EXPECT_EQ(b_.vertexCount + b_.triangleCount + b_.arrays.array2.count, 0u);
}

// Midpoints half a packed step apart tie (the previous ring goes first); a whole step does not.
TEST_F(MeshBuild, ATieWithinTheToleranceAdvancesThePreviousRing) {
  for (const int steps : {1, 2}) {
    const float p = 0.5f - static_cast<float>(steps) / 1024;
    Build(kPathSetClosed, {{{{0, 0}, {1, 0}}, 0, kSectionPlain, {0, 0.5f}},
                           {{{0, 0}, {1, 0}}, 1, kSectionPlain, {0, p}}});
    EXPECT_EQ(Triangles(b_)[0], steps == 1 ? (Tri{0, 3, 1}) : (Tri{4, 0, 3})) << steps;
  }
}

TEST_F(MeshBuild, ApexRingsCapTheMiddleRingAndLeaveNoSide) {
  Build(kPathSetClosed, {{{{0, 0}}, 0}, {Square(-1, -1, 1, 1), 1}, {{{0, 0}}, 2}});
  EXPECT_EQ(b_.capTriangleA, 4u);  // bottom fan over ring 1
  EXPECT_EQ(b_.capVertexA, 6u);
  EXPECT_EQ(b_.capTriangleB, 8u);  // top fan under ring 1, then nothing
  EXPECT_EQ(b_.triangleCount, 8u);
  EXPECT_EQ(b_.vertexCount, 12u);
  EXPECT_EQ(b_.positions[2], 0.0f);  // the bottom apex
}

TEST_F(MeshBuild, AStripBetweenHiddenRingsAddsOnlyVertices) {
  const std::vector<std::uint8_t> hidden(4, 1);
  Build(kPathSetClosed, {{Square(0, 0, 1, 1), 0, kSectionPlain, {}, hidden},
                         {Square(0, 0, 1, 1), 1, kSectionPlain, {}, hidden}});
  EXPECT_EQ(b_.triangleCount, 0u);
  EXPECT_EQ(b_.vertexCount, 10u);
}

// Two strips of three equal squares: 8 triangles each at parameters .25 .25 .5 .5 .75 .75 1 1,
// reordered so both advance together.
TEST_F(MeshBuild, TwoStripsInterleaveByParameter) {
  const std::vector<Ring> rings = test::Prism(Square(0, 0, 1, 1), 3);
  FillSet(set_, kPathSetClosed, rings);
  MeshBuilderReset(b_, 64, 64);
  MeshAddRing(b_, set_.paths[0]);
  MeshAddStrip(b_, range_, set_.paths[0], set_.paths[1]);
  MeshAddStrip(b_, range_, set_.paths[1], set_.paths[2]);
  const std::vector<Tri> before = Triangles(b_);
  MeshInterleaveStrips(b_, 0, 8, 8, 16);
  const std::uint32_t order[] = {0, 8, 9, 1, 2, 3, 10, 11, 12, 13, 4, 5, 6, 7, 14, 15};
  const std::vector<Tri> after = Triangles(b_);
  for (std::uint32_t k = 0; k < 16; ++k) EXPECT_EQ(after[k], before[order[k]]) << k;
  MeshInterleaveStrips(b_, 0, 7, 7, 16);  // ranges that are not the recorded strips
  EXPECT_EQ(Triangles(b_), after);
  PathSetBuildMesh(set_, range_, b_);
  EXPECT_EQ(Triangles(b_), after);
}

TEST_F(MeshBuild, ASetWithoutSectionsLeavesAnEmptyMesh) {
  Build(kPathSetClosed, test::Prism(Square(0, 0, 1, 1), 3));
  PathSetFree(set_);
  PathSetBuildMesh(set_, range_, b_);
  EXPECT_EQ(b_.vertexCount + b_.arrays.array2.count + b_.triangleCount + b_.capVertexB, 0u);
}

// Three polylines of 6 points (columns 1 to 4 in the mesh) at heights 0, 1, 2; the last ring
// carries both seam bits, the middle one none.
TEST_F(MeshBuild, AnOpenSheetZipsItsInnerColumnsAndClosesItsSeams) {
  std::vector<test::Xy> line;
  for (int k = 0; k < 6; ++k) line.push_back({float(k), 0});
  const std::uint32_t seams = kSectionLeftSeam | kSectionRightSeam;
  Build(kPathSetOpen, {{line, 0}, {line, 1, kSectionPlain}, {line, 2, seams | kSectionPlain}});
  EXPECT_EQ(b_.vertexCount, 12u);
  ASSERT_EQ(b_.triangleCount, 10u);
  const std::vector<Tri> t = Triangles(b_);
  const std::vector<Tri> seamTriangles = {{1, 0, 5}, {0, 8, 5},  {5, 8, 9},
                                          {2, 6, 3}, {3, 6, 11}, {6, 10, 11}};
  EXPECT_EQ(std::vector<Tri>(t.begin() + 4, t.end()), seamTriangles);
  // Without seam bits the outer columns have one entry each: no seam. Hidden points leave out
  // strip triangles, never seam triangles.
  Build(kPathSetOpen, {{line, 0}, {line, 1}, {line, 2}});
  EXPECT_EQ(b_.triangleCount, 4u);
  const std::vector<std::uint8_t> hidden(6, 1);
  Build(kPathSetOpen,
        {{line, 0, seams, {}, hidden}, {line, 1, 2, {}, hidden}, {line, 2, seams, {}, hidden}});
  EXPECT_EQ(b_.triangleCount, 6u);
}

// Longer than fixed work tables would hold: strips of 66000 triangles (two of them
// interleaved) and an open set of 1100 rings whose border columns all take part in the seams.
TEST_F(MeshBuild, WorkTablesHoldWhatTheSetNeeds) {
  Build(kPathSetClosed, test::Prism(Circle(0, 0, 1, 33000), 3));
  EXPECT_EQ(b_.triangleCount, 4 * 33000u);
  const std::vector<Tri> t = Triangles(b_);
  EXPECT_EQ(t[1], (Tri{33001, 66002, 33002}));  // the second strip's first triangle comes second
  std::vector<Ring> rings(1100, Ring{{{0, 0}, {1, 0}, {2, 0}, {3, 0}}});
  for (std::uint32_t r = 0; r < 1100; ++r) {
    rings[r].height = float(r);
    rings[r].kind = kSectionLeftSeam | kSectionRightSeam;
  }
  Build(kPathSetOpen, rings);
  EXPECT_EQ(b_.vertexCount, 2200u);
  EXPECT_EQ(b_.triangleCount, 4 * 1099u);
  for (std::uint32_t k = 0; k < 3 * b_.triangleCount; ++k) ASSERT_LT(b_.indices[k], 2200u);
}

// Random sets, closed and open: rings of 1 to 12 points, parameters rising or not, hidden
// points and section kinds at random.
TEST_F(MeshBuild, RandomSetsGiveConsistentMeshes) {
  std::mt19937 random(28);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<Ring> rings(1 + random() % 8);
    for (std::size_t r = 0; r < rings.size(); ++r) {
      Ring& ring = rings[r];
      const std::uint32_t n = 1 + random() % 12;
      const bool rising = random() % 4 != 0;
      for (std::uint32_t k = 0; k < n; ++k) {
        ring.points.push_back({4 * unit(random) - 2, 4 * unit(random) - 2});
        ring.params.push_back(rising ? float(k) / float(n) : unit(random));
        ring.hidden.push_back(random() % 3 == 0 ? 1 : 0);
      }
      ring.height = float(r) + unit(random);
      ring.kind = 1 + random() % 4 + (random() % 2) * kSectionLeftSeam + (random() % 2) * 16;
    }
    Build(random() % 2, rings);
    for (std::uint32_t r = 0; r < set_.count; ++r) {
      ASSERT_FALSE(std::isnan(ProfileV(set_.paths[r]) + ProfileVCapped(set_.paths[r])));
    }
    ASSERT_EQ(b_.arrays.array2.count, b_.vertexCount) << trial;
    ASSERT_LE(b_.capVertexA, b_.capVertexB);
    ASSERT_LE(b_.capTriangleA, b_.capTriangleB);
    ASSERT_LE(b_.capTriangleB, b_.triangleCount);
    for (std::uint32_t k = 0; k < 3 * b_.triangleCount; ++k)
      ASSERT_LT(b_.indices[k], b_.vertexCount);
    float least[3] = {1e35f, 1e35f, 1e35f}, most[3] = {-1e35f, -1e35f, -1e35f};
    for (std::uint32_t v = 0; v < b_.vertexCount; ++v) {
      for (int a = 0; a < 3; ++a) {
        least[a] = std::min(least[a], b_.positions[3 * v + a]);
        most[a] = std::max(most[a], b_.positions[3 * v + a]);
      }
      for (int a = 0; a < 4; ++a) ASSERT_FALSE(std::isnan(b_.texCoords[4 * v + a])) << trial;
    }
    for (int a = 0; a < 3; ++a) ASSERT_TRUE(b_.boxMin[a] == least[a] && b_.boxMax[a] == most[a]);
    const auto* ranges = MeshWorkData<std::uint32_t>(b_.arrays.array4);
    std::uint32_t hi = 0;
    for (std::uint32_t k = 0; k < b_.triangleCount; ++k) {
      std::uint32_t lo = b_.vertexCount - 1;
      for (std::uint32_t j = 3 * k; j < 3 * b_.triangleCount; ++j) lo = std::min(lo, b_.indices[j]);
      for (std::uint32_t j = 3 * k; j < 3 * k + 3; ++j) hi = std::max(hi, b_.indices[j]);
      ASSERT_EQ(ranges[2 * k], lo);
      ASSERT_EQ(ranges[2 * k + 1], hi);
    }
  }
}

}  // namespace
}  // namespace veskor
