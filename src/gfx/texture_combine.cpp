#include "gfx/texture_combine.h"

#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "platform/gl.h"

namespace veskor {

namespace {

struct Input {
  GLenum source;
  GLenum operand;
};

// GL_COMBINE_ARB (or GL_COMBINE4_NV) with an RGB function over up to four inputs.
void Combine(GLenum envMode, GLenum function, const float* envColour, const Input* inputs,
             int count) {
  static const GLenum kSources[4] = {GL_SOURCE0_RGB_ARB, GL_SOURCE1_RGB_ARB, GL_SOURCE2_RGB_ARB,
                                     GL_SOURCE3_RGB_NV};
  static const GLenum kOperands[4] = {GL_OPERAND0_RGB_ARB, GL_OPERAND1_RGB_ARB,
                                      GL_OPERAND2_RGB_ARB, GL_OPERAND3_RGB_NV};
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLint>(envMode));
  if (envColour != nullptr) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColour);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<GLint>(function));
  for (int i = 0; i < count; ++i) {
    glTexEnvi(GL_TEXTURE_ENV, kSources[i], static_cast<GLint>(inputs[i].source));
    glTexEnvi(GL_TEXTURE_ENV, kOperands[i], static_cast<GLint>(inputs[i].operand));
  }
}

// The recipes, by number.
void Recipe(int recipe, const float* colour0, const float* colour1) {
  switch (recipe) {
    case 1: {  // texture alpha x colour 1 + texture RGB, in one NV combine4 stage
      const Input in[4] = {{GL_TEXTURE, GL_SRC_ALPHA},
                           {GL_CONSTANT_ARB, GL_SRC_COLOR},
                           {GL_TEXTURE, GL_SRC_COLOR},
                           {GL_ZERO, GL_ONE_MINUS_SRC_COLOR}};
      Combine(GL_COMBINE4_NV, GL_ADD, colour1, in, 4);
      break;
    }
    case 2: {  // texture alpha x colour 1 + texture RGB, with modulate-add
      const Input in[3] = {{GL_TEXTURE, GL_SRC_ALPHA},
                           {GL_TEXTURE, GL_SRC_COLOR},
                           {GL_CONSTANT_ARB, GL_SRC_COLOR}};
      Combine(GL_COMBINE_ARB, GL_MODULATE_ADD_ATI, colour1, in, 3);
      break;
    }
    case 3: {  // texture alpha - texture RGB
      const Input in[2] = {{GL_TEXTURE, GL_SRC_ALPHA}, {GL_TEXTURE, GL_SRC_COLOR}};
      Combine(GL_COMBINE_ARB, GL_SUBTRACT_ARB, colour1, in, 2);
      break;
    }
    case 4: {  // texture alpha x colour 1
      const Input in[2] = {{GL_TEXTURE, GL_SRC_ALPHA}, {GL_CONSTANT_ARB, GL_SRC_COLOR}};
      Combine(GL_COMBINE_ARB, GL_MODULATE, colour1, in, 2);
      break;
    }
    case 5: {  // previous + colour 0
      const Input in[2] = {{GL_PREVIOUS_ARB, GL_SRC_COLOR}, {GL_CONSTANT_ARB, GL_SRC_COLOR}};
      Combine(GL_COMBINE_ARB, GL_ADD, colour0, in, 2);
      break;
    }
    case 6: {  // previous + texture RGB
      const Input in[2] = {{GL_PREVIOUS_ARB, GL_SRC_COLOR}, {GL_TEXTURE, GL_SRC_COLOR}};
      Combine(GL_COMBINE_ARB, GL_ADD, nullptr, in, 2);
      break;
    }
    default:  // plain
      glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      break;
  }
}

}  // namespace

void SetTextureCombine(std::uint32_t mode, std::int32_t pass, const float* colour0,
                       const float* colour1) {
  const bool combine4 = HasExtension(kExtTextureEnvCombine4) != 0;
  const bool combine3 = HasExtension(kExtTextureEnvCombine3) != 0;
  int recipe = 7;
  if (mode == kModeSplit) {
    recipe = combine4 ? 1 : combine3 ? 2 : 3;
  } else if (mode == kModeSplitOnBasis) {
    if (pass == 0)
      recipe = combine4 ? 1 : combine3 ? 2 : 4;
    else
      recipe = (combine4 || combine3) ? 5 : 6;
  }
  Recipe(recipe, colour0, colour1);
}

void SetCombine(const CombineSetup& c) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<GLint>(c.rgbFunction));
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, static_cast<GLint>(c.rgb0));
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, static_cast<GLint>(c.rgbOperand0));
  if (c.rgb1 != 0) {
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, static_cast<GLint>(c.rgb1));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, static_cast<GLint>(c.alphaFunction));
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, static_cast<GLint>(c.alpha0));
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, static_cast<GLint>(c.alphaOperand0));
  if (c.alpha1 != 0) {
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, static_cast<GLint>(c.alpha1));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA_ARB, GL_SRC_ALPHA);
  }
}

}  // namespace veskor
