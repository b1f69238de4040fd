#include "app/camera_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "foundation/frame_clock.h"

namespace veskor {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Camera LookingAlongY(float x, float y, float z) {
  Camera c;
  CameraSetPosition(c, x, y, z);
  CameraSetDirection(c, 0, 1, 0);
  return c;
}

void ExpectVector(const float* v, float x, float y, float z) {
  EXPECT_NEAR(v[0], x, 1e-4f);
  EXPECT_NEAR(v[1], y, 1e-4f);
  EXPECT_NEAR(v[2], z, 1e-4f);
}

TEST(CameraControl, MouseLookStepsScaleWithTheAverageFrameTime) {
  FrameClockStartAt(0);  // a fresh ring: 0.125 s a frame
  float yaw, pitch, roll;
  MouseLookSteps(0.2f, -0.4f, &yaw, &pitch, &roll);
  EXPECT_FLOAT_EQ(yaw, 250 * 0.125f * 0.2f);
  EXPECT_FLOAT_EQ(pitch, 125 * 0.125f * 0.4f);
  EXPECT_FLOAT_EQ(roll, 2500 * 0.125f * 0.2f);
}

TEST(CameraControl, DirectionAnglesGiveAzimuthAndElevation) {
  const struct {
    float d[3];
    float azimuth, elevation;
  } cases[] = {
      {{1, 0, 0}, 0, 0},          {{0, 1, 0}, kPi / 2, 0},
      {{0, -1, 0}, -kPi / 2, 0},  {{-1, 0, 0}, kPi, 0},
      {{0.6f, 0, 0.8f}, 0, std::asin(0.8f)},
      {{0, 0, 1}, 0, kPi / 2},    {{0, 0, -1}, 0, -kPi / 2},  // vertical: azimuth 0, no NaN
      {{0, 1e-6f, 1}, 0, kPi / 2},
  };
  for (const auto& c : cases) {
    float azimuth, elevation;
    DirectionAngles(c.d, &azimuth, &elevation);
    EXPECT_NEAR(azimuth, c.azimuth, 1e-5f) << c.d[0] << " " << c.d[1] << " " << c.d[2];
    EXPECT_NEAR(elevation, c.elevation, 1e-5f) << c.d[0] << " " << c.d[1] << " " << c.d[2];
  }
}

TEST(CameraControl, TurnsAndTiltsMoveTheViewDirection) {
  Camera c = LookingAlongY(0, 0, 0);
  TurnCamera(c, 90);  // a positive turn goes right: +x when looking along +y
  ExpectVector(c.direction, 1, 0, 0);
  TurnCamera(c, -30);
  ExpectVector(c.direction, std::cos(kPi / 6), std::sin(kPi / 6), 0);
  c = LookingAlongY(0, 0, 0);
  TiltCamera(c, 30);
  ExpectVector(c.direction, 0, std::cos(kPi / 6), 0.5f);
  TiltCamera(c, -60);
  ExpectVector(c.direction, 0, std::cos(kPi / 6), -0.5f);
}

TEST(CameraControl, TheRollReturnsToLevelInFiveDegreeSteps) {
  const float cases[][2] = {{12, 7}, {5, 0}, {4.9f, 0}, {0, 0}, {-4.9f, 0}, {-5, 0}, {-7, -2}};
  for (const auto& c : cases) EXPECT_EQ(RollReturn(c[0]), c[1]) << c[0];
  Camera cam = LookingAlongY(0, 0, 0);
  RollCamera(cam, 90);
  EXPECT_FLOAT_EQ(cam.roll, kPi / 2);
  ExpectVector(cam.rolledUp, 1, 0, 0);  // up rolled onto the right axis
}

TEST(CameraControl, TheOrbitKeepsItsDistanceWrapsTheAzimuthAndHoldsTheElevation) {
  const float target[3] = {1, 2, 3};
  const float limit = kPi / 2 - 0.05f;  // 1.5207964
  const float top = 10 * std::sin(limit), side = 10 * std::cos(limit);
  const struct {
    float from[3], yaw, pitch, to[3];
  } cases[] = {
      {{11, 2, 3}, 90, 0, {1, 12, 3}},
      {{11, 2, 3}, -90, 0, {1, -8, 3}},            // azimuth -pi/2 wrapped to 3 pi/2
      {{1, 12, 3}, 270, 0, {11, 2, 3}},            // pi/2 + 3 pi/2 wrapped to 0
      {{11, 2, 3}, 0, 100, {1 + side, 2, 3 + top}},  // held below straight up
      {{11, 2, 3}, 0, -100, {1 + side, 2, 3 - top}},
      {{1, 2, 13}, 90, 0, {1, 2 + side, 3 + top}},   // from straight above
      {{1, 2, 3}, 90, 45, {1, 2, 3}},                // on the target: stays
  };
  for (const auto& c : cases) {
    Camera cam = LookingAlongY(c.from[0], c.from[1], c.from[2]);
    OrbitStep(cam, target, c.yaw, c.pitch);
    SCOPED_TRACE(::testing::Message() << c.from[0] << " " << c.from[2] << " " << c.yaw);
    ExpectVector(cam.position, c.to[0], c.to[1], c.to[2]);
    for (float v : cam.direction) EXPECT_TRUE(std::isfinite(v));
    if (c.from[0] != 1 || c.from[2] != 3) {
      const float d[3] = {target[0] - c.to[0], target[1] - c.to[1], target[2] - c.to[2]};
      ExpectVector(cam.direction, d[0] / 10, d[1] / 10, d[2] / 10);  // looks at the target
    }
  }
}

}  // namespace
}  // namespace veskor
