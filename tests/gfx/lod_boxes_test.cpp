#include "gfx/lod_boxes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gfx/texture_object.h"

namespace veskor {
namespace {

std::vector<float> Values(const LodBoxRecord& r) {
  return {r.x0, r.x1, r.y0, r.y1, r.z0, r.z1, r.value};
}

void ExpectRecord(const LodBoxRecord& r, std::vector<float> want, const char* what) {
  EXPECT_EQ(Values(r), want) << what;
}

TEST(LodBoxes, OverlappingBoxesOfNearlyTheSameValueMerge) {
  LodBoxList list{};
  LodBoxListAdd(list, 0, 0, 0, 10, 10, 10, 1.0f);
  ExpectRecord(list.records[0], {0, 10, 0, 10, 0, 10, 1.0f}, "axis-pair layout");
  LodBoxListAdd(list, 5, -2, 5, 12, 8, 11, 1.04f);
  EXPECT_EQ(list.count, 1u);
  ExpectRecord(list.records[0], {0, 12, -2, 10, 0, 11, 1.0f}, "union, value kept");
  LodBoxListAdd(list, 5, 5, 5, 6, 6, 6, 1.06f);
  EXPECT_EQ(list.count, 2u);
  LodBoxListAdd(list, 12, 0, 0, 20, 10, 10, 1.0f);  // shares only a face with record 0
  EXPECT_EQ(list.count, 3u);
  // Only the first overlapping record is considered: record 0 differs, so the box that
  // matches record 1 is appended.
  LodBoxListAdd(list, 5.5f, 5.5f, 5.5f, 5.6f, 5.6f, 5.6f, 1.06f);
  EXPECT_EQ(list.count, 4u);
  EXPECT_EQ(BoxInList(list, 5.5f, 5.5f, 5.5f, 5.6f, 5.6f, 5.6f), 1u);
  EXPECT_EQ(BoxInList(list, 13, 1, 1, 14, 2, 2), 3u);
  EXPECT_EQ(BoxInList(list, 30, 1, 1, 31, 2, 2), 0u);
  EXPECT_EQ(BoxInList(LodBoxList{}, 0, 0, 0, 1, 1, 1), 0u);
}

TEST(LodBoxes, AFullListWidensARecordInsteadOfAppending) {
  LodBoxList list{};
  for (int i = 0; i < 16; ++i) {
    const auto x = static_cast<float>(10 * i);
    LodBoxListAdd(list, x, 0, 0, x + 1, 1, 1, static_cast<float>(i));
  }
  ASSERT_EQ(list.count, 16u);
  // Overlapping record 5 with another value: record 5 grows and takes the larger value.
  LodBoxListAdd(list, 50.5f, 0.5f, 0.5f, 53, 2, 2, 9.0f);
  EXPECT_EQ(list.count, 16u);
  ExpectRecord(list.records[5], {50, 53, 0, 2, 0, 2, 9.0f}, "overlapped");
  // Overlapping nothing: the nearest record (15, 4 away; 14 is 14 away) grows, keeping its
  // larger value.
  LodBoxListAdd(list, 155, 0, 0, 156, 1, 1, 2.0f);
  EXPECT_EQ(list.count, 16u);
  ExpectRecord(list.records[15], {150, 156, 0, 1, 0, 1, 15.0f}, "nearest");
  ExpectRecord(list.records[14], {140, 141, 0, 1, 0, 1, 14.0f}, "untouched");
}

TEST(LodBoxes, DistancesToBoxes) {
  const LodBoxRecord box{0, 10, 0, 10, 0, 10, 1};
  EXPECT_EQ(PointBoxDistance(box, 5, 5, 5), 0);
  EXPECT_EQ(PointBoxDistance(box, 10, 0, 5), 0);  // on the box
  EXPECT_FLOAT_EQ(PointBoxDistance(box, 13, 14, 5), 5);
  EXPECT_FLOAT_EQ(PointBoxDistance(box, -3, 5, -4), 5);
  EXPECT_FLOAT_EQ(ItemBoxDistance(13, 14, 5, 0, 0, 0, 10, 10, 10), 5);

  LodBoxList list{};
  EXPECT_EQ(LodBoxListDistance(list, 1, 2, 3), 0);
  LodBoxListAdd(list, 0, 0, 0, 1, 1, 1, 1);    // 2 away from (3, 0.5, 0.5)
  LodBoxListAdd(list, 10, 0, 0, 11, 1, 1, 5);  // 7 away
  LodBoxListAdd(list, 4, 0, 0, 5, 1, 1, 9);    // 1 away
  EXPECT_FLOAT_EQ(LodBoxDistance(list, 1, 3, 0.5f, 0.5f), 7);
  EXPECT_FLOAT_EQ(LodBoxListDistance(list, 3, 0.5f, 0.5f), 7);
}

TEST(LodBoxes, LevelFromSizeRoundsUpPastAboutSeventeenPercent) {
  const struct {
    float f;
    std::uint32_t level;
  } cases[] = {{0, 0},    {0.3f, 0}, {1, 0}, {1.17f, 0}, {1.2f, 1},  {4, 2},
               {4.7f, 2}, {4.8f, 3}, {8, 3}, {9.5f, 4},  {1024, 10}, {1205, 11}};
  for (const auto& c : cases) EXPECT_EQ(LodLevelFromSize(c.f), c.level) << c.f;
  // At the threshold: 0x1.2d2d2cp0 is the float nearest 1 / 0.85 (below it), so 0.85 f stays
  // just below 1 and the level with it; the next float up goes over. Likewise at 2^3 and 2^10.
  for (const std::uint32_t e : {0u, 3u, 10u}) {
    EXPECT_EQ(LodLevelFromSize(std::ldexp(0x1.2d2d2cp0f, int(e))), e);
    EXPECT_EQ(LodLevelFromSize(std::ldexp(0x1.2d2d2ep0f, int(e))), e + 1);
  }
}

TEST(LodBoxes, ItemLevelIsTheFinestAnyBoxAsks) {
  LodBoxList list{};
  LodRange range{&list, 1.0f, 0, 20, 1.0f};
  EXPECT_EQ(LodLevelForItem(range, 1, 0, 0, 0), 0u);
  range.minLevel = 3;
  EXPECT_EQ(LodLevelForItem(range, 1, 0, 0, 0), 3u);  // an empty list: the minimum
  range.minLevel = 0;

  LodBoxListAdd(list, 0, 0, 0, 1, 1, 1, 8);       // f = 8 / (d + 1)
  LodBoxListAdd(list, 100, 0, 0, 101, 1, 1, 64);  // f = 64 / (d + 1)
  // At the first box: 8 from it (level 3), 64 / 100 from the other (level 0).
  EXPECT_EQ(LodLevelForItem(range, 1, 0.5f, 0.5f, 0.5f), 3u);
  // 3 from the first box, 0.5 less by the item's half size: 8 / 3.5 (level 1) against
  // 64 / 96.5 from the other.
  EXPECT_EQ(LodLevelForItem(range, 1, 4, 0.5f, 0.5f), 1u);
  // Near the second: 64 / (0.5 + 1) = 42.7, above 32 by more than the margin (0.85 x 42.7 =
  // 36.3 > 32): level 6.
  EXPECT_EQ(LodLevelForItem(range, 1, 102, 0.5f, 0.5f), 6u);
  range.maxLevel = 4;
  EXPECT_EQ(LodLevelForItem(range, 1, 102, 0.5f, 0.5f), 4u);
  range.minLevel = range.maxLevel = 2;
  EXPECT_EQ(LodBoxLevel(range, 0, 1, 1000), 2u);  // f far below 1, lifted to the minimum
  range = LodRange{&list, 0.5f, 0, 20, 0.25f};    // f = 8 x 0.5 x 2 / (4 x 0.25 + 1) = 4
  EXPECT_EQ(LodBoxLevel(range, 0, 2, 4), 2u);
}

TEST(LodBoxes, WorldBoxesAndTheirDetailValues) {
  WorldLodBoxes world{};
  const float extent[6] = {-800, -800, -400, 800, 800, 400};
  std::copy(extent, extent + 6, world.extent);
  world.detail[0] = 1.5f, world.detail[1] = 3.0f;
  EXPECT_EQ(BoxInWorld(world, 0, 0, 0, 10, 10, 10), 1u);
  EXPECT_EQ(BoxInWorld(world, 800, 0, 0, 900, 10, 10), 0u);  // touches along a face only
  const float focus[2][6] = {{850, -10, -10, 860, 10, 10}, {-990, -10, -10, -900, 10, 10}};
  std::copy(focus[0], focus[0] + 6, world.focusBoxes[0]);
  std::copy(focus[1], focus[1] + 6, world.focusBoxes[1]);
  world.focusCount = 2;
  EXPECT_EQ(BoxInWorld(world, 800, 0, 0, 900, 10, 10), 1u);
  EXPECT_EQ(BoxInWorld(world, 800, 0, 0, 850, 10, 10), 0u);
  EXPECT_EQ(BoxInWorld(world, -1000, 0, 0, -950, 10, 10), 1u);
  world.focusCount = 1;
  EXPECT_EQ(BoxInWorld(world, -1000, 0, 0, -950, 10, 10), 0u);
  world.focusCount = 0;

  BoxLodDistance(world, 0, 0, 0, 10, 10, 10);  // inside: a and b
  LodBoxListAdd(world.lists[2], -800, -800, -400, 800, 800, 400, 1);
  BoxLodDistance(world, 2390, -10, -10, 2410, 10, 10);  // centre 1600 from list 3: 2a and 2b
  ASSERT_EQ(world.lists[0].count, 2u);
  ASSERT_EQ(world.lists[1].count, 2u);
  EXPECT_EQ(world.lists[0].records[0].value, 1.5f);
  EXPECT_EQ(world.lists[1].records[0].value, 3.0f);
  EXPECT_FLOAT_EQ(world.lists[0].records[1].value, 3.0f);
  EXPECT_FLOAT_EQ(world.lists[1].records[1].value, 6.0f);
  ExpectRecord(world.lists[1].records[1], {2390, 2410, -10, 10, -10, 10, 6.0f}, "the box");

  WorldLodBoxes flat{};  // an extent of no size: values unscaled
  flat.detail[0] = flat.detail[1] = 1;
  BoxLodDistance(flat, 10, 10, 10, 11, 11, 11);
  EXPECT_EQ(flat.lists[0].records[0].value, 1.0f);
}

TEST(LodBoxes, BoxesOverlapOnlyStrictly) {
  const float box[6] = {0, 0, 0, 1, 1, 1};
  for (int a = 0; a < 3; ++a) {
    for (int side = 0; side < 2; ++side) {
      // A unit box moved along one axis until it touches a face, then a little less.
      float other[6] = {0, 0, 0, 1, 1, 1};
      const float shift = side == 0 ? 1.0f : -1.0f;
      other[a] += shift;
      other[a + 3] += shift;
      EXPECT_EQ(BoxBoxOverlap(box, other), 0u) << a << side;
      EXPECT_EQ(BoxBoxOverlap(other, box), 0u) << a << side;
      other[a] -= shift / 64;
      other[a + 3] -= shift / 64;
      EXPECT_EQ(BoxBoxOverlap(box, other), 1u) << a << side;
      other[a] = NAN;
      EXPECT_EQ(BoxBoxOverlap(box, other), 0u) << a << side;
    }
  }
}

TEST(LodBoxes, CubeFormatCodeFollowsTheChannels) {
  const std::uint32_t codes[] = {0, 0, 5, 3, 4, 0};
  for (std::uint32_t channels = 0; channels < 6; ++channels) {
    TextureCube cube;
    cube.state.channels = channels;
    cube.state.formatCode = 99;
    TextureCubeSetFormatCode(cube);
    EXPECT_EQ(cube.state.formatCode, codes[channels]) << channels;
  }
}

}  // namespace
}  // namespace veskor
