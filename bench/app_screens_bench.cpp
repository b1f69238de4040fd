// The application shell's screens: the animation tracks' walk over 100 running cubic tracks
// (what a frame pays for them), and the information panel's 24 lines formatted and handed to
// its text list (laid out, drawn into its textures and uploaded), before a world and with one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/animation_tracks.h"
#include "app/info_panel.h"
#include "app/main_plane.h"
#include "app/text_resources.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "gui/gui_globals.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"

namespace veskor {
namespace {

void UpdateAll100Tracks(benchmark::State& state) {
  static float targets[100];
  static AnimationHandle handles[100];
  for (int i = 0; i < 100; ++i) {
    AnimationStart(&targets[i], 0, 0, &handles[i], 1);
    // Segments long enough never to end while measured.
    for (int k = 0; k < 3; ++k) AnimationAddKey(static_cast<float>(k + i), 1e9f, nullptr);
    AnimationRestartLast();
  }
  for (auto _ : state) {
    AnimationUpdateBy(1.0f / 60);
    benchmark::DoNotOptimize(targets[99]);
  }
  for (AnimationHandle& h : handles) AnimationStop(&h);
}
BENCHMARK(UpdateAll100Tracks);

// A hidden 1024 x 768 window with a current context and the driver's extensions.
struct BenchWindow {
  BenchWindow() {
    setenv("LP_NUM_THREADS", "2", 0);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindowDesc desc;
    desc.width = 1024;
    desc.height = 768;
    window = GlWindowCreate(desc);
    context = window != nullptr ? GlContextCreate(window, nullptr) : nullptr;
    if (context == nullptr) return;
    PixelSize = {1.0f / 1024, 1.0f / 768};
    InitKernelTable();
    LoadWglExtensions();
    gMainPlane.extensionMask = LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    for (int i = 0; i < 24; ++i)
      std::snprintf(TextResources[23 + i].text, kTextResourceBytes, "Label of line %d", i);
  }
  ~BenchWindow() {
    if (context != nullptr) GlContextDestroy(context);
    if (window != nullptr) GlWindowDestroy(window);
  }
  bool Ready(benchmark::State& state) const {
    if (context == nullptr) state.SkipWithError(GlLastError());
    return context != nullptr;
  }
  GlWindow* window = nullptr;
  GlContext* context = nullptr;
};

void ShowInfoPanelLines(benchmark::State& state) {
  BenchWindow gl;
  if (!gl.Ready(state)) return;
  WorldReady = 0;
  ShowInfoPanel();  // the list's set-up
  WorldReady = static_cast<std::uint32_t>(state.range(0));
  InfoRecord& info = gWorld.infos[0];
  std::snprintf(info.title, sizeof info.title, "A world of islands and their harbours");
  std::snprintf(info.comment, sizeof info.comment, "Ten islands, two bridges and a lighthouse");
  for (auto _ : state) {
    ShowInfoPanel();
    glFinish();
  }
  WorldReady = 0;
}
BENCHMARK(ShowInfoPanelLines)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veskor
