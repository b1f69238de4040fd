// The three skin stages on worlds built by the scene build, run item by item as the shader
// stages run them, with a session set up here: the sun straight down, the borders, buffer and
// fx contexts of one preparation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "geometry/generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_images.h"
#include "geometry/scene_build.h"
#include "geometry/skin_work_maps.h"
#include "mapengine/kernel_table.h"
#include "render/renderer_globals.h"
#include "render/skin_stages.h"
#include "support/temp_dir.h"

namespace veskor::test {
namespace {

class SkinStages : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    ItemImagesReset();
    std::copy(SunDirection, SunDirection + 3, savedSun_);
    SunDirection[0] = SunDirection[1] = 0, SunDirection[2] = -1;
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
  // Compiles and builds the world, then runs the three stages over its items in index order.
  void Run(const std::string& text) {
    const CompileOutcome outcome = RunCompileSession(dir_.Write("world.wld", text));
    ASSERT_EQ(outcome.result, 1) << outcome.status;
    FillSessionRanges(gWorld);
    WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
    ASSERT_EQ(SceneBuild(gWorld), 1u);
    for (std::uint32_t i = 0; i < gItemCount; ++i) GenerateItemSkin(i);
    for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) ConnectItemSkins(gRegionBorders[k]);
    ASSERT_EQ(RunSharedFxCalls(shared_, gParseStore), 1u) << FxErrorText;
    PatchBorderListReserve(borders_, kItemMax, 1u << 20);
    RenderItemContext context{&item_,   &gParseStore, &borders_, &pbuffer_,
                              RenderPrepareBuildStatics().shadowCamera, nullptr, 0};
    for (std::uint32_t i = 0; i < gItemCount; ++i)
      ASSERT_EQ(RenderItem(i, context), 1u) << i << " " << FxErrorText;
  }
  TempDir dir_{"veskor_skin_stages"};
  FxExecContext shared_, item_;
  PatchBorderList borders_{};
  Pbuffer pbuffer_{};
  float savedSun_[3];
};

float Texel(const FloatTexture2D& t, std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  const auto* p = static_cast<const float*>(t.pixels.data);
  return p[((y << t.pixels.log2Width) + x) * t.pixels.channels + c];
}

// Each subset of the outputs: written ones at the grid's size (a position averaged over the
// four corners of its texel), unwritten diffuse black 1 x 1, unwritten specular and emissive
// of the caps black 1 x 1 and of the body left alone, shininess as written or 0.
TEST_F(SkinStages, EachSubsetOfTheOutputsFillsItsTextures) {
  Run("Surface a() { =(diffuse, point) }\n"
      "Surface b() { =(specular, point) =(shininess, 7) }\n"
      "Surface c() { =(emissive, point[0]) }\n"
      "Object { Cube a() } Object { Cube b() } Object { Cube c() }\n");
  ASSERT_EQ(gItemCount, 3u);
  struct Want {
    bool diffuse, specular, emissive;
    float shininess;
  } want[3] = {{true, false, false, 0}, {false, true, false, 7}, {false, false, true, 0}};
  for (std::uint32_t i = 0; i < 3; ++i) {
    SkinSlot& s = gSkinSlots[i];
    EXPECT_EQ(gItemTargets[i]->shininess, want[i].shininess) << i;
    EXPECT_EQ(gItemTargets[i]->connected, 1u);
    for (std::uint32_t L = 0; L < kSkinSetCount; ++L) {
      SkinTextureSet& t = s.textureSets[L];
      const VertexGrid& g0 = s.gridSets[L].grids[0];
      if (g0.log2Width == 0 && t.diffuse.pixels.data == nullptr) continue;  // no grid set
      const FloatTexture2D* tex[3] = {&t.diffuse, &t.specular, &t.emissive};
      const bool written[3] = {want[i].diffuse, want[i].specular, want[i].emissive};
      for (std::uint32_t k = 0; k < 3; ++k) {
        const TexturePixels& px = tex[k]->pixels;
        if (written[k]) {
          EXPECT_EQ(px.log2Width, g0.log2Width) << i << L << k;
          EXPECT_EQ(px.channels, 3u);
        } else if (k == 0 || L != 0) {
          EXPECT_EQ(px.log2Width + px.log2Height, 0) << i << L << k;
          // Texture 2 (emissive) keeps its pixels; the others went to the GL.
          if (k == 2) {
            EXPECT_EQ(Texel(*tex[k], 0, 0, 0), 0.0f);
          }
        } else {
          EXPECT_EQ(px.data, nullptr) << i << " body's unwritten " << k;
          EXPECT_EQ(tex[k]->state.hasSlot, 0u) << i << " body's unwritten " << k;
        }
      }
      // The light map: 2 x 2 texels of 0 without the sun flag (the cubes have it: full size).
      EXPECT_EQ(t.light.pixels.log2Width, g0.log2Width) << i << L;
    }
  }
  // The emissive texture keeps its pixels: one channel of positions, the others 0, every
  // texel inside the unit cube around the origin.
  const FloatTexture2D& e = gSkinSlots[2].textureSets[0].emissive;
  ASSERT_NE(e.pixels.data, nullptr);
  for (std::uint32_t y = 0; y < (1u << e.pixels.log2Height); ++y)
    for (std::uint32_t x = 0; x < (1u << e.pixels.log2Width); ++x) {
      EXPECT_LE(std::fabs(Texel(e, x, y, 0)), 1.0f);
      EXPECT_EQ(Texel(e, x, y, 1), 0.0f);
      EXPECT_EQ(Texel(e, x, y, 2), 0.0f);
    }
}

// A moved and turned object without a Surface ends where the same object with a trivial one
// ends: the same box, the same vertices, finite light maps.
TEST_F(SkinStages, AMovedObjectWithoutASurfaceIsPlacedAsOneWithASurface) {
  Run("Surface t() { =(diffuse, 0.5) }\n"
      "Object { Cube ( [0 0 1 90] [10 0 0] ) }\n"
      "Object { Cube ( [0 0 1 90] [10 0 0] ) t() }\n");
  ASSERT_EQ(gItemCount, 2u);
  const SceneObject& bare = *gItemTargets[0];
  const SceneObject& shaded = *gItemTargets[1];
  ASSERT_EQ(bare.fxIndex, 0xFFFF);
  ASSERT_NE(shaded.fxIndex, 0xFFFF);
  EXPECT_GT(bare.grid.box[0], 8.0f);  // moved by 10 along x
  for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(bare.grid.box[k], shaded.grid.box[k]) << k;
  const ItemDrawRecord& a = gBatchItemRecords[gItemBatchIndex[0]];
  const ItemDrawRecord& b = gBatchItemRecords[gItemBatchIndex[1]];
  ASSERT_EQ(a.mainRanges[0].floatCount, b.mainRanges[0].floatCount);
  ASSERT_GT(a.mainRanges[0].floatCount, 0u);
  const float* va = gGeometryBatchBuffer.vertices + a.mainRanges[0].firstFloat;
  const float* vb = gGeometryBatchBuffer.vertices + b.mainRanges[0].firstFloat;
  for (std::uint32_t f = 0; f < a.mainRanges[0].floatCount; ++f) {
    ASSERT_TRUE(std::isfinite(va[f])) << f;
    ASSERT_NEAR(va[f], vb[f], 1e-4f) << f;
  }
}

}  // namespace
}  // namespace veskor::test
