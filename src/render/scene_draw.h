// The per-frame scene draw: one view of the prepared world, its passes in a fixed order
// (mirror views, planets, the grid walk of terrain and objects, cloud drift, water, sky and
// cloud layers, light shafts, cloud puffs, sun flare), reduced by the mode of the flag word;
// the per-world reset of the renderer's state; and the walk of the off-screen views of the
// render preparation. Called by the main plane's frame, by the render preparation (loading
// frame, preview, environment faces) and by itself for each visible water mirror.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/ortho_pass.h"

namespace veskor {

// The flag word: the mode in bits 0-2 (0 full view, 1 and 3 reduced views, 2 grid cells, 4
// off-screen preview, 5 to 7 as 0) and the variants below.
enum : std::uint32_t {
  kSceneModeMask = 7,
  kSceneModeFull = 0,
  kSceneModeReduced = 1,
  kSceneModeCells = 2,
  kSceneModeLoading = 3,
  kSceneModePreview = 4,
  kSceneCellDisplay = 0x8,   // outline each visible fine cell
  kSceneTimeFrozen = 0x10,   // no drift, no water phase, the reduced water pass
  kSceneMirrored = 0x20,     // a water mirror's view
  kSceneSecondary = 0x40,    // no mirrors, no water, no flare; the secondary puffs
};

// Display switches of the application shell (a key toggles each); both on at start.
inline std::uint32_t ShowCloudPuffs = 1;
inline std::uint32_t ShowSunFlare = 1;

// Draws one view with the camera already applied. Returns the visible fine-cell count of the
// view's walk; `primitiveCount`, when given, receives the triangles drawn.
std::uint32_t SceneDraw(Camera* view, std::uint32_t flags, std::uint32_t* primitiveCount);

// Before each render preparation: the batch counters and water boxes, the puff meshes (on
// boards with texture shaders), the grid's registrations, the low-cloud layer, the puff ramp
// and the water pass texture, and every water mirror's textures, all back to empty.
void RenderStatsReset();

// The grid walk of an off-screen orthographic view of the render preparation.
std::uint32_t SceneGridDrawView(OrthoPass* view, std::uint32_t flags);

// The passes of a view, in the order the full view runs them; a test hook sees each one
// just before it runs, with the portal, planet or sky-list index where there is one.
enum class ScenePass : std::uint8_t {
  kMirrorBegin,
  kMirrorView,
  kMirrorOverlay,
  kMirrorFlare,
  kMirrorCopy,
  kPlanets,
  kWalk,
  kDrift,
  kWater,
  kWaterSimple,
  kSkyLayer,
  kLightShafts,
  kPuffBounds,
  kPuffs,
  kPuffsSecondary,
  kSunFlare,
};
using ScenePassHook = void (*)(ScenePass pass, std::uint32_t index, std::uint32_t flags);
inline ScenePassHook SceneDrawPassHook = nullptr;

}  // namespace veskor
