// The four-point 3-D noise evaluator.
#include <xmmintrin.h>

#include "mapengine/noise_generator.h"
#include "mapengine/noise_quad_sse.h"
#include "platform/cpu.h"

namespace veskor {

void NoiseValue3DQuad(const float* x, const float* y, const float* z, float* out) {
  ScopedRoundDown roundDown;
  _mm_storeu_ps(out, noise_sse::NoiseQuad(_mm_load_ps(x), _mm_load_ps(y), _mm_load_ps(z)));
}

}  // namespace veskor
