#include "render/water_mirror.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "gfx/viewport_rect.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/pass_state.h"

namespace veskor {

float PortalDetail = 1.0f;

namespace {

// Direction and up axis of the cube faces of a mirrored camera.
constexpr float kMirroredFaces[6][2][3] = {
    {{-1, 0, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}},
    {{0, 1, 0}, {1, 0, 0}},  {{0, 0, 1}, {-1, 0, 0}}, {{0, 0, -1}, {1, 0, 0}},
};

// The fog values of a mirrored view: exp, intensity, zstart, base (altitude + these),
// zdistance, zintensity.
constexpr float kMirrorFogExp = 0.5f;
constexpr float kMirrorFogIntensity = 1.0f;
constexpr float kMirrorFogBaseBelow = 0.1f;
constexpr float kMirrorFogZDistance = 0.0001f;
constexpr float kMirrorFogZIntensity = 0.0f;

// Roll through degrees, as the view keeps it.
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kRadiansPerDegree = 0.017453292f;

// Overlay corner factor: 1 - clamp((n.z - 0.15) / 0.35, 0, 1).
constexpr float kOverlayZ0 = 0.15f;
constexpr float kOverlayZScale = 2.857143f;
constexpr float kOverlayMinLength = 0.00001f;

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Append(Portal& portal, const float* p) {
  std::uint32_t& n = portal.polygonCount;
  if (n >= kPortalPolygonMax) return;
  if (n > 0) {
    const float* last = portal.polygon[n - 1];
    if (last[0] == p[0] && last[1] == p[1] && last[2] == p[2]) return;
  }
  std::copy(p, p + 3, portal.polygon[n]);
  ++n;
}

void ReadViewport(GLint* v) { glGetIntegerv(GL_VIEWPORT, v); }

// The integer part, plus 1 when the fraction exceeds one half.
std::int32_t Round(float v) { return RoundPixel(v); }

void SaveFog(Camera& m) {
  m.savedFog[0] = FogParams.exp;
  m.savedFog[1] = FogParams.intensity;
  m.savedFog[2] = FogParams.zstart;
  m.savedFog[3] = FogFloorHeight;
  m.savedFog[4] = FogParams.zdistance;
  m.savedFog[5] = FogParams.zintensity;
}

void RestoreFog(const Camera& m) {
  FogParams.exp = m.savedFog[0];
  FogParams.intensity = m.savedFog[1];
  FogParams.zstart = m.savedFog[2];
  FogFloorHeight = m.savedFog[3];
  FogParams.zdistance = m.savedFog[4];
  FogParams.zintensity = m.savedFog[5];
}

// Texture unit `unit` on with a read-back texture of the portal, the texture environment left
// to the caller.
void ReadBackUnit(GLenum unit, FloatTexture2D& texture) {
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(texture, kModeKeepEnvironment, 0);
}

}  // namespace

void PortalEmitPoint(Portal& portal, const PortalPoint* points, std::uint32_t n, std::uint32_t i,
                     float t) {
  const float* a = points[i];
  const float* b = points[i + 1 < n ? i + 1 : 0];
  const float p[3] = {a[0] * (1 - t) + b[0] * t, a[1] * (1 - t) + b[1] * t,
                      a[2] * (1 - t) + b[2] * t};
  Append(portal, p);
}

void PortalClipPlane(Portal& portal, const float* plane, const PortalPoint* points,
                     std::uint32_t n) {
  if (n < 2) return;
  for (std::uint32_t i = 0; i < n; ++i) {
    const float* start = points[i];
    const float* end = points[i + 1 < n ? i + 1 : 0];
    const float s = Dot(plane, start) + plane[3];
    const float e[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
    const float den = Dot(plane, e);
    if (s >= 0) Append(portal, start);
    if (std::fabs(den) < kPortalParallelLimit) continue;
    const float t = -s / den;
    if (t >= 0 && t <= 1) PortalEmitPoint(portal, points, n, i, t);
  }
}

void PortalStartQuad(const Portal& portal, PortalPoint* points, std::uint32_t& n) {
  const float x0 = portal.corner0[0], y0 = portal.corner0[1];
  const float x1 = portal.corner1[0], y1 = portal.corner1[1];
  const float z = portal.corner0[2];
  const float quad[4][3] = {{x0, y0, z}, {x0, y1, z}, {x1, y1, z}, {x1, y0, z}};
  for (int i = 0; i < 4; ++i) std::copy(quad[i], quad[i] + 3, points[i]);
  n = 4;
}

void PortalCopyPolygon(const Portal& portal, PortalPoint* points, std::uint32_t& n) {
  n = std::min(portal.polygonCount, kPortalPolygonMax);
  for (std::uint32_t i = 0; i < n; ++i) std::copy(portal.polygon[i], portal.polygon[i] + 3, points[i]);
}

std::uint32_t PortalBeginView(Portal& portal, Camera* view) {
  portal.viewCamera = view;
  const float* P = view->position;
  const float* D = view->direction;
  PortalPoint points[kPortalPolygonMax];
  std::uint32_t n = 0;

  const float ahead[3] = {P[0] + D[0], P[1] + D[1], P[2] + D[2]};
  const float nearPlane[4] = {D[0], D[1], D[2], -Dot(ahead, D)};
  PortalStartQuad(portal, points, n);
  portal.polygonCount = 0;
  PortalClipPlane(portal, nearPlane, points, n);

  const float* sides[4] = {view->planeLeft, view->planeRight, view->planeTop, view->planeBottom};
  for (const float* kept : sides) {
    const float normal[3] = {-kept[0], -kept[1], -kept[2]};
    const float plane[4] = {normal[0], normal[1], normal[2], -Dot(normal, P)};
    PortalCopyPolygon(portal, points, n);
    portal.polygonCount = 0;
    PortalClipPlane(portal, plane, points, n);
  }

  portal.visible = PortalCamera(portal.mirrored, *view, portal.reflection, portal,
                                portal.bumpScale, portal.polygon, portal.polygonCount,
                                portal.pixelRect, portal.viewScale);
  return portal.visible;
}

void CameraSetBounds(Camera& camera, float xmin, float ymin, float xmax, float ymax) {
  camera.imageBounds[0] = xmin;
  camera.imageBounds[1] = xmax;
  camera.imageBounds[2] = ymin;
  camera.imageBounds[3] = ymax;
}

std::uint32_t PortalCamera(Camera& M, const Camera& V, const Texture2D& reflection,
                           Portal& portal, float bumpScale, const PortalPoint* polygon,
                           std::uint32_t count, std::int32_t* pixelRect, float& viewScale) {
  const float altitude = portal.corner0[2];
  // 1. The mirrored eye and direction.
  M.owner = V.owner;
  M.position[0] = V.position[0];
  M.position[1] = V.position[1];
  M.position[2] = 2 * altitude - V.position[2];
  M.mode = kCameraLookAt;
  M.direction[0] = V.direction[0];
  M.direction[1] = V.direction[1];
  M.direction[2] = -V.direction[2];
  CameraNormalizeDirection(M);
  CameraComputeRight(M);
  CameraComputeUp(M);
  CameraApplyRoll(M);
  M.mode = V.mode;
  M.faceVariant = 1;

  // 2. Far distance.
  const float x0 = portal.corner0[0], y0 = portal.corner0[1];
  const float x1 = portal.corner1[0], y1 = portal.corner1[1];
  const float centre[3] = {(x0 + x1) / 2, (y0 + y1) / 2, altitude};
  const float c[3] = {M.position[0] - centre[0], M.position[1] - centre[1],
                      M.position[2] - centre[2]};
  const float d1 = std::sqrt(Dot(c, c));
  const float d2 = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
  M.depth = std::clamp(d1 + d2 + 0.5f * V.depth, kPortalFarMin, kPortalFarMax);
  if (!(M.depth >= kPortalFarMin)) M.depth = kPortalFarMax;  // not a number

  // 3, 4. Angles, guard band and roll.
  M.focalAngle = M.fovy = V.focalAngle;
  M.guardPixels = HasExtension(kExtTextureShader) != 0
                      ? static_cast<std::int32_t>(bumpScale * kPortalGuardPerBump)
                      : 0;
  M.roll = -(V.roll * kDegreesPerRadian) * kRadiansPerDegree;
  CameraApplyRoll(M);

  // 5. Fog of the mirrored view.
  SaveFog(M);
  FogParams.exp = kMirrorFogExp;
  FogParams.intensity = kMirrorFogIntensity;
  FogParams.zstart = altitude;
  FogFloorHeight = altitude - kMirrorFogBaseBelow;
  FogParams.zdistance = kMirrorFogZDistance;
  FogParams.zintensity = kMirrorFogZIntensity;

  // 6. View scale.
  GLint v[4];
  ReadViewport(v);
  const auto w = static_cast<float>(v[2]);
  const auto h = static_cast<float>(v[3]);
  const auto texW = static_cast<float>(1u << reflection.pixels.log2Width);
  const auto texH = static_cast<float>(1u << reflection.pixels.log2Height);
  float s = PortalDetail;
  if (static_cast<float>(static_cast<std::int64_t>(w * s)) > texW ||
      static_cast<float>(static_cast<std::int64_t>(h * s)) > texH)
    s = std::min(texW / w, texH / h);
  viewScale = s;

  // 7-13. Window, guard band, matrices, look-at, viewport, frustum.
  CameraSetViewport(M, 0, 0, s, s);
  if (M.mode >= 0 && M.mode <= 5) {
    std::copy(kMirroredFaces[M.mode][0], kMirroredFaces[M.mode][0] + 3, M.direction);
    std::copy(kMirroredFaces[M.mode][1], kMirroredFaces[M.mode][1] + 3, M.up);
    CameraComputeRight(M);
    CameraApplyRoll(M);
    // The axes are set: apply them as a look-at camera.
    const std::int32_t mode = M.mode;
    M.mode = kCameraLookAt;
    CameraApply(M);
    M.mode = mode;
  } else {
    CameraApply(M);
  }

  // 14. The mirrored view must fit the texture, and something must be left of the water.
  ReadViewport(v);
  if (static_cast<float>(v[2]) > texW || static_cast<float>(v[3]) > texH) return 0;
  if (count < 3) return 0;

  // 15. Screen bounds of the clipped polygon.
  float minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const float p[4] = {polygon[i][0], polygon[i][1], polygon[i][2], 1};
    float q[4];
    gKernelTable.KernelMat4Vec4(q, M.clipMatrix, p);
    const float aw = std::fabs(q[3]);
    const float x = q[0] / aw, y = q[1] / aw;
    if (i == 0) {
      minX = maxX = x, minY = maxY = y;
    } else {
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  minX = std::max(minX, -1.0f), minY = std::max(minY, -1.0f);
  maxX = std::min(maxX, 1.0f), maxY = std::min(maxY, 1.0f);

  // 16. Narrow the mirrored view to the water's screen area, with the guard band.
  const float gx = M.guardOffset[0], gy = M.guardOffset[1];
  CameraSetBounds(M, std::max(-1.0f, minX - 2 * gx), std::max(-1.0f, minY - 2 * gy),
                  std::min(1.0f, maxX + 2 * gx), std::min(1.0f, maxY + 2 * gy));
  CameraFrustumPlanes(M);

  // 17. Pixel rectangle of the water in the mirrored view.
  const auto W = static_cast<float>(v[2] - 1);
  const std::int32_t H = v[3];
  pixelRect[0] = Round((minX + 1) / 2 * W);
  pixelRect[1] = Round((minY + 1) / 2 * static_cast<float>(H - 1));
  pixelRect[2] = Round((maxX + 1) / 2 * W);
  pixelRect[3] = std::min(Round((maxY + 1) / 2 * static_cast<float>(H - 1)) + 1, H - 1);
  return 1;
}

void PortalCopyTexture(Portal& portal) {
  Camera& M = portal.mirrored;
  if (portal.visible != 0) {
    Texture2DBind(portal.reflection, kModeKeepEnvironment, 0);
    GLint v[4];
    ReadViewport(v);
    const std::int32_t g = M.guardPixels;
    const std::int32_t* r = portal.pixelRect;
    const auto texW = static_cast<std::int32_t>(1u << portal.reflection.pixels.log2Width);
    const auto texH = static_cast<std::int32_t>(1u << portal.reflection.pixels.log2Height);
    const std::int32_t xs = std::max(r[0] - g, 0);
    const std::int32_t ys = std::max(r[1] - g, 0);
    // Cut at the viewport and at the texture, so that the copy is never refused.
    const std::int32_t width = std::min({r[2] - r[0] + 2 * g, v[2] - xs, texW - xs});
    const std::int32_t height = std::min({r[3] - r[1] + 2 * g, v[3] - ys, texH - ys});
    if (width > 0 && height > 0)
      glCopyTexSubImage2D(GL_TEXTURE_2D, 0, xs, ys, xs, ys, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  CameraRestore(M);
  CameraSetFullViewport(M);
  RestoreFog(M);
}

void PortalOverlay(Portal& portal) {
  if (TextureUnitCount <= 2 || HasExtension(kExtTextureShader) == 0) return;
  const Camera& V = *portal.viewCamera;
  const PassState saved = PassStateSave();
  const float x0 = portal.corner0[0], y0 = portal.corner0[1];
  const float x1 = portal.corner1[0], y1 = portal.corner1[1];
  const float z = portal.corner0[2];
  const float corners[4][3] = {{x0, y1, z}, {x0, y0, z}, {x1, y0, z}, {x1, y1, z}};
  float f[4];
  for (int i = 0; i < 4; ++i) {
    float n[3] = {V.position[0] - corners[i][0], V.position[1] - corners[i][1],
                  V.position[2] - corners[i][2]};
    gKernelTable.KernelNormalize3(n);
    f[i] = 1 - std::clamp((n[2] - kOverlayZ0) * kOverlayZScale, 0.0f, 1.0f);
  }
  float ex = -V.direction[0], ey = -V.direction[1];
  float len = std::sqrt(ex * ex + ey * ey);
  if (len < kOverlayMinLength) len = 1;
  ex /= len, ey /= len;
  const float cx = (ex + 1) / 2, cy = (ey + 1) / 2;

  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  ReadBackUnit(0, portal.readBack[1]);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_DOT3_RGBA_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_PRIMARY_COLOR_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);

  ReadBackUnit(1, portal.readBack[1]);
  SetCombine({GL_REPLACE, GL_PREVIOUS_ARB, GL_SRC_COLOR, 0, GL_MODULATE, GL_PREVIOUS_ARB,
              GL_ONE_MINUS_SRC_ALPHA, GL_PRIMARY_COLOR_ARB});

  ReadBackUnit(2, portal.readBack[0]);
  SetCombine({GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_MODULATE, GL_TEXTURE, GL_SRC_ALPHA,
              GL_PREVIOUS_ARB});
  glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 2.0f);

  const float u0 = portal.uInset, v0 = portal.vInset;
  const float tex[4][2] = {{u0, 1 - v0}, {u0, v0}, {1 - u0, v0}, {1 - u0, 1 - v0}};
  glBegin(GL_QUADS);
  for (int i = 0; i < 4; ++i) {
    glColor4f(cx, cy, 0, f[i]);
    for (GLenum unit = 0; unit < 3; ++unit)
      glMultiTexCoord2fARB(GL_TEXTURE0_ARB + unit, tex[i][0], tex[i][1]);
    glVertex3fv(corners[i]);
  }
  glEnd();

  glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
  for (GLenum unit = 0; unit < 3; ++unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisable(GL_TEXTURE_2D);
  }
  PassStateRestore(saved);
}

}  // namespace veskor
