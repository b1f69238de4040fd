// SSE member of the lookup in a table of W x H values: four coordinates at a time, limited to
// [0, 0.999] with minimum and maximum, truncated, the weights and sum in single precision.
#include <emmintrin.h>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/grid_layout_kernels.h"

namespace veskor::sse {

namespace {

using u32 = std::uint32_t;

struct Lookup {
  const float* table;
  u32 stride, right, down;  // neighbour steps are 0 for a table one value wide or high
  float sx, sy;

  // maxss/maxps give the second operand for a NaN: a NaN coordinate becomes 0.
  float One(float u, float v) const {
    u = _mm_cvtss_f32(_mm_min_ss(_mm_max_ss(_mm_set_ss(u), _mm_setzero_ps()), _mm_set_ss(0.999f)));
    v = _mm_cvtss_f32(_mm_min_ss(_mm_max_ss(_mm_set_ss(v), _mm_setzero_ps()), _mm_set_ss(0.999f)));
    const float x = u * sx, y = v * sy;
    const u32 ix = static_cast<u32>(x), iy = static_cast<u32>(y);
    const float fx = x - static_cast<float>(ix), fy = y - static_cast<float>(iy);
    const float gx = 1.0f - fx, gy = 1.0f - fy;
    const float* p = table + iy * stride + ix;
    return gx * gy * p[0] + fx * gy * p[right] + gx * fy * p[down] + fx * fy * p[down + right];
  }
};

}  // namespace

void GridSampleBilinear7(u32 width, u32 height, const float* t1, std::uint8_t a, std::uint8_t b,
                         const float* u, const float* v, float* d1) {
  const Lookup lookup{t1,
                      width,
                      width > 1 ? 1u : 0u,
                      height > 1 ? width : 0u,
                      static_cast<float>(width - 1),
                      static_cast<float>(height - 1)};
  const u32 n = GridValueCount(a, b);
  const __m128 zero = _mm_setzero_ps(), limit = _mm_set1_ps(0.999f), one = _mm_set1_ps(1.0f);
  const __m128 sx = _mm_set1_ps(lookup.sx), sy = _mm_set1_ps(lookup.sy);
  u32 k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128 x = _mm_mul_ps(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(u + k), zero), limit), sx);
    const __m128 y = _mm_mul_ps(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(v + k), zero), limit), sy);
    const __m128i ix = _mm_cvttps_epi32(x), iy = _mm_cvttps_epi32(y);
    const __m128 fx = _mm_sub_ps(x, _mm_cvtepi32_ps(ix)), fy = _mm_sub_ps(y, _mm_cvtepi32_ps(iy));
    const __m128 gx = _mm_sub_ps(one, fx), gy = _mm_sub_ps(one, fy);
    alignas(16) std::int32_t cx[4], cy[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(cx), ix);
    _mm_store_si128(reinterpret_cast<__m128i*>(cy), iy);
    alignas(16) float t00[4], t10[4], t01[4], t11[4];
    for (int l = 0; l < 4; ++l) {
      const float* p = t1 + static_cast<u32>(cy[l]) * lookup.stride + static_cast<u32>(cx[l]);
      t00[l] = p[0];
      t10[l] = p[lookup.right];
      t01[l] = p[lookup.down];
      t11[l] = p[lookup.down + lookup.right];
    }
    __m128 sum = _mm_mul_ps(_mm_mul_ps(gx, gy), _mm_load_ps(t00));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(fx, gy), _mm_load_ps(t10)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(gx, fy), _mm_load_ps(t01)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_mul_ps(fx, fy), _mm_load_ps(t11)));
    _mm_storeu_ps(d1 + k, sum);
  }
  for (; k < n; ++k) d1[k] = lookup.One(u[k], v[k]);
}

}  // namespace veskor::sse
