// Ring sets built as the item geometry builds them, composed with "+" and "-", measured, turned
// into meshes and put into the geometry batch buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/path_set_join.h"
#include "geometry/path_set_mesh.h"
#include "geometry/path_set_overlap.h"
#include "gfx/batch_test_support.h"
#include "gfx/geometry_batch_draw.h"
#include "section_test_support.h"

namespace veskor::test {
namespace {

// A cylinder of radius 1 about (cx, 0): capped rings of 32 points at heights 0, 1, 2.
std::vector<Ring> Cylinder(float cx, std::uint32_t n = 32) {
  std::vector<Ring> rings = Prism(Circle(cx, 0, 1, n), 3);
  rings.front().kind = kSectionCappedBottom;
  rings.back().kind = kSectionCappedTop;
  return rings;
}

class ItemBatch : public BatchGlTest {
 protected:
  void SetUp() override {
    BatchGlTest::SetUp();
    MeshBuilderInit(mesh_);
  }
  void TearDown() override {
    MeshBuilderRelease(mesh_);
    PathSetFree(a_);
    PathSetFree(b_);
    BatchGlTest::TearDown();
  }
  ItemDrawRecord BatchSet(PathSet& set) {
    PathSetMeasure(set);
    PathSetNormalise(set);
    PathSetBuildMesh(set, range_, mesh_);
    ItemDrawRecord record{};
    BatchAppendItem(buffer, mesh_, 4, record, nullptr);
    return record;
  }
  ItemMeshBuilder mesh_;
  PathSet a_{}, b_{};
  LodRange range_{};
};

// Bottom cap, top cap and side: vertices and triangles of each, 5 floats a vertex.
TEST_F(ItemBatch, CapsAndSideBecomeTheItemsRanges) {
  std::vector<Xy> line;
  for (int k = 0; k < 8; ++k) line.push_back({float(k), 0});
  const std::uint32_t seams = kSectionLeftSeam | kSectionRightSeam | kSectionPlain;
  const struct {
    std::uint32_t kind;
    std::vector<Ring> rings;
    std::uint32_t capA[2], capB[2], side[2];  // vertices, triangles
  } cases[] = {
      {kPathSetClosed, Cylinder(0, 16), {18, 16}, {18, 16}, {51, 64}},
      {kPathSetClosed,
       {{Circle(0, 0, 1, 16), 0, kSectionCappedBottom}, {Circle(0, 0, 0.5f, 16), 1}, {{{0, 0}}, 2}},
       {18, 16},
       {18, 16},
       {34, 32}},
      {kPathSetOpen,
       {{line, 0, seams}, {line, 1}, {line, 2}, {line, 3, seams}},
       {0, 0},
       {0, 0},
       {24, 26}}};
  for (const auto& c : cases) {
    FillSet(a_, c.kind, c.rings);
    const std::uint32_t first = buffer.floatCount, firstIndex = buffer.indexCount;
    const ItemDrawRecord r = BatchSet(a_);
    EXPECT_EQ(r.capA.firstFloat, first);
    EXPECT_EQ(r.capA.floatCount, 5 * c.capA[0]);
    EXPECT_EQ(r.capA.indexCount, 3 * c.capA[1]);
    EXPECT_EQ(r.capB.firstFloat, first + 5 * c.capA[0]);
    EXPECT_EQ(r.capB.floatCount, 5 * c.capB[0]);
    EXPECT_EQ(r.capB.firstIndex, firstIndex + 3 * c.capA[1]);
    EXPECT_EQ(r.capB.indexCount, 3 * c.capB[1]);
    EXPECT_EQ(r.mainRanges[0].firstIndex, firstIndex + 3 * (c.capA[1] + c.capB[1]));
    EXPECT_EQ(r.mainRanges[0].indexCount, 3 * c.side[1]);
    EXPECT_EQ(r.mainRanges[0].floatCount, 5 * (c.capA[0] + c.capB[0] + c.side[0]));
  }
  const float* centre = buffer.vertices;  // the cylinder's bottom centre, square centre
  const float expect[5] = {0, 0, 0, 0.5f, 0.5f};
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(centre[k], expect[k], 1e-6f) << k;
}

// Two cylinders one radius apart with "+": both keep their points, the lens segments hidden;
// no side triangle of either mesh joins three hidden points.
TEST_F(ItemBatch, OverlappingCylindersLeaveOutTheirInnerSide) {
  FillSet(a_, kPathSetClosed, Cylinder(0));
  FillSet(b_, kPathSetClosed, Cylinder(1));
  PathSetOverlap(a_, b_);
  for (PathSet* set : {&a_, &b_}) {
    const std::vector<std::uint8_t> hidden = HiddenBits(set->paths[1]);
    std::uint32_t pairs = 0;
    for (std::uint32_t k = 0; k < 32; ++k) pairs += hidden[k] & hidden[(k + 1) % 32];
    EXPECT_EQ(set->paths[0].count, 32u);
    EXPECT_GT(pairs, 0u);
    BatchSet(*set);
    EXPECT_EQ(mesh_.triangleCount, 2 * 32 + 2 * (64 - 2 * pairs));
    for (std::uint32_t t = mesh_.capTriangleB; t < mesh_.triangleCount; ++t) {
      std::uint32_t visible = 0;
      for (int c = 0; c < 3; ++c) {
        const std::uint32_t v = mesh_.indices[3 * t + c] - mesh_.capVertexB;
        visible += hidden[(v % 33) % 32] == 0 ? 1 : 0;  // 33 vertices a side ring
      }
      EXPECT_GT(visible, 0u) << t;
    }
  }
}

// The first cylinder less the second with "-": every section becomes the crescent, its
// parameters rising from 0 below 1; seen from above its top cap covers the crescent only.
TEST_F(ItemBatch, ACylinderLessAnotherIsACrescent) {
  FillSet(a_, kPathSetClosed, Cylinder(0));
  FillSet(b_, kPathSetClosed, Cylinder(1));
  EXPECT_EQ(PathSetJoin(a_, b_), 0u);
  for (std::uint32_t s = 0; s < 3; ++s) {
    const SweepPath& ring = a_.paths[s];
    EXPECT_GT(ring.count, 32u);
    EXPECT_EQ(ring.packedT[0], 0);
    for (std::uint32_t k = 0; k < ring.count; ++k) {
      if (k > 0) {
        EXPECT_GE(ring.packedT[k], ring.packedT[k - 1]) << s << " " << k;
      }
      EXPECT_LT(HalfToFloat(ring.packedT[k]), 1.0f);
      EXPECT_GE(std::hypot(ring.x[k] - 1, ring.y[k]), 0.99f) << k;  // none inside B's chords
    }
  }
  EXPECT_NEAR(a_.maxX, 0.5f, 1e-5f);  // the box was measured again
  const ItemDrawRecord r = BatchSet(a_);
  GeometryBatchBufferFinalize(buffer);
  EnableVertexArrays(buffer);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-2, 2, -2, 2, -10, 10);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  BatchDrawItem(buffer, r);
  DisableVertexArrays(buffer);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  EXPECT_EQ(ReadPixel(20, 32).r, 255);  // (-0.7, 0): in the crescent
  EXPECT_EQ(ReadPixel(40, 32).r, 0);    // (0.5, 0): cut away
  EXPECT_EQ(ReadPixel(32, 52).r, 0);    // (0, 1.25): outside both
}

}  // namespace
}  // namespace veskor::test
