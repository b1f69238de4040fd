// Geometry generation passes as the scene build runs them, under the level-of-detail ranges of
// a render session over the default world extent: the terrain pass over a height field of
// 129 x 129 samples at tile levels 2 and 2 (1024 tiles; ms per pass, tiles per second), and
// GenerateGeometry for a "+" composition of 64 built-in Spheres set apart in a ring of
// overlapping pairs (items per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/build_progress.h"
#include "geometry/draw_items.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_geometry.h"
#include "geometry/path_set.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build_error.h"
#include "geometry/terrain_pass.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/scene_grid.h"
#include "language/height_field.h"
#include "language/world.h"

namespace veskor {
namespace {

std::uint32_t gExtensionWord = 0;

// A render session's start: the world's ranges over the default extent, the batch buffer's
// staging, the grid, the tables.
void StartSession() {
  WorldClearModels(gWorld);
  RegisterBuiltinModels(gWorld);
  WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.5f, 0.5f, 0.5f);
  test::FillSessionRanges(gWorld);
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  if (gSceneGrid.fine.cells == nullptr)
    SpatialGridInit(gSceneGrid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
}

// What each scene build starts from.
void ResetBuild() {
  GeometryBatchReset(gGeometryBatchBuffer);
  SceneGridSessionReset(gSceneGrid);
  SceneBuildErrorReset();
  ItemTablesReset();
  SceneBoxReset();
  gBuildProgress = BuildProgress{};
  gRegionBorders.Clear();
  gWorld.sceneInstanceCount = 0;
}

void FreeItemSets() {
  for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
}

void TerrainPass129(benchmark::State& state) {
  StartSession();
  HeightFieldRecord map{};
  VertexGridInit(map.grid);
  HeightFieldSetup(map, 7, -400, 0, -400, 400, 150, 400);
  for (std::uint32_t k = 0; k < 129 * 129; ++k) {
    const float s = float(k % 129) / 128, t = float(k / 129) / 128;
    map.grid.data[k] = 0.5f + 0.4f * std::sin(7 * s) * std::cos(6 * t);
  }
  TransformNode node;
  TransformNodeInit(node);
  node.identity = 0, node.dirty = 1;
  node.axis[0] = 1, node.axis[2] = 0, node.angle = -90;
  double tiles = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FreeItemSets();
    ResetBuild();
    state.ResumeTiming();
    std::uint32_t counter = 0;
    GenerateGeometryPass(map, 2, 2, node, gWorld, counter, 0xFFFF);
    tiles += counter;
  }
  if (SceneBuildFailed()) state.SkipWithError(gSceneBuildError.message);
  state.counters["tiles"] = benchmark::Counter(tiles, benchmark::Counter::kIsRate);
  state.counters["triangles/tile"] = double(gGeneratedTriangleTotal) / 1024;
  FreeItemSets();
  VertexGridRelease(map.grid);
}
BENCHMARK(TerrainPass129)->Unit(benchmark::kMillisecond);

void UnionOf64Spheres(benchmark::State& state) {
  StartSession();
  // The scene build's level-of-detail entry of a model inside the world, with the first base
  // value, around the whole ring.
  LodBoxListAdd(gWorld.lod.lists[0], -14, -14, -2, 14, 14, 2, 0.5f);
  const EdgeCurveList& sphere = gWorld.models[gWorld.builtinModels[kBuiltinSphere]];
  std::vector<TransformNode> places(64);
  for (std::uint32_t m = 0; m < 64; ++m) {
    TransformNode& place = places[m];
    TransformNodeInitUnit(place);
    const float a = 6.2831853f * float(m) / 64;
    place.translation[0] = 12 * std::cos(a), place.translation[1] = 12 * std::sin(a);
    place.identity = 0, place.dirty = 1;
  }
  TransformNode identity;
  TransformNodeInit(identity);
  std::vector<SceneNode> objects(64), results(63);
  SceneInstance& record = gWorld.sceneInstances[1];
  double items = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FreeItemSets();
    ResetBuild();
    SetTransformGlobals(identity);
    RenderListReset();
    for (std::uint32_t m = 0; m < 64; ++m) RegisterSceneObject(sphere, places[m], objects[m]);
    RegisterDrawItemAdd(objects[0], objects[1], results[0]);
    for (std::uint32_t m = 2; m < 64; ++m)
      RegisterDrawItemAdd(results[m - 2], objects[m], results[m - 1]);
    RegisterDrawItemLeaf(results[62], record);
    state.ResumeTiming();
    GenerateGeometry();
    items += gItemCount;
  }
  if (SceneBuildFailed()) state.SkipWithError(gSceneBuildError.message);
  state.counters["items"] = benchmark::Counter(items, benchmark::Counter::kIsRate);
  state.counters["triangles/item"] = double(gGeneratedTriangleTotal) / 64;
  FreeItemSets();
}
BENCHMARK(UnionOf64Spheres)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
