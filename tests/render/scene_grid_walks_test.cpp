// The scene-grid walks on the CPU with a recording stand-in for the object drawing: for random
// grids, object boxes and views, the objects drawn and the visible-cell count against a
// brute-force reference (every fine cell and its two ancestors put through the plane rule),
// and the draw order against the front-to-back key of each fine cell; the face and box tests
// of orthographic views on hand-placed boxes.
#include "render/scene_grid_walks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "gfx/fog_floor.h"
#include "mapengine/kernel_table.h"
#include "render/object_draw.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

struct Draw {
  SceneObject* object;
  std::uint32_t flags;
};
std::vector<Draw> gDraws;

std::uint32_t Record(SceneObject& object, std::uint32_t flags) {
  gDraws.push_back({&object, flags});
  return object.firstBatchItem;  // a per-object count to sum
}

using Vec = std::array<double, 3>;
struct Plane {
  Vec n, p;
};

// The plane rule: a rectangle is rejected by a plane when no corner has (c - p) . n <= 0.
bool RectPasses(const std::vector<Plane>& planes, const std::array<Vec, 4>& corners) {
  for (const Plane& pl : planes) {
    bool inside = false;
    for (const Vec& c : corners) {
      const float s = float((c[0] - pl.p[0]) * pl.n[0] + (c[1] - pl.p[1]) * pl.n[1] +
                            (c[2] - pl.p[2]) * pl.n[2]);
      inside = inside || s <= 0;
    }
    if (!inside) return false;
  }
  return true;
}

// Box in (x0, y0, z0, x1, y1, z1) order.
bool BoxPasses(const std::vector<Plane>& planes, const float* b) {
  for (int axis = 0; axis < 3; ++axis) {
    for (int side = 0; side < 2; ++side) {
      std::array<Vec, 4> c;
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      for (int k = 0; k < 4; ++k) {
        c[k][axis] = b[axis + 3 * side];
        c[k][u] = b[u + 3 * (k == 1 || k == 2)];
        c[k][v] = b[v + 3 * (k >= 2)];
      }
      if (RectPasses(planes, c)) return true;
    }
  }
  return false;
}

std::vector<Plane> CameraPlanes(const Camera& c) {
  std::vector<Plane> planes;
  const Vec pos{c.position[0], c.position[1], c.position[2]};
  for (const float* n : {c.planeLeft, c.planeRight, c.planeTop, c.planeBottom})
    planes.push_back({{n[0], n[1], n[2]}, pos});
  planes.push_back({{c.farNormal[0], c.farNormal[1], c.farNormal[2]},
                    {c.farCentre[0], c.farCentre[1], c.farCentre[2]}});
  return planes;
}

std::vector<Plane> OrthoPlanes(const OrthoPass& v) {
  std::vector<Plane> planes;
  for (std::uint32_t k = 0; k < kOrthoPlaneCount; ++k) {
    const float* n = OrthoPlaneNormal(v, k);
    const float* p = OrthoPlanePoint(v, k);
    planes.push_back({{n[0], n[1], n[2]}, {p[0], p[1], p[2]}});
  }
  return planes;
}

// The walk order of the view direction: the axes by decreasing |d| with the stated ties.
std::array<int, 3> AxisOrder(const float* d) {
  const float x = std::fabs(d[0]), y = std::fabs(d[1]), z = std::fabs(d[2]);
  if (x >= y) return y >= z ? std::array{0, 1, 2} : x >= z ? std::array{0, 2, 1} : std::array{2, 0, 1};
  return x >= z ? std::array{1, 0, 2} : z >= y ? std::array{2, 1, 0} : std::array{1, 2, 0};
}

class SceneGridWalksTest : public ::testing::Test {
 protected:
  test::ScopedKernelTable table_;  // the camera's planes
  void SetUp() override {
    gDraws.clear();
    WalkDrawObject = Record;
    SceneGridInit(grid);
  }
  void TearDown() override {
    WalkDrawObject = DrawSceneObject;
    FogFloorHeight = kFogFloorHeightDefault;
    SceneGridRelease(grid);
  }

  // A grid over [0, 8)^3 of fine cells `cell` wide with `count` random objects inside it.
  void Build(std::mt19937& rng, float cell, int count) {
    SpatialGridInit(grid, nullptr, cell, cell, 0, 0, 0, 8, 8, 8);
    objects.assign(count, SceneObject{});
    std::uniform_real_distribution<float> at(-0.5f, 8.5f), size(0, 1.5f);
    for (int i = 0; i < count; ++i) {
      SceneObject& o = objects[i];
      o.firstBatchItem = std::uint32_t(i + 1);
      o.drawMode = std::uint32_t(i % 8);
      for (int a = 0; a < 3; ++a) {
        o.grid.box[2 * a] = at(rng);
        o.grid.box[2 * a + 1] = o.grid.box[2 * a] + size(rng);
      }
      const float* b = o.grid.box;
      ASSERT_EQ(SceneGridRegister(grid, &o.grid, b[0], b[2], b[4], b[1], b[3], b[5]), 1u);
    }
    // Cells may reach beyond their objects' boxes (the preparation widens them): a lone
    // object is then drawn on its cell's test alone.
    std::uniform_real_distribution<float> grow(0, 2);
    for (SceneObject& o : objects) {
      ItemCell& c = grid.fine.cells[o.grid.cellIndex[2]];
      if (c.itemCount == 1 && grow(rng) < 1)
        for (int a = 0; a < 3; ++a) c.box[a] -= grow(rng), c.box[a + 3] += grow(rng);
    }
    // Some fine cells are marked occupied with no objects: still visible.
    std::uniform_int_distribution<std::uint32_t> pick(0, (1u << (3 * grid.fine.log2Size[0])) - 1);
    for (int k = 0; k < 3; ++k) {
      ItemCell& c = grid.fine.cells[pick(rng)];
      if (c.empty != 0) c = ItemCell{nullptr, 0, 0, {0, 0, 0, 8, 8, 8}};
    }
  }

  // Each fine cell (i, j, k) with its ancestors, and whether the reference sees the chain.
  struct FineRef {
    std::uint32_t i, j, k;
    ItemCell* cell;
  };
  template <class CellTest>
  std::vector<FineRef> VisibleFine(CellTest visible) {
    std::vector<FineRef> out;
    const std::uint32_t s = grid.levelShift;
    const std::uint16_t* l = grid.fine.log2Size;
    for (std::uint32_t k = 0; k < (1u << l[2]); ++k)
      for (std::uint32_t j = 0; j < (1u << l[1]); ++j)
        for (std::uint32_t i = 0; i < (1u << l[0]); ++i) {
          const GridCell* c = SceneGridCell32(grid.coarse, i >> 2 * s, j >> 2 * s, k >> 2 * s);
          const GridCell* m = SceneGridCell32(grid.middle, i >> s, j >> s, k >> s);
          ItemCell* f = SceneGridFineCellAt(grid.fine, i, j, k);
          if (visible(c->empty, c->box) && visible(m->empty, m->box) &&
              visible(f->empty, f->box))
            out.push_back({i, j, k, f});
        }
    return out;
  }

  // Lexicographic front-to-back key of a fine cell: coarse, middle, fine place per walk position.
  std::array<std::int64_t, 9> Key(const float* d, std::uint32_t i, std::uint32_t j,
                                  std::uint32_t k) const {
    const std::array<int, 3> order = AxisOrder(d);
    const std::uint32_t at[3] = {i, j, k}, s = grid.levelShift, mask = (1u << s) - 1;
    std::array<std::int64_t, 9> key{};
    for (int level = 0; level < 3; ++level)
      for (int p = 0; p < 3; ++p) {
        const int a = order[p];
        const std::uint32_t shifted = at[a] >> (2 - level) * s;
        const std::int64_t v = level == 0 ? shifted : shifted & mask;
        key[3 * level + p] = std::signbit(d[a]) ? -v : v;
      }
    return key;
  }

  // The draws in order must be those of the visible cells in key order, each cell's list in
  // list order (the recorded objects carry their fine cell's index).
  void ExpectFrontToBack(const float* d) const {
    for (std::size_t n = 1; n < gDraws.size(); ++n) {
      const auto cellOf = [&](const SceneObject* o) {
        const std::uint32_t idx = o->grid.cellIndex[2];
        const std::uint16_t* l = grid.fine.log2Size;
        return Key(d, idx & ((1u << l[0]) - 1), (idx >> l[0]) & ((1u << l[1]) - 1),
                   idx >> (l[0] + l[1]));
      };
      EXPECT_LE(cellOf(gDraws[n - 1].object), cellOf(gDraws[n].object))
          << n << " along " << d[0] << " " << d[1] << " " << d[2];
    }
  }

  SceneGrid grid;
  std::vector<SceneObject> objects;
};

const float kDirections[][3] = {
    {1, 0.3f, -0.2f}, {-1, 0, 0},     {-1, -0.0f, 0.5f}, {0.2f, -1, 0.1f}, {1, 1, 0},
    {0, 1, 1},        {1, 0, 1},      {-0.3f, 0.2f, -1}, {0.5f, 0.5f, 0.5f}, {0, -0.0f, -1},
    {-0.7f, 0.7f, 0}, {0.1f, -0.1f, 0.99f},
};

TEST_F(SceneGridWalksTest, RayWalkMatchesTheBruteForceReference) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> eye(-4, 12), fog(-1, 9);
  int run = 0;
  for (float cell : {1.0f, 2.0f, 0.5f}) {
    for (const float* d : kDirections) {
      SceneGridRelease(grid);
      SceneGridInit(grid);
      Build(rng, cell, 60);
      Camera camera;
      camera.depth = 9;
      camera.fovy = 70;
      CameraSetPosition(camera, eye(rng), eye(rng), eye(rng));
      CameraSetDirection(camera, d[0], d[1], d[2]);
      const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
      CameraFrustumFromMatrices(camera, identity, identity);
      FogFloorHeight = run % 3 == 0 ? kFogFloorHeightDefault : fog(rng);
      const std::uint32_t flags = std::uint32_t(run % 8) | (run % 2 ? 0x30u : 0x10u);
      ++run;
      const std::vector<Plane> planes = CameraPlanes(camera);
      const auto visible = [&](std::uint32_t empty, const float* b) {
        return empty == 0 && b[5] > FogFloorHeight && BoxPasses(planes, b);
      };
      std::vector<SceneObject*> want;
      std::uint32_t wantSum = 0;
      const std::vector<FineRef> cells = VisibleFine(visible);
      for (const FineRef& f : cells) {
        ItemNode* node = f.cell->first;
        for (std::uint32_t n = 0; n < f.cell->itemCount; ++n, node = ItemNodeNext(node)) {
          auto* o = reinterpret_cast<SceneObject*>(reinterpret_cast<char*>(node->item) -
                                                   offsetof(SceneObject, grid));
          const float* b = o->grid.box;
          const float box[6] = {b[0], b[2], b[4], b[1], b[3], b[5]};
          if (b[5] > FogFloorHeight && BoxPasses(planes, box)) {
            want.push_back(o);
            wantSum += o->firstBatchItem;
          }
        }
      }
      gDraws.clear();
      std::uint32_t sum = 12345;
      EXPECT_EQ(SceneGridRayWalk(grid, camera, flags, &sum), cells.size()) << run;
      EXPECT_EQ(sum, wantSum);
      std::vector<SceneObject*> got;
      for (const Draw& dr : gDraws) {
        got.push_back(dr.object);
        const std::uint32_t mode = (flags & 4) ? dr.object->drawMode : flags;
        EXPECT_EQ(dr.flags, (mode & 7) | (flags & 0x30));
      }
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << run;
      ExpectFrontToBack(camera.direction);
      EXPECT_EQ(SceneGridRayWalk(grid, camera, flags, nullptr), cells.size());
    }
  }
  EXPECT_GT(run, 0);
}

// An orthographic box looking along d from `eye`: half width w, half height h.
void MakeOrtho(OrthoPass& v, const float* eye, const float* d, float w, float h, float depth) {
  for (int a = 0; a < 3; ++a) v.position[a] = eye[a], v.direction[a] = d[a];
  OrthoCameraFrameSteps(v);
  const float* r = v.rolledRight;
  const float* u = v.rolledUp;
  const float* f = v.direction;
  const float signs[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
  for (int s = 0; s < 4; ++s)
    for (int a = 0; a < 3; ++a) {
      v.sideNormals[s][a] = signs[s][0] * r[a] + signs[s][1] * u[a];
      v.sideMidPoints[s][a] = eye[a] + f[a] + signs[s][0] * w * r[a] + signs[s][1] * h * u[a];
    }
  for (int a = 0; a < 3; ++a) {
    v.nearNormal[a] = -f[a], v.nearPoint[a] = eye[a] + f[a];
    v.farNormal[a] = f[a], v.farPoint[a] = eye[a] + depth * f[a];
  }
}

TEST_F(SceneGridWalksTest, DrawWalkMatchesTheBruteForceReference) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> eye(-4, 12), half(0.5f, 4);
  FogFloorHeight = 100;  // no fog cut in the draw walk
  int run = 0;
  for (float cell : {1.0f, 0.5f}) {
    for (const float* d : kDirections) {
      SceneGridRelease(grid);
      SceneGridInit(grid);
      Build(rng, cell, 60);
      OrthoPass view;
      const float e[3] = {eye(rng), eye(rng), eye(rng)};
      MakeOrtho(view, e, d, half(rng), half(rng), 12);
      const std::uint32_t flags = std::uint32_t(run++ % 4) | 0x30;  // 0x30 is not passed on
      const std::vector<Plane> planes = OrthoPlanes(view);
      const auto visible = [&](std::uint32_t empty, const float* b) {
        return empty == 0 && BoxPasses(planes, b);
      };
      std::vector<SceneObject*> want;
      const std::vector<FineRef> cells = VisibleFine(visible);
      for (const FineRef& f : cells) {
        ItemNode* node = f.cell->first;
        for (std::uint32_t n = 0; n < f.cell->itemCount; ++n, node = ItemNodeNext(node)) {
          auto* o = reinterpret_cast<SceneObject*>(reinterpret_cast<char*>(node->item) -
                                                   offsetof(SceneObject, grid));
          const float* b = o->grid.box;
          const float box[6] = {b[0], b[2], b[4], b[1], b[3], b[5]};
          if (f.cell->itemCount == 1 || BoxPasses(planes, box)) want.push_back(o);
        }
      }
      gDraws.clear();
      EXPECT_EQ(SceneGridDrawWalk(grid, view, flags), cells.size()) << run;
      std::vector<SceneObject*> got;
      for (const Draw& dr : gDraws) {
        got.push_back(dr.object);
        EXPECT_EQ(dr.flags, flags & 7);
      }
      ExpectFrontToBack(view.direction);
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want) << run;
    }
  }
}

TEST_F(SceneGridWalksTest, FogCutBelongsToTheRayWalkAndEmptyCountersRampFromOne) {
  // One object in a grid of one cell per level; the cell's top is exactly the cut height.
  SpatialGridInit(grid, nullptr, 8, 8, 0, 0, 0, 8, 8, 8);
  objects.assign(1, SceneObject{});
  float* b = objects[0].grid.box;
  const float box[6] = {1, 2, 1, 2, 1, 2};
  std::copy(box, box + 6, b);
  ASSERT_EQ(SceneGridRegister(grid, &objects[0].grid, 1, 1, 1, 2, 2, 2), 1u);
  for (GridCell* c : {grid.coarse.cells, grid.middle.cells}) c->box[5] = 2;
  grid.fine.cells[0].box[5] = 2;
  Camera camera;
  CameraSetPosition(camera, 1.5f, -5, 1.5f);
  CameraSetDirection(camera, 0, 1, 0);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  CameraFrustumFromMatrices(camera, identity, identity);
  OrthoPass view;
  const float eye[3] = {1.5f, -5, 1.5f}, d[3] = {0, 1, 0};
  MakeOrtho(view, eye, d, 4, 4, 20);
  for (float cut : {2.0f, std::nextafter(2.0f, 0.0f)}) {
    FogFloorHeight = cut;
    gDraws.clear();
    const std::uint32_t want = cut < 2 ? 1 : 0;
    EXPECT_EQ(SceneGridRayWalk(grid, camera, 0, nullptr), want) << cut;
    EXPECT_EQ(gDraws.size(), want);
    EXPECT_EQ(SceneGridDrawWalk(grid, view, 0), 1u) << cut;
  }
  // Without flag 8 no cell is outlined: the next walk's ramp scale is 1, not 1 / 0.
  SceneGridRayWalk(grid, camera, 0, nullptr);
  grid.visitScale = 0;
  SceneGridRayWalk(grid, camera, 0, nullptr);
  EXPECT_EQ(grid.visitScale, 1.0f);
  grid.visitCounter = 4;
  SceneGridRayWalk(grid, camera, 0, nullptr);
  EXPECT_EQ(grid.visitScale, 0.25f);
  // An unsized grid has no cells to walk.
  SceneGrid empty;
  SceneGridInit(empty);
  std::uint32_t sum = 9;
  EXPECT_EQ(SceneGridRayWalk(empty, camera, 0, &sum), 0u);
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(SceneGridDrawWalk(empty, view, 0), 0u);
  SceneGridRelease(empty);
}

TEST(OrthoFaceTests, HandPlacedFacesAndBoxes) {
  // Looking along +y from the origin: x in [-1, 1], z in [-1, 1], y from 1 to 10.
  OrthoPass v;
  const float planes[6][2][3] = {{{-1, 0, 0}, {-1, 1, 0}}, {{1, 0, 0}, {1, 1, 0}},
                                 {{0, 0, 1}, {0, 1, 1}},   {{0, 0, -1}, {0, 1, -1}},
                                 {{0, -1, 0}, {0, 1, 0}},  {{0, 1, 0}, {0, 10, 0}}};
  for (int k = 0; k < 6; ++k) {
    float* n = k < 4 ? v.sideNormals[k] : k == 4 ? v.nearNormal : v.farNormal;
    float* p = k < 4 ? v.sideMidPoints[k] : k == 4 ? v.nearPoint : v.farPoint;
    std::copy(planes[k][0], planes[k][0] + 3, n);
    std::copy(planes[k][1], planes[k][1] + 3, p);
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    float f, a0, b0, a1, b1;  // the face at f spanning [a0, a1] x [b0, b1]
    std::uint32_t want;
  };
  const Case xFaces[] = {
      {"inside", 0.5f, 2, -0.5f, 3, 0.5f, 1},
      {"on the right side", 1, 2, -0.5f, 3, 0.5f, 1},
      {"just right of the view", 1.001f, 2, -0.5f, 3, 0.5f, 0},
      {"straddling every plane", 0.2f, -5, -5, 20, 5, 1},
      {"before the near plane", 0, 0.5f, -0.5f, 0.99f, 0.5f, 0},
      {"on the near plane", 0, 0.5f, -0.5f, 1, 0.5f, 1},
      {"beyond the far plane", 0, 10.01f, -0.5f, 12, 0.5f, 0},
      {"not a number", nan, 2, -0.5f, 3, 0.5f, 0},
  };
  for (const Case& c : xFaces)
    EXPECT_EQ(FaceCullTestX(v, c.f, c.a0, c.b0, c.a1, c.b1), c.want) << c.what;
  const Case yFaces[] = {
      {"inside", 5, -0.5f, -0.5f, 0.5f, 0.5f, 1},
      {"before the near plane", 0.999f, -0.5f, -0.5f, 0.5f, 0.5f, 0},
      {"on the far plane", 10, -0.5f, -0.5f, 0.5f, 0.5f, 1},
      {"beyond the far plane", 10.001f, -0.5f, -0.5f, 0.5f, 0.5f, 0},
      {"left of the view", 5, -2, -0.5f, -1.001f, 0.5f, 0},
  };
  for (const Case& c : yFaces)
    EXPECT_EQ(FaceCullTestY(v, c.f, c.a0, c.b0, c.a1, c.b1), c.want) << c.what;
  EXPECT_EQ(FaceCullTestZ(v, 0.999f, -0.5f, 2, 0.5f, 3), 1u);
  EXPECT_EQ(FaceCullTestZ(v, 1.001f, -0.5f, 2, 0.5f, 3), 0u);
  const float corners[4][3] = {{nan, 5, 0}, {2, 5, 0}, {3, 5, 0}, {4, 5, 0}};
  EXPECT_EQ(FacePlaneTest(v, 1, corners), 0u);  // right side: every corner out or not a number
  EXPECT_EQ(FacePlaneTest(v, 0, corners), 1u);
  struct BoxCase {
    const char* what;
    float b[6];
    std::uint32_t want;
  } boxes[] = {
      {"inside", {-0.5f, 2, -0.5f, 0.5f, 3, 0.5f}, 1},
      // No face of a box around the whole view meets it: the face rule rejects the box.
      {"around the whole view", {-5, -5, -5, 5, 50, 5}, 0},
      {"through the whole view", {-0.5f, -5, -0.5f, 0.5f, 50, 0.5f}, 1},
      {"left of the view", {-3, 2, -0.5f, -1.001f, 3, 0.5f}, 0},
      {"touching the left side", {-3, 2, -0.5f, -1, 3, 0.5f}, 1},
      {"behind the eye", {-0.5f, -3, -0.5f, 0.5f, 0.99f, 0.5f}, 0},
      {"nan corner", {nan, 2, -0.5f, nan, 3, 0.5f}, 0},
  };
  for (const BoxCase& c : boxes)
    EXPECT_EQ(BoxFrustumTest(v, c.b[0], c.b[1], c.b[2], c.b[3], c.b[4], c.b[5]), c.want) << c.what;
}

}  // namespace
}  // namespace veskor
