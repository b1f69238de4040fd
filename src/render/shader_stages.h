// The shader stages of the render preparation, run after the environment group in this order:
// skins generation, skin connection, render (fx shading), water and environment. Each opens
// with its report and reports as it works; a zero answer of the progress callback makes it
// return 0 at once, and so does a failing fx program (FxFailed then 1). The water and
// environment stages live in water_environment_stages.cpp: the water stage draws each
// portal's scene from above into the back buffer and reads it back into the portal's two
// textures (a portal whose rectangle has no area is skipped but counted); the environment
// stage sets every item's box and centre in its skin slot and captures the cube of every
// item whose flags ask for one, drawing the faces as secondary views on boards of class bit 2.
//
// The stage fraction of every report is the share of the stage's units done (items,
// connections or portals), 1 at the final report of a stage without units, so it stays
// within [0, 1] and the overall fraction never falls back.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "language/fx_call_lists.h"

namespace veskor {

inline constexpr const char* kStageSkinsGenerate = "Shaders / Skins Generate";
inline constexpr const char* kStageSkinsConnect = "Shaders / Skins Connect";
inline constexpr const char* kStageRender = "Shaders / Render";
inline constexpr const char* kStageWater = "Shaders / Water";
inline constexpr const char* kStageEnvironment = "Shaders / Environment";
// Long stages report after items 0, 32, 64 ...
inline constexpr std::uint32_t kStageReportEvery = 32;
// ... and "Shaders / Render" redraws the preview after items 0, 128, 256 ... when it has a camera.
inline constexpr std::uint32_t kPreviewEvery = 128;

// Skins generated in this session; the render session zeroes it.
extern std::uint32_t SkinCounter;

// Calls the session's progress callback, when there is one; false when it asks to stop.
bool PrepareReport(const char* label, float stageFraction, float overallFraction);
// The stage fraction after `done` of `units` units: done / units, 1 for a stage without any.
float StageFraction(std::uint32_t done, std::uint32_t units);

// Each returns 1 to go on, 0 when the callback asked to stop or an fx program failed (then
// FxFailed is 1 and the executor's message is in FxErrorText).
std::uint32_t SkinsGenerateStage();
// Runs the scene's shared fx calls once in `global`.
std::uint32_t SkinsConnectStage(FxExecContext& global);
// Shades the items in `item`, reading the shared results of `global`, whose maps it gives
// back at its end; draws the preview into the window every 128 items when `camera` is given.
std::uint32_t ShadersRenderStage(Camera* camera, FxExecContext& item, FxExecContext& global);
// One report per portal (portals done / portals), one every 32 items.
std::uint32_t ShadersWaterStage();
std::uint32_t ShadersEnvironmentStage();

}  // namespace veskor
