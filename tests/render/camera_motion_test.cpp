// Camera transitions on the CPU: the straight line and the frame of arrival, the blends of
// yaw across the seam, roll, far distance and focal angle, examine orbits with the bearing
// kept, vertical directions and a camera at the centre, and targets out of range.
#include "render/camera_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

namespace veskor {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Camera MakeCamera(float x, float y, float z, float yawDegrees, float pitchDegrees = 0) {
  Camera c;
  CameraSetPosition(c, x, y, z);
  const float yaw = yawDegrees * kPi / 180, pitch = pitchDegrees * kPi / 180;
  CameraSetDirection(c, std::cos(pitch) * std::cos(yaw), std::cos(pitch) * std::sin(yaw),
                     std::sin(pitch));
  return c;
}

void ExpectVector(const float* v, float x, float y, float z, float tolerance = 1e-4f) {
  EXPECT_NEAR(v[0], x, tolerance);
  EXPECT_NEAR(v[1], y, tolerance);
  EXPECT_NEAR(v[2], z, tolerance);
}

// The fields a transition writes or copies.
bool SameCamera(const Camera& a, const Camera& b) {
  return std::memcmp(a.position, b.position, sizeof a.position) == 0 &&
         std::memcmp(a.direction, b.direction, sizeof a.direction) == 0 &&
         std::memcmp(a.rolledUp, b.rolledUp, sizeof a.rolledUp) == 0 && a.roll == b.roll &&
         a.depth == b.depth && a.focalAngle == b.focalAngle && a.fovy == b.fovy &&
         a.mode == b.mode && a.aspect == b.aspect;
}

bool Finite(const Camera& c) {
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(c.position[i]) || !std::isfinite(c.direction[i]) ||
        !std::isfinite(c.rolledUp[i]) || !std::isfinite(c.rolledRight[i]))
      return false;
  }
  return std::isfinite(c.roll) && std::isfinite(c.focalAngle);
}

class CameraMotion : public ::testing::Test {
 protected:
  std::unique_ptr<World> owner = std::make_unique<World>();
  World& world = *owner;

  void Select(std::int32_t target, float step) {
    world.transitionTarget = target;
    world.transitionStep = step;
  }
};

TEST_F(CameraMotion, CameraMovesAlongTheLineAndArrivesInTheFrameItsStepGives) {
  // Cameras, then examine points, then views: the same walk for camera 1 and view 0.
  world.cameraCount = 2;
  world.examineCount = 1;
  world.snapshotCount = 1;
  const float step = 30.0f;
  for (std::int32_t target : {1, 3}) {
    world.currentCamera = MakeCamera(0, 0, 0, 0);
    world.currentCamera.roll = 0.2f;
    world.currentCamera.depth = 1000;
    world.currentCamera.focalAngle = 80;
    Camera goal = MakeCamera(100, 0, 0, 90);
    goal.roll = 0.6f, goal.depth = 2000, goal.focalAngle = 40;
    CameraApplyRoll(goal);
    (target == 1 ? world.cameras[1] : world.snapshots[0]) = goal;
    Select(target, step);

    // By hand: the remaining way falls by the step each frame; the frame whose step covers
    // at least 0.9998 of it arrives.
    float remaining = 100, x = 0;
    int frame = 0;
    for (; step / remaining < 0.9998f; ++frame) {
      const float t = step / remaining, u = 1 - t;
      const Camera before = world.currentCamera;
      CameraStepWrapper(world);
      const Camera& k = world.currentCamera;
      x += step, remaining -= step;
      ExpectVector(k.position, x, 0, 0);
      const float yaw = t * kPi / 2 + u * std::atan2(before.direction[1], before.direction[0]);
      ExpectVector(k.direction, std::cos(yaw), std::sin(yaw), 0);
      EXPECT_NEAR(k.roll, u * before.roll + t * 0.6f, 1e-5f);
      EXPECT_NEAR(k.rolledUp[2], std::cos(k.roll), 1e-5f);
      EXPECT_NEAR(k.depth, u * before.depth + t * 2000, 1e-2f);
      EXPECT_NEAR(k.focalAngle, u * before.focalAngle + t * 40, 1e-4f);
      EXPECT_EQ(k.fovy, k.focalAngle);
      EXPECT_EQ(world.transitionTarget, target);
    }
    EXPECT_EQ(frame, 3);
    CameraStepWrapper(world);
    EXPECT_TRUE(SameCamera(world.currentCamera, goal));
    EXPECT_EQ(world.transitionTarget, -1);
    EXPECT_EQ(world.transitionStep, 0.0f);
  }
}

TEST_F(CameraMotion, YawBlendsTheShortWayAndFarDistanceIsClamped) {
  world.cameraCount = 1;
  struct Case {
    float fromYaw, toYaw, fromDepth, toDepth;
    float yaw, depth;  // after one frame of t = 0.5
  } cases[] = {
      {170, -170, 1000, 3000, 180, 2000},       // through 180, not through 0
      {-170, 170, 11000, 12998, -180, 11999},   // just inside the upper bound
      {10, -10, 11000, 13002, 0, 12000},        // just above it
      {-100, 100, 2, -0.2f, 180, 1},            // just below the lower bound
      {90, -30, 3, -0.8f, 30, 1.1f},            // just inside it
  };
  for (const Case& c : cases) {
    world.currentCamera = MakeCamera(0, 0, 0, c.fromYaw);
    world.currentCamera.depth = c.fromDepth;
    world.cameras[0] = MakeCamera(0, 0, 20, c.toYaw);
    world.cameras[0].depth = c.toDepth;
    Select(0, 10);
    CameraMotionUpdate(world);
    const float yaw = c.yaw * kPi / 180;
    ExpectVector(world.currentCamera.direction, std::cos(yaw), std::sin(yaw), 0);
    EXPECT_NEAR(world.currentCamera.depth, c.depth, 1e-3f) << c.fromYaw;
  }
}

TEST_F(CameraMotion, InstantStepsTargetsAtTheCameraAndOutOfRangeTargets) {
  world.cameraCount = 1;
  world.snapshotCount = 1;
  Camera goal = MakeCamera(5, 6, 7, 45);
  goal.roll = 0.3f, goal.depth = 50000;
  world.cameras[0] = goal;
  world.snapshots[0] = MakeCamera(0, 0, 0, -60, 10);
  world.snapshots[0].focalAngle = 33;

  // A step just below the instant bound takes the target and leaves it selected.
  world.currentCamera = MakeCamera(0, 0, 0, 0);
  Select(0, 0.00049f);
  CameraMotionUpdate(world);
  EXPECT_TRUE(SameCamera(world.currentCamera, goal));
  EXPECT_EQ(world.transitionTarget, 0);
  EXPECT_EQ(world.transitionStep, 0.00049f);
  // Just above it the camera moves that far only.
  world.currentCamera = MakeCamera(0, 0, 7, 0);
  Select(0, 0.00051f);
  CameraMotionUpdate(world);
  EXPECT_NEAR(world.currentCamera.position[0], 0.00051f * 5 / std::sqrt(61.0f), 1e-6f);
  // A step just short of the arrival share of the way only moves the camera; one just
  // beyond it arrives.
  for (float share : {0.999f, 0.99985f}) {
    world.currentCamera = MakeCamera(0, 0, 0, 0);
    Select(0, share * std::sqrt(110.0f));
    CameraMotionUpdate(world);
    EXPECT_EQ(world.transitionTarget, share < 0.9998f ? 0 : -1) << share;
    EXPECT_NEAR(world.currentCamera.position[2], share < 0.9998f ? share * 7 : 7, 1e-4f);
  }
  // A target at the camera's own position (view 0 here) arrives at once, whole.
  world.currentCamera = MakeCamera(0, 0, 0, 90);
  Select(1, 50);
  CameraMotionUpdate(world);
  EXPECT_TRUE(SameCamera(world.currentCamera, world.snapshots[0]));
  EXPECT_EQ(world.transitionTarget, -1);

  const Camera before = MakeCamera(1, 2, 3, 30);
  for (std::int32_t target : {-1, -7, 2, 1000, 0x7fffffff}) {
    world.currentCamera = before;
    Select(target, 50);
    CameraMotionUpdate(world);
    EXPECT_TRUE(SameCamera(world.currentCamera, before)) << target;
    EXPECT_EQ(world.transitionTarget, target);
  }
  // Empty lists: nothing is in range.
  world.cameraCount = world.snapshotCount = 0;
  world.currentCamera = before;
  Select(0, 50);
  CameraMotionUpdate(world);
  EXPECT_TRUE(SameCamera(world.currentCamera, before));
}

TEST_F(CameraMotion, VerticalDirectionsGiveFiniteCamerasTurningInPitchOnly) {
  world.cameraCount = 1;
  struct Case {
    float fromPitch, fromYaw, toPitch, toYaw;
  } cases[] = {{90, 0, 0, 120}, {-90, 0, 0, -45}, {0, 60, 90, 0}, {90, 0, -90, 0}};
  for (const Case& c : cases) {
    world.currentCamera = MakeCamera(0, 0, 0, c.fromYaw, c.fromPitch);
    world.cameras[0] = MakeCamera(0, 40, 0, c.toYaw, c.toPitch);
    Select(0, 10);
    CameraMotionUpdate(world);
    const Camera& k = world.currentCamera;
    ASSERT_TRUE(Finite(k));
    // t = 0.25: the pitch blends, the yaw is that of the end that has one.
    const float pitch = (0.75f * c.fromPitch + 0.25f * c.toPitch) * kPi / 180;
    EXPECT_NEAR(k.direction[2], std::sin(pitch), 1e-4f);
    const bool fromVertical = std::fabs(c.fromPitch) == 90;
    const float yaw = (fromVertical ? c.toYaw : c.fromYaw) * kPi / 180;
    if (std::fabs(pitch) < 1.5f) {
      EXPECT_NEAR(std::atan2(k.direction[1], k.direction[0]), yaw, 1e-3f);
    }
  }
}

TEST_F(CameraMotion, ExamineMovesAlongTheRadiusKeepingItsBearing) {
  world.cameraCount = 2;
  world.examineCount = 2;
  world.examines[1] = {{10, 20, 30}, 40, 0.7f, -0.2f, 30};
  const float bearing[3] = {0.48f, 0.6f, 0.64f};  // unit length
  world.currentCamera = MakeCamera(10 + 100 * bearing[0], 20 + 100 * bearing[1],
                                   30 + 100 * bearing[2], -90);
  world.currentCamera.roll = 0.6f;
  world.currentCamera.focalAngle = 90;
  Select(3, 20);

  // By hand: the radius falls by the step, 100 -> 80 -> 60, then arrives at 40.
  const float radii[] = {80, 60};
  float roll = 0.6f, focal = 90;
  for (int frame = 0; frame < 2; ++frame) {
    const float d = radii[frame] + 20, t = 20 / (d - 40), u = 1 - t;
    const Camera before = world.currentCamera;
    CameraMotionUpdate(world);
    const Camera& k = world.currentCamera;
    const ExamineRecord& o = world.orbitState;
    EXPECT_NEAR(o.radius, radii[frame], 1e-3f);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(k.position[i], o.position[i] + radii[frame] * bearing[i], 1e-3f);
    }
    EXPECT_NEAR(o.yaw, std::atan2(0.6f, 0.48f), 1e-4f);
    EXPECT_NEAR(o.pitch, std::asin(0.64f), 1e-4f);
    // The view turns from the camera's direction towards the centre.
    const float yawK = std::atan2(before.direction[1], before.direction[0]);
    const float yawL = std::atan2(-0.6f, -0.48f);
    const float pitch = u * std::asin(before.direction[2]) + t * std::asin(-0.64f);
    const float yaw = u * yawK + t * yawL;
    ExpectVector(k.direction, std::cos(pitch) * std::cos(yaw), std::cos(pitch) * std::sin(yaw),
                 std::sin(pitch));
    roll *= u, focal = u * focal + t * 30;
    EXPECT_NEAR(k.roll, roll, 1e-5f);
    EXPECT_NEAR(k.focalAngle, focal, 1e-3f);
    EXPECT_EQ(o.focalAngle, k.fovy);
    EXPECT_EQ(world.transitionTarget, 3);
  }
  CameraMotionUpdate(world);
  const Camera& k = world.currentCamera;
  ExpectVector(k.position, 10 + 40 * bearing[0], 20 + 40 * bearing[1], 30 + 40 * bearing[2],
               1e-3f);
  ExpectVector(k.direction, -bearing[0], -bearing[1], -bearing[2]);
  EXPECT_EQ(k.focalAngle, 30);
  EXPECT_EQ(world.transitionTarget, -1);
  EXPECT_EQ(world.transitionStep, 0);
}

TEST_F(CameraMotion, ExamineInstantStepAtOnceAndAtTheCentre) {
  world.examineCount = 1;
  world.examines[0] = {{1, 2, 3}, 10, kPi / 2, 0, 25};
  // Instant: the orbit takes the whole record and the target stays selected.
  world.currentCamera = MakeCamera(50, 0, 0, 0);
  Select(0, 0.0001f);
  CameraMotionUpdate(world);
  ExpectVector(world.currentCamera.position, 1, 12, 3);
  ExpectVector(world.currentCamera.direction, 0, -1, 0);
  EXPECT_EQ(world.orbitState.yaw, kPi / 2);
  EXPECT_EQ(world.transitionTarget, 0);
  // A radius equal to the distance arrives at once; the orbit keeps its last bearing.
  world.orbitState.yaw = 0, world.orbitState.pitch = 0;
  world.currentCamera = MakeCamera(1, 2, 13, 0);
  Select(0, 50);
  CameraMotionUpdate(world);
  ExpectVector(world.currentCamera.position, 11, 2, 3);
  EXPECT_EQ(world.transitionTarget, -1);
  // A camera at the centre keeps the orbit's bearing and stays finite; straight above it
  // likewise keeps the orbit's yaw.
  world.orbitState.yaw = 0.5f, world.orbitState.pitch = 0.2f;
  world.currentCamera = MakeCamera(1, 2, 3, 0, 90);
  Select(0, 3);
  CameraMotionUpdate(world);
  ASSERT_TRUE(Finite(world.currentCamera));
  ExpectVector(world.currentCamera.position, 1 + 3 * std::cos(0.2f) * std::cos(0.5f),
               2 + 3 * std::cos(0.2f) * std::sin(0.5f), 3 + 3 * std::sin(0.2f));
  world.currentCamera = MakeCamera(1, 2, 8, 0, 90);
  Select(0, 1);
  CameraMotionUpdate(world);
  ASSERT_TRUE(Finite(world.currentCamera));
  EXPECT_EQ(world.orbitState.yaw, 0.5f);
  EXPECT_NEAR(world.orbitState.pitch, kPi / 2, 1e-3f);
}

}  // namespace
}  // namespace veskor
