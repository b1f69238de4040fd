#include "render/camera_motion.h"

#include <cmath>

#include "mapengine/clamp_float.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kRadiansPerDegree = 0.017453292f;

// The yaw of a direction, from +x towards +y; false, leaving `yaw`, when the direction is
// (nearly) vertical and has none. The arc cosine's argument is clamped, as rounding can put
// it just outside [-1, 1].
bool DirectionYaw(const float* v, float& yaw) {
  const float h = gKernelTable.KernelSqrt(v[0] * v[0] + v[1] * v[1]);
  if (!(h >= kTransitionAngleEpsilon)) return false;
  yaw = std::acos(ClampFloat(v[0] / h, -1.0f, 1.0f));
  if (v[1] < 0) yaw = -yaw;
  return true;
}

float DirectionPitch(const float* v) { return std::asin(ClampFloat(v[2], -1.0f, 1.0f)); }

// Yaws of both ends of a blend; an end without one takes the other's, so that only the
// pitch turns (both without: 0).
void BlendEndYaws(const float* from, const float* to, float& yawFrom, float& yawTo) {
  const bool hasFrom = DirectionYaw(from, yawFrom);
  const bool hasTo = DirectionYaw(to, yawTo);
  if (!hasFrom && !hasTo) yawFrom = yawTo = 0.0f;
  if (!hasFrom) yawFrom = yawTo;
  if (!hasTo) yawTo = yawFrom;
}

// Moves one of the two yaws by a full turn when the other way round is shorter.
void ShortestWayRound(float& yawFrom, float& yawTo) {
  if (yawTo > yawFrom && (yawFrom + kTwoPi) - yawTo < yawTo - yawFrom) yawFrom += kTwoPi;
  if (yawFrom > yawTo && (yawTo + kTwoPi) - yawFrom < yawFrom - yawTo) yawTo += kTwoPi;
}

void YawPitchDirection(float yaw, float pitch, float* d) {
  d[0] = std::cos(pitch) * std::cos(yaw);
  d[1] = std::cos(pitch) * std::sin(yaw);
  d[2] = std::sin(pitch);
}

// The roll blended in degrees and stored in radians.
float BlendRoll(float from, float to, float t, float u) {
  return (t * to * kDegreesPerRadian + u * from * kDegreesPerRadian) * kRadiansPerDegree;
}

void CameraTransition(World& world, const Camera& target) {
  Camera& k = world.currentCamera;
  const float step = world.transitionStep;
  if (step < kTransitionInstantStep) {
    k = target;
    return;
  }
  const float v[3] = {target.position[0] - k.position[0], target.position[1] - k.position[1],
                      target.position[2] - k.position[2]};
  const float t = step / gKernelTable.KernelLength3(v);
  if (t >= kTransitionArrival) {
    k = target;
    world.transitionStep = 0.0f;
    world.transitionTarget = -1;
    return;
  }
  const float u = 1.0f - t;
  float yawK = 0, yawT = 0;
  BlendEndYaws(k.direction, target.direction, yawK, yawT);
  ShortestWayRound(yawK, yawT);
  const float yaw = u * yawK + t * yawT;
  const float pitch = u * DirectionPitch(k.direction) + t * DirectionPitch(target.direction);
  for (int i = 0; i < 3; ++i) k.position[i] = u * k.position[i] + t * target.position[i];
  YawPitchDirection(yaw, pitch, k.direction);
  k.mode = kCameraLookAt;
  CameraFrameSteps(k);
  k.roll = BlendRoll(k.roll, target.roll, t, u);
  CameraApplyRoll(k);
  k.depth = ClampFloat(u * k.depth + t * target.depth, kTransitionFarMin, kTransitionFarMax);
  k.focalAngle = k.fovy = u * k.focalAngle + t * target.focalAngle;
}

// The camera on the orbit at its yaw and pitch, looking at its centre.
void PlaceOnOrbit(Camera& k, const ExamineRecord& orbit) {
  float d[3];
  YawPitchDirection(orbit.yaw, orbit.pitch, d);
  const float* c = orbit.position;
  CameraSetPosition(k, c[0] + orbit.radius * d[0], c[1] + orbit.radius * d[1],
                    c[2] + orbit.radius * d[2]);
  CameraSetLookAt(k, c[0], c[1], c[2]);
  k.focalAngle = k.fovy = orbit.focalAngle;
}

void ExamineTransition(World& world, const ExamineRecord& target) {
  Camera& k = world.currentCamera;
  ExamineRecord& orbit = world.orbitState;
  const float step = world.transitionStep;
  if (step < kTransitionInstantStep) {
    orbit = target;
    PlaceOnOrbit(k, orbit);
    return;
  }
  float v[3];
  for (int i = 0; i < 3; ++i) v[i] = k.position[i] - target.position[i];
  const float d = gKernelTable.KernelLength3(v);
  const float t = step / std::fabs(target.radius - d);
  if (t >= kTransitionArrival) {
    for (int i = 0; i < 3; ++i) orbit.position[i] = target.position[i];
    orbit.radius = target.radius;
    orbit.focalAngle = target.focalAngle;
    PlaceOnOrbit(k, orbit);
    world.transitionStep = 0.0f;
    world.transitionTarget = -1;
    return;
  }
  const float u = 1.0f - t;
  for (int i = 0; i < 3; ++i) orbit.position[i] = target.position[i];
  orbit.radius = t * target.radius + u * d;
  // The bearing around the centre; a camera at the centre keeps the orbit's.
  if (d >= kTransitionAngleEpsilon) {
    for (float& c : v) c /= d;
    DirectionYaw(v, orbit.yaw);
    orbit.pitch = DirectionPitch(v);
  } else {
    YawPitchDirection(orbit.yaw, orbit.pitch, v);
  }
  orbit.focalAngle = u * k.focalAngle + t * target.focalAngle;

  const float look[3] = {-v[0], -v[1], -v[2]};
  float yawK = 0, yawL = 0;
  BlendEndYaws(k.direction, look, yawK, yawL);
  ShortestWayRound(yawK, yawL);
  const float yaw = u * yawK + t * yawL;
  const float pitch = u * DirectionPitch(k.direction) + t * DirectionPitch(look);

  float o[3];
  YawPitchDirection(orbit.yaw, orbit.pitch, o);
  const float* c = orbit.position;
  for (int i = 0; i < 3; ++i) k.position[i] = c[i] + orbit.radius * o[i];
  k.mode = kCameraLookAt;
  k.focalAngle = k.fovy = orbit.focalAngle;
  YawPitchDirection(yaw, pitch, k.direction);
  CameraFrameSteps(k);
  k.roll = BlendRoll(k.roll, 0.0f, t, u);
  CameraApplyRoll(k);
}

}  // namespace

void CameraStepWrapper(World& world) { CameraMotionUpdate(world); }

void CameraMotionUpdate(World& world) {
  const std::int32_t target = world.transitionTarget;
  if (target < 0) return;
  auto index = static_cast<std::uint32_t>(target);
  if (index < world.cameraCount) return CameraTransition(world, world.cameras[index]);
  index -= world.cameraCount;
  if (index < world.examineCount) return ExamineTransition(world, world.examines[index]);
  index -= world.examineCount;
  if (index < world.snapshotCount) return CameraTransition(world, world.snapshots[index]);
}

}  // namespace veskor
