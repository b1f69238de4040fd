#include "gfx/pbuffer.h"

#include "foundation/session_log.h"
#include "platform/gl.h"

namespace veskor {

namespace {

const char* StatusText(OffscreenStatus status) {
  switch (status) {
    case OffscreenStatus::kBadSize: return "size out of range";
    case OffscreenStatus::kNoFramebuffers: return "no framebuffer objects";
    case OffscreenStatus::kIncomplete: return "incomplete framebuffer";
    default: return "ready";
  }
}

}  // namespace

std::uint32_t PbufferCreate(Pbuffer& pbuffer, ViewPlane* owner, std::uint32_t width,
                            std::uint32_t height) {
  PbufferDestroy(pbuffer);
  pbuffer.owner = owner;
  pbuffer.width = width;
  pbuffer.height = height;
  OffscreenStatus status = OffscreenStatus::kBadSize;
  const std::uint32_t largest = 1u << 30;  // sizes past int are refused like any bad size
  if (width < largest && height < largest)
    pbuffer.buffer = OffscreenCreate(static_cast<int>(width), static_cast<int>(height), &status);
  pbuffer.valid = pbuffer.buffer != nullptr ? 1 : 0;
  if (pbuffer.valid == 0) {
    SessionLog& log = LogStream();
    LogWriteText(log, "Off-screen buffer ");
    LogWriteUnsigned(log, width);
    LogWriteText(log, " x ");
    LogWriteUnsigned(log, height);
    LogWriteText(log, " not available (");
    LogWriteText(log, StatusText(status));
    LogWriteText(log, "): the read-back passes draw in the window\n");
  }
  return pbuffer.valid;
}

std::uint32_t PbufferMakeCurrent(Pbuffer& pbuffer) {
  if (pbuffer.valid == 0) return 0;
  glGetIntegerv(GL_VIEWPORT, pbuffer.savedViewport);
  OffscreenMakeCurrent(pbuffer.buffer);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClearDepth(1.0);
  glViewport(0, 0, static_cast<GLsizei>(pbuffer.width), static_cast<GLsizei>(pbuffer.height));
  return 1;
}

void PbufferRestoreWindow(Pbuffer& pbuffer) {
  if (pbuffer.valid == 0) return;
  OffscreenRestoreWindow();
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  const std::int32_t* v = pbuffer.savedViewport;
  glViewport(v[0], v[1], v[2], v[3]);
}

void PbufferDestroy(Pbuffer& pbuffer) {
  OffscreenDestroy(pbuffer.buffer);
  pbuffer.buffer = nullptr;
  pbuffer.valid = 0;
}

}  // namespace veskor
