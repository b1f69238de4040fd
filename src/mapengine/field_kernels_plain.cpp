// Plain members of the vector-field and normal entries, and the family's registration.
// Intermediate results are kept in double (as the x87 unit kept them in extended precision)
// and rounded to float once, when stored. Every value of the sources is read before the
// destinations of that value are written, so a destination may be one of the sources (the
// normal kernels excepted: they read neighbours).
#include <bit>
#include <cmath>
#include <cstddef>

#include "mapengine/field_kernels.h"

namespace veskor {

namespace {

std::size_t VertexCount(std::uint8_t a, std::uint8_t b) {
  return ((std::size_t{1} << a) + 1) * ((std::size_t{1} << b) + 1);
}

std::size_t CellCount(std::uint8_t a, std::uint8_t b) {
  return ((std::size_t{1} << a) + 2) * ((std::size_t{1} << b) + 2);
}

struct Vec3 {
  double x, y, z;
};

Vec3 operator-(Vec3 p, Vec3 q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }
Vec3 operator*(double k, Vec3 v) { return {k * v.x, k * v.y, k * v.z}; }

Vec3 Cross(Vec3 u, Vec3 v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

// Stores n scaled to unit length. A degenerate cell gives n = 0, which stays 0 (the division
// would give non-numbers).
void StoreUnit(Vec3 n, float* nx, float* ny, float* nz) {
  const double s = n.x * n.x + n.y * n.y + n.z * n.z;
  if (s == 0.0) {
    *nx = *ny = *nz = 0.0f;
    return;
  }
  const double k = 1.0 / std::sqrt(s);
  *nx = static_cast<float>(n.x * k);
  *ny = static_cast<float>(n.y * k);
  *nz = static_cast<float>(n.z * k);
}

// The three component arrays of a position grid.
struct Positions {
  const float* x;
  const float* y;
  const float* z;
  Vec3 operator[](std::size_t k) const { return {x[k], y[k], z[k]}; }
};

// 0 when d < 0, else d (a non-number stays). A comparison mask keeps the bit pattern, so the
// loop does not branch on the sign of its data.
double ZeroBelowZero(double d) {
  const std::uint64_t keep = std::uint64_t{0} - std::uint64_t{!(0.0 > d)};
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(d) & keep);
}

void Transform(std::size_t n, const float* m, const float* x, const float* y, const float* z,
               float* dx, float* dy, float* dz) {
  for (std::size_t k = 0; k < n; ++k) {
    const double vx = x[k], vy = y[k], vz = z[k];
    const double rx = m[0] * vx + m[4] * vy + m[8] * vz + m[12];
    const double ry = m[1] * vx + m[5] * vy + m[9] * vz + m[13];
    const double rz = m[2] * vx + m[6] * vy + m[10] * vz + m[14];
    dx[k] = static_cast<float>(rx);
    dy[k] = static_cast<float>(ry);
    dz[k] = static_cast<float>(rz);
  }
}

}  // namespace

namespace plain {

void FieldDot(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
              const float* z1, const float* x2, const float* y2, const float* z2,
              float* destination) {
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k)
    destination[k] = static_cast<float>(double{x1[k]} * x2[k] + double{y1[k]} * y2[k] +
                                        double{z1[k]} * z2[k]);
}

void FieldDotConst(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                   const float* z, float c0, float c1, float c2, float* destination) {
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k)
    destination[k] =
        static_cast<float>(double{c0} * x[k] + double{c1} * y[k] + double{c2} * z[k]);
}

void FieldCross(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
                const float* z1, const float* x2, const float* y2, const float* z2, float* dx,
                float* dy, float* dz) {
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k) {
    const Vec3 c = Cross({x1[k], y1[k], z1[k]}, {x2[k], y2[k], z2[k]});
    dx[k] = static_cast<float>(c.x);
    dy[k] = static_cast<float>(c.y);
    dz[k] = static_cast<float>(c.z);
  }
}

void FieldCrossConst(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                     const float* z, float c0, float c1, float c2, float* dx, float* dy,
                     float* dz) {
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k) {
    const Vec3 c = Cross({x[k], y[k], z[k]}, {c0, c1, c2});
    dx[k] = static_cast<float>(c.x);
    dy[k] = static_cast<float>(c.y);
    dz[k] = static_cast<float>(c.z);
  }
}

void FieldNormalize3(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                     const float* z, float* dx, float* dy, float* dz) {
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k) {
    const double vx = x[k], vy = y[k], vz = z[k];
    const double s = vx * vx + vy * vy + vz * vz;
    // A zero vector has no direction: it stays as it is instead of becoming non-numbers.
    const double scale = s == 0.0 ? 1.0 : 1.0 / std::sqrt(s);
    dx[k] = static_cast<float>(scale * vx);
    dy[k] = static_cast<float>(scale * vy);
    dz[k] = static_cast<float>(scale * vz);
  }
}

void GridTransform(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                   const float* y, const float* z, float* dx, float* dy, float* dz) {
  Transform(VertexCount(a, b), m, x, y, z, dx, dy, dz);
}

void GridTransformVectors(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                          const float* y, const float* z, float* dx, float* dy, float* dz) {
  Transform(CellCount(a, b), m, x, y, z, dx, dy, dz);
}

void GridHeightNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                       const float* z, float* nx, float* ny, float* nz) {
  const std::size_t w = std::size_t{1} << a, h = std::size_t{1} << b, stride = w + 1;
  const Positions p{x, y, z};
  for (std::size_t j = 0; j <= h; ++j) {
    const bool edgeRow = j == 0 || j == h;
    const std::size_t row = j * stride;
    for (std::size_t i = 0; i <= w; ++i) {
      const bool edgeColumn = i == 0 || i == w;
      const std::size_t k = row + i;
      // Central differences inside, one-sided ones (doubled to the same span) on the edges;
      // the corners take the one-sided differences as they are.
      Vec3 du, dv;
      if (!edgeColumn)
        du = p[k + 1] - p[k - 1];
      else
        du = (edgeRow ? 1.0 : 2.0) * (i == 0 ? p[k + 1] - p[k] : p[k] - p[k - 1]);
      if (!edgeRow)
        dv = p[k + stride] - p[k - stride];
      else
        dv = (edgeColumn ? 1.0 : 2.0) * (j == 0 ? p[k + stride] - p[k] : p[k] - p[k - stride]);
      StoreUnit(Cross(du, dv), nx + k, ny + k, nz + k);
    }
  }
}

void GridDiagonalNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                         const float* z, float* nx, float* ny, float* nz) {
  // Vertex (i, j) lies between the cell centres [j][i], [j][i+1], [j+1][i], [j+1][i+1].
  const std::size_t w = std::size_t{1} << a, h = std::size_t{1} << b, cells = w + 2;
  const Positions q{x, y, z};
  for (std::size_t j = 0; j <= h; ++j) {
    for (std::size_t i = 0; i <= w; ++i) {
      const std::size_t c = j * cells + i;
      const Vec3 d1 = q[c + cells + 1] - q[c];
      const Vec3 d2 = q[c + cells] - q[c + 1];
      const std::size_t k = j * (w + 1) + i;
      StoreUnit(Cross(d1, d2), nx + k, ny + k, nz + k);
    }
  }
}

void FieldLightTerms(std::uint8_t a, std::uint8_t b, const float* fa, const float* fb,
                     const float* fc, float s0, float s1, float s2, float s3,
                     float* destination1, float* destination2) {
  const double r = static_cast<float>(1.0 / (double{s3} + 1.0));
  const std::size_t n = VertexCount(a, b);
  for (std::size_t k = 0; k < n; ++k) {
    const double c = fc[k];
    const double d = s3 - (double{s0} * fa[k] + double{s1} * fb[k] + s2 * c);
    destination1[k] = static_cast<float>(ZeroBelowZero(d) * r);
    destination2[k] = static_cast<float>((c + 1.0) * 0.0625);
  }
}

}  // namespace plain

}  // namespace veskor
