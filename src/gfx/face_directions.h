// The face direction tables: for each level L from 0 to 9, the unit directions from the centre
// of a cube through the texel centres (FaceDirectionTexels: 2^L x 2^L texels of 3 floats) and
// through the texel corners (FaceDirectionCorners: (2^L + 1) x (2^L + 1) points) of its face
// z = 1 over [-1, 1] x [-1, 1]. Built once at start with the scene grid and kept for the whole
// run; the cloud and sky code reads them by level as its cube face and corner directions.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "gfx/texture_object.h"

namespace veskor {

inline constexpr std::uint32_t kFaceDirectionLevels = 10;

// A table of (2^log2Width + 1) x (2^log2Height + 1) points of `channels` floats, row by row.
struct FaceCornerTable {
  MemBlock block;
  float* data;
  std::uint16_t log2Width;
  std::uint16_t log2Height;
  std::uint16_t channels;
};

extern TexturePixels FaceDirectionTexels[kFaceDirectionLevels];
extern FaceCornerTable FaceDirectionCorners[kFaceDirectionLevels];

// Builds every level whose texel table holds no data yet.
void BuildFaceDirectionTables();

}  // namespace veskor
