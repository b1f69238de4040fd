#include "platform/offscreen.h"

#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/wgl_tokens.h"

namespace veskor {

struct OffscreenBuffer {
  GLuint framebuffer;
  GLuint colour;
  GLuint depthStencil;
  int width;
  int height;
};

namespace {

struct FramebufferProcs {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
};

template <typename T>
T Load(const char* name) {
  return reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
}

const FramebufferProcs& Fbo() {
  static const FramebufferProcs procs{
      Load<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers"),
      Load<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers"),
      Load<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer"),
      Load<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus"),
      Load<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers"),
      Load<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers"),
      Load<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer"),
      Load<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage"),
      Load<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer"),
  };
  return procs;
}

bool DriverHasFramebuffers() {
  const GLubyte* list = ::glGetString(GL_EXTENSIONS);
  return list != nullptr &&
         GlExtensionInList(reinterpret_cast<const char*>(list), "GL_ARB_framebuffer_object");
}

// Runs f with the buffer bound for reading, then binds back what was bound.
template <typename F>
void WhileReading(const OffscreenBuffer* buffer, F f) {
  GLint previous = 0;
  ::glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  Fbo().bindFramebuffer(GL_READ_FRAMEBUFFER, buffer->framebuffer);
  f();
  Fbo().bindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
}

template <typename T>
void ReadPixels(const OffscreenBuffer* buffer, int x, int y, int width, int height,
                GLenum format, GLenum type, T* pixels) {
  WhileReading(buffer, [&] {
    GLint alignment = 4;
    ::glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    ::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    ::glReadPixels(x, y, width, height, format, type, pixels);
    ::glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  });
}

// ---- Pixel formats -----------------------------------------------------------------------

struct PixelFormat {
  int colour, alpha, depth, stencil, samples;
  bool pbuffer;
};

// Format 1 is the framebuffer objects' format; window formats found are numbered from 2.
constexpr PixelFormat kPbufferFormat{24, 8, 24, 8, 0, true};

std::vector<PixelFormat>& WindowFormats() {
  static std::vector<PixelFormat> formats;
  return formats;
}

const PixelFormat* FormatOf(int number) {
  if (number == 1) return &kPbufferFormat;
  const std::vector<PixelFormat>& formats = WindowFormats();
  const int i = number - 2;
  return i >= 0 && i < static_cast<int>(formats.size()) ? &formats[i] : nullptr;
}

int Attribute(const PixelFormat& f, int attribute) {
  switch (attribute) {
    case kWglDrawToWindow: return f.pbuffer ? 0 : 1;
    case kWglDrawToPbuffer: return f.pbuffer ? 1 : 0;
    case kWglSupportOpenGl: return 1;
    case kWglAcceleration: return kWglFullAcceleration;
    case kWglPixelType: return kWglTypeRgba;
    case kWglDoubleBuffer: return f.pbuffer ? 0 : 1;
    case kWglColorBits: return f.colour;
    case kWglAlphaBits: return f.alpha;
    case kWglDepthBits: return f.depth;
    case kWglStencilBits: return f.stencil;
    case kWglSampleBuffers: return f.samples > 0 ? 1 : 0;
    case kWglSamples: return f.samples;
    default: return 0;
  }
}

int ChoosePixelFormat(void*, const int* attributes, const float*, unsigned maxFormats,
                      int* formats, unsigned* count) {
  PixelFormat wanted{0, 0, 0, 0, 0, false};
  int sampleBuffers = -1;  // not given
  bool window = false;
  bool doubleBuffer = false;
  bool possible = true;
  for (const int* a = attributes; a != nullptr && a[0] != 0; a += 2) {
    const int value = a[1];
    switch (a[0]) {
      case kWglDrawToPbuffer: wanted.pbuffer = value != 0; break;
      case kWglDrawToWindow: window = value != 0; break;
      case kWglDoubleBuffer: doubleBuffer = value != 0; break;
      case kWglColorBits: wanted.colour = value; break;
      case kWglAlphaBits: wanted.alpha = value; break;
      case kWglDepthBits: wanted.depth = value; break;
      case kWglStencilBits: wanted.stencil = value; break;
      case kWglSampleBuffers: sampleBuffers = value; break;
      case kWglSamples: wanted.samples = value; break;
      case kWglPixelType: possible = possible && value == kWglTypeRgba; break;
      case kWglStereo:
      case kWglDrawToBitmap:
      case kWglAuxBuffers: possible = possible && value == 0; break;
      default: break;  // support, acceleration: always so
    }
  }
  if (sampleBuffers == 0) wanted.samples = 0;
  if (sampleBuffers > 0 && wanted.samples == 0) wanted.samples = 2;
  *count = 0;
  if (!possible || maxFormats == 0) return 1;
  if (wanted.pbuffer) {
    // Framebuffer objects: one format, single-buffered, without samples.
    const PixelFormat& f = kPbufferFormat;
    if (!window && !doubleBuffer && wanted.colour <= f.colour && wanted.alpha <= f.alpha &&
        wanted.depth <= f.depth && wanted.stencil <= f.stencil && wanted.samples == 0) {
      formats[0] = 1;
      *count = 1;
    }
    return 1;
  }
  // A window format: SDL's attributes are minimums too; what the driver gives is kept.
  GlPixelFormat ask;
  ask.colourBits = wanted.colour + wanted.alpha;
  ask.alphaBits = wanted.alpha;
  ask.depthBits = wanted.depth;
  ask.stencilBits = wanted.stencil;
  ask.samples = wanted.samples;
  GlPixelFormat got;
  if (!GlPixelFormatAvailable(ask, &got)) return 1;
  WindowFormats().push_back(
      {got.colourBits - got.alphaBits, got.alphaBits, got.depthBits, got.stencilBits,
       got.samples, false});
  formats[0] = static_cast<int>(WindowFormats().size()) + 1;
  *count = 1;
  return 1;
}

int GetPixelFormatAttribiv(void*, int format, int, unsigned count, const int* attributes,
                           int* values) {
  const PixelFormat* f = FormatOf(format);
  if (f == nullptr) return 0;
  for (unsigned i = 0; i < count; ++i) values[i] = Attribute(*f, attributes[i]);
  return 1;
}

int GetPixelFormatAttribfv(void*, int format, int, unsigned count, const int* attributes,
                           float* values) {
  const PixelFormat* f = FormatOf(format);
  if (f == nullptr) return 0;
  for (unsigned i = 0; i < count; ++i) values[i] = static_cast<float>(Attribute(*f, attributes[i]));
  return 1;
}

// ---- Pbuffers ----------------------------------------------------------------------------

void* CreatePbuffer(void*, int format, int width, int height, const int*) {
  const PixelFormat* f = FormatOf(format);
  if (f == nullptr || !f->pbuffer) return nullptr;
  return OffscreenCreate(width, height);
}

void* GetPbufferDc(void* pbuffer) { return pbuffer; }

int ReleasePbufferDc(void* pbuffer, void* dc) { return pbuffer != nullptr && dc == pbuffer; }

int DestroyPbuffer(void* pbuffer) {
  if (pbuffer == nullptr) return 0;
  OffscreenDestroy(static_cast<OffscreenBuffer*>(pbuffer));
  return 1;
}

int QueryPbuffer(void* pbuffer, int attribute, int* value) {
  const auto* buffer = static_cast<const OffscreenBuffer*>(pbuffer);
  if (buffer == nullptr) return 0;
  switch (attribute) {
    case kWglPbufferWidth: *value = buffer->width; return 1;
    case kWglPbufferHeight: *value = buffer->height; return 1;
    case kWglPbufferLost: *value = 0; return 1;  // framebuffer objects are never lost
    default: return 0;
  }
}

template <typename F>
GlProc Proc(F* f) {
  return reinterpret_cast<GlProc>(f);
}

}  // namespace

OffscreenBuffer* OffscreenCreate(int width, int height, OffscreenStatus* status) {
  OffscreenStatus ignored;
  if (status == nullptr) status = &ignored;
  if (!DriverHasFramebuffers()) {
    *status = OffscreenStatus::kNoFramebuffers;
    return nullptr;
  }
  GLint largest = 0;
  ::glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  if (width < 1 || height < 1 || width > largest || height > largest) {
    *status = OffscreenStatus::kBadSize;
    return nullptr;
  }
  const FramebufferProcs& f = Fbo();
  auto* buffer = new OffscreenBuffer{0, 0, 0, width, height};
  GLint previous = 0;
  ::glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
  f.genFramebuffers(1, &buffer->framebuffer);
  f.bindFramebuffer(GL_FRAMEBUFFER, buffer->framebuffer);
  const struct {
    GLuint* name;
    GLenum format;
    GLenum attachment;
  } attachments[] = {{&buffer->colour, GL_RGBA8, GL_COLOR_ATTACHMENT0},
                     {&buffer->depthStencil, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL_ATTACHMENT}};
  for (const auto& a : attachments) {
    f.genRenderbuffers(1, a.name);
    f.bindRenderbuffer(GL_RENDERBUFFER, *a.name);
    f.renderbufferStorage(GL_RENDERBUFFER, a.format, width, height);
    f.framebufferRenderbuffer(GL_FRAMEBUFFER, a.attachment, GL_RENDERBUFFER, *a.name);
  }
  f.bindRenderbuffer(GL_RENDERBUFFER, 0);
  const bool complete = f.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  f.bindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
  if (!complete) {
    OffscreenDestroy(buffer);
    *status = OffscreenStatus::kIncomplete;
    return nullptr;
  }
  *status = OffscreenStatus::kReady;
  return buffer;
}

void OffscreenDestroy(OffscreenBuffer* buffer) {
  if (buffer == nullptr) return;
  const FramebufferProcs& f = Fbo();
  GLint bound = 0;
  ::glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  if (static_cast<GLuint>(bound) == buffer->framebuffer) f.bindFramebuffer(GL_FRAMEBUFFER, 0);
  f.deleteFramebuffers(1, &buffer->framebuffer);
  f.deleteRenderbuffers(1, &buffer->colour);
  f.deleteRenderbuffers(1, &buffer->depthStencil);
  delete buffer;
}

int OffscreenWidth(const OffscreenBuffer* buffer) { return buffer->width; }
int OffscreenHeight(const OffscreenBuffer* buffer) { return buffer->height; }

void OffscreenMakeCurrent(const OffscreenBuffer* buffer) {
  Fbo().bindFramebuffer(GL_FRAMEBUFFER, buffer->framebuffer);
  ::glViewport(0, 0, buffer->width, buffer->height);
}

void OffscreenRestoreWindow() { Fbo().bindFramebuffer(GL_FRAMEBUFFER, 0); }

void OffscreenReadColor(const OffscreenBuffer* buffer, int x, int y, int width, int height,
                        std::uint8_t* rgba) {
  ReadPixels(buffer, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

void OffscreenReadDepth(const OffscreenBuffer* buffer, int x, int y, int width, int height,
                        float* depth) {
  ReadPixels(buffer, x, y, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
}

void OffscreenCopyToTexture(const OffscreenBuffer* buffer, GLenum target, GLint level,
                            int xOffset, int yOffset, int x, int y, int width, int height) {
  WhileReading(buffer, [&] {
    ::glCopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height);
  });
}

GlProc OffscreenProcAddress(const char* name) {
  static const struct {
    const char* name;
    GlProc proc;
  } procs[] = {
      {"wglChoosePixelFormatARB", Proc(&ChoosePixelFormat)},
      {"wglGetPixelFormatAttribivARB", Proc(&GetPixelFormatAttribiv)},
      {"wglGetPixelFormatAttribfvARB", Proc(&GetPixelFormatAttribfv)},
      {"wglCreatePbufferARB", Proc(&CreatePbuffer)},
      {"wglGetPbufferDCARB", Proc(&GetPbufferDc)},
      {"wglReleasePbufferDCARB", Proc(&ReleasePbufferDc)},
      {"wglDestroyPbufferARB", Proc(&DestroyPbuffer)},
      {"wglQueryPbufferARB", Proc(&QueryPbuffer)},
  };
  for (const auto& p : procs)
    if (std::strcmp(p.name, name) == 0) return p.proc;
  return nullptr;
}

bool OffscreenPixelFormat(int format, GlPixelFormat* out) {
  const PixelFormat* f = FormatOf(format);
  if (f == nullptr || f->pbuffer) return false;
  out->colourBits = f->colour + f->alpha;
  out->alphaBits = f->alpha;
  out->depthBits = f->depth;
  out->stencilBits = f->stencil;
  out->samples = f->samples;
  return true;
}

}  // namespace veskor
