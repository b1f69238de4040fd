// "Shaders / Render" on terrain patches of built worlds: the light maps of a field half in the
// shadow of a tall block, with and without the off-screen buffer, and the patch borders copied
// and stitched in the order along the sun.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "environment/sky_model.h"
#include "geometry/generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_images.h"
#include "geometry/patch_borders.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build.h"
#include "geometry/skin_work_maps.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/skin_stages.h"
#include "render_fixture.h"
#include "support/temp_dir.h"

namespace veskor::test {
namespace {

// The sun comes from -x, 36.87 degrees above the horizon: a flat patch has the sun term
// -(sun . (0, 0, 1)) = 0.8 and the sky term (1 + 1) / 16 = 0.125. Open, a texel holds the sum;
// hidden from the sun, it keeps 0.35 of the sun term.
constexpr float kSun[3] = {0.6f, 0.0f, -0.8f};
constexpr float kOpen = 0.8f + 0.125f;
constexpr float kShadow = 0.35f * 0.8f + 0.125f;

// A flat field over x, y 0 .. 64 (32 cells a side, patches of 8 x 8 units) and a block over x
// 20 .. 24, y -8 .. 72, z 0 .. 38 (two overlapping boxes): its shadow on the ground reaches
// x 24 + 38 x 0.6 / 0.8 = 52.5.
constexpr const char* kShadedField =
    "Surface s() { =(diffuse, 0.5) }\n"
    "HeightField ground { BBox { [0 0 0] [64 64 10] } }\n"
    "Composition block { + ( Cube ( [2 40 10] 0 [0 0 -9] ) Cube ( [2 40 10] 0 [0 0 9] ) ) }\n"
    "Object { ground s() }\n"
    "Object { block ( [22 32 19] ) }\n";

std::uint32_t gPbufferAtRender = 0;  // PrepPbuffer.valid at the render stage's first report
std::int32_t WatchBuffer(const char* label, float stage, float) {
  if (std::string(label) == "Shaders / Render" && stage == 0.0f) gPbufferAtRender = PrepPbuffer.valid;
  return 1;
}

class ShadedField : public RenderSessionTest {
 protected:
  void SetUp() override {
    RenderSessionTest::SetUp();
    std::copy(SunDirection, SunDirection + 3, savedSun_);
  }
  void TearDown() override {
    std::copy(savedSun_, savedSun_ + 3, SunDirection);
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    MultiSampleMode = 0;
    RenderSessionTest::TearDown();
  }
  std::uint32_t Prepare(const std::string& text) {
    const CompileOutcome outcome = RunCompileSession(dir_.Write("world.wld", text));
    EXPECT_EQ(outcome.result, 1) << outcome.status;
    RenderSessionInit(&gWorld.lod.lists[2], 0.002f, &gWorld.lod.lists[3], 0.002f,
                      &gWorld.lod.lists[0], 0.002f, &gWorld.lod.lists[1], 0.002f, &gParseStore,
                      nullptr, 1.0f, 1.0f, &WatchBuffer, 0, 6, 0, 10);
    CloudHighParams.present = CloudLowParams.present = 0;
    WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
    gBuildProgress.callback = nullptr;
    EXPECT_EQ(SceneBuild(gWorld), 1u);
    gBuildProgress.callback = &WatchBuffer;
    std::copy(kSun, kSun + 3, SunDirection);
    gPbufferAtRender = 0;
    return RenderPrepare(nullptr);
  }
  TempDir dir_{"veskor_shaded_field"};
  float savedSun_[3];
};

// Patches wholly in the open (x below 20 or above 56) hold the full sum, patches wholly in
// the shadow (x 24 .. 52) 0.35 of the sun term plus the sky term; in the off-screen buffer
// (multisampling on) as in the window's back buffer.
TEST_F(ShadedField, LightMapsKeepAThirdOfTheSunInTheShadowOfABlock) {
  for (const std::uint32_t multisample : {1u, 0u}) {
    MultiSampleMode = multisample;
    ASSERT_EQ(Prepare(kShadedField), 1u) << multisample;
    EXPECT_EQ(gPbufferAtRender, multisample) << "the off-screen buffer only with multisampling";
    std::uint32_t open = 0, shadowed = 0;
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      if (ItemKind[i] != 1) continue;
      const float* box = gItemTargets[i]->grid.box;  // x0, x1, y0, y1, z0, z1
      const bool inOpen = box[1] <= 20.0f || box[0] >= 55.5f;
      const bool inShadow = box[0] >= 23.5f && box[1] <= 52.0f;
      if (!inOpen && !inShadow) continue;
      (inOpen ? open : shadowed) += 1;
      // The light map went to the GL with the skin passes: read it back from there.
      const FloatTexture2D& light = gSkinSlots[i].textureSets[0].light;
      ASSERT_EQ(light.state.hasSlot, 1u) << i;
      glBindTexture(GL_TEXTURE_2D, TextureNameTable[light.state.slot]);
      GLint w = 0, h = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
      ASSERT_GE(w * h, 4) << "a light map at the patch's own size, not the unlit 2 x 2";
      std::vector<float> t(static_cast<std::size_t>(w * h));
      glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_FLOAT, t.data());
      for (std::size_t k = 0; k < t.size(); ++k)
        ASSERT_NEAR(t[k], inOpen ? kOpen : kShadow, 0.02f)
            << "multisample " << multisample << " item " << i << " texel " << k << " box x "
            << box[0] << " .. " << box[1];
    }
    // Columns x 0 .. 16 and 56 .. 64 open, x 24 .. 48 in the shadow, eight patches each.
    EXPECT_EQ(open, 24u) << multisample;
    EXPECT_EQ(shadowed, 24u) << multisample;
    // Every set of every item carries the sun's light colour x 0.8 and the sky's x 0.2, alpha
    // 1; no item asked to keep its draw mode, so each is back to the textured passes (0).
    ASSERT_GT(SunLightColour[0] + SunLightColour[1] + SunLightColour[2], 0.1f);
    ASSERT_GT(SkyAmbientColour[0] + SkyAmbientColour[1] + SkyAmbientColour[2], 0.1f);
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      for (const SkinTextureSet& set : gSkinSlots[i].textureSets)
        for (std::uint32_t c = 0; c < 4; ++c) {
          EXPECT_FLOAT_EQ(set.sunColour[c], c < 3 ? SunLightColour[c] * 0.8f : 1.0f) << i;
          EXPECT_FLOAT_EQ(set.skyColour[c], c < 3 ? SkyAmbientColour[c] * 0.2f : 1.0f) << i;
        }
      EXPECT_EQ(gItemTargets[i]->drawMode, 0u) << i;
    }
  }
}

// The three skin stages item by item in the order along the sun, as the preparation runs
// them, on a rough field of 8 x 8 patches.
class StitchedField : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    ItemImagesReset();
    std::copy(SunDirection, SunDirection + 3, savedSun_);
    std::copy(kSun, kSun + 3, SunDirection);
  }
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      PathSetFree(gItemPathSets.sets[i]);
      ReleaseSkinMapSet(gSkinWork.records[i]);
      ReleaseSkinGrids(gSkinSlots[i]);
    }
    PatchBorderListRelease(borders_);
    std::copy(savedSun_, savedSun_ + 3, SunDirection);
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    GenerationGlTest::TearDown();
  }
  TempDir dir_{"veskor_stitched_field"};
  FxExecContext shared_, item_;
  PatchBorderList borders_{};
  Pbuffer pbuffer_{};
  float savedSun_[3];
};

// Per neighbour word (first column, last column, first row, last row): the side bit of the
// border an item stores for that neighbour.
constexpr std::uint32_t kStoredSide[4] = {kPatchCol0, kPatchColN, kPatchRow0, kPatchRowN};

// An item stores its border for exactly the neighbours that come after it along the sun; the
// later one stitches to it, so along every shared side both patches end with the same
// vertices.
TEST_F(StitchedField, BordersAreCopiedAndStitchedInTheOrderAlongTheSun) {
  const CompileOutcome outcome = RunCompileSession(dir_.Write(
      "world.wld", "Surface s() { =(diffuse, normal) }\n"
                   "HeightField ground { BBox { [0 0 0] [64 64 20] } Layer { fractal(3 [0.05 2 0.8]) } }\n"
                   "Object { ground s() }\n"));
  ASSERT_EQ(outcome.result, 1) << outcome.status;
  FillSessionRanges(gWorld);
  WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
  ASSERT_EQ(SceneBuild(gWorld), 1u);
  const std::uint32_t n = gItemCount;
  ASSERT_EQ(n, 64u);
  for (std::uint32_t i = 0; i < n; ++i) GenerateItemSkin(i);
  for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) ConnectItemSkins(gRegionBorders[k]);
  ASSERT_EQ(RunSharedFxCalls(shared_, gParseStore), 1u) << FxErrorText;
  PatchBorderListReserve(borders_, kItemMax, 1u << 20);
  SortItemsAlongSun(SunDirection, ItemSunOrder);
  std::vector<std::uint32_t> place(n);
  for (std::uint32_t k = 0; k < n; ++k) place[ItemSunOrder[k]] = k;
  RenderItemContext context{&item_,   &gParseStore, &borders_, &pbuffer_,
                            RenderPrepareBuildStatics().shadowCamera, nullptr, 0};
  std::uint32_t copies = 0, stitches = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::uint32_t i = ItemSunOrder[k];
    ASSERT_EQ(RenderItem(i, context), 1u) << i << " " << FxErrorText;
    for (std::uint32_t side = 0; side < 4; ++side) {
      const std::int32_t other = gItemTargets[i]->neighbours[side];
      const bool stored = (borders_.entries[i].stored >> kStoredSide[side] & 1u) != 0;
      if (other < 0) {
        EXPECT_FALSE(stored) << i << " side " << side;
        continue;
      }
      const bool later = place[static_cast<std::uint32_t>(other)] > k;
      EXPECT_EQ(stored, later) << i << " side " << side << " neighbour " << other;
      (later ? copies : stitches) += 1;
    }
  }
  EXPECT_EQ(copies, 2u * 8 * 7);  // one of each pair of neighbours copies, the other stitches
  EXPECT_EQ(stitches, copies);

  // Along each shared side, every vertex of one patch at the x, y of a vertex of the other has
  // its height: at least the five samples of a side. The batch holds the field's own frame (the
  // height second).
  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  const std::uint32_t f = b.floatsPerVertex;
  const auto vertices = [&](std::uint32_t i) {
    const ItemDrawRecord& r = gBatchItemRecords[gItemBatchIndex[i]];
    return std::pair{b.vertices + r.mainRanges[0].firstFloat, r.mainRanges[0].floatCount / f};
  };
  for (std::uint32_t i = 0; i < n; ++i)
    for (std::uint32_t side = 0; side < 4; side += 2) {  // first column and first row
      const std::int32_t other = gItemTargets[i]->neighbours[side];
      if (other < 0) continue;
      const auto [va, na] = vertices(i);
      const auto [vb, nb] = vertices(static_cast<std::uint32_t>(other));
      std::uint32_t shared = 0;
      for (std::uint32_t p = 0; p < na; ++p)
        for (std::uint32_t q = 0; q < nb; ++q) {
          const float* x = va + p * f;
          const float* y = vb + q * f;
          if (std::fabs(x[0] - y[0]) > 1e-4f || std::fabs(x[2] - y[2]) > 1e-4f) continue;
          ++shared;
          EXPECT_EQ(x[1], y[1]) << i << " and " << other;
        }
      EXPECT_GE(shared, 5u) << i << " and " << other;
    }
}

}  // namespace
}  // namespace veskor::test
