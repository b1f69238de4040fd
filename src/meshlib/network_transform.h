// The transform of the network builders: a scale and a rotation about a pivot, then a
// displacement. NetworkPass moves the corners of face B by its forward matrix.
#pragma once

#include <cstdint>

namespace veskor {

struct NetworkTransform {
  std::uint32_t flag;
  std::uint32_t dirty;  // nonzero: the matrices are recomputed before use
  // Column-major (element column x 4 + row), translation in elements 12 to 14, applied to
  // column vectors.
  float forward[16];
  float inverse[16];
  float pivot[3];
  float scale[3];
  float axis[3];  // used as it is, not normalised
  float angle;    // degrees
  float displacement[3];
};

// Recomputes both matrices in double precision: forward = T(P + D) x R x Scale(S) x T(-P),
// inverse = T(P) x Scale(1 / S) x R' x T(-(P + D)); clears both flags, then moves the pivot
// by the displacement.
void AngleTransformMatrix(NetworkTransform& node);

}  // namespace veskor
