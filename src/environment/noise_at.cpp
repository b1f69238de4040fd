#include "environment/noise_at.h"

#include "mapengine/kernel_table.h"
#include "mapengine/noise_generator.h"

namespace veskor {

float NoiseAt(const float* p) { return HasSse() != 0 ? NoiseAtSse(p) : NoiseAtPlain(p); }

float NoiseAtPlain(const float* p) {
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  const float v = NoiseValue3D(p[0] * g.scaleX + g.offsetX, p[1] * g.scaleY + g.offsetY,
                               p[2] * g.scaleZ + g.offsetZ);
  return v * g.scaleValue + g.offsetValue;
}

}  // namespace veskor
