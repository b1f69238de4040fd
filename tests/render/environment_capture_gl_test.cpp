// The environment capture on Mesa: the face size from the detail level, the window and the
// plane-size switch; the pixel rectangle; six walls of different colours around the centre,
// each texel of each face against a ray cast here through the face table's axes; the GL state
// after the faces; the texture-memory totals over capture, upload and release cycles.
#include "render/environment_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_memory.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

class EnvironmentCaptureGl : public test::GlTest {
 protected:
  ViewPlane plane{nullptr, 64, 64, 0};
  LodBoxList list{};
  Camera camera;
  TextureCube cube;

  void SetUp() override {
    GlTest::SetUp();
    if (gKernelTable.MapClamp01 == nullptr) InitKernelTable();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    FullScreenMode = 1;
    PlaneSizeSwitch = 1;
    glViewport(0, 0, 64, 64);
  }
  void TearDown() override {
    TextureCubeRelease(cube);
    PlaneSizeSwitch = 1;
    glViewport(0, 0, 64, 64);
    GlTest::TearDown();
  }

  // One box of value `value` around the origin; the item box (-1..1)^3 has r = sqrt(3).
  LodRange Range(float value, std::uint32_t minLevel = 0, std::uint32_t maxLevel = 12) {
    list.count = 1;
    BoxQuerySet(list.records[0], -100, -100, -100, 100, 100, 100, value);
    return LodRange{&list, 1.0f, minLevel, maxLevel, 1.0f};
  }
  void Capture(const LodRange& range) {
    CameraInit(camera, &plane);
    CaptureEnvironment(camera, range, cube, -1, -1, -1, 1, 1, 1);
  }
};

// The level that record value v asks of the item box: log2 of v r (r = sqrt(3)) rounded as
// the level rule rounds: up when 0.85 v r lies above the power of two below it.
float ValueForLevel(int level) { return std::ldexp(1.0f, level) / std::sqrt(3.0f); }

TEST_F(EnvironmentCaptureGl, FaceSizeFollowsLevelWindowAndSwitch) {
  // Worked by hand from the rule: s = level - 2, lowered while 2^s > W - 4, 2^s > H - 4 or s > 9.
  struct Case {
    int level, w, h;
    std::uint32_t sw;
    std::uint32_t s;
  } cases[] = {
      {2, 64, 64, 1, 0},     {3, 64, 64, 1, 1},     {7, 64, 64, 1, 5},
      {8, 64, 64, 1, 5},     {7, 36, 64, 1, 5},     {7, 35, 64, 1, 4},
      {7, 64, 35, 1, 4},     {12, 1000, 300, 1, 8}, {11, 516, 516, 1, 9},
      {11, 515, 516, 1, 8},  {11, 516, 515, 1, 8},  {12, 2000, 2000, 1, 9},
      {12, 2000, 2000, 0, 8}, {9, 5, 5, 1, 0},      {9, 4, 64, 1, 0},
      {9, 64, 1, 1, 0},      {9, 6, 6, 1, 1},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.level) + " " + std::to_string(c.w) + "x" +
                             std::to_string(c.h) + " switch " + std::to_string(c.sw);
    PlaneSizeSwitch = c.sw;
    plane.fullScreenWidth = static_cast<std::uint32_t>(c.w);
    plane.fullScreenHeight = static_cast<std::uint32_t>(c.h);
    glViewport(0, 0, c.w, c.h);
    Capture(Range(ValueForLevel(c.level)));
    EXPECT_EQ(EnvironmentCaptureLog2, c.s) << what;
    const std::int32_t n = 1 << c.s;
    for (const TexturePixels& face : cube.faces) {
      EXPECT_EQ(face.log2Width, c.s) << what;
      EXPECT_EQ(face.channels, 3u) << what;
    }
    EXPECT_EQ(camera.pixelRect[0], 4);
    EXPECT_EQ(camera.pixelRect[1], 4);
    EXPECT_EQ(camera.pixelRect[2], n) << what;
    EXPECT_EQ(camera.pixelRect[3], n) << what;
    EXPECT_EQ(camera.aspect, 1.0f);
    EXPECT_EQ(camera.captureFace, 1u);
    const float W = c.sw != 0 ? static_cast<float>(c.w) : 600, H = c.sw != 0 ? static_cast<float>(c.h) : 400;
    EXPECT_FLOAT_EQ(camera.windowX0, 4 / (W - 1)) << what;
    EXPECT_FLOAT_EQ(camera.windowX1, static_cast<float>(n + 3) / (W - 1)) << what;
    EXPECT_FLOAT_EQ(camera.windowY1, static_cast<float>(n + 3) / (H - 1)) << what;
    EXPECT_EQ(camera.wholeWindow, 0u) << what;
    EXPECT_EQ(camera.depth, 4096.0f);
    EXPECT_EQ(camera.fovy, 90.0f);
    EXPECT_EQ(camera.position[0], 0.0f);
    EndEnvironmentCapture(camera);
    EXPECT_EQ(camera.captureFace, 0u);
  }
}

TEST_F(EnvironmentCaptureGl, EmptyBoxListTakesTheMinimumLevel) {
  // Record 0 of the empty list would ask for level 12; the minimum level 5 gives 8 texels.
  LodRange range = Range(ValueForLevel(12), 5, 12);
  list.count = 0;
  Capture(range);
  EXPECT_EQ(EnvironmentCaptureLog2, 3u);
  list.count = 1;  // the same record counted: the window's limit, 32 texels
  Capture(range);
  EXPECT_EQ(EnvironmentCaptureLog2, 5u);
}

TEST_F(EnvironmentCaptureGl, PixelRectCoversTheWindowOnlyWhenAsLargeAsIt) {
  struct Case {
    int x0, y0, x1, y1;
    std::uint32_t whole;
  } cases[] = {{0, 0, 63, 63, 1}, {0, 0, 62, 63, 0}, {0, 0, 63, 62, 0}, {-1, -1, 64, 64, 1}};
  CameraInit(camera, &plane);
  for (const Case& c : cases) {
    CameraSetPixelRect(camera, c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(camera.wholeWindow, c.whole) << c.x1 << " " << c.y1;
    EXPECT_FLOAT_EQ(camera.aspect, static_cast<float>(c.x1 - c.x0 + 1) / (c.y1 - c.y0 + 1));
  }
  // A camera of no plane takes the viewport's size.
  CameraInit(camera, nullptr);
  glViewport(0, 0, 40, 30);
  CameraSetPixelRect(camera, 0, 0, 39, 29);
  EXPECT_EQ(camera.wholeWindow, 1u);
  EXPECT_EQ(camera.cachedWidth, 40);
}

// The walls: x = -10 red, x = 3 green, y = -10 blue, y = 10 yellow, z = -10 magenta, z = 2
// cyan, around the capture centre at the origin.
struct Wall {
  int axis;
  float at;
  float colour[3];
};
constexpr Wall kWalls[6] = {{0, -10, {1, 0, 0}}, {0, 3, {0, 1, 0}},  {1, -10, {0, 0, 1}},
                            {1, 10, {1, 1, 0}},  {2, -10, {1, 0, 1}}, {2, 2, {0, 1, 1}}};

void DrawWalls() {
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glBegin(GL_QUADS);
  for (const Wall& w : kWalls) {
    glColor3fv(w.colour);
    const float corners[4][2] = {{-50, -50}, {50, -50}, {50, 50}, {-50, 50}};
    for (const auto& c : corners) {
      float p[3];
      p[w.axis] = w.at;
      p[(w.axis + 1) % 3] = c[0];
      p[(w.axis + 2) % 3] = c[1];
      glVertex3fv(p);
    }
  }
  glEnd();
  glDisable(GL_DEPTH_TEST);
}

// The wall a ray from the origin meets first, and how far from the nearest other wall's
// plane the hit lies (small near the corners, where texel centres may fall either way).
const Wall* CastRay(const double* d, double& margin) {
  const Wall* hit = nullptr;
  double best = 1e30;
  for (const Wall& w : kWalls) {
    if (d[w.axis] == 0 || (w.at > 0) != (d[w.axis] > 0)) continue;
    const double t = w.at / d[w.axis];
    if (t < best) best = t, hit = &w;
  }
  margin = 1e30;
  for (const Wall& w : kWalls) {
    if (&w == hit || d[w.axis] == 0 || (w.at > 0) != (d[w.axis] > 0)) continue;
    margin = std::min(margin, std::fabs(w.at / d[w.axis] - best) / best);
  }
  return hit;
}

TEST_F(EnvironmentCaptureGl, EachFaceReadsBackItsWallsInTheTablesOrientation) {
  Capture(Range(ValueForLevel(7)));
  ASSERT_EQ(EnvironmentCaptureLog2, 5u);
  const int n = 32;
  GLint projectionDepth = 0, modelviewDepth = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
  // Up vectors worked by hand: the face's direction and the first wall seen above its centre.
  const double up[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {1, 0, 0}, {-1, 0, 0}, {1, 0, 0}};
  const double dir[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  for (std::uint32_t f = 0; f < 6; ++f) {
    BeginEnvironmentFace(camera, f);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[0], 4);
    EXPECT_EQ(v[2], n);
    // The culling planes face outwards: a point ahead is inside all four, one far to the
    // screen's right (direction x up) outside the right one only.
    const double* Dn = dir[f];
    const double* Un = up[f];
    const double Rn[3] = {Dn[1] * Un[2] - Dn[2] * Un[1], Dn[2] * Un[0] - Dn[0] * Un[2],
                          Dn[0] * Un[1] - Dn[1] * Un[0]};
    auto side = [&](const float* normal, double ahead, double right) {
      double s = 0;
      for (int a = 0; a < 3; ++a) s += normal[a] * (ahead * Dn[a] + right * Rn[a]);
      return s;
    };
    for (const float* sidePlane : {camera.planeLeft, camera.planeRight, camera.planeTop,
                                   camera.planeBottom})
      EXPECT_LT(side(sidePlane, 5, 0.5), 0) << "face " << f;
    EXPECT_GT(side(camera.planeRight, 5, 20), 0) << "face " << f;
    EXPECT_LT(side(camera.planeLeft, 5, 20), 0) << "face " << f;
    DrawWalls();
    ReadEnvironmentFace(camera, cube, f);
    EndEnvironmentFace(camera);
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 64) << "viewport back after face " << f;

    // Screen right is direction x up; texel (i, j), row j from the bottom.
    const double* D = dir[f];
    const double* U = up[f];
    const double R[3] = {D[1] * U[2] - D[2] * U[1], D[2] * U[0] - D[0] * U[2],
                         D[0] * U[1] - D[1] * U[0]};
    const float* texels = static_cast<const float*>(cube.faces[f].data);
    int checked = 0, wrong = 0;
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        const double u = (2.0 * i + 1) / n - 1, w = (2.0 * j + 1) / n - 1;
        double ray[3];
        for (int a = 0; a < 3; ++a) ray[a] = D[a] + u * R[a] + w * U[a];
        double margin;
        const Wall* wall = CastRay(ray, margin);
        if (margin < 0.08) continue;
        ++checked;
        const float* t = texels + 3 * (j * n + i);
        for (int c = 0; c < 3; ++c) {
          EXPECT_GE(t[c], 0.0f);
          EXPECT_LE(t[c], 1.0f);
          if (std::fabs(t[c] - wall->colour[c]) > 0.01f) ++wrong;
        }
      }
    }
    EXPECT_GT(checked, n * n / 2) << "face " << f;
    EXPECT_EQ(wrong, 0) << "face " << f;
  }
  GLint depth = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, projectionDepth);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, modelviewDepth);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EndEnvironmentCapture(camera);
}

TEST_F(EnvironmentCaptureGl, TextureMemoryComesBackOverCaptureAndReleaseCycles) {
  TextureMemoryReset();
  const TextureMemoryCounters start = TextureMemory;
  std::uint32_t bytes32 = 0;
  for (int level : {7, 5, 7, 2}) {
    Capture(Range(ValueForLevel(level)));
    // Before the upload only what is still up counts: nothing of this cube.
    EXPECT_EQ(TextureMemory.texels, start.texels) << level;
    EXPECT_EQ(TextureMemory.bytes, start.bytes) << level;
    TextureCubeSetFilter(cube, kFilterTrilinear);
    TextureCubeBind(cube, 2, 0);
    const std::uint32_t n = 1u << EnvironmentCaptureLog2;
    EXPECT_EQ(TextureMemory.texels, start.texels + 6 * n * n) << level;
    if (level == 7) {
      if (bytes32 == 0) bytes32 = TextureMemory.bytes - start.bytes;
      EXPECT_EQ(TextureMemory.bytes - start.bytes, bytes32);
    }
    EndEnvironmentCapture(camera);
  }
  TextureCubeRelease(cube);
  EXPECT_EQ(TextureMemory.texels, start.texels);
  EXPECT_EQ(TextureMemory.bytes, start.bytes);
}

}  // namespace
}  // namespace veskor
