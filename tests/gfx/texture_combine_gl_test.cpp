// The texture-environment recipes as GL reports them. That each recipe gives back the colour
// of a split texture is drawn in texture_object_gl_test.cpp.
#include "gfx/texture_combine.h"

#include <gtest/gtest.h>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using test::GfxGlTest;

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
  const struct {
    std::uint32_t combiners, mode;
    std::int32_t pass;
    int recipe;
  } cases[] = {
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
  const GLenum sources[4] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB, GL_SOURCE3_RGB_NV};
  const GLenum operands[4] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB,
                              GL_OPERAND3_RGB_NV};
  const std::uint32_t mask = ExtensionMask & ~(both | kExtRegisterCombiners2);
  for (const auto& c : cases) {
    ExtensionMask = mask | c.combiners;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, kUnset);
    glColor4f(1, 0, 0, 0.5f);
    SetTextureCombine(c.mode, c.pass, kColour0, kColour1);

    const Recipe& r = kRecipes[c.recipe];
    SCOPED_TRACE(c.recipe);
    EXPECT_EQ(Env(GL_TEXTURE_ENV_MODE), r.envMode);
    if (r.function != 0) {
      EXPECT_EQ(Env(GL_COMBINE_RGB), r.function);
    }
    for (int i = 0; i < 4 && r.sources[i] != 0; ++i) {
      EXPECT_EQ(Env(sources[i]), r.sources[i]) << "input " << i;
      EXPECT_EQ(Env(operands[i]), r.operands[i]) << "input " << i;
    }
    GLfloat colour[4] = {};
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(colour[k], r.envColour[k]);
    GLfloat current[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(current[1], c.recipe == 7 ? 1.0f : 0.0f);  // the plain recipe resets it to white
  }
}

}  // namespace
}  // namespace veskor
