#include "gfx/transform_node.h"

#include <cmath>

namespace veskor {

namespace {

void SetIdentity(float* m) {
  for (int k = 0; k < 16; ++k) m[k] = (k % 5 == 0) ? 1.0f : 0.0f;
}

void InitWithAxis(TransformNode& node, float x, float y, float z) {
  node.identity = 1;
  node.dirty = 0;
  SetIdentity(node.matrix);
  SetIdentity(node.inverse);
  node.axis[0] = x;
  node.axis[1] = y;
  node.axis[2] = z;
  node.angle = 0.0f;
  node.translation[0] = node.translation[1] = node.translation[2] = 0.0f;
}

void Product(float* out, const double* a, const double* b) {
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 4; ++i) {
      double e;
      MatrixProductElement(i, j, &e, a, b);
      out[i + 4 * j] = static_cast<float>(e);
    }
  }
}

}  // namespace

void TransformNodeInit(TransformNode& node) { InitWithAxis(node, 0, 0, 1); }
void TransformNodeInitUnit(TransformNode& node) { InitWithAxis(node, 1, 1, 1); }
std::int32_t TransformNodeFlag(const TransformNode& node) { return node.identity; }

const float* TransformNodeMatrix(TransformNode& node) {
  if (node.dirty != 0) TransformNodeUpdate(node);
  return node.matrix;
}

const float* TransformNodeMatrix2(TransformNode& node) {
  if (node.dirty != 0) TransformNodeUpdate(node);
  return node.inverse;
}

void TransformNodeUpdate(TransformNode& node) {
  node.identity = 0;
  node.dirty = 0;
  double co, si;
  CosSinDegrees(node.angle, co, si);
  const double x = node.axis[0], y = node.axis[1], z = node.axis[2];
  const double c1 = 1 - co;
  // R and its transpose (the sign of si reversed), column-major.
  double r[16] = {}, rt[16] = {};
  const double rows[3][3] = {{x * x + (1 - x * x) * co, x * y * c1 - z * si, x * z * c1 + y * si},
                             {x * y * c1 + z * si, y * y + (1 - y * y) * co, y * z * c1 - x * si},
                             {x * z * c1 - y * si, y * z * c1 + x * si, z * z + (1 - z * z) * co}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      r[i + 4 * j] = rows[i][j];
      rt[j + 4 * i] = rows[i][j];
    }
  }
  r[15] = rt[15] = 1;
  double t[16] = {}, tn[16] = {};
  for (int k = 0; k < 4; ++k) t[5 * k] = tn[5 * k] = 1;
  for (int k = 0; k < 3; ++k) {
    t[12 + k] = node.translation[k];
    tn[12 + k] = -double{node.translation[k]};
  }
  Product(node.matrix, t, r);
  Product(node.inverse, rt, tn);
}

void TransformNodeSetTranslation(TransformNode& node, float x, float y, float z) {
  node.translation[0] = x;
  node.translation[1] = y;
  node.translation[2] = z;
  node.dirty = 1;
  node.identity = 0;
}

void TransformNodeSetRotation(TransformNode& node, float x, float y, float z, float degrees) {
  const double length = std::sqrt(double{x} * x + double{y} * y + double{z} * z);
  if (length > 0) {
    node.axis[0] = static_cast<float>(x / length);
    node.axis[1] = static_cast<float>(y / length);
    node.axis[2] = static_cast<float>(z / length);
  }
  node.angle = degrees;
  node.dirty = 1;
  node.identity = 0;
}

float* Dot3(float* out, const float* a, const float* b) {
  *out = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  return out;
}

void CosSinDegrees(double a, double& co, double& si) {
  if (std::fabs(a) < 0.00001) {
    co = 1, si = 0;
  } else if (std::fabs(a - 90) < 0.00001) {
    co = 0, si = 1;
  } else if (std::fabs(a - 180) < 0.00001) {
    co = -1, si = 0;
  } else if (std::fabs(a - 270) < 0.00001) {
    co = 0, si = -1;
  } else if (std::fabs(a + 90) <= 0.0005) {
    co = 0, si = -1;
  } else {
    const double r = a * 0.017453292;
    co = std::cos(r);
    si = std::sin(r);
  }
}

void MatrixProductElement(int i, int j, double* out, const double* a, const double* b) {
  double sum = 0;
  for (int k = 0; k < 4; ++k) sum += a[i + 4 * k] * b[4 * j + k];
  *out = sum;
}

void MatrixProductElementF(int i, int j, float* out, const float* a, const float* b) {
  double sum = 0;
  for (int k = 0; k < 4; ++k) sum += double{a[i + 4 * k]} * b[4 * j + k];
  *out = static_cast<float>(sum);
}

}  // namespace veskor
