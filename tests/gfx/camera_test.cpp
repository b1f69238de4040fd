#include "gfx/camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "gfx/ortho_camera.h"

namespace veskor {
namespace {

using V = std::array<float, 3>;
constexpr float kPi = std::numbers::pi_v<float>;
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const float kT = std::tan(40 * kPi / 180);  // half the default 80 degrees

// The SSE reciprocal square root is good to about 4 parts in 10000, and a direction it
// normalised carries that error out to the far plane.
void ExpectVector(const float* v, V want, const char* what) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(v[i], want[i], std::max(2e-3f, 5e-4f * std::fabs(want[i]))) << what << i;
  }
}

Camera Looking(V d) {
  Camera camera;
  CameraSetDirection(camera, d[0], d[1], d[2]);
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);
  return camera;
}

TEST(Camera, FrameStepsGiveHorizontalRightAndUpAxes) {
  const struct {
    V d, right, up;
  } cases[] = {
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},  // the default
      {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
      {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
      {{0, -0.000001f, -1}, {-1, 0, 0}, {0, -1, 0}},
      {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},
      {{-3, -4, 0}, {-0.8f, 0.6f, 0}, {0, 0, 1}},
      {{2, 2, 0}, {0.70710678f, -0.70710678f, 0}, {0, 0, 1}},
  };
  for (const auto& c : cases) {
    const Camera camera = Looking(c.d);
    const float n = std::hypot(c.d[0], c.d[1], c.d[2]);
    ExpectVector(camera.direction, {c.d[0] / n, c.d[1] / n, c.d[2] / n}, "direction");
    ExpectVector(camera.right, c.right, "right");
    ExpectVector(camera.rolledUp, c.up, "up");
    OrthoCamera ortho;  // the same rule
    std::copy(c.d.begin(), c.d.end(), ortho.direction);
    OrthoCameraFrameSteps(ortho);
    ExpectVector(ortho.right, c.right, "ortho right");
    ExpectVector(ortho.rolledUp, c.up, "ortho up");
  }
  Camera rolled;
  rolled.roll = kPi / 2;
  CameraApplyRoll(rolled);
  ExpectVector(rolled.rolledRight, {0, 0, -1}, "rolled right is -up");
  ExpectVector(rolled.rolledUp, {1, 0, 0}, "rolled up is right");
}

TEST(Camera, ZeroDirectionOrLookAtThePositionKeepsTheDirection) {
  Camera camera = Looking({1, 0, 0});
  camera.mode = 2;
  CameraSetLookAt(camera, 0, -4, 0);  // the position itself
  EXPECT_EQ(camera.mode, 2);          // a look-at keeps a cube-face mode
  CameraSetDirection(camera, 0, 0, 0);
  EXPECT_EQ(camera.mode, kCameraLookAt);  // a direction always returns to look-at mode
  for (float unusable : {INFINITY, 1e-20f}) {
    CameraSetDirection(camera, 0, 0, unusable);
    ExpectVector(camera.direction, {1, 0, 0}, "kept");
  }
  camera.direction[0] = 0;  // a zero written directly becomes the default direction
  CameraFrameSteps(camera);
  ExpectVector(camera.direction, {0, 1, 0}, "default");
  ExpectVector(camera.rolledUp, {0, 0, 1}, "default up");
  CameraSetLookAt(camera, 0, -4, -7);
  ExpectVector(camera.direction, {0, 0, -1}, "a real target");
  // A target however near or far gives its direction: the difference's squared length would
  // underflow or overflow a float, and the difference itself may lie beyond the float range.
  // (0, 1, -0.2) normalised is (0, 0.98058, -0.19612). A target not finite keeps the direction.
  const V along = {0, 0.98058f, -0.19612f};
  const struct {
    V position, target, direction;
  } targets[] = {
      {{0, 0, 0}, {0, 1e-30f, -2e-31f}, along},
      {{0, 0, 0}, {0, 1e30f, -2e29f}, along},
      {{0, -3e38f, 0}, {0, 3e38f, -1.2e38f}, along},
      {{0, 0, 0}, {0, 1e-38f, -2e-39f}, along},
      {{-3e38f, 0, 3e38f}, {3e38f, 0, -3e38f}, {0.70711f, 0, -0.70711f}},
      {{0, 0, 0}, {INFINITY, 1, 0}, {1, 0, 0}},
      {{0, 0, 0}, {1, NAN, 0}, {1, 0, 0}},
  };
  for (const auto& t : targets) {
    camera = Looking({1, 0, 0});
    CameraSetPosition(camera, t.position[0], t.position[1], t.position[2]);
    CameraSetLookAt(camera, t.target[0], t.target[1], t.target[2]);
    ExpectVector(camera.direction, t.direction, "a near or far target");
  }
}

TEST(Camera, EqualWithinHalfAThousandth) {
  const Camera base;
  Camera near = base;
  for (float* v : {near.position, near.direction})
    std::for_each(v, v + 3, [](float& f) { f += 0.0004f; });
  near.focalAngle += 0.0004f, near.roll += 0.0004f, near.depth += 0.0004f;
  near.aspect = 3, near.windowX1 = 0.5f, near.guardPixels = 9;
  EXPECT_TRUE(CameraEquals(base, near));
  // 0.0005 exactly where a float holds it (at 0), a little more elsewhere; and a NaN.
  const std::array<void (*)(Camera&), 8> changes = {
      [](Camera& c) { c.position[0] += 0.0005f; },  [](Camera& c) { c.position[2] += 0.0005f; },
      [](Camera& c) { c.direction[0] += 0.0005f; }, [](Camera& c) { c.direction[2] += 0.0005f; },
      [](Camera& c) { c.focalAngle += 0.001f; },    [](Camera& c) { c.roll += 0.0005f; },
      [](Camera& c) { c.depth += 0.001f; },         [](Camera& c) { c.direction[1] = NAN; }};
  for (std::size_t i = 0; i < changes.size(); ++i) {
    Camera far = base;
    changes[i](far);
    EXPECT_FALSE(CameraEquals(base, far)) << i;
  }
}

TEST(Camera, GuardBandWidensTheFieldOfView) {
  Camera camera;
  camera.focalAngle = 90;
  camera.cachedHeight = 600;
  CameraGuardBand(camera);
  EXPECT_EQ(camera.fovy, 90);
  EXPECT_EQ(camera.guardOffset[1] + camera.guardSpan[0], 1);
  camera.guardPixels = 50;
  CameraGuardBand(camera);
  EXPECT_NEAR(camera.fovy, 2 * std::atan(300.0 / 250.0) * 180 / std::numbers::pi, 1e-3);
  EXPECT_NEAR(camera.guardOffset[0], 50.0f / 600, 1e-6);
  EXPECT_NEAR(camera.guardSpan[1], 1 - 100.0f / 600, 1e-6);
  for (int g : {299, 300, 1000}) {  // half the height and more: still a real projection
    camera.guardPixels = g;
    CameraGuardBand(camera);
    EXPECT_TRUE(camera.fovy > 179 && camera.fovy < 180 && camera.guardSpan[0] > 0) << g;
  }
}

TEST(Camera, ViewVolumeCornersAndBox) {
  Camera camera = Looking({0, 1, 0});  // at (0, -4, 0), aspect 1
  ExpectVector(camera.corners[0], {-kT, -3, -kT}, "left-bottom");
  ExpectVector(camera.corners[3], {kT, -3, kT}, "right-top");
  const float n = std::sqrt(1 + 2 * kT * kT);
  ExpectVector(camera.cornerRays[1], {-kT / n, 1 / n, kT / n}, "left-top ray");
  ExpectVector(camera.farCorners[2], {986 * kT, 982, -986 * kT}, "right-bottom at depth - 14");
  ExpectVector(camera.farCentre, {0, 996, 0}, "far centre");
  ExpectVector(camera.viewBox, {-1000 * kT, 1000 * kT, -4}, "box x and y min");
  ExpectVector(camera.viewBox + 3, {996, -1000 * kT, 1000 * kT}, "box y max and z");
  EXPECT_TRUE(std::equal(kIdentity, kIdentity + 16, camera.clipMatrix));
  camera.imageBounds[0] = 0;  // a narrowed image covers its part of the view only
  camera.imageBounds[2] = 0.5f;
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);
  ExpectVector(camera.corners[0], {0, -3, 0.5f * kT}, "narrowed left-bottom");
}

TEST(Camera, SkyQuadrilateralLiesAboveTheHorizon) {
  const float h = kT * std::sqrt(2.0f);
  const Camera level = Looking({0, 1, 0});
  EXPECT_EQ(level.skyVisible, 1u);
  ExpectVector(level.skyPoints[0], {-970 * h, 966, 970 * 0.005f / 0.995f}, "horizon-left");
  ExpectVector(level.skyPoints[3], {970 * h, 966, 970 * h}, "top-right");
  const float n = std::sqrt(1 + 2 * h * h);
  ExpectVector(level.skyRays[1], {-h / n, 1 / n, h / n}, "top-left ray");
  // Fixed in the world: rolling the view leaves it where it was.
  Camera rolled = level;
  rolled.roll = kPi / 2;
  CameraApplyRoll(rolled);
  CameraFrustumFromMatrices(rolled, kIdentity, kIdentity);
  for (int i = 0; i < 4; ++i)
    ExpectVector(rolled.skyPoints[i],
                 {level.skyPoints[i][0], level.skyPoints[i][1], level.skyPoints[i][2]}, "rolled");

  const struct {
    V d;
    std::uint32_t visible;
  } views[] = {{{0, 0, -1}, 0}, {{0, 0.01f, -1}, 0}, {{0, 1, -2}, 0}, {{0, 1, -1}, 1}};
  for (const auto& v : views) EXPECT_EQ(Looking(v.d).skyVisible, v.visible) << v.d[2];
  Camera up = Looking({0, 0, 1});  // straight up: the whole square is sky
  EXPECT_EQ(up.skyVisible, 1u);
  ExpectVector(up.skyPoints[0], {-970 * h, -4 + 970 * h, 970}, "up horizon-left");
  up.captureFace = 1;  // the capture faces take the image's half extent, not its diagonal's
  CameraFrustumFromMatrices(up, kIdentity, kIdentity);
  ExpectVector(up.skyPoints[3], {970 * kT, -4 - 970 * kT, 970}, "capture face top-right");
}

TEST(OrthoCamera, AttachTakesTheWindowSize) {
  ViewPlane plane{nullptr, 1024, 768, 0};
  OrthoCamera camera;
  OrthoCameraAttach(camera, &plane);  // full screen
  EXPECT_EQ(camera.owner, &plane);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  FullScreenMode = 0, WindowedWidth = 800, WindowedHeight = 600;
  camera.windowX1 = 0.5f;
  OrthoCameraAttach(camera, &plane);
  EXPECT_FLOAT_EQ(camera.aspect, 2.0f / 3);
  FullScreenMode = 1, WindowedWidth = 600, WindowedHeight = 400;
}

}  // namespace
}  // namespace veskor
