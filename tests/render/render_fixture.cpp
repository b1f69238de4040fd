#include "render_fixture.h"

#include "environment/environment_params.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/scene_draw.h"

namespace veskor::test {

std::vector<Report> RenderSessionTest::reports;
int RenderSessionTest::stopAt = -1;

std::int32_t RenderSessionTest::Record(const char* label, float stage, float overall) {
  reports.push_back({label, stage, overall});
  return static_cast<int>(reports.size()) - 1 == stopAt ? 0 : 1;
}

void RenderSessionTest::SetUp() {
  GlTest::SetUp();
  LoadWglExtensions();
  MainPlaneExtensionWord = LoadGlExtensions();
  textureShaders = HasExtension(kExtTextureShader) != 0;
  if (TextureNameTableCount == 0) InitTextureNames();
  plane.fullScreenWidth = 640;
  plane.fullScreenHeight = 480;
  FullScreenMode = 0;
  WindowedWidth = kGlTestWindowSize;
  WindowedHeight = kGlTestWindowSize + kMenuBarRows;
  MultiSampleMode = 0;
  MultiSampleQuality = 0;
  ShowCloudPuffs = ShowSunFlare = 1;
  if (gSceneGrid.fine.cells == nullptr)
    SpatialGridInit(gSceneGrid, &plane, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  RenderViewPlane = &plane;
  EnvironmentBindings bindings;
  EnvironmentDefaults(bindings);
  // Small clouds: the cloud stages run, quickly.
  CloudLowParams.coverage = 0.1f;
  NormalizeSunDirection();
  UpdateSkyTurbidity();
  FogRecompute();
  reports.clear();
  stopAt = -1;
  camera.position[0] = 0, camera.position[1] = -50, camera.position[2] = 20;
  camera.depth = 2000;
}

void RenderSessionTest::TearDown() {
  RenderViewPlane = nullptr;
  GlTest::TearDown();
}

void RenderSessionTest::StartSession(Camera* sessionCamera, bool withCallback) {
  RenderSessionInit(&lists[0], 0.002f, &lists[1], 0.002f, &lists[2], 0.002f, &lists[3], 0.002f,
                    nullptr, sessionCamera, 1.0f, 1.0f, withCallback ? &Record : nullptr, 0, 6, 0,
                    10);
}

}  // namespace veskor::test
