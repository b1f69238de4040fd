// The per-frame scene draw on Mesa, with the compatibility layer on and off: the passes each
// mode and flag word runs, in their order (seen through the pass hook), the GL state a frame
// leaves, and the per-world reset.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_passes.h"
#include "geometry/portal.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "render/object_draw.h"
#include "render/water_surface.h"
#include "gfx/texture_format.h"
#include "geometry/item_images.h"
#include "render/render_prepare.h"
#include "render/scene_draw.h"
#include "render_fixture.h"

namespace veskor {
namespace {

using P = ScenePass;
using Step = std::tuple<P, std::uint32_t, std::uint32_t>;
std::vector<Step> steps;
void Hook(ScenePass pass, std::uint32_t index, std::uint32_t flags) {
  steps.emplace_back(pass, index, flags);
}

class SceneDrawTest : public test::RenderSessionTest {
 protected:
  void SetUp() override {
    RenderSessionTest::SetUp();
    StartSession(nullptr);
    CloudHighParams.present = CloudLowParams.present = 0;
    ASSERT_EQ(RenderPrepare(nullptr), 1u);
    // Two mirrors, the first in view, the second behind the camera; one planet group without
    // planets; light shafts on.
    gPortalCount = 2;
    MakePortal(gPortals[0], -10, -10, 10, 10);
    MakePortal(gPortals[1], -10, -200, 10, -150);
    gPlanetGroups.count = 1;
    LightShaftsEnabled = 1;
    skyCount = gSkyPassList.count;
    steps.clear();
    SceneDrawPassHook = &Hook;
    CameraSetPosition(camera, 0, -40, 15);
    CameraSetDirection(camera, 0, 1, -0.3f);
    camera.focalAngle = 60;
  }
  static void MakePortal(Portal& p, float x0, float y0, float x1, float y1) {
    p.corner0[0] = x0, p.corner0[1] = y0, p.corner0[2] = 0;
    p.corner1[0] = x1, p.corner1[1] = y1, p.corner1[2] = 0;
    p.bumpScale = 0.5f;
    Texture2DResize(p.reflection, 4, kPortalTextureLog2Size, kPortalTextureLog2Size);
    Texture2DBind(p.reflection, kModeKeepEnvironment, 0);
    MemBlockRelease(p.reflection.pixels.block);
    p.reflection.pixels.data = nullptr;
  }
  void TearDown() override {
    SceneDrawPassHook = nullptr;
    gPortalCount = 0;
    gPlanetGroups.count = 0;
    RenderSessionTest::TearDown();
  }

  std::uint32_t Draw(std::uint32_t flags) {
    glClearColor(0, 0, 0, 0);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    CameraApply(camera);
    std::uint32_t count = 99;
    const std::uint32_t r = SceneDraw(&camera, flags, &count);
    CameraRestore(camera);
    EXPECT_EQ(count, 0u);  // nothing registered in the grid
    return r;
  }

  // The passes of the full view, from the pass list of the scene draw, written out here.
  void FullView(std::vector<Step>& s, std::uint32_t flags) const {
    const bool secondary = flags & 0x40, frozen = flags & 0x10;
    const bool puffs = textureShaders && ShowCloudPuffs;
    if (!secondary) {
      const std::uint32_t mirror = (flags & 0x10) | 0x60;
      s.emplace_back(P::kMirrorBegin, 0, 0);
      s.emplace_back(P::kMirrorView, 0, mirror);
      FullView(s, mirror);
      s.emplace_back(P::kMirrorOverlay, 0, 0);
      s.emplace_back(P::kMirrorFlare, 0, 0);
      s.emplace_back(P::kMirrorCopy, 0, 0);
      s.emplace_back(P::kMirrorBegin, 1, 0);
      s.emplace_back(P::kMirrorCopy, 1, 0);
    }
    s.emplace_back(P::kPlanets, 0, 0);
    s.emplace_back(P::kWalk, 0, flags);
    if (!frozen) s.emplace_back(P::kDrift, 0, 0);
    if (!secondary)
      for (std::uint32_t i = 0; i < 2; ++i) s.emplace_back(frozen ? P::kWaterSimple : P::kWater, i, 0);
    for (std::uint32_t i = 0; i < skyCount; ++i) s.emplace_back(P::kSkyLayer, i, 0);
    if (puffs) s.emplace_back(P::kLightShafts, 0, 0);
    if (puffs && !secondary) {
      s.emplace_back(P::kPuffBounds, 0, 0);
      s.emplace_back(P::kPuffs, 0, flags);
    }
    if (puffs && secondary) s.emplace_back(P::kPuffsSecondary, 0, flags);
    if (!secondary && ShowSunFlare) s.emplace_back(P::kSunFlare, 0, 0);
  }

  std::uint32_t skyCount = 0;
};

TEST_F(SceneDrawTest, FullViewPassOrder) {
  for (const std::uint32_t flags : {0x0u, 0x10u, 0x40u, 0x50u, 0x5u, 0x7u}) {
    for (const std::uint32_t puffs : {1u, 0u}) {
      for (const std::uint32_t flare : {1u, 0u}) {
        ShowCloudPuffs = puffs, ShowSunFlare = flare;
        steps.clear();
        EXPECT_EQ(Draw(flags), 0u);
        std::vector<Step> expected;
        FullView(expected, flags);
        EXPECT_EQ(steps, expected) << "flags " << flags << " puffs " << puffs << " flare " << flare;
        EXPECT_EQ(CurrentPortalIndex, -1);
      }
    }
  }
}

TEST_F(SceneDrawTest, ReducedPreviewAndCellModes) {
  for (const std::uint32_t flags : {1u, 3u, 0x11u, 0x43u, 2u, 0xAu, 4u, 0x14u}) {
    ShowCloudPuffs = 0;  // the reduced views do not consult it
    steps.clear();
    Draw(flags);
    const std::uint32_t mode = flags & 7;
    std::vector<Step> expected;
    if (mode != 2 && !(flags & 0x10)) expected.emplace_back(P::kDrift, 0, 0);
    expected.emplace_back(P::kWalk, 0, flags);
    if ((mode == 1 || mode == 3) && textureShaders && !(flags & 0x40)) {
      expected.emplace_back(P::kPuffBounds, 0, 0);
      expected.emplace_back(P::kPuffs, 0, flags);
    }
    if (mode == 4)
      for (std::uint32_t i = 0; i < skyCount; ++i) expected.emplace_back(P::kSkyLayer, i, 0);
    EXPECT_EQ(steps, expected) << "flags " << flags;
  }
}

TEST_F(SceneDrawTest, FrozenTimeKeepsDriftAndWaterPhase) {
  SetWater(1, 1, 0.5f, 2.0f, -3.0f);
  Draw(0);
  const float phase[2] = {WaterPhase[0], WaterPhase[1]};
  const float drift[2] = {gEnvironmentState.highOffset[0], gEnvironmentState.highOffset[1]};
  EXPECT_FLOAT_EQ(phase[1], -1.5f * phase[0]);
  gEnvironmentState.highOffset[0] += 1;
  WaterPhase[0] += 1;
  Draw(0x10);
  EXPECT_EQ(WaterPhase[0], phase[0] + 1);
  EXPECT_EQ(gEnvironmentState.highOffset[0], drift[0] + 1);
}

struct GlState {
  GLboolean fog, blend, depth, stencil, lighting, vertexArray, normalArray, texCoordArray;
  GLint active, clientActive, modelview, projection, texture;
  bool operator==(const GlState&) const = default;
};
GlState Capture() {
  GlState s{};
  s.fog = glIsEnabled(GL_FOG), s.blend = glIsEnabled(GL_BLEND);
  s.depth = glIsEnabled(GL_DEPTH_TEST), s.stencil = glIsEnabled(GL_STENCIL_TEST);
  s.lighting = glIsEnabled(GL_LIGHTING);
  s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY), s.normalArray = glIsEnabled(GL_NORMAL_ARRAY);
  s.texCoordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &s.active);
  glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &s.clientActive);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelview);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projection);
  glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &s.texture);
  return s;
}

TEST_F(SceneDrawTest, FrameLeavesGlStateAsFound) {
  SceneDrawPassHook = nullptr;
  // Looking at the sun, so that the flare reaches its drawing.
  CameraSetDirection(camera, -SunDirection[0], -SunDirection[1], -SunDirection[2]);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glActiveTexture(GL_TEXTURE0);
  for (const bool fog : {false, true}) {
    if (fog) glEnable(GL_FOG);
    else glDisable(GL_FOG);
    const GlState before = Capture();
    Draw(0);
    EXPECT_EQ(Capture(), before) << "fog " << fog;
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
  }
  glDisable(GL_FOG);
}

TEST_F(SceneDrawTest, StatsResetEmptiesPerWorldState) {
  RenderStatsReset();  // the fixture's mirrors
  Portal& p = gPortals[3];
  Texture2DResize(p.reflection, 4, 2, 2);
  FloatTexture2DRealloc(p.readBack[0], 1, 2, 2);
  p.polygonCount = 5;
  Camera view;
  p.viewCamera = &view;
  gEnvironmentState.puffStatA = 4;
  gEnvironmentState.cloudLow.puffCount = 0;
  const std::uint32_t usedSlots = TextureNamePool.freed.count;
  gGeometryBatchBuffer.waterBoxCount = 2;
  gSceneGrid.visitCounter = 17;
  CurrentPortalIndex = 1;
  RenderStatsReset();
  EXPECT_EQ(p.reflection.pixels.data, nullptr);
  EXPECT_EQ(p.reflection.state.hasSlot, 0u);
  EXPECT_EQ(p.reflection.state.dirty, 1u);
  EXPECT_EQ(p.readBack[0].pixels.data, nullptr);
  EXPECT_EQ(TextureNamePool.freed.count, usedSlots + 2);  // both names back in the pool
  EXPECT_EQ(p.polygonCount, 0u);
  EXPECT_EQ(p.viewCamera, nullptr);
  EXPECT_EQ(gEnvironmentState.puffStatA, 0u);
  EXPECT_EQ(gGeometryBatchBuffer.waterBoxCount, 0);
  EXPECT_EQ(gSceneGrid.visitCounter, 1u);
  EXPECT_EQ(CurrentPortalIndex, -1);
}

}  // namespace
}  // namespace veskor
