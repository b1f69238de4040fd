// The four-point 3-D noise evaluation of the SSE members (NoiseValue3DQuad and the SSE 3-D
// fills). Included by SSE kernel sources only. The arithmetic follows NoiseValue3D operation
// by operation; the floor is a plain floor computed explicitly, and the callers hold a
// ScopedRoundDown so the arithmetic rounds toward minus infinity like the other SSE members.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "mapengine/noise_generator.h"

// The evaluation is a few hundred instructions: inlined whole into the fill loops, it keeps its
// work arrays and constants in registers.
#define VESKOR_NOISE_INLINE inline __attribute__((always_inline))

namespace veskor::noise_sse {

// floor(s) as integers, and s - floor(s) in *fraction. Truncation toward zero, then one down
// where that went up (negative non-integers); it does not depend on the rounding mode.
VESKOR_NOISE_INLINE __m128i Floor(__m128 s, __m128* fraction) {
  __m128i n = _mm_cvttps_epi32(s);
  __m128 fn = _mm_cvtepi32_ps(n);
  const __m128 wentUp = _mm_cmpgt_ps(fn, s);
  n = _mm_add_epi32(n, _mm_castps_si128(wentUp));  // all-ones is -1
  fn = _mm_sub_ps(fn, _mm_and_ps(wentUp, _mm_set1_ps(1.0f)));
  *fraction = _mm_sub_ps(s, fn);
  return n;
}

// S(f) = (3 - 2f) f^2.
VESKOR_NOISE_INLINE __m128 Fade(__m128 f) {
  return _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(_mm_set1_ps(2.0f), f)),
                    _mm_mul_ps(f, f));
}

VESKOR_NOISE_INLINE __m128 Lerp(__m128 a, __m128 b, __m128 t) {
  return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a)));
}

// The gradients of one plane at the four corners of the four cells c[0..3]: corner (0, 0) of
// every point in *g00, and so on. Each row pair is one 8-byte load.
VESKOR_NOISE_INLINE void GatherCorners(const float* plane, const std::uint32_t* c, __m128* g00,
                                       __m128* g10, __m128* g01, __m128* g11) {
  const auto pair = [plane](__m128 v, std::uint32_t at, bool high) {
    const __m64* p = reinterpret_cast<const __m64*>(plane + at);
    return high ? _mm_loadh_pi(v, p) : _mm_loadl_pi(v, p);
  };
  constexpr std::uint32_t r = kNoiseLatticeRow;
  const __m128 zero = _mm_setzero_ps();
  const __m128 near01 = pair(pair(zero, c[0], false), c[1], true);
  const __m128 near23 = pair(pair(zero, c[2], false), c[3], true);
  const __m128 far01 = pair(pair(zero, c[0] + r, false), c[1] + r, true);
  const __m128 far23 = pair(pair(zero, c[2] + r, false), c[3] + r, true);
  *g00 = _mm_shuffle_ps(near01, near23, _MM_SHUFFLE(2, 0, 2, 0));
  *g10 = _mm_shuffle_ps(near01, near23, _MM_SHUFFLE(3, 1, 3, 1));
  *g01 = _mm_shuffle_ps(far01, far23, _MM_SHUFFLE(2, 0, 2, 0));
  *g11 = _mm_shuffle_ps(far01, far23, _MM_SHUFFLE(3, 1, 3, 1));
}

// gx ox + gy oy + gz oz, summed in that order.
VESKOR_NOISE_INLINE __m128 Dot(__m128 gx, __m128 gy, __m128 gz, __m128 ox, __m128 oy,
                               __m128 oz) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(gx, ox), _mm_mul_ps(gy, oy)), _mm_mul_ps(gz, oz));
}

VESKOR_NOISE_INLINE __m128 Slice(const std::uint32_t* c, __m128 fx, __m128 fy, __m128 fz,
                                 __m128 sx, __m128 sy) {
  __m128 x00, x10, x01, x11, y00, y10, y01, y11, z00, z10, z01, z11;
  GatherCorners(gNoiseLattice3DX.data, c, &x00, &x10, &x01, &x11);
  GatherCorners(gNoiseLattice3DY.data, c, &y00, &y10, &y01, &y11);
  GatherCorners(gNoiseLattice3DZ.data, c, &z00, &z10, &z01, &z11);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 fx1 = _mm_sub_ps(fx, one), fy1 = _mm_sub_ps(fy, one);
  const __m128 q00 = Dot(x00, y00, z00, fx, fy, fz);
  const __m128 q10 = Dot(x10, y10, z10, fx1, fy, fz);
  const __m128 q01 = Dot(x01, y01, z01, fx, fy1, fz);
  const __m128 q11 = Dot(x11, y11, z11, fx1, fy1, fz);
  return Lerp(Lerp(q00, q10, sx), Lerp(q01, q11, sx), sy);
}

// The 3-D noise at the four points (x, y, z), in lattice units / 64 as NoiseValue3D takes them.
VESKOR_NOISE_INLINE __m128 NoiseQuad(__m128 x, __m128 y, __m128 z) {
  const __m128 cells = _mm_set1_ps(static_cast<float>(kNoiseLatticeCells));
  __m128 fx, fy, fz;
  const __m128i i = Floor(_mm_mul_ps(x, cells), &fx);
  const __m128i j = Floor(_mm_mul_ps(y, cells), &fy);
  const __m128i k = Floor(_mm_mul_ps(z, cells), &fz);
  // Cell bases of slices k and k + 1: ((i + dx) & 63) + 65 ((j + dy) & 63) per lane, with the
  // shifts of each lane's slice from the packed table.
  alignas(16) std::uint32_t ck[4], c0[4], c1[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(ck), k);
  const std::uint32_t* shifts = gNoiseSliceShifts;
  const __m128i packed = _mm_set_epi32(
      static_cast<int>(shifts[ck[3] & 255u]), static_cast<int>(shifts[ck[2] & 255u]),
      static_cast<int>(shifts[ck[1] & 255u]), static_cast<int>(shifts[ck[0] & 255u]));
  const __m128i byte = _mm_set1_epi32(0xFF), mask = _mm_set1_epi32(kNoiseLatticeMask);
  const auto base = [&](int shiftX, int shiftY) {
    const __m128i dx = _mm_and_si128(_mm_srli_epi32(packed, shiftX), byte);
    const __m128i dy = _mm_and_si128(_mm_srli_epi32(packed, shiftY), byte);
    const __m128i cx = _mm_and_si128(_mm_add_epi32(i, dx), mask);
    const __m128i cy = _mm_and_si128(_mm_add_epi32(j, dy), mask);
    static_assert(kNoiseLatticeRow == 65, "row = (cy << 6) + cy");
    return _mm_add_epi32(cx, _mm_add_epi32(_mm_slli_epi32(cy, 6), cy));
  };
  _mm_store_si128(reinterpret_cast<__m128i*>(c0), base(0, 8));
  _mm_store_si128(reinterpret_cast<__m128i*>(c1), base(16, 24));
  const __m128 sx = Fade(fx), sy = Fade(fy);
  const __m128 w0 = Slice(c0, fx, fy, fz, sx, sy);
  const __m128 w1 = Slice(c1, fx, fy, _mm_sub_ps(fz, _mm_set1_ps(1.0f)), sx, sy);
  return Lerp(w0, w1, Fade(fz));
}

}  // namespace veskor::noise_sse
