// The item tables of a scene build: per generated item (the index of gItemPathSets,
// gSkinSlots and gSkinWork) the scene instance record it belongs to and its batch item record,
// with the counts and the generated totals. The item geometry fills them; the renderer, which
// is built on this folder, reads them, so they live here.
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"
#include "language/world.h"

namespace veskor {

inline constexpr std::uint32_t kItemMax = 8192;
inline constexpr const char* kTooManyItemsMessage = "Too Many Items !";

extern std::uint32_t gItemCount;
extern SceneInstance* gItemTargets[kItemMax];
extern std::uint32_t gItemBatchIndex[kItemMax];
extern ItemDrawRecord gBatchItemRecords[kItemMax];
extern std::uint32_t gBatchItemCount;
extern std::uint32_t gGeneratedTriangleTotal;
extern std::uint32_t gGeneratedVertexTotal;

// The counts and totals 0; the render session does it before every scene build.
void ItemTablesReset();

}  // namespace veskor
