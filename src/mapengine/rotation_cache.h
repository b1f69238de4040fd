// RotationCache: a 4 x 4 transform built from a translation, a per-axis scale and a rotation by
// an angle in degrees about an axis, rebuilt only after its owner changed a parameter and set
// the dirty flag. The environment keeps its three colour-correction transforms in these.
#pragma once

#include <cstdint>

namespace veskor {

struct RotationCache {
  std::uint32_t changed = 1;  // cleared by every rebuild
  std::uint32_t dirty = 0;    // set by the owner after changing a parameter
  // Column by column: element 4 j + i is row i of column j. A point p maps to
  // scale * (R p) + translation.
  float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float scale[3] = {1, 1, 1};
  float axis[3] = {0, 0, 1};  // used as it is, not normalised
  float angle = 0;            // degrees
  float translation[3] = {0, 0, 0};
};

// The cached matrix, rebuilt first when the dirty flag is set.
const float* RotationCacheGet(RotationCache& cache);

// Recomputes the matrix and clears both flags. The quarter angles 0, 90, 180 and 270 (within
// 1e-5) and -90 (within 5e-4) take exact cosines and sines, so axis-aligned rotations give
// exact 0 and +-1 entries.
void RotationCacheRebuild(RotationCache& cache);

}  // namespace veskor
