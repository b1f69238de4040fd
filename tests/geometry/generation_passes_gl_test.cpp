// Generation passes of built-in models, run the way the scene build runs them: a model
// instance under its transform, and "+" and "-" compositions of two built-ins, each from
// registration to items in the batch buffer, the scene grid and the scene box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/path_set.h"
#include "gfx/item_batching.h"

namespace veskor::test {
namespace {

class GenerationPasses : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    WorldClearModels(gWorld);
    RegisterBuiltinModels(gWorld);
    FillSessionRanges(gWorld);
    LodBoxListAdd(gWorld.lod.lists[0], -60, -60, -20, 60, 60, 20, 0.5f);
    TransformNodeInit(identity_);
    TransformNodeInitUnit(unit_);
  }
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    SetTransformGlobals(identity_);
    GenerationGlTest::TearDown();
  }
  const EdgeCurveList& Model(std::uint32_t builtin) {
    return gWorld.models[gWorld.builtinModels[builtin]];
  }
  // A composition operand's node: moved along x.
  TransformNode Operand(float x) {
    TransformNode node = unit_;
    node.translation[0] = x;
    node.identity = 0;
    node.dirty = 1;
    return node;
  }
  // The start of a pass: the element's transform in the globals, empty tables.
  void Begin(const TransformNode& element) {
    SetTransformGlobals(element);
    RenderListReset();
  }
  // The leaf of `node` into the next scene instance record, then the pass.
  SceneInstance& Finish(SceneNode& node) {
    SceneInstance* record = AddSceneInstance(gWorld);
    RegisterDrawItemLeaf(node, *record);
    EXPECT_EQ(GenerateGeometry(), 1u);
    EXPECT_FALSE(SceneBuildFailed()) << gSceneBuildError.message;
    return *record;
  }
  // A lone model pass at the operand place, for comparison.
  std::uint32_t LoneTriangles(std::uint32_t builtin, float x) {
    Begin(identity_);
    TransformNode place = Operand(x);
    SceneNode node{};
    RegisterSceneObject(Model(builtin), place, node);
    const std::uint32_t before = gGeneratedTriangleTotal;
    Finish(node);
    return gGeneratedTriangleTotal - before;
  }
  std::uint32_t Triangles(std::uint32_t item) const {
    return gBatchItemRecords[gItemBatchIndex[item]].mainRanges[0].indexCount / 3 +
           gBatchItemRecords[gItemBatchIndex[item]].capB.indexCount / 3 +
           gBatchItemRecords[gItemBatchIndex[item]].capA.indexCount / 3;
  }
  TransformNode identity_, unit_;
};

// The vertices stay in model space; the record's transform and box place the item.
TEST_F(GenerationPasses, AModelInstanceIsPlacedByItsTransform) {
  TransformNode element;
  TransformNodeInit(element);
  TransformNodeSetRotation(element, 0, 0, 1, 90);
  TransformNodeSetTranslation(element, 50, 0, 10);
  Begin(element);
  SceneNode node{};
  RegisterSceneObject(Model(kBuiltinCube), identity_, node);
  const SceneInstance& r = Finish(node);

  ASSERT_EQ(r.batchItemCount, 1u);
  const float expected[6] = {49, 51, -1, 1, 9, 11};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(r.grid.box[k], expected[k], 0.01f) << k;
  EXPECT_EQ(r.transform.translation[0], 50.0f);
  const ItemDrawRecord& d = gBatchItemRecords[0];
  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  ASSERT_GT(d.mainRanges[0].indexCount, 0u);
  float reach = 0;
  for (std::uint32_t v = 0; v < b.vertexCount; ++v)
    for (int a = 0; a < 3; ++a) reach = std::max(reach, std::abs(b.vertices[5 * v + a]));
  EXPECT_NEAR(reach, 1.0f, 0.01f);
  EXPECT_EQ(gSceneGrid.registrations.count, 1u);
  EXPECT_EQ(gSceneBox.min[0], r.grid.box[0]);
  EXPECT_EQ(gSceneBox.max[2], r.grid.box[5]);
  // A closed box: its normals cancel, to within their lengths' errors, and have no mean.
  EXPECT_EQ(std::vector<float>(r.meanNormal, r.meanNormal + 3), std::vector<float>(3, 0.0f));
  EXPECT_FLOAT_EQ(r.coneAngle, float(M_PI / 2));
}

// "+": both Spheres become items of one record, each without what lies inside the other.
TEST_F(GenerationPasses, AUnionOfTwoSpheresHidesWhatEachHasInsideTheOther) {
  const std::uint32_t lone = LoneTriangles(kBuiltinSphere, -0.6f);
  const float left0 = gSceneBox.min[0];
  ItemTablesReset();
  Begin(identity_);
  TransformNode left = Operand(-0.6f), right = Operand(0.6f);
  SceneNode a{}, b{}, r{};
  RegisterSceneObject(Model(kBuiltinSphere), left, a);
  RegisterSceneObject(Model(kBuiltinSphere), right, b);
  RegisterDrawItemAdd(a, b, r);
  const SceneInstance& record = Finish(r);

  ASSERT_EQ(record.batchItemCount, 2u);
  EXPECT_EQ(record.entryCount, 2u);
  for (std::uint32_t item = 0; item < 2; ++item) {
    EXPECT_GT(Triangles(item), lone / 2) << item;
    EXPECT_LT(Triangles(item), lone) << item;
  }
  EXPECT_EQ(record.grid.box[0], left0);  // the left Sphere's side, mirrored on the right
  EXPECT_NEAR(record.grid.box[1], -left0, 1e-5f);
  EXPECT_EQ(gSceneGrid.registrations.count, 2u);  // the lone pass's and this one's
}

// "-": one item, the Cube with a bite where the Sphere was; the Sphere's sets are released.
TEST_F(GenerationPasses, ADifferenceCutsTheSphereOutOfTheCube) {
  const std::uint32_t lone = LoneTriangles(kBuiltinCube, 0);
  const std::uint32_t lonePoints = gItemPathSets.sets[0].paths[1].count;
  PathSetFree(gItemPathSets.sets[0]);
  ItemTablesReset();
  Begin(identity_);
  TransformNode left = Operand(0), right = Operand(1.2f);
  SceneNode a{}, b{}, r{};
  RegisterSceneObject(Model(kBuiltinCube), left, a);
  RegisterSceneObject(Model(kBuiltinSphere), right, b);
  RegisterDrawItemSub(a, b, r);
  const SceneInstance& record = Finish(r);

  ASSERT_EQ(record.batchItemCount, 1u);
  EXPECT_NE(Triangles(0), lone);
  const PathSet& cut = gItemPathSets.sets[0];
  std::uint32_t most = 0;
  for (std::uint32_t k = 0; k < cut.count; ++k) most = std::max(most, cut.paths[k].count);
  EXPECT_GT(most, lonePoints);  // the bite's points
  bool bitten = false;          // a point of the Sphere's outline deep inside the Cube's right half
  for (std::uint32_t k = 0; k < cut.count; ++k) {
    const SweepPath& s = cut.paths[k];
    for (std::uint32_t i = 0; i < s.count; ++i) bitten |= s.x[i] < 0.5f && std::abs(s.y[i]) < 0.2f;
  }
  EXPECT_TRUE(bitten);
  EXPECT_EQ(b.useCount + b.refCount, 0u);
  EXPECT_EQ(gObjectPathSets.sets[1].capacity, 0u);
}

}  // namespace
}  // namespace veskor::test
