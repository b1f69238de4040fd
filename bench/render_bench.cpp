// The renderer's fog fill (256 x 256 texels and the curve), the set-up plus restore of each
// object pass code, and a frame of 200 quads, each a quarter of the screen, drawn through the
// pass list each board gives, into a buffer of 800 x 600 on llvmpipe (LP_NUM_THREADS pinned to
// 2 unless set). Run with VESKOR_GL_COMPAT=0 for the passes without the layer: single pass
// (code 2) and codes 4 with it, codes 0, 1, 3 and 5 without.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "environment/environment_state.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "render/fog_texture.h"
#include "render/object_passes.h"

#include "bench_gl.h"

namespace veskor {
namespace {

bool GlReady() { return BenchGlReady(); }

bool SinglePassBoard() {
  return TextureUnitCount == 4 && HasExtension(kExtRegisterCombiners2) != 0 &&
         HasExtension(kExtSecondaryColor) != 0;
}

// A quarter-screen quad in format 4, and a skin slot with small constant textures.
constexpr float kQuad[4][5] = {{-1, -1, 0, 0, 0}, {0, -1, 0, 1, 0}, {0, 0, 0, 1, 1}, {-1, 0, 0, 0, 1}};

void Constant(FloatTexture2D& t, std::uint32_t channels, float value) {
  FloatTexture2DRealloc(t, channels, 4, 4);
  auto* texels = static_cast<float*>(TextureData(t));
  std::fill(texels, texels + channels * 256, value);
}

struct Scene {
  std::unique_ptr<SkinSlot> slot = std::make_unique<SkinSlot>();
  Camera camera;
  Scene() {
    SkinTextureSet& t = slot->textureSets[0];
    Constant(t.light, 1, 0.5f);
    Constant(t.diffuse, 3, 0.4f);  // three channels, as the shading stage makes them
    Constant(t.emissive, 3, 0.2f);
    Constant(t.specular, 3, 0.3f);
    TextureCubeResize(slot->cube, 3, 2);
    for (TexturePixels& face : slot->cube.faces)
      std::fill(static_cast<float*>(face.data), static_cast<float*>(face.data) + 48, 0.5f);
    Constant(gEnvironmentState.cloudLow.shadowTexture, 1, 0.8f);
    FogTextureFill();
    CameraSetPosition(camera, 0, -500, 0);
    SessionCamera = &camera;
    gGeometryBatchBuffer.format = 4;
    gGeometryBatchBuffer.vertices = const_cast<float*>(&kQuad[0][0]);
    glVertexPointer(3, GL_FLOAT, 20, kQuad);
    glEnableClientState(GL_VERTEX_ARRAY);
  }
  ~Scene() {
    gGeometryBatchBuffer.vertices = nullptr;
    SessionCamera = nullptr;
  }
};

void BM_FogFill(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  for (auto _ : state) FogTextureFill();
}
BENCHMARK(BM_FogFill)->Unit(benchmark::kMillisecond);

void BM_PassSetupRestore(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  const auto code = static_cast<std::uint32_t>(state.range(0));
  if ((code == 2 || code == 4) && !SinglePassBoard())
    return state.SkipWithError("no register combiners without the layer");
  Scene scene;
  const BatchRange range{0, 20, 0, 6, kNoWaterBox, 0, 0, 0};
  ObjectPassList[0] = {code | kPassFog | kPassCloudShadow, nullptr};
  ObjectPassCount = 1;
  for (auto _ : state) {
    ObjectTexturePass(*scene.slot, scene.slot->textureSets[0], 0, range);
    RestoreObjectState(0);
  }
  glFinish();
}
BENCHMARK(BM_PassSetupRestore)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

void BM_FrameOf200Quads(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  OffscreenBuffer* target = OffscreenCreate(800, 600);
  if (target == nullptr) return state.SkipWithError("no off-screen buffer");
  OffscreenMakeCurrent(target);
  glViewport(0, 0, 800, 600);
  {
    Scene scene;
    // The lists BuildSkinPassList gives a reflecting item with fog and cloud shadow.
    const bool single = SinglePassBoard();
    const std::uint32_t codes[4] = {single ? 2u | kPassFog | kPassCloudShadow : 0u | kPassFog,
                                    single ? 6u : 1u | kPassFog, single ? 7u : 5u, 7u};
    const std::uint32_t count = single ? 2 : 3;
    const BatchRange range{0, 20, 0, 6, kNoWaterBox, 0, 0, 0};
    for (auto _ : state) {
      glClear(GL_COLOR_BUFFER_BIT);
      for (int q = 0; q < 200; ++q) {
        for (std::uint32_t p = 0; p < count; ++p) ObjectPassList[p] = {codes[p], nullptr};
        ObjectPassCount = count;
        for (std::uint32_t p = 0; p < count; ++p) {
          ObjectTexturePass(*scene.slot, scene.slot->textureSets[0], p, range);
          glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
          RestoreObjectState(p);
        }
        ObjectPassListClear();
      }
      glFinish();
    }
    state.SetLabel(single ? "single pass + reflection" : "light, diffuse, reflection");
  }
  OffscreenRestoreWindow();
  OffscreenDestroy(target);
}
BENCHMARK(BM_FrameOf200Quads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veskor
