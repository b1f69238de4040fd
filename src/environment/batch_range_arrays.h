// Small operations of the geometry batch buffer that the cloud code adds: appending one vertex
// in the current format from separate attribute sources (the puff meshes), and pointing the GL
// client arrays at one range of the vertex block and drawing it (the puff slices; the object
// drawing binds its own ranges with the two Bind operations).
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"

namespace veskor {

// One range of the batch: its first vertex at float `floatStart` of the vertex block, its
// first index at position `indexStart` of the index block. Index values count from the
// range's first vertex.
struct PuffSliceRange {
  std::uint32_t floatStart;
  std::uint32_t floatCount;
  std::uint32_t indexStart;
  std::uint32_t indexCount;
};

// Appends one vertex in the current format: the 3 position floats, then a1[0..1] (format 4),
// a1[0..2] (5), a1[0..3] (6), a1[0..1] and a2[0..2] (7), a1 to a4 [0..2] each (8). Formats 1
// to 3 (and codes outside 1..8) append nothing and count nothing. Passing the vertex block's
// capacity is fatal, as for every batch append.
void AppendStreamVertex(GeometryBatchBuffer& buffer, const float* position, const float* a1,
                        const float* a2, const float* a3, const float* a4);

// Enables the vertex array at the range's first vertex with the current format's stride; the
// normal array (byte 12) is enabled for formats 1 to 3 and disabled for 4 to 8. A format code
// outside 1..8 changes nothing.
void BindVertexNormalArrays(const GeometryBatchBuffer& buffer, const PuffSliceRange& range);

// Points the texture-coordinate array of client unit `unit` (of the active one without
// multitexture) at an attribute of the range's vertices, chosen by the current format and
// `kind`: kind 4 is the position, kind 0 the format's first attribute; format 8 takes kinds 0 to
// 3 for its four three-float attributes. A format outside 1..8, and format 8 with a kind of 5
// or more (past its 60-byte vertex), change nothing.
void BindTexCoordArrays(const GeometryBatchBuffer& buffer, const PuffSliceRange& range,
                        std::uint32_t unit, std::uint32_t kind);

// Mode 1: binds the range as BindVertexNormalArrays does, locks the arrays over its vertices
// unless the vertex block lies in vertex-array-range memory, draws its triangles and unlocks.
// Other modes do nothing.
void DrawBatchRange(const GeometryBatchBuffer& buffer, const PuffSliceRange& range,
                    std::uint32_t mode);

}  // namespace veskor
