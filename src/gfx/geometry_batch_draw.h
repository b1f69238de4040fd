// Drawing from the geometry batch buffer: the contract through which the scene draw reads an
// item's ranges, and the declaration of the vertex array range over the final vertex block.
#pragma once

#include "gfx/geometry_batch_buffer.h"

namespace veskor {

// Right after finalisation: with the vertex array range in use (bit 9 of the extension
// word), declares the whole vertex block once and enables GL_VERTEX_ARRAY_RANGE_NV.
void EnableVertexArrays(const GeometryBatchBuffer& buffer);
// Leaving vertex-array drawing: disables the range (when in use) and the vertex, normal and
// texture-coordinate client arrays.
void DisableVertexArrays(const GeometryBatchBuffer& buffer);

// Draws the item: its vertex (and, for formats 1 to 3, normal) array at main range 0's first
// float with the format's stride, locked as a compiled array when the vertex array range is
// not in use; cap A, cap B and main range 0, then each further main range bound and locked at
// its own first float. In the mirrored view of water box k (the buffer's current water box) a
// range tied to box k draws only its triangles above the water.
void BatchDrawItem(const GeometryBatchBuffer& buffer, const ItemDrawRecord& record);

}  // namespace veskor
