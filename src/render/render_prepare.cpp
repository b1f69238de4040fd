#include "render/render_prepare.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "environment/cloud_high.h"
#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/planets.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "foundation/frame_clock.h"
#include "geometry/build_progress.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_format.h"
#include "gfx/viewport_rect.h"
#include "gui/screen_planes.h"
#include "language/fx_call_lists.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_generator.h"
#include "mapengine/noise_tables.h"
#include "platform/gl.h"
#include "render/fog_texture.h"
#include "geometry/item_images.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/scene_draw.h"
#include "render/shader_stages.h"

namespace veskor {

Pbuffer PrepPbuffer;
PatchBorderList ScratchBlock{};
std::uint32_t ItemSunOrder[kItemMax] = {};
double EnvironmentPrepareTime = 0;
double ShadingPrepareTime = 0;
std::uint32_t FxFailed = 0;

namespace {

// Every way out of a call: the two fx contexts give back their maps, the off-screen buffer
// and the scratch block go.
std::uint32_t Unwind(std::uint32_t result, FxExecContext& global, FxExecContext& item) {
  MapListRelease(global);
  MapListRelease(item);
  ReleasePrepareScratch();
  return result;
}

void LoadingScene(Camera& camera) { DrawProgressScene(camera, kSceneModeLoading, true); }

void OutlineView() {
  if (MultiSampleMode != 0 && RenderViewPlane != nullptr && PrepPbuffer.valid == 0)
    PbufferCreate(PrepPbuffer, RenderViewPlane, kPrepPbufferWidth, kPrepPbufferHeight);
  PatchBorderListReserve(ScratchBlock, kItemMax, kScratchPoolFloats);
  // One context: the calls made on the buffer's client arrays and on the window's are the
  // same client state, made in their order.
  if (MultiSampleMode != 0) {
    DisableVertexArrays(gGeometryBatchBuffer);
    if (PbufferMakeCurrent(PrepPbuffer) != 0) {
      EnableVertexArrays(gGeometryBatchBuffer);
      PbufferRestoreWindow(PrepPbuffer);
    }
  } else {
    EnableVertexArrays(gGeometryBatchBuffer);
  }
  NoiseGenerator& noise = gNoiseGenerator;
  if (noise.noise1D.table.data == nullptr) BuildNoiseTable1D(noise.noise1D);
  if (noise.noise2D.table.data == nullptr) BuildNoiseTable2D(noise.noise2D);
  if (noise.noise3D.volume.data == nullptr) BuildNoiseVolume3D(noise.noise3D);
}

void Moons() {
  const std::uint32_t groups = std::min(gPlanetGroups.count, kPlanetGroupMax);
  for (std::uint32_t g = 0; g < groups; ++g) {
    PlanetGroup& group = gPlanetGroups.groups[g];
    const std::uint32_t n = std::min(group.count, kPlanetGroupCapacity);
    float centre[3] = {0, 0, 0};
    for (std::uint32_t i = 0; i < n; ++i)
      for (int a = 0; a < 3; ++a) centre[a] += group.planets[i]->direction[a];
    gKernelTable.KernelNormalize3(centre);
    std::copy(centre, centre + 3, group.direction);
    float right[3], forward[3], up[3];
    PlanetGroupFrame(centre, right, forward, up);
    for (std::uint32_t i = 0; i < n; ++i)
      BuildPlanetTextures(*group.planets[i], SunDirection, right, forward, up);
  }
}

void Sky() {
  TextureCubeResize(gSkyModel.cube, 3, 7);
  BuildSkyMap(gSkyModel, SunDirection, SkyModelTurbidity,
              RotationCacheGet(SkyParams.domeColorCorrection),
              RotationCacheGet(SkyParams.illuColorCorrection),
              RotationCacheGet(SunIlluColorCorrection));
}

void CloudsHigh() {
  const CloudHighParameters& p = CloudHighParams;
  GenerateCloudHigh(gEnvironmentState, 10, 7, p.altitude, p.velocity, p.cloudClass, p.aspect,
                    p.coverage, SunDirection);
}

void CloudsLow() {
  const CloudLowParameters& p = CloudLowParams;
  // Over the ground plan of the scene the build produced (widened on every axis at once); a
  // world without items has the scene grid's.
  const SceneBox& scene = gSceneBox;
  const float* grid = gSceneGrid.worldBox;
  const float area[4] = {scene.min[0], scene.min[1], scene.max[0], scene.max[1]};
  const float gridArea[4] = {grid[0], grid[1], grid[3], grid[4]};
  const bool built = scene.min[0] <= scene.max[0];
  const std::uint32_t offscreen = PbufferMakeCurrent(PrepPbuffer);
  GenerateCloudLow(gEnvironmentState, built ? area : gridArea, p.altitude, p.velocity,
                   static_cast<std::uint32_t>(p.cloudClass), static_cast<std::uint32_t>(p.aspect),
                   p.coverage, p.opacity, p.granularity, SunDirection);
  if (offscreen != 0) PbufferRestoreWindow(PrepPbuffer);
}

constexpr std::uint32_t kWrapRepeat = kWrapRepeatS | kWrapRepeatT;

// The environment textures to the GL, their CPU copies freed (the low-cloud shadow keeps its
// pixels: the cloud passes read them).
void UploadEnvironment() {
  EnvironmentState& state = gEnvironmentState;
  Texture2DSetFilter(state.highCloudTexture, kFilterTrilinear);
  Texture2DSetWrap(state.highCloudTexture, kWrapRepeat);
  FloatTexture2DBind(state.highCloudTexture, kModeKeepEnvironment, 0);
  FloatTexture2D& shadow = state.cloudLow.shadowTexture;
  Texture2DSetFilter(shadow, kFilterBilinear);
  Texture2DSetWrap(shadow, kWrapRepeat);
  FloatTexture2DBind(shadow, kModeKeepEnvironment, 0);
  TextureCubeSetFilter(state.cloudCube, kFilterTrilinear);
  TextureCubeSetWrap(state.cloudCube, 0);
  TextureCubeBind(state.cloudCube, kModeKeepEnvironment, 0);
  Texture2DSetFilter(FogTexture, kFilterBilinear);
  Texture2DSetWrap(FogTexture, 0);
  FloatTexture2DBind(FogTexture, kModeKeepEnvironment, 0);
  TextureCubeSetFilter(gSkyModel.cube, kFilterBilinear);
  TextureCubeBind(gSkyModel.cube, kModeKeepEnvironment, 0);
  TexturePixelsRelease(state.highCloudTexture.pixels);
  TextureCubeFreeFaces(state.cloudCube);
  TexturePixelsRelease(FogTexture.pixels);
  TextureCubeFreeFaces(gSkyModel.cube);
}

// The environment group: each stage opens with its report.
bool EnvironmentGroup() {
  const double start = NowSeconds();
  if (!PrepareReport(kStageMoons, 0.0f, 0.15f)) return false;
  Moons();
  if (!PrepareReport(kStageFog, 0.25f, 0.175f)) return false;
  FogTextureFill();
  if (!PrepareReport(kStageSky, 0.5f, 0.2f)) return false;
  Sky();
  if (CloudHighParams.present != 0) {
    if (!PrepareReport(kStageCloudsHigh, 0.75f, 0.225f)) return false;
    CloudsHigh();
  }
  if (HasExtension(kExtTextureShader) != 0 && CloudLowParams.present != 0) {
    if (!PrepareReport(kStageCloudsLow, 0.875f, 0.2375f)) return false;
    CloudsLow();
  }
  EnvironmentPrepareTime = NowSeconds() - start;
  return true;
}

float SmallestProjection(std::uint32_t item, const float* sun) {
  float key = std::numeric_limits<float>::max();
  const ItemDrawRecord& record = gBatchItemRecords[gItemBatchIndex[item]];
  const std::uint32_t stride = VertexFormatFloats(record.format);
  const float* base = gGeometryBatchBuffer.vertices;
  if (stride == 0 || base == nullptr) return key;
  const float* m = gItemTargets[item] != nullptr
                       ? TransformNodeMatrix(gItemTargets[item]->transform)
                       : nullptr;
  auto scan = [&](const BatchRange& range) {
    const float* v = base + range.firstFloat;
    for (std::uint32_t f = 0; f + stride <= range.floatCount; f += stride, v += stride) {
      float p[3] = {v[0], v[1], v[2]};
      if (m != nullptr)
        for (int a = 0; a < 3; ++a) p[a] = m[a] * v[0] + m[4 + a] * v[1] + m[8 + a] * v[2] + m[12 + a];
      key = std::min(key, p[0] * sun[0] + p[1] * sun[1] + p[2] * sun[2]);
    }
  };
  for (std::uint32_t r = 0; r < record.rangeCount && r < 4; ++r) scan(record.mainRanges[r]);
  scan(record.capA);
  scan(record.capB);
  return key;
}

}  // namespace

void DrawProgressScene(Camera& camera, std::uint32_t sceneMode, bool filterHint) {
  DisableVertexArrays(gGeometryBatchBuffer);
  EnableVertexArrays(gGeometryBatchBuffer);
  glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  SetLoadingViewport();
  glCullFace(GL_FRONT);
  glFrontFace(GL_CCW);
  glDisable(GL_TEXTURE_2D);
  CameraApply(camera);
  // Only where the driver lists the extension: elsewhere the token is not known.
  if (filterHint && MultiSampleQuality != 0 && HasExtension(kExtMultisampleFilterHint) != 0)
    glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
  SceneDraw(&camera, sceneMode, nullptr);
  CameraRestore(camera);
  SetWholeWindowViewport();
  DrawScreenPlanes();
  SwapWindowBuffers();
}

void ReleasePrepareScratch() {
  PbufferDestroy(PrepPbuffer);
  PatchBorderListRelease(ScratchBlock);
}

void SortItemsAlongSun(const float* sunDirection, std::uint32_t* out) {
  const std::uint32_t n = std::min(gItemCount, kItemMax);
  static float keys[kItemMax];
  for (std::uint32_t k = 0; k < n; ++k) {
    keys[k] = SmallestProjection(k, sunDirection);
    out[k] = k;
  }
  std::sort(out, out + n, [](std::uint32_t a, std::uint32_t b) {
    return keys[a] < keys[b] || (keys[a] == keys[b] && a > b);
  });
}

void TransformVertexGrids(VertexGrid& x, VertexGrid& y, VertexGrid& z, const float* matrix) {
  const auto a = static_cast<std::uint8_t>(x.log2Width);
  const auto b = static_cast<std::uint8_t>(x.log2Height);
  const KernelTable& k = gKernelTable;
  k.GridTransform(a, b, matrix, x.data, y.data, z.data, x.data, y.data, z.data);
  if (x.companion[1] != nullptr)
    k.GridTransformVectors(a, b, matrix, x.companion[1], y.companion[1], z.companion[1],
                           x.companion[1], y.companion[1], z.companion[1]);
}

std::uint32_t RenderPrepare(Camera* camera) {
  RenderPrepareBuildStatics();
  ScratchBlock = PatchBorderList{};
  PatchBorderListInit(ScratchBlock);
  // The shared fx calls' context and the items' context, made for this call.
  FxExecContext global;
  FxExecContext item;

  GeometryBatchBufferFinalize(gGeometryBatchBuffer);
  FxFailed = 0;
  if (camera != nullptr) {
    LoadingScene(*camera);
    if (!PrepareReport(kStageOutlineView, 0.0f, 0.0f)) return Unwind(0, global, item);
  }
  OutlineView();
  if (!EnvironmentGroup()) return Unwind(0, global, item);

  const double shadingStart = NowSeconds();
  UploadEnvironment();
  BuildSkyPassList(kSkyFlagDome | kSkyFlag2 | HighCloudSkyFlag());
  if (gItemCount == 0) gSceneBox = SceneBox{};
  SortItemsAlongSun(SunDirection, ItemSunOrder);

  if (SkinsGenerateStage() == 0 || SkinsConnectStage(global) == 0 ||
      ShadersRenderStage(camera, item, global) == 0 ||
      ShadersWaterStage() == 0 || ShadersEnvironmentStage() == 0)
    return Unwind(0, global, item);

  glClearColor(0, 0, 0, 0);
  FrameClockTick();
  ShadingPrepareTime = NowSeconds() - shadingStart;
  return Unwind(1, global, item);
}

}  // namespace veskor
