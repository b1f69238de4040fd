// Stand-ins for what the entry point, the main loop, the root plane and the main interface call
// of parts of the program still to come: the render session and the counters of the render
// preparation, the scene renderer's draw and camera motion. Each is replaced, here, when its
// part lands.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

// The render session: it prepares nothing.
void RenderSession();
// The scene renderer: the camera motion and the draw do nothing; no polygons are drawn.
void CameraStepWrapper(World& world);
void SceneDraw(Camera& camera, std::uint32_t mode, std::uint32_t* polygons);

// What the render session and its preparation measure and count for the information panel:
// the session's time, the environment and shader stages' times (seconds), and the geometry
// generated. All 0.
extern float RenderSessionTime;
extern float EnvironmentStageTime;
extern float ShaderStageTime;
extern std::uint32_t GeometryCount;

}  // namespace veskor
