// The switches a renderer pass may change, read before it and put back after it, so that the
// pass leaves the GL state as it found it whatever the caller had set (fog among them: the
// renderer's fog comes from the fog texture and GL's own fog stays as the caller left it).
#pragma once

#include "platform/gl.h"

namespace veskor {

struct PassState {
  GLboolean fog, depthTest, depthMask, blend, stencilTest;
  GLint activeUnit;
};

PassState PassStateSave();
void PassStateRestore(const PassState& state);

}  // namespace veskor
