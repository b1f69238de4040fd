#include "gfx/camera.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "gfx/gl_capabilities.h"
#include "gfx/viewport_rect.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kCameraEqualTolerance = 0.0005f;
// The far rectangle and the sky quadrilateral lie this far inside the far plane.
constexpr float kFarCornerInset = 14.0f;
constexpr float kSkyInset = 30.0f;
// Elevation of the horizon direction the sky quadrilateral starts from.
constexpr float kSkyHorizonLift = 0.005f;

// Direction and right axis of the cube faces; faces 4 and 5 look the other way round when
// the variant is nonzero.
struct FaceAxes {
  float direction[3];
  float right[3];
};
constexpr FaceAxes kFaceAxes[6] = {
    {{-1, 0, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}},
    {{0, 1, 0}, {1, 0, 0}},  {{0, 0, -1}, {-1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}},
};
constexpr FaceAxes kFaceAxesVariant[2] = {{{0, 0, 1}, {-1, 0, 0}}, {{0, 0, -1}, {1, 0, 0}}};

// The tangent of half an angle given in degrees.
float TanHalf(float degrees) { return std::tan(degrees * std::numbers::pi_v<float> / 360.0f); }

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const float* a, const float* b, float* out) {
  const float x = a[1] * b[2] - a[2] * b[1];
  const float y = a[2] * b[0] - a[0] * b[2];
  const float z = a[0] * b[1] - a[1] * b[0];
  out[0] = x, out[1] = y, out[2] = z;
}

void Copy(const float* from, float* to) { to[0] = from[0], to[1] = from[1], to[2] = from[2]; }

// out = a + s b
void AddScaled(const float* a, float s, const float* b, float* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] + s * b[i];
}

void Sub(const float* a, const float* b, float* out) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}

// A direction that can be normalised: of finite length, and long enough that its squared
// length is a normal float (the SSE reciprocal square root takes smaller ones for 0).
bool UsableDirection(float dx, float dy, float dz) {
  const float n = dx * dx + dy * dy + dz * dz;
  return n >= std::numeric_limits<float>::min() && std::isfinite(n);
}

void ReadViewport(std::int32_t* viewport) {
  GLint v[4] = {};
  glGetIntegerv(GL_VIEWPORT, v);
  for (int i = 0; i < 4; ++i) viewport[i] = v[i];
}

void SkyQuadrilateral(Camera& c, float tx, float ty) {
  const KernelTable& k = gKernelTable;
  const float* D = c.direction;
  const float* R = c.rolledRight;
  const float* U = c.rolledUp;
  const float cr = std::cos(c.roll);
  const float sr = std::sin(c.roll);
  float h;
  if (c.captureFace == 0) {
    h = k.KernelSqrt(tx * tx + ty * ty);
  } else {
    h = std::fabs(sr) < std::fabs(cr) ? tx : ty;
  }
  float d[3];
  Copy(D, d);
  k.KernelNormalize3(d);
  if (d[2] < -0.999f) {
    c.skyVisible = 0;
    return;
  }
  float y = -h;
  if (d[2] <= 0.999f) {
    const float s = (kSkyHorizonLift - d[2]) / (1.0f - D[2]);
    const float q[3] = {d[0] * (1.0f - s), d[1] * (1.0f - s), kSkyHorizonLift};
    y = (cr * Dot(q, U) - sr * Dot(q, R)) / Dot(q, D);
    if (y < -h) y = -h;
  }
  if (y > h) {
    c.skyVisible = 0;
    return;
  }
  c.skyVisible = 1;
  const float unrolled[4][2] = {{-h, y}, {-h, h}, {h, y}, {h, h}};
  for (int i = 0; i < 4; ++i) {
    const float X = unrolled[i][0];
    const float Y = unrolled[i][1];
    const float xr = X * cr - Y * sr;
    const float yr = X * sr + Y * cr;
    float ray[3];
    for (int a = 0; a < 3; ++a) ray[a] = D[a] + xr * R[a] + yr * U[a];
    AddScaled(c.position, c.depth - kSkyInset, ray, c.skyPoints[i]);
    Copy(ray, c.skyRays[i]);
    k.KernelNormalize3(c.skyRays[i]);
  }
}

}  // namespace

Camera::Camera() { CameraFrameSteps(*this); }

void RightAxisFromDirection(const float* d, float* right) {
  float rx;
  float ry;
  if (std::fabs(d[0]) > 1e-5f && std::fabs(d[1]) > 1e-5f) {
    const float ratio = d[0] / d[1];
    const float s = gKernelTable.KernelInvSqrt(1.0f + ratio * ratio);
    rx = s;
    ry = -ratio * s;
  } else if (std::fabs(d[0]) <= 1e-5f) {
    rx = 1, ry = 0;
  } else {
    rx = 0, ry = 1;
  }
  right[0] = d[1] < 0 ? -std::fabs(rx) : std::fabs(rx);
  right[1] = d[0] >= 0 ? -std::fabs(ry) : std::fabs(ry);
  right[2] = 0;
}

void NormalizeViewDirection(float* d) {
  if (!UsableDirection(d[0], d[1], d[2])) d[0] = 0, d[1] = 1, d[2] = 0;
  const float s = gKernelTable.KernelInvSqrt(Dot(d, d));
  for (int i = 0; i < 3; ++i) d[i] *= s;
}

bool DirectionFromVector(const double* v, float* d) {
  double largest = 0.0;
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(v[i])) return false;
    largest = std::max(largest, std::fabs(v[i]));
  }
  if (largest == 0.0) return false;
  float f[3];
  for (int i = 0; i < 3; ++i) f[i] = static_cast<float>(v[i]);
  if (!UsableDirection(f[0], f[1], f[2])) {
    for (int i = 0; i < 3; ++i) f[i] = static_cast<float>(v[i] / largest);
  }
  Copy(f, d);
  return true;
}

void UpAxis(const float* right, const float* d, float* up) { Cross(right, d, up); }

void RollAxes(const float* right, const float* up, float roll, float* rolledRight,
              float* rolledUp) {
  const float c = std::cos(roll);
  const float s = std::sin(roll);
  for (int i = 0; i < 3; ++i) {
    rolledRight[i] = c * right[i] - s * up[i];
    rolledUp[i] = c * up[i] + s * right[i];
  }
}

void CameraNormalizeDirection(Camera& camera) { NormalizeViewDirection(camera.direction); }

void CameraComputeRight(Camera& camera) { RightAxisFromDirection(camera.direction, camera.right); }

void CameraComputeUp(Camera& camera) { UpAxis(camera.right, camera.direction, camera.up); }

void CameraApplyRoll(Camera& camera) {
  RollAxes(camera.right, camera.up, camera.roll, camera.rolledRight, camera.rolledUp);
}

void CameraFrameSteps(Camera& camera) { ViewFrameSteps(camera); }

void CameraInit(Camera& camera, ViewPlane* owner) {
  camera.owner = owner;
  CameraSetFullViewport(camera);
  camera.mode = kCameraLookAt;
}

void CameraSetFullViewport(Camera& camera) {
  std::int32_t v[4];
  ReadViewport(v);
  camera.windowX0 = 0, camera.windowX1 = 1, camera.windowY0 = 0, camera.windowY1 = 1;
  camera.cachedWidth = v[2];
  camera.cachedHeight = v[3];
  camera.aspect = static_cast<float>(v[2]) / static_cast<float>(v[3]);
  camera.wholeWindow = 1;
  std::copy(v, v + 4, camera.pixelRect);
  const float bounds[4] = {-1, 1, -1, 1};
  std::copy(bounds, bounds + 4, camera.imageBounds);
}

void CameraSetViewport(Camera& camera, float x0, float y0, float x1, float y1) {
  std::int32_t v[4];
  ReadViewport(v);
  camera.windowX0 = x0, camera.windowX1 = x1, camera.windowY0 = y0, camera.windowY1 = y1;
  camera.cachedWidth = v[2];
  camera.cachedHeight = v[3];
  const auto w = static_cast<float>(v[2]);
  const auto h = static_cast<float>(v[3]);
  camera.aspect = (w * (x1 - x0)) / (h * (y1 - y0));
  camera.wholeWindow = std::fabs(x1 - x0) > 0.999f && std::fabs(y1 - y0) > 0.999f ? 1 : 0;
  camera.pixelRect[0] = v[0] + RoundPixel(w * x0);
  camera.pixelRect[1] = v[1] + RoundPixel(h * y0);
  camera.pixelRect[2] = RoundPixel(w * (x1 - x0));
  camera.pixelRect[3] = RoundPixel(h * (y1 - y0));
}

bool CameraEquals(const Camera& a, const Camera& b) {
  auto near = [](float x, float y) { return std::fabs(x - y) < kCameraEqualTolerance; };
  for (int i = 0; i < 3; ++i) {
    if (!near(a.position[i], b.position[i]) || !near(a.direction[i], b.direction[i])) {
      return false;
    }
  }
  return near(a.focalAngle, b.focalAngle) && near(a.roll, b.roll) && near(a.depth, b.depth);
}

void CameraSetPosition(Camera& camera, float x, float y, float z) {
  camera.position[0] = x, camera.position[1] = y, camera.position[2] = z;
}

void CameraSetDirection(Camera& camera, float dx, float dy, float dz) {
  camera.mode = kCameraLookAt;
  if (UsableDirection(dx, dy, dz)) {
    camera.direction[0] = dx, camera.direction[1] = dy, camera.direction[2] = dz;
  }
  CameraFrameSteps(camera);
}

void CameraSetLookAt(Camera& camera, float tx, float ty, float tz) {
  const double d[3] = {double{tx} - camera.position[0], double{ty} - camera.position[1],
                       double{tz} - camera.position[2]};
  DirectionFromVector(d, camera.direction);
  CameraFrameSteps(camera);
}

void CameraGuardBand(Camera& camera) {
  const float g = static_cast<float>(camera.guardPixels);
  const float half = static_cast<float>(camera.cachedHeight) * 0.5f;
  if (camera.guardPixels == 0 || half < 1.0f) {
    camera.fovy = camera.focalAngle;
    camera.guardOffset[0] = camera.guardOffset[1] = 0;
    camera.guardSpan[0] = camera.guardSpan[1] = 1;
    return;
  }
  // At least half a pixel row stays inside the band on each side of the centre.
  const float band = std::min(g, half - 0.5f);
  const float t = TanHalf(camera.focalAngle);
  camera.fovy = 2.0f * std::atan(t * half / (half - band)) * (180.0f / std::numbers::pi_v<float>);
  const float offset = band / (2.0f * half);
  camera.guardOffset[0] = camera.guardOffset[1] = offset;
  camera.guardSpan[0] = camera.guardSpan[1] = 1.0f - 2.0f * offset;
}

void CameraApply(Camera& camera) {
  std::int32_t v[4];
  ReadViewport(v);
  if (v[2] != camera.cachedWidth || v[3] != camera.cachedHeight) {
    camera.aspect = ((camera.windowX1 - camera.windowX0) * static_cast<float>(v[2])) /
                    ((camera.windowY1 - camera.windowY0) * static_cast<float>(v[3]));
    camera.cachedWidth = v[2];
    camera.cachedHeight = v[3];
  }
  CameraGuardBand(camera);

  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(camera.fovy, camera.aspect, kCameraNearPlane, camera.depth);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  if (camera.mode >= 0) {
    if (camera.mode <= 5) {
      const bool variant = camera.faceVariant != 0 && camera.mode >= 4;
      const FaceAxes& face = variant ? kFaceAxesVariant[camera.mode - 4] : kFaceAxes[camera.mode];
      Copy(face.direction, camera.direction);
      Copy(face.right, camera.right);
    }
    CameraComputeUp(camera);
    CameraApplyRoll(camera);
  }
  const float* p = camera.position;
  const float* d = camera.direction;
  const float* u = camera.rolledUp;
  gluLookAt(p[0], p[1], p[2], p[0] + d[0], p[1] + d[1], p[2] + d[2], u[0], u[1], u[2]);

  if (camera.wholeWindow == 0) {
    std::copy(v, v + 4, camera.savedViewport);
    glViewport(camera.pixelRect[0], camera.pixelRect[1], camera.pixelRect[2], camera.pixelRect[3]);
  }
  glDepthRange(0, 1);
  CameraFrustumPlanes(camera);
  // Only where the driver lists the extension: elsewhere the token is not known.
  if (MultiSampleQuality != 0 && HasExtension(kExtMultisampleFilterHint) != 0)
    glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
}

void CameraRestore(Camera& camera) {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  if (camera.wholeWindow == 0) {
    glViewport(camera.savedViewport[0], camera.savedViewport[1], camera.savedViewport[2],
               camera.savedViewport[3]);
  }
}

void CameraFrustumPlanes(Camera& camera) {
  float projection[16];
  float modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  CameraFrustumFromMatrices(camera, projection, modelview);
}

void CameraFrustumFromMatrices(Camera& camera, const float* projection, const float* modelview) {
  const KernelTable& k = gKernelTable;
  // Each element summed in double and stored as a float.
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int n = 0; n < 4; ++n) sum += double{projection[i + 4 * n]} * modelview[n + 4 * j];
      camera.clipMatrix[i + 4 * j] = static_cast<float>(sum);
    }
  }

  const float* P = camera.position;
  const float* D = camera.direction;
  const float ty = TanHalf(camera.fovy);
  const float tx = ty * camera.aspect;
  float a[3];
  float b[3];
  float m[3];
  for (int i = 0; i < 3; ++i) {
    a[i] = tx * camera.rolledRight[i];
    b[i] = ty * camera.rolledUp[i];
    m[i] = P[i] + D[i];
  }
  const float* bounds = camera.imageBounds;
  const float corner[4][2] = {{bounds[0], bounds[2]},
                              {bounds[0], bounds[3]},
                              {bounds[1], bounds[2]},
                              {bounds[1], bounds[3]}};
  float e[4][3];
  for (int c = 0; c < 4; ++c) {
    float* ci = camera.corners[c];
    for (int i = 0; i < 3; ++i) ci[i] = m[i] + corner[c][0] * a[i] + corner[c][1] * b[i];
    Sub(ci, P, e[c]);
    AddScaled(P, camera.depth - kFarCornerInset, e[c], camera.farCorners[c]);
    Copy(e[c], camera.cornerRays[c]);
    k.KernelNormalize3(camera.cornerRays[c]);
  }

  SkyQuadrilateral(camera, tx, ty);

  float edge[3];
  const float(*c)[3] = camera.corners;
  Sub(c[0], c[1], edge);
  Cross(e[0], edge, camera.planeLeft);
  Sub(c[3], c[2], edge);
  Cross(e[3], edge, camera.planeRight);
  Sub(c[1], c[3], edge);
  Cross(e[3], edge, camera.planeTop);
  Sub(c[2], c[0], edge);
  Cross(e[0], edge, camera.planeBottom);
  Copy(D, camera.farNormal);
  AddScaled(P, camera.depth, D, camera.farCentre);

  float* box = camera.viewBox;
  for (int i = 0; i < 3; ++i) box[2 * i] = box[2 * i + 1] = P[i];
  for (int n = 0; n < 4; ++n) {
    for (int i = 0; i < 3; ++i) {
      const float v = P[i] + camera.depth * e[n][i];
      box[2 * i] = k.KernelMin(box[2 * i], v);
      box[2 * i + 1] = k.KernelMax(box[2 * i + 1], v);
    }
  }
}

}  // namespace veskor
