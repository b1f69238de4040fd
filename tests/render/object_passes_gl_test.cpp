// The textured object passes drawn on Mesa over a known background and read back: each pass
// code's equation, computed here from constant textures and colours, with the layer's register
// combiners (codes 2 and 4) and without them, with and without the texture-combine extensions,
// direct and mirrored; and after every restore no texture target, generation or combiner left
// on in units 0 to 3, the texture-matrix stacks of units 0 and 2 as deep as before, no GL error.
#include "render/object_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_passes.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/fog_texture.h"
#include "support/gl_test_fixture.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

using C3 = std::array<double, 3>;

C3 Add(C3 a, C3 b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
C3 Mul(C3 a, C3 b) { return {a[0] * b[0], a[1] * b[1], a[2] * b[2]}; }
C3 Scale(double s, C3 a) { return {s * a[0], s * a[1], s * a[2]}; }
C3 Clamp(C3 a) {
  for (double& v : a) v = std::clamp(v, 0.0, 1.0);
  return a;
}
C3 Rgb(const float* c) { return {c[0], c[1], c[2]}; }

// The constant inputs.
constexpr float kLight = 0.5f;
constexpr float kSun[4] = {0.8f, 0.6f, 0.4f, 1}, kSky[4] = {0.1f, 0.2f, 0.05f, 1};
constexpr float kDiffuse[4] = {0.3f, 0.2f, 0.1f, 0.5f};
constexpr float kDiffuse1[4] = {0.1f, 0.05f, 0.2f, 0}, kDiffuse2[4] = {0.4f, 0.6f, 0.2f, 0};
constexpr float kEmissive[4] = {0.1f, 0.2f, 0.05f, 0.25f};
constexpr float kEmissive1[4] = {0.05f, 0.1f, 0.15f, 0}, kEmissive2[4] = {0.4f, 0.2f, 0.8f, 0};
constexpr float kSpecular[4] = {0.5f, 0.25f, 0.75f, 1};
constexpr float kCube[4] = {0.2f, 0.1f, 0.3f, 0.6f}, kCube2[4] = {0.5f, 0.25f, 0.4f, 0};
constexpr float kCloud = 0.7f;
constexpr float kBackground[4] = {0.6f, 0.5f, 0.4f, 0.8f};
// The camera looks along +y from 500 before the quad (the plane z = 0): s = 0.5 at the quad,
// t = (0 - base) / (zstart - base + zdistance) with the default fog; the item's matrix moves the
// quad's centre 4 further along y, to s = 0.504.
constexpr double kFogS = 0.504, kFogT = 250.0 / 450.0;

double FogRef(double e, double i, double d, double u) {
  const double m = std::min(u / d - 1.0, 0.0);
  return 1.0 - i * (std::exp(-e * e * m * m) - std::exp(-e * e)) / (1.0 - std::exp(-e * e));
}
// The fog texel at (u, v) of the default fog and haze.
C3 FogRgb(double u) {
  const double h = FogRef(2.1, 1.0, 1.0, u);
  return {(h + (1 - h) * 0.05) * h, (h + (1 - h) * 0.05) * h, (h + (1 - h) * 0.5) * h};
}
double FogAlpha(double u, double v) { return v * FogRef(2.5, 1.0, 1.0, u); }

// The screen-filling quad in vertex format 4 (position, s, t), drawn with identity matrices.
constexpr float kQuad[4][5] = {{-1, -1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 1, 0, 1, 1}, {-1, 1, 0, 0, 1}};

void FillConstant(FloatTexture2D& t, std::uint32_t channels, const float* value,
                  std::uint32_t mode) {
  FloatTexture2DRealloc(t, channels, 1, 1);
  auto* texels = static_cast<float*>(TextureData(t));
  for (int i = 0; i < 4; ++i)
    for (std::uint32_t k = 0; k < channels; ++k) texels[channels * i + k] = value[k];
  Texture2DSetFilter(t, kFilterNearest);
  // Uploaded plain; the stored mode then chooses the bind's combine recipe, as the shading
  // stage's upload would.
  t.state.mode = kModePlain;
  glActiveTextureARB(GL_TEXTURE0_ARB);
  FloatTexture2DBind(t, kModeKeepEnvironment, 0);
  t.state.mode = mode;
}

void SetColours(FloatTexture2D& t, const float* c1, const float* c2) {
  std::copy(c1, c1 + 4, t.state.colour0);
  std::copy(c2, c2 + 4, t.state.colour1);
}

GLint StackDepth(std::uint32_t unit) {
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  GLint depth = -1;
  glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &depth);
  return depth;
}

class ObjectPassesGlTest : public test::GlTest {
 protected:
  test::ScopedKernelTable table_;
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    for (GLenum m : {GL_PROJECTION, GL_MODELVIEW}) glMatrixMode(m), glLoadIdentity();
    savedBuffer = {gGeometryBatchBuffer.format, gGeometryBatchBuffer.vertices};
    gGeometryBatchBuffer.format = 4;
    gGeometryBatchBuffer.vertices = const_cast<float*>(&kQuad[0][0]);
    CameraSetPosition(camera, 0.0f, -500.0f, 0.0f);
    CameraSetDirection(camera, 0.0f, 1.0f, 0.0f);
    camera.depth = 1000.0f;
    camera.roll = 0.3f;
    SessionCamera = &camera;
    SetFog(2.5f, 1.0f, 1.0f, 0.0f, 200.0f, 0.8f);
    SetHaze(2.1f, 1.0f, 1.0f, 0.05f, 0.05f, 0.5f);
    FogTextureFill();
    Texture2DSetFilter(FogTexture, kFilterBilinear);

    slot = std::make_unique<SkinSlot>();
    SkinTextureSet& t = set();
    const float one[1] = {kLight};
    FillConstant(t.light, 1, one, kModePlain);
    std::copy(kSun, kSun + 4, t.sunColour);
    std::copy(kSky, kSky + 4, t.skyColour);
    FillConstant(t.diffuse, 4, kDiffuse, kModeSplitOnBasis);
    SetColours(t.diffuse, kDiffuse1, kDiffuse2);
    FillConstant(t.emissive, 4, kEmissive, kModeSplitOnBasis);
    SetColours(t.emissive, kEmissive1, kEmissive2);
    FillConstant(t.specular, 4, kSpecular, kModePlain);
    TextureCubeResize(slot->cube, 4, 0);
    for (TexturePixels& face : slot->cube.faces) std::copy(kCube, kCube + 4, static_cast<float*>(face.data));
    TextureCubeSetFilter(slot->cube, kFilterNearest);
    slot->cube.state.mode = kModePlain;
    TextureCubeBind(slot->cube, kModeKeepEnvironment, 0);
    std::copy(kCube2, kCube2 + 4, slot->cube.state.colour1);
    slot->cube.state.mode = kModeSplit;
    const float cloud[1] = {kCloud};
    FillConstant(gEnvironmentState.cloudLow.shadowTexture, 1, cloud, kModePlain);
    for (int i = 0; i < 16; ++i) gEnvironmentState.cloudLow.shadowMatrix[i] = i % 5 == 0 ? 0.001f : 0.0f;
    slot->matrix = kWorld;
    for (int k = 0; k < 3; ++k) slot->itemData[6 + k] = 0.0f;
  }
  void TearDown() override {
    gGeometryBatchBuffer.format = savedBuffer.format;
    gGeometryBatchBuffer.vertices = savedBuffer.vertices;
    SessionCamera = nullptr;
    ObjectPassListClear();
    for (std::uint32_t u = 4; u-- > 0;) {
      glClientActiveTextureARB(GL_TEXTURE0_ARB + u);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    slot.reset();
    GlTest::TearDown();
  }
  SkinTextureSet& set() { return slot->textureSets[0]; }

  // Sets up the pass, draws the quad, restores, checks what the restore left, and returns the
  // pixel at the centre as floats.
  std::array<double, 4> Draw(std::uint32_t code, bool mirrored) {
    ObjectPassList[0] = {code, kToObject};
    ObjectPassCount = 1;
    glClearColor(kBackground[0], kBackground[1], kBackground[2], kBackground[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    const GLint depth0 = StackDepth(0), depth2 = StackDepth(2);
    for (std::uint32_t u = 4; u-- > 0;) glMultiTexCoord4f(GL_TEXTURE0 + u, 0, 0, 0, 1);
    const BatchRange range{0, 20, 0, 6, kNoWaterBox, 0, 0, 0};
    SkyDrawnOpaque = 1;
    if (mirrored)
      ObjectTexturePassMirrored(*slot, set(), 0, range);
    else
      ObjectTexturePass(*slot, set(), 0, range);
    opaqueLeft = SkyDrawnOpaque;
    SkyDrawnOpaque = 0;
    glVertexPointer(3, GL_FLOAT, 20, kQuad);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    RestoreObjectPass(0, mirrored ? 1 : 0);
    // The restore leaves the last unit it touched active.
    const int lastUnit[8] = {1, 1, 3, 1, 2, mirrored ? 0 : 1, 1, -1};
    if (lastUnit[code & 7] >= 0) {
      GLint active = 0;
      glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
      EXPECT_EQ(active, GL_TEXTURE0 + lastUnit[code & 7]) << code;
    }
    for (std::uint32_t u = 0; u < 4; ++u) {
      glActiveTextureARB(GL_TEXTURE0_ARB + u);
      for (GLenum cap : {GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
                         GL_TEXTURE_GEN_R})
        EXPECT_FALSE(glIsEnabled(cap)) << "unit " << u << " cap " << cap;
    }
    if (HasExtension(kExtRegisterCombiners) != 0) {
      EXPECT_FALSE(glIsEnabled(GL_REGISTER_COMBINERS_NV));
      EXPECT_FALSE(glIsEnabled(GL_PER_STAGE_CONSTANTS_NV));
    }
    EXPECT_EQ(StackDepth(0), depth0);
    EXPECT_EQ(StackDepth(2), depth2);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    if ((code & 7) != 0 && (code & 7) != 2 && (code & 7) != 7) {
      EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
    glDisable(GL_BLEND);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const test::Rgba p = test::ReadPixel(32, 32);
    return {p.r / 255.0, p.g / 255.0, p.b / 255.0, p.a / 255.0};
  }

  void Expect(std::uint32_t code, bool mirrored, C3 want, double alpha = -1) {
    const auto got = Draw(code, mirrored);
    const std::string what = "code " + std::to_string(code) + (mirrored ? " mirrored" : "");
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], std::clamp(want[k], 0.0, 1.0), 3.5 / 255) << what << " " << k;
    if (alpha >= 0) {
      EXPECT_NEAR(got[3], alpha, 3.5 / 255) << what << " alpha";
    }
  }

  static constexpr float kWorld[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 0, 1};
  static constexpr float kToObject[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -3, -4, 0, 1};
  struct {
    std::uint32_t format;
    float* vertices;
  } savedBuffer{};
  Camera camera;
  std::unique_ptr<SkinSlot> slot;
  std::uint32_t opaqueLeft = 0;  // SkyDrawnOpaque after the last set-up, 1 before it
};

// The board condition of the single pass: four units, register combiners 2 and secondary
// colour, which the layer provides and Mesa alone does not.
bool SinglePassBoard() {
  return TextureUnitCount == 4 && HasExtension(kExtRegisterCombiners2) != 0 &&
         HasExtension(kExtSecondaryColor) != 0;
}

TEST_F(ObjectPassesGlTest, PassesWithoutRegisterCombinersDrawTheirTerms) {
  const C3 background = Rgb(kBackground);
  const C3 lit = Add(Scale(kLight, Rgb(kSun)), Rgb(kSky));
  for (const bool combine : {true, false}) {
    SCOPED_TRACE(combine);
    if (!combine) ExtensionMask &= ~(kExtTextureEnvCombine4 | kExtTextureEnvCombine3);
    if (combine && HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3) == 0) continue;
    // Split textures: texture + alpha x colour 2 (then + colour 1) with the extensions, only
    // alpha x colour 2 without; the split cube's alpha - RGB without them.
    const C3 diffuse = combine ? Add(Clamp(Add(Rgb(kDiffuse), Scale(kDiffuse[3], Rgb(kDiffuse2)))),
                                     Rgb(kDiffuse1))
                               : Scale(kDiffuse[3], Rgb(kDiffuse2));
    const C3 emissive0 = combine ? Clamp(Add(Rgb(kEmissive), Scale(kEmissive[3], Rgb(kEmissive2))))
                                 : Scale(kEmissive[3], Rgb(kEmissive2));
    const C3 emissive = combine ? Add(emissive0, Rgb(kEmissive1)) : Add(emissive0, Rgb(kEmissive));
    const C3 cube = combine ? Clamp(Add(Rgb(kCube), Scale(kCube[3], Rgb(kCube2))))
                            : Clamp(Add({kCube[3], kCube[3], kCube[3]}, Scale(-1, Rgb(kCube))));
    for (const bool mirrored : {false, true}) {
      // Alpha 1 marks the pixel as in front of the sky; the diffuse multiply keeps it.
      Expect(0, mirrored, lit, 1.0);
      Expect(1, mirrored, Mul(background, Clamp(diffuse)), kBackground[3]);
      EXPECT_EQ(opaqueLeft, 1u);
      Expect(1 | kPassFog, mirrored, Mul(background, Clamp(diffuse)),
             kBackground[3] * FogAlpha(kFogS, kFogT));
      EXPECT_EQ(opaqueLeft, 0u);  // the fog's alpha lets the sky dome through
      Expect(3, mirrored, Add(background, mirrored ? emissive0 : Clamp(emissive)));
      Expect(5, mirrored, Add(background, mirrored ? cube : Mul(cube, Rgb(kSpecular))));
      Expect(6, mirrored, Add(background, Mul(cube, Rgb(kSpecular))));
    }
    ExtensionMask |= kExtTextureEnvCombine4 | kExtTextureEnvCombine3;
    LoadGlExtensions();
  }
}

TEST_F(ObjectPassesGlTest, RegisterCombinerPassesRunThroughTheLayer) {
  EXPECT_EQ(SinglePassBoard(), HasExtension(kExtRegisterCombiners) != 0);
  if (!SinglePassBoard()) GTEST_SKIP() << "no register combiners without the layer";
  const C3 background = Rgb(kBackground);
  const C3 spare0 = Clamp(Add(Rgb(kDiffuse), Scale(kDiffuse[3], Rgb(kDiffuse2))));
  const C3 diffuse = Clamp(Add(spare0, Rgb(kDiffuse1)));
  const C3 fogAt0 = FogRgb(0.5 / 256);  // unit 3 at the coordinate (0, 0) without generation
  for (const std::uint32_t bits : {0u, kPassFog, kPassCloudShadow, kPassFog | kPassCloudShadow}) {
    SCOPED_TRACE(bits);
    const double cloud = (bits & kPassCloudShadow) != 0 ? kCloud : 1.0;
    const C3 spare1 = Clamp(Add(Scale(kLight * cloud, Rgb(kSun)), Rgb(kSky)));
    const bool fog = (bits & kPassFog) != 0;
    Expect(2 | bits, false, Mul(Mul(spare1, fog ? FogRgb(kFogS) : fogAt0), diffuse),
           fog ? FogAlpha(kFogS, kFogT) : 1.0);
    EXPECT_EQ(opaqueLeft, fog ? 0u : 1u);
    // Mirrored: no fog unit, and the cloud's alpha, which a one-channel texture has at 1.
    Expect(2 | bits, true, Mul(Clamp(Add(Scale(kLight, Rgb(kSun)), Rgb(kSky))), diffuse), 1.0);
    EXPECT_EQ(opaqueLeft, 1u);
  }
  // Code 4: reflection x (1 - specular) + emissive term + emissive colour 1, added.
  const C3 reflection = Clamp(Add(Rgb(kCube), Scale(kCube[3], Rgb(kCube2))));
  const C3 emissive = Clamp(Add(Rgb(kEmissive), Scale(kEmissive[3], Rgb(kEmissive2))));
  const C3 sum = Clamp(Add(Mul(reflection, Add({1, 1, 1}, Scale(-1, Rgb(kSpecular)))), emissive));
  for (const bool mirrored : {false, true})
    Expect(4, mirrored, Add(background, Clamp(Add(sum, Rgb(kEmissive1)))));
}

TEST_F(ObjectPassesGlTest, CodeSevenSetsUpNothingAndTheRangeStillDraws) {
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  Expect(7, false, {0.25, 0.5, 0.75});
  Expect(7 | kPassFog, true, {0.25, 0.5, 0.75});
  // A pass index past the list sets up and restores nothing too.
  ObjectPassCount = 0;
  ObjectTexturePass(*slot, set(), 3, BatchRange{});
  RestoreObjectState(3);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// The texture matrix of the reflection against one built here from the three rotations, for
// cameras around the item, straight above and below it included, with and without the roll.
TEST_F(ObjectPassesGlTest, TexGenRotationTurnsTowardsTheCamera) {
  using M = std::array<double, 16>;
  const auto rotation = [](double degrees, int axis) {
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    M m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    m[4 * i + i] = c, m[4 * i + j] = s, m[4 * j + i] = -s, m[4 * j + j] = c;
    return m;
  };
  const auto product = [](const M& a, const M& b) {
    M m{};
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) m[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return m;
  };
  const float centre[3] = {10, 20, 5};
  const struct {
    float offset[3];
    double azimuth, elevation;  // degrees
    std::uint32_t board;
  } cases[] = {
      {{5, 0, 0}, 0, 0, 0x02},          {{0, 7, 0}, 90, 0, 0x32},
      {{-3, -3, 0}, -135, 0, 0x12},     {{0, -2, 2}, -90, 45, 0x22},
      {{0, 0, 9}, 0, 90, 0x02},         {{0, 0, -4}, 0, -90, 0x12},
      {{-1e-6f, 0, 30}, 0, 90, 0x42},  // horizontal length below 1e-6: azimuth 0, not 180    {{-1, 1e-3f, 0}, 180, 0, 0x02},
      {{-2e-5f, 0, 1}, 180, 90, 0x02},  // just past the horizontal length kept as 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset[0] + 10 * c.offset[1] + 100 * c.offset[2]);
    BoardClass = c.board;
    CameraSetPosition(camera, centre[0] + c.offset[0], centre[1] + c.offset[1],
                      centre[2] + c.offset[2]);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const GLint depth = StackDepth(0);
    SetupTexGenRotation(camera, centre[0], centre[1], centre[2]);
    GLint mode = 0;
    glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_REFLECTION_MAP);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T) &&
                glIsEnabled(GL_TEXTURE_GEN_R));
    GLint matrixMode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
    EXPECT_EQ(StackDepth(0), depth + 1);
    float got[16];
    glGetFloatv(GL_TEXTURE_MATRIX, got);
    M want = product(rotation(c.azimuth + 90, 2), rotation(90 - c.elevation, 0));
    const bool roll = c.board != 0x12 && c.board != 0x22;
    if (roll) want = product(want, rotation(-camera.roll * 180 / M_PI, 2));
    for (int k = 0; k < 16; ++k) {
      EXPECT_TRUE(std::isfinite(got[k]));
      EXPECT_NEAR(got[k], want[k], 2e-3) << k;
    }
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    for (GLenum g : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glDisable(g);
  }
  // The camera on the centre itself: no direction, still no NaN.
  CameraSetPosition(camera, centre[0], centre[1], centre[2]);
  SetupTexGenRotation(camera, centre[0], centre[1], centre[2]);
  float got[16];
  glGetFloatv(GL_TEXTURE_MATRIX, got);
  for (float v : got) EXPECT_TRUE(std::isfinite(v));
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  for (GLenum g : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glDisable(g);
}

}  // namespace
}  // namespace veskor
