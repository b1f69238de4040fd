// The whole render path on the render tests' world (tests/render/data/render_world.wld) in a
// 1024 x 768 window: the preparation from the compile to the end of the render preparation,
// each stage's seconds taken from the progress callback's label changes; frames of the scene
// draw (mode 0) from the world's first camera; the six-face environment capture of the
// reflecting box at face sizes 64, 256 and 512. LP_NUM_THREADS is pinned to 2 unless set.
// The layer is chosen per process: run again with VESKOR_GL_COMPAT=0 for the board without it
// (the label names the setting). Without an X display every benchmark skips.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "foundation/search_dirs.h"
#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "geometry/skin_slot.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "language/parse_store.h"
#include "language/world.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "render/camera_motion.h"
#include "render/environment_capture.h"
#include "render/object_draw.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/scene_draw.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

constexpr int kWidth = 1024, kHeight = 768;
using Clock = std::chrono::steady_clock;

ViewPlane gPlane{nullptr, 640, 480, 0};
GlProbe gProbe;

std::string LayerLabel() {
  const char* compat = std::getenv("VESKOR_GL_COMPAT");
  return std::string("VESKOR_GL_COMPAT=") + (compat != nullptr ? compat : "(unset)");
}

// The window and context, the capabilities, the grid and the images the world names.
bool GlReady(benchmark::State& state) {
  static int ready = -1;
  if (ready < 0) {
    ready = 0;
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && display[0] != '\0') {
      setenv("LP_NUM_THREADS", "2", 0);
      GlWindowDesc desc;
      desc.title = "veskor render bench";
      desc.width = kWidth;
      desc.height = kHeight;
      gProbe.window = GlWindowCreate(desc);
      if (gProbe.window != nullptr) gProbe.context = GlContextCreate(gProbe.window, nullptr);
      int w = 0, h = 0;
      if (gProbe.context != nullptr) GlWindowSize(gProbe.window, &w, &h);
      ready = w == kWidth && h == kHeight ? 1 : 0;
    }
    if (ready == 1) {
      InitKernelTable();
      LoadWglExtensions();
      MainPlaneExtensionWord = LoadGlExtensions();
      if (TextureNameTableCount == 0) InitTextureNames();
      FullScreenMode = 0;
      WindowedWidth = kWidth;
      WindowedHeight = kHeight + kMenuBarRows;
      ShowCloudPuffs = ShowSunFlare = 1;
      SpatialGridInit(gSceneGrid, &gPlane, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
      RenderViewPlane = &gPlane;
      static test::TempDir dir("veskor_render_world_bench");
      auto grey = [](std::uint8_t v) {
        return test::EncodePng(8, 8, 1, [v](std::uint32_t, std::uint32_t, std::uint32_t) { return v; });
      };
      dir.Write("render_planet.png",
                test::EncodePng(8, 8, 3, [](std::uint32_t, std::uint32_t, std::uint32_t c) {
                  return std::uint8_t(c == 0 ? 230 : 200);
                }));
      dir.Write("render_planet_mask.png", grey(255));
      for (const char* name : kLensFlareImageNames) dir.Write(name, grey(90));
      dir.Write(kLightRayImageName, grey(60));
      dir.Write(kContourImageName, grey(128));
      const char* p = dir.path().c_str();
      if (!SetSearchDirs(p, p, p, p, p)) ready = 0;
    }
  }
  if (ready != 1) {
    state.SkipWithError("no X display or no 1024 x 768 GL window");
    return false;
  }
  GlMakeCurrent(gProbe.window, gProbe.context);
  state.SetLabel(LayerLabel());
  return true;
}

// Seconds per stage label of one session, in the order the labels came.
struct Stage {
  std::string label;
  double seconds;
};
std::vector<Stage> gStages;
Clock::time_point gStageStart;

// Closes the open stage at `now`; opens `label` unless it is empty.
void StageMark(const char* label, Clock::time_point now) {
  if (!gStages.empty() && gStages.back().label != "")
    gStages.back().seconds += std::chrono::duration<double>(now - gStageStart).count();
  if (!gStages.empty() && gStages.back().label == label) {
    gStageStart = now;
    return;
  }
  gStages.push_back({label, 0.0});
  gStageStart = now;
}

std::int32_t Progress(const char* label, float, float) {
  StageMark(label, Clock::now());
  return 1;
}

void Timed(const char* label, void (*step)()) {
  StageMark(label, Clock::now());
  step();
  StageMark("", Clock::now());
}

const std::string kWorldPath = std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld";
int gReflector = -1;
bool gPrepared = false;

// The render session from the compile to the drawing state, as the render tests run it; the
// box at x 60 gets an environment cube. False when a step failed.
bool Session() {
  gPrepared = false;
  gStages.clear();
  for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
  static int compiled = 0;
  Timed("Compile", [] { compiled = test::RunCompileSession(kWorldPath).result; });
  if (compiled != 1) return false;
  Timed("Session Set-up", [] {
    World& w = gWorld;
    WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 0.5f, 0.5f, 0.5f, 0.5f);
    RenderSessionInit(&w.lod.lists[2], 0.002f, &w.lod.lists[3], 0.002f, &w.lod.lists[0], 0.002f,
                      &w.lod.lists[1], 0.002f, &gParseStore, &w.currentCamera, 0.5f, 0.5f,
                      &Progress, 0, 6, 0, 10);
    RecomputeEnvironment();
    LoadLensFlare(kLensFlareImageNames[0], kLensFlareImageNames[1], kLensFlareImageNames[2],
                  kLensFlareTable, kLensFlareTableCount);
    LoadLightRays(kLightRayImageName);
  });
  const std::uint32_t built = SceneBuild(gWorld);
  StageMark("", Clock::now());
  if (built != 1) return false;
  gReflector = -1;
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    SceneObject* d = gItemTargets[i];
    if (d != nullptr && d->grid.box[0] > 50 && d->grid.box[1] < 70) {
      d->flags |= 4;
      gReflector = static_cast<int>(i);
    }
  }
  const std::uint32_t prepared = RenderPrepare(&gWorld.currentCamera);
  StageMark("", Clock::now());
  if (prepared != 1 || gReflector < 0) return false;
  SetWholeWindowViewport();
  gPrepared = true;
  return true;
}

bool Prepared(benchmark::State& state) {
  if (!GlReady(state)) return false;
  if (!gPrepared && !Session()) {
    state.SkipWithError("the test world did not prepare");
    return false;
  }
  return true;
}

// The whole preparation (compile, set-up, scene build, render preparation), with the back
// buffer (0) or the off-screen multisampled buffer (1); each stage's seconds a counter.
void BM_PrepareWorld(benchmark::State& state) {
  if (!GlReady(state)) return;
  MultiSampleMode = static_cast<std::uint32_t>(state.range(0));
  std::vector<Stage> sums;
  double environment = 0, shading = 0;
  for (auto _ : state) {
    if (!Session()) {
      state.SkipWithError("the test world did not prepare");
      break;
    }
    environment += EnvironmentPrepareTime;
    shading += ShadingPrepareTime;
    for (const Stage& s : gStages) {
      if (s.label.empty()) continue;
      auto it = std::find_if(sums.begin(), sums.end(), [&](const Stage& t) { return t.label == s.label; });
      if (it == sums.end()) sums.push_back(s);
      else it->seconds += s.seconds;
    }
  }
  MultiSampleMode = 0;
  gPrepared = false;  // the frames start from a back-buffer preparation
  for (const Stage& s : sums)
    state.counters[s.label] = benchmark::Counter(s.seconds, benchmark::Counter::kAvgIterations);
  state.counters["EnvironmentPrepareTime"] =
      benchmark::Counter(environment, benchmark::Counter::kAvgIterations);
  state.counters["ShadingPrepareTime"] = benchmark::Counter(shading, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PrepareWorld)->ArgName("multisample")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Frames of the main plane from the first camera: the camera step, the loading view, the
// scene draw in mode 0, finished; median and 95th percentile of the frame times.
void BM_SceneDrawFrames(benchmark::State& state) {
  if (!Prepared(state)) return;
  gWorld.currentCamera = gWorld.cameras[0];
  gWorld.transitionTarget = -1;
  std::vector<double> times;
  std::uint32_t polygons = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glFrontFace(GL_CCW);
    CameraStepWrapper(gWorld);
    SetLoadingViewport();
    Camera& c = gWorld.currentCamera;
    CameraApply(c);
    polygons = 0;
    SceneDraw(&c, 0, &polygons);
    CameraRestore(c);
    glFinish();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error in the frames");
  std::sort(times.begin(), times.end());
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  if (!times.empty()) {
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p95_ms"] = times[std::min(times.size() - 1, times.size() * 95 / 100)];
  }
  state.counters["polygons"] = polygons;
}
BENCHMARK(BM_SceneDrawFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The six faces of the reflecting box's cube as the environment stage captures them: the
// face size from the range's minimum level (level - 2 is log2 of the size), each face drawn
// and read back. The mip chain and the upload are not in it.
void BM_CaptureEnvironment(benchmark::State& state) {
  if (!Prepared(state)) return;
  const auto log2 = static_cast<std::uint32_t>(state.range(0));
  const LodRange range{nullptr, 1.0f, log2 + 2, log2 + 2, 1.0f};
  const std::uint32_t drawFlags = ((gPlane.boardClass & 4) | 1) * 16;
  SceneObject& d = *gItemTargets[gReflector];
  const PathSet& p = gItemPathSets.sets[gReflector];
  TextureCube& cube = SkinSlotCube(gSkinSlots[gReflector]);
  Camera camera;
  glDepthFunc(GL_LEQUAL);
  for (auto _ : state) {
    SetWholeWindowViewport();
    DrawItemUnmark(d);
    CameraInit(camera, nullptr);
    CaptureEnvironment(camera, range, cube, p.minX, p.minY, p.minZ, p.maxX, p.maxY, p.maxZ);
    for (std::uint32_t face = 0; face < 6; ++face) {
      BeginEnvironmentFace(camera, face);
      SceneDraw(&camera, drawFlags, nullptr);
      ReadEnvironmentFace(camera, cube, face);
      EndEnvironmentFace(camera);
    }
    EndEnvironmentCapture(camera);
    DrawItemMark(d);
  }
  if (EnvironmentCaptureLog2 != log2) state.SkipWithError("the face size was not the one asked");
  if (glGetError() != GL_NO_ERROR) state.SkipWithError("GL error in the capture");
  state.counters["face"] = double(1u << EnvironmentCaptureLog2);
  SetWholeWindowViewport();
}
BENCHMARK(BM_CaptureEnvironment)->ArgName("log2face")->Arg(6)->Arg(8)->Arg(9)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veskor
