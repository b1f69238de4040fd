// The environment state: construction, the reset of the low-cloud layer and destruction, seen
// through the memory manager's parked blocks and the texture name pool.
#include "environment/environment_state.h"

#include <gtest/gtest.h>

#include <memory>

#include "foundation/heap_areas.h"
#include "gfx/texture_names.h"

namespace veskor {
namespace {

std::uint32_t ParkedBlocks() {
  std::uint32_t n = 0;
  for (const SizeClassList& list : TheHeapAreas().sizeClassLists)
    for (const FreeBlockNode* node = list.head; node != nullptr; node = node->next) ++n;
  return n;
}

bool IsParked(const void* base) {
  for (const SizeClassList& list : TheHeapAreas().sizeClassLists)
    for (const FreeBlockNode* node = list.head; node != nullptr; node = node->next)
      if (node->base == base) return true;
  return false;
}

std::uint32_t FreedSlots() { return TextureNamePool.freed.count; }

// A layer with three cube pairs, two puffs and two clusters in use, and records above each
// count that hold data too; the ramp built and the visible list in use.
struct FilledState {
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  static constexpr std::uint32_t kPairs = 3, kPuffs = 2, kClusters = 2;
  // The records just above each count.
  static constexpr std::uint32_t kPairAbove = 3, kPuffAbove = 2, kClusterAbove = 2;

  FilledState() {
    GiveBackTextureSlot(TakeTextureSlot(), ContextStamp);  // the pool's own block first
    CloudLowLayer& layer = state->cloudLow;
    for (std::uint32_t i : {0u, 1u, 2u, kPairAbove}) {  // three in use and the next
      TextureCubeResize(layer.puffCubes[i].shapeCube, 2, 4);
      TextureCubeResize(layer.puffCubes[i].lightCube, 3, 4);
    }
    for (std::uint32_t i : {0u, 1u, kPuffAbove}) {
      CloudPuff& puff = layer.puffs[i];
      VmArrayReserve(puff.shaftSegments, 40 * sizeof(ShaftSegment));
      VmArrayAppend(puff.shaftSegments, 3, sizeof(ShaftSegment));
      puff.cubes = &layer.puffCubes[i];
      puff.radius = 300.0f;
      puff.halfHeight = 100.0f;
    }
    for (std::uint32_t i : {0u, 1u, kClusterAbove}) layer.clusters[i].puffCount = 7;
    layer.puffCubeCount = kPairs;
    layer.puffCount = kPuffs;
    layer.clusterCount = kClusters;
    FloatTexture2DRealloc(PuffRampTexture, 4, 8, 6);
    PuffRampBuilt = 1;
    ShaftCandidateCount = 99;
    MemBlockAppend(layer.visibleList.nodeBlock, 10 * sizeof(PuffListNode));
    layer.visibleList.head = layer.visibleList.tail =
        reinterpret_cast<PuffListNode*>(layer.visibleList.nodeBlock.base);
    layer.visibleList.freeList = layer.visibleList.head + 1;
    layer.visibleList.count = 10;
    state->lowOffset[0] = state->lowOffset[1] = 5.0f;
  }
};

TEST(EnvironmentState, ConstructionReservesOnlyTheVisibleList) {
  GiveBackTextureSlot(TakeTextureSlot(), ContextStamp);
  const std::uint32_t parked = ParkedBlocks(), slots = FreedSlots(), fresh = NextFreshName;
  auto state = std::make_unique<EnvironmentState>();
  const CloudLowLayer& layer = state->cloudLow;
  const PuffList& list = layer.visibleList;
  EXPECT_EQ(list.nodeSize, sizeof(PuffListNode));
  EXPECT_EQ(list.nodeBlock.sizeClass, 19u);  // 12,288 nodes of 32 bytes
  EXPECT_EQ(list.nodeBlock.usedBytes + list.count, 0u);
  EXPECT_LE(parked - ParkedBlocks(), 1u);  // the list's block, parked before or carved new
  EXPECT_EQ(layer.puffCubeCount + layer.puffCount + layer.clusterCount, 0u);
  EXPECT_EQ(layer.detail, 1.0f);
  EXPECT_EQ(layer.detailSixteenth, 1.0f / 16);
  EXPECT_EQ(layer.sunCamera.eye[1], -4.0f);
  EXPECT_EQ(layer.sunCamera.far, 1000.0f);

  const std::uint8_t* node = list.nodeBlock.base;
  const std::uint32_t parkedWith = ParkedBlocks();
  state.reset();
  EXPECT_TRUE(IsParked(node));
  EXPECT_EQ(ParkedBlocks(), parkedWith + 1);
  EXPECT_EQ(FreedSlots(), slots);
  EXPECT_EQ(NextFreshName, fresh);  // no texture took a name
}

TEST(EnvironmentState, ResetReleasesOnlyTheRecordsInUse) {
  FilledState filled;
  EnvironmentState& state = *filled.state;
  CloudLowLayer& layer = state.cloudLow;
  const std::uint8_t* listBlock = layer.visibleList.nodeBlock.base;
  const void* pairFace = layer.puffCubes[0].lightCube.faces[5].data;
  const void* pairAbove = layer.puffCubes[FilledState::kPairAbove].shapeCube.faces[0].data;
  const void* segments = layer.puffs[1].shaftSegments.elements;
  const void* segmentsAbove = layer.puffs[FilledState::kPuffAbove].shaftSegments.elements;
  const void* ramp = PuffRampTexture.pixels.data;
  const std::uint32_t parked = ParkedBlocks(), slots = FreedSlots();
  const float wind[2] = {0.25f, -0.5f};

  EnvironmentResetCloudLow(state, 1500.0f, wind);

  // 3 pairs x 2 cubes x 6 faces, 2 segment arrays and the ramp's pixels; 6 cube slots and the
  // ramp's slot.
  EXPECT_EQ(ParkedBlocks(), parked + 36 + 2 + 1);
  EXPECT_EQ(FreedSlots(), slots + 7);
  for (const void* released : {pairFace, segments, ramp}) EXPECT_TRUE(IsParked(released));
  for (const void* kept : {pairAbove, segmentsAbove}) EXPECT_FALSE(IsParked(kept));
  EXPECT_EQ(layer.puffCubes[FilledState::kPairAbove].lightCube.state.hasSlot, 1u);
  EXPECT_EQ(layer.puffs[FilledState::kPuffAbove].radius, 300.0f);
  EXPECT_EQ(layer.clusters[FilledState::kClusterAbove].puffCount, 7u);
  for (std::uint32_t i = 0; i < FilledState::kPuffs; ++i) {
    EXPECT_EQ(layer.puffs[i].cubes, nullptr);
    EXPECT_EQ(layer.puffs[i].radius + layer.puffs[i].halfHeight, 0.0f);
    EXPECT_EQ(layer.puffs[i].shaftSegments.count, 0u);
    EXPECT_EQ(layer.clusters[i].puffCount, 0u);
  }
  EXPECT_EQ(layer.puffCubeCount + layer.puffCount + layer.clusterCount, 0u);
  EXPECT_EQ(PuffRampBuilt, 0u);
  EXPECT_EQ(PuffRampTexture.pixels.data, nullptr);
  EXPECT_EQ(ShaftCandidateCount, 0u);
  const PuffList& list = layer.visibleList;
  EXPECT_EQ(list.nodeBlock.base, listBlock);  // the list keeps its block
  EXPECT_EQ(list.nodeBlock.usedBytes + list.count, 0u);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
  EXPECT_EQ(list.freeList, nullptr);
  EXPECT_EQ(state.lowWind[0], 0.25f);
  EXPECT_EQ(state.lowWind[1], -0.5f);
  EXPECT_EQ(state.lowAltitude, 1500.0f);
  EXPECT_EQ(state.lowOffset[0] + state.lowOffset[1], 0.0f);

  // A second reset finds nothing in use.
  EnvironmentResetCloudLow(state, 1500.0f, wind);
  EXPECT_EQ(ParkedBlocks(), parked + 39);
  EXPECT_EQ(FreedSlots(), slots + 7);
  VmArrayRelease(layer.puffs[FilledState::kPuffAbove].shaftSegments);
}

TEST(EnvironmentState, DestructorReleasesTheRecordsInUseThenEverything) {
  FilledState filled;
  CloudLowLayer& layer = filled.state->cloudLow;
  TexturePixelsResizeFloat(layer.depthAtlas, 1, 10, 10);
  TexturePixelsResizeFloat(layer.shadowRaster, 1, 9, 9);
  FloatTexture2DRealloc(layer.shadowTexture, 1, 9, 9);
  FloatTexture2DRealloc(filled.state->highCloudTexture, 4, 6, 6);
  TextureCubeResize(filled.state->cloudCube, 4, 3);
  const VmArray segmentsAbove = layer.puffs[FilledState::kPuffAbove].shaftSegments;
  const void* segments = layer.puffs[0].shaftSegments.elements;
  const std::uint32_t parked = ParkedBlocks(), slots = FreedSlots();

  filled.state.reset();

  // In use: 36 cube faces, 2 segment arrays; the ramp; the list, atlas and shadow raster; then
  // the record arrays (the 12 faces of the pair above the count) and the three textures (1 + 6 + 1
  // blocks). The segments of the puff above the count stay where they are.
  EXPECT_EQ(ParkedBlocks(), parked + 36 + 2 + 1 + 3 + 12 + 8);
  EXPECT_EQ(FreedSlots(), slots + 6 + 1 + 2 + 3);
  EXPECT_TRUE(IsParked(segments));
  EXPECT_FALSE(IsParked(segmentsAbove.elements));
  EXPECT_EQ(PuffRampBuilt, 0u);
  VmArray leftOver = segmentsAbove;
  VmArrayRelease(leftOver);
}

}  // namespace
}  // namespace veskor
