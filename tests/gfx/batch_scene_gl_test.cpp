// A small scene run the way a render session runs it: the session start with the puff meshes
// appended first, water boxes and items added by the scene build, finalisation, then per item
// the position pass, the clip passes and the normal pass.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/item_batching.h"
#include "gfx/transform_node.h"
#include "gfx/water_clip.h"
#include "mapengine/kernel_table.h"

namespace veskor::test {
namespace {

using BatchSceneTest = BatchGlTest;

constexpr float kTwoPi = 2 * std::numbers::pi_v<float>;

// A cylinder about (30, 0) from z = -4 to 6, its radius growing from 10 to 10.5 round the seam
// so the seam must weld; caps of radius 10.25 whose rims the body's end rows must meet. The
// rims follow the caps' border parameters, as the scene build lays them out.
Point Body(float s, float t) {
  const float r = 10 + 0.5f * s;
  return {30 + r * std::cos(kTwoPi * s), r * std::sin(kTwoPi * s), -4 + 10 * t};
}
Point Cap(float s, float t, float z, bool swapped) {
  if (UvBorderCode(s, t) == 0) return {30, 0, z};
  const float p = swapped ? BorderPerimeterParamSwapped(s, t) : BorderPerimeterParam(s, t);
  return {30 + 10.25f * std::cos(kTwoPi * p), 10.25f * std::sin(kTwoPi * p), z};
}

struct Item {
  TestMesh mesh;
  TestSurface capA, body, capB, normalA, normalBody, normalB;
  TransformNode node;
  ItemDrawRecord record{};
  float box[6];
};

// The position of the first body vertex of an item at (s, t); the body follows the caps.
std::vector<float> BodyAt(const GeometryBatchBuffer& buffer, const Item& item, float s, float t,
                          std::uint32_t f) {
  const ItemDrawRecord& r = item.record;
  const std::uint32_t slot = f == 8 ? 6 : 3;
  for (std::uint32_t at = r.capB.firstFloat + r.capB.floatCount;
       at < r.mainRanges[0].firstFloat + r.mainRanges[0].floatCount; at += f) {
    const float* v = buffer.vertices + at;
    if (v[slot] == s && v[slot + 1] == t) return {v[0], v[1], v[2]};
  }
  return {};
}

std::vector<float> Position(const float* v) { return {v[0], v[1], v[2]}; }

TEST_F(BatchSceneTest, ItemsWeldClipAndGetNormals) {
  TestMesh puff;
  puff.AddSheet(1, 1, [](float s, float t) { return Point{s, t, 900}; });
  SetVertexFormat(buffer, 4);
  BatchAppendVertices(buffer, puff.View(), 0, 4);
  BatchAppendTriangles(buffer, puff.View(), 0, 2);
  BatchAddWaterBox(buffer, -300, -300, 300, 300, 0);

  const SurfaceFn left = [](float s, float t) { return Point{100 * s - 200, 100 * t, 50}; };
  const SurfaceFn right = [](float s, float t) { return Point{100 * s - 100, 100 * t, 50.5f}; };
  const SurfaceFn capA = [](float s, float t) { return Cap(s, t, -4, false); };
  const SurfaceFn capB = [](float s, float t) { return Cap(s, t, 6, true); };
  const SurfaceFn down = [](float, float) { return Point{0, 0, -1}; };
  const SurfaceFn up = [](float, float) { return Point{0, 0, 1}; };
  const SurfaceFn out = [](float s, float) {
    return Point{std::cos(kTwoPi * s), std::sin(kTwoPi * s), 0};
  };
  Item patches[2] = {{{},
                      {0, 0, left},
                      {1, 1, left},
                      {0, 0, left},
                      {0, 0, up},
                      {0, 0, up},
                      {0, 0, up},
                      {},
                      {},
                      {}},
                     {{},
                      {0, 0, right},
                      {1, 1, right},
                      {0, 0, right},
                      {0, 0, up},
                      {0, 0, up},
                      {0, 0, up},
                      {},
                      {},
                      {}}};
  Item cylinder{{},          {1, 1, capA}, {3, 2, Body}, {1, 1, capB}, {0, 0, down},
                {3, 2, out}, {0, 0, up},   {},           {},           {}};
  // Scene build: local meshes, world boxes, batching.
  for (int k = 0; k < 2; ++k) {
    Item& p = patches[k];
    TransformNodeInit(p.node);
    p.mesh.AddSheet(2, 2, k == 0 ? left : right);
    BatchAppendItem(buffer, p.mesh.View(), 4, p.record, nullptr);
  }
  TransformNodeInit(cylinder.node);
  TransformNodeSetRotation(cylinder.node, 0, 0, 1, 90);
  TransformNodeSetTranslation(cylinder.node, 30, 0, 0);
  const auto local = [&](const SurfaceFn& world) {
    return [&, world](float s, float t) {
      Point p = world(s, t), q;
      gKernelTable.KernelTransformPoint(q.data(), TransformNodeMatrix2(cylinder.node), p.data());
      return q;
    };
  };
  cylinder.mesh.AddSheet(2, 2, local(capA));
  cylinder.mesh.EndCap();
  cylinder.mesh.AddSheet(2, 2, local(capB));
  cylinder.mesh.EndCap();
  cylinder.mesh.AddSheet(8, 4, local(Body));
  BatchAppendItem(buffer, cylinder.mesh.View(), 2, cylinder.record,
                  TransformNodeMatrix(cylinder.node));
  EXPECT_EQ(cylinder.record.clipRoomVertices, 2 * 16 + 400u);  // the band from z -1.5 to 1

  // Render preparation.
  GeometryBatchBufferFinalize(buffer);
  for (Item* item : {&patches[0], &patches[1], &cylinder}) {
    const MeshBuilder m = item->mesh.View();
    const float* toWorld = TransformNodeMatrix(item->node);
    const float* toLocal =
        TransformNodeFlag(item->node) ? nullptr : TransformNodeMatrix2(item->node);
    float* box = item->box;
    for (int a = 0; a < 3; ++a) box[a] = 1e9f, box[3 + a] = -1e9f;
    for (int c = 0; c < 8; ++c) {
      const float corner[3] = {(c & 1) ? m.boxMax[0] : m.boxMin[0],
                               (c & 2) ? m.boxMax[1] : m.boxMin[1],
                               (c & 4) ? m.boxMax[2] : m.boxMin[2]};
      float w[3];
      gKernelTable.KernelTransformPoint(w, toWorld, corner);
      for (int a = 0; a < 3; ++a)
        box[a] = std::min(box[a], w[a]), box[3 + a] = std::max(box[3 + a], w[a]);
    }
    ItemDrawRecord& r = item->record;
    BatchPositionPass(buffer, r, item->capA.View(), item->body.View(), item->capB.View(), toLocal,
                      box);
    const auto clip = [&](auto pass) {
      pass(buffer, r, box[0], box[1], box[2], box[3], box[4], box[5], toWorld, toLocal);
    };
    if (r.capA.indexCount != 0) clip(BatchClipPassB);
    if (r.capB.indexCount != 0) clip(BatchClipPassC);
    clip(BatchClipPassA);
    if (r.format == 2)
      BatchNormalPass(buffer, r, item->normalA.View(), item->normalBody.View(),
                      item->normalB.View(), toLocal, 0.2f, box);
  }
  WeldTableReset(buffer.weldTable);

  // The right patch's left edge sits on the left patch's right edge.
  for (float t : {0.0f, 0.5f, 1.0f}) {
    EXPECT_EQ(BodyAt(buffer, patches[1], 0, t, 5), BodyAt(buffer, patches[0], 1, t, 5));
    EXPECT_EQ(BodyAt(buffer, patches[1], 0.5f, t, 5)[2], 50.5f);
  }
  EXPECT_EQ(patches[0].record.mainRanges[0].waterBox, kNoWaterBox);  // 50 above the water

  // The cylinder's seam and its rims: welded exactly.
  for (int i = 0; i <= 8; ++i) {
    const float s = float(i) / 8;
    const float p = s < 1 ? s : 0;  // the body's far end meets its start
    std::vector<float> rimA, rimB;
    for (const float* v = buffer.vertices + cylinder.record.capA.firstFloat;
         v < buffer.vertices + cylinder.record.capB.firstFloat + cylinder.record.capB.floatCount;
         v += 8) {
      const bool inA = v < buffer.vertices + cylinder.record.capB.firstFloat;
      const float param =
          inA ? BorderPerimeterParam(v[6], v[7]) : BorderPerimeterParamSwapped(v[6], v[7]);
      if (UvBorderCode(v[6], v[7]) != 0 && std::fabs(param - p) < 1e-4f)
        (inA ? rimA : rimB) = Position(v);
    }
    ASSERT_EQ(rimA.size() + rimB.size(), 6u) << s;
    EXPECT_EQ(BodyAt(buffer, cylinder, s, 0, 8), rimA) << s;
    EXPECT_EQ(BodyAt(buffer, cylinder, s, 1, 8), rimB) << s;
  }
  for (float t : {0.25f, 0.5f, 0.75f})
    EXPECT_EQ(BodyAt(buffer, cylinder, 1, t, 8), BodyAt(buffer, cylinder, 0, t, 8));

  // The body's crossing band was cut: 16 triangles each into three, 32 new vertices, with
  // 400 of the room left; the caps lie wholly on one side.
  const ItemDrawRecord& r = cylinder.record;
  EXPECT_EQ(r.mainRanges[0].floatCount, 8 * (18 + 45 + 32u));
  EXPECT_EQ((std::vector<std::uint32_t>{r.mainRanges[0].above, r.mainRanges[0].below,
                                        r.mainRanges[0].straddling, r.mainRanges[0].indexCount}),
            (std::vector<std::uint32_t>{56, 40, 0, 3 * 96}));
  EXPECT_EQ(r.clipRoomVertices, 400u);
  EXPECT_EQ((std::vector<std::uint32_t>{r.capA.below, r.capA.above, r.capB.above, r.capB.below}),
            (std::vector<std::uint32_t>{8, 0, 8, 0}));
  const float* world = TransformNodeMatrix(cylinder.node);
  for (std::uint32_t j = 0; j < 96; ++j) {
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t v = buffer.indices[r.mainRanges[0].firstIndex + 3 * j + c];
      float p[3];
      gKernelTable.KernelTransformPoint(p, world,
                                        buffer.vertices + r.mainRanges[0].firstFloat + 8 * v);
      if (j < 56)
        EXPECT_GE(p[2], -kWaterBand) << j;
      else
        EXPECT_LE(p[2], kWaterBand) << j;
    }
  }
  // Every vertex, cut ones included, has a finite unit normal; the body's lie on the surface
  // in the item's own space, their normals within a few degrees of the grid's.
  EXPECT_GE(cylinder.box[0], 19.5f);  // the world box was widened by world positions only
  EXPECT_LE(cylinder.box[3], 40.5f);
  const float* toLocal = TransformNodeMatrix2(cylinder.node);
  for (std::uint32_t at = 0; at < r.mainRanges[0].floatCount; at += 8) {
    const float* v = buffer.vertices + r.mainRanges[0].firstFloat + at;
    EXPECT_NEAR(std::hypot(v[3], v[4], v[5]), 1.0f, 1e-3f) << at / 8;
    if (at < r.capA.floatCount + r.capB.floatCount) continue;
    EXPECT_GT(std::hypot(v[0], v[1]), 9.0f) << at / 8;
    EXPECT_LT(std::hypot(v[0], v[1]), 10.6f) << at / 8;
    const float world[3] = {std::cos(kTwoPi * v[6]), std::sin(kTwoPi * v[6]), 0};
    float g[3];
    gKernelTable.KernelTransformNormal(g, toLocal, world);
    EXPECT_GT(v[3] * g[0] + v[4] * g[1] + v[5] * g[2], 0.97f) << at / 8;
  }
}

}  // namespace
}  // namespace veskor::test
