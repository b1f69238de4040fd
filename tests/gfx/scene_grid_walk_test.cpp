#include "gfx/scene_grid_walk.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace veskor {
namespace {

using Cell = std::array<std::uint32_t, 3>;

Cell At(const SceneGridWalk& walk) {
  return {walk.current[walk.positionOf[0]], walk.current[walk.positionOf[1]],
          walk.current[walk.positionOf[2]]};
}

TEST(SceneGridWalk, OrderPutsTheLargestComponentOutermost) {
  const struct {
    float d[3];
    std::uint32_t axes[3];
  } cases[] = {
      {{1, 0.5f, 0.25f}, {0, 1, 2}}, {{1, 0.25f, 0.5f}, {0, 2, 1}}, {{0.5f, 0.25f, 1}, {2, 0, 1}},
      {{0.5f, 1, 0.25f}, {1, 0, 2}}, {{0.25f, 0.5f, 1}, {2, 1, 0}}, {{0.25f, 1, 0.5f}, {1, 2, 0}},
      {{-1, 1, 0}, {0, 1, 2}},       {{0, -1, 1}, {2, 1, 0}},       {{1, 1, 1}, {0, 1, 2}},
      {{0.5f, 1, 1}, {2, 1, 0}},     {{1, 0.5f, 1}, {0, 2, 1}},
  };
  for (const auto& c : cases) {
    SceneGridWalk walk{};
    SceneGridSetWalkOrder(walk, c.d[0], c.d[1], c.d[2]);
    for (std::uint32_t p = 0; p < 3; ++p) {
      EXPECT_EQ(walk.axisAt[p], c.axes[p]) << c.d[0] << " " << c.d[1] << " " << c.d[2];
      EXPECT_EQ(walk.positionOf[c.axes[p]], p);
    }
  }
  SceneGridWalk walk{};
  SceneGridSetWalkOrder(walk, 1, -0.0f, -2);
  EXPECT_EQ(std::vector<std::uint32_t>(walk.negative, walk.negative + 3),
            (std::vector<std::uint32_t>{0, 1, 1}));
  // Walk order z, x, y: steps -1, +1, -1.
  EXPECT_EQ(std::vector<std::uint32_t>(walk.step, walk.step + 3),
            (std::vector<std::uint32_t>{0xFFFFFFFF, 1, 0xFFFFFFFF}));
}

class SceneGridWalks : public ::testing::Test {
 protected:
  // 0..8 on every axis in cells of 1: coarse 2 x 2 x 2, middle 4 x 4 x 4, fine 8 x 8 x 8.
  void SetUp() override {
    SceneGridInit(grid_);
    SpatialGridInit(grid_, nullptr, 1, 1, 0, 0, 0, 8, 8, 8);
  }
  void TearDown() override { SceneGridRelease(grid_); }
  SceneGrid grid_;
};

TEST_F(SceneGridWalks, CoarseCellsComeFrontToBack) {
  SceneGridWalk walk{};
  SceneGridSetWalkOrder(walk, -1, 0.5f, -0.25f);  // x down outermost, then y up, then z down
  std::vector<Cell> visited;
  for (SceneGridBeginWalk(walk, grid_); !SceneGridWalkFinished(walk); SceneGridWalkStep(walk)) {
    visited.push_back(At(walk));
    float box[6];
    SceneGridReadCell(grid_, walk, box);
    EXPECT_EQ(box[0], 4.0f * At(walk)[0]);
    EXPECT_EQ(box[5], 4.0f * At(walk)[2] + 4);
  }
  EXPECT_EQ(
      visited,
      (std::vector<Cell>{
          {1, 0, 1}, {1, 0, 0}, {1, 1, 1}, {1, 1, 0}, {0, 0, 1}, {0, 0, 0}, {0, 1, 1}, {0, 1, 0}}));
  const Cell end = At(walk);
  SceneGridWalkStep(walk);  // a finished walk stays where it is
  EXPECT_EQ(At(walk), end);
  EXPECT_TRUE(SceneGridWalkFinished(walk));
}

TEST_F(SceneGridWalks, NestedWalksVisitEveryFineCellOnceInsideItsParents) {
  SceneGridWalk coarse{}, middle{}, fine{};
  for (SceneGridWalk* w : {&coarse, &middle, &fine}) SceneGridSetWalkOrder(*w, 0.3f, -0.2f, 1);
  std::vector<std::uint32_t> visits(512);
  std::vector<Cell> order;
  for (SceneGridBeginWalk(coarse, grid_); !SceneGridWalkFinished(coarse);
       SceneGridWalkStep(coarse)) {
    for (SceneGridBeginWalk2(middle, coarse); !SceneGridWalkFinished(middle);
         SceneGridWalkStep(middle)) {
      float box[6];
      SceneGridReadCell2(grid_, middle, box);
      EXPECT_EQ(box[1], 2.0f * At(middle)[1]);
      const Cell m = At(middle);
      EXPECT_EQ(SceneGridCell(grid_.middle, middle),
                SceneGridCell32(grid_.middle, m[0], m[1], m[2]));
      for (SceneGridBeginWalk2(fine, middle); !SceneGridWalkFinished(fine);
           SceneGridWalkStep(fine)) {
        const Cell c = At(fine);
        for (int a = 0; a < 3; ++a) {
          EXPECT_EQ(c[a] >> 1, At(middle)[a]);
          EXPECT_EQ(c[a] >> 2, At(coarse)[a]);
        }
        ++visits[c[0] + 8 * c[1] + 64 * c[2]];
        order.push_back(c);
        EXPECT_EQ(SceneGridCellExt(grid_, fine), SceneGridFineCellAt(grid_.fine, c[0], c[1], c[2]));
        SceneGridReadCell3(grid_, fine, box);
        EXPECT_EQ(box[4], 1.0f * c[1] + 1);
      }
    }
  }
  EXPECT_EQ(visits, std::vector<std::uint32_t>(512, 1));
  // z up outermost, then x up, then y down: from the corner nearest the eye's back.
  EXPECT_EQ(order.front(), (Cell{0, 7, 0}));
  EXPECT_EQ(order[1], (Cell{0, 6, 0}));
  EXPECT_EQ(order[2], (Cell{1, 7, 0}));
  EXPECT_EQ(order.back(), (Cell{7, 0, 7}));
}

}  // namespace
}  // namespace veskor
