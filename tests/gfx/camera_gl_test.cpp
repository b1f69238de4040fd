#include "gfx/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;

constexpr float kPi = std::numbers::pi_v<float>;

std::vector<GLint> Viewport() {
  std::vector<GLint> v(4);
  glGetIntegerv(GL_VIEWPORT, v.data());
  return v;
}

std::vector<float> Matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

// m (column-major) times (x, y, z, 1).
std::vector<float> Transform(const std::vector<float>& m, float x, float y, float z) {
  std::vector<float> out(4);
  for (int i = 0; i < 4; ++i) out[i] = m[i] * x + m[i + 4] * y + m[i + 8] * z + m[i + 12];
  return out;
}

void ExpectNear(const std::vector<float>& v, const std::vector<float>& want, float tolerance,
                const char* what) {
  ASSERT_EQ(v.size(), want.size());
  for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], want[i], tolerance) << what << i;
}

// A quad of the plane y = 10 (or z = 10) over x0..x1 and -100..100 on the third axis.
void DrawQuadAhead(float x0, float x1, bool horizontal = false) {
  glBegin(GL_QUADS);
  const float corners[4][2] = {{x0, -100}, {x1, -100}, {x1, 100}, {x0, 100}};
  for (const auto& c : corners) {
    horizontal ? glVertex3f(c[0], c[1], 10) : glVertex3f(c[0], 10, c[1]);
  }
  glEnd();
}

bool Lit(int x, int y) { return ReadPixel(x, y).r > 128; }

TEST_F(GfxGlTest, CameraViewportFractionsAndRestore) {
  glViewport(0, 0, 800, 600);
  ViewPlane plane{};
  Camera camera;
  CameraInit(camera, &plane);
  EXPECT_EQ(CameraTag(camera), &plane);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  EXPECT_EQ(std::vector<int>(camera.pixelRect, camera.pixelRect + 4),
            (std::vector<int>{0, 0, 800, 600}));

  CameraSetViewport(camera, 0, 0, 1, 1);
  EXPECT_EQ(camera.wholeWindow, 1u);
  glViewport(5, 6, 800, 600);  // the whole-window camera leaves the viewport alone
  CameraApply(camera);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{5, 6, 800, 600}));
  CameraRestore(camera);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{5, 6, 800, 600}));

  glViewport(0, 0, 800, 600);
  CameraSetViewport(camera, 0.25f, 0, 0.75f, 0.5f);
  EXPECT_EQ(camera.wholeWindow, 0u);
  EXPECT_FLOAT_EQ(camera.aspect, 4.0f / 3);
  EXPECT_EQ(std::vector<int>(camera.pixelRect, camera.pixelRect + 4),
            (std::vector<int>{200, 0, 400, 300}));
  CameraApply(camera);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{200, 0, 400, 300}));
  CameraRestore(camera);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 800, 600}));

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
  EXPECT_EQ(camera.pixelRect[0], 110);
  EXPECT_EQ(camera.pixelRect[2], 100);
  CameraSetViewport(camera, 0.50005f, 0, 1, 1);
  EXPECT_EQ(camera.pixelRect[0], 111);

  CameraSetFullViewport(camera);
  EXPECT_EQ(camera.wholeWindow, 1u);
  EXPECT_EQ(std::vector<int>(camera.pixelRect, camera.pixelRect + 4),
            (std::vector<int>{10, 20, 201, 100}));
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
}

TEST_F(GfxGlTest, CameraApplySetsPerspectiveAndLookAtAndRestoreUndoesThem) {
  glViewport(0, 0, 64, 32);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glScalef(2, 2, 2);
  const std::vector<float> marker = Matrix(GL_MODELVIEW_MATRIX);
  const GLint depths[2] = {GlInteger(GL_PROJECTION_STACK_DEPTH), GlInteger(GL_MODELVIEW_STACK_DEPTH)};

  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, 1, 2, 3);
  CameraSetDirection(camera, 3, 4, 0);
  camera.roll = 0.3f;
  CameraApplyRoll(camera);
  camera.focalAngle = 60;
  camera.depth = 500;
  CameraApply(camera);
  EXPECT_EQ(GlInteger(GL_PROJECTION_STACK_DEPTH), depths[0] + 1);
  EXPECT_EQ(GlInteger(GL_MODELVIEW_STACK_DEPTH), depths[1] + 1);

  const float f = 1 / std::tan(30 * kPi / 180);
  ExpectNear(Matrix(GL_PROJECTION_MATRIX),
             {f / 2, 0, 0, 0, 0, f, 0, 0, 0, 0, -501.0f / 499, -1, 0, 0, -1000.0f / 499, 0}, 1e-4f,
             "projection ");
  // The eye at the origin of eye space, looking down -z, with the rolled up vector up.
  const std::vector<float> modelview = Matrix(GL_MODELVIEW_MATRIX);
  const float* d = camera.direction;
  const float* u = camera.rolledUp;
  ExpectNear(Transform(modelview, 1, 2, 3), {0, 0, 0, 1}, 1e-4f, "eye ");
  ExpectNear(Transform(modelview, 1 + d[0], 2 + d[1], 3 + d[2]), {0, 0, -1, 1}, 1e-3f, "ahead ");
  ExpectNear(Transform(modelview, 1 + u[0], 2 + u[1], 3 + u[2]), {0, 1, 0, 1}, 1e-3f, "up ");
  // The clip matrix carries a point 5 ahead to the centre of the image at w = 5.
  const std::vector<float> clip(camera.clipMatrix, camera.clipMatrix + 16);
  const std::vector<float> p = Transform(clip, 1 + 5 * d[0], 2 + 5 * d[1], 3 + 5 * d[2]);
  EXPECT_NEAR(p[0], 0, 1e-3);
  EXPECT_NEAR(p[1], 0, 1e-3);
  EXPECT_NEAR(p[3], 5, 5e-3);

  CameraRestore(camera);
  EXPECT_EQ(GlInteger(GL_PROJECTION_STACK_DEPTH), depths[0]);
  EXPECT_EQ(GlInteger(GL_MODELVIEW_STACK_DEPTH), depths[1]);
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

  int inside = 0;
  int compared = 0;
  for (int i = 0; i < 4000; ++i) {
    // Points spread over a box around the eye, well beyond the view volume.
    const float x = 5 + std::fmod(i * 37.1f, 800) - 400;
    const float y = -3 + std::fmod(i * 91.7f, 800) - 400;
    const float z = 2 + std::fmod(i * 53.3f, 400) - 200;
    const float point[3] = {x, y, z};
    const float* planes[4] = {camera.planeLeft, camera.planeRight, camera.planeTop,
                              camera.planeBottom};
    bool inPlanes = true;
    for (const float* n : planes) {
      float v = 0;
      for (int a = 0; a < 3; ++a) v += (point[a] - camera.position[a]) * n[a];
      inPlanes = inPlanes && v <= 0;
    }
    float far = 0;
    for (int a = 0; a < 3; ++a) far += (point[a] - camera.farCentre[a]) * camera.farNormal[a];
    inPlanes = inPlanes && far <= 0;

    const std::vector<float> c =
        Transform(std::vector<float>(camera.clipMatrix, camera.clipMatrix + 16), x, y, z);
    const float w = c[3];
    if (w < 1.5f) continue;  // behind the eye or at the near plane: the planes do not bound it
    const float ex = std::fabs(c[0] / w), ey = std::fabs(c[1] / w), ez = c[2] / w;
    if (std::fabs(ex - 1) < 0.01f || std::fabs(ey - 1) < 0.01f || std::fabs(ez - 1) < 0.01f) {
      continue;  // too near a face to compare
    }
    const bool inClip = ex < 1 && ey < 1 && ez < 1;
    EXPECT_EQ(inPlanes, inClip) << x << " " << y << " " << z;
    ++compared;
    inside += inClip ? 1 : 0;
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
    float x0, x1;  // extent of the quad ahead
    bool horizontal;
    bool lit[4];  // pixels bottom-left, bottom-right, top-left, top-right
  } cases[] = {
      {{0.5f, 0, 1, 1}, kCameraLookAt, 0, 0, -100, 100, false, {false, true, false, true}},
      {{0, 0, 1, 1}, kCameraLookAt, 0, 0, 0, 100, false, {false, true, false, true}},
      {{0, 0, 1, 1}, kCameraLookAt, 0, kPi / 2, 0, 100, false, {false, false, true, true}},
      {{0, 0, 1, 1}, 3, 0, 0, -100, 100, false, {true, true, true, true}},
      {{0, 0, 1, 1}, 2, 0, 0, -100, 100, false, {false, false, false, false}},
      {{0, 0, 1, 1}, 4, 1, 0, -100, 100, true, {true, true, true, true}},
      {{0, 0, 1, 1}, 4, 0, 0, -100, 100, true, {false, false, false, false}},
      {{0, 0, 1, 1}, 5, 0, 0, -100, 100, true, {true, true, true, true}},
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
    DrawQuadAhead(c.x0, c.x1, c.horizontal);
    CameraRestore(camera);
    EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 64, 64}));
    const int at[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(Lit(at[i][0], at[i][1]), c.lit[i])
          << "mode " << c.mode << " variant " << c.variant << " roll " << c.roll << " pixel " << i;
    }
  }
  glColor3f(1, 1, 1);
}

}  // namespace
}  // namespace veskor
