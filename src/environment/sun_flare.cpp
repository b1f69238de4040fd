#include "environment/sun_flare.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "environment/screen_overlay.h"
#include "environment/sky_model.h"
#include "foundation/frame_clock.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

float GlareAngle = 0.0f;

namespace {

constexpr float kClearDepth = 0.99999f;
constexpr float kHalfDiagonal = 0.707106f;

// Colour: the image times the vertex colour. Alpha: the vertex alpha, as (1 - 0) x vertex alpha
// where the GL takes zero as a source, else the vertex alpha alone.
void SetElementCombine() {
  if (HasExtension(kExtTextureEnvCombine3) != 0)
    SetCombine({GL_MODULATE, GL_TEXTURE, GL_SRC_COLOR, GL_PRIMARY_COLOR_ARB, GL_MODULATE, GL_ZERO,
                GL_ONE_MINUS_SRC_ALPHA, GL_PRIMARY_COLOR_ARB});
  else
    SetCombine({GL_MODULATE, GL_TEXTURE, GL_SRC_COLOR, GL_PRIMARY_COLOR_ARB, GL_REPLACE,
                GL_PRIMARY_COLOR_ARB, GL_SRC_ALPHA, 0});
}

void DrawFlare(const Camera& camera, std::uint32_t count, float occlusion) {
  const KernelTable& k = gKernelTable;
  float d[3] = {SunDirection[0], SunDirection[1], SunDirection[2]};
  k.KernelNormalize3(d);
  // The point one unit away from the sun: it projects where the sun does, with w < 0 while the
  // sun stands in front of the camera.
  const float point[4] = {camera.position[0] + d[0], camera.position[1] + d[1],
                          camera.position[2] + d[2], 1.0f};
  float r[4];
  k.KernelMat4Vec4(r, camera.clipMatrix, point);
  if (!(r[3] < 0.0f)) return;
  const float sx = r[0] / r[3], sy = r[1] / r[3];
  if (!(sx > -1.0f && sx < 1.0f && sy > -1.0f && sy < 1.0f)) return;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const auto w = static_cast<float>(viewport[2]), h = static_cast<float>(viewport[3]);
  const GLint px = viewport[0] + static_cast<GLint>((sx + 1.0f) * 0.5f * (w - 1.0f));
  const GLint py = viewport[1] + static_cast<GLint>((sy + 1.0f) * 0.5f * (h - 1.0f));
  float depth = 0.0f;
  glReadPixels(px, py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  if (!(depth > kClearDepth)) return;

  const float visibility = 1.0f - occlusion, aspect = h / w;
  const bool fog = BeginScreenOverlay();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  const LensFlareTable& table = LensFlareElements;
  const std::uint32_t n = std::min(count, table.count);
  for (std::uint32_t i = 0; i < n; ++i) {
    const LensFlareElement& e = table.elements[i];
    const float ex = sx * (1.0f - e.position), ey = sy * (1.0f - e.position);
    const float fade =
        1.0f - k.KernelSqrt(ex * ex + (aspect * ey) * (aspect * ey)) * e.fade * kHalfDiagonal;
    const float theta = e.spin * GlareAngle;
    const float c = std::cos(theta), s = std::sin(theta);
    const float ax = e.size * aspect * c, ay = e.size * s;
    const float bx = -e.size * aspect * s, by = e.size * c;
    glColor4f(fade * e.red * SunLightColour[0], fade * e.green * SunLightColour[1],
              fade * e.blue * SunLightColour[2], fade * e.alpha * visibility);
    FloatTexture2DBind(LensFlareImages[e.image], kModeKeepEnvironment, 0);
    SetElementCombine();
    glBegin(GL_QUADS);
    glMultiTexCoord2f(GL_TEXTURE0, 0.0f, 0.0f);
    glVertex2f(ex - ax - bx, ey - ay - by);
    glMultiTexCoord2f(GL_TEXTURE0, 1.0f, 0.0f);
    glVertex2f(ex - ax + bx, ey - ay + by);
    glMultiTexCoord2f(GL_TEXTURE0, 1.0f, 1.0f);
    glVertex2f(ex + ax + bx, ey + ay + by);
    glMultiTexCoord2f(GL_TEXTURE0, 0.0f, 1.0f);
    glVertex2f(ex + ax - bx, ey + ay - by);
    glEnd();
  }
  GlareAngle = static_cast<float>(NowSeconds());
  EndScreenOverlay(fog);
}

}  // namespace

void DrawSunFlare(const Camera& camera, float occlusion) {
  DrawFlare(camera, kLensFlareCapacity, occlusion);
}

void DrawPortalSunFlare(const Camera& camera, std::uint32_t count, float occlusion) {
  DrawFlare(camera, count, occlusion);
}

}  // namespace veskor
