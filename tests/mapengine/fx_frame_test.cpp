#include "mapengine/fx_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using FxFrameTest = test::FxTest;

TEST_F(FxFrameTest, KeptAndSharedFramesAreNeverReleased) {
  for (std::uint16_t kind : {kFxFrameKept, kFxFrameShared}) {
    FxFrame frame = Value(kind);
    frame.refCount = 3;
    Add(frame, Grid(1, 1, 2.0f));
    const std::uint32_t held = list_.gridsHeld;
    ReleaseFxFrame(list_, frame);
    EXPECT_EQ(frame.refCount, 3u);
    EXPECT_EQ(frame.count, 1u);
    EXPECT_NE(frame.grids[0], nullptr);
    EXPECT_EQ(list_.gridsHeld, held);
  }
}

TEST_F(FxFrameTest, ATemporaryGivesItsRecordsBackAtItsLastRead) {
  FxFrame frame = Value();
  frame.refCount = 2;
  Map* map = MapPoolAcquire(list_, 2, 2);
  VertexGrid* grid = Grid(1, 1, 1.0f);
  Add(frame, map);
  Add(frame, grid);
  Add(frame, 4.0f);
  const std::uint32_t maps = list_.mapsHeld, grids = list_.gridsHeld;
  const std::uint32_t freeMaps = gMapPools.maps.freeStack.count;

  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.refCount, 1u);
  EXPECT_EQ(frame.count, 3u);
  EXPECT_EQ(frame.maps[0], map);
  EXPECT_EQ(frame.grids[1], grid);

  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.count, 0u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(frame.maps[i], nullptr);
    EXPECT_EQ(frame.grids[i], nullptr);
  }
  EXPECT_EQ(list_.mapsHeld, maps - 1);
  EXPECT_EQ(list_.gridsHeld, grids - 1);
  EXPECT_EQ(map->data, nullptr);
  EXPECT_EQ(grid->data, nullptr);
  EXPECT_EQ(gMapPools.maps.freeStack.count, freeMaps + 1);

  // A further release of the emptied frame changes nothing (no wrapped count).
  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.refCount, 0u);
}

TEST_F(FxFrameTest, RastersAndGridsOfOtherOwnersAreOnlyForgotten) {
  FxFrame frame = Value();
  VertexGrid* own = OwnGrid(1, 1, [](std::uint32_t i, std::uint32_t) { return float(i); });
  Map embedded{};
  Add(frame, own);
  Add(frame, &embedded);
  const std::uint32_t grids = list_.gridsHeld;
  ReleaseFxFrame(list_, frame);
  EXPECT_EQ(frame.grids[0], nullptr);
  EXPECT_EQ(frame.maps[1], nullptr);
  EXPECT_EQ(list_.gridsHeld, grids);
  ASSERT_NE(own->data, nullptr);
  EXPECT_EQ(own->data[2], 2.0f);
}

TEST_F(FxFrameTest, MakingLiveSetsCountAndReadsOnlyOnce) {
  struct Case {
    std::uint16_t kind, useCount, refCount;
    bool changes;
  };
  const Case cases[] = {{kFxFrameTemporary, 2, 0, true}, {kFxFrameShared, 1, 0, true},
                        {kFxFrameKept, 2, 0, false},     {kFxFrameTemporary, 0, 0, false},
                        {kFxFrameTemporary, 2, 1, false}};
  for (const Case& c : cases) {
    FxFrame frame{};
    frame.kind = c.kind;
    frame.useCount = c.useCount;
    frame.refCount = c.refCount;
    frame.count = 9;
    FxMakeLive(frame, 3);
    EXPECT_EQ(frame.count, c.changes ? 3u : 9u) << c.kind << " " << c.useCount;
    EXPECT_EQ(frame.refCount, c.changes ? c.useCount : c.refCount);
  }
}

TEST_F(FxFrameTest, CopyingAComponentTakesAFreshRecord) {
  FxFrame source = Value();
  VertexGrid* grid = Grid(2, 1, [](std::uint32_t i, std::uint32_t j) { return i + 10.0f * j; });
  Add(source, grid);
  Add(source, 7.5f);
  FxFrame destination = Result();
  destination.grids[1] = grid;  // a stale pointer, overwritten
  CopyFxComponent(list_, destination, 0, source, 0);
  CopyFxComponent(list_, destination, 1, source, 1);
  EXPECT_EQ(destination.count, 0u);  // the count is the caller's
  ASSERT_NE(destination.grids[0], nullptr);
  EXPECT_NE(destination.grids[0], grid);
  EXPECT_EQ(destination.maps[0], nullptr);
  EXPECT_EQ(Values(destination.grids[0]), Values(grid));
  EXPECT_EQ(destination.maps[1], nullptr);
  EXPECT_EQ(destination.grids[1], nullptr);
  EXPECT_EQ(destination.floats[1], 7.5f);
}

TEST_F(FxFrameTest, CopyingARasterComponent) {
  FxFrame source = Value();
  Map* map = Raster(2, 3, [](std::uint32_t x, std::uint32_t y) { return x - 3.0f * y; });
  Add(source, map);
  FxFrame destination = Result();
  CopyFxComponent(list_, destination, 0, source, 0);
  ASSERT_NE(destination.maps[0], nullptr);
  EXPECT_NE(destination.maps[0], map);
  EXPECT_EQ(destination.maps[0]->log2Width, 2u);
  EXPECT_EQ(destination.maps[0]->log2Height, 3u);
  EXPECT_EQ(Values(destination.maps[0]), Values(map));
}

TEST_F(FxFrameTest, MatchingRefusesACoarserOrMuchFinerTarget) {
  VertexGrid* coarse = Grid(3, 3, 1.0f);
  struct Case {
    std::uint16_t w, h;
  };
  for (const Case c : {Case{2, 4}, Case{4, 2}, Case{12, 3}, Case{3, 12}}) {
    VertexGrid* fine = Grid(c.w, c.h, -5.0f);
    FxErrorText[0] = 0;
    EXPECT_EQ(FxMatchDimensions(*coarse, *fine), 0u) << c.w << "x" << c.h;
    EXPECT_STREQ(FxErrorText, "Execution error : cannot adjust dimensions");
    for (float v : Values(fine)) ASSERT_EQ(v, -5.0f);
  }
}

TEST_F(FxFrameTest, MatchingRefinesAPlaneIntoTheFinerGrid) {
  // A plane is reproduced by the cubic B-spline everywhere its clamped border does not bend
  // it: inside, one coarse cell away from the edges.
  auto plane = [](float x, float z) { return 3.0f + 0.5f * x - 0.25f * z; };
  VertexGrid* coarse = Grid(3, 3, [&](std::uint32_t i, std::uint32_t j) { return plane(i, j); });
  struct Case {
    std::uint16_t w, h;
  };
  for (const Case c : {Case{5, 3}, Case{3, 3}, Case{4, 6}}) {
    VertexGrid* fine = Grid(c.w, c.h, 0.0f);
    ASSERT_EQ(FxMatchDimensions(*coarse, *fine), 1u);
    EXPECT_EQ(fine->log2Width, c.w);
    EXPECT_EQ(fine->log2Height, c.h);
    const std::uint32_t sx = 1u << (c.w - 3), sz = 1u << (c.h - 3);
    const std::uint32_t wide = (1u << c.w) + 1;
    for (std::uint32_t j = sz; j <= (1u << c.h) - sz; ++j)
      for (std::uint32_t i = sx; i <= (1u << c.w) - sx; ++i)
        ASSERT_NEAR(fine->data[j * wide + i], plane(float(i) / sx, float(j) / sz), 1e-5)
            << c.w << "x" << c.h << " at " << i << "," << j;
  }
}

}  // namespace
}  // namespace veskor
