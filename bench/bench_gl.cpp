#include "bench_gl.h"

#include <cstdlib>

#include "gfx/face_directions.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl_context.h"

namespace veskor {

bool BenchGlReady(std::uint32_t* extensionWord) {
  static int ready = -1;
  static std::uint32_t word = 0;
  if (ready < 0) {
    setenv("LP_NUM_THREADS", "2", 0);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindow* window = GlWindowCreate(GlWindowDesc{});
    ready = window != nullptr && GlContextCreate(window, nullptr) != nullptr ? 1 : 0;
    InitKernelTable();
    BuildFaceDirectionTables();
    if (ready == 1) {
      LoadWglExtensions();
      word = LoadGlExtensions();
      InitTextureNames();
    }
  }
  if (extensionWord != nullptr) *extensionWord = word;
  return ready == 1;
}

}  // namespace veskor
