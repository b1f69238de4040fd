#include "app/stencil_rect.h"

#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

StencilRect PendingStencilRect{};

void StencilRectAdd(float x0, float y0, float x1, float y1) {
  StencilRect& r = PendingStencilRect;
  if (r.pending == 0) {
    r = {x0, y0, x1, y1, 1};
    return;
  }
  r.x0 = gKernelTable.KernelMin(r.x0, x0);
  r.y0 = gKernelTable.KernelMin(r.y0, y0);
  r.x1 = gKernelTable.KernelMax(r.x1, x1);
  r.y1 = gKernelTable.KernelMax(r.y1, y1);
}

void StencilRectFlush() {
  StencilRect& r = PendingStencilRect;
  if (r.pending == 0) return;
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, ~0u);
  glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glBegin(GL_QUADS);
  glVertex3f(r.x0, r.y0, 0.0f);
  glVertex3f(r.x1, r.y0, 0.0f);
  glVertex3f(r.x1, r.y1, 0.0f);
  glVertex3f(r.x0, r.y1, 0.0f);
  glEnd();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_STENCIL_TEST);
  r.pending = 0;
}

}  // namespace veskor
