// The puff meshes: every low-cloud puff is drawn as a stack of parallel discs cut from a unit
// sphere, later turned towards the viewer and stretched into the puff's ellipsoid. The discs do
// not depend on any puff: they are built once a render session into the start of the shared
// geometry batch buffer, eight levels of detail of 16, 14, ..., 2 slices.
#pragma once

#include <cstdint>

#include "environment/batch_range_arrays.h"
#include "gfx/geometry_batch_buffer.h"

namespace veskor {

inline constexpr std::uint32_t kPuffMeshLevels = 8;
inline constexpr std::uint32_t kPuffMeshMaxSlices = 32;
// The vertex format of the meshes: position, then the unit normal (the direction from the
// sphere's centre), which the drawing uses as a texture coordinate.
inline constexpr std::uint32_t kPuffMeshFormat = 5;

struct PuffMeshSet {
  PuffSliceRange slices[kPuffMeshLevels][kPuffMeshMaxSlices];
  float slicePos[kPuffMeshLevels][kPuffMeshMaxSlices];  // the slice's plane z = pos, in (-1, 1)
  std::uint32_t sliceCount[kPuffMeshLevels];            // 16 - 2 level
  std::uint32_t vertexCounter;    // of the slice being built: the base of its local indices
  std::uint32_t triangleCounter;  // of the slice being built
};

// The program's meshes, rebuilt at every render session start when the board has texture
// shaders; their ranges stay valid until the batch counters are reset again.
extern PuffMeshSet gPuffMeshSet;

// Builds the eight levels into the buffer at its counters: level L has n = 16 - 2L slices at
// pos = -1 + (2i + 1) / n, each drawn with the angular step 0.65 x 16 / n (a sixteenth of it
// for the two middle slices) and the sagitta tolerance 0.02 x 16 / n. After the last slice one
// vertex of zeros follows, which no slice draws: the drawing reads a coordinate of three floats
// from byte 20 of each vertex, 8 bytes past a slice's last vertex, and must not reach past the
// vertex block.
void BuildPuffMeshes(PuffMeshSet& set, GeometryBatchBuffer& buffer);

// Appends the disc that the plane z = pos cuts from the unit sphere: a centre vertex and rings
// evenly spaced in angle as seen from the sphere's centre, the last on the rim. A = arccos |pos|;
// M = A / step rounded to the nearest (a half rounds down), at least 1, so that a slice too
// close to the pole for its step still gets its rim; ring k lies at radius
// |pos| tan((k + 1) A / M) with 2^level segments, the level from the segment count whose
// sagitta equals `sagitta` (4 segments for a ring no wider than it), and neighbouring rings
// differ by one level at most. Every triangle winds clockwise seen from +z; indices count from
// the set's vertexCounter, which the slice advances.
void EmitPuffMesh(PuffMeshSet& set, GeometryBatchBuffer& buffer, float pos, float step,
                  float sagitta);

}  // namespace veskor
