// The scene build of a whole world, as the render session runs it after a parse: 100 model
// instances, a "+" composition of 8 built-ins and a height field of 129 x 129 samples with a
// water plane (ms per build, items per second), beside the registration and refinement of the
// same objects alone (the rest of a build is cutting, meshing and batching); and the height
// grid operations on two maps of 129 x 129 samples, direct and through a transform.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "geometry/build_progress.h"
#include "geometry/draw_items.h"
#include "geometry/geometry_test_support.h"
#include "geometry/height_maps.h"
#include "geometry/item_geometry.h"
#include "geometry/item_images.h"
#include "geometry/path_set.h"
#include "geometry/portal.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/scene_grid.h"
#include "language/compile_driver.h"
#include "language/height_field.h"
#include "mapengine/kernel_table.h"
#include "support/gl_test_fixture.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

std::uint32_t gExtensionWord = 0;

std::string BenchWorld() {
  std::string objects = "Object {";
  for (int k = 0; k < 100; ++k)
    objects += " Cube ( [" + std::to_string(10 * (k % 10) - 45) + " " +
               std::to_string(10 * (k / 10) - 45) + " 60] )";
  return "HeightField ground { BBox { [-2000 -2000 0] [2000 2000 300] }\n"
         "  Layer { fractal(4 [0.002 2 0.8]) } WaterPlane { altitude(40) } }\n"
         "Composition ring { + ( + ( + ( Sphere ( [1 1 1] 0 [0 0 0] ) Sphere ( [1 1 1] 0 [1.5 0 0] ) )"
         " + ( Sphere ( [1 1 1] 0 [3 0 0] ) Sphere ( [1 1 1] 0 [4.5 0 0] ) ) )"
         " + ( + ( Cube ( [1 1 1] 0 [0 3 0] ) Cube ( [1 1 1] 0 [1.5 3 0] ) )"
         " + ( Cylinder ( [1 1 1] 0 [3 3 0] ) Cone ( [1 1 1] 0 [4.5 3 0] ) ) ) ) }\n" +
         objects + " ring ( [0 0 80] ) ground }\n";
}

// The world parsed once; each build starts as the render set-up starts it.
bool ParseOnce() {
  static test::TempDir dir("veskor_scene_bench");
  static const int parsed = test::RunCompileSession(dir.Write("world.wld", BenchWorld())).result;
  return parsed == 1;
}

void StartBuild() {
  WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.5f, 0.5f, 0.5f);
  test::FillSessionRanges(gWorld);
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  if (gSceneGrid.fine.cells == nullptr)
    SpatialGridInit(gSceneGrid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
  SceneGridSessionReset(gSceneGrid);
  SceneBuildErrorReset();
  ItemTablesReset();
  ItemImagesReset();
  SceneBoxReset();
  gBuildProgress = BuildProgress{};
  gRegionBorders.Clear();
  gPortalCount = 0;
}

bool Context(benchmark::State& state) {
  static const bool filled = (InitKernelTable(), true);
  (void)filled;
  GlProbe& probe = test::GlTestContext();
  if (probe.context == nullptr || !GlMakeCurrent(probe.window, probe.context) || !ParseOnce()) {
    state.SkipWithError("no GL context or the world does not parse");
    return false;
  }
  return true;
}

void SceneBuildWorld(benchmark::State& state) {
  if (!Context(state)) return;
  double items = 0;
  for (auto _ : state) {
    state.PauseTiming();
    StartBuild();
    state.ResumeTiming();
    if (SceneBuild(gWorld) == 0) state.SkipWithError(gSceneBuildError.message);
    items += gItemCount;
  }
  state.counters["items"] = benchmark::Counter(items, benchmark::Counter::kIsRate);
}
BENCHMARK(SceneBuildWorld)->Unit(benchmark::kMillisecond);

// The same objects registered and refined only, pass by pass.
void SceneBuildRegistrationOnly(benchmark::State& state) {
  if (!Context(state)) return;
  TransformNode unit;
  TransformNodeInitUnit(unit);
  for (auto _ : state) {
    state.PauseTiming();
    StartBuild();
    state.ResumeTiming();
    for (std::uint32_t c = 0; c < gWorld.objectCallCount; ++c) {
      const ObjectCall& call = gWorld.objectCalls[c];
      if (call.kind != 3) continue;
      SetTransformGlobals(gWorld.objectTransforms[call.transform]);
      RenderListReset();
      TransformNode place = unit;
      SceneNode node{};
      RegisterSceneObject(gWorld.models[call.index], place, node);
    }
    RenderListReset();
    for (std::uint32_t r = 0; r < gWorld.compositionOperationCount; ++r)
      for (const ItemReference* o :
           {&gWorld.compositionOperations[r].first, &gWorld.compositionOperations[r].second}) {
        if (o->kind != 3) continue;
        SceneNode node{};
        RegisterSceneObject(gWorld.models[o->index], gWorld.compositionTransforms[o->transform],
                            node);
      }
  }
}
BENCHMARK(SceneBuildRegistrationOnly)->Unit(benchmark::kMillisecond);

void FillMap(HeightFieldRecord& map, float x0, float phase) {
  VertexGridInit(map.grid);
  HeightFieldSetup(map, 7, x0, 0, -400, x0 + 800, 150, 400);
  for (std::uint32_t k = 0; k < 129 * 129; ++k)
    map.grid.data[k] = 0.5f + 0.4f * std::sin(7 * float(k % 129) / 128 + phase);
}

void HeightGrid129(benchmark::State& state, bool transformed) {
  test::ScopedKernels kernels(state.range(0) != 0);
  HeightFieldRecord a{}, b{};
  FillMap(a, -400, 0);
  FillMap(b, -200, 1);
  const float m[16] = {1.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.5f, 0, -100, 10, 0, 1};
  for (auto _ : state) {
    if (transformed) {
      HeightGridOpTransformed(a, b, m, kHeightGridMax);
    } else {
      HeightGridOp(a, b, kHeightGridMax);
    }
    benchmark::DoNotOptimize(a.grid.data[64 * 129 + 64]);
  }
  VertexGridRelease(a.grid);
  VertexGridRelease(b.grid);
}
void HeightGridOp129(benchmark::State& state) { HeightGrid129(state, false); }
void HeightGridOpTransformed129(benchmark::State& state) { HeightGrid129(state, true); }
BENCHMARK(HeightGridOp129)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(HeightGridOpTransformed129)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veskor
