// The render session: the second half of opening a world. Right after a successful compile
// session (and the renewal of the texture names) it renews the interface's textures, titles
// the window, sets the world's level of detail and extent, sets up the renderer, recomputes
// the environment, loads the flare and light-ray images, builds the scene and runs the staged
// preparation with ProgressOverlay reporting; then it captures the view snapshots, shows the
// information panel and starts the sound banks.
#pragma once

#include <cstdint>

#include "geometry/item_tables.h"

namespace veskor {

// The window title of a world with an `Info` block: this, then the first record's title.
inline constexpr const char* kWorldTitlePrefix = "  v.e.s.k.o.r  -  ";
// The box that the world's extent takes, and the distance factor of every detail range.
inline constexpr float kWorldExtent[6] = {-800.0f, -800.0f, -400.0f, 800.0f, 800.0f, 400.0f};
inline constexpr float kLodDistanceFactor = 0.002f;
// The warning of a scene build that left items out: the first one's object and vertex count.
inline constexpr const char* kSkippedItemMessage =
    "Geometry Item Of '%s' Skipped : %u Vertices > 65536 !";
// The detail levels: geometry 0..6, textures 0..10.
inline constexpr std::int32_t kGeometryLevels[2] = {0, 6};
inline constexpr std::int32_t kTextureLevels[2] = {0, 10};

// What the information panel shows of the last session (seconds): the session from its start
// in the root plane's frame, the environment stages and the shader stages of its preparation;
// and the triangles the scene build generated.
extern float RenderSessionTime;
extern float EnvironmentStageTime;
extern float ShaderStageTime;
inline std::uint32_t& GeometryCount = gGeneratedTriangleTotal;

// Items the scene build left out (meshes too large to batch) are shown once, in one warning
// box naming the first one's object, and the session goes on without them.
// 1 when the world is ready to draw (WorldReady set); 0 when the scene build failed (its
// message in the status place, blinking), an fx program failed (FxErrorText likewise), or the
// preparation was stopped by Escape or by closing the window (the session panels hidden and
// the log cleared). Every failure clears WorldReady and hides the progress panel.
std::uint32_t RenderSession();

// Every texture of the interface takes a new name in the renewed context and, when it holds
// pixels, is bound once, which uploads it. The online-help button's only once it was set up.
void RenewInterfaceTextures();

}  // namespace veskor
