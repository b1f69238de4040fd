// SSE members of the 3-D plain and fractal fills: blocks of 8 vertices as two groups of 4
// through the four-point evaluation, the rest one by one as the plain members do.
#include <xmmintrin.h>

#include "mapengine/noise_fills.h"
#include "mapengine/noise_fills_scalar.h"
#include "mapengine/noise_quad_sse.h"
#include "platform/cpu.h"

namespace veskor::sse {

namespace {

// Scales and offsets as 4-vectors (x, y, z, value), broadcast per component.
struct Transform {
  __m128 sx, sy, sz, sv, ox, oy, oz, ov;
};

Transform Broadcast(float sx, float sy, float sz, float sv, const NoiseGenerator3D& g) {
  return {_mm_set1_ps(sx),        _mm_set1_ps(sy),        _mm_set1_ps(sz),
          _mm_set1_ps(sv),        _mm_set1_ps(g.offsetX), _mm_set1_ps(g.offsetY),
          _mm_set1_ps(g.offsetZ), _mm_set1_ps(g.offsetValue)};
}

// v * value scale + value offset for the noise at (x sx + ox, y sy + oy, z sz + oz).
inline __m128 Sample(const Transform& t, __m128 x, __m128 y, __m128 z) {
  const __m128 v = noise_sse::NoiseQuad(_mm_add_ps(_mm_mul_ps(x, t.sx), t.ox),
                                        _mm_add_ps(_mm_mul_ps(y, t.sy), t.oy),
                                        _mm_add_ps(_mm_mul_ps(z, t.sz), t.oz));
  return _mm_add_ps(_mm_mul_ps(v, t.sv), t.ov);
}

}  // namespace

void NoiseFill3D(const NoiseGenerator3D& g, const VertexGrid& sourceX, const VertexGrid& sourceY,
                 const VertexGrid& sourceZ, VertexGrid& destination) {
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  const std::uint32_t count = plain::NoiseVertexCount(sourceX);
  const std::uint32_t blocked = count & ~7u;
  const float* x = sourceX.data;
  const float* y = sourceY.data;
  const float* z = sourceZ.data;
  float* d = destination.data;
  {
    ScopedRoundDown roundDown;
    const Transform t = Broadcast(g.scaleX, g.scaleY, g.scaleZ, g.scaleValue, g);
    for (std::uint32_t v = 0; v < blocked; v += 4)
      _mm_storeu_ps(d + v, Sample(t, _mm_loadu_ps(x + v), _mm_loadu_ps(y + v),
                                  _mm_loadu_ps(z + v)));
  }
  plain::NoiseFill3DRange(g, x, y, z, d, blocked, count);
}

void NoiseFractal3D(const NoiseGenerator3D& g, const NoiseOctaves& o, const VertexGrid& sourceX,
                    const VertexGrid& sourceY, const VertexGrid& sourceZ,
                    VertexGrid& destination) {
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  const std::uint32_t count = plain::NoiseVertexCount(sourceX);
  const std::uint32_t blocked = count & ~7u;
  const float* x = sourceX.data;
  const float* y = sourceY.data;
  const float* z = sourceZ.data;
  float* d = destination.data;
  {
    // The per-octave scales, computed once per call as the plain member computes them.
    Transform octave[kNoiseMaxOctaves];
    for (std::uint32_t i = 0; i < o.count; ++i) {
      const float f = o.frequency[i];
      octave[i] = Broadcast(f * g.scaleX, f * g.scaleY, f * g.scaleZ,
                            o.amplitude[i] * g.scaleValue, g);
    }
    ScopedRoundDown roundDown;
    for (std::uint32_t v = 0; v < blocked; v += 8) {
      // The block's points are read before anything is stored.
      const __m128 x0 = _mm_loadu_ps(x + v), x1 = _mm_loadu_ps(x + v + 4);
      const __m128 y0 = _mm_loadu_ps(y + v), y1 = _mm_loadu_ps(y + v + 4);
      const __m128 z0 = _mm_loadu_ps(z + v), z1 = _mm_loadu_ps(z + v + 4);
      __m128 sum0 = Sample(octave[0], x0, y0, z0);
      __m128 sum1 = Sample(octave[0], x1, y1, z1);
      for (std::uint32_t i = 1; i < o.count; ++i) {
        sum0 = _mm_add_ps(sum0, Sample(octave[i], x0, y0, z0));
        sum1 = _mm_add_ps(sum1, Sample(octave[i], x1, y1, z1));
      }
      _mm_storeu_ps(d + v, sum0);
      _mm_storeu_ps(d + v + 4, sum1);
    }
  }
  plain::NoiseFractal3DRange(g, o, x, y, z, d, blocked, count);
}

}  // namespace veskor::sse
