#include "mapengine/map_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "mapengine/clamp_float.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

// A fresh memory manager and fresh pools, set up through a first list.
class MapPoolTest : public ::testing::Test {
 protected:
  MapPoolTest() : pools_(std::make_unique<MapPools>()) {
    MapListInit(list_);
    MapPoolInit(list_, *pools_);
  }
  ScopedHeapAreas heap_;
  std::unique_ptr<MapPools> pools_;
  MapList list_;
};

TEST_F(MapPoolTest, InitMakesTheListCurrentAndReleaseAllClearsIt) {
  EXPECT_EQ(CurrentMapList, &list_);
  EXPECT_EQ(pools_->ready, 1u);
  EXPECT_EQ(pools_->maps.freeStack.block.sizeClass, 10u);
  MapList other;
  MapListInit(other);
  MapPoolInit(other, *pools_);
  EXPECT_EQ(CurrentMapList, &other);
  MapPoolReleaseAll(other, *pools_);
  EXPECT_EQ(CurrentMapList, nullptr);
}

TEST_F(MapPoolTest, ASingleReleaseHandsTheSameRecordOutAgain) {
  Map* first = MapPoolAcquire(list_, 2, 2, *pools_);
  EXPECT_EQ(first, &pools_->maps.records[0]);
  EXPECT_EQ(first->block.usedBytes, 64u);
  EXPECT_EQ(first->data, reinterpret_cast<float*>(first->block.base));
  EXPECT_EQ(list_.mapsHeld, 1u);
  Map* slot = first;
  ReleaseMapSlot(list_, &slot, *pools_);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(first->data, nullptr);
  EXPECT_EQ(first->block.base, nullptr);
  EXPECT_EQ(list_.mapsHeld, 0u);
  EXPECT_EQ(pools_->maps.freeStack.count, 1u);

  Map* again = MapPoolAcquire(list_, 2, 2, *pools_);
  EXPECT_EQ(again, first);
  EXPECT_EQ(pools_->maps.freeStack.count, 0u);
  EXPECT_EQ(pools_->maps.freeStack.block.usedBytes, 0u);
  EXPECT_EQ(pools_->maps.highWater, 1u);
  // The index stays noted after the single release: the list holds it twice now.
  EXPECT_EQ(list_.mapIndices.count, 2u);

  ReleaseMapSlot(list_, &again, *pools_);
  Map* bigger = MapPoolAcquire(list_, 3, 3, *pools_);
  EXPECT_EQ(bigger, first);
  EXPECT_EQ(bigger->block.usedBytes, 256u);
  EXPECT_EQ(bigger->log2Width, 3u);
  EXPECT_EQ(bigger->log2Height, 3u);
}

TEST_F(MapPoolTest, PointersThatAreNotHandedOutRecordsAreLeftAlone) {
  Map embedded;
  MapInit(embedded);
  Map* slot = &embedded;
  ReleaseMapSlot(list_, &slot, *pools_);
  EXPECT_EQ(slot, &embedded);
  Map* unused = &pools_->maps.records[5];  // beyond the high-water count
  ReleaseMapSlot(list_, &unused, *pools_);
  EXPECT_EQ(unused, &pools_->maps.records[5]);
  Map* none = nullptr;
  ReleaseMapSlot(list_, &none, *pools_);

  // Two fx values sharing one record: the second release must not push the index again.
  Map* a = MapPoolAcquire(list_, 1, 1, *pools_);
  Map* b = a;
  ReleaseMapSlot(list_, &a, *pools_);
  ReleaseMapSlot(list_, &b, *pools_);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, &pools_->maps.records[0]);
  EXPECT_EQ(pools_->maps.freeStack.count, 1u);
  EXPECT_EQ(list_.mapsHeld, 0u);
  EXPECT_NE(MapPoolAcquire(list_, 1, 1, *pools_), MapPoolAcquire(list_, 1, 1, *pools_));
}

TEST_F(MapPoolTest, ReleaseAllGivesBackEachRecordOnceAndHandsThemOutLastPushedFirst) {
  Map* m[4];
  for (auto& p : m) p = MapPoolAcquire(list_, 2, 1, *pools_);
  Map* second = m[1];
  ReleaseMapSlot(list_, &second, *pools_);  // pushes index 1
  VertexGrid* g = TakeVertexGridSlot(list_, 1, 1, *pools_);
  MapPoolReleaseAll(list_, *pools_);
  for (Map* p : m) EXPECT_EQ(p->data, nullptr);
  EXPECT_EQ(g->data, nullptr);
  EXPECT_EQ(list_.mapIndices.count, 0u);
  EXPECT_EQ(list_.mapIndices.block.usedBytes, 0u);
  EXPECT_EQ(list_.gridIndices.count, 0u);
  EXPECT_NE(list_.mapIndices.block.base, nullptr);  // blocks kept
  EXPECT_EQ(pools_->maps.freeStack.count, 4u);       // 1, then 0, 2, 3
  EXPECT_EQ(pools_->grids.freeStack.count, 1u);

  MapPoolInit(list_, *pools_);
  for (int expected : {3, 2, 0, 1, 4})
    EXPECT_EQ(MapPoolAcquire(list_, 2, 2, *pools_), &pools_->maps.records[expected]);
}

TEST_F(MapPoolTest, VertexGridsComeWithResetScalesAndRoomForTheCompanion) {
  VertexGrid* g = TakeVertexGridSlot(list_, 2, 1, *pools_);
  EXPECT_EQ(g, &pools_->grids.records[0]);
  EXPECT_EQ(g->block.usedBytes, 4u * 5 * 3);
  EXPECT_EQ(g->block.sizeClass, 8u);  // 4 * (5*3 + 6*4) = 156 bytes
  EXPECT_EQ(g->data, reinterpret_cast<float*>(g->block.base));
  EXPECT_FLOAT_EQ(g->halfStepX, 0.125f);
  EXPECT_FLOAT_EQ(g->halfStepZ, 0.25f);
  EXPECT_EQ(g->scaleX, 1.0f);
  EXPECT_EQ(g->scaleValue, 1.0f);
  EXPECT_EQ(g->offsetZ, 0.0f);
  EXPECT_EQ(g->companion[0], nullptr);
  EXPECT_EQ(list_.gridsHeld, 1u);
  g->flags = 7;
  g->companionValid = 1;
  g->scaleX = 3.0f;
  VertexGrid* slot = g;
  ReleaseVertexGridSlot(list_, &slot, *pools_);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(g->flags, 0u);
  EXPECT_EQ(g->companionValid, 0u);
  VertexGrid* again = TakeVertexGridSlot(list_, 0, 0, *pools_);
  EXPECT_EQ(again, g);
  EXPECT_EQ(again->scaleX, 1.0f);
  EXPECT_EQ(again->block.usedBytes, 16u);
}

TEST_F(MapPoolTest, The129thTakeThroughOneListIsFatal) {
  for (int i = 0; i < 128; ++i) MapPoolAcquire(list_, 0, 0, *pools_);
  EXPECT_FATAL(MapPoolAcquire(list_, 0, 0, *pools_),
               "Virtual Memory Error : Required Memory > Reserved Memory (512+4>(1<<9))");
  for (int i = 0; i < 128; ++i) TakeVertexGridSlot(list_, 0, 0, *pools_);
  EXPECT_FATAL(TakeVertexGridSlot(list_, 0, 0, *pools_),
               "Virtual Memory Error : Required Memory > Reserved Memory (512+4>(1<<9))");
}

TEST_F(MapPoolTest, A257thRecordIsFatalInsteadOfWritingPastThePool) {
  MapList second, third;
  MapListInit(second);
  MapListInit(third);
  for (int i = 0; i < 128; ++i) {
    MapPoolAcquire(list_, 0, 0, *pools_);
    MapPoolAcquire(second, 0, 0, *pools_);
    TakeVertexGridSlot(list_, 0, 0, *pools_);
    TakeVertexGridSlot(second, 0, 0, *pools_);
  }
  EXPECT_EQ(pools_->maps.highWater, 256u);
  EXPECT_FATAL(MapPoolAcquire(third, 0, 0, *pools_),
               "Map Pool Error : all 256 Map records are in use");
  EXPECT_FATAL(TakeVertexGridSlot(third, 0, 0, *pools_),
               "Map Pool Error : all 256 VertexGrid records are in use");
  // A record given back makes room again.
  Map* last = &pools_->maps.records[255];
  ReleaseMapSlot(second, &last, *pools_);
  EXPECT_EQ(MapPoolAcquire(third, 0, 0, *pools_), &pools_->maps.records[255]);
}

TEST(VertexGrid, AllocKeepsValuesOfTheSameSizesAndResetsOtherwise) {
  ScopedHeapAreas heap;
  VertexGrid g;
  g.halfStepX = g.halfStepZ = -1.0f;
  VertexGridInit(g);
  EXPECT_EQ(g.halfStepX, -1.0f);  // left as it was
  EXPECT_EQ(g.scaleZ, 1.0f);
  VertexGridAlloc(g, 0, 0);
  EXPECT_EQ(g.block.usedBytes, 16u);                  // 2 x 2 values
  EXPECT_EQ(VertexGridReserveBytes(0, 0), 4u * 13);  // and a 3 x 3 companion
  EXPECT_EQ(g.halfStepX, 0.5f);
  EXPECT_EQ(g.halfStepZ, 0.5f);

  VertexGridAlloc(g, 3, 2);
  for (int i = 0; i < 9 * 5; ++i) g.data[i] = static_cast<float>(i);
  g.scaleX = 2.0f;
  g.offsetValue = 5.0f;
  g.flags = 3;
  float* data = g.data;
  VertexGridAlloc(g, 3, 2);
  EXPECT_EQ(g.data, data);
  EXPECT_EQ(g.data[44], 44.0f);
  EXPECT_EQ(g.scaleX, 2.0f);
  EXPECT_EQ(g.offsetValue, 5.0f);
  EXPECT_EQ(g.flags, 0u);

  VertexGridAlloc(g, 2, 3);
  EXPECT_EQ(g.scaleX, 1.0f);
  EXPECT_EQ(g.offsetValue, 0.0f);
  EXPECT_EQ(g.log2Width, 2u);
  EXPECT_EQ(g.log2Height, 3u);
  EXPECT_EQ(g.block.usedBytes, 4u * 5 * 9);

  g.companionValid = 1;
  VertexGridRelease(g);
  EXPECT_EQ(g.data, nullptr);
  EXPECT_EQ(g.block.base, nullptr);
  EXPECT_EQ(g.companionValid, 0u);
}

TEST(VertexGrid, SizesWhoseBytesWouldWrapAreFatal) {
  EXPECT_FATAL(VertexGridValueBytes(16, 16),
               "Virtual Memory Error : Required Memory > Reserved Memory");
  EXPECT_FATAL(MapBytes(20, 12), "Virtual Memory Error : Required Memory > Reserved Memory");
  EXPECT_EQ(MapBytes(10, 10), 4u << 20);
}

TEST(ClampFloat, SelectsTheBoundOrTheValueAndMapsNaNToZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float x, lo, hi, expected;
  } cases[] = {
      {5, 0, 1, 1},     {-1, 0, 1, 0},  {1, 0, 1, 1},      {0.25f, 0, 1, 0.25f},
      {nan, 0, 1, 0},   {nan, 2, 3, 0}, {-7, -5, 5, -5},   {2, 2, 2, 2},
      {-std::numeric_limits<float>::infinity(), -1, 1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClampFloat(c.x, c.lo, c.hi), c.expected) << c.x << " in " << c.lo << ".." << c.hi;
    if (c.lo == 0 && c.hi == 1) {
      EXPECT_EQ(Saturate(c.x), c.expected);
    }
  }
  EXPECT_FALSE(std::signbit(Saturate(nan)));
}

}  // namespace
}  // namespace veskor
