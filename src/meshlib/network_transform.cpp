#include "meshlib/network_transform.h"

#include "gfx/transform_node.h"

namespace veskor {

namespace {

using Matrix = double[16];

void Multiply(const Matrix& a, const Matrix& b, Matrix& out) {
  Matrix r;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) MatrixProductElement(i, j, &r[i + 4 * j], a, b);
  for (int k = 0; k < 16; ++k) out[k] = r[k];
}

void Identity(Matrix& m) {
  for (int k = 0; k < 16; ++k) m[k] = (k % 5 == 0) ? 1.0 : 0.0;
}

void Translation(double x, double y, double z, Matrix& m) {
  Identity(m);
  m[12] = x, m[13] = y, m[14] = z;
}

void Scaling(double x, double y, double z, Matrix& m) {
  Identity(m);
  m[0] = x, m[5] = y, m[10] = z;
}

// Rotation about the axis (as given) for column vectors; `sign` -1 gives the transpose.
void Rotation(const float* axis, double c, double s, double sign, Matrix& m) {
  const double x = axis[0], y = axis[1], z = axis[2], t = 1.0 - c;
  s *= sign;
  Identity(m);
  m[0] = x * x * t + c, m[4] = x * y * t - z * s, m[8] = x * z * t + y * s;
  m[1] = x * y * t + z * s, m[5] = y * y * t + c, m[9] = y * z * t - x * s;
  m[2] = x * z * t - y * s, m[6] = y * z * t + x * s, m[10] = z * z * t + c;
}

void Store(const Matrix& m, float* out) {
  for (int k = 0; k < 16; ++k) out[k] = static_cast<float>(m[k]);
}

}  // namespace

void AngleTransformMatrix(NetworkTransform& node) {
  node.flag = 0;
  node.dirty = 0;
  double c, s;
  CosSinDegrees(node.angle, c, s);
  const double px = node.pivot[0], py = node.pivot[1], pz = node.pivot[2];
  const double qx = px + node.displacement[0], qy = py + node.displacement[1],
               qz = pz + node.displacement[2];
  Matrix a, b, m;

  Translation(qx, qy, qz, m);
  Rotation(node.axis, c, s, 1.0, a);
  Multiply(m, a, m);
  Scaling(node.scale[0], node.scale[1], node.scale[2], a);
  Multiply(m, a, m);
  Translation(-px, -py, -pz, a);
  Multiply(m, a, m);
  Store(m, node.forward);

  Translation(px, py, pz, m);
  Scaling(1.0 / node.scale[0], 1.0 / node.scale[1], 1.0 / node.scale[2], a);
  Multiply(m, a, m);
  Rotation(node.axis, c, s, -1.0, b);
  Multiply(m, b, m);
  Translation(-qx, -qy, -qz, a);
  Multiply(m, a, m);
  Store(m, node.inverse);

  for (int k = 0; k < 3; ++k) node.pivot[k] += node.displacement[k];
}

}  // namespace veskor
