#include "gfx/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx/view_volume.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;
Ints PixelRect(const Camera& c) { return Ints(c.pixelRect, c.pixelRect + 4); }

std::vector<float> Matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

// m (column-major) times (p + s d, 1).
std::vector<float> Transform(const float* m, const float* p, float s = 0,
                             const float* d = nullptr) {
  std::vector<float> out(4);
  for (int i = 0; i < 4; ++i) {
    out[i] = m[i + 12];
    for (int a = 0; a < 3; ++a) out[i] += m[i + 4 * a] * (p[a] + (d != nullptr ? s * d[a] : 0));
  }
  return out;
}

void ExpectNear(const std::vector<float>& v, const std::vector<float>& want, float tolerance) {
  for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], want[i], tolerance) << i;
}

TEST_F(GfxGlTest, CameraViewportFractionsAndRestore) {
  glViewport(0, 0, 800, 600);
  ViewPlane plane{};
  Camera camera;
  CameraInit(camera, &plane);
  EXPECT_EQ(CameraTag(camera), &plane);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  EXPECT_EQ(PixelRect(camera), (Ints{0, 0, 800, 600}));
  CameraSetViewport(camera, 0, 0, 1, 1);
  glViewport(5, 6, 800, 600);  // the whole-window camera leaves the viewport alone
  CameraApply(camera);
  EXPECT_EQ(Viewport(), (Ints{5, 6, 800, 600}));
  CameraRestore(camera);
  EXPECT_EQ(Viewport(), (Ints{5, 6, 800, 600}));

  glViewport(0, 0, 800, 600);
  CameraSetViewport(camera, 0.25f, 0, 0.75f, 0.5f);
  EXPECT_EQ(camera.wholeWindow, 0u);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  EXPECT_EQ(PixelRect(camera), (Ints{200, 0, 400, 300}));
  CameraApply(camera);
  EXPECT_EQ(Viewport(), (Ints{200, 0, 400, 300}));
  CameraRestore(camera);
  EXPECT_EQ(Viewport(), (Ints{0, 0, 800, 600}));
  // A new viewport size is noticed at the next application: the aspect follows the
  // fractions, the pixel rectangle stays.
  glViewport(0, 0, 400, 600);
  CameraApply(camera);
  CameraRestore(camera);
  EXPECT_FLOAT_EQ(camera.aspect, 2.0f / 3);
  EXPECT_EQ(camera.pixelRect[2], 400);

  // Pixels round half down, anything more up, from the viewport's corner.
  glViewport(10, 20, 201, 100);
  CameraSetViewport(camera, 0.5f, 0, 1, 1);
  EXPECT_EQ(PixelRect(camera), (Ints{110, 20, 100, 100}));
  CameraSetViewport(camera, 0.50005f, 0, 1, 1);
  EXPECT_EQ(camera.pixelRect[0], 111);
  CameraSetFullViewport(camera);
  EXPECT_EQ(camera.wholeWindow, 1u);
  EXPECT_EQ(PixelRect(camera), (Ints{10, 20, 201, 100}));
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
}

TEST_F(GfxGlTest, CameraApplySetsPerspectiveAndLookAtAndRestoreUndoesThem) {
  glViewport(0, 0, 64, 32);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glScalef(2, 2, 2);
  const std::vector<float> marker = Matrix(GL_MODELVIEW_MATRIX);
  const Ints depths = {GlInteger(GL_PROJECTION_STACK_DEPTH), GlInteger(GL_MODELVIEW_STACK_DEPTH)};
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, 1, 2, 3);
  CameraSetDirection(camera, 3, 4, 0);
  camera.roll = 0.3f;
  CameraApplyRoll(camera);
  camera.focalAngle = 60;
  camera.depth = 500;
  CameraApply(camera);
  EXPECT_EQ((Ints{GlInteger(GL_PROJECTION_STACK_DEPTH), GlInteger(GL_MODELVIEW_STACK_DEPTH)}),
            (Ints{depths[0] + 1, depths[1] + 1}));
  const float f = 1 / std::tan(std::numbers::pi_v<float> / 6);
  ExpectNear(Matrix(GL_PROJECTION_MATRIX),
             {f / 2, 0, 0, 0, 0, f, 0, 0, 0, 0, -501.0f / 499, -1, 0, 0, -1000.0f / 499, 0}, 1e-4f);
  // In eye space the eye is at the origin, looking down -z with the rolled up vector up.
  const std::vector<float> modelview = Matrix(GL_MODELVIEW_MATRIX);
  const float* p = camera.position;
  ExpectNear(Transform(modelview.data(), p), {0, 0, 0, 1}, 1e-4f);
  ExpectNear(Transform(modelview.data(), p, 1, camera.direction), {0, 0, -1, 1}, 1e-3f);
  ExpectNear(Transform(modelview.data(), p, 1, camera.rolledUp), {0, 1, 0, 1}, 1e-3f);
  // The clip matrix carries a point 5 ahead to the centre of the image at w = 5.
  ExpectNear(Transform(camera.clipMatrix, p, 5, camera.direction), {0, 0, 1505.0f / 499, 5}, 5e-3f);

  CameraRestore(camera);
  EXPECT_EQ((Ints{GlInteger(GL_PROJECTION_STACK_DEPTH), GlInteger(GL_MODELVIEW_STACK_DEPTH)}),
            depths);
  EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), marker);
  // On a viewport now 16 high (aspect 4), a guard band of 4 rows shows the focal angle in
  // the inner 8 rows.
  glViewport(0, 0, 64, 16);
  camera.guardPixels = 4;
  CameraApply(camera);
  EXPECT_NEAR(Matrix(GL_PROJECTION_MATRIX)[5], f / 2, 1e-4);
  EXPECT_NEAR(Matrix(GL_PROJECTION_MATRIX)[0], f / 8, 1e-4);
  CameraRestore(camera);
  glLoadIdentity();
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
}

TEST_F(GfxGlTest, CameraPlanesAgreeWithTheProjection) {
  glViewport(0, 0, 64, 64);
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetViewport(camera, 0, 0, 1, 0.5f);  // aspect 2
  CameraSetPosition(camera, 5, -3, 2);
  CameraSetDirection(camera, 1, -2, 0.5f);
  camera.roll = 0.4f;
  CameraApplyRoll(camera);
  camera.focalAngle = 50;
  camera.depth = 300;
  CameraApply(camera);
  CameraRestore(camera);
  int compared = 0, inside = 0;
  for (int i = 0; i < 4000; ++i) {  // points spread well beyond the view volume
    const float x[3] = {5 + std::fmod(i * 37.1f, 800.0f) - 400,
                        -3 + std::fmod(i * 91.7f, 800.0f) - 400,
                        2 + std::fmod(i * 53.3f, 400.0f) - 200};
    bool inPlanes = true;
    for (std::uint32_t plane = kFrustumLeft; plane <= kFrustumFar; ++plane) {
      inPlanes = inPlanes && PlaneRectTest(camera, kFaceX, static_cast<FrustumPlane>(plane), x[0],
                                           x[1], x[2], x[1], x[2]) != 0;
    }
    const std::vector<float> c = Transform(camera.clipMatrix, x);
    const float ex = std::fabs(c[0] / c[3]), ey = std::fabs(c[1] / c[3]), ez = c[2] / c[3];
    // Skip points behind the eye or at the near plane, which the planes do not bound, and
    // points too near a face to compare.
    if (c[3] < 1.5f || std::fabs(ex - 1) < 0.01f || std::fabs(ey - 1) < 0.01f ||
        std::fabs(ez - 1) < 0.01f) {
      continue;
    }
    const bool inClip = ex < 1 && ey < 1 && ez < 1;
    EXPECT_EQ(inPlanes, inClip) << x[0] << " " << x[1] << " " << x[2];
    ++compared, inside += inClip;
  }
  EXPECT_GT(compared, 500);
  EXPECT_GT(inside, 20);
}

TEST_F(GfxGlTest, CameraDrawsItsViewIntoItsPartOfTheWindow) {
  glViewport(0, 0, 64, 64);
  glDisable(GL_DEPTH_TEST);
  glColor3f(1, 0, 0);
  const struct {
    float window[4];  // x0, y0, x1, y1
    std::int32_t mode;
    std::uint32_t variant;
    float roll;
    float x0;         // the quad ahead spans x0..100 and -100..100
    bool horizontal;  // the quad lies in z = 10 rather than y = 10
    bool lit[4];      // pixels bottom-left, bottom-right, top-left, top-right
  } cases[] = {
      {{0.5f, 0, 1, 1}, kCameraLookAt, 0, 0, -100, false, {false, true, false, true}},
      {{0, 0, 1, 1}, kCameraLookAt, 0, 0, 0, false, {false, true, false, true}},
      {{0, 0, 1, 1}, kCameraLookAt, 0, std::numbers::pi_v<float> / 2, 0, false, {0, 0, 1, 1}},
      {{0, 0, 1, 1}, 3, 0, 0, -100, false, {true, true, true, true}},
      {{0, 0, 1, 1}, 2, 0, 0, -100, false, {false, false, false, false}},
      {{0, 0, 1, 1}, 4, 1, 0, -100, true, {true, true, true, true}},
      {{0, 0, 1, 1}, 4, 0, 0, -100, true, {false, false, false, false}},
      {{0, 0, 1, 1}, 5, 0, 0, -100, true, {true, true, true, true}},
  };
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    Camera camera;
    CameraInit(camera, nullptr);
    CameraSetViewport(camera, c.window[0], c.window[1], c.window[2], c.window[3]);
    CameraSetPosition(camera, 0, 0, 0);
    CameraSetDirection(camera, c.mode >= 0 ? 1 : 0, c.mode >= 0 ? 0 : 1, 0);
    camera.roll = c.roll;
    CameraApplyRoll(camera);
    camera.mode = c.mode;
    camera.faceVariant = c.variant;
    camera.focalAngle = 90;
    CameraApply(camera);
    glBegin(GL_QUADS);
    for (const auto& q :
         {std::pair{c.x0, -100.0f}, {100.0f, -100.0f}, {100.0f, 100.0f}, {c.x0, 100.0f}}) {
      c.horizontal ? glVertex3f(q.first, q.second, 10) : glVertex3f(q.first, 10, q.second);
    }
    glEnd();
    CameraRestore(camera);
    EXPECT_EQ(Viewport(), (Ints{0, 0, 64, 64}));
    const int at[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(ReadPixel(at[i][0], at[i][1]).r > 128, c.lit[i])
          << "mode " << c.mode << " variant " << c.variant << " roll " << c.roll << " pixel " << i;
    }
  }
  glColor3f(1, 1, 1);
}

}  // namespace
}  // namespace veskor
