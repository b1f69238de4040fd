// Edge-curve refinement as object registration asks it (8 levels) under the session's object
// range, with a box that puts every point at the maximum level (6): the built-in Sphere and a
// model of 16 Edges of 32 points, with the plain and the SSE kernel members side by side, in
// output points per second. Then the registration of the 64 operands of one composition with
// their slice heights. Then the item geometry of cross-sections: the mesh of 256 rings of 256
// points (triangles per second), and the "+" overlap and "-" join of two sets of 256 slices of
// 1000-point circles one radius apart (section pairs per second). Then the cross-sections: the
// subdivision of a 16-point ring with its bank paths through 8 passes (output points per
// second), and an object's slice table with its sweep paths at the maximum level, for the
// Sphere and the 16-Edge vase (rings and points per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/curve_refinement.h"
#include "geometry/geometry_test_support.h"
#include "geometry/object_path_sets.h"
#include "geometry/scene_build_error.h"
#include "geometry/section_cut.h"
#include "geometry/slice_table.h"
#include "geometry/sweep_path_subdivision.h"
#include "geometry/path_set_join.h"
#include "geometry/path_set_mesh.h"
#include "geometry/path_set_overlap.h"
#include "geometry/section_test_support.h"
#include "geometry/scene_objects.h"
#include "language/world.h"

namespace veskor {
namespace {

// The session's object geometry range over the World's list 1, holding one box around
// everything with a detail value that saturates every level.
void SessionWithOneBox() {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  test::FillSessionRanges(world);
  LodBoxListAdd(world.lod.lists[0], -1000, -1000, -1000, 1000, 1000, 1000, 1000);
}

// 16 Edges of 32 points around the height axis, a vase whose radius swells and narrows.
void Vase(EdgeCurveList& list, float scale = 1) {
  std::vector<std::vector<test::CurvePoint>> edges(16);
  for (std::uint32_t e = 0; e < 16; ++e) {
    const float a = 6.2831853f * static_cast<float>(e) / 16;
    for (std::uint32_t i = 0; i < 32; ++i) {
      const float t = static_cast<float>(i) / 31;
      const float r = scale * (1 + 0.4f * std::sin(9.424778f * t));
      edges[e].push_back({r * std::cos(a), r * std::sin(a), 4 * t - 2});
    }
  }
  test::FillList(list, kEdgeCurveListModel, edges);
}

void RefineEdges(benchmark::State& state, bool vase) {
  const test::ScopedKernels kernels(state.range(0) != 0);
  SessionWithOneBox();
  EdgeCurveList model{}, out{};
  if (vase) Vase(model);
  EdgeCurveList& source = vase ? model : gWorld.models[gWorld.builtinModels[kBuiltinSphere]];
  double points = 0;
  for (auto _ : state) {
    RefineEdgeCurves(source, kSceneObjectLevels, gObjectGeometryLod, out);
    for (std::uint32_t c = 0; c < out.count; ++c) points += out.curves[c].count;
  }
  state.counters["points"] = benchmark::Counter(points, benchmark::Counter::kIsRate);
  state.SetLabel(state.range(0) != 0 ? "sse" : "plain");
  EdgeCurveListFree(model);
  EdgeCurveListFree(out);
}

void RefineSphere(benchmark::State& state) { RefineEdges(state, false); }
void RefineVase16x32(benchmark::State& state) { RefineEdges(state, true); }
BENCHMARK(RefineSphere)->Arg(0)->Arg(1);
BENCHMARK(RefineVase16x32)->Arg(0)->Arg(1);

// One composition pass: the Sphere registered 64 times, turned and moved apart, each merging
// its heights into the pass's slice heights.
void RegisterComposition64(benchmark::State& state) {
  const test::ScopedKernels kernels(state.range(0) != 0);
  SessionWithOneBox();
  const EdgeCurveList& sphere = gWorld.models[gWorld.builtinModels[kBuiltinSphere]];
  std::vector<TransformNode> places(64);
  std::vector<SceneNode> nodes(64);
  for (std::uint32_t m = 0; m < 64; ++m) {
    TransformNode& place = places[m];
    TransformNodeInitUnit(place);
    place.angle = 7.0f * static_cast<float>(m);
    place.translation[0] = 3.0f * static_cast<float>(m % 8);
    place.translation[2] = 0.37f * static_cast<float>(m);
    place.identity = 0;
    place.dirty = 1;
  }
  for (auto _ : state) {
    RenderListReset();
    for (std::uint32_t m = 0; m < 64; ++m) RegisterSceneObject(sphere, places[m], nodes[m]);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 64);
  state.SetLabel(state.range(0) != 0 ? "sse" : "plain");
}
BENCHMARK(RegisterComposition64)->Arg(0)->Arg(1);

// A capped column of `slices` rings of n points about (cx, 0), its radius swelling with height.
void Column(PathSet& set, float cx, std::uint32_t slices, std::uint32_t n) {
  std::vector<test::Ring> rings;
  for (std::uint32_t k = 0; k < slices; ++k) {
    const float h = static_cast<float>(k) / static_cast<float>(slices);
    rings.push_back({test::Circle(cx, 0, 1 + 0.2f * std::sin(6.283f * h), n), h});
  }
  rings.front().kind = kSectionCappedBottom;
  rings.back().kind = kSectionCappedTop;
  test::FillSet(set, kPathSetClosed, rings);
}

void BuildMesh256x256(benchmark::State& state) {
  PathSet set{};
  Column(set, 0, 256, 256);
  PathSetNormalise(set);
  ItemMeshBuilder builder;
  MeshBuilderInit(builder);
  const LodRange range{};
  double triangles = 0;
  for (auto _ : state) {
    PathSetBuildMesh(set, range, builder);
    triangles += builder.triangleCount;
  }
  state.counters["triangles"] = benchmark::Counter(triangles, benchmark::Counter::kIsRate);
  MeshBuilderRelease(builder);
  PathSetFree(set);
}
BENCHMARK(BuildMesh256x256)->Unit(benchmark::kMillisecond);

void OverlapCircles256x1000(benchmark::State& state) {
  PathSet a{}, b{};
  Column(a, 0, 256, 1000);
  Column(b, 1, 256, 1000);
  for (auto _ : state) PathSetOverlap(a, b);
  state.counters["pairs"] = benchmark::Counter(256.0 * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
  PathSetFree(a);
  PathSetFree(b);
}
BENCHMARK(OverlapCircles256x1000)->Unit(benchmark::kMillisecond);

void JoinCircles256x1000(benchmark::State& state) {
  PathSet model{}, a{}, b{};
  Column(model, 0, 256, 1000);
  Column(b, 1, 256, 1000);
  PathSetResize(a, 256, kPathSetClosed);
  SweepPath* sections = PathSetAppendEmpty(a, 256);
  for (auto _ : state) {
    state.PauseTiming();
    for (std::uint32_t k = 0; k < 256; ++k) SweepPathAssign(sections[k], model.paths[k]);
    a.minX = model.minX, a.maxX = model.maxX, a.minY = model.minY, a.maxY = model.maxY;
    a.minZ = model.minZ, a.maxZ = model.maxZ;
    state.ResumeTiming();
    PathSetJoin(a, b);
  }
  state.counters["pairs"] = benchmark::Counter(256.0 * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
  PathSetFree(model);
  PathSetFree(a);
  PathSetFree(b);
}
BENCHMARK(JoinCircles256x1000)->Unit(benchmark::kMillisecond);

// A 16-point ring cut from a vase wide enough that no point turns flat within 8 passes, between
// two input points so its three bank paths blend; every level at 8.
void SubdivideRing16x8Passes(benchmark::State& state) {
  EdgeCurveList model{};
  Vase(model, 100000);
  SliceTable table{};
  SliceTableFill(table, model);
  const LodBoxList boxes{{{-1e6f, 1e6f, -1e6f, 1e6f, -1e6f, 1e6f, 1e9f}}, 1};
  SubdivisionSettings settings{};
  settings.range = LodRange{&boxes, 8, 0, 8, 0.002f};
  TransformNodeInit(settings.transform);
  std::uint32_t segments[16];
  float fractions[16];
  for (std::uint32_t e = 0; e < 16; ++e) segments[e] = 15, fractions[e] = 0.3f;
  SweepPath raw{}, out{};
  double points = 0;
  for (auto _ : state) {
    SectionCut(model, segments, fractions, raw, table, 0);
    SubdivideSweepPaths(raw, kSweepPathLevelCap, settings, out);
    points += out.count;
  }
  state.counters["points"] = benchmark::Counter(points, benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(gSubdivisionBanks.count) + " bank paths, " +
                 std::to_string(out.count) + " points");
  SweepPathRelease(raw);
  SweepPathRelease(out);
  SliceTableRelease(table);
  EdgeCurveListFree(model);
}
BENCHMARK(SubdivideRing16x8Passes)->Unit(benchmark::kMicrosecond);

// Arg 0: the built-in Sphere; 1: the 16-Edge vase of 32 points. Registration (the refinement)
// is outside the timing: the slice table frees the refined Edges.
void SliceAndSweep(benchmark::State& state) {
  const bool vase = state.range(0) != 0;
  SessionWithOneBox();
  EdgeCurveList model{};
  if (vase) Vase(model);
  const EdgeCurveList& source = vase ? model : gWorld.models[gWorld.builtinModels[kBuiltinSphere]];
  TransformNode identity;
  TransformNodeInitUnit(identity);
  double rings = 0, points = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RenderListReset();
    ObjectPathSetsReset();
    SceneBuildErrorReset();
    SceneNode node{};
    RegisterSceneObject(source, identity, node);
    node.useCount = 1;
    state.ResumeTiming();
    BuildSliceTable(&node);
    state.PauseTiming();
    const PathSet& set = gObjectPathSets.sets[0];
    rings += set.count;
    for (std::uint32_t k = 0; k < set.count; ++k) points += set.paths[k].count;
    ReleaseObjectPathSets(&node);
    state.ResumeTiming();
  }
  state.counters["rings"] = benchmark::Counter(rings, benchmark::Counter::kIsRate);
  state.counters["points"] = benchmark::Counter(points, benchmark::Counter::kIsRate);
  state.SetLabel(vase ? "vase 16x32" : "sphere");
  EdgeCurveListFree(model);
}
BENCHMARK(SliceAndSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
