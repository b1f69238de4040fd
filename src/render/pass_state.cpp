#include "render/pass_state.h"

#include "gfx/gl_entry_points.h"

namespace veskor {

namespace {

void Set(GLenum cap, GLboolean on) {
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
}

}  // namespace

PassState PassStateSave() {
  PassState s{};
  s.fog = glIsEnabled(GL_FOG);
  s.depthTest = glIsEnabled(GL_DEPTH_TEST);
  s.blend = glIsEnabled(GL_BLEND);
  s.stencilTest = glIsEnabled(GL_STENCIL_TEST);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &s.activeUnit);
  return s;
}

void PassStateRestore(const PassState& s) {
  Set(GL_FOG, s.fog);
  Set(GL_DEPTH_TEST, s.depthTest);
  Set(GL_BLEND, s.blend);
  Set(GL_STENCIL_TEST, s.stencilTest);
  glDepthMask(s.depthMask);
  glActiveTextureARB(static_cast<GLenum>(s.activeUnit));
}

}  // namespace veskor
