#include "gfx/camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gfx/ortho_camera.h"
#include "gfx/view_volume.h"

namespace veskor {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// The SSE reciprocal square root is good to about 4 parts in 10000, and a direction it
// normalised carries that error out to the far plane.
float Tolerance(float want) { return std::max(2e-3f, 5e-4f * std::fabs(want)); }

void ExpectVector(const float* v, float x, float y, float z, const char* what) {
  EXPECT_NEAR(v[0], x, Tolerance(x)) << what;
  EXPECT_NEAR(v[1], y, Tolerance(y)) << what;
  EXPECT_NEAR(v[2], z, Tolerance(z)) << what;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST(Camera, FrameStepsGiveHorizontalRightAndUpAxes) {
  const struct {
    float d[3];
    float right[3];
    float up[3];
  } cases[] = {
      {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
      {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
      {{0, -0.000001f, -1}, {-1, 0, 0}, {0, -1, 0}},
      {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},
      {{-3, -4, 0}, {-0.8f, 0.6f, 0}, {0, 0, 1}},
      {{2, 2, 0}, {0.70710678f, -0.70710678f, 0}, {0, 0, 1}},
  };
  for (const auto& c : cases) {
    Camera camera;
    CameraSetDirection(camera, c.d[0], c.d[1], c.d[2]);
    const float length = std::sqrt(c.d[0] * c.d[0] + c.d[1] * c.d[1] + c.d[2] * c.d[2]);
    ExpectVector(camera.direction, c.d[0] / length, c.d[1] / length, c.d[2] / length, "direction");
    ExpectVector(camera.right, c.right[0], c.right[1], c.right[2], "right");
    ExpectVector(camera.up, c.up[0], c.up[1], c.up[2], "up");
    ExpectVector(camera.rolledUp, c.up[0], c.up[1], c.up[2], "no roll");

    OrthoCamera ortho;  // the same rule
    ortho.direction[0] = c.d[0], ortho.direction[1] = c.d[1], ortho.direction[2] = c.d[2];
    OrthoCameraFrameSteps(ortho);
    ExpectVector(ortho.right, c.right[0], c.right[1], c.right[2], "ortho right");
    ExpectVector(ortho.up, c.up[0], c.up[1], c.up[2], "ortho up");
  }
}

TEST(Camera, DefaultsAndRoll) {
  Camera camera;
  EXPECT_EQ(camera.mode, kCameraLookAt);
  ExpectVector(camera.position, 0, -4, 0, "position");
  ExpectVector(camera.right, 1, 0, 0, "right");
  ExpectVector(camera.up, 0, 0, 1, "up");
  EXPECT_EQ(camera.depth, 1000);
  EXPECT_EQ(camera.focalAngle, 80);
  EXPECT_EQ(camera.wholeWindow, 1u);

  camera.roll = kPi / 2;
  CameraApplyRoll(camera);
  ExpectVector(camera.rolledRight, 0, 0, -1, "rolled right is -up");
  ExpectVector(camera.rolledUp, 1, 0, 0, "rolled up is right");
}

TEST(Camera, ZeroDirectionOrLookAtThePositionKeepsTheDirection) {
  Camera camera;
  CameraSetDirection(camera, 1, 0, 0);
  camera.mode = 2;
  CameraSetLookAt(camera, 0, -4, 0);  // the position itself
  EXPECT_EQ(camera.mode, 2);          // a look-at keeps a cube-face mode
  ExpectVector(camera.direction, 1, 0, 0, "look-at at the eye");
  CameraSetDirection(camera, 0, 0, 0);
  EXPECT_EQ(camera.mode, kCameraLookAt);  // a direction always returns to look-at mode
  ExpectVector(camera.direction, 1, 0, 0, "zero direction");
  CameraSetDirection(camera, INFINITY, 0, 0);
  ExpectVector(camera.direction, 1, 0, 0, "infinite direction");

  camera.direction[0] = camera.direction[1] = camera.direction[2] = 0;  // written directly
  CameraFrameSteps(camera);
  ExpectVector(camera.direction, 0, 1, 0, "the default direction");
  ExpectVector(camera.rolledUp, 0, 0, 1, "up");

  CameraSetLookAt(camera, 0, -4, -7);
  ExpectVector(camera.direction, 0, 0, -1, "a real target");
}

TEST(Camera, EqualWithinHalfAThousandth) {
  const Camera base;
  Camera near = base;
  for (float* v : {near.position, near.direction}) {
    for (int i = 0; i < 3; ++i) v[i] += 0.0004f;
  }
  near.focalAngle += 0.0004f, near.roll += 0.0004f, near.depth += 0.0004f;
  near.aspect = 3, near.windowX1 = 0.5f, near.guardPixels = 9;
  EXPECT_TRUE(CameraEquals(base, near));

  using Field = float& (*)(Camera&);
  const Field fields[] = {
      [](Camera& c) -> float& { return c.position[0]; },
      [](Camera& c) -> float& { return c.position[2]; },
      [](Camera& c) -> float& { return c.direction[0]; },
      [](Camera& c) -> float& { return c.direction[2]; },
      [](Camera& c) -> float& { return c.focalAngle; },
      [](Camera& c) -> float& { return c.roll; },
      [](Camera& c) -> float& { return c.depth; },
  };
  for (const Field field : fields) {
    Camera far = base;
    float& v = field(far);
    v += v == 0 ? 0.0005f : 0.001f;  // exactly 0.0005 where the float holds it exactly
    EXPECT_FALSE(CameraEquals(base, far)) << &field - fields;
  }
  Camera unknown = base;
  unknown.direction[2] = NAN;
  EXPECT_FALSE(CameraEquals(base, unknown));
}

TEST(Camera, GuardBandWidensTheFieldOfView) {
  Camera camera;
  camera.focalAngle = 90;
  camera.cachedHeight = 600;
  CameraGuardBand(camera);
  EXPECT_EQ(camera.fovy, 90);
  EXPECT_EQ(camera.guardOffset[1], 0);
  EXPECT_EQ(camera.guardSpan[0], 1);

  camera.guardPixels = 50;
  CameraGuardBand(camera);
  EXPECT_NEAR(camera.fovy, 2 * std::atan(300.0 / 250.0) * 180 / std::numbers::pi, 1e-3);
  EXPECT_NEAR(camera.guardOffset[0], 50.0f / 600, 1e-6);
  EXPECT_NEAR(camera.guardSpan[1], 1 - 100.0f / 600, 1e-6);

  for (int g : {299, 300, 1000}) {  // half the height and more: still a real projection
    camera.guardPixels = g;
    CameraGuardBand(camera);
    EXPECT_LT(camera.fovy, 180) << g;
    EXPECT_GT(camera.fovy, 179) << g;
    EXPECT_GT(camera.guardSpan[0], 0) << g;
  }
}

TEST(Camera, ViewVolumeCornersAndBox) {
  Camera camera;  // at (0, -4, 0) along +y, 80 degrees, aspect 1
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);
  const float t = std::tan(40 * kPi / 180);
  ExpectVector(camera.corners[0], -t, -3, -t, "left-bottom");
  ExpectVector(camera.corners[3], t, -3, t, "right-top");
  const float n = std::sqrt(1 + 2 * t * t);
  ExpectVector(camera.cornerRays[1], -t / n, 1 / n, t / n, "left-top ray");
  ExpectVector(camera.farCorners[2], 986 * t, 982, -986 * t, "right-bottom at depth - 14");
  ExpectVector(camera.farCentre, 0, 996, 0, "far centre");
  const float box[6] = {-1000 * t, 1000 * t, -4, 996, -1000 * t, 1000 * t};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(camera.viewBox[i], box[i], Tolerance(box[i])) << i;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(camera.clipMatrix[i], kIdentity[i]) << i;

  // A narrowed image covers its part of the view only.
  camera.imageBounds[0] = 0;
  camera.imageBounds[2] = 0.5f;
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);
  ExpectVector(camera.corners[0], 0, -3, 0.5f * t, "narrowed left-bottom");
}

TEST(Camera, SkyQuadrilateralLiesAboveTheHorizon) {
  Camera camera;
  const float t = std::tan(40 * kPi / 180);
  const float h = t * std::sqrt(2.0f);
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);  // level view
  EXPECT_EQ(camera.skyVisible, 1u);
  const float y = 0.005f / 0.995f;  // just above the centre line
  ExpectVector(camera.skyPoints[0], -970 * h, -4 + 970, 970 * y, "horizon-left");
  ExpectVector(camera.skyPoints[3], 970 * h, -4 + 970, 970 * h, "top-right");
  const float n = std::sqrt(1 + 2 * h * h);
  ExpectVector(camera.skyRays[1], -h / n, 1 / n, h / n, "top-left ray");

  // The quadrilateral is fixed in the world: rolling the view leaves it where it was.
  Camera rolled = camera;
  rolled.roll = kPi / 2;
  CameraApplyRoll(rolled);
  CameraFrustumFromMatrices(rolled, kIdentity, kIdentity);
  EXPECT_EQ(rolled.skyVisible, 1u);
  for (int i = 0; i < 4; ++i) {
    const float* p = camera.skyPoints[i];
    ExpectVector(rolled.skyPoints[i], p[0], p[1], p[2], "rolled");
  }

  const struct {
    float d[3];
    std::uint32_t visible;
  } views[] = {{{0, 0, -1}, 0}, {{0, 0.01f, -1}, 0}, {{0, 1, -2}, 0}, {{0, 1, -1}, 1},
               {{0, 0, 1}, 1}};
  for (const auto& v : views) {
    Camera c;
    CameraSetDirection(c, v.d[0], v.d[1], v.d[2]);
    CameraFrustumFromMatrices(c, kIdentity, kIdentity);
    EXPECT_EQ(c.skyVisible, v.visible) << v.d[1] << " " << v.d[2];
  }
  Camera up;  // straight up: the whole square is sky
  CameraSetDirection(up, 0, 0, 1);
  CameraFrustumFromMatrices(up, kIdentity, kIdentity);
  ExpectVector(up.skyPoints[0], -970 * h, -4 + 970 * h, 970, "up horizon-left");
  // The capture faces take the half extent of the image, not of its diagonal.
  up.captureFace = 1;
  CameraFrustumFromMatrices(up, kIdentity, kIdentity);
  ExpectVector(up.skyPoints[3], 970 * t, -4 - 970 * t, 970, "capture face top-right");
}

TEST(OrthoCamera, AttachTakesTheWindowSize) {
  ViewPlane plane{nullptr, 1024, 768, 0};
  OrthoCamera camera;
  FullScreenMode = 1;
  OrthoCameraAttach(camera, &plane);
  EXPECT_EQ(camera.owner, &plane);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  FullScreenMode = 0;
  ClientWidth = 800, ClientHeight = 600;
  camera.windowX1 = 0.5f;
  OrthoCameraAttach(camera, &plane);
  EXPECT_EQ(camera.ownerWidth, 800u);
  EXPECT_FLOAT_EQ(camera.aspect, 2.0f / 3);
  FullScreenMode = 1, ClientWidth = 600, ClientHeight = 400;
}

}  // namespace
}  // namespace veskor
