// The texture environment of the active texture unit for the mode of the texture just bound:
// the split modes hold their colour as a weight in alpha and a remainder in RGB, which only
// the combiner turns back into a colour.
#pragma once

#include <cstdint>

#include "platform/gl.h"

namespace veskor {

// A combine environment of the active texture unit (GL_COMBINE_ARB): the function of the
// colour and of the alpha, each with its first source and operand and a second source, 0 for
// none, taken as its colour (as its alpha for the alpha function).
struct CombineSetup {
  GLenum rgbFunction, rgb0, rgbOperand0, rgb1;
  GLenum alphaFunction, alpha0, alphaOperand0, alpha1;
};
void SetCombine(const CombineSetup& c);

// `pass` 0 is the first (or only) pass over the texture, non-zero the second pass of a
// two-pass mode-3 texture. Colours 0 and 1 are the texture's (four floats, fourth 0). Every
// mode other than 2 and 3 gives the plain environment (GL_MODULATE, current colour white).
void SetTextureCombine(std::uint32_t mode, std::int32_t pass, const float* colour0,
                       const float* colour1);

}  // namespace veskor
