// The render session set-up and the preparation driver on Mesa, with the compatibility layer
// on and off (the suite runs twice): the set-up's ranges, counters, box and loading frame; the
// report sequence and its fractions; a stop at every report in turn and the unwinding; the
// final geometry storage; the noise tables; the environment uploads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "geometry/build_progress.h"
#include "geometry/item_tables.h"
#include "geometry/portal.h"
#include "geometry/subdivision_settings.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "mapengine/noise_generator.h"
#include "platform/gl.h"
#include "render/fog_texture.h"
#include "render/render_prepare.h"
#include "geometry/item_images.h"
#include "render/render_session.h"
#include "render/scene_draw.h"
#include "render/shader_stages.h"
#include "render_fixture.h"

namespace veskor {
namespace {

using test::Report;

class RenderPrepareTest : public test::RenderSessionTest {
 protected:
  // The reports a full run gives, from the stage table: `items` items and `portals` portals.
  std::vector<Report> Expected(bool withCamera, bool high, bool low, std::uint32_t items,
                               std::uint32_t portals) const {
    std::vector<Report> r;
    if (withCamera) r.push_back({"Scene / Outline View", 0, 0});
    r.push_back({"Environment / Moons", 0, 0.15f});
    r.push_back({"Environment / Fog", 0.25f, 0.175f});
    r.push_back({"Environment / Sky", 0.5f, 0.2f});
    if (high) r.push_back({"Environment / Clouds High", 0.75f, 0.225f});
    if (low) r.push_back({"Environment / Clouds Low", 0.875f, 0.2375f});
    auto units = [&](const char* label, float start, float span, std::uint32_t n, std::uint32_t every) {
      for (std::uint32_t k = 0; k < n; k += every) {
        const float f = float(k + 1) / float(n);
        r.push_back({label, f, start + span * f});
      }
    };
    r.push_back({"Shaders / Skins Generate", 0, 0.25f});
    units("Shaders / Skins Generate", 0.25f, 0.05f, items, 32);
    r.push_back({"Shaders / Skins Generate", 1, 0.3f});
    r.push_back({"Shaders / Skins Connect", 0, 0.3f});
    r.push_back({"Shaders / Skins Connect", 1, 0.35f});
    r.push_back({"Shaders / Render", 0, 0.35f});
    units("Shaders / Render", 0.35f, 0.55f, items, 32);
    r.push_back({"Shaders / Water", 0, 0.9f});
    units("Shaders / Water", 0.9f, 0.05f, portals, 1);
    r.push_back({"Shaders / Environment", 0, 0.95f});
    units("Shaders / Environment", 0.95f, 0.05f, items, 32);
    return r;
  }
};

TEST_F(RenderPrepareTest, SessionInitFillsRangesCountersBoxAndLoadingFrame) {
  for (const bool withCallback : {true, false}) {
    gItemCount = 7, gPortalCount = 3, LightShaftsEnabled = 1;
    gSceneBox.min[0] = 5, gSceneBox.words[2] = 9;
    StartSession(&camera, withCallback);
    EXPECT_EQ(gBuildProgress.callback, withCallback ? &Record : nullptr);
    const struct {
      const SubdivisionSettings& s;
      const LodBoxList* list;
      float scale;
      std::uint32_t min, max;
    } ranges[] = {{gTerrainGeometryLod, &lists[0], 0.2f, 0, 6},
                  {gTerrainTextureLod, &lists[1], 1.0f, 0, 10},
                  {gObjectGeometryLod, &lists[2], 8.0f, 0, 6},
                  {gObjectTextureLod, &lists[3], 8.0f, 0, 10}};
    for (const auto& r : ranges) {
      EXPECT_EQ(r.s.range.list, r.list);
      EXPECT_EQ(r.s.range.scale, r.scale);
      EXPECT_EQ(r.s.range.minLevel, r.min);
      EXPECT_EQ(r.s.range.maxLevel, r.max);
      EXPECT_EQ(r.s.range.distanceFactor, 0.002f);
    }
    EXPECT_EQ(gItemCount, 0u);
    EXPECT_EQ(gPortalCount, 0u);
    EXPECT_EQ(LightShaftsEnabled, 0);
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(gSceneBox.min[a], 1e6f);
      EXPECT_EQ(gSceneBox.max[a], -1e6f);
    }
    EXPECT_EQ(gSceneBox.words[2], 0u);
    EXPECT_EQ(gGeometryBatchBuffer.finalised, 0u);
    EXPECT_EQ(gGeometryBatchBuffer.vertexBytes, kBatchStagingVertexBytes);
    EXPECT_EQ(gGeometryBatchBuffer.indexBytes, kBatchStagingIndexBytes);
    EXPECT_EQ(BatchVertexBase, gGeometryBatchBuffer.vertices);
    // The puff meshes come first in the fresh buffer, with texture shaders only.
    EXPECT_EQ(gGeometryBatchBuffer.floatCount != 0, textureShaders);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[3], test::kGlTestWindowSize);  // 112 rows short of the window
    EXPECT_EQ(v[2], test::kGlTestWindowSize);
    const test::Rgba p = test::ReadPixel(10, 50);
    EXPECT_NEAR(p.r, 26, 1);
    EXPECT_EQ(p.a, 0);
    EXPECT_TRUE(reports.empty());
  }
  // A window no taller than the menu bar: an empty view, no error.
  WindowedHeight = kMenuBarRows;
  StartSession(&camera);
  GLint v[4];
  glGetIntegerv(GL_VIEWPORT, v);
  EXPECT_EQ(v[3], 0);
}

TEST_F(RenderPrepareTest, ReportSequenceAndFractions) {
  struct Case {
    bool camera, high, low;
    std::uint32_t items, portals;
  } cases[] = {{true, true, true, 0, 0}, {false, true, true, 0, 0}, {true, false, false, 40, 2},
               {false, false, true, 1, 1}, {true, true, false, 65, 0}};
  for (const Case& c : cases) {
    StartSession(c.camera ? &camera : nullptr);
    CloudHighParams.present = c.high;
    CloudLowParams.present = c.low;
    gItemCount = c.items;
    gPortalCount = c.portals;
    reports.clear();
    ASSERT_EQ(RenderPrepare(c.camera ? &camera : nullptr), 1u);
    EXPECT_EQ(reports, Expected(c.camera, c.high, c.low && textureShaders, c.items, c.portals))
        << c.items << " items";
    float last = 0;
    for (const Report& r : reports) {
      EXPECT_GE(r.stage, 0.0f);
      EXPECT_LE(r.stage, 1.0f);
      EXPECT_GE(r.overall, last) << r.label;
      EXPECT_LE(r.overall, 1.0f);
      last = r.overall;
    }
    EXPECT_EQ(PrepPbuffer.valid, 0u);
    EXPECT_EQ(ScratchBlock.block.base, nullptr);
    EXPECT_EQ(gSceneBox.max[0], c.items == 0 ? 0.0f : -1e6f);
  }
}

TEST_F(RenderPrepareTest, StopAtEachReportUnwinds) {
  MultiSampleMode = 1;  // the off-screen buffer is made, and must be dropped
  StartSession(&camera);
  CloudHighParams.present = 0;  // the cloud stages are covered above
  CloudLowParams.present = 0;
  gItemCount = 33;
  ASSERT_EQ(RenderPrepare(&camera), 1u);
  const std::size_t total = reports.size();
  ASSERT_EQ(total, Expected(true, false, false, 33, 0).size());
  for (std::size_t k = 0; k < total; ++k) {
    StartSession(&camera);
    gItemCount = 33;
    reports.clear();
    stopAt = static_cast<int>(k);
    FxFailed = 1;  // a failure of the previous session: cleared once the geometry is final
    EXPECT_EQ(RenderPrepare(&camera), 0u) << k;
    EXPECT_EQ(reports.size(), k + 1);
    EXPECT_EQ(PrepPbuffer.valid, 0u);
    EXPECT_EQ(PrepPbuffer.buffer, nullptr);
    EXPECT_EQ(ScratchBlock.block.base, nullptr);
    EXPECT_EQ(FxFailed, 0u);
    EXPECT_EQ(gGeometryBatchBuffer.finalised, 1u);  // the final storage stays
  }
  stopAt = -1;
  StartSession(&camera);
  EXPECT_EQ(RenderPrepare(&camera), 1u);
}

TEST_F(RenderPrepareTest, FinalStorageHoldsWhatStagingHeld) {
  for (const std::uint32_t floats : {0u, 3u, 6000u}) {
    StartSession(nullptr);
    GeometryBatchBuffer& b = gGeometryBatchBuffer;
    b.floatCount = b.indexCount = 0;  // no puff meshes: only this content
    for (std::uint32_t i = 0; i < floats; ++i) b.vertices[i] = 0.5f * float(i);
    for (std::uint32_t i = 0; i < floats / 3; ++i) b.indices[i] = std::uint16_t(i * 7);
    b.floatCount = floats;
    b.indexCount = floats / 3;
    ASSERT_EQ(RenderPrepare(nullptr), 1u);
    EXPECT_EQ(b.finalised, 1u);
    EXPECT_EQ(b.memoryKind, textureShaders ? kBatchMemoryVarHigh : kBatchMemoryOrdinary);
    ASSERT_NE(b.vertices, nullptr);
    ASSERT_NE(b.indices, nullptr);
    EXPECT_EQ(b.vertexBytes, 4 * floats);
    EXPECT_EQ(b.indexBytes, 2 * (floats / 3));
    for (std::uint32_t i = 0; i < floats; ++i) ASSERT_EQ(b.vertices[i], 0.5f * float(i));
    for (std::uint32_t i = 0; i < floats / 3; ++i) ASSERT_EQ(b.indices[i], i * 7);
    EXPECT_EQ(BatchVertexBase, b.vertices);
  }
}

TEST_F(RenderPrepareTest, NoiseTablesBuiltOncePerRun) {
  StartSession(nullptr);
  ASSERT_EQ(RenderPrepare(nullptr), 1u);
  const float* t1 = gNoiseGenerator.noise1D.table.data;
  const float* t2 = gNoiseGenerator.noise2D.table.data;
  const float* t3 = gNoiseGenerator.noise3D.volume.data;
  ASSERT_NE(t1, nullptr);
  ASSERT_NE(t2, nullptr);
  ASSERT_NE(t3, nullptr);
  // Marks that a second build would overwrite.
  const float saved[3] = {t1[5], t2[5], t3[5]};
  gNoiseGenerator.noise1D.table.data[5] = 77.0f;
  gNoiseGenerator.noise2D.table.data[5] = 77.0f;
  gNoiseGenerator.noise3D.volume.data[5] = 77.0f;
  StartSession(nullptr);
  ASSERT_EQ(RenderPrepare(nullptr), 1u);
  EXPECT_EQ(t1[5], 77.0f);
  EXPECT_EQ(t2[5], 77.0f);
  EXPECT_EQ(t3[5], 77.0f);
  gNoiseGenerator.noise1D.table.data[5] = saved[0];
  gNoiseGenerator.noise2D.table.data[5] = saved[1];
  gNoiseGenerator.noise3D.volume.data[5] = saved[2];
  EXPECT_EQ(gNoiseGenerator.noise1D.table.data, t1);
  EXPECT_EQ(gNoiseGenerator.noise2D.table.data, t2);
  EXPECT_EQ(gNoiseGenerator.noise3D.volume.data, t3);
}

GLint Param(GLenum target, const TextureState& s, GLenum name) {
  glBindTexture(target, TextureNameTable[s.slot]);
  GLint v = 0;
  glGetTexParameteriv(target, name, &v);
  return v;
}

TEST_F(RenderPrepareTest, EnvironmentTexturesUploadedAndFreed) {
  StartSession(nullptr);
  CloudLowParams.present = 0;
  ASSERT_EQ(RenderPrepare(nullptr), 1u);
  const EnvironmentState& s = gEnvironmentState;
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(Param(GL_TEXTURE_2D, s.highCloudTexture.state, GL_TEXTURE_MIN_FILTER),
            GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_2D, s.highCloudTexture.state, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, s.highCloudTexture.state, GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_2D, FogTexture.state, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_NE(Param(GL_TEXTURE_2D, FogTexture.state, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Param(GL_TEXTURE_CUBE_MAP, s.cloudCube.state, GL_TEXTURE_MIN_FILTER),
            GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Param(GL_TEXTURE_CUBE_MAP, gSkyModel.cube.state, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  EXPECT_EQ(s.highCloudTexture.pixels.data, nullptr);
  EXPECT_EQ(FogTexture.pixels.data, nullptr);
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(s.cloudCube.faces[f].data, nullptr);
    EXPECT_EQ(gSkyModel.cube.faces[f].data, nullptr);
  }
}

// The sky pass list: dome, code 6, then the high cloud layer's entries of this board (code 5
// with four units and the combiners, else 3 and 4) exactly when the world has high clouds,
// in the first list (as the skins generation finds it) and in the final one.
TEST_F(RenderPrepareTest, SkyPassListHasTheHighCloudLayerOfAWorldWithOne) {
  const bool combiners = HasExtension(kExtRegisterCombiners2) != 0 && TextureUnitCount == 4;
  const std::vector<std::uint32_t> layer = combiners ? std::vector<std::uint32_t>{5}
                                                     : std::vector<std::uint32_t>{3, 4};
  auto codes = [] {
    std::vector<std::uint32_t> c;
    for (std::uint32_t i = 0; i < gSkyPassList.count; ++i)
      c.push_back(gSkyPassList.entries[i].code);
    return c;
  };
  for (const std::int32_t high : {1, 0}) {
    SCOPED_TRACE(high);
    std::vector<std::uint32_t> want = {1, 6};
    if (high != 0) want.insert(want.end(), layer.begin(), layer.end());
    StartSession(nullptr);
    CloudHighParams.present = high;
    CloudLowParams.present = 0;
    gSkyPassList.count = 0;
    ASSERT_EQ(RenderPrepare(nullptr), 1u);
    EXPECT_EQ(codes(), want);
    const auto generate = std::find_if(reports.begin(), reports.end(), [](const Report& r) {
      return r.label == "Shaders / Skins Generate";
    });
    ASSERT_NE(generate, reports.end());
    stopAt = static_cast<int>(generate - reports.begin());
    StartSession(nullptr);
    CloudHighParams.present = high;
    CloudLowParams.present = 0;
    gSkyPassList.count = 0;
    reports.clear();
    ASSERT_EQ(RenderPrepare(nullptr), 0u);
    EXPECT_EQ(codes(), want);
    stopAt = -1;
  }
}

// The low clouds lie over the ground plan of the scene the build produced, widened by 1.2
// about its middle and at least 2800 wide (here in y); a world without items has the scene
// grid's.
TEST_F(RenderPrepareTest, LowCloudLayerSpansTheScene) {
  if (!textureShaders) GTEST_SKIP() << "no low clouds without texture shaders";
  const struct {
    bool built;
    float extent[4];
  } cases[] = {{true, {-1400, 3400, -1200, 1600}},
               {false, {-16384 * 1.2f, 16384 * 1.2f, -16384 * 1.2f, 16384 * 1.2f}}};
  for (const auto& c : cases) {
    StartSession(nullptr);
    CloudHighParams.present = 0;
    if (c.built) {
      const float box[6] = {-1000, 3000, 0, 400, 5, 50};
      SceneBoxWiden(box);
    }
    ASSERT_EQ(RenderPrepare(nullptr), 1u);
    const float* e = gEnvironmentState.cloudLow.extent;
    for (int a = 0; a < 4; ++a) EXPECT_FLOAT_EQ(e[a], c.extent[a]) << c.built << " " << a;
  }
}

TEST_F(RenderPrepareTest, SkyAndPlanetsOnlyPrepareAndDraw) {
  StartSession(&camera);
  CloudHighParams.present = CloudLowParams.present = 0;
  SceneTexture planet;
  Texture2DResize(planet.colour, 4, 3, 3);
  auto* texels = static_cast<std::uint8_t*>(TextureData(planet.colour));
  for (int i = 0; i < 64; ++i) texels[4 * i] = 250, texels[4 * i + 1] = 40, texels[4 * i + 3] = 0;
  planet.brightness = 1, planet.intensity = 0, planet.ringSize = 0.2f;
  planet.fadeNight = 0, planet.fadeDay = 1, planet.angularSize = 30;
  const float d[3] = {0, 1, 0};
  std::copy(d, d + 3, planet.direction);
  gPlanetGroups.groups[0] = PlanetGroup{{&planet}, 1, {}};
  gPlanetGroups.count = 1;
  ASSERT_EQ(RenderPrepare(&camera), 1u);
  EXPECT_NEAR(gPlanetGroups.groups[0].direction[1], 1.0f, 1e-3);  // the kernel normalises approximately
  EXPECT_EQ(gSceneBox.max[0], 0.0f);
  EXPECT_EQ(gGeometryBatchBuffer.finalised, 1u);

  // The loading frame leaves the viewport 112 rows short: the test's view is the whole window.
  Camera view;
  CameraSetPosition(view, 0, 0, 0);
  CameraSetDirection(view, 0, 1, 0);
  view.focalAngle = 60;
  glViewport(0, 0, test::kGlTestWindowSize, test::kGlTestWindowSize);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  CameraApply(view);
  EXPECT_EQ(SceneDraw(&view, 0, nullptr), 0u);
  CameraRestore(view);
  const test::Rgba centre = test::ReadPixel(32, 32);
  EXPECT_GT(centre.r, 100);  // the planet's red disc, in front of the sky
  EXPECT_GT(int(centre.r), int(centre.g) + 50);
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
  gPlanetGroups.count = 0;
  gPlanetGroups.groups[0] = PlanetGroup{};
}

}  // namespace
}  // namespace veskor

namespace veskor {
namespace {

std::uint32_t gPreviews = 0;
void CountPreviews(ScenePass pass, std::uint32_t, std::uint32_t flags) {
  if (pass == ScenePass::kWalk && (flags & kSceneModeMask) == kSceneModePreview) ++gPreviews;
}

// "Shaders / Render" draws the preview at items 0, 128 and 256 of 300 (not at 127, 129 or
// 299), only with a camera and a callback; its reports stay those of every 32nd item.
TEST_F(RenderPrepareTest, PreviewEvery128ItemsOnlyWithACameraAndACallback) {
  SceneDrawPassHook = CountPreviews;
  const struct {
    bool camera, callback;
    std::uint32_t items, previews;
  } cases[] = {{true, true, 300, 3}, {false, true, 300, 0}, {true, false, 300, 0},
               {true, true, 256, 2}, {true, true, 257, 3},  {true, true, 1, 1}};
  for (const auto& c : cases) {
    Camera* view = c.camera ? &camera : nullptr;
    StartSession(view, c.callback);
    CloudHighParams.present = CloudLowParams.present = 0;
    gItemCount = c.items;
    reports.clear();
    gPreviews = 0;
    ASSERT_EQ(RenderPrepare(view), 1u);
    EXPECT_EQ(gPreviews, c.previews) << c.items << c.camera << c.callback;
    if (c.callback) {
      EXPECT_EQ(reports, Expected(c.camera, false, false, c.items, 0));
    }
  }
  SceneDrawPassHook = nullptr;
}

}  // namespace
}  // namespace veskor

namespace veskor {
namespace {

struct AtWater {
  bool seen;
  void* scratch;
  std::uint32_t pbufferValid, skyCount;
  std::uint32_t weldUsed;
  std::uint32_t skinCounter;
};
AtWater gAtWater{};
std::int32_t WatchWater(const char* label, float, float) {
  if (std::string(label) == "Shaders / Water")
    gAtWater = {true, ScratchBlock.block.base, PrepPbuffer.valid, gSkyPassList.count,
                gGeometryBatchBuffer.weldTable.table.entries.block.usedBytes, SkinCounter};
  return 1;
}

// What "Shaders / Render" leaves for the stages after it: with multisampling on, no
// off-screen buffer; no scratch block; an empty weld table; the sky list rebuilt from dome and
// code 6 only (no item asks for the cloud layer); every skin generated.
TEST_F(RenderPrepareTest, TheRenderStageEndsWithItsReleasesAndTheSkyList) {
  MultiSampleMode = 1;
  StartSession(&camera);
  gBuildProgress.callback = WatchWater;
  CloudHighParams.present = CloudLowParams.present = 0;
  gItemCount = 5;
  gGeometryBatchBuffer.weldTable.table.entries.block.usedBytes = 64;  // a weld of the build
  gAtWater = {};
  ASSERT_EQ(RenderPrepare(&camera), 1u);
  ASSERT_TRUE(gAtWater.seen);
  EXPECT_EQ(gAtWater.scratch, nullptr);
  EXPECT_EQ(gAtWater.pbufferValid, 0u);
  EXPECT_EQ(gAtWater.skyCount, 2u);
  EXPECT_EQ(gAtWater.weldUsed, 0u);
  EXPECT_EQ(gAtWater.skinCounter, 5u);
  gBuildProgress.callback = nullptr;
}

}  // namespace
}  // namespace veskor
