#include "environment/screen_overlay.h"

#include "platform/gl.h"

namespace veskor {

bool BeginScreenOverlay() {
  const bool fog = glIsEnabled(GL_FOG) != GL_FALSE;
  glDisable(GL_FOG);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  return fog;
}

void EndScreenOverlay(bool fogWasOn) {
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  if (fogWasOn) glEnable(GL_FOG);
  glDepthMask(GL_TRUE);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

}  // namespace veskor
