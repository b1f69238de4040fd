// The texture-environment recipes, drawn over one texel and read back. That each recipe gives
// back the colour of a split texture is drawn in texture_upload_gl_test.cpp.
#include "gfx/texture_combine.h"

#include <gtest/gtest.h>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;

GLint Env(GLenum name) {
  GLint value = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, name, &value);
  return value;
}

TEST_F(GfxGlTest, RecipesFollowModePassAndCombinerExtensions) {
  const std::uint32_t both = kExtTextureEnvCombine4 | kExtTextureEnvCombine3;
  // The recipes: 1 and 2 texture alpha x colour 1 + texture RGB (2 without the combine4
  // stage), 3 alpha - RGB, 4 alpha x colour 1, 5 previous + colour 0, 6 previous + RGB, 7 the
  // plain modulation by white.
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
  const std::uint8_t texel[4] = {51, 26, 77, 128};
  const float colour0[4] = {0.25f, 0.5f, 0.375f, 0.0f};
  const float colour1[4] = {0.4f, 0.8f, 0.2f, 0.0f};
  const float previous[4] = {0.2f, 0.1f, 0.4f, 1.0f};  // the current colour, in unit 0
  const auto want = [&](int recipe, int k) {
    const float rgb = texel[k] / 255.0f, alpha = texel[3] / 255.0f;
    switch (recipe) {
      case 1: case 2: return alpha * colour1[k] + rgb;
      case 3: return alpha - rgb;
      case 4: return alpha * colour1[k];
      case 5: return previous[k] + colour0[k];
      case 6: return previous[k] + rgb;
      default: return rgb;
    }
  };
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  const std::uint32_t mask = ExtensionMask & ~(both | kExtRegisterCombiners2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recipe);
    ExtensionMask = mask | c.combiners;
    glColor4fv(previous);
    SetTextureCombine(c.mode, c.pass, colour0, colour1);
    // No recipe uses a combiner the board lacks.
    const GLint envMode = Env(GL_TEXTURE_ENV_MODE);
    EXPECT_TRUE(envMode != GL_COMBINE4_NV || (c.combiners & kExtTextureEnvCombine4));
    EXPECT_TRUE(envMode != GL_COMBINE || Env(GL_COMBINE_RGB) != GL_MODULATE_ADD_ATI ||
                (c.combiners & kExtTextureEnvCombine3));
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTexturedQuad();
    const Rgba p = ReadPixel(32, 32);
    const std::uint8_t drawn[3] = {p.r, p.g, p.b};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(drawn[k], want(c.recipe, k) * 255.0f, 1.5f) << k;
  }
  glDeleteTextures(1, &name);
  SetTextureCombine(kModePlain, 0, nullptr, nullptr);
}

}  // namespace
}  // namespace veskor
