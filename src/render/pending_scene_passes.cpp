#include "render/pending_scene_passes.h"

namespace veskor {

std::int32_t CurrentPortalIndex = -1;
float WaterPhase[2] = {};
float PortalDetail = 1.0f;

std::uint32_t SceneGridRayWalk(SceneGrid&, Camera*, std::uint32_t, std::uint32_t* primitiveCount) {
  if (primitiveCount != nullptr) *primitiveCount = 0;
  return 0;
}

std::uint32_t SceneGridDrawWalk(SceneGrid&, OrthoPass*, std::uint32_t) { return 0; }

std::uint32_t PortalBeginView(Portal& portal, Camera*) { return portal.visible; }
void PortalOverlay(Portal&) {}
void PortalCopyTexture(Portal&) {}
void DrawWaterSurface(Portal&) {}
void DrawWaterSurfaceSimple(Portal&) {}
void WaterPassTextureFree() {}

}  // namespace veskor
