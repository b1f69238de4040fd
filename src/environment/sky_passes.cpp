#include "environment/sky_passes.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_model.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"

namespace veskor {

SkyPassList gSkyPassList{};
std::uint32_t SkyDrawnOpaque = 0;
std::uint32_t SkyThroughMarked = 0;

namespace {

constexpr float kDomePolygonOffset = -5.0f;
constexpr float kLayerPolygonOffset = -6.0f;
constexpr float kMinDrift = 0.0005f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr int kQuadOrder[4] = {0, 1, 3, 2};

void Append(std::uint32_t code) {
  SkyPassList& list = gSkyPassList;
  if (list.count >= kSkyPassCapacity) return;
  list.entries[list.count++] = SkyPassEntry{code, 0};
}

// Texture targets off on one unit; units the board lacks are left alone.
void TexturingOff(std::uint32_t unit) {
  if (unit >= TextureUnitCount) return;
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  glDisable(GL_TEXTURE_2D);
}

void PolygonOffsetOn(float units) {
  if (BoardClassLow(kBoardRadeon) != 0) return;
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(0.0f, units);
}

void DrawDome(const Camera& camera) {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  // The sky replaces the frame in proportion to 1 - destination alpha.
  glBlendFunc(GL_ONE_MINUS_DST_ALPHA, GL_DST_ALPHA);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  glEnable(GL_NORMALIZE);
  TextureCubeBind(gSkyModel.cube, kModeKeepEnvironment, 0);
  // The fragment alpha is not used by the blend; its source is the texture's.
  SetCombine(
      {GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_REPLACE, GL_TEXTURE, GL_ONE_MINUS_SRC_ALPHA, 0});
  PolygonOffsetOn(kDomePolygonOffset);
  float rays[4][3];
  for (int k = 0; k < 4; ++k) {
    std::copy(camera.cornerRays[k], camera.cornerRays[k] + 3, rays[k]);
    gKernelTable.KernelNormalize3(rays[k]);
  }
  const auto quad = [&] {
    glBegin(GL_QUADS);
    for (int k : kQuadOrder) {
      glMultiTexCoord3fvARB(GL_TEXTURE0_ARB, rays[k]);
      glVertex3fv(camera.farCorners[k]);
    }
    glEnd();
  };
  GLint depthFunction = GL_LESS;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
  const bool opaque = SkyDrawnOpaque != 0, marked = SkyThroughMarked != 0;
  if (opaque) {
    // The pixels at the far plane: the quad's depth, offset towards the eye, is not nearer
    // than what is stored there. Then, over the pixels nearer than it, the marked ones.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    quad();
    glDepthFunc(GL_GREATER);
  }
  if (marked) {
    // The marks are cleared as their pixels are shaded.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(opaque ? GL_EQUAL : GL_ALWAYS, kSkyThroughStencilBit, kSkyThroughStencilBit);
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
    glStencilMask(kSkyThroughStencilBit);
  }
  if (!opaque || marked) quad();
  if (marked) {
    glStencilMask(~0u);
    glDisable(GL_STENCIL_TEST);
  }
  glDepthFunc(static_cast<GLenum>(depthFunction));
  SkyThroughMarked = 0;
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_NORMALIZE);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
}

void DrawCloudLayer(const Camera& camera, std::uint32_t code) {
  EnvironmentState& state = gEnvironmentState;
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  // The layer's alpha is the part of the sky that stays visible.
  glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
  TexturingOff(2);
  TexturingOff(3);
  if (code == kSkyPassCloudFourUnits) {
    TexturingOff(1);
    TexturingOff(0);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  glEnable(GL_NORMALIZE);
  TextureCubeBind(state.cloudCube, kModeKeepEnvironment, 0);
  SetCombine({GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0});
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(state.highCloudTexture, kModeKeepEnvironment, 0);
  SetCombine({GL_MODULATE, GL_PREVIOUS_ARB, GL_SRC_COLOR, GL_TEXTURE, GL_ADD, GL_TEXTURE,
              GL_SRC_ALPHA, GL_PREVIOUS_ARB});
  if (code == kSkyPassCloudFourUnits) glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  DrawCloudLayerQuad(camera, state.highAltitude, state.highOffset, state.highScale,
                     GL_TEXTURE0_ARB);
  if (code == kSkyPassCloudLayer) glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_NORMALIZE);
  glDisable(GL_BLEND);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  glDepthMask(GL_TRUE);
}

}  // namespace

std::uint32_t HighCloudSkyFlag() { return CloudHighParams.present != 0 ? kSkyFlagCloudLayer : 0u; }

void BuildSkyPassList(std::uint32_t flags) {
  gSkyPassList.count = 0;
  if ((flags & kSkyFlagDome) != 0) Append(kSkyPassDome);
  if ((flags & kSkyFlag4) != 0) Append(kSkyPassFlag4);
  if ((flags & kSkyFlag2) != 0) Append(kSkyPassFlag2);
  if ((flags & kSkyFlagCloudLayer) != 0) {
    if (TextureUnitCount == 4 && HasExtension(kExtRegisterCombiners2) != 0) {
      Append(kSkyPassCloudFourUnits);
    } else {
      Append(kSkyPassCloudLayer);
      Append(kSkyPassCloudCompanion);
    }
  }
}

void DrawSkyLayer(const Camera& camera, std::uint32_t index) {
  if (index >= gSkyPassList.count) return;
  const std::uint32_t code = gSkyPassList.entries[index].code;
  if (code == kSkyPassDome)
    DrawDome(camera);
  else if (code == kSkyPassCloudLayer || code == kSkyPassCloudFourUnits)
    DrawCloudLayer(camera, code);
}

void DrawCloudLayerQuad(const Camera& camera, float altitude, const float* offset,
                        const float* scale, GLenum unit) {
  if (camera.skyVisible == 0) return;
  float coords[4][4];
  for (int k = 0; k < 4; ++k)
    if (!CloudLayerTexCoord(camera, altitude, offset, scale, camera.skyRays[k], coords[k])) return;
  PolygonOffsetOn(kLayerPolygonOffset);
  // The drift turns the plane coordinates: the matrix of their unit.
  glActiveTextureARB(unit + 1);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  const float length = gKernelTable.KernelSqrt(offset[0] * offset[0] + offset[1] * offset[1]);
  if (length > kMinDrift) {
    const float cosine = std::clamp(offset[0] / length, -1.0f, 1.0f);
    glRotatef(std::acos(cosine) * kDegreesPerRadian + 90.0f, 0.0f, 0.0f, 1.0f);
  }
  glBegin(GL_QUADS);
  for (int k : kQuadOrder) {
    glMultiTexCoord3fvARB(unit, camera.skyRays[k]);
    glMultiTexCoord4fvARB(unit + 1, coords[k]);
    glVertex3fv(camera.skyPoints[k]);
  }
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_POLYGON_OFFSET_FILL);
}

bool CloudLayerTexCoord(const Camera& camera, float altitude, const float* offset,
                        const float* scale, const float* ray, float* out) {
  const float* eye = camera.position;
  const float t = (altitude - eye[2]) / ray[2];
  if (!(t > 0.0f) || !std::isfinite(t)) {
    std::fill(out, out + 4, 0.0f);
    return false;
  }
  const float px = eye[0] + t * ray[0];
  const float py = eye[1] + t * ray[1];
  const float q = 1000.0f / t;
  out[0] = (px - offset[0]) * scale[0] * q;
  out[1] = (py - offset[1]) * scale[1] * q;
  out[2] = 0.0f;
  out[3] = q;
  return true;
}

}  // namespace veskor
