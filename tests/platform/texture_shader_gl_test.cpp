// Texture shaders and the texture-shader formats through the compatibility layer: the
// operations the program uses, with previous-input units, against values worked out from the
// published equations; the texture environments under texture shaders against the driver's
// own fixed-function results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gl_compat_gl_test.h"

namespace veskor {
namespace {

using namespace test;

constexpr int kRamp = 16;

class TextureShaderTest : public CompatGlTest {
 protected:
  void Operation(int unit, GLenum op, int previous = 0) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, static_cast<GLint>(op));
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_PREVIOUS_TEXTURE_INPUT_NV, GL_TEXTURE0 + previous);
  }
  void Env(int unit, GLenum mode) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(mode));
  }
  void Rgba(int unit, GLenum target, const Vec4& c) {
    const GLubyte texel[4] = {Byte(c.x), Byte(c.y), Byte(c.z), Byte(c.w)};
    Texture(unit, target, 1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  }
  // 16 x 16 texels: red and green name the texel's column and row, (i + 0.5) / 16.
  void Ramp(int unit) {
    std::vector<GLubyte> texels;
    for (int j = 0; j < kRamp; ++j)
      for (int i = 0; i < kRamp; ++i)
        texels.insert(texels.end(), {static_cast<GLubyte>(16 * i + 8),
                                     static_cast<GLubyte>(16 * j + 8), 64, 255});
    Texture(unit, GL_TEXTURE_2D, kRamp, kRamp, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE,
            texels.data());
  }
  // The ramp texel that a nearest lookup at (s, t) finds (coordinates clamped to the edge).
  static Vec4 RampAt(float s, float t) {
    const auto cell = [](float c) {
      const int i = static_cast<int>(std::floor(c * kRamp));
      return i < 0 ? 0 : i > kRamp - 1 ? kRamp - 1 : i;
    };
    return {(16 * cell(s) + 8) / 255.0f, (16 * cell(t) + 8) / 255.0f, 64 / 255.0f, 1};
  }
  static GLubyte Byte(float v) { return static_cast<GLubyte>(std::lround(v * 255)); }
};

TEST_F(TextureShaderTest, OperationsReplaceConventionalTexturing) {
  const Vec4 primary{0.8f, 0.6f, 0.4f, 0.5f};
  const Vec4 red{1, 0, 0, 1};
  const Vec4 blue{0.2f, 0.4f, 1, 0.5f};
  Rgba(0, GL_TEXTURE_2D, red);
  glEnable(GL_TEXTURE_2D);  // conventional enables mean nothing under texture shaders
  Rgba(1, GL_TEXTURE_CUBE_MAP, blue);
  const GLubyte alpha = 153;
  Texture(2, GL_TEXTURE_2D, 1, 1, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, &alpha);
  glEnable(GL_TEXTURE_SHADER_NV);
  QuadInputs in{primary};
  in.texcoord[3] = {0.25f, 0.5f, 1.5f, -1};
  struct Case {
    const char* what;
    GLenum op[4];
    GLenum env[4];
    Vec4 want;
  } cases[] = {
      {"every unit NONE", {GL_NONE, GL_NONE, GL_NONE, GL_NONE},
       {GL_REPLACE, GL_REPLACE, GL_REPLACE, GL_REPLACE}, primary},
      {"2-D texture", {GL_TEXTURE_2D, GL_NONE, GL_NONE, GL_NONE},
       {GL_MODULATE, GL_REPLACE, GL_REPLACE, GL_REPLACE},
       {primary.x, 0, 0, primary.w}},
      {"cube map", {GL_NONE, GL_TEXTURE_CUBE_MAP, GL_NONE, GL_NONE},
       {GL_REPLACE, GL_MODULATE, GL_REPLACE, GL_REPLACE},
       {primary.x * blue.x, primary.y * blue.y, primary.z * blue.z, primary.w * blue.w}},
      {"pass through clamps the coordinates", {GL_NONE, GL_NONE, GL_NONE, GL_PASS_THROUGH_NV},
       {GL_REPLACE, GL_REPLACE, GL_REPLACE, GL_REPLACE}, {0.25f, 0.5f, 1, 0}},
      {"2-D texture on a unit whose 2-D target is empty", {GL_NONE, GL_TEXTURE_2D, GL_NONE,
       GL_NONE}, {GL_REPLACE, GL_REPLACE, GL_REPLACE, GL_REPLACE}, primary},
  };
  for (const Case& c : cases) {
    for (int u = 0; u < 4; ++u) {
      Operation(u, c.op[u]);
      Env(u, c.env[u]);
    }
    DrawQuad(in);
    ExpectCentre(c.want, c.what);
  }

  // An alpha texture: texture shaders see (1, 1, 1, A), conventional texturing (0, 0, 0, A).
  Operation(0, GL_NONE);
  Operation(2, GL_TEXTURE_2D);
  glActiveTexture(GL_TEXTURE2);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, GL_TEXTURE);
  DrawQuad(in);
  ExpectCentre({1, 1, 1, 0.6f}, "alpha texture under texture shaders");
  glDisable(GL_TEXTURE_SHADER_NV);
  glEnable(GL_TEXTURE_2D);
  DrawQuad(in);
  glDisable(GL_TEXTURE_2D);
  ExpectCentre({0, 0, 0, 0.6f}, "alpha texture, conventional");
}

TEST_F(TextureShaderTest, CullFragmentTestsEachCoordinate) {
  glEnable(GL_TEXTURE_SHADER_NV);
  Operation(0, GL_CULL_FRAGMENT_NV);
  QuadInputs in{{0.2f, 0.4f, 0.6f, 1}};
  in.texcoord[0] = {0.5f, -0.5f, 0, 0.25f};
  struct Case {
    GLint modes[4];
    bool drawn;
  } cases[] = {{{GL_GEQUAL, GL_LESS, GL_GEQUAL, GL_GEQUAL}, true},
               {{GL_GEQUAL, GL_GEQUAL, GL_GEQUAL, GL_GEQUAL}, false},
               {{GL_GEQUAL, GL_LESS, GL_LESS, GL_GEQUAL}, false},  // 0 is not less than 0
               {{GL_LESS, GL_LESS, GL_GEQUAL, GL_GEQUAL}, false}};
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    glTexEnviv(GL_TEXTURE_SHADER_NV, GL_CULL_MODES_NV, c.modes);
    DrawQuad(in);
    ExpectCentre(c.drawn ? in.primary : Vec4{0, 0, 0, 0}, c.drawn ? "kept" : "culled");
  }
}

// The light-shaft and puff chain: unit 0 fetches a vector, unit 1 takes a dot product with
// it, unit 2 a second one and looks up a 2-D texture at the two.
TEST_F(TextureShaderTest, DotProductsOfEachInputKindLookUpTheTexture) {
  const float s1[3] = {0.5f, 0.25f, 0.2f};
  const float s2[3] = {0.125f, 0.5f, 0.4f};
  struct Case {
    const char* what;
    GLint internalFormat;
    GLenum format, type;
    std::vector<std::int32_t> texel;  // in the type given
    GLenum mapping;
    float vector[3];  // what the dot products use, by the published remapping
  } cases[] = {
      {"unsigned RGBA, identity", GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {204, 102, 51, 255},
       GL_UNSIGNED_IDENTITY_NV, {0.8f, 0.4f, 0.2f}},
      {"unsigned RGBA, expanded", GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {204, 230, 153, 255},
       GL_EXPAND_NORMAL_NV, {0.6f, 2 * 230 / 255.0f - 1, 0.2f}},
      {"signed RGBA", GL_SIGNED_RGBA8_NV, GL_RGBA, GL_BYTE, {-64, 127, 32, 127},
       GL_EXPAND_NORMAL_NV, {-64 / 127.0f, 1, 32 / 127.0f}},
      {"unsigned HILO", GL_HILO16_NV, GL_HILO_NV, GL_UNSIGNED_SHORT, {39321, 13107},
       GL_UNSIGNED_IDENTITY_NV, {0.6f, 0.2f, 1}},
      {"signed HILO", GL_SIGNED_HILO16_NV, GL_HILO_NV, GL_SHORT, {19661, -9830},
       GL_UNSIGNED_IDENTITY_NV, {0.6f, -0.3f, std::sqrt(1 - 0.36f - 0.09f)}},
  };
  Ramp(2);
  glEnable(GL_TEXTURE_SHADER_NV);
  Operation(0, GL_TEXTURE_2D);
  Operation(1, GL_DOT_PRODUCT_NV, 0);
  Operation(2, GL_DOT_PRODUCT_TEXTURE_2D_NV, 0);
  Env(2, GL_REPLACE);
  QuadInputs in;
  in.texcoord[1] = {s1[0], s1[1], s1[2], 1};
  in.texcoord[2] = {s2[0], s2[1], s2[2], 1};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes;
    for (std::int32_t v : c.texel) {
      const std::size_t size = c.type == GL_UNSIGNED_BYTE || c.type == GL_BYTE ? 1 : 2;
      for (std::size_t b = 0; b < size; ++b) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    }
    Texture(0, GL_TEXTURE_2D, 1, 1, c.internalFormat, c.format, c.type, bytes.data());
    for (int u : {1, 2}) {
      glActiveTexture(GL_TEXTURE0 + u);
      glTexEnvi(GL_TEXTURE_SHADER_NV, GL_RGBA_UNSIGNED_DOT_PRODUCT_MAPPING_NV,
                static_cast<GLint>(c.mapping));
    }
    DrawQuad(in);
    const float* v = c.vector;
    const float dotP = s1[0] * v[0] + s1[1] * v[1] + s1[2] * v[2];
    const float dotC = s2[0] * v[0] + s2[1] * v[1] + s2[2] * v[2];
    ExpectCentre(RampAt(dotP, dotC), c.what);
  }
  // Without a dot product in the unit before, the lookup is inconsistent and acts as NONE:
  // the fragment keeps the colour that unit 0's environment gave it.
  Operation(1, GL_NONE);
  Rgba(0, GL_TEXTURE_2D, {0.4f, 0.2f, 0.6f, 1});
  Env(0, GL_REPLACE);
  DrawQuad(in);
  ExpectCentre({0.4f, 0.2f, 0.6f, 1}, "lookup without a dot product before it");
}

// The water set-up: unit 0 fetches (ds, dt) offsets, unit 1 looks up its texture at its own
// coordinates moved by the offset matrix times them.
TEST_F(TextureShaderTest, OffsetTextureMovesTheLookupByTheMatrix) {
  const Vec4 primary{0.5f, 1, 0.75f, 0.6f};
  const std::int8_t offsets[2] = {64, -32};
  const float ds = 64 / 127.0f, dt = -32 / 127.0f;
  Texture(0, GL_TEXTURE_2D, 1, 1, GL_DSDT_NV, GL_DSDT_NV, GL_BYTE, offsets);
  Ramp(1);
  glEnable(GL_TEXTURE_SHADER_NV);
  Operation(0, GL_TEXTURE_2D);
  Operation(1, GL_OFFSET_TEXTURE_2D_NV, 0);
  Operation(2, GL_NONE);
  Operation(3, GL_NONE);
  glActiveTexture(GL_TEXTURE1);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_RGB, GL_PRIMARY_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA, GL_PRIMARY_COLOR);
  Env(0, GL_REPLACE);  // a DSDT texture's environment acts as NONE
  QuadInputs in{primary};
  in.texcoord[0] = {0.5f, 0.5f, 0, 1};
  in.texcoord[1] = {0.4f, 0.6f, 0, 1};
  const float matrices[][4] = {{0, 0, 0, 0}, {0.5f, 0, 0, 0.5f}, {0.1f, 0.4f, -0.3f, 0.2f}};
  for (const auto& m : matrices) {
    glActiveTexture(GL_TEXTURE1);
    glTexEnvfv(GL_TEXTURE_SHADER_NV, GL_OFFSET_TEXTURE_MATRIX_NV, m);
    DrawQuad(in);
    const Vec4 t = RampAt(0.4f + m[0] * ds + m[2] * dt, 0.6f + m[1] * ds + m[3] * dt);
    ExpectCentre({t.x * primary.x, t.y * primary.y, t.z * primary.z, primary.w}, "offset");
  }
  // The program drawn has nothing of units 2 and 3, of unit 0's colour (DSDT texels give
  // none) or of the third argument, which MODULATE does not take: the two reads, the offset,
  // the two arguments and their product, and the moves between the steps.
  GLint length = 0, reads = 0;
  const auto programInteger = Proc<PFNGLGETPROGRAMIVARBPROC>("glGetProgramivARB");
  programInteger(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_LENGTH_ARB, &length);
  programInteger(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_TEX_INSTRUCTIONS_ARB, &reads);
  std::string text(static_cast<std::size_t>(length), '\0');
  Proc<PFNGLGETPROGRAMSTRINGARBPROC>("glGetProgramStringARB")(
      GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_STRING_ARB, text.data());
  int instructions = 0;
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    const std::string line = text.substr(at, end - at);
    if (line.empty() || line[0] == '!' || line == "END" || line.rfind("TEMP", 0) == 0 ||
        line.rfind("ATTRIB", 0) == 0 || line.rfind("PARAM", 0) == 0)
      continue;
    ++instructions;
    for (const char* unused : {"t0", "t2", "s2", "tc2", "t3", "s3", "tc3", "a2", "cp, col0"})
      EXPECT_EQ(line.find(unused), std::string::npos) << line;
  }
  EXPECT_EQ(instructions, 14) << text;
  EXPECT_EQ(reads, 2);
  // New offsets through the sub-image call.
  const std::int8_t other[2] = {-127, 127};
  glActiveTexture(GL_TEXTURE0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, GL_DSDT_NV, GL_BYTE, other);
  DrawQuad(in);
  const float* m = matrices[2];
  const Vec4 t = RampAt(0.4f - m[0] + m[2], 0.6f - m[1] + m[3]);
  ExpectCentre({t.x * primary.x, t.y * primary.y, t.z * primary.z, primary.w}, "sub-image");

  // With a magnitude, the scaling form also scales the colour by bias + scale x magnitude,
  // clamped to [0, 1].
  const std::int8_t withMagnitude[3] = {64, -32, 51};
  Texture(0, GL_TEXTURE_2D, 1, 1, GL_DSDT_MAG_NV, GL_DSDT_MAG_NV, GL_BYTE, withMagnitude);
  Operation(1, GL_OFFSET_TEXTURE_2D_SCALE_NV, 0);
  glTexEnvf(GL_TEXTURE_SHADER_NV, GL_OFFSET_TEXTURE_SCALE_NV, 2);
  for (const float bias : {-0.5f, 0.5f}) {
    glTexEnvf(GL_TEXTURE_SHADER_NV, GL_OFFSET_TEXTURE_BIAS_NV, bias);
    DrawQuad(in);
    const float scale = std::clamp(bias + 2 * 51 / 127.0f, 0.0f, 1.0f);
    const Vec4 ts = RampAt(0.4f + m[0] * ds + m[2] * dt, 0.6f + m[1] * ds + m[3] * dt);
    ExpectCentre({ts.x * scale * primary.x, ts.y * scale * primary.y, ts.z * scale * primary.z,
                  primary.w},
                 "offset and scale");
  }
  Operation(1, GL_OFFSET_TEXTURE_2D_NV, 0);

  // An RGBA texture in unit 0 cannot offset: unit 1 acts as NONE, and with unit 0's
  // environment NONE the fragment keeps its primary colour.
  Rgba(0, GL_TEXTURE_2D, {0.1f, 0.1f, 0.1f, 1});
  Env(0, GL_NONE);
  DrawQuad(in);
  ExpectCentre(primary, "offset from an RGBA texture");
}

TEST_F(TextureShaderTest, SignedAndTwoChannelFormatsInCombinerRegisters) {
  // Register combiners read texture 0 signed and halve it into [0, 1].
  glEnable(GL_REGISTER_COMBINERS_NV);
  auto& rc = Procs();
  rc.parameteri(GL_NUM_GENERAL_COMBINERS_NV, 1);
  for (GLenum portion : {GL_RGB, GL_ALPHA}) {
    rc.input(GL_COMBINER0_NV, portion, GL_VARIABLE_A_NV, GL_TEXTURE0_ARB, GL_SIGNED_IDENTITY_NV,
             portion);
    rc.input(GL_COMBINER0_NV, portion, GL_VARIABLE_B_NV, GL_ZERO, GL_UNSIGNED_INVERT_NV,
             portion);
    rc.input(GL_COMBINER0_NV, portion, GL_VARIABLE_C_NV, GL_ZERO, GL_UNSIGNED_INVERT_NV,
             portion);
    rc.input(GL_COMBINER0_NV, portion, GL_VARIABLE_D_NV, GL_ZERO, GL_UNSIGNED_INVERT_NV,
             portion);
    rc.output(GL_COMBINER0_NV, portion, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV,
              GL_SCALE_BY_ONE_HALF_NV, GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
  }
  for (int v = 0; v < 7; ++v)
    rc.finalInput(GL_VARIABLE_A_NV + v, v == 3 || v == 6 ? GL_SPARE0_NV : GL_ZERO,
                  GL_UNSIGNED_IDENTITY_NV, v == 6 ? GL_ALPHA : GL_RGB);
  const auto half = [](float v) { return (v + 1) / 2; };
  const std::int8_t signedTexel[4] = {-128, -64, 0, 127};
  const std::uint8_t unsignedTexel[4] = {0, 51, 102, 255};
  const std::int16_t hilo[2] = {16384, -16384};
  struct Case {
    const char* what;
    GLint internalFormat;
    GLenum format, type;
    const void* texel;
    Vec4 value;  // the register's value in [-1, 1]
  } cases[] = {
      {"signed RGBA from bytes", GL_SIGNED_RGBA8_NV, GL_RGBA, GL_BYTE, signedTexel,
       {-1, -64 / 127.0f, 0, 1}},
      {"signed RGB from bytes", GL_SIGNED_RGB_NV, GL_RGB, GL_BYTE, signedTexel,
       {-1, -64 / 127.0f, 0, 1}},
      {"signed RGBA from unsigned bytes stays positive", GL_SIGNED_RGBA_NV, GL_RGBA,
       GL_UNSIGNED_BYTE, unsignedTexel, {0, 0.2f, 0.4f, 1}},
      {"HILO reads as zero", GL_SIGNED_HILO_NV, GL_HILO_NV, GL_SHORT, hilo, {0, 0, 0, 0}},
      {"DSDT reads as zero", GL_DSDT8_NV, GL_DSDT_NV, GL_BYTE, signedTexel, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Texture(0, GL_TEXTURE_2D, 1, 1, c.internalFormat, c.format, c.type, c.texel);
    glEnable(GL_TEXTURE_2D);
    DrawQuad({});
    ExpectCentre({half(c.value.x), half(c.value.y), half(c.value.z), half(c.value.w)}, c.what);
  }
  // One name given new images, through each call that gives one: every draw sorts the
  // texture by the image it has then.
  const Vec4 grey{half(0), half(0.2f), half(0.4f), half(1)};
  const GLuint name =
      Texture(0, GL_TEXTURE_2D, 1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, unsignedTexel);
  DrawQuad({});
  ExpectCentre(grey, "unsigned image");
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DSDT8_NV, 1, 1, 0, GL_DSDT_NV, GL_BYTE, signedTexel);
  DrawQuad({});
  ExpectCentre({0.5f, 0.5f, 0.5f, 0.5f}, "the same name with a DSDT image");
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kGlTestWindowSize / 2, kGlTestWindowSize / 2, 1,
                   1, 0);
  DrawQuad({});
  ExpectCentre({0.75f, 0.75f, 0.75f, 0.75f}, "the same name with an image copied from the screen");
  // Deleted and bound again, the name is a new texture without an image: zero.
  glDeleteTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  EXPECT_TRUE(glIsTexture(name));
  DrawQuad({});
  ExpectCentre({0.5f, 0.5f, 0.5f, 0.5f}, "the same name deleted and bound again");
}

// Under texture shaders the layer computes the texture environments itself; on unsigned
// colours they must give what the driver's fixed function gives.
TEST_F(TextureShaderTest, EnvironmentsMatchTheDriversFixedFunction) {
  const Vec4 constant{0.6f, 0.1f, 0.9f, 0.25f};
  Rgba(0, GL_TEXTURE_2D, {0.8f, 0.3f, 0.5f, 0.7f});
  Rgba(1, GL_TEXTURE_2D, {0.2f, 0.9f, 0.4f, 0.35f});
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, &constant.x);
  // Unit 1's environment (unit 0 modulates); the alpha operands follow the colour ones.
  struct Setting {
    GLenum mode, rgb = 0, alpha = 0;
    GLenum src[4] = {};
    GLenum operand[4] = {};
    float scale = 1;
    bool colourSum = false, fog = false;
  } cases[] = {
      {GL_REPLACE}, {GL_MODULATE}, {GL_DECAL}, {GL_BLEND}, {GL_ADD},
      {GL_COMBINE, GL_MODULATE, GL_ADD, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT},
       {GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA}, 1, true},
      {GL_COMBINE, GL_INTERPOLATE, GL_SUBTRACT, {GL_TEXTURE0, GL_PRIMARY_COLOR, GL_TEXTURE},
       {GL_SRC_COLOR, GL_SRC_COLOR, GL_ONE_MINUS_SRC_ALPHA}, 2, false, true},
      {GL_COMBINE, GL_ADD_SIGNED, GL_REPLACE, {GL_TEXTURE, GL_CONSTANT, GL_PREVIOUS},
       {GL_SRC_ALPHA, GL_SRC_COLOR, GL_SRC_COLOR}},
      {GL_COMBINE, GL_DOT3_RGB, GL_MODULATE, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT},
       {GL_SRC_COLOR, GL_SRC_COLOR, GL_SRC_COLOR}},
      {GL_COMBINE, GL_DOT3_RGBA, GL_MODULATE, {GL_PREVIOUS, GL_TEXTURE, GL_CONSTANT},
       {GL_SRC_COLOR, GL_SRC_COLOR, GL_SRC_COLOR}, 2},
      {GL_COMBINE, GL_MODULATE_ADD_ATI, GL_MODULATE_SIGNED_ADD_ATI,
       {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT}, {GL_SRC_COLOR, GL_SRC_COLOR, GL_SRC_ALPHA}},
      {GL_COMBINE, GL_MODULATE_SUBTRACT_ATI, GL_MODULATE_ADD_ATI, {GL_TEXTURE, GL_ZERO, GL_ONE},
       {GL_SRC_COLOR, GL_SRC_COLOR, GL_SRC_COLOR}, 4},
      {GL_COMBINE, GL_SUBTRACT, GL_INTERPOLATE, {GL_PREVIOUS, GL_TEXTURE, GL_PRIMARY_COLOR},
       {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_COLOR, GL_SRC_ALPHA}},
      {GL_COMBINE4_NV, GL_ADD, GL_ADD_SIGNED, {GL_TEXTURE, GL_PREVIOUS, GL_CONSTANT, GL_TEXTURE0},
       {GL_SRC_COLOR, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_COLOR}},
  };
  const Vec4 fogColour{0.1f, 0.5f, 0.9f, 1};
  glFogfv(GL_FOG_COLOR, &fogColour.x);
  glFogi(GL_FOG_MODE, GL_EXP);
  glFogf(GL_FOG_DENSITY, 0.5f);
  glFogi(GL_FOG_COORD_SRC, GL_FOG_COORD);
  const QuadInputs in{{0.9f, 0.5f, 0.3f, 0.8f}, {0.3f, 0.2f, 0.5f, 0}, 1.5f};
  Operation(0, GL_TEXTURE_2D);
  Operation(1, GL_TEXTURE_2D);
  Operation(2, GL_NONE);
  Operation(3, GL_NONE);
  const auto draw = [&in](bool layer) {
    for (int u : {0, 1}) {
      glActiveTexture(GL_TEXTURE0 + u);
      if (layer) glDisable(GL_TEXTURE_2D);
      else glEnable(GL_TEXTURE_2D);
    }
    if (layer) glEnable(GL_TEXTURE_SHADER_NV);
    DrawQuad(in);
    glDisable(GL_TEXTURE_SHADER_NV);
  };
  for (const Setting& e : cases) {
    Env(0, GL_MODULATE);
    Env(1, e.mode);
    if (e.rgb != 0) {
      glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, static_cast<GLint>(e.rgb));
      glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, static_cast<GLint>(e.alpha));
    }
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, e.scale);
    glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, e.scale == 4 ? 2 : 1);
    for (int n = 0; n < 4 && e.src[n] != 0; ++n) {
      glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_RGB + n, static_cast<GLint>(e.src[n]));
      glTexEnvi(GL_TEXTURE_ENV, GL_SRC0_ALPHA + n, static_cast<GLint>(e.src[n]));
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB + n, static_cast<GLint>(e.operand[n]));
      const bool minus = e.operand[n] == GL_ONE_MINUS_SRC_COLOR ||
                         e.operand[n] == GL_ONE_MINUS_SRC_ALPHA;
      glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA + n,
                minus ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA);
    }
    if (e.colourSum) glEnable(GL_COLOR_SUM);
    if (e.fog) glEnable(GL_FOG);
    // The driver's conventional texturing on units 0 and 1, then the layer's.
    draw(false);
    const Vec4 driver = test::CentrePixel();
    draw(true);
    ExpectCentre(driver, "environment", 1.5f);
    glDisable(GL_COLOR_SUM);
    glDisable(GL_FOG);
  }
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
}

// TEXTURE_ENV_MODE NONE, which only the layer knows, also serves conventional texturing.
TEST_F(TextureShaderTest, EnvironmentNoneKeepsTheIncomingColour) {
  const Vec4 primary{0.6f, 0.4f, 0.2f, 1};
  const Vec4 t1{0.5f, 0.5f, 1, 1};
  Rgba(0, GL_TEXTURE_2D, {0.9f, 0.9f, 0.9f, 1});
  glEnable(GL_TEXTURE_2D);
  Env(0, GL_NONE);
  Rgba(1, GL_TEXTURE_2D, t1);
  glEnable(GL_TEXTURE_2D);
  Env(1, GL_MODULATE);
  DrawQuad({primary});
  ExpectCentre({0.3f, 0.2f, 0.2f, 1}, "unit 0 NONE, unit 1 MODULATE");
  Env(0, GL_MODULATE);  // back to the driver's own texturing
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  DrawQuad({primary});
  ExpectCentre({0.27f, 0.18f, 0.18f, 1}, "both MODULATE");
}

}  // namespace
}  // namespace veskor
