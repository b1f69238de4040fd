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
#include "geometry/region_borders.h"
#include "geometry/skin_passes.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/shader_stages.h"
#include "render/skin_stages.h"
#include "render_fixture.h"
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

// Whole preparations of compiled worlds, as the render session runs them: set-up, scene build,
// then every stage.
class PreparedWorld : public RenderSessionTest {
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
    RenderSessionTest::TearDown();
  }
  std::uint32_t Prepare(const std::string& text, Camera* view) {
    const CompileOutcome outcome = RunCompileSession(dir_.Write("world.wld", text));
    EXPECT_EQ(outcome.result, 1) << outcome.status;
    RenderSessionInit(&gWorld.lod.lists[2], 0.002f, &gWorld.lod.lists[3], 0.002f,
                      &gWorld.lod.lists[0], 0.002f, &gWorld.lod.lists[1], 0.002f, &gParseStore,
                      view, 1.0f, 1.0f, &Record, 0, 6, 0, 10);
    CloudHighParams.present = CloudLowParams.present = 0;
    WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
    gBuildProgress.callback = nullptr;  // the build's own reports are not counted here
    EXPECT_EQ(SceneBuild(gWorld), 1u);
    gBuildProgress.callback = &Record;
    SunDirection[0] = 0.3f, SunDirection[1] = 0, SunDirection[2] = -0.9539392f;
    reports.clear();
    return RenderPrepare(view);
  }
  TempDir dir_{"veskor_prepared_world"};
  float savedSun_[3];
};

// A failing fx program stops the preparation where it runs: the shared calls in "Shaders /
// Skins Connect", an item's definition in "Shaders / Render"; FxFailed 1, the executor's text,
// everything of the call released.
TEST_F(PreparedWorld, AFailingFxProgramStopsWithFxFailedAndTheUnwinding) {
  const struct {
    const char* surface;
    const char* lastStage;
  } cases[] = {
      {"Surface s() { =(diffuse, transform([0 0 0], [1 2 3])) }\n", "Shaders / Skins Connect"},
      {"Surface s() { =(diffuse, transform(point, [1 2 3])) }\n", "Shaders / Render"},
      {"Surface s() { =(diffuse, point) }\n", "Shaders / Environment"}};
  for (const auto& c : cases) {
    const std::uint32_t result =
        Prepare(std::string(c.surface) + "Object { Cube s() } Object { Cube }\n", &camera);
    const bool fails = std::string(c.lastStage) != "Shaders / Environment";
    EXPECT_EQ(result, fails ? 0u : 1u) << c.surface;
    EXPECT_EQ(FxFailed, fails ? 1u : 0u);
    if (fails) {
      EXPECT_STREQ(FxErrorText, "Execution error : 'transform'");
    }
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().label, c.lastStage);
    EXPECT_EQ(PrepPbuffer.valid, 0u);
    EXPECT_EQ(ScratchBlock.block.base, nullptr);
  }
}

// A stop at each report of the skin stages on a built world unwinds and keeps what is done:
// items finished before the stop are connected, the others not.
TEST_F(PreparedWorld, AZeroAnswerAtEachSkinStageReportUnwinds) {
  const std::string world = "Surface s() { =(diffuse, point) }\nObject { Cube s() } Object { Cube }\n";
  ASSERT_EQ(Prepare(world, &camera), 1u);
  const std::vector<Report> full = reports;
  for (std::size_t k = 0; k < full.size(); ++k) {
    if (full[k].label.rfind("Shaders / ", 0) != 0) continue;
    stopAt = static_cast<int>(k);
    EXPECT_EQ(Prepare(world, &camera), 0u) << k;
    EXPECT_EQ(reports.size(), k + 1);
    EXPECT_EQ(FxFailed, 0u);
    EXPECT_EQ(PrepPbuffer.valid, 0u);
    EXPECT_EQ(ScratchBlock.block.base, nullptr);
    // Both items are finished once the render stage's first item report is made.
    const bool rendered = full[k].label != "Shaders / Skins Generate" &&
                          full[k].label != "Shaders / Skins Connect" &&
                          !(full[k].label == "Shaders / Render" && full[k].stage == 0.0f);
    const bool anyConnected = gItemTargets[0]->connected != 0 || gItemTargets[1]->connected != 0;
    EXPECT_EQ(anyConnected, rendered) << k << " " << full[k].label;
  }
  stopAt = -1;
}

// The skin pass lists: one base pass on a four-unit combiner board (the compatibility layer),
// two elsewhere; the cloud-shadow bit only with puffs, bit 5 always.
TEST_F(PreparedWorld, SkinPassListsFollowTheBoard) {
  ASSERT_EQ(Prepare("Surface s() { =(diffuse, point) }\nObject { Cube s() }\n", &camera), 1u);
  ASSERT_EQ(gItemCount, 1u);
  const SkinSlot& s = gSkinSlots[0];
  const bool combiners = SkinCombinerBoard();
  ASSERT_GE(s.passCount, 1u);
  EXPECT_EQ(s.passCount, combiners ? 1u : 2u) << "combiner board " << combiners;
  EXPECT_EQ(s.passFlags & 0x20u, 0x20u);
  EXPECT_EQ(s.passFlags & 0x10u, 0u);
  EXPECT_EQ(s.matrix, TransformNodeMatrix(gItemTargets[0]->transform));
}

}  // namespace
}  // namespace veskor::test
