#include "render/scene_draw.h"

#include "environment/cloud_drift.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/light_shafts.h"
#include "environment/puff_drawing.h"
#include "environment/puff_meshes.h"
#include "environment/puff_ray_query.h"
#include "environment/sky_passes.h"
#include "environment/sky_model.h"
#include "environment/sun_flare.h"
#include "foundation/frame_clock.h"
#include "geometry/portal.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_object.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/object_draw.h"
#include "geometry/item_images.h"
#include "render/scene_grid_walks.h"
#include "render/water_mirror.h"
#include "render/water_surface.h"

namespace veskor {

namespace {

void Pass(ScenePass pass, std::uint32_t index = 0, std::uint32_t flags = 0) {
  if (SceneDrawPassHook != nullptr) SceneDrawPassHook(pass, index, flags);
}

bool TextureShaders() { return HasExtension(kExtTextureShader) != 0; }

CloudLowLayer& Clouds() { return gEnvironmentState.cloudLow; }

void Drift(std::uint32_t flags) {
  if ((flags & kSceneTimeFrozen) != 0) return;
  Pass(ScenePass::kDrift);
  UpdateCloudDrift(gEnvironmentState, CurrentFrameTime());
}

std::uint32_t Walk(Camera* view, std::uint32_t flags, std::uint32_t* primitiveCount) {
  Pass(ScenePass::kWalk, 0, flags);
  return SceneGridRayWalk(gSceneGrid, *view, flags, primitiveCount);
}

void SkyLayers(Camera* view) {
  for (std::uint32_t i = 0; i < gSkyPassList.count; ++i) {
    Pass(ScenePass::kSkyLayer, i);
    DrawSkyLayer(*view, i);
  }
}

void PuffsOfReducedView(Camera* view, std::uint32_t flags) {
  Pass(ScenePass::kPuffBounds);
  UpdatePuffBounds(Clouds());
  Pass(ScenePass::kPuffs, 0, flags);
  DrawCloudPuffs(gEnvironmentState, *view, flags);
}

void MirrorViews(Camera* view, std::uint32_t flags) {
  for (std::uint32_t i = 0; i < gPortalCount && i < kPortalMax; ++i) {
    Portal& portal = gPortals[i];
    Pass(ScenePass::kMirrorBegin, i);
    if (PortalBeginView(portal, view) != 0) {
      CurrentPortalIndex = static_cast<std::int32_t>(i);
      const std::uint32_t mirrorFlags = (flags & kSceneTimeFrozen) | kSceneMirrored | kSceneSecondary;
      Pass(ScenePass::kMirrorView, i, mirrorFlags);
      std::uint32_t scratch = 0;
      SceneDraw(&portal.mirrored, mirrorFlags, &scratch);
      Pass(ScenePass::kMirrorOverlay, i);
      PortalOverlay(portal);
      Pass(ScenePass::kMirrorFlare, i);
      const float occlusion = RayQueryPuffs(Clouds(), portal.mirrored, SunDirection);
      DrawPortalSunFlare(portal.mirrored, 3, occlusion);
      CurrentPortalIndex = -1;
    }
    Pass(ScenePass::kMirrorCopy, i);
    PortalCopyTexture(portal);
  }
}

void Water(std::uint32_t flags) {
  const std::uint32_t n = gPortalCount < kPortalMax ? gPortalCount : kPortalMax;
  if ((flags & kSceneTimeFrozen) == 0) {
    const float t = CurrentFrameTime();
    WaterPhase[0] = WaterParams.velocity[0] * t;
    WaterPhase[1] = WaterParams.velocity[1] * t;
    for (std::uint32_t i = 0; i < n; ++i) {
      Pass(ScenePass::kWater, i);
      DrawWaterSurface(gPortals[i]);
    }
  } else {
    for (std::uint32_t i = 0; i < n; ++i) {
      Pass(ScenePass::kWaterSimple, i);
      DrawWaterSurfaceSimple(gPortals[i]);
    }
  }
}

std::uint32_t FullView(Camera* view, std::uint32_t flags, std::uint32_t* primitiveCount) {
  const bool secondary = (flags & kSceneSecondary) != 0;
  if (!secondary) MirrorViews(view, flags);
  for (std::uint32_t g = 0; g < gPlanetGroups.count && g < kPlanetGroupMax; ++g) {
    Pass(ScenePass::kPlanets, g);
    DrawPlanets(gPlanetGroups.groups[g], *view);
  }
  // Objects drawn textured leave alpha 1 wherever they leave a depth; the water marks where
  // its fog does not (see SkyDrawnOpaque).
  SkyDrawnOpaque = (flags & (kWalkOwnMode | kSceneCellDisplay)) == 0 ? 1 : 0;
  const std::uint32_t cells = Walk(view, flags, primitiveCount);
  Drift(flags);
  if (!secondary) Water(flags);
  SkyLayers(view);
  SkyDrawnOpaque = 0;
  const bool puffs = TextureShaders() && ShowCloudPuffs != 0;
  if (puffs && LightShaftsEnabled != 0) {
    Pass(ScenePass::kLightShafts);
    DrawLightShafts(Clouds(), *view, SunDirection, SunLightColour);
  }
  if (puffs) {
    if (!secondary) {
      PuffsOfReducedView(view, flags);
    } else {
      Pass(ScenePass::kPuffsSecondary, 0, flags);
      DrawCloudPuffsSecondary(gEnvironmentState, *view, 1.0f, flags);
    }
  }
  if (!secondary && ShowSunFlare != 0) {
    Pass(ScenePass::kSunFlare);
    float sun[3] = {SunDirection[0], SunDirection[1], SunDirection[2]};
    gKernelTable.KernelNormalize3(sun);
    DrawSunFlare(*view, RayQueryPuffs(Clouds(), *view, sun));
  }
  return cells;
}

// Each mirror's reflection texture back to an empty texture that uploads again at its next
// bind; its read-back textures freed.
void ResetPortalTextures(Portal& portal) {
  Texture2DRelease(portal.reflection);
  Texture2DInit(portal.reflection);
  TextureFree(portal.readBack[0]);
  TextureFree(portal.readBack[1]);
  portal.polygonCount = 0;
  portal.viewCamera = nullptr;
}

}  // namespace

std::uint32_t SceneDraw(Camera* view, std::uint32_t flags, std::uint32_t* primitiveCount) {
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glDisable(GL_AUTO_NORMAL);
  glDisable(GL_INDEX_LOGIC_OP);
  glColor4f(1, 1, 1, 1);
  switch (flags & kSceneModeMask) {
    case kSceneModeReduced:
    case kSceneModeLoading: {
      Drift(flags);
      const std::uint32_t cells = Walk(view, flags, primitiveCount);
      if (TextureShaders() && (flags & kSceneSecondary) == 0) PuffsOfReducedView(view, flags);
      return cells;
    }
    case kSceneModeCells:
      // The walk outlines the cells (flag 8) and draws each object in object mode 2.
      return Walk(view, flags, primitiveCount);
    case kSceneModePreview: {
      Drift(flags);
      const std::uint32_t cells = Walk(view, flags, primitiveCount);
      SkyLayers(view);
      return cells;
    }
    default: return FullView(view, flags, primitiveCount);
  }
}

void RenderStatsReset() {
  GeometryBatchReset(gGeometryBatchBuffer);
  CurrentPortalIndex = -1;
  if (TextureShaders()) BuildPuffMeshes(gPuffMeshSet, gGeometryBatchBuffer);
  SceneGridSessionReset(gSceneGrid);
  gEnvironmentState.puffStatA = gEnvironmentState.puffStatB = 0;
  EnvironmentResetCloudLow(gEnvironmentState, gEnvironmentState.lowAltitude,
                           gEnvironmentState.lowWind);
  gPuffMeshSet.vertexCounter = gPuffMeshSet.triangleCounter = 0;
  if (WaterPassBuilt != 0) {
    TextureFree(WaterPassTexture);
    WaterPassBuilt = 0;
  }
  for (Portal& portal : gPortals) ResetPortalTextures(portal);
}

std::uint32_t SceneGridDrawView(OrthoPass* view, std::uint32_t flags) {
  return SceneGridDrawWalk(gSceneGrid, *view, flags);
}

}  // namespace veskor
