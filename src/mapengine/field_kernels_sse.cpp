// SSE members of the vector-field and normal entries: single precision, four values at a time
// with unaligned loads, the rest one by one with the same operations in the same order. Each
// block of four reads all its sources before it stores, so a destination may be a source.
#include <xmmintrin.h>

#include <cfloat>
#include <cstddef>

#include "mapengine/field_kernels.h"
#include "mapengine/inv_sqrt_estimate.h"

namespace veskor::sse {

namespace {

std::size_t VertexCount(std::uint8_t a, std::uint8_t b) {
  return ((std::size_t{1} << a) + 1) * ((std::size_t{1} << b) + 1);
}

std::size_t CellCount(std::uint8_t a, std::uint8_t b) {
  return ((std::size_t{1} << a) + 2) * ((std::size_t{1} << b) + 2);
}

// ((c0 x + c1 y) + c2 z) + t, the order of the plain member.
__m128 Row(__m128 c0, __m128 c1, __m128 c2, __m128 t, __m128 x, __m128 y, __m128 z) {
  return _mm_add_ps(
      _mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, x), _mm_mul_ps(c1, y)), _mm_mul_ps(c2, z)), t);
}

void Transform(std::size_t n, const float* m, const float* x, const float* y, const float* z,
               float* dx, float* dy, float* dz) {
  __m128 c[12];
  for (int e = 0; e < 12; ++e) c[e] = _mm_set1_ps(m[e + e / 3]);  // skips m3, m7, m11
  // c[0..2] = m0 m1 m2, c[3..5] = m4 m5 m6, c[6..8] = m8 m9 m10, c[9..11] = m12 m13 m14.
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128 vx = _mm_loadu_ps(x + k), vy = _mm_loadu_ps(y + k), vz = _mm_loadu_ps(z + k);
    const __m128 rx = Row(c[0], c[3], c[6], c[9], vx, vy, vz);
    const __m128 ry = Row(c[1], c[4], c[7], c[10], vx, vy, vz);
    const __m128 rz = Row(c[2], c[5], c[8], c[11], vx, vy, vz);
    _mm_storeu_ps(dx + k, rx);
    _mm_storeu_ps(dy + k, ry);
    _mm_storeu_ps(dz + k, rz);
  }
  for (; k < n; ++k) {
    const __m128 vx = _mm_set_ss(x[k]), vy = _mm_set_ss(y[k]), vz = _mm_set_ss(z[k]);
    const float rx = _mm_cvtss_f32(Row(c[0], c[3], c[6], c[9], vx, vy, vz));
    const float ry = _mm_cvtss_f32(Row(c[1], c[4], c[7], c[10], vx, vy, vz));
    const float rz = _mm_cvtss_f32(Row(c[2], c[5], c[8], c[11], vx, vy, vz));
    dx[k] = rx;
    dy[k] = ry;
    dz[k] = rz;
  }
}

// Unit normals of the crosses d1 x d2, four lanes. The estimate of a zero (or subnormal)
// squared length is infinite; those lanes are masked to the zero normal instead.
template <InvSqrtEstimate kEstimate>
void UnitCross(__m128 d1x, __m128 d1y, __m128 d1z, __m128 d2x, __m128 d2y, __m128 d2z,
               __m128& nx, __m128& ny, __m128& nz) {
  nx = _mm_sub_ps(_mm_mul_ps(d1y, d2z), _mm_mul_ps(d1z, d2y));
  ny = _mm_sub_ps(_mm_mul_ps(d1z, d2x), _mm_mul_ps(d1x, d2z));
  nz = _mm_sub_ps(_mm_mul_ps(d1x, d2y), _mm_mul_ps(d1y, d2x));
  const __m128 s = _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)),
                              _mm_mul_ps(nz, nz));
  const __m128 usable = _mm_cmpge_ps(s, _mm_set1_ps(FLT_MIN));
  const __m128 k = _mm_and_ps(EstimateInvSqrt<kEstimate>(s), usable);
  nx = _mm_mul_ps(nx, k);
  ny = _mm_mul_ps(ny, k);
  nz = _mm_mul_ps(nz, k);
}

template <int kLanes>
__m128 Load(const float* p) {
  if constexpr (kLanes == 4)
    return _mm_loadu_ps(p);
  else
    return _mm_set_ss(*p);
}

template <int kLanes>
void Store(float* p, __m128 v) {
  if constexpr (kLanes == 4)
    _mm_storeu_ps(p, v);
  else
    _mm_store_ss(p, v);
}

// Normals of kLanes vertices from the cell centres Q (c = the first vertex's cell-layout
// position [j][i]): d1 = Q[j+1][i+1] - Q[j][i], d2 = Q[j+1][i] - Q[j][i+1].
template <InvSqrtEstimate kEstimate, int kLanes>
void DiagonalNormals(const float* x, const float* y, const float* z, std::size_t c,
                     std::size_t cells, float* nx, float* ny, float* nz) {
  const std::size_t below = c + cells;
  __m128 vx, vy, vz;
  UnitCross<kEstimate>(_mm_sub_ps(Load<kLanes>(x + below + 1), Load<kLanes>(x + c)),
                       _mm_sub_ps(Load<kLanes>(y + below + 1), Load<kLanes>(y + c)),
                       _mm_sub_ps(Load<kLanes>(z + below + 1), Load<kLanes>(z + c)),
                       _mm_sub_ps(Load<kLanes>(x + below), Load<kLanes>(x + c + 1)),
                       _mm_sub_ps(Load<kLanes>(y + below), Load<kLanes>(y + c + 1)),
                       _mm_sub_ps(Load<kLanes>(z + below), Load<kLanes>(z + c + 1)), vx, vy, vz);
  Store<kLanes>(nx, vx);
  Store<kLanes>(ny, vy);
  Store<kLanes>(nz, vz);
}

}  // namespace

void GridTransform(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                   const float* y, const float* z, float* dx, float* dy, float* dz) {
  Transform(VertexCount(a, b), m, x, y, z, dx, dy, dz);
}

void GridTransformVectors(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                          const float* y, const float* z, float* dx, float* dy, float* dz) {
  Transform(CellCount(a, b), m, x, y, z, dx, dy, dz);
}

template <InvSqrtEstimate kEstimate>
void GridDiagonalNormalsWith(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                             const float* z, float* nx, float* ny, float* nz) {
  const std::size_t w = std::size_t{1} << a, h = std::size_t{1} << b, cells = w + 2;
  for (std::size_t j = 0; j <= h; ++j) {
    const std::size_t row = j * cells, out = j * (w + 1);
    // Four vertices at a time, then the rest of the row's w + 1 one lane at a time.
    std::size_t i = 0;
    for (; i + 4 <= w + 1; i += 4)
      DiagonalNormals<kEstimate, 4>(x, y, z, row + i, cells, nx + out + i, ny + out + i,
                                    nz + out + i);
    for (; i <= w; ++i)
      DiagonalNormals<kEstimate, 1>(x, y, z, row + i, cells, nx + out + i, ny + out + i,
                                    nz + out + i);
  }
}

void GridDiagonalNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                         const float* z, float* nx, float* ny, float* nz) {
  GridDiagonalNormalsWith<InvSqrtEstimate::kProcessor>(a, b, x, y, z, nx, ny, nz);
}

template void GridDiagonalNormalsWith<InvSqrtEstimate::kLowEnd>(
    std::uint8_t, std::uint8_t, const float*, const float*, const float*, float*, float*, float*);
template void GridDiagonalNormalsWith<InvSqrtEstimate::kHighEnd>(
    std::uint8_t, std::uint8_t, const float*, const float*, const float*, float*, float*, float*);

void FieldLightTerms(std::uint8_t a, std::uint8_t b, const float* fa, const float* fb,
                     const float* fc, float s0, float s1, float s2, float s3,
                     float* destination1, float* destination2) {
  const float r = _mm_cvtss_f32(
      _mm_div_ss(_mm_set_ss(1.0f), _mm_add_ss(_mm_set_ss(s3), _mm_set_ss(1.0f))));
  const __m128 vr = _mm_set1_ps(r);
  const __m128 k0 = _mm_mul_ps(_mm_set1_ps(s0), vr), k1 = _mm_mul_ps(_mm_set1_ps(s1), vr);
  const __m128 k2 = _mm_mul_ps(_mm_set1_ps(s2), vr), k3 = _mm_mul_ps(_mm_set1_ps(s3), vr);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
  const __m128 sixteenth = _mm_set1_ps(0.0625f);
  // max(0, d) gives d for a non-number, as the plain member keeps it.
  auto terms = [&](__m128 va, __m128 vb, __m128 vc, __m128& d1, __m128& d2) {
    const __m128 sum =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(k0, va), _mm_mul_ps(k1, vb)), _mm_mul_ps(k2, vc));
    d1 = _mm_max_ps(zero, _mm_sub_ps(k3, sum));
    d2 = _mm_mul_ps(_mm_add_ps(vc, one), sixteenth);
  };
  const std::size_t n = VertexCount(a, b);
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    __m128 d1, d2;
    terms(_mm_loadu_ps(fa + k), _mm_loadu_ps(fb + k), _mm_loadu_ps(fc + k), d1, d2);
    _mm_storeu_ps(destination1 + k, d1);
    _mm_storeu_ps(destination2 + k, d2);
  }
  for (; k < n; ++k) {
    __m128 d1, d2;
    terms(_mm_set_ss(fa[k]), _mm_set_ss(fb[k]), _mm_set_ss(fc[k]), d1, d2);
    _mm_store_ss(destination1 + k, d1);
    _mm_store_ss(destination2 + k, d2);
  }
}

}  // namespace veskor::sse
