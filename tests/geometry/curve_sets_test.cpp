#include "geometry/curve_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/scene_build_error.h"
#include "language/height_field.h"

namespace veskor {
namespace {

// A height field of 2^level x 2^level cells over x 0..8 and world y 100..104, heights 10..30,
// whose value at column i, row j is 0.1 i + 0.01 j.
class CurveSets : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneBuildErrorReset();
    VertexGridInit(map_.grid);
    Setup(2);
  }
  void TearDown() override {
    VertexGridRelease(map_.grid);
    for (EdgeCurveList& list : lists_) EdgeCurveListFree(list);
  }
  void Setup(std::uint32_t level) {
    HeightFieldSetup(map_, level, 0, 10, 100, 8, 30, 104);
    const std::uint32_t side = (1u << level) + 1;
    for (std::uint32_t k = 0; k < side * side; ++k)
      map_.grid.data[k] = 0.1f * float(k % side) + 0.01f * float(k / side);
  }
  // The point HeightGridPoint must give: x, the negated height, world y.
  std::vector<float> Expected(int i, int j) const {
    const int top = (1 << map_.grid.log2Width);
    const int ci = std::clamp(i, 0, top), cj = std::clamp(j, 0, top);
    const float v = 0.1f * float(ci) + 0.01f * float(cj);
    return {float(i) * 8.0f / float(top), -(10 + 20 * v), 100 + float(j) * 4.0f / float(top)};
  }
  std::vector<float> Point(const EdgeCurve& c, std::uint32_t k) const {
    return {c.x[k], c.y[k], c.height[k]};
  }
  HeightFieldRecord map_{};
  EdgeCurveList lists_[16]{};
  RegionCell cells_[16]{};
  RegionGrid grid_{cells_, 2, 2};
};

std::vector<float> Near(const std::vector<float>& v) {
  std::vector<float> r;
  for (float x : v) r.push_back(std::round(x * 1e4f) / 1e4f);
  return r;
}

TEST_F(CurveSets, GridPointsRepeatTheBorderValuesOutsideTheGrid) {
  for (const auto& [i, j] : {std::pair{0, 0}, {3, 2}, {4, 4}, {-1, 0}, {5, 6}, {-2, -1}}) {
    float p[3];
    HeightGridPoint(map_, i, j, p);
    EXPECT_EQ(Near({p[0], p[1], p[2]}), Near(Expected(i, j))) << i << "," << j;
  }
  float c[3];
  HeightGridTileCentre(map_, 2, 1, 1, 2, c);  // half of 8 / 2 and half of 4 / 4 beyond (2, 1)
  EXPECT_EQ(Near({c[0], c[1], c[2]}), Near({4 + 2, 20, 101 + 0.5f}));
}

TEST_F(CurveSets, ASetCarriesTheColumnAndRowBeforeItsRectangle) {
  const struct { int i0, j0, i1, j1; } rects[] = {{1, 1, 1, 1}, {0, 2, 3, 4}, {2, 0, 2, 3}};
  for (const auto& r : rects) {
    CurveSetBuild(map_, lists_[0], r.i0, r.j0, r.i1, r.j1);
    const EdgeCurveList& l = lists_[0];
    EXPECT_EQ(l.kind, kEdgeCurveListCurveSet);
    ASSERT_EQ(l.count, std::uint32_t(r.i1 - r.i0 + 2));
    for (std::uint32_t c = 0; c < l.count; ++c) {
      const EdgeCurve& curve = l.curves[c];
      ASSERT_EQ(curve.count, std::uint32_t(r.j1 - r.j0 + 2));
      for (std::uint32_t k = 0; k < curve.count; ++k) {
        EXPECT_EQ(Near(Point(curve, k)), Near(Expected(r.i0 - 1 + int(c), r.j0 - 1 + int(k))));
        EXPECT_EQ(curve.levels[k], 28.0f);
        EXPECT_EQ(curve.edgeSharpness[k] + curve.sectionSharpness[k], 0.0f);
        EXPECT_EQ(curve.flag[k], 0);
      }
    }
  }
}

TEST_F(CurveSets, TilesSplitIntoQuadrantsDownToTheFinestSize) {
  // Already the finest size: one tile, its cells numbered from 0 within it.
  std::uint32_t counter = 3;
  CurveSetTile(map_, lists_, counter, grid_, 10, 2, 0, 1, 1, 1, 1);
  EXPECT_EQ(counter, 4u);
  EXPECT_EQ(lists_[3].count, 5u);  // columns 1 to 5
  EXPECT_EQ(Near(Point(lists_[3].curves[0], 0)), Near(Expected(1, -1)));
  EXPECT_EQ(Near(Point(lists_[3].curves[4], 4)), Near(Expected(5, 3)));
  const RegionCell& c = cells_[1];  // column 1 of row 0
  EXPECT_EQ(c.region, 13u);
  EXPECT_EQ(c.levelX + c.levelY + c.x + c.y, 0u);

  // Split twice: quadrants (0, 0), right, above, above-right at every level, so the tiles of
  // one cell each are numbered in that order.
  counter = 0;
  CurveSetTile(map_, lists_, counter, grid_, 0, 0, 0, 3, 3, 1, 1);
  ASSERT_EQ(counter, 16u);
  EXPECT_EQ(Near(Point(lists_[5].curves[0], 0)), Near(Expected(5, -1)));   // cell (3, 0)
  EXPECT_EQ(Near(Point(lists_[10].curves[0], 0)), Near(Expected(-1, 5)));  // cell (0, 3)
  std::vector<std::uint32_t> regions, places;
  for (const RegionCell& cell : cells_) {
    regions.push_back(cell.region);
    places.push_back(cell.levelX + cell.levelY + cell.x + cell.y);
  }
  EXPECT_EQ(regions,
            (std::vector<std::uint32_t>{0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15}));
  EXPECT_EQ(places, std::vector<std::uint32_t>(16, 0));

  // Rows reach the finest size first: tiles of 2 x 1 cells.
  counter = 0;
  CurveSetTile(map_, lists_, counter, grid_, 0, 0, 0, 2, 1, 0, 0);
  ASSERT_EQ(counter, 4u);
  EXPECT_EQ(lists_[1].count, 5u);
  EXPECT_EQ(lists_[1].curves[0].count, 4u);
  EXPECT_EQ(cells_[6].region, 3u);  // column 2, row 1: the fourth tile
  EXPECT_EQ(cells_[6].levelX, 1u);
  EXPECT_EQ(cells_[6].levelY, 0u);
}

TEST_F(CurveSets, TileCountStopsAtTheListCapacity) {
  EdgeCurveList* lists = new EdgeCurveList[kTerrainTileMax]{};
  std::uint32_t counter = kTerrainTileMax - 4;
  CurveSetTile(map_, lists, counter, grid_, 0, 0, 0, 2, 2, 1, 1);
  EXPECT_FALSE(SceneBuildFailed());
  EXPECT_EQ(counter, kTerrainTileMax);
  CurveSetTile(map_, lists, counter, grid_, 0, 0, 0, 1, 1, 1, 1);
  EXPECT_TRUE(SceneBuildFailed());
  EXPECT_EQ(counter, kTerrainTileMax);
  for (std::uint32_t k = 0; k < kTerrainTileMax; ++k) EdgeCurveListFree(lists[k]);
  delete[] lists;
}

}  // namespace
}  // namespace veskor
