// The puffs drawn by llvmpipe through the compatibility layer's texture shaders: one sphere puff
// with a constant shape cube, a constant light cube and the puff ramp, seen from +x in an
// orthographic view whose centre pixel lies on the slices' centre vertex. The pixel is checked
// against the published texture-shader equations with the slice matrices worked out here, over
// a known background; the line view, the counters and the GL state each draw leaves. Without
// texture shaders (the layer off) the scene draw draws no puffs, and these tests are skipped.
#include "environment/puff_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "environment/fog_curve.h"
#include "environment/puff_cube_upload.h"
#include "environment_gl_base.h"
#include "gfx/fog_floor.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "puff_layer.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::ReadPixel;

constexpr float kShape = 0.4f;                   // the shape cube's radial scale
constexpr float kLight[3] = {1.0f, 0.5f, 0.0f};  // the light cube's colour
constexpr float kBackground[3] = {0.0f, 0.25f, 1.0f};
constexpr double kUnder[3] = {0.0, 0.25, 1.0};  // the background as the blend reads it

// The puff ramp at texel (x, y), from its definition: alpha 0 up to s = e, 1 - cos over (e, 0.5),
// then 1; s = (x + 0.5) / 256, e = 0.5 - y / 128.
double RampTexel(int x, int y) {
  x = std::clamp(x, 0, 255), y = std::clamp(y, 0, 63);
  const double s = (x + 0.5) / 256, e = 0.5 - y / 128.0;
  if (s <= e) return 0;
  return s < 0.5 ? 1 - std::cos((s - e) / (0.5 - e) * M_PI / 2) : 1;
}

// The ramp's alpha looked up bilinearly at (u, v), clamped to its edge.
double Ramp(double u, double v) {
  const double x = u * 256 - 0.5, y = v * 64 - 0.5;
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  return (1 - fy) * ((1 - fx) * RampTexel(x0, y0) + fx * RampTexel(x0 + 1, y0)) +
         fy * ((1 - fx) * RampTexel(x0, y0 + 1) + fx * RampTexel(x0 + 1, y0 + 1));
}

// The alpha of slice `pos` at its centre vertex, whose normal is (0, 0, +-1) and whose second
// texture coordinate set starts with that z. Unit 0 fetches (HI, LO) = (shape, 1) (an unsigned
// HILO texel gives the vector (HI, LO, 1)). Unit 1's matrix maps (z, ., ., 1) to (-z, pos +
// 0.5, 0) on the far half and (z, 0.5 - pos, 0) on the near half; unit 2's to (0, -+0.6 (1 -
// 0.1) z, 0). The two dot products are the ramp coordinates.
double SliceRampAlpha(double pos) {
  const bool nearHalf = pos > 0;
  const double z = nearHalf ? 1 : -1, sign = nearHalf ? 1 : -1;
  const double hilo[3] = {kShape, 1, 1};
  const double unit1[3] = {sign * z, nearHalf ? 0.5 - pos : pos + 0.5, 0};
  const double unit2[3] = {0, sign * 0.6 * 0.9 * z, 0};
  const auto dot = [&](const double* a) {
    return a[0] * hilo[0] + a[1] * hilo[1] + a[2] * hilo[2];
  };
  return Ramp(dot(unit1), dot(unit2));
}

class PuffDrawingTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    if (HasExtension(kExtTextureShader) == 0) GTEST_SKIP() << "no texture shaders";
    GeometryBatchBufferStartSession(gGeometryBatchBuffer, &extensionWord);
    BuildPuffMeshes(gPuffMeshSet, gGeometryBatchBuffer);
    GeometryBatchBufferFinalize(gGeometryBatchBuffer);
    EnableVertexArrays(gGeometryBatchBuffer);

    savedFog = FogFloorHeight;
    FogFloorHeight = kFogFloorHeightDefault;  // below the puff
    const float origin[3] = {0, 0, 0};
    puff = &test::AddConstantPuff(state->cloudLow, origin, 1, 1, kShape, 4, 5.0f);
    puff->sunViewScale = 0.1f;
    for (TexturePixels& face : puff->cubes->lightCube.faces) {
      auto* t = static_cast<float*>(face.data);
      for (int i = 0; i < 16 * 16; ++i) std::copy(kLight, kLight + 3, t + 3 * i);
    }
    SetupPuffPasses(state->cloudLow);
    camera.position[0] = 10, camera.position[1] = camera.position[2] = 0;
    camera.direction[0] = -1, camera.direction[1] = camera.direction[2] = 0;
    camera.depth = 40;

    // Seen from +x with z up: window x is world y, window y is world z. The centre of pixel
    // (32, 32) is (0, 0).
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.015625, 0.984375, -1.015625, 0.984375, -20, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(10, 0, 0, 0, 0, 0, 0, 0, 1);
    glDisable(GL_DEPTH_TEST);
    glClearColor(kBackground[0], kBackground[1], kBackground[2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override {
    if (!IsSkipped()) {
      DisableVertexArrays(gGeometryBatchBuffer);
      EnvironmentResetCloudLow(*state, 0, kNoWind);
      FogFloorHeight = savedFog;
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glActiveTexture(GL_TEXTURE0);
      glClearColor(0, 0, 0, 0);
    }
    GlTest::TearDown();
  }
  // The centre pixel against the light colour blended over `under` with `alpha`.
  static void ExpectCentre(const double* under, double alpha, const char* what) {
    const test::Rgba p = ReadPixel(32, 32);
    const std::uint8_t got[3] = {p.r, p.g, p.b};
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got[c], 255 * (kLight[c] * alpha + under[c] * (1 - alpha)), 3.0)
          << what << " channel " << c;
  }
  // No texture-coordinate array left pointing into the batch buffer, client unit 0 selected.
  static void ExpectClientArraysOff() {
    GLint client = 0;
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &client);
    EXPECT_EQ(client, GL_TEXTURE0);
    for (int unit = 3; unit >= 0; --unit) {
      glClientActiveTexture(GL_TEXTURE0 + unit);
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << unit;
    }
  }
  // The GL state the blended draw leaves: units 0 to 3 without targets and with their texture
  // matrices popped, unit 3 active, the modelview selected, no blending, depth writes on.
  static void ExpectRestored() {
    GLint active = 0, mode = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(active, GL_TEXTURE3);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_SHADER_NV));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    for (int unit = 0; unit < 4; ++unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << unit;
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP)) << unit;
      GLint depth = 0;
      glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &depth);
      EXPECT_EQ(depth, 1) << unit;
      float m[16];
      glGetFloatv(GL_TEXTURE_MATRIX, m);
      for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << unit;
    }
  }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  CloudPuff* puff = nullptr;
  float savedFog = 0;
  Camera camera;
  static constexpr float kNoWind[2] = {0, 0};
};

TEST_F(PuffDrawingTest, FarAndNearSlicesFollowTheShaderEquations) {
  float depth, distance, extent;
  ASSERT_EQ(PuffVisibility(*puff, camera, &depth, &distance, &extent), 1u);
  EXPECT_FLOAT_EQ(puff->viewAngle, 90.0f);  // +z turned onto +x, towards the camera
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const struct {
    std::uint32_t slice;
    float fade;
  } cases[] = {{1, 1.0f}, {4, 1.0f}, {4, 0.5f}};  // pos -0.5 (far half), 0.5 (near half)
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPuffSlice(*puff, c.slice, c.fade);
    // Primary alpha 0.2 x fade x viewOpacity (5 x extent 1).
    const double alpha = SliceRampAlpha(gPuffMeshSet.slicePos[5][c.slice]) * c.fade;
    ASSERT_GT(alpha, 0.2);
    ASSERT_LT(alpha, 0.8);
    ExpectCentre(kUnder, alpha, c.slice == 1 ? "far half" : "near half");
  }
  glDisable(GL_BLEND);
  ExpectRestored();
}

TEST_F(PuffDrawingTest, AllSlicesBlendFarthestFirstWithTheirFade) {
  puff->opacityFactor = 2.5f;  // primary alpha 0.5 x fade
  const auto expectComposite = [&](const auto& fadeOf, const char* what) {
    double under[3] = {kUnder[0], kUnder[1], kUnder[2]};
    for (int j = 0; j < 6; ++j) {
      const double pos = gPuffMeshSet.slicePos[5][j];
      const double alpha = SliceRampAlpha(pos) * 0.5 * fadeOf(10.0 - pos);
      for (int c = 0; c < 3; ++c) under[c] = kLight[c] * alpha + under[c] * (1 - alpha);
    }
    ExpectCentre(under, 0, what);
  };
  state->puffStatA = state->puffStatB = 99;
  EXPECT_EQ(DrawCloudPuffs(*state, camera, 0), 6u);
  expectComposite([](double key) { return 1 - key / 40; }, "main view");
  ExpectClientArraysOff();
  ExpectRestored();
  std::uint32_t indices = 0, floats = 0;
  for (int j = 0; j < 6; ++j) {
    indices += gPuffMeshSet.slices[5][j].indexCount;
    floats += gPuffMeshSet.slices[5][j].floatCount;
  }
  EXPECT_EQ(state->puffStatA, indices);
  EXPECT_EQ(state->puffStatB, floats);

  // The mirror view fades by the fog curve at entry 255 x key x 4 / 40: the near half's keys
  // (9.17 to 9.83) index entries 233 to 250, the far half's (10.17 to 10.83) lie beyond the
  // curve and take its last entry.
  const std::uint32_t savedLength = FogCurveLength;
  FogCurveLength = kFogCurveCapacity;
  std::fill(FogCurve, FogCurve + kFogCurveCapacity, 0.75f);
  FogCurve[255] = 0.5f;
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(DrawCloudPuffsSecondary(*state, camera, 1.0f, 0x40), 6u);
  expectComposite([](double key) { return key > 10 ? 0.5 : 0.25; }, "mirror view");
  ExpectClientArraysOff();
  ExpectRestored();
  FogCurveLength = savedLength;

  // No puff in view: nothing drawn, the counters 0.
  camera.direction[0] = 1;
  camera.position[0] = 1.5f;  // every slice behind the eye
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(DrawCloudPuffs(*state, camera, 0), 0u);
  EXPECT_EQ(state->puffStatA + state->puffStatB, 0u);
  ExpectCentre(kUnder, 0, "nothing drawn");
}

TEST_F(PuffDrawingTest, TheLineViewDrawsWhiteLinesWithoutShading) {
  // A puff twice as wide as high; alpha 0.5 (0.2 x 10/3 x extent 0.75): a blended line would
  // not be white.
  puff->radius = 0.75f, puff->halfHeight = 0.375f;
  puff->opacityFactor = 10.0f / 3;
  EXPECT_EQ(DrawCloudPuffs(*state, camera, 0x10 | kPuffLineView), 6u);
  int lit = 0, left = 64, right = 0, bottom = 64, top = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const test::Rgba p = ReadPixel(x, y);
      if (p.b == 255 && p.r == 0) continue;  // the background
      ++lit;
      left = std::min(left, x), right = std::max(right, x);
      bottom = std::min(bottom, y), top = std::max(top, y);
      ASSERT_EQ(p.r + p.g + p.b, 3 * 255) << x << " " << y;
      ASSERT_NEAR(p.a, 128, 1);  // 0.2 x viewOpacity 2.5, written as it is
    }
  EXPECT_GT(lit, 100);
  EXPECT_NEAR(double(right - left + 1) / (top - bottom + 1), 2.0, 0.2);  // y radius, z halfHeight
  EXPECT_GT(state->puffStatA, 0u);
  GLint polygonMode[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_SHADER_NV));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);  // no unit was set up
  ExpectClientArraysOff();
}

}  // namespace
}  // namespace veskor
