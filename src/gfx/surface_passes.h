// The surface passes of the render preparation. Every batched item is a surface over the unit
// square of its texture coordinates (s, t), given by three VertexGrids per part (cap A, body,
// cap B). The position pass writes each vertex's position from its part's grids and welds the
// border vertices through the weld table so that seams meet; the normal pass writes the
// normals of items that carry them. Items of formats the passes do not know are left alone.
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// The three grids of one part of an item: x, y and z (or the normal's components).
struct SurfaceGrids {
  const VertexGrid* x;
  const VertexGrid* y;
  const VertexGrid* z;
};

// Kinds of the vertex spans of the position pass.
enum : std::uint32_t {
  kSpanOpenBody = 0,  // body of an item without caps: welds across items
  kSpanCapA = 1,
  kSpanCapB = 2,
  kSpanCappedBody = 3,  // body of an item with caps: welds only within the item
};

// Bit 0: s within 0.0005 of 0 or above 0.9998; bit 1: the same for t.
std::uint32_t UvBorderCode(float s, float t);
// The place of a border point along the border of the unit square, in [0, 1].
float BorderPerimeterParam(float s, float t);
float BorderPerimeterParamSwapped(float s, float t);

// Writes the record's vertex positions (formats 2 and 4) from the grids, through `toLocal` when
// the item has a transform, welds its border vertices and widens the world box (min x, y, z,
// max x, y, z, in place) by the border vertices it places.
void BatchPositionPass(GeometryBatchBuffer& buffer, const ItemDrawRecord& record,
                       const SurfaceGrids& capA, const SurfaceGrids& body, const SurfaceGrids& capB,
                       const float* toLocal, float* box);
// One span [first, end) of floats of the vertex block.
void BatchPositionPassCore(GeometryBatchBuffer& buffer, std::uint32_t first, std::uint32_t end,
                           std::uint32_t kind, const SurfaceGrids& grids, const float* toLocal,
                           float* box, std::uint32_t flag);

// Writes the normals of a format-2 record from its normal grids, tilted away from the centre
// of the item's box by up to `scale` (0.2 from the render preparation) near the box faces.
void BatchNormalPass(GeometryBatchBuffer& buffer, const ItemDrawRecord& record,
                     const SurfaceGrids& capA, const SurfaceGrids& body, const SurfaceGrids& capB,
                     const float* toLocal, float scale, const float* box);
void BatchNormalPassCore(GeometryBatchBuffer& buffer, std::uint32_t first, std::uint32_t end,
                         const SurfaceGrids& grids, const float* toLocal, float scale,
                         const float* box);

}  // namespace veskor
