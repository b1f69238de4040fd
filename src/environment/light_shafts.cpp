#include "environment/light_shafts.h"

#include <cmath>

#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kFadeStart = 0.9f;  // of the far distance
constexpr float kCoverageScale = 8.0f;
constexpr float kLeanScale = 5.0f;          // 1 / kShaftMaxUpLean
constexpr std::uint32_t kShaftFloats = 10;  // a ShaftSegment
// The far end of a quad: no alpha.
constexpr float kFarEnd[4] = {1.0f, 1.0f, 0.3f, 0.0f};

// Colour: the image times the vertex colour; alpha: the vertex alpha.
void SetRayCombine() {
  SetCombine({GL_MODULATE, GL_PRIMARY_COLOR_ARB, GL_SRC_COLOR, GL_TEXTURE, GL_REPLACE,
              GL_PRIMARY_COLOR_ARB, GL_SRC_ALPHA, 0});
}

void Corner(const float* rgba, float s, float t, const float* p) {
  glColor4fv(rgba);
  glMultiTexCoord2f(GL_TEXTURE0, s, t);
  glVertex3fv(p);
}

}  // namespace

float ShaftFalloffValue(const ShaftFalloff& falloff, float x) {
  return falloff.peak * std::exp(falloff.factor * x * x);
}

void DrawLightShafts(const CloudLowLayer& layer, const Camera& camera, const float* L,
                     const float* colour) {
  const KernelTable& k = gKernelTable;
  const float far = camera.depth;
  const float fadeStart = kFadeStart * far;
  const float fadeScale = 1.0f / (far - fadeStart);
  for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE2, GL_TEXTURE3}) {
    glActiveTexture(unit);
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(LightRayTexture, kModeKeepEnvironment, 0);
  SetRayCombine();
  glDepthMask(GL_FALSE);
  for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
    const CloudPuff& puff = layer.puffs[i];
    float v[3] = {camera.position[0] - puff.centre[0], camera.position[1] - puff.centre[1],
                  camera.position[2] - puff.centre[2]};
    const float dist = k.KernelLength3(v);
    if (!(dist < far)) continue;
    for (float& x : v) x /= dist;
    const float c = v[0] * L[0] + v[1] * L[1] + v[2] * L[2];
    float g = ShaftFalloffValue(kShaftFalloff,
                                (1.0f - c) * LightShaftParams.horizonCoverage * kCoverageScale);
    if (dist > fadeStart) g = (far - dist) * g * fadeScale;
    DrawShaftQuads(puff, camera, L, colour, g);
  }
  glDepthMask(GL_TRUE);
  glDisable(GL_TEXTURE_2D);
}

void DrawShaftQuads(const CloudPuff& puff, const Camera& camera, const float* L,
                    const float* colour, float g) {
  glPushMatrix();
  glTranslatef(puff.centre[0] - puff.base[0], puff.centre[1] - puff.base[1],
               puff.centre[2] - puff.base[2]);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  const float length = (g + 1.0f) * 0.5f * LightShaftParams.length;
  // Whole segments only: ten floats each.
  const std::uint32_t count = puff.shaftSegments.count / kShaftFloats;
  const auto* segments = VmArrayData<const ShaftSegment>(puff.shaftSegments);
  const float* up = camera.up;
  for (std::uint32_t s = 0; s < count; ++s) {
    const ShaftSegment& segment = segments[s];
    const float* n = segment.normal;
    const float a = std::fabs(n[0] * up[0] + n[1] * up[1] + n[2] * up[2]);
    if (!(a < kShaftMaxUpLean)) continue;
    const float alpha =
        (kShaftMaxUpLean - a) * kLeanScale * segment.weight * LightShaftParams.intensity * g;
    const float near[4] = {colour[0], colour[1], colour[2], alpha};
    float endFar[3], startFar[3];
    for (int i = 0; i < 3; ++i) {
      endFar[i] = segment.end[i] + length * L[i];
      startFar[i] = segment.start[i] + length * L[i];
    }
    glBegin(GL_QUADS);
    Corner(near, 0.0f, 0.0f, segment.start);
    Corner(near, 1.0f, 0.0f, segment.end);
    Corner(kFarEnd, 1.0f, 1.0f, endFar);
    Corner(kFarEnd, 0.0f, 1.0f, startFar);
    glEnd();
  }
  glDisable(GL_BLEND);
  glEnable(GL_CULL_FACE);
  glPopMatrix();
}

}  // namespace veskor
