// The shader stages of the render preparation, run after the environment group in this order:
// skins generation, skin connection, render (fx shading), water and environment. Each opens
// with its report and reports as it works; a zero answer of the progress callback makes it
// return 0 at once. Until the stages themselves are written they are stand-ins that make
// their reports and change nothing but what the driver's rules say ("Shaders / Render"
// drops the off-screen buffer and the scratch block at its end).
//
// The stage fraction of every report is the share of the stage's units done (items,
// connections or portals), 1 at the final report of a stage without units, so it stays
// within [0, 1] and the overall fraction never falls back.
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr const char* kStageSkinsGenerate = "Shaders / Skins Generate";
inline constexpr const char* kStageSkinsConnect = "Shaders / Skins Connect";
inline constexpr const char* kStageRender = "Shaders / Render";
inline constexpr const char* kStageWater = "Shaders / Water";
inline constexpr const char* kStageEnvironment = "Shaders / Environment";
// Long stages report after items 0, 32, 64 ...
inline constexpr std::uint32_t kStageReportEvery = 32;

// Skins generated in this session; the render session zeroes it.
extern std::uint32_t SkinCounter;

// Calls the session's progress callback, when there is one; false when it asks to stop.
bool PrepareReport(const char* label, float stageFraction, float overallFraction);
// The stage fraction after `done` of `units` units: done / units, 1 for a stage without any.
float StageFraction(std::uint32_t done, std::uint32_t units);

// Each returns 1 to go on, 0 when the callback asked to stop.
std::uint32_t SkinsGenerateStage();
std::uint32_t SkinsConnectStage();
std::uint32_t ShadersRenderStage();
std::uint32_t ShadersWaterStage();
std::uint32_t ShadersEnvironmentStage();

}  // namespace veskor
