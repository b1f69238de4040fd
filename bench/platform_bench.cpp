// The cost the compatibility layer adds to a draw: a small quad drawn by the driver's fixed
// function, and the same quad through register combiners and through texture shaders (state
// read back, program found in the cache, bound). Without an X display SDL's offscreen driver
// gives the context. Pin LP_NUM_THREADS for comparable figures.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/gl_procs.h"

namespace veskor {
namespace {

GlProbe& Context() {
  static GlProbe probe;
  if (probe.context == nullptr) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 1);
    GlProbeOpen(probe);
  }
  return probe;
}

void DrawQuad() {
  glBegin(GL_QUADS);
  glVertex2f(-1, -1);
  glVertex2f(1, -1);
  glVertex2f(1, 1);
  glVertex2f(-1, 1);
  glEnd();
}

// Argument: 0 fixed function, 1 register combiners, 2 texture shaders, 3 fixed function with
// a state change before every quad (so that every quad is a draw of its own, as the layer's
// state reads make it).
void DrawSmallQuad(benchmark::State& state) {
  if (Context().context == nullptr) {
    state.SkipWithError("no GL context");
    return;
  }
  const GLenum cap = state.range(0) == 1 ? GL_REGISTER_COMBINERS_NV
                     : state.range(0) == 2 ? GL_TEXTURE_SHADER_NV
                                           : 0;
  if (cap != 0 && !GlExtensionInList(GlExtensionsString(), cap == GL_REGISTER_COMBINERS_NV
                                                               ? "GL_NV_register_combiners"
                                                               : "GL_NV_texture_shader")) {
    state.SkipWithError("the compatibility layer is off");
    return;
  }
  glViewport(0, 0, 8, 8);
  if (cap != 0) glEnable(cap);
  const bool separate = state.range(0) == 3;
  float width = 1;
  for (auto _ : state) {
    if (separate) glLineWidth(width = 3 - width);
    DrawQuad();
  }
  glFinish();
  if (cap != 0) glDisable(cap);
}
BENCHMARK(DrawSmallQuad)->Arg(0)->Arg(3)->Arg(1)->Arg(2);

}  // namespace
}  // namespace veskor
