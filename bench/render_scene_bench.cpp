// The scene-grid walks over the start-up grid (32 x 32 x 4 fine cells over the world box) with
// 1 000 and 8 000 random objects and a counting draw: the ray walk of a camera in the middle
// of the world, and the draw walk of a sun view over the whole scene. Then DrawSceneObject in
// object modes 0 (one light-map pass) and 2 for 1 000 objects of 500 triangles into 800 x 600
// on llvmpipe (LP_NUM_THREADS pinned to 2 unless set); run again with VESKOR_GL_COMPAT=0 for
// the compiled-array locks without the layer's vertex array range.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "geometry/item_tables.h"
#include "geometry/skin_slot.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "render/object_draw.h"
#include "render/scene_grid_walks.h"

#include "bench_gl.h"

namespace veskor {
namespace {

std::uint32_t gCounted = 0;
std::uint32_t CountDraw(SceneObject&, std::uint32_t) { return ++gCounted, 500; }

struct WalkScene {
  SceneGrid grid;
  std::vector<SceneObject> objects;
  explicit WalkScene(int count) : objects(count) {
    SceneGridInit(grid);
    SpatialGridInit(grid, nullptr, 50, 200, -800, -800, -400, 800, 800, 400);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> xy(-800, 800), z(-300, 300), size(5, 60);
    for (SceneObject& o : objects) {
      o.visible = 1;
      const float c[3] = {xy(rng), xy(rng), z(rng)};
      for (int a = 0; a < 3; ++a) {
        const float h = size(rng);
        o.grid.box[2 * a] = c[a] - h, o.grid.box[2 * a + 1] = c[a] + h;
      }
      const float* b = o.grid.box;
      SceneGridRegister(grid, &o.grid, b[0], b[2], b[4], b[1], b[3], b[5]);
    }
  }
  ~WalkScene() { SceneGridRelease(grid); }
};

void BM_RayWalk(benchmark::State& state) {
  InitKernelTable();
  WalkScene scene(static_cast<int>(state.range(0)));
  Camera camera;
  CameraSetPosition(camera, 0, 0, 50);
  CameraSetDirection(camera, 0.7f, 0.6f, -0.1f);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  CameraFrustumFromMatrices(camera, identity, identity);
  WalkDrawObject = CountDraw;
  std::uint32_t cells = 0, sum = 0;
  for (auto _ : state) cells = SceneGridRayWalk(scene.grid, camera, 0, &sum);
  WalkDrawObject = DrawSceneObject;
  state.counters["cells"] = cells;
  state.counters["triangles"] = sum;
}
BENCHMARK(BM_RayWalk)->Arg(1000)->Arg(8000)->Unit(benchmark::kMicrosecond);

void BM_DrawWalkSunView(benchmark::State& state) {
  WalkScene scene(static_cast<int>(state.range(0)));
  OrthoPass view;
  const float eye[3] = {-1200, -900, 1500}, d[3] = {0.6f, 0.45f, -0.66f};
  for (int a = 0; a < 3; ++a) view.position[a] = eye[a], view.direction[a] = d[a];
  OrthoCameraFrameSteps(view);
  const float half = 1200;
  for (int s = 0; s < 4; ++s) {
    const float sign = s % 2 ? 1.0f : -1.0f;
    const float* axis = s < 2 ? view.rolledRight : view.rolledUp;
    for (int a = 0; a < 3; ++a) {
      view.sideNormals[s][a] = sign * axis[a];
      view.sideMidPoints[s][a] = eye[a] + view.direction[a] + sign * half * axis[a];
    }
  }
  for (int a = 0; a < 3; ++a) {
    view.nearNormal[a] = -view.direction[a], view.nearPoint[a] = eye[a] + view.direction[a];
    view.farNormal[a] = view.direction[a], view.farPoint[a] = eye[a] + 5000 * view.direction[a];
  }
  WalkDrawObject = CountDraw;
  gCounted = 0;
  std::uint32_t cells = 0;
  for (auto _ : state) cells = SceneGridDrawWalk(scene.grid, view, 0x2);
  WalkDrawObject = DrawSceneObject;
  state.counters["cells"] = cells;
}
BENCHMARK(BM_DrawWalkSunView)->Arg(1000)->Arg(8000)->Unit(benchmark::kMicrosecond);

bool GlReady() { return BenchGlReady(); }

// 1 000 objects sharing one mesh of 500 triangles (a 25 x 10 sheet of quads in format 2) in
// record 0, each placed by its own translation over the view.
void BM_DrawSceneObjects(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError("no GL context");
    return;
  }
  std::vector<float> vertices;
  std::vector<std::uint16_t> indices;
  for (int j = 0; j <= 10; ++j)
    for (int i = 0; i <= 25; ++i)
      vertices.insert(vertices.end(), {i * 0.01f, j * 0.01f, 0, 0, 0, 1, i / 25.0f, j / 10.0f});
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 25; ++i) {
      const auto v = [](int a, int b) { return std::uint16_t(b * 26 + a); };
      indices.insert(indices.end(), {v(i, j), v(i + 1, j), v(i + 1, j + 1), v(i, j),
                                     v(i + 1, j + 1), v(i, j + 1)});
    }
  float* savedVertices = gGeometryBatchBuffer.vertices;
  std::uint16_t* savedIndices = gGeometryBatchBuffer.indices;
  gGeometryBatchBuffer.vertices = vertices.data();
  gGeometryBatchBuffer.indices = indices.data();
  ItemDrawRecord& r = gBatchItemRecords[0];
  r = ItemDrawRecord{};
  r.mainRanges[0] = {0, std::uint32_t(vertices.size()), 0, std::uint32_t(indices.size()),
                     kNoWaterBox, 0, 0, 0};
  r.rangeCount = 1;
  r.format = 2;
  SkinSlot& slot = gSkinSlots[0];
  FloatTexture2DRealloc(slot.textureSets[0].light, 1, 4, 4);
  slot.passCount = 1;
  slot.passes[0] = {0, nullptr};
  std::vector<SceneObject> objects(1000);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> at(-1, 0.75f);
  for (SceneObject& o : objects) {
    o.batchItemCount = 1;
    o.visible = 1;
    TransformNodeInit(o.transform);
    TransformNodeSetTranslation(o.transform, at(rng), at(rng), 0);
  }
  OffscreenBuffer* target = OffscreenCreate(800, 600);
  OffscreenMakeCurrent(target);
  glViewport(0, 0, 800, 600);
  for (GLenum m : {GL_PROJECTION, GL_MODELVIEW}) glMatrixMode(m), glLoadIdentity();
  const auto mode = static_cast<std::uint32_t>(state.range(0));
  std::uint32_t triangles = 0;
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    triangles = 0;
    for (SceneObject& o : objects) triangles += DrawSceneObject(o, mode);
    glFinish();
  }
  state.counters["triangles"] = triangles;
  OffscreenRestoreWindow();
  OffscreenDestroy(target);
  SkinSlotRelease(slot);
  SkinSlotInit(slot);
  gGeometryBatchBuffer.vertices = savedVertices;
  gGeometryBatchBuffer.indices = savedIndices;
}
BENCHMARK(BM_DrawSceneObjects)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veskor
