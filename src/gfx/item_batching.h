// Item batching: puts one item's mesh (two caps and a body) into the geometry batch buffer
// during the scene build, fills its ItemDrawRecord, and reserves room behind it for the water
// clip pass when the item comes near a water box; and the box transform that it and the scene
// build's item geometry share.
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"

namespace veskor {

// Margins of the water test: the item box is widened by these before it is tried against the
// water boxes.
inline constexpr float kWaterMarginXY = 100.0f;
inline constexpr float kWaterMarginZ = 800.0f;
// Room reserved for the clip pass beyond two vertices and two triangles per crossing triangle.
inline constexpr std::uint32_t kClipRoomExtra = 400;

// The box of the eight corners of (x0, y0, z0)-(x1, y1, z1) through the matrix (w = 1): per-axis
// minima then maxima into out[0..5]. Without a matrix the box comes back as it is.
void TransformBox(const float* matrix, float x0, float y0, float z0, float x1, float y1, float z1,
                  float* out);

// What BatchAppendItem gives when the buffer has no room left for the item.
inline constexpr std::uint32_t kBatchItemNoRoom = 2;

// Appends the mesh in `format` and fills the record (main range 0, caps A and B, range count
// 1). `matrix` is the item's world transform, or null. An item of more than 65536 vertices
// cannot be addressed by 16-bit indices: it is not batched, its ranges are left as they were,
// and the result is 0 (the caller tells the user). An item that does not fit the buffer's room,
// with the clip room it needs, is not batched either and gives kBatchItemNoRoom; else 1.
std::uint32_t BatchAppendItem(GeometryBatchBuffer& buffer, const MeshBuilder& mesh,
                              std::uint32_t format, ItemDrawRecord& record, const float* matrix);

}  // namespace veskor
