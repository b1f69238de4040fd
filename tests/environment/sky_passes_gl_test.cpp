// The sky passes drawn on Mesa, read back and compared with the blends and plane points the
// test computes from the camera: the dome by destination alpha in the window and in an
// off-screen buffer, the cloud layer's perspective-correct coordinates and drift turn, and the
// GL state every pass leaves. CI runs it with the compatibility layer on and off.
#include "environment/sky_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "environment/environment_state.h"
#include "environment/sky_model.h"
#include "environment_gl_base.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "platform/gl_compat/gl_compat.h"
#include "platform/offscreen.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

constexpr int kSize = test::kGlTestWindowSize;
constexpr float kFrame[3] = {0.2f, 0.4f, 0.6f};

class SkyPassesGlTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    glEnable(GL_DEPTH_TEST);  // as the scene draw keeps it
  }
  void TearDown() override {
    glDisable(GL_DEPTH_TEST);
    GlTest::TearDown();
  }
};

void UseList(std::initializer_list<std::uint32_t> codes) {
  gSkyPassList.count = 0;
  for (std::uint32_t code : codes) gSkyPassList.entries[gSkyPassList.count++] = {code, 0};
}

Camera LookFrom(const float* eye, const float* direction) {
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, eye[0], eye[1], eye[2]);
  CameraSetDirection(camera, direction[0], direction[1], direction[2]);
  return camera;
}

void DrawPasses(Camera& camera) {
  CameraApply(camera);
  for (std::uint32_t i = 0; i < gSkyPassList.count; ++i) DrawSkyLayer(camera, i);
  CameraRestore(camera);
}

void ClearFrame(float alpha) {
  glClearColor(kFrame[0], kFrame[1], kFrame[2], alpha);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<std::uint8_t> ReadFrame() {
  std::vector<std::uint8_t> rgba(kSize * kSize * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}

TEST_F(SkyPassesGlTest, PassListOfThisBoard) {
  BuildSkyPassList(kSkyFlagDome | kSkyFlag2 | kSkyFlagCloudLayer);
  std::vector<std::uint32_t> codes;
  for (std::uint32_t i = 0; i < gSkyPassList.count; ++i)
    codes.push_back(gSkyPassList.entries[i].code);
  const bool layer = GlCompatEnabled();
  const std::vector<std::uint32_t> expected =
      layer ? std::vector<std::uint32_t>{1, 6, 5} : std::vector<std::uint32_t>{1, 6, 3, 4};
  EXPECT_EQ(codes, expected);
  // The low-cloud stage runs only with texture shaders: with the layer on.
  EXPECT_EQ(HasExtension(kExtTextureShader) != 0, layer);
}

TEST_F(SkyPassesGlTest, DomeShowsItsFaceWhereTheFrameAlphaLeavesRoom) {
  const float faces[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
  const float look[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  TextureCubeResize(gSkyModel.cube, 3, 2);
  for (int f = 0; f < 6; ++f) {
    auto* t = static_cast<float*>(gSkyModel.cube.faces[f].data);
    for (int i = 0; i < 16; ++i) std::copy(faces[f], faces[f] + 3, t + 3 * i);
  }
  UseList({kSkyPassDome});
  const float eye[3] = {5, -7, 30};
  OffscreenBuffer* buffer = OffscreenCreate(kSize, kSize);
  ASSERT_NE(buffer, nullptr);
  for (const bool offscreen : {false, true}) {
    if (offscreen) OffscreenMakeCurrent(buffer);
    for (const int alpha : {0, 1, 128, 254, 255}) {
      for (int f = 0; f < 6; ++f) {
        ClearFrame(alpha / 255.0f);
        Camera camera = LookFrom(eye, look[f]);
        DrawPasses(camera);
        std::uint8_t p[4];
        if (offscreen) {
          OffscreenReadColor(buffer, kSize / 2, kSize / 2, 1, 1, p);
        } else {
          const test::Rgba pixel = test::ReadPixel(kSize / 2, kSize / 2);
          p[0] = pixel.r, p[1] = pixel.g, p[2] = pixel.b;
        }
        const double a = alpha / 255.0;
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(p[c], 255 * (faces[f][c] * (1 - a) + kFrame[c] * a), 1.5)
              << "face " << f << " alpha " << alpha << " channel " << c << " offscreen "
              << offscreen;
      }
    }
  }
  OffscreenRestoreWindow();
  glViewport(0, 0, kSize, kSize);
  OffscreenDestroy(buffer);
}

// Which pixels the dome shades. The frame is made inconsistent on purpose, alpha 0 under a
// depth nearer than the far plane in its left and middle thirds, so that a pixel left alone
// keeps the frame's colour where a shaded one takes the sky's; the middle third is marked in
// the stencil buffer (over a water count of 1 that the dome must keep).
TEST_F(SkyPassesGlTest, DomeShadesTheFarPlaneAndTheMarkedPixelsWhileTheDrawnAreOpaque) {
  const float sky[3] = {1.0f, 0.5f, 0.0f};
  TextureCubeResize(gSkyModel.cube, 3, 1);
  for (TexturePixels& face : gSkyModel.cube.faces)
    for (int i = 0; i < 4; ++i) std::copy(sky, sky + 3, static_cast<float*>(face.data) + 3 * i);
  UseList({kSkyPassDome});
  const float eye[3] = {0, 0, 0}, look[3] = {0, 1, 0.2f};
  const int third = kSize / 3;
  struct Case {
    std::uint32_t opaque, marked;
    bool left, middle;  // shaded
    std::uint32_t board;
  } cases[] = {{1, 1, false, true, 0xFF}, {1, 0, false, false, 0xFF}, {0, 1, true, true, 0xFF},
               {0, 0, true, true, 0xFF},
               // No polygon offset on Radeon boards: the quad lies on the far plane itself.
               {1, 1, false, true, 0x44}};
  const std::uint32_t board = BoardClass;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "opaque " << c.opaque << " marked " << c.marked
                                    << " board " << c.board);
    BoardClass = c.board;
    ClearFrame(0.0f);
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    // Depth 0.5 over the left two thirds, the middle one marked; the colours untouched.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthFunc(GL_ALWAYS);
    glEnable(GL_STENCIL_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    const float x1 = -1 + 2.0f * third / kSize, x2 = -1 + 4.0f * third / kSize;
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glRectf(-1, -1, x1, 1);
    glStencilFunc(GL_ALWAYS, kSkyThroughStencilBit | 1, 0xFF);
    glRectf(x1, -1, x2, 1);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LESS);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    SkyDrawnOpaque = c.opaque;
    SkyThroughMarked = c.marked;
    Camera camera = LookFrom(eye, look);
    DrawPasses(camera);
    EXPECT_EQ(SkyThroughMarked, 0u);
    EXPECT_EQ(glIsEnabled(GL_STENCIL_TEST), GL_FALSE);
    GLint writeMask = 0, depthFunction = 0;
    glGetIntegerv(GL_STENCIL_WRITEMASK, &writeMask);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(writeMask & 0xFF, 0xFF);
    EXPECT_EQ(depthFunction, GL_LESS);
    const std::vector<std::uint8_t> frame = ReadFrame();
    std::vector<std::uint8_t> stencil(kSize * kSize);
    glReadPixels(0, 0, kSize, kSize, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    int wrong = 0, wrongStencil = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const int part = x < third ? 0 : x < 2 * third ? 1 : 2;
        const bool shaded = part == 2 || (part == 0 ? c.left : c.middle);
        const std::uint8_t* p = &frame[(y * kSize + x) * 4];
        for (int k = 0; k < 3; ++k)
          wrong += std::abs(p[k] - 255 * (shaded ? sky[k] : kFrame[k])) > 1.5;
        if (part == 1)  // the mark cleared where its pixel was shaded, the count kept
          wrongStencil += stencil[y * kSize + x] != (shaded && c.marked ? 1 : 0x81);
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(wrongStencil, 0);
  }
  BoardClass = board;
  SkyDrawnOpaque = 0;
}

// The coverage texture: 8 x 8 texels of distinct colours and alphas, nearest and repeating; the
// cloud cube one colour with alpha 0.3.
constexpr float kCube[4] = {0.9f, 0.8f, 0.7f, 0.3f};
void CoverageTexel(int i, int j, float* out) {
  out[0] = (i + 1) / 9.0f;
  out[1] = (j + 1) / 9.0f;
  out[2] = 0.5f;
  out[3] = 0.1f + 0.1f * ((i + 2 * j) % 4);
}

void SetUpCloudLayer(const float* offset) {
  EnvironmentState& s = gEnvironmentState;
  TextureCubeResize(s.cloudCube, 4, 1);
  for (TexturePixels& face : s.cloudCube.faces)
    for (int i = 0; i < 4; ++i) std::copy(kCube, kCube + 4, static_cast<float*>(face.data) + 4 * i);
  FloatTexture2DRealloc(s.highCloudTexture, 4, 3, 3);
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i)
      CoverageTexel(i, j, static_cast<float*>(s.highCloudTexture.pixels.data) + 4 * (8 * j + i));
  Texture2DSetFilter(s.highCloudTexture, kFilterNearest);
  Texture2DSetWrap(s.highCloudTexture, kWrapRepeatS | kWrapRepeatT);
  s.highAltitude = 1000.0f;
  s.highScale[0] = s.highScale[1] = 1.0f / 4000;
  s.highOffset[0] = offset[0];
  s.highOffset[1] = offset[1];
}

TEST_F(SkyPassesGlTest, CloudLayerShowsTheTexelOfEachPixelsPlanePoint) {
  struct Case {
    float offset[2];
    double degrees;  // the turn of the plane coordinates
  };
  const Case cases[] = {{{0, 0}, 0},
                        {{0.0003f, 0.0003f}, 0},
                        {{0.0004999f, 0}, 0},
                        {{0.0005001f, 0}, 90},
                        {{0.0004f, 0.0004f}, 135},
                        {{0.0004f, -0.0004f}, 135},
                        {{-0.0004f, 0.0004f}, 225},
                        {{500, 0}, 90},
                        {{0, -800}, 180}};
  const float eye[3] = {120, -340, 0}, look[3] = {0.3f, 1.0f, 1.3f};
  for (const std::uint32_t code : {kSkyPassCloudLayer, kSkyPassCloudFourUnits}) {
    UseList({code});
    for (const Case& c : cases) {
      SetUpCloudLayer(c.offset);
      ClearFrame(0.0f);
      Camera camera = LookFrom(eye, look);
      DrawPasses(camera);
      ASSERT_EQ(camera.skyVisible, 1u);
      const std::vector<std::uint8_t> frame = ReadFrame();
      const double th = c.degrees * M_PI / 180, cs = std::cos(th), sn = std::sin(th);
      int compared = 0;
      for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
          // The ray through the pixel's centre, from the view rectangle at unit distance.
          const double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
          double ray[3];
          for (int a = 0; a < 3; ++a)
            ray[a] = camera.corners[0][a] + u * (camera.corners[2][a] - camera.corners[0][a]) +
                     v * (camera.corners[1][a] - camera.corners[0][a]) - eye[a];
          const double t = (1000.0 - eye[2]) / ray[2];
          const double s0 = (eye[0] + t * ray[0] - c.offset[0]) / 4000;
          const double w0 = (eye[1] + t * ray[1] - c.offset[1]) / 4000;
          const double s = (cs * s0 - sn * w0) * 8, w = (sn * s0 + cs * w0) * 8;
          const double fs = s - std::floor(s), fw = w - std::floor(w);
          if (fs < 0.2 || fs > 0.8 || fw < 0.2 || fw > 0.8) continue;  // near a texel edge
          float texel[4];
          CoverageTexel(static_cast<int>(std::floor(s)) & 7, static_cast<int>(std::floor(w)) & 7,
                        texel);
          const double alpha = std::min(1.0, double{texel[3]} + kCube[3]);
          const std::uint8_t* p = &frame[(y * kSize + x) * 4];
          for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(p[k], 255 * (kCube[k] * texel[k] * (1 - alpha) + kFrame[k] * alpha), 3)
                << "code " << code << " offset " << c.offset[0] << " " << c.offset[1] << " pixel "
                << x << " " << y;
          ++compared;
        }
      EXPECT_GT(compared, kSize * kSize / 4);
    }
  }
}

// What the passes may change, and what they must leave.
struct GlState {
  GLboolean depthTest, blend, offset, normalize, depthMask;
  GLboolean texture2D[4], cube[4];
  GLint blendSrc, blendDst, activeTexture, matrixMode;
  GLfloat colour[4], textureMatrix[2][16];
  bool operator==(const GlState&) const = default;
};

GlState ReadState() {
  GlState s{};
  s.depthTest = glIsEnabled(GL_DEPTH_TEST);
  s.blend = glIsEnabled(GL_BLEND);
  s.offset = glIsEnabled(GL_POLYGON_OFFSET_FILL);
  s.normalize = glIsEnabled(GL_NORMALIZE);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
  glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
  glGetIntegerv(GL_BLEND_DST, &s.blendDst);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
  glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
  glGetFloatv(GL_CURRENT_COLOR, s.colour);
  for (int u = 0; u < 4; ++u) {
    glActiveTextureARB(GL_TEXTURE0 + u);
    s.texture2D[u] = glIsEnabled(GL_TEXTURE_2D);
    s.cube[u] = glIsEnabled(GL_TEXTURE_CUBE_MAP);
    if (u < 2) glGetFloatv(GL_TEXTURE_MATRIX, s.textureMatrix[u]);
  }
  glActiveTextureARB(static_cast<GLenum>(s.activeTexture));
  return s;
}

TEST_F(SkyPassesGlTest, PassesOfNothingTouchNoState) {
  const float still[2] = {0, 0}, eye[3] = {0, 0, 0}, look[3] = {0, 1, 1};
  SetUpCloudLayer(still);
  Camera camera = LookFrom(eye, look);
  CameraApply(camera);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glActiveTextureARB(GL_TEXTURE3);
  glEnable(GL_TEXTURE_CUBE_MAP);
  glActiveTextureARB(GL_TEXTURE1);
  glEnable(GL_TEXTURE_2D);
  const GlState before = ReadState();
  for (const std::uint32_t code : {kSkyPassFlag4, kSkyPassCloudCompanion, kSkyPassFlag2}) {
    UseList({code});
    DrawSkyLayer(camera, 0);
    EXPECT_TRUE(ReadState() == before) << "code " << code;
  }
  DrawSkyLayer(camera, 1);  // beyond the count
  EXPECT_TRUE(ReadState() == before);
  glPopAttrib();
  CameraRestore(camera);
}

TEST_F(SkyPassesGlTest, DrawingPassesLeaveTheSceneState) {
  const float zero[2] = {0, 0}, drift[2] = {300, 400};
  const float below[3] = {0, 0, 0}, above[3] = {0, 0, 2000}, up[3] = {0.2f, 1, 1.3f};
  const float down[3] = {0, 0.0001f, -1};
  struct Case {
    std::uint32_t code;
    const float *eye, *look, *offset;
    bool draws;
  };
  const Case cases[] = {{kSkyPassDome, below, up, zero, true},
                        {kSkyPassCloudLayer, below, up, drift, true},
                        {kSkyPassCloudFourUnits, below, up, drift, true},
                        {kSkyPassCloudLayer, below, down, zero, false},  // no sky in view
                        {kSkyPassCloudFourUnits, below, down, zero, false},
                        {kSkyPassCloudLayer, above, up, zero, false},  // above the layer
                        {kSkyPassCloudFourUnits, above, up, zero, false}};
  TextureCubeResize(gSkyModel.cube, 3, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " eye z " << c.eye[2]);
    SetUpCloudLayer(c.offset);
    UseList({c.code});
    ClearFrame(0.0f);
    const std::vector<std::uint8_t> cleared = ReadFrame();
    // Targets left on by earlier passes that the cloud passes switch off; the dome starts
    // without the depth test, which it switches on again.
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE3}) {
      glActiveTextureARB(unit);
      if (c.code != kSkyPassDome) glEnable(GL_TEXTURE_2D);
    }
    glActiveTextureARB(GL_TEXTURE1);  // the four-unit pass also clears units 0 and 1
    if (c.code == kSkyPassCloudFourUnits) glEnable(GL_TEXTURE_CUBE_MAP);
    glActiveTextureARB(GL_TEXTURE0);
    if (c.code == kSkyPassDome) glDisable(GL_DEPTH_TEST);
    Camera camera = LookFrom(c.eye, c.look);
    CameraApply(camera);
    DrawSkyLayer(camera, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const GlState s = ReadState();
    CameraRestore(camera);
    EXPECT_TRUE(s.depthTest && s.depthMask);
    EXPECT_FALSE(s.blend || s.offset || s.normalize);
    for (int u = 0; u < 4; ++u) EXPECT_FALSE(s.texture2D[u] || s.cube[u]) << "unit " << u;
    EXPECT_EQ(s.matrixMode, GL_MODELVIEW);
    for (const auto& m : s.textureMatrix)
      for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_EQ(ReadFrame() != cleared, c.draws);
  }
}

}  // namespace
}  // namespace veskor
