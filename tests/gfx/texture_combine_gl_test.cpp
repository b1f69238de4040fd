#include "gfx/texture_combine.h"

#include <gtest/gtest.h>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using test::DrawTexturedQuad;
using test::GfxGlTest;
using test::ReadPixel;

GLint Env(GLenum name) {
  GLint value = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, name, &value);
  return value;
}

const float kColour0[4] = {0.25f, 0.5f, 0.75f, 0.0f};
const float kColour1[4] = {0.4f, 0.8f, 0.2f, 0.0f};
const float kUnset[4] = {0.125f, 0.125f, 0.125f, 0.125f};

struct Recipe {
  GLint envMode;
  GLint function;
  GLint sources[4];
  GLint operands[4];
  const float* envColour;
};

const Recipe kRecipes[8] = {
    {},
    {GL_COMBINE4_NV, GL_ADD, {GL_TEXTURE, GL_CONSTANT, GL_TEXTURE, GL_ZERO},
     {GL_SRC_ALPHA, GL_SRC_COLOR, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR}, kColour1},
    {GL_COMBINE, GL_MODULATE_ADD_ATI, {GL_TEXTURE, GL_TEXTURE, GL_CONSTANT},
     {GL_SRC_ALPHA, GL_SRC_COLOR, GL_SRC_COLOR}, kColour1},
    {GL_COMBINE, GL_SUBTRACT, {GL_TEXTURE, GL_TEXTURE}, {GL_SRC_ALPHA, GL_SRC_COLOR}, kColour1},
    {GL_COMBINE, GL_MODULATE, {GL_TEXTURE, GL_CONSTANT}, {GL_SRC_ALPHA, GL_SRC_COLOR}, kColour1},
    {GL_COMBINE, GL_ADD, {GL_PREVIOUS, GL_CONSTANT}, {GL_SRC_COLOR, GL_SRC_COLOR}, kColour0},
    {GL_COMBINE, GL_ADD, {GL_PREVIOUS, GL_TEXTURE}, {GL_SRC_COLOR, GL_SRC_COLOR}, kUnset},
    {GL_MODULATE, 0, {}, {}, kUnset},
};

TEST_F(GfxGlTest, RecipesFollowModePassAndCombinerExtensions) {
  const std::uint32_t both = kExtTextureEnvCombine4 | kExtTextureEnvCombine3;
  struct Case {
    std::uint32_t combiners;
    std::uint32_t mode;
    std::int32_t pass;
    int recipe;
  };
  const Case cases[] = {
      {both, kModeSplit, 0, 1},
      {kExtTextureEnvCombine3, kModeSplit, 1, 2},
      {0, kModeSplit, 7, 3},
      {both, kModeSplitOnBasis, 0, 1},
      {kExtTextureEnvCombine3, kModeSplitOnBasis, 0, 2},
      {kExtRegisterCombiners2, kModeSplitOnBasis, 0, 4},
      {kExtTextureEnvCombine4, kModeSplitOnBasis, 1, 5},
      {kExtTextureEnvCombine3, kModeSplitOnBasis, 1, 5},
      {kExtRegisterCombiners2, kModeSplitOnBasis, 1, 6},
      {both, kModePlain, 0, 7},
      {both, kModeCompressed, 1, 7},
      {0, 4, 0, 7},
  };
  const std::uint32_t mask = ExtensionMask;
  for (const Case& c : cases) {
    ExtensionMask = (mask & ~both) | c.combiners;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, kUnset);
    glColor4f(1, 0, 0, 0.5f);
    SetTextureCombine(c.mode, c.pass, kColour0, kColour1);

    const Recipe& r = kRecipes[c.recipe];
    EXPECT_EQ(Env(GL_TEXTURE_ENV_MODE), r.envMode) << "recipe " << c.recipe;
    if (r.function != 0) {
      EXPECT_EQ(Env(GL_COMBINE_RGB), r.function) << "recipe " << c.recipe;
    }
    const GLenum sources[4] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB, GL_SOURCE3_RGB_NV};
    const GLenum operands[4] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB,
                                GL_OPERAND3_RGB_NV};
    for (int i = 0; i < 4 && r.sources[i] != 0; ++i) {
      EXPECT_EQ(Env(sources[i]), r.sources[i]) << "recipe " << c.recipe << " input " << i;
      EXPECT_EQ(Env(operands[i]), r.operands[i]) << "recipe " << c.recipe << " input " << i;
    }
    GLfloat colour[4] = {};
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(colour[k], r.envColour[k]) << c.recipe;
    GLfloat current[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[1], c.recipe == 7 ? 1.0f : 0.0f) << c.recipe;
  }
  ExtensionMask = mask;
}

TEST_F(GfxGlTest, SplitRecipesGiveBackTheColour) {
  // Texel (0.2, 0.1, 0, 0.5): the combine4 and combine3 recipes give alpha x colour 1 + RGB,
  // the subtract recipe alpha - RGB, the modulate recipe alpha x colour 1.
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const std::uint8_t texel[4] = {51, 25, 0, 128};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  struct Case {
    std::uint32_t combiners;
    std::uint32_t mode;
    int r, g, b;
  };
  const Case cases[] = {
      {kExtTextureEnvCombine4, kModeSplit, 102, 127, 25},
      {kExtTextureEnvCombine3, kModeSplit, 102, 127, 25},
      {0, kModeSplit, 77, 103, 128},
      {0, kModeSplitOnBasis, 50, 100, 25},
  };
  const std::uint32_t mask = ExtensionMask;
  for (const Case& c : cases) {
    ExtensionMask = c.combiners;
    SetTextureCombine(c.mode, 0, kColour0, kColour1);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTexturedQuad();
    const test::Rgba p = ReadPixel(32, 32);
    EXPECT_NEAR(p.r, c.r, 2) << c.combiners << " " << c.mode;
    EXPECT_NEAR(p.g, c.g, 2) << c.combiners << " " << c.mode;
    EXPECT_NEAR(p.b, c.b, 2) << c.combiners << " " << c.mode;
  }
  ExtensionMask = mask;
  SetTextureCombine(kModePlain, 0, kColour0, kColour1);
  glDeleteTextures(1, &name);
}

}  // namespace
}  // namespace veskor
