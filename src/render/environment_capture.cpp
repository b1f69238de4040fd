#include "render/environment_capture.h"

#include <algorithm>

#include "gfx/viewport_rect.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

std::uint32_t PlaneSizeSwitch = 1;
std::uint32_t EnvironmentCaptureLog2 = 0;

namespace {

// Provisional directions that keep the camera basis defined before the face table sets the
// axes; those of faces 4 and 5 lean off the vertical, which has no right axis of its own.
constexpr float kProvisionalDirections[6][3] = {
    {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0.001f, -0.99f}, {0, 0.001f, 0.99f},
};

void ReadViewport(std::int32_t* v) {
  GLint g[4] = {};
  glGetIntegerv(GL_VIEWPORT, g);
  std::copy(g, g + 4, v);
}

// When the GL viewport changed size since the camera cached it: cache the new size and take
// the aspect of the camera's part of it.
void FollowViewport(Camera& camera) {
  std::int32_t v[4];
  ReadViewport(v);
  if (v[2] == camera.cachedWidth && v[3] == camera.cachedHeight) return;
  camera.cachedWidth = v[2];
  camera.cachedHeight = v[3];
  camera.aspect = ((camera.windowX1 - camera.windowX0) * static_cast<float>(v[2])) /
                  ((camera.windowY1 - camera.windowY0) * static_cast<float>(v[3]));
}

// The window the camera draws into: its plane's client size, or the GL viewport's for a
// camera of no plane; 600 x 400 while the plane-size switch is off.
void CameraWindowSize(const Camera& camera, std::int32_t& w, std::int32_t& h) {
  if (PlaneSizeSwitch == 0) {
    w = kDefaultPlaneWidth, h = kDefaultPlaneHeight;
  } else if (camera.owner != nullptr) {
    w = static_cast<std::int32_t>(ViewPlaneWidth(*camera.owner));
    h = static_cast<std::int32_t>(ViewPlaneHeight(*camera.owner));
  } else {
    std::int32_t v[4];
    ReadViewport(v);
    w = v[2], h = v[3];
  }
}

}  // namespace

std::uint32_t EnvironmentFaceLog2(std::uint32_t level, std::int32_t width, std::int32_t height) {
  std::uint32_t s = level > 2 ? level - 2 : 0;
  const auto fits = [&](std::uint32_t k) {
    const std::int64_t size = std::int64_t{1} << k;
    return size <= std::int64_t{width} - kCaptureOrigin &&
           size <= std::int64_t{height} - kCaptureOrigin && k <= kCaptureMaxLog2;
  };
  while (s > 0 && !fits(s)) --s;
  return s;
}

void CameraSetPixelRect(Camera& camera, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                        std::int32_t y1) {
  const std::int32_t width = x1 - x0 + 1;
  const std::int32_t height = y1 - y0 + 1;
  camera.pixelRect[0] = x0, camera.pixelRect[1] = y0;
  camera.pixelRect[2] = width, camera.pixelRect[3] = height;
  std::int32_t w = 0, h = 0;
  CameraWindowSize(camera, w, h);
  camera.cachedWidth = w, camera.cachedHeight = h;
  camera.aspect = static_cast<float>(width) / static_cast<float>(height);
  camera.wholeWindow = width >= w && height >= h ? 1 : 0;
  const auto fw = static_cast<float>(w - 1);
  const auto fh = static_cast<float>(h - 1);
  camera.windowX0 = static_cast<float>(x0) / fw, camera.windowX1 = static_cast<float>(x1) / fw;
  camera.windowY0 = static_cast<float>(y0) / fh, camera.windowY1 = static_cast<float>(y1) / fh;
}

void CaptureEnvironment(Camera& camera, const LodRange& range, TextureCube& cube, float x0,
                        float y0, float z0, float x1, float y1, float z1) {
  const KernelTable& k = gKernelTable;
  camera.captureFace = 1;
  FollowViewport(camera);

  const float centre[3] = {(x0 + x1) * 0.5f, (y0 + y1) * 0.5f, (z0 + z1) * 0.5f};
  const float dx = x1 - x0, dy = y1 - y0, dz = z1 - z0;
  const float r = k.KernelSqrt(dx * dx + dy * dy + dz * dz) * 0.5f;

  CameraSetPosition(camera, centre[0], centre[1], centre[2]);
  camera.mode = kCameraLookAt;
  camera.direction[0] = -1, camera.direction[1] = 0, camera.direction[2] = 0;
  camera.roll = 0;
  CameraFrameSteps(camera);
  camera.depth = kCaptureFar;
  camera.focalAngle = camera.fovy = kCaptureFocalAngle;

  // The finest level any box asks of the item; with no box list, or an empty one, the
  // range's minimum level rather than whatever record 0 holds.
  const std::uint32_t level = range.list != nullptr
                                  ? LodLevelForItem(range, r, centre[0], centre[1], centre[2])
                                  : range.minLevel;
  std::int32_t w = camera.cachedWidth, h = camera.cachedHeight;
  if (PlaneSizeSwitch == 0) w = kDefaultPlaneWidth, h = kDefaultPlaneHeight;
  const std::uint32_t s = EnvironmentFaceLog2(level, w, h);
  EnvironmentCaptureLog2 = s;

  // Three channels of 2^s texels a side, ready for a new upload: what the last upload of the
  // cube counted (at its old size) comes off the texture memory before the faces change
  // size, a stale slot is dropped and a slot taken.
  TextureCubeResize(cube, 3, s);

  const std::int32_t last = kCaptureOrigin + (std::int32_t{1} << s) - 1;
  CameraSetPixelRect(camera, kCaptureOrigin, kCaptureOrigin, last, last);
  camera.aspect = 1.0f;
}

void BeginEnvironmentFace(Camera& camera, std::uint32_t face) {
  if (face <= 5) {
    const float* d = kProvisionalDirections[face];
    camera.mode = kCameraLookAt;
    std::copy(d, d + 3, camera.direction);
    CameraFrameSteps(camera);
  }
  ApplyFaceCamera(camera, face);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void ApplyFaceCamera(Camera& camera, std::uint32_t face) {
  FollowViewport(camera);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(camera.fovy, camera.aspect, kCameraNearPlane, camera.depth);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  camera.mode = static_cast<std::int32_t>(face);
  if (face <= 5) {
    const CaptureFaceAxes& axes = kCaptureFaces[face];
    std::copy(axes.direction, axes.direction + 3, camera.direction);
    std::copy(axes.up, axes.up + 3, camera.up);
  }
  // right = direction x up, the camera's own handedness (up = right x direction), so that
  // the culling planes CameraFrustumPlanes derives from the axes face outwards.
  const float* d = camera.direction;
  const float* u = camera.up;
  camera.right[0] = d[1] * u[2] - d[2] * u[1];
  camera.right[1] = d[2] * u[0] - d[0] * u[2];
  camera.right[2] = d[0] * u[1] - d[1] * u[0];
  CameraApplyRoll(camera);

  const float* p = camera.position;
  const float* ru = camera.rolledUp;
  gluLookAt(p[0], p[1], p[2], p[0] + d[0], p[1] + d[1], p[2] + d[2], ru[0], ru[1], ru[2]);
  if (camera.wholeWindow == 0) {
    ReadViewport(camera.savedViewport);
    glViewport(camera.pixelRect[0], camera.pixelRect[1], camera.pixelRect[2], camera.pixelRect[3]);
  }
  glDepthRange(0, 1);
  CameraFrustumPlanes(camera);
}

void EndEnvironmentFace(Camera& camera) {
  glFlush();
  glFinish();
  CameraRestore(camera);
}

void ReadEnvironmentFace(Camera& camera, TextureCube& cube, std::uint32_t face) {
  if (face > 5) return;
  TexturePixels& pixels = cube.faces[face];
  const std::int32_t* rect = camera.pixelRect;
  // The face block holds exactly the square: any other size would be read past its end.
  if (pixels.data == nullptr || pixels.channels != 3 ||
      rect[2] != (std::int32_t{1} << pixels.log2Width) ||
      rect[3] != (std::int32_t{1} << pixels.log2Height))
    return;
  glReadPixels(rect[0], rect[1], rect[2], rect[3], GL_RGB, GL_FLOAT, pixels.data);
  gKernelTable.MapClamp01(3, static_cast<std::uint8_t>(pixels.log2Width),
                          static_cast<std::uint8_t>(pixels.log2Height),
                          static_cast<float*>(pixels.data));
}

void EndEnvironmentCapture(Camera& camera) { camera.captureFace = 0; }

}  // namespace veskor
