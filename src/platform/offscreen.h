// Off-screen buffers, which stand in for the program's pbuffers: framebuffer objects (RGBA8
// colour, 24-bit depth with 8-bit stencil) in the window's context. "Making the pbuffer
// current" binds the buffer and sets its viewport; "back to the window" binds the window's
// framebuffer. Also answers the WGL pixel-format and pbuffer entry points over them and over
// SDL's context attributes. Used by the off-screen passes of render preparation.
#pragma once

#include <cstdint>

#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/gl_procs.h"

namespace veskor {

struct OffscreenBuffer;

enum class OffscreenStatus {
  kReady,
  kBadSize,         // not within 1 .. the driver's largest renderbuffer
  kNoFramebuffers,  // the driver has no framebuffer objects
  kIncomplete,      // the driver refused the attachments
};

// A buffer of that size in the current context; null when it cannot be had, with the reason
// in `status` (an incomplete framebuffer is reported, and the caller skips its pass).
OffscreenBuffer* OffscreenCreate(int width, int height, OffscreenStatus* status = nullptr);
void OffscreenDestroy(OffscreenBuffer* buffer);
int OffscreenWidth(const OffscreenBuffer* buffer);
int OffscreenHeight(const OffscreenBuffer* buffer);

// Draws into the buffer from now on, over its whole size.
void OffscreenMakeCurrent(const OffscreenBuffer* buffer);
// Draws into the window's framebuffer again (the caller restores its viewport).
void OffscreenRestoreWindow();

// Read a rectangle of the buffer, rows from the bottom, whatever is current: colour as RGBA
// bytes, depth as floats in [0, 1].
void OffscreenReadColor(const OffscreenBuffer* buffer, int x, int y, int width, int height,
                        std::uint8_t* rgba);
void OffscreenReadDepth(const OffscreenBuffer* buffer, int x, int y, int width, int height,
                        float* depth);
// Copies a rectangle of the buffer's colour into the texture bound to `target` (a 2-D or cube
// face target) at (xOffset, yOffset) of `level`.
void OffscreenCopyToTexture(const OffscreenBuffer* buffer, GLenum target, GLint level,
                            int xOffset, int yOffset, int x, int y, int width, int height);

// The WGL stand-ins by name (wglChoosePixelFormatARB, wglGetPixelFormatAttribivARB and fv,
// wglCreatePbufferARB, wglGetPbufferDCARB, wglReleasePbufferDCARB, wglDestroyPbufferARB,
// wglQueryPbufferARB); null for other names. A pbuffer's device context is the buffer itself.
GlProc OffscreenProcAddress(const char* name);

// The window pixel format that a format number of wglChoosePixelFormatARB stands for; false
// for numbers it never gave and for the pbuffer format.
bool OffscreenPixelFormat(int format, GlPixelFormat* out);

}  // namespace veskor
