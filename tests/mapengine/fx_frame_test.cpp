#include "mapengine/fx_frame.h"

#include <gtest/gtest.h>

#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using FxFrameTest = test::FxTest;
using test::Constant;
using test::Field;

TEST_F(FxFrameTest, KeptAndSharedFramesAreNeverReleased) {
  for (std::uint16_t kind : {kFxFrameKept, kFxFrameShared}) {
    FxFrame frame = Value(kind);
    frame.refCount = 3;
    Add(frame, Grid(1, 1, 2.0f));
    const std::uint32_t held = list_.gridsHeld;
    ReleaseFxFrame(list_, frame);
    EXPECT_TRUE(frame.refCount == 3 && frame.count == 1 && list_.gridsHeld == held);
    EXPECT_TRUE(Holds(frame.grids[0], Constant(2.0f)));
  }
}

TEST_F(FxFrameTest, ATemporaryGivesItsRecordsBackAtItsLastRead) {
  FxFrame frame = Value();
  frame.refCount = 2;
  Map* map = MapPoolAcquire(list_, 2, 2);
  VertexGrid* grid = Grid(1, 1, 1.0f);
  VertexGrid* own = OwnGrid(1, 1, Constant(5.0f));  // an item's grid: forgotten, untouched
  Add(frame, map), Add(frame, grid), Add(frame, own), Add(frame, 4.0f);
  const std::uint32_t maps = list_.mapsHeld, grids = list_.gridsHeld;
  const std::uint32_t freeMaps = gMapPools.maps.freeStack.count;

  ReleaseFxFrame(list_, frame);
  EXPECT_TRUE(frame.refCount == 1 && frame.count == 4 && frame.maps[0] == map);

  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.count, 0u);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(!frame.maps[i] && !frame.grids[i]) << i;
  EXPECT_TRUE(list_.mapsHeld == maps - 1 && list_.gridsHeld == grids - 1);
  EXPECT_TRUE(map->data == nullptr && grid->data == nullptr);
  EXPECT_EQ(gMapPools.maps.freeStack.count, freeMaps + 1);
  EXPECT_TRUE(Holds(own, Constant(5.0f)));

  // A further release of the emptied frame changes nothing (no wrapped count).
  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.refCount, 0u);
}

TEST_F(FxFrameTest, CopyingAComponentTakesAFreshRecord) {
  const Field f = [](std::uint32_t i, std::uint32_t j) { return i + 10.0f * j; };
  FxFrame source = Value();
  VertexGrid* grid = Grid(2, 1, f);
  Map* map = Raster(2, 3, f);
  Add(source, grid), Add(source, map), Add(source, 7.5f);
  FxFrame destination = Result();
  destination.grids[2] = grid;  // a stale pointer, overwritten
  for (std::uint32_t i = 0; i < 3; ++i) CopyFxComponent(list_, destination, i, source, i);
  EXPECT_EQ(destination.count, 0u);  // the count is the caller's
  EXPECT_TRUE(destination.grids[0] != grid && !destination.maps[0]);
  EXPECT_TRUE(Holds(destination.grids[0], f));
  EXPECT_TRUE(destination.maps[1] != map && !destination.grids[1]);
  EXPECT_EQ(destination.maps[1]->log2Height, 3u);
  EXPECT_TRUE(Holds(destination.maps[1], f));
  EXPECT_TRUE(!destination.maps[2] && !destination.grids[2] && destination.floats[2] == 7.5f);
}

TEST_F(FxFrameTest, MatchingRefusesACoarserOrMuchFinerTarget) {
  VertexGrid* coarse = Grid(3, 3, 1.0f);
  const std::pair<std::uint16_t, std::uint16_t> sizes[] = {{2, 4}, {4, 2}, {12, 3}, {3, 12}};
  for (const auto& [w, h] : sizes) {
    VertexGrid* fine = Grid(w, h, -5.0f);
    FxErrorText[0] = 0;
    EXPECT_EQ(FxMatchDimensions(*coarse, *fine), 0u) << w << "x" << h;
    EXPECT_STREQ(FxErrorText, "Execution error : cannot adjust dimensions");
    EXPECT_TRUE(Holds(fine, Constant(-5.0f)));
  }
}

TEST_F(FxFrameTest, MatchingRefinesAPlaneIntoTheFinerGrid) {
  // The cubic B-spline reproduces a plane wherever the clamped border does not bend it:
  // inside, one coarse cell away from the edges.
  auto plane = [](float x, float z) { return 3.0f + 0.5f * x - 0.25f * z; };
  VertexGrid* coarse = Grid(3, 3, [&](std::uint32_t i, std::uint32_t j) { return plane(i, j); });
  const std::pair<std::uint16_t, std::uint16_t> sizes[] = {{5, 3}, {3, 3}, {4, 6}};
  for (const auto& [w, h] : sizes) {
    VertexGrid* fine = Grid(w, h, 0.0f);
    ASSERT_EQ(FxMatchDimensions(*coarse, *fine), 1u);
    EXPECT_EQ(fine->log2Width, w);
    const std::uint32_t sx = 1u << (w - 3), sz = 1u << (h - 3);
    const std::uint32_t wide = (1u << w) + 1;
    for (std::uint32_t j = sz; j <= (1u << h) - sz; ++j)
      for (std::uint32_t i = sx; i <= (1u << w) - sx; ++i)
        ASSERT_NEAR(fine->data[j * wide + i], plane(float(i) / sx, float(j) / sz), 1e-5)
            << w << "x" << h << " at " << i << "," << j;
  }
  // From a grid of one cell, the full eight levels both ways: a constant stays that constant.
  VertexGrid* cell = Grid(0, 0, 2.5f);
  VertexGrid* fine = Grid(8, 8, 0.0f);
  ASSERT_EQ(FxMatchDimensions(*cell, *fine), 1u);
  EXPECT_TRUE(Holds(fine, Constant(2.5f), 1e-6));
}

}  // namespace
}  // namespace veskor
