// The application shell: the start-up's steps on the product tree with a store from the store
// writer (reading the settings, the probe with the pixel-format choice, the real window and
// context, the GL state with its 10000 texture names, the sound device, the text resources,
// the intro music), the whole start-up to the first swapped frame, the root plane's frame
// without a world and with a scene draw stood in, the main interface's build (the first
// frame's) and one pass of the interface over the scene; the compile session of each world of
// the language's corpus, and one progress report of the render preparation; one change of
// language (the interface rebuilt in place) and the thumbnails of 32 cameras and 32 examine
// points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/compile_session.h"
#include "app/language_screen.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/render_session.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "app/view_snapshots.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"
#include "foundation/session_log.h"
#include "foundation/frame_clock.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "gui/interface_frame.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "sound/sample_loader.h"
#include "sound/sound_output.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

const std::string kProductDir = VESKOR_PRODUCT_DIR;

// A store for the product tree, written once, and the display the benchmarks open windows on.
bool StoreReady() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  static test::TempDir dir("veskor_app_bench");
  setenv("LP_NUM_THREADS", "2", 0);
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("VESKOR_MESSAGES", dir.Path("messages").c_str(), 0);
  setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
  const std::string command = std::string(VESKOR_WRITE_SETTINGS_STORE) + " --product " +
                              kProductDir + " --working " + dir.path() + " --binary " +
                              dir.Path("user/") + " > /dev/null";
  ready = std::system(command.c_str()) == 0 ? 1 : 0;
  InitKernelTable();
  return ready == 1;
}

// The plane of every benchmark, with the settings read.
MainPlane& Plane() {
  static MainPlane plane;
  static bool read = false;
  if (!read) {
    read = true;
    MainPlaneReadSettings(plane);
  }
  return plane;
}

#define VESKOR_NEED_STORE(state)                    \
  if (!StoreReady()) {                              \
    (state).SkipWithError("no settings store");     \
    return;                                         \
  }

void StartReadSettings(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  MainPlane& plane = Plane();
  for (auto _ : state) MainPlaneReadSettings(plane);
}
BENCHMARK(StartReadSettings)->Unit(benchmark::kMicrosecond);

void StartProbeAndPixelFormat(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  MainPlane& plane = Plane();
  for (auto _ : state) {
    GlProbe probe;
    if (!GlProbeOpen(probe)) {
      state.SkipWithError(GlLastError());
      return;
    }
    LoadWglExtensions();
    LoadGlExtensions();
    benchmark::DoNotOptimize(ChooseWindowPixelFormat(plane));
    GlProbeClose(probe);
  }
}
BENCHMARK(StartProbeAndPixelFormat)->Unit(benchmark::kMillisecond);

void StartWindowAndContext(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  for (auto _ : state) {
    GlWindowDesc desc;
    desc.width = 1024;
    desc.height = 768;
    GlWindow* window = GlWindowCreate(desc);
    GlContext* context = window != nullptr ? GlContextCreate(window, nullptr) : nullptr;
    if (context == nullptr) {
      state.SkipWithError(GlLastError());
      return;
    }
    GlContextDestroy(context);
    GlWindowDestroy(window);
  }
}
BENCHMARK(StartWindowAndContext)->Unit(benchmark::kMillisecond);

// A hidden window with a current context for the benchmarks that need GL.
bool Context() {
  static GlProbe probe;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (StoreReady() && GlProbeOpen(probe)) {
      LoadWglExtensions();
      LoadGlExtensions();
    }
  }
  return probe.context != nullptr;
}

void StartGlStateWith10000Names(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  MainPlane& plane = Plane();
  for (auto _ : state) {
    InitGlState(plane);
    state.PauseTiming();
    glDeleteTextures(static_cast<GLsizei>(kTextureNameCount), TextureNameTable);
    state.ResumeTiming();
  }
}
BENCHMARK(StartGlStateWith10000Names)->Unit(benchmark::kMillisecond);

void StartSoundDevice(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(InitDirectSound());
    ReleaseSoundDevice();
  }
}
BENCHMARK(StartSoundDevice);

void StartTextResources(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  Plane();
  for (auto _ : state) LoadTextResources();
}
BENCHMARK(StartTextResources)->Unit(benchmark::kMicrosecond);

void StartIntroMusic(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  Plane();
  const std::string music = std::string(SndDir) + "introveskor.ogg";
  for (auto _ : state) benchmark::DoNotOptimize(LoadOggSound(music.c_str(), IntroMusicSlot));
}
BENCHMARK(StartIntroMusic)->Unit(benchmark::kMicrosecond);

// Drops the interface tree's links, so that the first frame builds it on a bare plane again.
void ForgetInterfaceTree() {
  for (GuiPlane* p : std::initializer_list<GuiPlane*>{&gMainPlane, &ProgressPanel, &StatusPanel,
                                                      &SetupPanel, &InfoPanel, &ViewList}) {
    VmArrayRelease(p->backChildren);
    VmArrayRelease(p->frontChildren);
    MemBlockRelease(p->children.pool);
    p->children = ChildList{};
  }
}

// The whole start-up, from the entry point to the first frame swapped; the window goes again
// after each run.
bool gSwapped = false;
bool NoMessage(WindowMessage* message) {
  if (!gSwapped) return PeekWindowMessage(message);
  *message = {kWmQuit, 0, 0};
  return true;
}
void SwapOnce(MainPlane& plane) {
  DefaultShellPorts().swapBuffers(plane);
  gSwapped = true;
}

void StartToFirstFrame(benchmark::State& state) {
  VESKOR_NEED_STORE(state);
  for (auto _ : state) {
    gSwapped = false;
    DrawEnabled = 1;
    LanguageScreenPending = MainInterfacePending = WelcomeScreenPending = 1;
    benchmark::DoNotOptimize(
        WinMain("", {DefaultShellPorts().initWindow, NoMessage, SwapOnce}));
    state.PauseTiming();
    ShutdownWindow(gMainPlane, 0);
    gMainPlane.settingsRead = 0;  // nothing is saved at the end of the benchmarks
    ForgetInterfaceTree();
    state.ResumeTiming();
  }
}
BENCHMARK(StartToFirstFrame)->Unit(benchmark::kMillisecond);

// One frame of the root plane at 1024 x 768: before a world, and with a world whose scene draw
// is stood in (the camera steering, the viewport and camera set-up, the counters).
void MainPlaneFrameOnce(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  MainPlane& plane = Plane();
  FullScreenMode = 0;
  WindowedWidth = 1024;
  WindowedHeight = 768;
  LanguageScreenPending = MainInterfacePending = WelcomeScreenPending = 0;
  WorldReady = static_cast<std::uint32_t>(state.range(0));
  MouseLook = 1;
  DragOffsetX = 0.01f;
  gFrameServices.sceneDraw = [](Camera&, std::uint32_t, std::uint32_t* polygons) {
    *polygons = 100000;
  };
  for (auto _ : state) MainPlaneFrame(plane);
  gFrameServices = DefaultFrameServices();
}
BENCHMARK(MainPlaneFrameOnce)->Arg(0)->Arg(1)->ArgName("world");

// The main interface's build on the product tree: every picture loaded, every text drawn.
void MainInterfaceBuild(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  Plane();
  if (TextureNameTableCount == 0) InitTextureNames();
  LoadTextResources();
  for (auto _ : state) {
    state.PauseTiming();
    ForgetInterfaceTree();
    state.ResumeTiming();
    BuildMainInterface();
  }
}
BENCHMARK(MainInterfaceBuild)->Unit(benchmark::kMillisecond);

// One interface pass at 1024 x 768, layout and drawing, with the menu bar shown, and with the
// setup panel open too.
void MainInterfacePass(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  Plane();
  if (TextureNameTableCount == 0) InitTextureNames();
  LoadTextResources();
  ForgetInterfaceTree();
  BuildMainInterface();
  OffscreenBuffer* buffer = OffscreenCreate(1024, 768);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  PixelSize = {1.0f / 1024, 1.0f / 768};
  ShowMainWidgets();
  if (state.range(0) != 0) ShowPlane(SetupPanel);
  for (auto _ : state) {
    LayoutDirty = 1;
    LayOutInterface(gMainPlane);
    DrawInterface(gMainPlane);
    glFinish();
  }
  HidePlane(SetupPanel);
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
}
BENCHMARK(MainInterfacePass)->Arg(0)->Arg(1)->ArgName("setup")->Unit(benchmark::kMillisecond);

// The main interface as the first frame builds it, session panels among it, once: on the
// product tree's pictures, before the corpus moves the search directories.
void SessionPanels() {
  static bool built = false;
  if (built) return;
  built = true;
  Plane();
  if (TextureNameTableCount == 0) InitTextureNames();
  LoadTextResources();
  ForgetInterfaceTree();
  BuildMainInterface();
}

// The language's corpus of whole worlds with the sounds they name, copied once.
const std::vector<std::string>& CorpusWorlds() {
  namespace fs = std::filesystem;
  static test::TempDir dir("veskor_corpus_bench");
  static std::vector<std::string> worlds;
  if (!worlds.empty()) return worlds;
  const std::string root = dir.Path("worlds/");
  fs::copy(VESKOR_WORLD_CORPUS, root, fs::copy_options::recursive);
  SetSearchDirs(dir.path().c_str(), dir.path().c_str(), dir.path().c_str(), dir.path().c_str(),
                dir.path().c_str());
  fs::create_directories(SndDir);
  fs::create_directories(root + "Sounds");
  test::WavDesc wav;
  wav.data = test::ConstantPcm16(64, 1, 500);
  test::OggDesc ogg;
  ogg.samples = test::Sine(1000, 1, 22050, 300, 0.3);
  test::WriteFileBytes(root + "Sounds/surf.wav", test::EncodeWav(wav));
  for (const char* name : {"drops.wav", "gull.wav"})
    test::WriteFileBytes(std::string(SndDir) + name, test::EncodeWav(wav));
  test::WriteFileBytes(std::string(SndDir) + "wind.ogg", test::EncodeOgg(ogg));
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.path().extension() == ".wld") worlds.push_back(entry.path().string());
  std::sort(worlds.begin(), worlds.end());
  return worlds;
}

// The compile session of one corpus world from its command line (a broken one until its
// located message), at 1024 x 768.
void CompileSessionOfAWorld(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  SessionPanels();
  const auto& worlds = CorpusWorlds();
  const auto index = static_cast<std::size_t>(state.range(0));
  if (index >= worlds.size()) {
    state.SkipWithError("no such world");
    return;
  }
  FullScreenMode = 0;
  WindowedWidth = 1024;
  WindowedHeight = 768;
  state.SetLabel(std::filesystem::path(worlds[index]).filename().string());
  for (auto _ : state) benchmark::DoNotOptimize(CompileSession(worlds[index].c_str()));
  SessionLogClose();
}
BENCHMARK(CompileSessionOfAWorld)->DenseRange(0, 15)->Unit(benchmark::kMillisecond);

// The compile and render sessions of one sample world at 1024 x 768 with two rasteriser
// threads, and the preparation's environment and shader stage times.
void RenderSessionOfASampleWorld(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  SessionPanels();
  MainPlaneReadSettings(Plane());  // the product's directories again, after the corpus's
  static const char* const kWorlds[] = {"highlands.wld", "lagoon.wld", "ruins.wld"};
  const std::string path = std::string(VESKOR_EXAMPLES) + kWorlds[state.range(0)];
  FullScreenMode = 0;
  WindowedWidth = 1024;
  WindowedHeight = 768;
  if (gSceneGrid.fine.cells == nullptr)
    SpatialGridInit(gSceneGrid, &gMainPlane, 1024, 1024, -16384, -16384, -2048, 16384, 16384,
                    2048);
  RenderViewPlane = &gMainPlane;
  gSessionPorts.peekMessage = [](WindowMessage*) { return false; };
  gSessionPorts.swapBuffers = [](MainPlane&) {};
  state.SetLabel(kWorlds[state.range(0)]);
  for (auto _ : state) {
    CompileRequest = 1;
    if (CompileSession(path.c_str()) != 1 || (RenewTextureNames(), RenderSession()) != 1) {
      state.SkipWithError("the world did not open");
      break;
    }
  }
  state.counters["environment_s"] = EnvironmentStageTime;
  state.counters["shaders_s"] = ShaderStageTime;
  gSessionPorts = DefaultShellPorts();
  RenderViewPlane = nullptr;
}
BENCHMARK(RenderSessionOfASampleWorld)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// One progress report at 1024 x 768: the same label as the last (the bars alone) or a new one.
void ProgressOverlayOnce(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  SessionPanels();
  FullScreenMode = 0;
  WindowedWidth = 1024;
  WindowedHeight = 768;
  gSessionPorts.peekMessage = [](WindowMessage*) { return false; };
  const char* labels[2] = {"Environment / Fog", "Environment / Sky"};
  std::size_t n = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(ProgressOverlay(labels[state.range(0) * (n++ & 1)], 0.5f, 0.5f));
  gSessionPorts = DefaultShellPorts();
}
BENCHMARK(ProgressOverlayOnce)->Arg(0)->Arg(1)->ArgName("newLabel")->Unit(benchmark::kMicrosecond);

// One change of language on the product tree: the texts read, the 27 language pictures
// reloaded into their textures, the menus, the setup panel's texts, the hint line and the
// information panel redrawn. English and French by turns.
void RebuildInterfaceOneChange(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  Plane();
  if (TextureNameTableCount == 0) InitTextureNames();
  LanguageIndex = 0;
  LoadTextResources();
  ForgetInterfaceTree();
  BuildMainInterface();
  for (auto _ : state) {
    LanguageIndex = LanguageIndex == 0 ? 2 : 0;
    RebuildInterface();
  }
  LanguageIndex = 0;
  LoadTextResources();
}
BENCHMARK(RebuildInterfaceOneChange)->Unit(benchmark::kMillisecond);

// The thumbnails of a world's 32 cameras and 32 examine points at 1024 x 768 (128 x 128 each):
// the clears, read-backs and uploads around the frame's scene draw, which is the program's
// own (a stand-in that draws nothing until the scene renderer lands).
void CaptureViewSnapshots32And32(benchmark::State& state) {
  if (!Context()) {
    state.SkipWithError("no GL context");
    return;
  }
  if (TextureNameTableCount == 0) InitTextureNames();
  OffscreenBuffer* buffer = OffscreenCreate(1024, 768);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  glViewport(0, 0, 1024, 768);
  World& w = gWorld;
  for (std::uint32_t i = 0; i < 32; ++i) {
    const float a = static_cast<float>(i) * 0.19634954f;  // around a circle
    CameraSetPosition(w.cameras[i], 1000 * std::cos(a), 1000 * std::sin(a), 200);
    CameraSetLookAt(w.cameras[i], 0, 0, 0);
    w.examines[i] = {{100.0f * static_cast<float>(i), 0, 50}, 300, a, 0.3f, 60};
  }
  w.cameraCount = w.examineCount = 32;
  for (auto _ : state) {
    CaptureViewSnapshots(w);
    glFinish();
  }
  w.cameraCount = w.examineCount = 0;
  while (glGetError() != GL_NO_ERROR) {
  }  // the back buffer named while an off-screen buffer is bound
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
}
BENCHMARK(CaptureViewSnapshots32And32)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
