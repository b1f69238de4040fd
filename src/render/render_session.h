// The render session set-up: run once per render session after a compile, before the scene
// build and the render preparation. It installs the progress callback, gives the geometry
// batch buffer fresh staging blocks, fills the four level-of-detail ranges, empties the
// per-session counters and the scene box, resets the renderer's per-world state and puts a
// first loading frame on the screen. Everything it sets lives in the globals of its owners.
#pragma once

#include <cstdint>

#include "geometry/build_progress.h"
#include "gfx/camera.h"
#include "gfx/lod_boxes.h"
#include "language/parse_store.h"

namespace veskor {

// The application shell's copy of the capability mask (bit 9: the vertex array range is in
// use); the shell writes it at start. The batch buffer reads it through its extension word.
inline std::uint32_t MainPlaneExtensionWord = 0;
// The session's parse store, read by the preparation stages.
inline ParseStore* RenderParseStore = nullptr;

// The scale of each range.
inline constexpr float kTerrainGeometryScale = 0.2f;
inline constexpr float kTerrainTextureScale = 1.0f;
inline constexpr float kObjectGeometryScale = 8.0f;
inline constexpr float kObjectTextureScale = 8.0f;

// The 17 arguments in their order. Returns 1 (the buffer swap reports nothing).
std::int32_t RenderSessionInit(const LodBoxList* terrainGeometry, float terrainGeometryFactor,
                               const LodBoxList* terrainTexture, float terrainTextureFactor,
                               const LodBoxList* objectGeometry, float objectGeometryFactor,
                               const LodBoxList* objectTexture, float objectTextureFactor,
                               ParseStore* store, Camera* camera, float portalDetail,
                               float cloudLowDetail, ProgressCallback callback,
                               std::int32_t geometryMin, std::int32_t geometryMax,
                               std::int32_t textureMin, std::int32_t textureMax);

// The window's client size: the main plane's full-screen size in full screen, else the
// windowed size.
void RenderClientSize(std::uint32_t* width, std::uint32_t* height);
// Viewport (0, 0, width, height - 112): the view under the menu bar.
void SetLoadingViewport();
// Viewport over the whole client area.
void SetWholeWindowViewport();
// Shows the back buffer of the main plane's window (nothing without a window).
void SwapWindowBuffers();

}  // namespace veskor
