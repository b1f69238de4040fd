// Waiting for the scene object drawing with the scene-grid walks, and for the water mirrors
// with the water surfaces, which are being written at the same time as the scene draw: the
// routines the scene draw and the statistics reset call of them, declared here under their
// own names with stand-ins that draw nothing (pending_scene_passes.cpp). This file and its
// stand-ins go as soon as those routines are in; their callers stay as they are.
#pragma once

#include <cstdint>

#include "geometry/portal.h"
#include "gfx/camera.h"
#include "gfx/ortho_pass.h"
#include "gfx/scene_grid.h"

namespace veskor {

// The index of the water mirror whose reflected view is being drawn, -1 otherwise.
extern std::int32_t CurrentPortalIndex;
// The water animation phases: the Water velocity times the frame time, per component.
extern float WaterPhase[2];
// The render session's portal detail value, read by the mirrored camera.
extern float PortalDetail;

// The front-to-back walk of the view through the grid; the stand-in draws nothing, stores 0
// and returns 0.
std::uint32_t SceneGridRayWalk(SceneGrid& grid, Camera* view, std::uint32_t flags,
                               std::uint32_t* primitiveCount);
// The walk of an orthographic off-screen view; the stand-in returns 0.
std::uint32_t SceneGridDrawWalk(SceneGrid& grid, OrthoPass* view, std::uint32_t flags);

// Mirror views: the stand-in of the visibility test answers the portal's `visible` word and
// sets nothing up; the others do nothing.
std::uint32_t PortalBeginView(Portal& portal, Camera* view);
void PortalOverlay(Portal& portal);
void PortalCopyTexture(Portal& portal);
void DrawWaterSurface(Portal& portal);
void DrawWaterSurfaceSimple(Portal& portal);
// Frees the water surface's pass texture when it was built (the stand-in has none).
void WaterPassTextureFree();

}  // namespace veskor
