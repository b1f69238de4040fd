// Transform nodes in scale-angle-offset form, the form of the instance transforms that the
// scene build registers objects and height grids with: a point is scaled, rotated in the x-y
// plane and moved. The node's axis words hold the scale. Also the small vector and matrix
// products of the scene build and the item geometry.
//
// Matrices here are row-major with row vectors (the translation in the last row), which is the
// same memory as the graphics core's column-major matrices: KernelTransformPoint applies them.
#pragma once

#include <cstdint>
#include <cstring>

#include "gfx/transform_node.h"

namespace veskor {

// Recomputes both matrices (flag and dirty 0): matrix 1 = S x R x T, matrix 2 its inverse
// T' x R' x S'. Angles within 1e-5 degrees of 0, 90, 180 and 270 give exact sines and cosines.
void TransformNodeScaledUpdate(TransformNode& node);
// Matrix 1 and matrix 2, both recomputed first when the node is dirty.
const float* TransformNodeScaledMatrix(TransformNode& node);
const float* TransformNodeScaledMatrix2(TransformNode& node);

// out = a x b for 3-vectors.
void CrossProduct(float* out, const float* a, const float* b);
// out = b x a for row-major 4 x 4 matrices (element (i, j) = sum over k of b(i, k) a(k, j)):
// the matrix that applies b, then a, to row vectors. out may be a or b.
void MatrixProduct4(float* out, const float* a, const float* b);

// Copies one 32-bit word; returns the destination.
inline void* AssignWord(void* destination, const void* source) {
  std::memcpy(destination, source, sizeof(std::uint32_t));
  return destination;
}

}  // namespace veskor
