#include "app/camera_control.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/frame_clock.h"
#include "geometry/direction_from_angles.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kRadiansPerDegree = kPi / 180.0f;

}  // namespace

void MouseLookSteps(float dx, float dy, float* yaw, float* pitch, float* roll) {
  const float t = AverageFrameTime();
  *yaw = kMouseYawRate * t * dx;
  *pitch = kMousePitchRate * t * dy;
  *roll = kMouseRollRate * t * dx;
}

void DirectionAngles(const float* d, float* azimuth, float* elevation) {
  const float horizontal = std::sqrt(d[0] * d[0] + d[1] * d[1]);
  // Straight up or down has no azimuth: 0 rather than the NaN of 0 / 0.
  *azimuth = horizontal < kOrbitMinLength ? 0.0f
                                          : std::acos(std::clamp(d[0] / horizontal, -1.0f, 1.0f));
  if (d[1] < 0.0f) *azimuth = -*azimuth;
  *elevation = std::asin(std::clamp(d[2], -1.0f, 1.0f));
}

void OrbitStep(Camera& camera, const float* target, float yaw, float pitch) {
  float d[3] = {camera.position[0] - target[0], camera.position[1] - target[1],
                camera.position[2] - target[2]};
  const float r = gKernelTable.KernelLength3(d);
  // A camera on its examine point has no direction to keep: it stays until moved off.
  if (!(r >= kOrbitMinLength)) return;
  for (float& c : d) c /= r;
  float azimuth, elevation;
  DirectionAngles(d, &azimuth, &elevation);
  azimuth += yaw * kRadiansPerDegree;
  if (azimuth < 0.0f) {
    azimuth += 2.0f * kPi;
  } else if (azimuth >= 2.0f * kPi) {
    azimuth -= 2.0f * kPi;
  }
  elevation = std::clamp(elevation + pitch * kRadiansPerDegree, -kOrbitElevationMax,
                         kOrbitElevationMax);
  DirectionFromAngles(azimuth, elevation, d);
  CameraSetPosition(camera, target[0] + r * d[0], target[1] + r * d[1], target[2] + r * d[2]);
  CameraSetLookAt(camera, target[0], target[1], target[2]);
}

void TurnCamera(Camera& camera, float degrees) {
  const float c = std::cos(degrees * kRadiansPerDegree), s = std::sin(degrees * kRadiansPerDegree);
  const float* d = camera.direction;
  CameraSetDirection(camera, c * d[0] + s * d[1], c * d[1] - s * d[0], d[2]);
}

void TiltCamera(Camera& camera, float degrees) {
  const float c = std::cos(degrees * kRadiansPerDegree), s = std::sin(degrees * kRadiansPerDegree);
  const float* d = camera.direction;
  const float* up = camera.up;
  CameraSetDirection(camera, c * d[0] + s * up[0], c * d[1] + s * up[1], c * d[2] + s * up[2]);
}

void RollCamera(Camera& camera, float degrees) {
  camera.roll = degrees * kRadiansPerDegree;
  CameraApplyRoll(camera);
}

float RollReturn(float roll) {
  if (roll >= kRollReturnStep) return roll - kRollReturnStep;
  if (roll <= -kRollReturnStep) return roll + kRollReturnStep;
  return 0.0f;
}

}  // namespace veskor
