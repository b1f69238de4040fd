// Register combiners through the compatibility layer: every input mapping, output scale and
// bias, dot products, mux and sum, the final combiner with and without fog, per-stage
// constants, and the two set-ups of the textured object passes, against values worked out
// from the published equations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl_compat_gl_test.h"

namespace veskor {
namespace {

using namespace test;

struct In {
  GLenum reg;
  GLenum mapping = GL_UNSIGNED_IDENTITY_NV;
  GLenum usage = 0;  // 0: the portion's own (RGB or ALPHA)
};
const In kZero{GL_ZERO};
const In kOne{GL_ZERO, GL_UNSIGNED_INVERT_NV};

struct Out {
  GLenum ab = GL_DISCARD_NV, cd = GL_DISCARD_NV, sum = GL_DISCARD_NV;
  GLenum scale = GL_NONE, bias = GL_NONE;
  bool abDot = false, cdDot = false, mux = false;
};

void General(int stage, GLenum portion, In a, In b, In c, In d, const Out& out) {
  const GLenum s = GL_COMBINER0_NV + stage;
  const In vars[] = {a, b, c, d};
  for (int v = 0; v < 4; ++v) {
    const GLenum usage = vars[v].usage != 0 ? vars[v].usage : portion;
    Procs().input(s, portion, GL_VARIABLE_A_NV + v, vars[v].reg, vars[v].mapping, usage);
  }
  Procs().output(s, portion, out.ab, out.cd, out.sum, out.scale, out.bias, out.abDot,
                 out.cdDot, out.mux);
}

// Both portions alike: RGB reads RGB, alpha reads alpha.
void GeneralBoth(int stage, In a, In b, In c, In d, const Out& out) {
  General(stage, GL_RGB, a, b, c, d, out);
  General(stage, GL_ALPHA, a, b, c, d, out);
}

void Final(In a, In b, In c, In d, In e, In f, In g) {
  const In vars[] = {a, b, c, d, e, f, g};
  for (int v = 0; v < 7; ++v) {
    const GLenum usage = vars[v].usage != 0 ? vars[v].usage : v == 6 ? GL_ALPHA : GL_RGB;
    Procs().finalInput(GL_VARIABLE_A_NV + v, vars[v].reg, vars[v].mapping, usage);
  }
}

// The final combiner shows the register `reg` as it is: D = reg, G = its alpha.
void FinalShows(GLenum reg) { Final(kZero, kZero, kZero, {reg}, kZero, kZero, {reg}); }

// General stage `stage` turns spare0 from [-1, 1] into [0, 1]: (x + 1) / 2.
void ToUnsigned(int stage, GLenum from) {
  Out out;
  out.sum = GL_SPARE0_NV;
  out.scale = GL_SCALE_BY_ONE_HALF_NV;
  GeneralBoth(stage, {from, GL_SIGNED_IDENTITY_NV}, kOne, kOne, kOne, out);
}

float Unsigned(float x) { return (x + 1) / 2; }

// The input mappings of the published table.
float MapRef(GLenum mapping, float e) {
  switch (mapping) {
    case GL_UNSIGNED_IDENTITY_NV: return std::max(0.0f, e);
    case GL_UNSIGNED_INVERT_NV: return 1 - std::clamp(e, 0.0f, 1.0f);
    case GL_EXPAND_NORMAL_NV: return 2 * std::max(0.0f, e) - 1;
    case GL_EXPAND_NEGATE_NV: return -2 * std::max(0.0f, e) + 1;
    case GL_HALF_BIAS_NORMAL_NV: return std::max(0.0f, e) - 0.5f;
    case GL_HALF_BIAS_NEGATE_NV: return -std::max(0.0f, e) + 0.5f;
    case GL_SIGNED_IDENTITY_NV: return e;
    default: return -e;  // GL_SIGNED_NEGATE_NV
  }
}

const Vec4 kPrimary{0.8f, 0.4f, 0.2f, 0.6f};

class RegisterCombinersTest : public CompatGlTest {
 protected:
  void SetUp() override {
    CompatGlTest::SetUp();
    if (IsSkipped()) return;
    glEnable(GL_REGISTER_COMBINERS_NV);
  }
  // A one-texel texture of that colour on unit `unit`, enabled.
  void Texel(int unit, const Vec4& c) {
    const GLubyte texel[4] = {Byte(c.x), Byte(c.y), Byte(c.z), Byte(c.w)};
    Texture(unit, GL_TEXTURE_2D, 1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_TEXTURE_2D);
  }
  static GLubyte Byte(float v) { return static_cast<GLubyte>(std::lround(v * 255)); }
};

TEST_F(RegisterCombinersTest, EveryInputMappingOfNegativeAndPositiveValues) {
  // Spare1 = expand(primary) = (0.6, -0.2, -0.6, 0.2), then spare0 = mapping(spare1).
  const float e[4] = {0.6f, -0.2f, -0.6f, 0.2f};
  const GLenum mappings[] = {GL_UNSIGNED_IDENTITY_NV, GL_UNSIGNED_INVERT_NV,
                             GL_EXPAND_NORMAL_NV,     GL_EXPAND_NEGATE_NV,
                             GL_HALF_BIAS_NORMAL_NV,  GL_HALF_BIAS_NEGATE_NV,
                             GL_SIGNED_IDENTITY_NV,   GL_SIGNED_NEGATE_NV};
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 3);
  Out toSpare1;
  toSpare1.sum = GL_SPARE1_NV;
  GeneralBoth(0, {GL_PRIMARY_COLOR_NV, GL_EXPAND_NORMAL_NV}, kOne, kZero, kZero, toSpare1);
  ToUnsigned(2, GL_SPARE0_NV);
  FinalShows(GL_SPARE0_NV);
  for (GLenum m : mappings) {
    Out toSpare0;
    toSpare0.ab = GL_SPARE0_NV;
    GeneralBoth(1, {GL_SPARE1_NV, m}, kOne, kZero, kZero, toSpare0);
    DrawQuad({kPrimary});
    const Vec4 want{Unsigned(MapRef(m, e[0])), Unsigned(MapRef(m, e[1])),
                    Unsigned(MapRef(m, e[2])), Unsigned(MapRef(m, e[3]))};
    ExpectCentre(want, "mapping");
  }
}

Out Outputs(GLenum ab, GLenum cd, GLenum sum, GLenum scale = GL_NONE, GLenum bias = GL_NONE) {
  Out o;
  o.ab = ab, o.cd = cd, o.sum = sum, o.scale = scale, o.bias = bias;
  return o;
}

Out Flags(Out o, bool abDot, bool cdDot, bool mux) {
  o.abDot = abDot, o.cdDot = cdDot, o.mux = mux;
  return o;
}

TEST_F(RegisterCombinersTest, OutputsScaleBiasDotProductsMuxAndSum) {
  const Vec4 t{0.25f, 0.5f, 1.0f, 0.3f};
  const Vec4 p = kPrimary;
  const auto x = [](float v) { return 2 * v - 1; };
  const float dot = x(p.x) * x(t.x) + x(p.y) * x(t.y) + x(p.z) * x(t.z);
  const In P{GL_PRIMARY_COLOR_NV}, T{GL_TEXTURE0_ARB};
  const In Pe{GL_PRIMARY_COLOR_NV, GL_EXPAND_NORMAL_NV}, Te{GL_TEXTURE0_ARB, GL_EXPAND_NORMAL_NV};
  const In NegP{GL_PRIMARY_COLOR_NV, GL_SIGNED_NEGATE_NV};
  const GLenum S0 = GL_SPARE0_NV, D = GL_DISCARD_NV;
  // Stage 0 computes, stage 1 adds `read` and spare1 x -1 into spare0 (both in [-1, 1]).
  struct Case {
    const char* what;
    float textureAlpha;
    In a, b, c, d;
    Out out;
    Vec4 want;
    GLenum read = GL_SPARE0_NV;
  } cases[] = {
      {"scale 2, bias -1/2", 0.3f, P, kOne, kZero, kZero,
       Outputs(S0, D, D, GL_SCALE_BY_TWO_NV, GL_BIAS_BY_NEGATIVE_ONE_HALF_NV),
       {0.6f, -0.2f, -0.6f, 0.2f}},
      {"scale 4 clamps to 1", 0.3f, P, kOne, kZero, kZero, Outputs(S0, D, D, GL_SCALE_BY_FOUR_NV),
       {1, 1, 0.8f, 1}},
      {"bias -1/2 of CD", 0.3f, kZero, kZero, P, kOne,
       Outputs(D, S0, D, GL_NONE, GL_BIAS_BY_NEGATIVE_ONE_HALF_NV), {0.3f, -0.1f, -0.3f, 0.1f}},
      {"scale 1/2 of a sum", 0.3f, P, T, T, kOne, Outputs(D, D, S0, GL_SCALE_BY_ONE_HALF_NV),
       {(p.x * t.x + t.x) / 2, (p.y * t.y + t.y) / 2, (p.z * t.z + t.z) / 2,
        (p.w * 0.3f + 0.3f) / 2}},
      // Dot products are RGB only: the alpha portion multiplies.
      {"AB dot product", 0.3f, Pe, Te, kZero, kZero, Flags(Outputs(S0, D, D), true, false, false),
       {dot, dot, dot, x(p.w) * x(0.3f)}},
      {"CD dot product", 0.3f, kZero, kZero, Pe, Te, Flags(Outputs(D, S0, D), false, true, false),
       {dot, dot, dot, x(p.w) * x(0.3f)}},
      {"mux picks AB below one half", 0.3f, P, kOne, T, kOne,
       Flags(Outputs(D, D, S0), false, false, true), {p.x, p.y, p.z, p.w}},
      {"mux picks CD at one half and above", 0.6f, P, kOne, T, kOne,
       Flags(Outputs(D, D, S0), false, false, true), {t.x, t.y, t.z, 0.6f}},
      {"sum of products, clamped", 0.6f, P, T, T, kOne, Outputs(D, D, S0),
       {p.x * t.x + t.x, p.y * t.y + t.y, 1, p.w * 0.6f + 0.6f}},
      // P to texture 1, -P to spare1, their sum 0 to spare0; then texture 1 + P = 2P.
      {"three outputs, a texture register among them", 0.3f, P, kOne, NegP, kOne,
       Outputs(GL_TEXTURE1_ARB, GL_SPARE1_NV, S0), {1, 0.8f, 0.4f, 1}, GL_TEXTURE1_ARB},
  };
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 3);
  FinalShows(GL_SPARE0_NV);
  ToUnsigned(2, GL_SPARE0_NV);
  for (const Case& c : cases) {
    Texel(0, {t.x, t.y, t.z, c.textureAlpha});
    GeneralBoth(0, c.a, c.b, c.c, c.d, c.out);
    const In spare1{GL_SPARE1_NV, GL_SIGNED_IDENTITY_NV};
    GeneralBoth(1, {c.read, GL_SIGNED_IDENTITY_NV}, kOne, spare1,
                {GL_ZERO, c.read == GL_SPARE0_NV ? GLenum{GL_SIGNED_IDENTITY_NV}
                                                 : GLenum{GL_EXPAND_NORMAL_NV}},
                Outputs(D, D, S0));
    DrawQuad({kPrimary});
    ExpectCentre({Unsigned(c.want.x), Unsigned(c.want.y), Unsigned(c.want.z),
                  Unsigned(c.want.w)},
                 c.what);
  }
}

TEST_F(RegisterCombinersTest, FinalCombinerProductsSumsAndFog) {
  const Vec4 p = kPrimary;
  const Vec4 sec{0.5f, 0.3f, 0.1f, 0};
  const Vec4 t{0.25f, 0.5f, 1.0f, 0.3f};
  const Vec4 c0{0.5f, 0.5f, 0.5f, 0.5f};
  const Vec4 fogColour{0.2f, 0.9f, 0.6f, 1};
  const In P{GL_PRIMARY_COLOR_NV}, S0{GL_SPARE0_NV}, T{GL_TEXTURE0_ARB};
  const In Sum{GL_SPARE0_PLUS_SECONDARY_COLOR_NV}, EF{GL_E_TIMES_F_NV};
  const In C0{GL_CONSTANT_COLOR0_NV}, FogAlpha{GL_FOG, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA};
  const float f = 0.25f;  // linear fog from -3 to 1 at depth 0
  struct Case {
    const char* what;
    bool fog;
    bool clampSum;
    In vars[7];  // A to G
    Vec4 want;
  } cases[] = {
      {"initial state without fog: spare0 + secondary", false, true,
       {FogAlpha, Sum, {GL_FOG}, kZero, kZero, kZero, S0}, {1, 0.7f, 0.3f, p.w}},
      {"initial state with fog blends towards the fog colour", true, true,
       {FogAlpha, Sum, {GL_FOG}, kZero, kZero, kZero, S0},
       {f + (1 - f) * fogColour.x, f * 0.7f + (1 - f) * fogColour.y,
        f * 0.3f + (1 - f) * fogColour.z, p.w}},
      {"E x F, inverted, alpha usage", false, true,
       {EF, kOne, kZero, kZero, {GL_PRIMARY_COLOR_NV, GL_UNSIGNED_INVERT_NV},
        {GL_TEXTURE0_ARB, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA}, T},
       {(1 - p.x) * t.w, (1 - p.y) * t.w, (1 - p.z) * t.w, t.w}},
      {"A lerps B and C, D added, G from blue", false, true,
       {C0, T, P, {GL_SECONDARY_COLOR_NV}, kZero, kZero,
        {GL_TEXTURE0_ARB, GL_UNSIGNED_INVERT_NV, GL_BLUE}},
       {0.5f * (t.x + p.x) + sec.x, 0.5f * (t.y + p.y) + sec.y, 0.5f * (t.z + p.z) + sec.z,
        1 - t.z}},
      {"the sum clamped before it is halved", false, true,
       {C0, Sum, kZero, kZero, kZero, kZero, S0}, {0.5f, 0.35f, 0.15f, p.w}},
      {"the sum unclamped", false, false, {C0, Sum, kZero, kZero, kZero, kZero, S0},
       {0.65f, 0.35f, 0.15f, p.w}},
      {"E x F read by D and C", false, true, {kZero, kZero, EF, EF, P, T, kOne},
       {2 * p.x * t.x, 2 * p.y * t.y, 2 * p.z * t.z, 1}},
  };
  Texel(0, t);
  GeneralBoth(0, P, kOne, kZero, kZero, Outputs(GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV));
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 1);
  Procs().parameterfv(GL_CONSTANT_COLOR0_NV, &c0.x);
  glFogfv(GL_FOG_COLOR, &fogColour.x);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, -3);
  glFogf(GL_FOG_END, 1);
  for (const Case& c : cases) {
    const In* v = c.vars;
    Final(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    Procs().parameteri(GL_COLOR_SUM_CLAMP_NV, c.clampSum);
    if (c.fog) glEnable(GL_FOG);
    else glDisable(GL_FOG);
    DrawQuad({kPrimary, sec});
    ExpectCentre(c.want, c.what);
  }
}

TEST_F(RegisterCombinersTest, PerStageConstantsServeGeneralStagesOnly) {
  const Vec4 global0{0.2f, 0.4f, 0.6f, 0.8f};
  const Vec4 global1Given{0.1f, 0.3f, 1.5f, 0.7f};
  const Vec4 global1{0.1f, 0.3f, 1, 0.7f};
  const Vec4 stage0{0.9f, 0.7f, 0.5f, 0.3f};
  // Colours are clamped to [0, 1] when given.
  const Vec4 stage1Given{0.6f, -0.6f, 0.2f, 0.2f};
  const Vec4 stage1{0.6f, 0, 0.2f, 0.2f};
  Procs().parameterfv(GL_CONSTANT_COLOR0_NV, &global0.x);
  Procs().parameterfv(GL_CONSTANT_COLOR1_NV, &global1Given.x);
  Procs().stageParameterfv(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, &stage0.x);
  Procs().stageParameterfv(GL_COMBINER1_NV, GL_CONSTANT_COLOR1_NV, &stage1Given.x);
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 2);
  // Stage 0: spare0 = constant 0; stage 1: spare1 = constant 1 x spare0. The final combiner
  // shows spare1 plus constant 0 x 0.5 in colour, constant 1's alpha in alpha.
  GeneralBoth(0, {GL_CONSTANT_COLOR0_NV}, kOne, kZero, kZero,
              Outputs(GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV));
  GeneralBoth(1, {GL_CONSTANT_COLOR1_NV}, {GL_SPARE0_NV}, kZero, kZero,
              Outputs(GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV));
  Final({GL_CONSTANT_COLOR0_NV}, {GL_SECONDARY_COLOR_NV}, kZero, {GL_SPARE1_NV}, kZero, kZero,
        {GL_CONSTANT_COLOR1_NV});
  const Vec4 halfSecondary{0.5f, 0.5f, 0.5f, 0};
  for (const bool perStage : {false, true}) {
    if (perStage) glEnable(GL_PER_STAGE_CONSTANTS_NV);
    EXPECT_EQ(glIsEnabled(GL_PER_STAGE_CONSTANTS_NV), perStage);
    DrawQuad({kPrimary, halfSecondary});
    const Vec4& a = perStage ? stage0 : global0;
    const Vec4& b = perStage ? stage1 : global1;
    ExpectCentre({a.x * b.x + global0.x * 0.5f, a.y * b.y + global0.y * 0.5f,
                  a.z * b.z + global0.z * 0.5f, global1.w},
                 perStage ? "per-stage constants" : "global constants");
  }
  // A constant changed between two draws reaches the program already made, with no other
  // call between them: the left half keeps the old constant, the right half the new one.
  const int programs = GlCompatProgramCount();
  const Vec4 other{0.3f, 0.3f, 0.3f, 0.3f};
  const int half = test::kGlTestWindowSize / 2;
  glViewport(0, 0, half, test::kGlTestWindowSize);
  DrawQuad({kPrimary, halfSecondary});
  Procs().stageParameterfv(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, &other.x);
  glViewport(half, 0, half, test::kGlTestWindowSize);
  DrawQuad({kPrimary, halfSecondary});
  glViewport(0, 0, test::kGlTestWindowSize, test::kGlTestWindowSize);
  EXPECT_EQ(GlCompatProgramCount(), programs);
  const auto red = [&](float c, float g) { return std::lround(255 * (c * stage1.x + g * 0.5f)); };
  EXPECT_NEAR(test::ReadPixel(8, 8).r, red(stage0.x, global0.x), 2);
  EXPECT_NEAR(test::ReadPixel(56, 8).r, red(other.x, global0.x), 2);
  // The value the program has given again, then the one it had before: the second reaches it.
  for (const Vec4* c : {&other, &stage0}) {
    Procs().stageParameterfv(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, &c->x);
    DrawQuad({kPrimary, halfSecondary});
    EXPECT_NEAR(test::ReadPixel(32, 32).r, red(c->x, global0.x), 2);
  }
  // Each program keeps the values it was given: a new global constant drawn with the global
  // program's turn reaches the per-stage program at its next draw too.
  const Vec4 global0Next{0.9f, 0.4f, 0.6f, 0.8f};
  glDisable(GL_PER_STAGE_CONSTANTS_NV);
  Procs().parameterfv(GL_CONSTANT_COLOR0_NV, &global0Next.x);
  DrawQuad({kPrimary, halfSecondary});
  glEnable(GL_PER_STAGE_CONSTANTS_NV);
  DrawQuad({kPrimary, halfSecondary});
  EXPECT_NEAR(test::ReadPixel(32, 32).r, red(stage0.x, global0Next.x), 2);
}

// The single-pass set-up of the textured object passes: light (blue of unit 0) x low-cloud
// shadow (blue of unit 2) x colour A + colour B, times the fog texture (unit 3), times the
// diffuse texture (unit 1) plus its alpha x colour 2 plus colour 1 (the secondary colour);
// alpha from the fog texture.
TEST_F(RegisterCombinersTest, SinglePassSetUpOfTexturedObjects) {
  const Vec4 light{0, 0, 0.7f, 1}, diffuse{0.6f, 0.4f, 0.2f, 0.5f}, cloud{0, 0, 0.8f, 1};
  const Vec4 fog{0.9f, 0.8f, 0.7f, 0.4f};
  const Vec4 colour2{0.2f, 0.4f, 0.6f, 1}, colour1{0.1f, 0.2f, 0.1f, 0};
  const Vec4 colourA{0.8f, 0.7f, 0.6f, 1}, colourB{0.1f, 0.1f, 0.2f, 1};
  Texel(0, light);
  Texel(1, diffuse);
  Texel(2, cloud);
  Texel(3, fog);
  glEnable(GL_PER_STAGE_CONSTANTS_NV);
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 2);
  Procs().stageParameterfv(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, &colour2.x);
  Procs().stageParameterfv(GL_COMBINER1_NV, GL_CONSTANT_COLOR0_NV, &colourA.x);
  Procs().stageParameterfv(GL_COMBINER1_NV, GL_CONSTANT_COLOR1_NV, &colourB.x);
  const Out toSpare0 = Outputs(GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
  const Out abToSpare0 = Outputs(GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV);
  General(0, GL_RGB, {GL_TEXTURE1_ARB, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA},
          {GL_CONSTANT_COLOR0_NV}, {GL_TEXTURE1_ARB}, kOne, toSpare0);
  General(0, GL_ALPHA, {GL_TEXTURE0_ARB, GL_UNSIGNED_IDENTITY_NV, GL_BLUE},
          {GL_TEXTURE2_ARB, GL_UNSIGNED_IDENTITY_NV, GL_BLUE}, kZero, kZero, abToSpare0);
  General(1, GL_RGB, {GL_SPARE0_NV, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA}, {GL_CONSTANT_COLOR0_NV},
          {GL_CONSTANT_COLOR1_NV}, kOne, Outputs(GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE1_NV));
  General(1, GL_ALPHA, {GL_TEXTURE3_ARB}, kOne, kZero, kZero, abToSpare0);
  Final({GL_E_TIMES_F_NV}, {GL_SPARE0_PLUS_SECONDARY_COLOR_NV}, kZero, kZero, {GL_SPARE1_NV},
        {GL_TEXTURE3_ARB}, {GL_SPARE0_NV});
  DrawQuad({{1, 1, 1, 1}, colour1});
  const auto channel = [&](float Vec4::*c) {
    const float spare0 = std::min(1.0f, diffuse.*c + diffuse.w * colour2.*c);
    const float spare1 = light.z * cloud.z * colourA.*c + colourB.*c;
    return spare1 * fog.*c * std::min(1.0f, spare0 + colour1.*c);
  };
  ExpectCentre({channel(&Vec4::x), channel(&Vec4::y), channel(&Vec4::z), fog.w}, "single pass");
}

TEST_F(RegisterCombinersTest, StateReadsBackAndOffSwitchesTheProgramAway) {
  General(3, GL_ALPHA, {GL_TEXTURE2_ARB, GL_EXPAND_NEGATE_NV, GL_BLUE}, kOne, kZero, kZero,
          Outputs(GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV, GL_SCALE_BY_TWO_NV));
  Procs().finalInput(GL_VARIABLE_G_NV, GL_TEXTURE1_ARB, GL_UNSIGNED_INVERT_NV, GL_BLUE);
  const auto input = [](GLenum pname) {
    GLint v = 0;
    Procs().getInputiv(GL_COMBINER3_NV, GL_ALPHA, GL_VARIABLE_A_NV, pname, &v);
    return v;
  };
  EXPECT_EQ(input(GL_COMBINER_INPUT_NV), GL_TEXTURE2_ARB);
  EXPECT_EQ(input(GL_COMBINER_MAPPING_NV), GL_EXPAND_NEGATE_NV);
  EXPECT_EQ(input(GL_COMBINER_COMPONENT_USAGE_NV), GL_BLUE);
  GLint value = 0;
  Procs().getOutputiv(GL_COMBINER3_NV, GL_ALPHA, GL_COMBINER_SCALE_NV, &value);
  EXPECT_EQ(value, GL_SCALE_BY_TWO_NV);
  Procs().getFinalInputiv(GL_VARIABLE_G_NV, GL_COMBINER_MAPPING_NV, &value);
  EXPECT_EQ(value, GL_UNSIGNED_INVERT_NV);
  // The counts of general combiners: 1 to 8 are taken, 0 and 9 refused.
  for (const GLint n : {8, 9, 0}) {
    Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, n);
    glGetIntegerv(GL_NUM_GENERAL_COMBINERS_NV, &value);
    EXPECT_EQ(value, 8);
  }
  Procs().parameteri(GL_NUM_GENERAL_COMBINERS_NV, 1);
  glGetIntegerv(GL_NUM_GENERAL_COMBINERS_NV, &value);
  EXPECT_EQ(value, 1);
  // Off again, the driver's own texturing draws: white modulated by the primary colour.
  EXPECT_TRUE(glIsEnabled(GL_REGISTER_COMBINERS_NV));
  glDisable(GL_REGISTER_COMBINERS_NV);
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  DrawQuad({kPrimary});
  ExpectCentre(kPrimary, "fixed function");

  // So do rectangles, and draws after an attribute pop that brought the driver's program
  // switch back on.
  FinalShows(GL_ZERO);
  for (const bool pop : {false, true}) {
    glEnable(GL_REGISTER_COMBINERS_NV);
    DrawQuad({kPrimary});
    ExpectCentre({0, 0, 0, 0}, "combiners");
    if (pop) glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_REGISTER_COMBINERS_NV);
    glColor4f(kPrimary.x, kPrimary.y, kPrimary.z, kPrimary.w);
    glRectf(-1, -1, 1, 1);
    ExpectCentre(kPrimary, "rectangle");
    if (!pop) continue;
    glPopAttrib();
    glClear(GL_COLOR_BUFFER_BIT);
    DrawQuad({kPrimary});
    ExpectCentre(kPrimary, "after the pop");
  }
  // A pop of the texture bit brings back the bindings: a bind after it reaches the driver.
  Texel(0, {1, 0, 0, 1});
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  const GLuint red = textures_.back();
  Texel(0, {0, 1, 0, 1});
  const GLuint green = textures_.back();
  glBindTexture(GL_TEXTURE_2D, red);
  glPushAttrib(GL_TEXTURE_BIT);
  glBindTexture(GL_TEXTURE_2D, green);
  glPopAttrib();
  glBindTexture(GL_TEXTURE_2D, green);
  DrawQuad({kPrimary});
  ExpectCentre({0, 1, 0, 1}, "bound after the pop");
}

}  // namespace
}  // namespace veskor
