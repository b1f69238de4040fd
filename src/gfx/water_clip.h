// The water clip passes: once all positions are final, each of an item's ranges that meets a
// water box has its triangles sorted into those above the water, those below it and those
// crossing it, so the mirrored view of that box can draw only the first group. The body of an
// item that had room reserved at batching has its crossing triangles cut at the water level
// first. Run by the render preparation after the position pass and before the normal pass.
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"

namespace veskor {

// Vertices within this of the level count as both above and below it.
inline constexpr float kWaterBand = 0.01f;

// Clips one range of the record. The box is the item's world box; `toWorld` is the item's
// transform and `toLocal` its inverse (null: the identity). Cutting happens only when `split`
// is 1 and the range was tied to a water box at batching, and only while the room reserved for
// the item lasts and new vertices stay addressable by 16-bit indices; triangles left uncut
// stay in the crossing group.
void BatchClipPass(GeometryBatchBuffer& buffer, ItemDrawRecord& record, BatchRange& range,
                   float minX, float minY, float minZ, float maxX, float maxY, float maxZ,
                   const float* toWorld, const float* toLocal, std::uint32_t split);
// Main range 0, cutting allowed; cap A and cap B, sorting only.
void BatchClipPassA(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal);
void BatchClipPassB(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal);
void BatchClipPassC(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal);

}  // namespace veskor
