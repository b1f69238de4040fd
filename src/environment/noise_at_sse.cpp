// The SSE member of NoiseAt: the three coordinates in one register, the four corners of a
// slice of the lattice cell (at the lattice's own cell index) in another, so each slice is one
// multiply-add chain and the blend of both slices runs side by side.
#include <emmintrin.h>

#include <cstdint>

#include "environment/noise_at.h"
#include "mapengine/noise_generator.h"
#include "platform/cpu.h"

namespace veskor {

namespace {

// The corners of the cell at `base` of one gradient plane, in NoiseCellCorners' order: two
// pairs of neighbours, one row apart, each read in one load.
inline __m128 Corners(const float* plane, std::uint32_t base) {
  const __m128 low = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(plane + base));
  return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(plane + base + kNoiseLatticeRow));
}

// The four corner terms of slice cell (i, j): gradient . offset, summed x, y, z in that order.
inline __m128 Slice(std::uint32_t i, std::uint32_t j, __m128 ox, __m128 oy, __m128 oz) {
  const std::uint32_t base =
      NoiseCellBase(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
  const __m128 gx = Corners(gNoiseLattice3DX.data, base);
  const __m128 gy = Corners(gNoiseLattice3DY.data, base);
  const __m128 gz = Corners(gNoiseLattice3DZ.data, base);
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(gx, ox), _mm_mul_ps(gy, oy)), _mm_mul_ps(gz, oz));
}

inline __m128 Lerp(__m128 a, __m128 b, __m128 t) {
  return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a)));
}

inline __m128 Lane(__m128 v, int lane) {
  switch (lane) {
    case 0: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
    case 1: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
    default: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
  }
}

}  // namespace

float NoiseAtSse(const float* p) {
  ScopedRoundDown roundDown;
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  const __m128 point = _mm_setr_ps(p[0], p[1], p[2], 0.0f);
  const __m128 scale = _mm_setr_ps(g.scaleX, g.scaleY, g.scaleZ, 0.0f);
  const __m128 offset = _mm_setr_ps(g.offsetX, g.offsetY, g.offsetZ, 0.0f);
  const __m128 s = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(point, scale), offset),
                              _mm_set1_ps(static_cast<float>(kNoiseLatticeCells)));
  // Rounding down, the conversion is the floor.
  const __m128i cell = _mm_cvtps_epi32(s);
  const __m128 f = _mm_sub_ps(s, _mm_cvtepi32_ps(cell));
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 fade =
      _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(_mm_set1_ps(2.0f), f)), _mm_mul_ps(f, f));

  alignas(16) std::int32_t c[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(c), cell);
  const auto i = static_cast<std::uint32_t>(c[0]), j = static_cast<std::uint32_t>(c[1]);
  const std::uint32_t shifts = gNoiseSliceShifts[static_cast<std::uint32_t>(c[2]) & 255u];

  // Offsets of the corners (0,0), (1,0), (0,1), (1,1) from the point.
  const __m128 fx = Lane(f, 0), fy = Lane(f, 1), fz = Lane(f, 2);
  const __m128 ox = _mm_sub_ps(fx, _mm_setr_ps(0.0f, 1.0f, 0.0f, 1.0f));
  const __m128 oy = _mm_sub_ps(fy, _mm_setr_ps(0.0f, 0.0f, 1.0f, 1.0f));
  const __m128 q0 = Slice(i + (shifts & 0xFFu), j + ((shifts >> 8) & 0xFFu), ox, oy, fz);
  const __m128 q1 =
      Slice(i + ((shifts >> 16) & 0xFFu), j + (shifts >> 24), ox, oy, _mm_sub_ps(fz, one));

  // Along x: (q00, q01) of both slices towards (q10, q11); then along y; then along z.
  const __m128 x = Lerp(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(2, 0, 2, 0)),
                        _mm_shuffle_ps(q0, q1, _MM_SHUFFLE(3, 1, 3, 1)), Lane(fade, 0));
  const __m128 y = Lerp(_mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 0, 2, 0)),
                        _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 1, 3, 1)), Lane(fade, 1));
  const __m128 w = Lerp(y, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)), Lane(fade, 2));
  const __m128 v = _mm_add_ss(_mm_mul_ss(w, _mm_set_ss(g.scaleValue)), _mm_set_ss(g.offsetValue));
  return _mm_cvtss_f32(v);
}

}  // namespace veskor
