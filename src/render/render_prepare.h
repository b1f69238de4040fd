// The render preparation: after the scene build of a render session, moves the batched
// geometry into its final memory, draws the loading frame, and runs the named stages in their
// fixed order, reporting each through the session's progress callback: the outline view (an
// off-screen buffer, the scratch block, the vertex arrays, the noise tables), the environment
// group (moons, fog, sky, high and low clouds, then the uploads and the first sky pass list),
// then the shader stages (shader_stages.h). A zero answer of the callback, or a failing fx
// program, ends it with 0 after releasing what this call made; what earlier stages built stays.
#pragma once

#include <cstdint>

#include "geometry/item_tables.h"
#include "geometry/patch_borders.h"
#include "gfx/camera.h"
#include "gfx/pbuffer.h"
#include "gfx/view_plane.h"
#include "mapengine/map_pool.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

inline constexpr const char* kStageOutlineView = "Scene / Outline View";
inline constexpr const char* kStageMoons = "Environment / Moons";
inline constexpr const char* kStageFog = "Environment / Fog";
inline constexpr const char* kStageSky = "Environment / Sky";
inline constexpr const char* kStageCloudsHigh = "Environment / Clouds High";
inline constexpr const char* kStageCloudsLow = "Environment / Clouds Low";

// The off-screen buffer of the read-back passes, made only with multisampling on.
inline constexpr std::uint32_t kPrepPbufferWidth = 1024;
inline constexpr std::uint32_t kPrepPbufferHeight = 800;
// The scratch block of the shading passes: a record per item, then 6 MiB of work space.
inline constexpr std::uint32_t kScratchBlockBytes = 0x628000;
inline constexpr std::uint32_t kScratchRecordBytes = 20;
inline constexpr std::uint32_t kScratchPoolFloats =
    (kScratchBlockBytes - kItemMax * kScratchRecordBytes) / 4;

// The objects of one call, released on every way out.
extern Pbuffer PrepPbuffer;
extern PatchBorderList ScratchBlock;

// Results.
extern std::uint32_t ItemSunOrder[kItemMax];
extern double EnvironmentPrepareTime;  // seconds
extern double ShadingPrepareTime;
extern std::uint32_t FxFailed;  // 1 when an fx program failed

// 1 when every stage ran; 0 when the callback asked to stop or an fx program failed.
std::uint32_t RenderPrepare(Camera* camera);

// The item indices ordered by their smallest projection on the sun direction, ascending;
// among equal keys the later item comes first; an item without vertices last.
void SortItemsAlongSun(const float* sunDirection, std::uint32_t* out);

// Transforms every sample of the three grids of a surface in place by the 4 x 4 column-major
// matrix, translation included, and likewise their bordered copies when the x grid has one.
// All three are taken to have the x grid's sizes.
void TransformVertexGrids(VertexGrid& x, VertexGrid& y, VertexGrid& z, const float* matrix);

// Drops the off-screen buffer and the scratch block (on every way out of a call).
void ReleasePrepareScratch();

// A frame of the preparation in the window: the scene as far as it is made, drawn by
// `SceneDraw` in `sceneMode` from `camera` in the view below the menu bar, the progress
// planes over it, then the swap. `filterHint` asks the multisample filter for its best where
// the driver has it.
void DrawProgressScene(Camera& camera, std::uint32_t sceneMode, bool filterHint);

}  // namespace veskor
