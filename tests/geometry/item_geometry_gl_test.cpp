// The item geometry of draw items whose nodes name path sets made by hand: leaves that become
// items in the batch buffer and the scene grid, and the "+" and "-" operations.
#include "geometry/item_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/session_log.h"
#include "generation_test_support.h"
#include "geometry/object_path_sets.h"
#include "geometry/path_set_join.h"
#include "geometry/path_set_overlap.h"
#include "gfx/item_batching.h"
#include "section_test_support.h"
#include "support/kernel_tables.h"

namespace veskor::test {
namespace {

// A capped cylinder of radius 1 about the height axis at heights 0 to 2, 16 points a ring,
// with a ring of kind 3 (left out of items) between the last two.
std::vector<Ring> Cylinder() {
  std::vector<Ring> rings = Prism(Circle(0, 0, 1, 16), 3);
  rings.front().kind = kSectionCappedBottom;
  rings.back().kind = kSectionCappedTop;
  rings.insert(rings.begin() + 2, Ring{Circle(0, 0, 1, 16), 1.5f, kSectionLeftOut});
  return rings;
}

class ItemGeometry : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    ObjectPathSetsReset();
  }
  void TearDown() override {
    for (std::uint32_t k = 0; k < 8; ++k) {
      PathSetFree(gObjectPathSets.sets[k]);
      PathSetFree(gItemPathSets.sets[k]);
    }
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    GenerationGlTest::TearDown();
  }
  // Object set k filled with the rings; `node` gets it as its next entry.
  void Give(SceneNode& node, std::uint32_t k, const std::vector<Ring>& rings) {
    FillSet(gObjectPathSets.sets[k], kPathSetClosed, rings);
    if (node.refCount == 0) node.firstRef = PathSetRefCount();
    gPathSetRefs.Append(k);
    ++node.refCount;
    node.kind = kSceneNodeObject;
  }
  // Registers a leaf of the node and carries it out.
  SceneInstance& Emit(SceneNode& node, std::uint32_t flags = 0) {
    RegisterDrawItemLeaf(node, record_);
    record_.flags = flags;
    GenerateItemGeometry(gDrawItems.items[gDrawItems.count - 1]);
    return record_;
  }
  SceneNode a_{}, b_{}, r_{};
  SceneInstance record_{};
};

TEST_F(ItemGeometry, ALeafMakesOneTransformedItemPerEntryAndAnEmptyOneAddsNoBox) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, 0, 0, 1, 90);
  TransformNodeSetTranslation(node, 100, 0, 5);
  SetTransformGlobals(node);
  Give(a_, 0, Cylinder());
  Give(a_, 1, {{Square(5, 5, 6, 6), 0, kSectionLeftOut}, {Square(5, 5, 6, 6), 1, kSectionLeftOut}});
  a_.useCount = 1;  // a use besides the leaf's: the leaf still consumes the sets
  const SceneInstance& r = Emit(a_);

  ASSERT_FALSE(SceneBuildFailed());
  EXPECT_EQ(gItemCount, 2u);
  EXPECT_EQ(gBatchItemCount, 2u);
  EXPECT_EQ(r.firstBatchItem + r.firstItem, 0u);
  EXPECT_EQ(r.batchItemCount, 2u);
  EXPECT_EQ(r.entryCount, 2u);
  EXPECT_EQ(gItemTargets[1], &r);
  EXPECT_EQ(gItemBatchIndex[1], 1u);
  EXPECT_EQ(gItemPathSets.sets[0].count, 3u);  // the left-out ring stays behind
  EXPECT_EQ(gItemPathSets.sets[1].count, 0u);
  for (std::uint32_t k = 0; k < 2; ++k) {
    EXPECT_EQ(gObjectPathSets.sets[k].capacity, 0u);  // consumed by the leaf
    EXPECT_EQ(gObjectPathSets.sets[k].paths, nullptr);
  }
  EXPECT_EQ(a_.useCount, 1u);
  EXPECT_EQ(a_.refCount, 2u);
  EXPECT_EQ(a_.transform.translation[0], 100.0f);

  // The box turned a quarter about the height axis and moved; the empty item leaves it alone.
  const float expected[6] = {99, 101, -1, 1, 5, 7};
  const PathSet& p = gItemPathSets.sets[0];
  const float setBox[6] = {p.minX, p.maxX, p.minY, p.maxY, p.minZ, p.maxZ};
  for (int k = 0; k < 6; ++k) {
    EXPECT_NEAR(r.grid.box[k], expected[k], 1e-4f) << k;
    EXPECT_EQ(setBox[k], r.grid.box[k]) << k;
  }
  EXPECT_GT(gItemPathSets.sets[1].minX, gItemPathSets.sets[1].maxX);

  // Every generated triangle and vertex went into the batch, in format 4.
  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  EXPECT_GT(gGeneratedTriangleTotal, 0u);
  EXPECT_EQ(gGeneratedTriangleTotal, b.triangleCount);
  EXPECT_EQ(gGeneratedVertexTotal, b.vertexCount);
  EXPECT_EQ(a_.triangleTotal, gGeneratedTriangleTotal);
  const ItemDrawRecord& first = gBatchItemRecords[0];
  EXPECT_EQ(first.format, 4u);
  EXPECT_EQ(first.mainRanges[0].floatCount, 5 * b.vertexCount);
  const ItemDrawRecord& empty = gBatchItemRecords[1];
  EXPECT_EQ(empty.mainRanges[0].floatCount + empty.mainRanges[0].indexCount, 0u);
  EXPECT_EQ(empty.mainRanges[0].firstFloat, b.floatCount);
}

TEST_F(ItemGeometry, ANodeWithoutEntriesKeepsAnEmptyBox) {
  a_.useCount = 1;
  const SceneInstance& r = Emit(a_);
  EXPECT_EQ(r.batchItemCount, 0u);
  EXPECT_EQ(r.grid.box[0], 1e35f);
  EXPECT_EQ(r.grid.box[1], -1e35f);
  EXPECT_EQ(gItemCount, 0u);
}

// Normals take format 2. An item near a water level whose triangles all stay 1.0 or more above
// it reserves exactly 400 vertices and triangles for the clip pass, as format 4 does; a level
// just closer adds two for each triangle that reaches into its band.
TEST_F(ItemGeometry, BothWaysOfAppendingReserveTheSameRoomNearWater) {
  for (const std::uint32_t flags : {0u, 4u}) {
    for (const float level : {-1.0f, -0.99f}) {
      SCOPED_TRACE(testing::Message() << flags << " " << level);
      GeometryBatchReset(gGeometryBatchBuffer);
      BatchAddWaterBox(gGeometryBatchBuffer, -10, -10, 10, 10, level);
      ItemTablesReset();
      ObjectPathSetsReset();
      a_ = SceneNode{};
      Give(a_, 0, Cylinder());
      Emit(a_, flags);
      const ItemDrawRecord& d = gBatchItemRecords[0];
      const std::uint32_t f = flags != 0 ? 8 : 5;
      EXPECT_EQ(d.format, flags != 0 ? 2u : 4u);
      EXPECT_EQ(d.mainRanges[0].waterBox, 0u);
      EXPECT_EQ(d.mainRanges[0].floatCount, f * gGeneratedVertexTotal);
      const std::uint32_t room = gGeometryBatchBuffer.vertexCount - gGeneratedVertexTotal;
      EXPECT_EQ(d.clipRoomVertices, room);
      EXPECT_EQ(gGeometryBatchBuffer.triangleCount, gGeneratedTriangleTotal + room);
      if (level == -1.0f)
        EXPECT_EQ(room, 400u);
      else
        EXPECT_GT(room, 400u);
    }
  }
}

TEST_F(ItemGeometry, AMeshTooLargeToBatchIsLoggedWithItsItemInBothWays) {
  std::ostringstream log;
  SessionLogSetStream(&log);
  SceneBuildErrorReset();
  for (const std::uint32_t flags : {0u, 4u}) {
    SceneBuildSetObject(flags == 0 ? "tall" : "taller");
    ItemTablesReset();
    ObjectPathSetsReset();
    a_ = SceneNode{};
    const std::vector<Xy> big = Circle(0, 0, 1, 40000);
    Give(a_, 0, Cylinder());
    Give(a_, 1, {{big, 0}, {big, 1}});  // two rings of 40001 vertices each
    const std::uint32_t before = gGeometryBatchBuffer.vertexCount;
    gBatchItemRecords[1].mainRanges[0].indexCount = 99;  // an earlier session's ranges
    Emit(a_, flags);
    EXPECT_EQ(gItemCount, 2u);
    const ItemDrawRecord& d = gBatchItemRecords[1];
    EXPECT_EQ(d.mainRanges[0].floatCount + d.mainRanges[0].indexCount + d.capA.indexCount, 0u);
    EXPECT_EQ(gGeometryBatchBuffer.vertexCount - before, gGeneratedVertexTotal - 80002);
  }
  SceneBuildSetObject(nullptr);
  // Counted for the session's warning, which names the first one's object.
  EXPECT_EQ(gSceneBuildSkips.count, 2u);
  EXPECT_EQ(gSceneBuildSkips.vertices, 80002u);
  EXPECT_STREQ(gSceneBuildSkips.name, "tall");
  SceneBuildErrorReset();
  EXPECT_EQ(gSceneBuildSkips.count + gSceneBuildSkips.name[0], 0u);
  SessionLogClose();
  const std::string line = "Geometry Item 1 Skipped : 80002 Vertices > 65536 !";
  const std::string text = log.str();
  const std::size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(text.find(line, at + 1), std::string::npos);
}

TEST_F(ItemGeometry, ItemsStopAtTheTable) {
  Give(a_, 0, {{Square(0, 0, 1, 1)}});
  Give(a_, 1, {{Square(0, 0, 1, 1)}});
  gItemCount = kItemMax - 1;
  gBatchItemCount = 0;
  Emit(a_);
  EXPECT_EQ(gItemCount, kItemMax);
  EXPECT_STREQ(gSceneBuildError.message, kTooManyItemsMessage);
  EXPECT_EQ(gBatchItemCount, 1u);
  EXPECT_EQ(gItemBatchIndex[kItemMax - 1], 0u);
  PathSetFree(gItemPathSets.sets[kItemMax - 1]);
}

// "+": A's entries then B's; every pair overlapped, A's outer, B's inner; nothing released.
TEST_F(ItemGeometry, AUnionListsBothOperandsAndOverlapsEveryPair) {
  const std::vector<std::vector<Xy>> outlines = {Circle(0, 0, 1, 32), Circle(3, 0, 1, 32),
                                                 Circle(1.5f, 0, 1, 32), Circle(0, 1.2f, 1, 32),
                                                 Circle(3, -1.2f, 1, 32)};
  PathSet reference[5]{};
  for (std::uint32_t k = 0; k < 5; ++k) {
    Give(k < 2 ? a_ : b_, k, Prism(outlines[k], 3));
    FillSet(reference[k], kPathSetClosed, Prism(outlines[k], 3));
  }
  a_.useCount = b_.useCount = 1;
  RegisterDrawItemAdd(a_, b_, r_);
  GenerateItemGeometry(gDrawItems.items[0]);
  for (std::uint32_t i = 0; i < 2; ++i)
    for (std::uint32_t j = 2; j < 5; ++j) PathSetOverlap(reference[i], reference[j]);

  EXPECT_EQ(r_.kind, kSceneNodeComposed);
  ASSERT_EQ(r_.refCount, 5u);
  std::uint32_t hidden = 0;
  for (std::uint32_t k = 0; k < 5; ++k) {
    EXPECT_EQ(gPathSetRefs[r_.firstRef + k], k);
    const PathSet& s = gObjectPathSets.sets[k];
    ASSERT_EQ(s.count, 3u);  // neither operand is released
    for (std::uint32_t ring = 0; ring < 3; ++ring) {
      EXPECT_EQ(HiddenBits(s.paths[ring]), HiddenBits(reference[k].paths[ring])) << k;
      for (const std::uint8_t bit : HiddenBits(s.paths[ring])) hidden += bit;
    }
    PathSetFree(reference[k]);
  }
  EXPECT_GE(hidden, 5u * 3);  // every set overlaps some other
  EXPECT_EQ(a_.useCount + b_.useCount, 4u);
}

// "-": A's entries joined with B's, then B released when that was its last use.
TEST_F(ItemGeometry, ADifferenceCutsTheSecondOutOfTheFirstAndReleasesIt) {
  for (const std::uint32_t uses : {1u, 2u}) {
    SCOPED_TRACE(uses);
    ObjectPathSetsReset();
    RenderListReset();
    a_ = b_ = SceneNode{};
    Give(a_, 0, Prism(Square(0, 0, 4, 4), 3));
    Give(b_, 1, Prism(Square(2, 1, 6, 3), 3));
    PathSet reference{}, cut{};
    FillSet(reference, kPathSetClosed, Prism(Square(0, 0, 4, 4), 3));
    FillSet(cut, kPathSetClosed, Prism(Square(2, 1, 6, 3), 3));
    PathSetJoin(reference, cut);
    a_.useCount = 1;
    b_.useCount = uses - 1;
    RegisterDrawItemSub(a_, b_, r_);
    GenerateItemGeometry(gDrawItems.items[0]);

    EXPECT_EQ(r_.refCount, 1u);
    EXPECT_EQ(gPathSetRefs[r_.firstRef], 0u);
    const SweepPath& ring = gObjectPathSets.sets[0].paths[1];
    ASSERT_EQ(ring.count, reference.paths[1].count);
    EXPECT_GT(ring.count, 4u);  // the notch
    for (std::uint32_t k = 0; k < ring.count; ++k) {
      EXPECT_EQ(ring.x[k], reference.paths[1].x[k]);
      EXPECT_EQ(ring.y[k], reference.paths[1].y[k]);
    }
    EXPECT_EQ(b_.useCount, uses - 1);
    EXPECT_EQ(b_.refCount, uses == 1 ? 0u : 1u);
    EXPECT_EQ(gObjectPathSets.sets[1].count, uses == 1 ? 0u : 3u);
    PathSetFree(reference);
    PathSetFree(cut);
  }
}

struct Report {
  std::string label;
  float stage, overall;
};
std::vector<Report> gReports;
std::uint32_t gStopAt = 0;  // the call that answers 0, counted from 1; 0 for none

std::int32_t Record(const char* label, float stage, float overall) {
  gReports.push_back({label, stage, overall});
  return gReports.size() == gStopAt ? 0 : 1;
}

// Leaves of nodes without entries: nothing to cut, only their records and reports.
TEST_F(ItemGeometry, ProgressIsReportedAfterItems0And16AndAStopKeepsWhatWasMade) {
  gBuildProgress = {Record, 0.2f, 0.6f, 0.05f, 0};
  gReports.clear();
  gStopAt = 0;
  EXPECT_EQ(GenerateGeometry(), 1u);
  EXPECT_TRUE(gReports.empty());

  SceneNode nodes[20]{};
  SceneInstance records[20]{};
  for (std::uint32_t i = 0; i < 20; ++i) {
    nodes[i].kind = kSceneNodeComposed;
    RegisterDrawItemLeaf(nodes[i], records[i]);
  }
  EXPECT_EQ(GenerateGeometry(), 1u);
  ASSERT_EQ(gReports.size(), 2u);
  EXPECT_EQ(gReports[0].label, "Geometry / Generate");
  EXPECT_FLOAT_EQ(gReports[0].stage, 0.05f);
  EXPECT_FLOAT_EQ(gReports[0].overall, 0.22f);
  EXPECT_FLOAT_EQ(gReports[1].stage, 0.85f);
  EXPECT_FLOAT_EQ(gReports[1].overall, 0.54f);
  EXPECT_EQ(gSceneGrid.registrations.count, 20u);

  SceneGridSessionReset(gSceneGrid);
  gBuildProgress.fraction = 0;
  gReports.clear();
  gStopAt = 2;
  EXPECT_EQ(GenerateGeometry(), 0u);
  EXPECT_EQ(gReports.size(), 2u);
  EXPECT_EQ(gSceneGrid.registrations.count, 17u);  // items 0 to 16
  EXPECT_EQ(gSceneBox.min[0], 1e6f);               // empty items widen nothing
}

TEST_F(ItemGeometry, AFullSceneGridFailsTheBuild) {
  a_.kind = kSceneNodeComposed;
  RegisterDrawItemLeaf(a_, record_);
  const std::uint32_t used = gSceneGrid.registrations.count;
  gSceneGrid.registrations.count = kSceneGridEntryCapacity;
  EXPECT_EQ(GenerateGeometry(), 0u);
  gSceneGrid.registrations.count = used;
  EXPECT_STREQ(gSceneBuildError.message, kSceneGridFullMessage);
}

// The cone of the triangles `indices` of `positions`, through `matrix` (none: as they are).
void Cone(const std::vector<float>& positions, const std::vector<std::uint32_t>& indices,
          const float* matrix, float* mean, float* angle) {
  MeshBuilder mesh{};
  mesh.positions = positions.data();
  mesh.indices = indices.data();
  mesh.triangleCount = std::uint32_t(indices.size() / 3);
  ItemNormalCone(mesh, matrix, mean, angle);
}

TEST(NormalCone, ZeroAreaTrianglesTakeNoPartAndOppositeNormalsCancel) {
  // Corners of triangles facing +z, +x, -z and one without area.
  const std::vector<float> positions = {0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0,
                                        0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 2, 2, 2};
  // Every normal here is 1 long before it is scaled, so all take the same root estimate: the
  // mean keeps its direction and is off in length by kUnitLengthError, and a dot product of a
  // normal with it (cos a) by twice that, which moves the angle by up to 2 E cos a / sin a.
  const double e = kUnitLengthError;
  const struct {
    std::vector<std::uint32_t> triangles;
    std::vector<float> mean;
    double angle;
  } cases[] = {{{0, 1, 2, 3, 4, 5, 9, 10, 11}, {0.7071068f, 0, 0.7071068f}, M_PI / 4},
               {{0, 1, 2, 0, 1, 2, 3, 4, 5}, {0.4472136f, 0, 0.8944272f}, std::atan(0.5)},
               {{0, 1, 2, 6, 7, 8}, {0, 0, 0}, M_PI / 2},
               {{9, 10, 11}, {0, 0, 0}, M_PI / 2},
               {{}, {0, 0, 0}, M_PI / 2}};
  for (const auto& c : cases) {
    float mean[3], angle;
    Cone(positions, c.triangles, nullptr, mean, &angle);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(mean[a], c.mean[a], e * c.mean[a] + 1e-7);
    EXPECT_NEAR(angle, c.angle, 2.001 * e / std::tan(c.angle) + 1e-6);
  }
  // Through a quarter turn about x: the +z normal becomes -y. The dot product of 1 - 2 E at
  // worst is steep under acos.
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, 1, 0, 0, 90);
  float mean[3], angle;
  Cone(positions, {0, 1, 2}, TransformNodeMatrix(node), mean, &angle);
  EXPECT_NEAR(mean[1], -1, e);
  EXPECT_NEAR(angle, 0, std::acos(1 - 2.001 * e));

  // A closed box, turned about a slanting axis: its normals cancel but for rounding and the
  // error of each one's length, which gives no direction.
  const std::vector<float> box = {0, 0, 0, 1, 0, 0, 1, 2, 0, 0, 2, 0,
                                  0, 0, 3, 1, 0, 3, 1, 2, 3, 0, 2, 3};
  const std::vector<std::uint32_t> faces = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                            3, 7, 6, 3, 6, 2, 0, 4, 7, 0, 7, 3, 1, 2, 6, 1, 6, 5};
  for (const float degrees : {0.0f, 30.0f, 71.3f, 200.0f}) {
    TransformNodeSetRotation(node, 1, 2, 3, degrees);
    Cone(box, faces, TransformNodeMatrix(node), mean, &angle);
    EXPECT_EQ(std::vector<float>(mean, mean + 3), std::vector<float>(3, 0.0f)) << degrees;
    EXPECT_FLOAT_EQ(angle, float(M_PI / 2)) << degrees;
  }

  // Two normals 1 long, (-1, 0, 0) and (cos t, -sin t, 0), sum to about t: a direction once t
  // passes their two errors, 2 (kUnitLengthError + 8 FLT_EPSILON) = 0.000734; the plain
  // members scale exactly enough to show either side.
  const test::ScopedKernelTable program;
  gKernelTable = Tables(false);
  for (const double t : {5e-4, 7.2e-4, 7.5e-4, 1e-3}) {
    const std::vector<float> pair = {0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1,
                                     float(std::sin(t)), float(std::cos(t)), 0};
    Cone(pair, {0, 1, 2, 3, 4, 5}, nullptr, mean, &angle);
    EXPECT_EQ(mean[1] < -0.9f, t > 7.34e-4) << t;
    EXPECT_EQ(mean[1] == 0.0f, t < 7.34e-4) << t;
  }
}

}  // namespace
}  // namespace veskor::test
