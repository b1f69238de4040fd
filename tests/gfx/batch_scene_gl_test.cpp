// A small scene run the way a render session runs it: the cloud puffs appended first, the
// scene build's water box and items, finalisation, then per item the position pass, the clip
// passes and the normal pass.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/transform_node.h"
#include "gfx/water_clip.h"
#include "mapengine/kernel_table.h"

namespace veskor::test {
namespace {

constexpr float kTwoPi = 2 * std::numbers::pi_v<float>;

// A cylinder about (30, 0) from z = -4 to 6 whose radius grows from 10 to 10.5 round the seam,
// so the seam must weld; caps of radius 10.25 whose rims (laid out by the caps' border
// parameters) the body's end rows must meet.
Point Body(float s, float t) {
  const float r = 10 + 0.5f * s;
  return {30 + r * std::cos(kTwoPi * s), r * std::sin(kTwoPi * s), -4 + 10 * t};
}
Point Cap(float s, float t, float z, bool swapped) {
  if (UvBorderCode(s, t) == 0) return {30, 0, z};
  const float p = swapped ? BorderPerimeterParamSwapped(s, t) : BorderPerimeterParam(s, t);
  return {30 + 10.25f * std::cos(kTwoPi * p), 10.25f * std::sin(kTwoPi * p), z};
}
Point CapA(float s, float t) { return Cap(s, t, -4, false); }
Point CapB(float s, float t) { return Cap(s, t, 6, true); }
Point Outward(float s, float) { return {std::cos(kTwoPi * s), std::sin(kTwoPi * s), 0}; }

TEST_F(BatchGlTest, ASceneWeldsItsSeamsCutsAtTheWaterAndGetsNormals) {
  TestMesh puff, patchMesh[2], mesh;
  puff.AddSheet(1, 1, Constant(0, 0, 900));
  SetVertexFormat(buffer, 4);
  BatchAppendVertices(buffer, puff.View(), 0, 4);
  BatchAppendTriangles(buffer, puff.View(), 0, 2);
  BatchAddWaterBox(buffer, -300, -300, 300, 300, 0);
  // Two patches side by side, 0.5 apart in height, 50 above the water.
  const SurfaceFn patch[2] = {[](float s, float t) {
                                return Point{100 * s - 200, 100 * t, 50};
                              },
                              [](float s, float t) {
                                return Point{100 * s - 100, 100 * t, 50.5f};
                              }};
  ItemDrawRecord patches[2];
  for (int k = 0; k < 2; ++k)
    patchMesh[k].AddSheet(2, 2, patch[k]), patches[k] = Batch(patchMesh[k], 4);
  // The cylinder, placed by a quarter turn about z and a shift; its mesh is in its own space.
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, 0, 0, 1, 90);
  TransformNodeSetTranslation(node, 30, 0, 0);
  const float* toWorld = TransformNodeMatrix(node);
  const float* toLocal = TransformNodeMatrix2(node);
  const auto local = [&](Point (*world)(float, float)) {
    return [=](float s, float t) {
      Point p = world(s, t), q;
      gKernelTable.KernelTransformPoint(q.data(), toLocal, p.data());
      return q;
    };
  };
  mesh.AddSheet(2, 2, local(CapA));
  mesh.EndCap();
  mesh.AddSheet(2, 2, local(CapB));
  mesh.EndCap();
  mesh.AddSheet(8, 4, local(Body));  // rows at z -4, -1.5, 1, 3.5, 6
  ItemDrawRecord item{};
  BatchAppendItem(buffer, mesh.View(), 2, item, toWorld);
  EXPECT_EQ(item.clipRoomVertices, 2 * 16 + 400u);  // the 16 triangles from z -1.5 to 1

  GeometryBatchBufferFinalize(buffer);
  float patchBox[6] = {-200, 0, 50, 0, 100, 50.5f};
  for (int k = 0; k < 2; ++k) {
    const TestSurface g(1, 1, patch[k]);
    BatchPositionPass(buffer, patches[k], g.View(), g.View(), g.View(), nullptr, patchBox);
    BatchClipPassA(buffer, patches[k], -200, 0, 50, 0, 100, 50.5f, nullptr, nullptr);
  }
  const TestSurface capA(1, 1, CapA), body(3, 2, Body), capB(1, 1, CapB);
  const TestSurface down(0, 0, Constant(0, 0, -1)), out(3, 0, Outward), up(0, 0, Constant(0, 0, 1));
  float box[6] = {19.5f, -10.5f, -4, 40.5f, 10.5f, 6};
  BatchPositionPass(buffer, item, capA.View(), body.View(), capB.View(), toLocal, box);
  const auto clip = [&](auto pass) {
    pass(buffer, item, box[0], box[1], box[2], box[3], box[4], box[5], toWorld, toLocal);
  };
  clip(BatchClipPassB), clip(BatchClipPassC), clip(BatchClipPassA);
  BatchNormalPass(buffer, item, down.View(), out.View(), up.View(), toLocal, 0.2f, box);
  WeldTableReset(buffer.weldTable);

  // The position of the body vertex at (s, t); for items with caps, the caps come first.
  const auto at = [&](const ItemDrawRecord& r, std::uint32_t f, float s, float t) {
    const std::uint32_t slot = f == 8 ? 6 : 3;
    for (std::uint32_t k = r.capB.firstFloat + r.capB.floatCount;
         k < r.mainRanges[0].firstFloat + r.mainRanges[0].floatCount; k += f) {
      const float* v = buffer.vertices + k;
      if (v[slot] == s && v[slot + 1] == t) return std::vector<float>{v[0], v[1], v[2]};
    }
    return std::vector<float>{};
  };
  for (float t : {0.0f, 0.5f, 1.0f}) {  // the right patch's left edge is the left one's right
    EXPECT_EQ(at(patches[1], 5, 0, t), at(patches[0], 5, 1, t));
    EXPECT_EQ(at(patches[1], 5, 0.5f, t)[2], 50.5f);
    EXPECT_EQ(at(item, 8, 1, t / 2 + 0.25f), at(item, 8, 0, t / 2 + 0.25f));  // the seam
  }
  EXPECT_EQ(patches[0].mainRanges[0].waterBox, kNoWaterBox);
  for (const float* v = buffer.vertices + item.capA.firstFloat;  // the body rows on the rims
       v < buffer.vertices + item.capB.firstFloat + item.capB.floatCount; v += 8) {
    const bool inA = v < buffer.vertices + item.capB.firstFloat;
    if (UvBorderCode(v[6], v[7]) == 0) continue;
    const float p =
        inA ? BorderPerimeterParam(v[6], v[7]) : BorderPerimeterParamSwapped(v[6], v[7]);
    EXPECT_EQ(at(item, 8, p, inA ? 0.0f : 1.0f), std::vector<float>(v, v + 3)) << p;
  }

  // The crossing band was cut: each of its 16 triangles into three, 32 new vertices, with 400
  // of the room left; the caps lie wholly on one side.
  const BatchRange& r = item.mainRanges[0];
  EXPECT_EQ((std::vector<std::uint32_t>{r.floatCount / 8, r.above, r.below, r.straddling,
                                        r.indexCount / 3, item.clipRoomVertices, item.capA.below,
                                        item.capA.above, item.capB.above, item.capB.below}),
            (std::vector<std::uint32_t>{18 + 45 + 32, 56, 40, 0, 96, 400, 8, 0, 8, 0}));
  for (std::uint32_t k = 0; k < 3 * 96; ++k) {  // above first, then below
    float p[3];
    gKernelTable.KernelTransformPoint(
        p, toWorld, buffer.vertices + r.firstFloat + 8 * buffer.indices[r.firstIndex + k]);
    EXPECT_TRUE(k < 3 * 56 ? p[2] >= -kWaterBand : p[2] <= kWaterBand) << k;
  }
  // The world box grew by world positions only. Every vertex, cut ones included, has a unit
  // normal; the body's lie on the surface, their normals within a few degrees of the grid's.
  EXPECT_EQ(std::vector<float>(box, box + 6),
            (std::vector<float>{19.5f, -10.5f, -4, 40.5f, 10.5f, 6}));
  for (std::uint32_t k = 0; k < r.floatCount; k += 8) {
    const float* v = buffer.vertices + r.firstFloat + k;
    EXPECT_NEAR(std::hypot(v[3], v[4], v[5]), 1.0f, 1e-3f) << k / 8;
    if (k < item.capA.floatCount + item.capB.floatCount) continue;
    EXPECT_TRUE(std::hypot(v[0], v[1]) > 9 && std::hypot(v[0], v[1]) < 10.6f) << k / 8;
    float g[3];
    gKernelTable.KernelTransformNormal(g, toLocal, Outward(v[6], 0).data());
    EXPECT_GT(v[3] * g[0] + v[4] * g[1] + v[5] * g[2], 0.97f) << k / 8;
  }
}

}  // namespace
}  // namespace veskor::test
