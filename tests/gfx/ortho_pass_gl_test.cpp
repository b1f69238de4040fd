// The sun-shadow pass: framing along the sun, the image size, the pbuffer switch, the depth
// read-back of a known scene and the shade it leaves, in the pbuffer or, without it, in the
// window.
#include "gfx/ortho_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/session_log.h"
#include "gfx_gl_test.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

using namespace test;
const float kRoot3 = std::sqrt(3.0f);
const float kRoot2 = std::sqrt(2.0f);
// The float rounding of the framing, and of the expectations written here to 5 digits.
constexpr double kRound = 1e-5;
// The SSE kernels normalise with the processor's reciprocal square-root estimate: the pass's
// direction and right axis are unit within kUnitLengthError, its up axis (their cross product)
// within twice that.
constexpr double kAxis = kUnitLengthError, kUpAxis = 2 * kUnitLengthError;

// Leaves the state the passes set as the other tests expect it.
void ResetPassState() {
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
}

// What a pass may change of the state that the scene is drawn with.
std::string PassState() {
  GLint viewport[4], cullMode, depthFunc, matrixMode, framebuffer;
  GLboolean depthMask;
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_CULL_FACE_MODE, &cullMode);
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  std::ostringstream s;
  s << "cull " << int(glIsEnabled(GL_CULL_FACE)) << " " << cullMode << " depth "
    << int(glIsEnabled(GL_DEPTH_TEST)) << " " << depthFunc << " " << int(depthMask)
    << " scissor " << int(glIsEnabled(GL_SCISSOR_TEST)) << " viewport " << viewport[0] << " "
    << viewport[1] << " " << viewport[2] << " " << viewport[3] << " matrix " << matrixMode
    << " framebuffer " << framebuffer;
  return s.str();
}

// Column-major m times (p, 1).
std::vector<float> Apply(const float* m, const float* p) {
  std::vector<float> out(4);
  for (int i = 0; i < 4; ++i) out[i] = m[i] * p[0] + m[i + 4] * p[1] + m[i + 8] * p[2] + m[i + 12];
  return out;
}

LodRange FixedLevel(const LodBoxList& empty, std::uint32_t level) {
  return LodRange{&empty, 1, level, level, 1};
}

TEST_F(GfxGlTest, SunShadowPassFramesTheItem) {
  const LodBoxList empty{};
  Pbuffer pbuffer;
  ASSERT_EQ(PbufferCreate(pbuffer, nullptr, 128, 100), 1u);
  const float scene[6] = {-10, -10, -5, 10, 10, 5};
  const float big[6] = {-20000, -20000, -20000, 20000, 20000, 20000};
  const float d = 4 + kRoot3;  // case 2's back-off: the z face (4 away) is nearer than the x (11)
  struct Case {
    float sun[3];
    float item[6];
    const float* scene;
    std::uint32_t level;
    float position[3], depth, viewHeight, up[3];
    std::uint32_t width, height;
  } cases[] = {
      // clang-format off
      {{0, 0, -1}, {-1, -1, 0, 1, 1, 2}, scene, 2, {0, 0, 5 + kRoot3}, 4 + 2 * kRoot3, 2,
       {0, 1, 0}, 32, 32},
      {{1, 0, -1}, {0, 0, 0, 2, 2, 2}, scene, 3, {1 - d / kRoot2, 1, 1 + d / kRoot2},
       4 + 2 * kRoot3, 2 * kRoot2, {1 / kRoot2, 0, 1 / kRoot2}, 64, 64},
      // Along x within 0.0005 of zero the x face is not used; just beyond it, it is (t = 0).
      {{-0.0004f, 0, -1}, {9, -1, 0, 11, 1, 2}, scene, 4,
       {10 + 0.0004f * (4 + kRoot3), 0, 5 + kRoot3}, 4 + 2 * kRoot3, 2.0008f, {-1, 0, 0.0004f},
       128, 100},
      {{-0.0006f, 0, -1}, {9, -1, 0, 11, 1, 2}, scene, 4,
       {10 + 0.0006f * kRoot3, 0, 1 + kRoot3}, 2 * kRoot3, 2.0012f, {-1, 0, 0.0006f}, 128, 100},
      // An item at the scene's face towards the sun: no back-off, the far plane at least 1
      // beyond the near plane.
      {{0, 0, -1}, {-0.1f, -0.1f, 4.9f, 0.1f, 0.1f, 5.1f}, scene, 0, {0, 0, 5 + 0.1f * kRoot3}, 2,
       0.2f, {0, 1, 0}, 8, 8},
      {{0, 0, -1}, {-1, -1, 0, 1, 1, 2}, big, 1, {0, 0, 20000 + kRoot3}, 12000, 2, {0, 1, 0},
       16, 16},
      // clang-format on
  };
  glViewport(3, 4, 50, 40);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    OrthoPass pass;
    const LodRange range = FixedLevel(empty, c.level);
    ASSERT_EQ(PbufferMakeCurrent(pbuffer), 1u);
    // The depth clear covers the image's rectangle only, and within a scissor box that was on
    // (every other case) only their overlap; the scissor state stays.
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    const bool scissor = c.level % 2 == 1;
    const Ints box = scissor ? Ints{5, 6, 1000, 20} : Ints{0, 0, 128, 100};
    glScissor(box[0], box[1], box[2], box[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
    BeginOrthoPass(pass, range, c.sun, c.item, c.scene);
    EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST), scissor ? GL_TRUE : GL_FALSE);
    Ints after(4);
    glGetIntegerv(GL_SCISSOR_BOX, after.data());
    EXPECT_EQ(after, box);
    glDisable(GL_SCISSOR_TEST);
    std::vector<float> depth(128 * 100);
    glReadPixels(0, 0, 128, 100, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    int wrong = 0;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 128; ++x) {
        bool cleared = x < static_cast<int>(c.width) && y < static_cast<int>(c.height);
        if (scissor) cleared = cleared && x >= 5 && y >= 6 && y < 26;
        wrong += std::fabs(depth[y * 128 + x] - (cleared ? 1.0f : 0.25f)) > 1e-6f;
      }
    EXPECT_EQ(wrong, 0);
    // The position backs off from the item's centre along the direction, whose length error
    // scales the back-off; the view height spans the box across the right and up axes.
    const float q[3] = {(c.item[0] + c.item[3]) / 2, (c.item[1] + c.item[4]) / 2,
                        (c.item[2] + c.item[5]) / 2};
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(pass.position[i], c.position[i],
                  kAxis * std::fabs(c.position[i] - q[i]) +
                      kRound * (1 + std::fabs(c.position[i])));
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(pass.up[i], c.up[i], kUpAxis * std::fabs(c.up[i]) + kRound);
    EXPECT_NEAR(pass.depth, c.depth, kRound * c.depth);
    EXPECT_NEAR(pass.viewHeight, c.viewHeight, (kUpAxis + kRound) * c.viewHeight);
    EXPECT_EQ(pass.passWidth, c.width);
    EXPECT_EQ(pass.passHeight, c.height);
    EXPECT_EQ(Viewport(), (Ints{0, 0, static_cast<GLint>(c.width), static_cast<GLint>(c.height)}));
    EXPECT_FLOAT_EQ(pass.aspect, 1.28f);  // the pbuffer's
    EXPECT_FLOAT_EQ(pass.polygonOffset, 393216.0f);
    // The clip matrix takes the item's centre to the middle, the near corners to the corners
    // of the near face and the far point to the far face. The corners lie off the camera's
    // own unit axes by their lengths' errors; the near and far points lie 1 and depth along
    // the direction, off by its length's error, which the depth range 1 to depth stretches
    // by 2 / (depth - 1).
    const std::vector<float> centre = Apply(pass.clipMatrix, q);
    EXPECT_NEAR(centre[0], 0, kRound);
    EXPECT_NEAR(centre[1], 0, kRound);
    const double stretch = 2 / (pass.depth - 1);
    for (int corner = 0; corner < 4; ++corner) {
      const std::vector<float> p = Apply(pass.clipMatrix, pass.nearCorners[corner]);
      EXPECT_NEAR(p[0], corner < 2 ? -1 : 1, kAxis + kRound);
      EXPECT_NEAR(p[1], corner % 2 == 0 ? -1 : 1, kUpAxis + kRound);
      EXPECT_NEAR(p[2], -1, stretch * kAxis + kRound);
      // Every side normal points away from the centre line.
      float out = 0;
      for (int i = 0; i < 3; ++i)
        out += pass.sideNormals[corner][i] * (pass.sideMidPoints[corner][i] - pass.nearPoint[i]);
      EXPECT_GT(out, 0);
    }
    EXPECT_NEAR(Apply(pass.clipMatrix, pass.farPoint)[2], 1,
                stretch * pass.depth * kAxis + kRound);
    EndOrthoPass(pass);
    PbufferRestoreWindow(pbuffer);
    EXPECT_EQ(GlInteger(GL_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(Viewport(), (Ints{3, 4, 50, 40}));
    EXPECT_EQ(GlInteger(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(GlInteger(GL_PROJECTION_STACK_DEPTH), 1);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
  }
  PbufferDestroy(pbuffer);
  ResetPassState();
}

// A floor at z = 0 under the item box (-1, -1, 0) - (1, 1, 2), its left part under a roof at
// z = 1.5 that ends at x = -0.25.
void FloorAndRoof(OrthoPass&, void*) {
  const float quads[2][3] = {{-1.5f, 1.5f, 0}, {-1.5f, -0.25f, 1.5f}};
  glBegin(GL_QUADS);
  for (const auto& q : quads) {
    glVertex3f(q[0], -1.5f, q[2]);
    glVertex3f(q[1], -1.5f, q[2]);
    glVertex3f(q[1], 1.5f, q[2]);
    glVertex3f(q[0], 1.5f, q[2]);
  }
  glEnd();
}

TEST_F(GfxGlTest, SunShadowPassShadesWhatLiesBehindTheRoof) {
  const LodBoxList empty{};
  const LodRange range = FixedLevel(empty, 3);  // 64 x 64
  const float sun[3] = {0, 0, -1};
  const float item[6] = {-1, -1, 0, 1, 1, 2};
  const float scene[6] = {-10, -10, -5, 10, 10, 5};
  Pbuffer pbuffer;
  ASSERT_EQ(PbufferCreate(pbuffer, nullptr, 64, 64), 1u);
  OrthoPass pass;
  // The pass leaves the state the scene is drawn with as it found it.
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  const std::string before = PassState();
  ASSERT_EQ(SunShadowPass(pbuffer, pass, range, sun, item, scene, FloorAndRoof, nullptr), 1u);
  EXPECT_EQ(PassState(), before);
  // Without its buffer the pass draws in the window's back buffer, to the same image.
  std::ostringstream log;
  SessionLogSetStream(&log);
  Pbuffer missing;
  EXPECT_EQ(PbufferCreate(missing, nullptr, 0, 64), 0u);
  SessionLogClose();
  EXPECT_EQ(log.str(),
            "Off-screen buffer 0 x 64 not available (size out of range): the read-back passes "
            "draw in the window\n");
  OrthoPass inWindow;
  EXPECT_EQ(SunShadowPass(missing, inWindow, range, sun, item, scene, FloorAndRoof, nullptr), 0u);
  // Orthographic depths are linear in the distance from the eye, 1 to depth.
  const float eye = 5 + kRoot3, far = 4 + 2 * kRoot3;
  const auto windowDepth = [&](float z) { return (eye - z - 1) / (far - 1); };
  // The eye backs off from the item's centre (z = 1) by a distance off by the direction's
  // length error.
  const double kFrame = (eye - 1) * kAxis / (far - 1) + kRound;
  for (const OrthoPass* p : {&pass, &inWindow}) {
    ASSERT_EQ(p->depthWidth, 64u);
    ASSERT_EQ(p->depthHeight, 64u);
    ASSERT_EQ(p->depthValid, 1u);
    for (int row : {0, 31, 63}) {
      const float* d = p->depthImage.data + row * 64;
      EXPECT_NEAR(d[5], windowDepth(1.5f), kFrame);   // x = -0.83
      EXPECT_NEAR(d[20], windowDepth(1.5f), kFrame);  // x = -0.36
      EXPECT_NEAR(d[26], windowDepth(0), kFrame);     // x = -0.17
      EXPECT_NEAR(d[63], windowDepth(0), kFrame);
    }
  }

  // The floor's 5 x 5 vertices at a height z: the bias 0.001 of the window depth (0.00646 in
  // z) keeps a surface just below the one seen lit.
  std::vector<float> xs(25), ys(25), zs(25);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 5; ++i) xs[j * 5 + i] = -1 + 0.5f * i, ys[j * 5 + i] = -1 + 0.5f * j;
  const auto grid = [](std::vector<float>& v) {
    VertexGrid g{};
    g.data = v.data();
    g.log2Width = g.log2Height = 2;
    return g;
  };
  const VertexGrid x = grid(xs), y = grid(ys);
  struct Case {
    float z;
    float shade[4];  // per column of cells: 0, 2, 4, 4 lit corners of 4
  } cases[] = {{0, {0.28f, 0.68f, 0.8f, 0.8f}},
               {-0.005f, {0.28f, 0.68f, 0.8f, 0.8f}},
               {-0.008f, {0.28f, 0.28f, 0.28f, 0.28f}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.z);
    std::fill(zs.begin(), zs.end(), c.z);
    const VertexGrid z = grid(zs);
    std::vector<float> values(16, 0.8f);
    Map shade{{}, values.data(), 2, 2};
    ASSERT_EQ(ProcessDepthReadback(pass, x, y, z, shade), 1u);
    for (int cell = 0; cell < 16; ++cell)
      EXPECT_NEAR(values[cell], c.shade[cell % 4], 1e-5f) << cell;
    Map wrong{{}, values.data(), 2, 1};  // not one value per cell
    EXPECT_EQ(ProcessDepthReadback(pass, x, y, z, wrong), 0u);
  }
  // A pass that read nothing back leaves the shade map alone.
  std::vector<float> values(16, 0.8f);
  Map shade{{}, values.data(), 2, 2};
  OrthoPass fresh;
  EXPECT_EQ(ProcessDepthReadback(fresh, x, x, x, shade), 0u);
  EXPECT_EQ(values, std::vector<float>(16, 0.8f));

  PbufferDestroy(pbuffer);
  ResetPassState();
}

}  // namespace
}  // namespace veskor
