#include "render/water_surface.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/fog_texture.h"
#include "render/pass_state.h"

namespace veskor {

namespace {

constexpr float kOffsetFactorA = 0.015625f;
constexpr float kOffsetFactorB = 0.03125f;
// Below this horizontal length the view looks straight up or down: azimuth 0.
constexpr float kAzimuthMinLength = 1e-6f;
// A ray closer than this to parallel to the water plane is taken at this slope.
constexpr float kRayMinSlope = 1e-6f;
constexpr float kSunWeightFactor = 0.1f;
// The stencil bits that count the marks of the water passes; the bit above them marks for the
// sky dome the pixels whose fog alpha lets the sky through.
constexpr GLuint kMarkCount = kSkyThroughStencilBit - 1;

// Only destination alpha written, from `texture` on unit 0 (RGB passed on).
void AlphaFromTexture(FloatTexture2D& texture) {
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(texture, kModeKeepEnvironment, 0);
  SetCombine(
      {GL_REPLACE, GL_PRIMARY_COLOR_ARB, GL_SRC_COLOR, 0, GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0});
}

// RGB = texture x primary colour, alpha = primary alpha.
void ReflectionCombine() {
  SetCombine({GL_MODULATE, GL_TEXTURE, GL_SRC_COLOR, GL_PRIMARY_COLOR_ARB, GL_REPLACE,
              GL_PRIMARY_COLOR_ARB, GL_SRC_ALPHA, 0});
}

// The water rectangle in the world, corners (x0, y0), (x0, y1), (x1, y1), (x1, y0); with
// `inset` the mark's coordinates into the read-back textures on unit 0.
void WorldQuad(const Portal& q, bool inset) {
  const float x0 = q.corner0[0], y0 = q.corner0[1], x1 = q.corner1[0], y1 = q.corner1[1];
  const float z = q.corner0[2];
  const float u0 = q.uInset, v0 = q.vInset;
  const float corners[4][4] = {
      {x0, y0, u0, v0}, {x0, y1, u0, 1 - v0}, {x1, y1, 1 - u0, 1 - v0}, {x1, y0, 1 - u0, v0}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    if (inset) glMultiTexCoord2fARB(GL_TEXTURE0_ARB, c[2], c[3]);
    glVertex3f(c[0], c[1], z);
  }
  glEnd();
}

// Colour drawn blended over the marked pixels only, without depth test or depth writes.
void OverMarkedPixels() {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glStencilFunc(GL_LESS, 0, kMarkCount);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glEnable(GL_BLEND);
}

// Pass 1: water in front of what is drawn gets its mask in destination alpha and a stencil
// mark.
void MarkPass(Portal& q) {
  glEnable(GL_STENCIL_TEST);
  glColor4f(0, 0, 0, 0);
  glStencilFunc(GL_ALWAYS, 0, 0);
  glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
  AlphaFromTexture(q.readBack[1]);
  WorldQuad(q, true);
}

// Pass 3: the fog amount into destination alpha over the marked pixels, each unmarked once;
// they keep the sky dome's mark instead, since the fog leaves them an alpha below 1.
void FogAlphaPass(Portal& q) {
  const Camera& V = *q.viewCamera;
  glColor4f(0, 0, 0, 0);
  glStencilFunc(GL_LESS, kSkyThroughStencilBit, kMarkCount);
  glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
  SkyThroughMarked = 1;
  AlphaFromTexture(FogTexture);
  SetPlanarTexGen(V, FogParams.exp, FogParams.intensity, FogParams.zstart, FogParams.zdistance,
                  FogParams.zintensity, nullptr);
  // Generation gives s and t only; r and q come from unit 0's current coordinate, which the
  // offset path's reflection quad left at a wave coordinate (q = 1 / t). Fetches divide by q,
  // so set it back to 1 for the fog lookup.
  glMultiTexCoord4fARB(GL_TEXTURE0_ARB, 0, 0, 0, 1);
  WorldQuad(q, false);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_2D);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

}  // namespace

void WaterOffsetMatrix(const float* direction, float bumpScale, float* matrix) {
  const float dx = direction[0], dy = direction[1];
  const float len = std::sqrt(dx * dx + dy * dy);
  const float theta = len < kAzimuthMinLength ? 0.0f : std::acos(std::clamp(dx / len, -1.0f, 1.0f));
  const float s = std::fabs(std::sin(theta)) * bumpScale;
  const float c = std::fabs(std::cos(theta)) * bumpScale;
  matrix[0] = kOffsetFactorA * s;
  matrix[1] = kOffsetFactorB * c;
  matrix[2] = kOffsetFactorA * c;
  matrix[3] = kOffsetFactorB * s;
}

void WaterPlaneTexCoord(const Camera& K, float z, const float* window, const float* phase,
                        const float* scale, float* out) {
  const float a = window[0], b = window[1];
  const float w00 = (1 - a) * (1 - b), w10 = a * (1 - b), w01 = (1 - a) * b, w11 = a * b;
  // The kept corners: (xmin, ymin), (xmin, ymax), (xmax, ymin), (xmax, ymax).
  const float* E = K.position;
  float D[3];
  for (int i = 0; i < 3; ++i) {
    const float P = w00 * K.corners[0][i] + w01 * K.corners[1][i] + w10 * K.corners[2][i] +
                    w11 * K.corners[3][i];
    D[i] = P - E[i];
  }
  if (std::fabs(D[2]) < kRayMinSlope) D[2] = D[2] < 0 ? -kRayMinSlope : kRayMinSlope;
  const float t = (z - E[2]) / D[2];
  const float hx = E[0] + t * D[0], hy = E[1] + t * D[1];
  out[0] = (hx - phase[0]) * scale[0] / t;
  out[1] = (hy - phase[1]) * scale[1] / t;
  out[2] = 0;
  out[3] = 1 / t;
}

void DrawWaterSurface(Portal& q) {
  const bool shaders = HasExtension(kExtTextureShader) != 0;
  if (q.viewCamera == nullptr) return;
  const Camera& V = *q.viewCamera;
  const Camera& M = q.mirrored;
  float offset[4];
  WaterOffsetMatrix(V.direction, q.bumpScale, offset);
  if (shaders && WaterPassBuilt == 0) WaterPassTextureBuild();
  if (q.visible == 0) return;
  const PassState saved = PassStateSave();
  glDisable(GL_FOG);

  // Screen geometry.
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  const auto W = static_cast<float>(vp[2]), H = static_cast<float>(vp[3]);
  const auto texW = static_cast<float>(1u << q.reflection.pixels.log2Width);
  const auto texH = static_cast<float>(1u << q.reflection.pixels.log2Height);
  const std::int32_t* r = q.pixelRect;
  const float s = q.viewScale;
  const float gsx = M.guardSpan[0], gsy = M.guardSpan[1];
  const float uL = static_cast<float>(r[0]) / texW, uR = static_cast<float>(r[2]) / texW;
  const float vA = static_cast<float>(r[1]) / texH, vB = static_cast<float>(r[3]) / texH;
  auto X = [&](std::int32_t p) { return (static_cast<float>(p) * 2 / (W * s) - 1) / gsx; };
  auto Y = [&](std::int32_t p) { return (1 - static_cast<float>(p) * 2 / (H * s)) / gsy; };
  const float XL = shaders ? X(r[0]) : X(r[0] - 1);
  const float XR = shaders ? X(r[2]) : X(r[2] + 1);
  const float YA = shaders ? Y(r[1]) : Y(r[1] - 2);
  const float YB = Y(r[3]);

  MarkPass(q);

  auto fresnel = [&](float y) {
    float d[3];
    for (int i = 0; i < 3; ++i) d[i] = V.direction[i] + y * V.rolledUp[i];
    gKernelTable.KernelNormalize3(d);
    return 1 + WaterParams.fresnel * d[2];
  };
  const float fA = fresnel(YA), fB = fresnel(YB);

  // Pass 2: the reflection over the marked pixels.
  OverMarkedPixels();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  GLenum reflectionUnit = GL_TEXTURE0_ARB;
  if (!shaders) {
    glBlendFunc(GL_ONE, GL_ONE_MINUS_DST_ALPHA);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    Texture2DBind(q.reflection, kModeKeepEnvironment, 0);
    ReflectionCombine();
  } else {
    reflectionUnit = GL_TEXTURE1_ARB;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA);
    glEnable(GL_TEXTURE_SHADER_NV);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, GL_TEXTURE_2D);
    Texture2DBind(WaterPassTexture, kModeKeepEnvironment, 0);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, GL_OFFSET_TEXTURE_2D_NV);
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_PREVIOUS_TEXTURE_INPUT_NV, GL_TEXTURE0_ARB);
    glTexEnvfv(GL_TEXTURE_SHADER_NV, GL_OFFSET_TEXTURE_MATRIX_NV, offset);
    Texture2DBind(q.reflection, kModeKeepEnvironment, 0);
    ReflectionCombine();
    for (GLenum unit = 2; unit < 4; ++unit) {
      glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, GL_NONE);
    }
  }
  const float z = q.corner0[2];
  const float phase[2] = {WaterPhase[0], WaterPhase[1]};
  const float scale[2] = {kWaveScale, kWaveScale};
  const float quad[4][5] = {{XL, YB, uL, vB, fB},
                            {XL, YA, uL, vA, fA},
                            {XR, YA, uR, vA, fA},
                            {XR, YB, uR, vB, fB}};
  glBegin(GL_QUADS);
  for (const auto& c : quad) {
    glColor4f(q.colour[0], q.colour[1], q.colour[2], c[4]);
    if (shaders) {
      const float window[2] = {(c[0] + 1) / 2, (c[1] + 1) / 2};
      float wave[4];
      WaterPlaneTexCoord(V, z, window, phase, scale, wave);
      glMultiTexCoord4fvARB(GL_TEXTURE0_ARB, wave);
    }
    glMultiTexCoord2fARB(reflectionUnit, c[2], c[3]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  if (shaders) {
    glDisable(GL_TEXTURE_SHADER_NV);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);

  FogAlphaPass(q);
  PassStateRestore(saved);
}

void DrawWaterSurfaceSimple(Portal& q) {
  if (q.visible == 0 || q.viewCamera == nullptr) return;
  const PassState saved = PassStateSave();
  glDisable(GL_FOG);
  MarkPass(q);
  glDisable(GL_TEXTURE_2D);
  OverMarkedPixels();
  glBlendFunc(GL_ONE, GL_ONE_MINUS_DST_ALPHA);
  float lit[3];
  for (int i = 0; i < 3; ++i)
    lit[i] = q.colour[i] * (kSunWeightFactor * SunLightScale * SunLightColour[i] +
                            SkyAmbientScale * SkyAmbientColour[i]);
  glColor3f(lit[0], lit[1], lit[2]);
  WorldQuad(q, false);
  glDisable(GL_BLEND);
  FogAlphaPass(q);
  PassStateRestore(saved);
}

}  // namespace veskor
