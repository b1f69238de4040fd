#include "geometry/portal.h"

#include <gtest/gtest.h>

#include <vector>

#include "generation_test_support.h"
#include "gfx/texture_memory.h"

namespace veskor::test {
namespace {

class Portals : public GenerationGlTest {};

TEST_F(Portals, APortalHasItsRectangleValuesTextureOnTheGraphicsSideAndWaterBox) {
  const float rect[5] = {-10, -20, 3.5f, 30, 40};
  AddPortal(rect, 0.5f, 0.25f, 0.75f, 0.1f, 0.2f, 0.3f);
  ASSERT_EQ(gPortalCount, 1u);
  const Portal& p = gPortals[0];
  EXPECT_EQ(std::vector<float>(p.corner0, p.corner0 + 3), (std::vector<float>{-10, -20, 3.5f}));
  EXPECT_EQ(std::vector<float>(p.corner1, p.corner1 + 3), (std::vector<float>{30, 40, 3.5f}));
  EXPECT_EQ(p.bumpScale, 0.5f);
  EXPECT_EQ(p.colour[2], 0.3f);
  EXPECT_EQ(p.colour[3], 0.0f);
  EXPECT_EQ(p.opacityA2, 0.5f);
  EXPECT_EQ(p.opacityB2, 1.5f);

  const Texture2D& t = p.reflection;
  EXPECT_EQ(t.pixels.data, nullptr);
  EXPECT_EQ(t.pixels.block.base, nullptr);
  EXPECT_EQ(TextureLog2Width(t), 10u);
  EXPECT_EQ(t.state.channels, 4u);
  ASSERT_EQ(t.state.hasSlot, 1u);
  glBindTexture(GL_TEXTURE_2D, TextureNameTable[t.state.slot]);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 1024);

  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  ASSERT_EQ(b.waterBoxCount, 1);
  const WaterBox& box = b.waterBoxes[0];
  EXPECT_EQ((std::vector<float>{box.x0, box.y0, box.x1, box.y1, box.level}),
            (std::vector<float>{-10, -20, 30, 40, 3.5f}));
}

// A second world's portal in the same record counts its texture once.
TEST_F(Portals, ReusingARecordCountsItsTextureMemoryOnce) {
  const float rect[5] = {0, 0, 0, 1, 1};
  AddPortal(rect, 1, 1, 1, 1, 1, 1);
  const std::uint32_t once = TextureMemory.bytes;
  gPortalCount = 0;
  AddPortal(rect, 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(TextureMemory.bytes, once);
}

TEST_F(Portals, AFullTableOrWaterBoxListSetsTheBuildError) {
  const float rect[5] = {0, 0, 0, 1, 1};
  for (std::uint32_t k = 0; k < kPortalMax; ++k) AddPortal(rect, 1, 1, 1, 1, 1, 1);
  EXPECT_FALSE(SceneBuildFailed());
  AddPortal(rect, 1, 1, 1, 1, 1, 1);
  EXPECT_STREQ(gSceneBuildError.message, kTooManyPortalsMessage);
  EXPECT_EQ(gPortalCount, kPortalMax);
  EXPECT_EQ(gGeometryBatchBuffer.waterBoxCount, std::int32_t(kPortalMax));

  SceneBuildErrorReset();
  gPortalCount = 0;
  gGeometryBatchBuffer.waterBoxCount = kWaterBoxCapacity - 1;
  AddPortal(rect, 1, 1, 1, 1, 1, 1);
  EXPECT_FALSE(SceneBuildFailed());
  AddPortal(rect, 1, 1, 1, 1, 1, 1);
  EXPECT_TRUE(SceneBuildFailed());
  EXPECT_EQ(gPortalCount, 1u);
  EXPECT_EQ(gGeometryBatchBuffer.waterBoxCount, kWaterBoxCapacity);
}

}  // namespace
}  // namespace veskor::test
