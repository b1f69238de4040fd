#include "mapengine/map_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "mapengine/clamp_float.h"
#include "mapengine/vertex_line.h"
#include "mapengine/vertex_volume.h"
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
  Map* Acquire(std::uint16_t w, std::uint16_t h) { return MapPoolAcquire(list_, w, h, *pools_); }
  Map* Record(int n) { return &pools_->maps.records[n]; }
  void Release(Map* map) { ReleaseMapSlot(list_, &map, *pools_); }

  ScopedHeapAreas heap_;
  std::unique_ptr<MapPools> pools_;
  MapList list_;
};

TEST_F(MapPoolTest, InitMakesTheListCurrentAndReleaseAllClearsIt) {
  EXPECT_EQ(CurrentMapList, &list_);
  MapList other;
  MapListInit(other);
  MapPoolInit(other, *pools_);
  EXPECT_EQ(CurrentMapList, &other);
  MapPoolReleaseAll(other, *pools_);
  EXPECT_EQ(CurrentMapList, nullptr);
}

TEST_F(MapPoolTest, ASingleReleaseHandsTheSameRecordOutAgain) {
  Map* first = Acquire(2, 2);
  EXPECT_EQ(first, Record(0));
  EXPECT_EQ(first->block.usedBytes, 64u);
  EXPECT_EQ(first->data, reinterpret_cast<float*>(first->block.base));
  EXPECT_EQ(list_.mapsHeld, 1u);
  Map* slot = first;
  ReleaseMapSlot(list_, &slot, *pools_);
  EXPECT_TRUE(slot == nullptr && first->data == nullptr && first->block.base == nullptr);
  EXPECT_EQ(list_.mapsHeld, 0u);

  EXPECT_EQ(Acquire(2, 2), first);
  EXPECT_EQ(pools_->maps.freeStack.count, 0u);
  EXPECT_EQ(pools_->maps.highWater, 1u);
  EXPECT_EQ(list_.mapIndices.count, 2u);  // the index stays noted after a single release
  Release(first);
  Map* bigger = Acquire(3, 3);
  EXPECT_EQ(bigger, first);
  EXPECT_EQ(bigger->block.usedBytes, 256u);
  EXPECT_TRUE(bigger->log2Width == 3 && bigger->log2Height == 3);
}

TEST_F(MapPoolTest, PointersThatAreNotHandedOutRecordsAreLeftAlone) {
  Map embedded;
  MapInit(embedded);
  Map* slots[] = {&embedded, Record(5) /* beyond the high-water count */, nullptr};
  for (Map* slot : slots) {
    Map* kept = slot;
    ReleaseMapSlot(list_, &slot, *pools_);
    EXPECT_EQ(slot, kept);
  }
  // Two fx values sharing one record: the second release must not push the index again.
  Map* a = Acquire(1, 1);
  Map* b = a;
  ReleaseMapSlot(list_, &a, *pools_);
  ReleaseMapSlot(list_, &b, *pools_);
  EXPECT_TRUE(a == nullptr && b == Record(0));
  EXPECT_EQ(pools_->maps.freeStack.count, 1u);
  EXPECT_EQ(list_.mapsHeld, 0u);
  EXPECT_NE(Acquire(1, 1), Acquire(1, 1));
}

TEST_F(MapPoolTest, ReleaseAllGivesBackEachRecordOnceAndHandsThemOutLastPushedFirst) {
  Map* m[4];
  for (auto& p : m) p = Acquire(2, 1);
  Release(m[1]);  // pushes index 1
  VertexGrid* g = TakeVertexGridSlot(list_, 1, 1, *pools_);
  MapPoolReleaseAll(list_, *pools_);
  for (Map* p : m) EXPECT_EQ(p->data, nullptr);
  EXPECT_EQ(g->data, nullptr);
  EXPECT_TRUE(list_.mapIndices.count == 0 && list_.gridIndices.count == 0);
  EXPECT_EQ(list_.mapIndices.block.usedBytes, 0u);
  EXPECT_NE(list_.mapIndices.block.base, nullptr);  // blocks kept
  EXPECT_EQ(pools_->maps.freeStack.count, 4u);       // 1, then 0, 2, 3
  EXPECT_EQ(pools_->grids.freeStack.count, 1u);

  MapPoolInit(list_, *pools_);
  for (int expected : {3, 2, 0, 1, 4}) EXPECT_EQ(Acquire(2, 2), Record(expected));
}

TEST_F(MapPoolTest, VertexGridsComeWithResetScalesAndRoomForTheCompanion) {
  VertexGrid* g = TakeVertexGridSlot(list_, 2, 1, *pools_);
  EXPECT_EQ(g, &pools_->grids.records[0]);
  EXPECT_EQ(g->block.usedBytes, 4u * 5 * 3);
  EXPECT_EQ(g->block.sizeClass, 8u);  // 4 * (5*3 + 6*4) = 156 bytes
  EXPECT_TRUE(g->halfStepX == 0.125f && g->halfStepZ == 0.25f);
  EXPECT_EQ(list_.gridsHeld, 1u);
  g->flags = 7;
  g->companionValid = 1;
  g->scaleX = 3.0f;
  VertexGrid* slot = g;
  ReleaseVertexGridSlot(list_, &slot, *pools_);
  EXPECT_TRUE(slot == nullptr && g->flags == 0 && g->companionValid == 0);
  VertexGrid* again = TakeVertexGridSlot(list_, 0, 0, *pools_);
  EXPECT_EQ(again, g);
  EXPECT_TRUE(again->scaleX == 1.0f && again->scaleValue == 1.0f && again->offsetZ == 0.0f);
  EXPECT_EQ(again->companion[0], nullptr);
  EXPECT_EQ(again->block.usedBytes, 16u);
}

TEST_F(MapPoolTest, The129thTakeThroughOneListIsFatal) {
  const char* text = "Virtual Memory Error : Required Memory > Reserved Memory (512+4>(1<<9))";
  for (int i = 0; i < 128; ++i) Acquire(0, 0);
  EXPECT_FATAL(Acquire(0, 0), text);
  for (int i = 0; i < 128; ++i) TakeVertexGridSlot(list_, 0, 0, *pools_);
  EXPECT_FATAL(TakeVertexGridSlot(list_, 0, 0, *pools_), text);
}

TEST_F(MapPoolTest, A257thRecordIsFatalInsteadOfWritingPastThePool) {
  MapList second, third;
  MapListInit(second);
  MapListInit(third);
  for (int i = 0; i < 128; ++i) {
    for (MapList* list : {&list_, &second}) {
      MapPoolAcquire(*list, 0, 0, *pools_);
      TakeVertexGridSlot(*list, 0, 0, *pools_);
    }
  }
  EXPECT_EQ(pools_->maps.highWater, 256u);
  EXPECT_FATAL(MapPoolAcquire(third, 0, 0, *pools_),
               "Map Pool Error : all 256 Map records are in use");
  EXPECT_FATAL(TakeVertexGridSlot(third, 0, 0, *pools_),
               "Map Pool Error : all 256 VertexGrid records are in use");
  // A record given back makes room again.
  Map* last = Record(255);
  ReleaseMapSlot(second, &last, *pools_);
  EXPECT_EQ(MapPoolAcquire(third, 0, 0, *pools_), Record(255));
}

TEST(VertexGrid, AllocKeepsValuesOfTheSameSizesAndResetsOtherwise) {
  ScopedHeapAreas heap;
  VertexGrid g;
  VertexGridInit(g);
  VertexGridAlloc(g, 0, 0);
  EXPECT_EQ(g.block.usedBytes, 16u);                  // 2 x 2 values
  EXPECT_EQ(VertexGridReserveBytes(0, 0), 4u * 13);  // and a 3 x 3 companion
  EXPECT_TRUE(g.halfStepX == 0.5f && g.halfStepZ == 0.5f);

  VertexGridAlloc(g, 3, 2);
  for (int i = 0; i < 9 * 5; ++i) g.data[i] = static_cast<float>(i);
  g.scaleX = 2.0f;
  g.offsetValue = 5.0f;
  g.flags = 3;
  float* data = g.data;
  VertexGridAlloc(g, 3, 2);
  EXPECT_TRUE(g.data == data && g.data[44] == 44.0f);
  EXPECT_TRUE(g.scaleX == 2.0f && g.offsetValue == 5.0f && g.flags == 0);

  VertexGridAlloc(g, 3, 3);  // the same width, another height
  EXPECT_TRUE(g.scaleX == 1.0f && g.offsetValue == 0.0f);
  EXPECT_TRUE(g.log2Width == 3 && g.log2Height == 3 && g.block.usedBytes == 4u * 9 * 9);

  g.companionValid = 1;
  VertexGridRelease(g);
  EXPECT_TRUE(g.data == nullptr && g.block.base == nullptr && g.companionValid == 0);
}

TEST(VertexGrid, AccessorsAddressSamplesRowByRow) {
  ScopedHeapAreas heap;
  VertexGrid g;
  VertexGridInit(g);
  VertexGridAlloc(g, 3, 1);  // 3 rows of 9 values
  float companion[2];
  g.companion[0] = companion, g.companion[1] = companion + 1;
  EXPECT_EQ(VertexGridSideX(g), 9u);
  EXPECT_EQ(VertexGridSideY(g), 3u);
  EXPECT_EQ(VertexGridLog2Width(g) * 10 + VertexGridLog2Height(g), 31);
  EXPECT_EQ(VertexGridIndex(g, 1, 1), 10u);
  EXPECT_EQ(VertexGridIndex(g, 8, 2), 26u);  // the last sample
  EXPECT_EQ(VertexGridCell(g, 0, 2), VertexGridData(g) + 18);
  EXPECT_TRUE(VertexGridCompanion(g) == companion && VertexGridCompanion2(g) == companion + 1);
  VertexGridRelease(g);
}

TEST(VertexGrid, SizesWhoseBytesWouldWrapAreFatal) {
  // 2^15 x 2^14 texels; 16385 x 16385 values; 8193 x 16385 values and their companion of
  // 8194 x 16386: just under 2^29 floats. One size step more is over.
  EXPECT_EQ(MapBytes(15, 14), 1u << 31);
  EXPECT_EQ(VertexGridValueBytes(14, 14), 4u * 16385 * 16385);
  EXPECT_EQ(VertexGridReserveBytes(13, 14), 4u * (8193 * 16385 + 8194 * 16386));
  const char* text = "Virtual Memory Error : Required Memory > Reserved Memory";
  EXPECT_FATAL(MapBytes(15, 15), text);
  EXPECT_FATAL(VertexGridValueBytes(14, 15), text);
  EXPECT_FATAL(VertexGridReserveBytes(14, 14), text);
  // A line of 2^28 + 1 values passes its own limit and fails only for want of address space.
  VertexLine line;
  VertexLineInit(line);
  EXPECT_FATAL(VertexLineAlloc(line, 28), "Virtual Memory Error : Large Area is Full");
  EXPECT_FATAL(VertexLineAlloc(line, 29), text);
  // So does a volume of 513^3 values; 513 x 513 x 1025 is over 2^28 values.
  VertexVolume volume;
  VertexVolumeInit(volume);
  EXPECT_FATAL(VertexVolumeAlloc(volume, 9, 9, 9), "Virtual Memory Error : Large Area is Full");
  EXPECT_FATAL(VertexVolumeAlloc(volume, 9, 9, 10), text);
}

TEST(ClampFloat, SelectsTheBoundOrTheValueAndMapsNaNToZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float x, lo, hi, expected;
  } cases[] = {
      {5, 0, 1, 1},   {-1, 0, 1, 0},  {1, 0, 1, 1},    {0.25f, 0, 1, 0.25f},
      {nan, 0, 1, 0}, {nan, 2, 3, 0}, {-7, -5, 5, -5}, {2, 2, 2, 2},
      {-std::numeric_limits<float>::infinity(), -1, 1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClampFloat(c.x, c.lo, c.hi), c.expected) << c.x << " in " << c.lo << ".." << c.hi;
    EXPECT_TRUE(c.lo != 0 || c.hi != 1 || Saturate(c.x) == c.expected) << c.x;
  }
  EXPECT_FALSE(std::signbit(Saturate(nan)));
}

}  // namespace
}  // namespace veskor
