// Pbuffer: the off-screen render target of the sun-shadow passes of render preparation, an
// off-screen buffer of the platform layer (a framebuffer object in the window's context), so
// "making the pbuffer current" binds it and "back to the window" binds the window's buffer.
// A buffer that cannot be had is reported once in the session log and stays invalid; the
// passes then draw in the window's back buffer.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"
#include "platform/offscreen.h"

namespace veskor {

struct Pbuffer {
  ViewPlane* owner = nullptr;  // the window drawn into again after a pass
  std::uint32_t width = 0, height = 0;
  OffscreenBuffer* buffer = nullptr;   // the buffer, its context and its device context in one
  std::int32_t savedViewport[4] = {};  // the window's viewport while the buffer is current
  std::uint32_t valid = 0;             // 1 when the buffer was had
};

// Makes a width x height buffer in the current context for the window `owner`. When the
// platform refuses it (no framebuffer objects, a size out of range, an incomplete buffer) the
// reason goes to the session log and the pbuffer stays invalid. Returns `valid`.
std::uint32_t PbufferCreate(Pbuffer& pbuffer, ViewPlane* owner, std::uint32_t width,
                            std::uint32_t height);

// Only for a valid pbuffer (returns 0 and does nothing otherwise): keeps the window's
// viewport, makes the buffer current, depth test on with GL_LESS, clear depth 1, viewport the
// whole buffer. Returns 1.
std::uint32_t PbufferMakeCurrent(Pbuffer& pbuffer);
// Only for a valid pbuffer: the window's buffer current again, drawing to and reading from
// its back buffer, its viewport back.
void PbufferRestoreWindow(Pbuffer& pbuffer);
// Releases the buffer (when there is one); valid becomes 0. Safe to call twice.
void PbufferDestroy(Pbuffer& pbuffer);

}  // namespace veskor
