#include "geometry/scaled_transform.h"

#include <cmath>

namespace veskor {
namespace {

// Sine and cosine of an angle in degrees, exact at the right angles.
void SinCos(float degrees, float& s, float& c) {
  const float right[4][3] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}};
  for (const auto& r : right) {
    if (std::fabs(degrees - r[0]) < 1e-5f) {
      s = r[1], c = r[2];
      return;
    }
  }
  const float radians = degrees * 0.017453292f;
  s = std::sin(radians);
  c = std::cos(radians);
}

void Diagonal(float* m, float a, float b, float c) {
  for (int k = 0; k < 16; ++k) m[k] = 0;
  m[0] = a, m[5] = b, m[10] = c, m[15] = 1;
}

// Rotation rows (c, s), (-s, c) in the x-y plane.
void Rotation(float* m, float s, float c) {
  Diagonal(m, c, c, 1);
  m[1] = s, m[4] = -s;
}

void Translation(float* m, float x, float y, float z) {
  Diagonal(m, 1, 1, 1);
  m[12] = x, m[13] = y, m[14] = z;
}

}  // namespace

void TransformNodeScaledUpdate(TransformNode& node) {
  node.identity = 0;
  node.dirty = 0;
  const float* scale = node.axis;
  const float* offset = node.translation;
  float s, c;
  SinCos(node.angle, s, c);
  float a[16], b[16];
  // Matrix 1 = S R T.
  Diagonal(a, scale[0], scale[1], scale[2]);
  Rotation(b, s, c);
  MatrixProduct4(node.matrix, b, a);
  Translation(a, offset[0], offset[1], offset[2]);
  MatrixProduct4(node.matrix, a, node.matrix);
  // Matrix 2 = T' R' S'.
  Translation(a, -offset[0], -offset[1], -offset[2]);
  Rotation(b, -s, c);
  MatrixProduct4(node.inverse, b, a);
  Diagonal(a, 1.0f / scale[0], 1.0f / scale[1], 1.0f / scale[2]);
  MatrixProduct4(node.inverse, a, node.inverse);
}

const float* TransformNodeScaledMatrix(TransformNode& node) {
  if (node.dirty != 0) TransformNodeScaledUpdate(node);
  return node.matrix;
}

const float* TransformNodeScaledMatrix2(TransformNode& node) {
  if (node.dirty != 0) TransformNodeScaledUpdate(node);
  return node.inverse;
}

void CrossProduct(float* out, const float* a, const float* b) {
  const float x = a[1] * b[2] - a[2] * b[1];
  const float y = a[2] * b[0] - a[0] * b[2];
  const float z = a[0] * b[1] - a[1] * b[0];
  out[0] = x, out[1] = y, out[2] = z;
}

void MatrixProduct4(float* out, const float* a, const float* b) {
  // Row-major b x a is column-major a x b: the graphics core's element product, element (j, i).
  float product[16];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) MatrixProductElementF(j, i, &product[4 * i + j], a, b);
  }
  for (int k = 0; k < 16; ++k) out[k] = product[k];
}

}  // namespace veskor
