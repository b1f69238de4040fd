#include "environment/colour_conversion.h"

#include "mapengine/kernel_table.h"

namespace veskor {

void ConvertColourTriple(float x, float y, float z, float& r, float& g, float& b) {
  constexpr float K = 4.7653084f;
  r = K * ((0.61f * x - 0.28f * y) * 0.755f + 0.028f * z - 0.08845f * z - 0.011f * x +
           0.01595f * y);
  g = K * (0.4681f * y - 0.2567f * x - 0.062f * z + 0.0493f * z + 0.004f * x - 0.0058f * y);
  b = K * (0.3782f * z - 0.0952f * z - 0.0682f * y + 0.0374f * x + 0.0112f * y - 0.0244f * x);
}

void YxyToRgb(float Y, float x, float y, const float* matrix, float& r, float& g, float& b) {
  float c[3];
  ConvertColourTriple(x, y, 1.0f - x - y, c[0], c[1], c[2]);
  if (c[0] < 0.0f || c[1] < 0.0f || c[2] < 0.0f) {
    // The factor that lifts the most negative component exactly to 0.
    float s = 1.0f;
    for (float v : c)
      if (v < 0.0f && 1.0f / (1.0f - v) < s) s = 1.0f / (1.0f - v);
    for (float& v : c) {
      v = 1.0f + s * (v - 1.0f);
      v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }
  }
  const float scaled[3] = {Y * c[0], Y * c[1], Y * c[2]};
  if (matrix != nullptr) {
    float out[3];
    gKernelTable.KernelTransformPoint(out, matrix, scaled);
    r = out[0], g = out[1], b = out[2];
  } else {
    r = scaled[0], g = scaled[1], b = scaled[2];
  }
}

}  // namespace veskor
