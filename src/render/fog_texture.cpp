#include "render/fog_texture.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/fog_curve.h"
#include "gfx/fog_floor.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

FloatTexture2D FogTexture;

double FogTransmission(double e, double intensity, double distance, double u) {
  const double m = std::min(u / distance - 1.0, 0.0);
  const double e2 = e * e;
  // (exp(-a^2) - exp(-e^2)) / (1 - exp(-e^2)) with a = e m, written with expm1 so that a tiny
  // block value keeps its digits; at e^2 = 0 the quotient's limit 1 - m^2.
  const double denominator = -std::expm1(-e2);
  const double shape =
      denominator > 0.0 ? (std::expm1(-e2 * m * m) - std::expm1(-e2)) / denominator : 1.0 - m * m;
  return 1.0 - intensity * shape;
}

void FogTextureFill() {
  const std::uint32_t size = 1u << kFogTextureLog2Size;
  FloatTexture2DRealloc(FogTexture, 4, kFogTextureLog2Size, kFogTextureLog2Size);
  auto* texels = static_cast<float*>(TextureData(FogTexture));
  const FogParameters& fog = FogParams;
  const HazeParameters& haze = HazeParams;
  for (std::uint32_t i = 0; i < size; ++i) {
    const double u = (i + 0.5) / size;
    const double f = FogTransmission(fog.exp, fog.intensity, fog.distance, u);
    const double h = FogTransmission(haze.exp, haze.intensity, haze.distance, u);
    FogCurve[i] = static_cast<float>(f);
    float colour[3];
    for (int k = 0; k < 3; ++k) colour[k] = static_cast<float>((h + (1.0 - h) * haze.color[k]) * h);
    for (std::uint32_t j = 0; j < size; ++j) {
      float* t = texels + 4 * (j * size + i);
      t[0] = colour[0];
      t[1] = colour[1];
      t[2] = colour[2];
      t[3] = static_cast<float>((j + 0.5) / size * f);
    }
  }
  FogCurveLength = kFogCurveCapacity;
}

namespace {

// The plane through `origin` with normal `normal`, in double precision.
void PlaneThrough(const float* origin, const double* normal, double* plane) {
  plane[0] = normal[0];
  plane[1] = normal[1];
  plane[2] = normal[2];
  plane[3] = -(origin[0] * normal[0] + origin[1] * normal[1] + origin[2] * normal[2]);
}

}  // namespace

void SetPlanarTexGen(const Camera& camera, float /*exp*/, float /*intensity*/, float zstart,
                     float zdistance, float /*zintensity*/, const float* matrix) {
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);

  // Each plane is a point on it and the step to a second point (E to E + direction for s, A to
  // B = A + (0, 0, 1 / span) for t). With a matrix the first point goes through the kernel and
  // the step through the matrix's linear part, in double: the same plane as transforming both
  // points, without losing the step's digits to the size of the coordinates.
  const double base = FogFloorHeight;
  double span = double{zstart} - base + double{zdistance};
  if (std::fabs(span) < kFogHeightSpanMin) span = span < 0.0 ? -kFogHeightSpanMin : kFogHeightSpanMin;
  float eye[3] = {camera.position[0], camera.position[1], camera.position[2]};
  float low[3] = {0.0f, 0.0f, static_cast<float>(base)};
  double sNormal[3], tNormal[3];
  const double sStep[3] = {double{camera.direction[0]} / camera.depth,
                           double{camera.direction[1]} / camera.depth,
                           double{camera.direction[2]} / camera.depth};
  const double tStep[3] = {0.0, 0.0, 1.0 / span};
  for (int k = 0; k < 3; ++k) {
    sNormal[k] = sStep[k];
    tNormal[k] = tStep[k];
  }
  if (matrix != nullptr) {
    for (float* p : {eye, low}) {
      const float q[3] = {p[0], p[1], p[2]};
      gKernelTable.KernelTransformPoint(p, matrix, q);
    }
    for (int r = 0; r < 3; ++r) {
      sNormal[r] = tNormal[r] = 0.0;
      for (int c = 0; c < 3; ++c) {
        sNormal[r] += double{matrix[4 * c + r]} * sStep[c];
        tNormal[r] += double{matrix[4 * c + r]} * tStep[c];
      }
    }
  }
  double plane[4];
  PlaneThrough(eye, sNormal, plane);
  glTexGendv(GL_S, GL_OBJECT_PLANE, plane);
  PlaneThrough(low, tNormal, plane);
  glTexGendv(GL_T, GL_OBJECT_PLANE, plane);
}

}  // namespace veskor
