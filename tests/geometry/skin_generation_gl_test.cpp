// Skins end to end, driven the way the render preparation's skin stages drive them: the items
// of a built scene (a "-" composition of the Cube and the Sphere, with caps, and a terrain of
// tiles) get grids sampled from their cross-sections, caps through the square ring mapping,
// work maps, seams matched along the region borders, the maps refined back, borders stored and
// stitched in item order, pass lists and bound textures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "generation_test_support.h"
#include "geometry/cross_section.h"
#include "geometry/geometry_test_support.h"
#include "geometry/patch_borders.h"
#include "geometry/path_set.h"
#include "geometry/skin_passes.h"
#include "geometry/skin_sampling.h"
#include "geometry/skin_work_maps.h"
#include "geometry/terrain_pass.h"
#include "gfx/texture_format.h"
#include "language/height_field.h"

namespace veskor::test {
namespace {

struct Row {
  std::vector<float> a[kSampleArrays];
  float* p[kSampleArrays];
  explicit Row(std::uint32_t n) {
    for (std::uint32_t c = 0; c < kSampleArrays; ++c) a[c].resize(n), p[c] = a[c].data();
  }
};

// The grid of each stored sample channel.
constexpr std::pair<std::uint32_t, std::uint32_t> kChannels[] = {
    {0, kSampleX},     {1, kSampleY},       {2, kSampleHeight},
    {6, kSampleParam}, {7, kSampleSection}, {8, kSampleMark}};

// Rows of the body from sections first to last: each row blends the two sections around it.
void FillBody(PathSet& p, SkinGridSet& set, std::uint32_t first, std::uint32_t last, bool patch) {
  const std::uint32_t nu = VertexGridSideX(set.grids[0]), nv = VertexGridSideY(set.grids[0]);
  Row lower(nu), upper(nu);
  const auto sample = [&](std::uint32_t k, Row& r) {
    if (patch && k == first)
      SkinPathSamplesAlt(nu, p.paths[k], r.p);
    else
      SkinPathSamples(nu, p.paths[k], r.p);
    return r.a[kSampleSection][0];
  };
  std::uint32_t next = first;
  sample(next, lower);
  float h0 = 0, h1 = next < last ? sample(++next, upper) : (sample(next, upper), 1.0f);
  for (std::uint32_t j = 0; j < nv; ++j) {
    const float v = float(j) / float(nv - 1);
    while (v > h1 - 0.0005f && next < last) {
      std::swap(lower, upper);
      h0 = h1;
      h1 = sample(++next, upper);
    }
    const float t = h1 > h0 ? std::clamp((v - h0) / (h1 - h0), 0.0f, 1.0f) : 0.0f;
    for (const auto& [g, c] : kChannels)
      for (std::uint32_t i = 0; i < nu; ++i)
        *VertexGridCell(set.grids[g], i, j) = (1 - t) * lower.a[c][i] + t * upper.a[c][i];
  }
}

// A cap: the square's rings mapped onto the outline, weight 1 at the border, 0 at the centre.
void FillCap(const SweepPath& outline, const float* centre, SkinGridSet& set) {
  const std::uint32_t n = VertexGridSideX(set.grids[0]);
  for (std::uint32_t y = 0; y < n; ++y)
    for (std::uint32_t x = 0; x < n; ++x) {
      float q, w, f;
      std::uint32_t i;
      SkinSampleWeights(float(x) / float(n - 1), float(y) / float(n - 1), &q, &w);
      SkinRowStep(outline, 0, outline.count, q, &i, &f);
      const float o[3] = {SweepPathLerpX(outline, i, f), SweepPathLerpY(outline, i, f),
                          outline.height};
      for (std::uint32_t g = 0; g < 3; ++g)
        *VertexGridCell(set.grids[g], x, y) = (1 - w) * centre[g] + w * o[g];
      *VertexGridCell(set.grids[6], x, y) = q;
      *VertexGridCell(set.grids[7], x, y) = w;
      *VertexGridCell(set.grids[8], x, y) = 0;
    }
}

class SkinGeneration : public GenerationGlTest {
 protected:
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      PathSetFree(gItemPathSets.sets[i]);
      ReleaseSkinMapSet(gSkinWork.records[i]);
      ReleaseSkinGrids(gSkinSlots[i]);
      for (SkinTextureSet& t : gSkinSlots[i].textureSets)
        for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k) TextureFree(SkinTexture(t, k));
    }
    PatchBorderListRelease(borders_);
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    GenerationGlTest::TearDown();
  }
  // The shading stand-in: every texture of a set with data, one channel for the light map.
  static void Shade(SkinSlot& s) {
    for (std::uint32_t k = 0; k < kSkinSetCount; ++k) {
      const VertexGrid& g0 = s.gridSets[k].grids[0];
      if (g0.data == nullptr) continue;
      for (std::uint32_t t = 0; t < kSkinTexturesPerSet; ++t) {
        FloatTexture2D& tex = SkinTexture(s.textureSets[k], t);
        FloatTexture2DRealloc(tex, t == 0 ? 1 : 3, g0.log2Width, g0.log2Height);
        gKernelTable.GridAverage2x2(std::uint8_t(g0.log2Width), std::uint8_t(g0.log2Height),
                                    s.gridSets[k].grids[7].data, std::uint8_t(t == 0 ? 1 : 3),
                                    static_cast<float*>(tex.pixels.data));
      }
    }
  }
  // The render stage of item i: refine the maps back, the patch borders, the passes.
  void Render(std::uint32_t i, const std::int32_t* neighbours, std::vector<bool>& done) {
    SkinSlot& s = gSkinSlots[i];
    SkinWork& w = gSkinWork.records[i];
    SizeSkinArrays(s, w, w.levelOffsetW, w.levelOffsetH);
    FilterSkinTextures(s, w);
    ReleaseSkinMapSet(w);
    if (neighbours != nullptr) {  // first column, first row, last column, last row
      VertexGrid* g[6];
      for (std::uint32_t c = 0; c < 6; ++c) g[c] = &s.gridSets[0].grids[c];
      for (std::uint32_t c = 3; c < 6; ++c)
        VertexGridAlloc(*g[c], g[0]->log2Width, g[0]->log2Height);
      using Stitch = std::uint32_t (*)(const PatchBorderList&, std::uint32_t, VertexGrid* const*);
      using Copy = std::uint32_t (*)(PatchBorderList&, std::uint32_t, VertexGrid* const*);
      const Stitch stitch[4] = {StitchPatchCol0, StitchPatchRow0, StitchPatchColN, StitchPatchRowN};
      const Copy copy[4] = {CopyPatchBorderCol0, CopyPatchBorderRow0, CopyPatchBorderColN,
                            CopyPatchBorderRowN};
      for (std::uint32_t side = 0; side < 4; ++side) {
        const std::int32_t n = neighbours[side];
        if (n < 0) continue;
        if (done[std::uint32_t(n)])
          EXPECT_EQ(stitch[side](borders_, std::uint32_t(n), g), 1u) << i << " " << side;
        else
          EXPECT_EQ(copy[side](borders_, i, g), 1u) << i << " " << side;
      }
    }
    done[i] = true;
    Shade(s);
    BuildSkinPassList(s, 0x20);
    SetSkinTextureModes(s, neighbours != nullptr ? kSkinModesFirstSetOnly : 0);
    const FloatTexture2D& diffuse = s.textureSets[0].diffuse;
    EXPECT_EQ(diffuse.state.dirty, 0u) << i;  // bound and uploaded
    EXPECT_EQ(diffuse.state.mode, HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3)
                                      ? kModeSplitOnBasis
                                      : kModeCompressed);
    const char* compat = std::getenv("VESKOR_GL_COMPAT");
    EXPECT_EQ(s.passCount, compat != nullptr && std::strcmp(compat, "0") == 0 ? 2u : 1u) << i;
    ReleaseSkinArrays(s);
  }
  PatchBorderList borders_{};
};

// The object: the body three levels, the caps two; the refined positions stay inside the
// sections' box (the refinement averages with positive weights), the caps' centres are the
// sections' centroids and their corners lie on the outlines.
TEST_F(SkinGeneration, AComposedObjectGetsItsBodyAndCapsSkinned) {
  WorldClearModels(gWorld);
  RegisterBuiltinModels(gWorld);
  FillSessionRanges(gWorld);
  TransformNode identity, cube, sphere;
  TransformNodeInit(identity);
  TransformNodeInitUnit(cube);
  TransformNodeInitUnit(sphere);
  sphere.translation[0] = 1.2f, sphere.identity = 0, sphere.dirty = 1;
  SetTransformGlobals(identity);
  SceneNode a{}, b{}, r{};
  RegisterSceneObject(gWorld.models[gWorld.builtinModels[kBuiltinCube]], cube, a);
  RegisterSceneObject(gWorld.models[gWorld.builtinModels[kBuiltinSphere]], sphere, b);
  RegisterDrawItemSub(a, b, r);
  RegisterDrawItemLeaf(r, *AddSceneInstance(gWorld));
  ASSERT_EQ(GenerateGeometry(), 1u);
  ASSERT_EQ(gItemCount, 1u);

  PathSet& p = gItemPathSets.sets[0];
  SkinSlot& s = gSkinSlots[0];
  ASSERT_EQ(p.kind, kPathSetClosed);
  ASSERT_GE(p.count, 2u);
  const float box[4] = {p.minX, p.maxX, p.minY, p.maxY};
  s.lodReduceW = s.lodReduceH = 1;
  SizeSkinGrids(s.gridSets[0], 3, 3);
  const SweepPath& bottom = p.paths[0];
  ASSERT_EQ(SectionKind(bottom) & kSectionKindMask, kSectionCappedBottom);
  ASSERT_GT(bottom.totalLength, 0.0005f);
  SweepPath outline;
  SweepPathInit(outline);
  SweepPathReverseCopy(outline, bottom);
  float centre[3];
  SweepPathCentroid(outline, &centre[0], &centre[1], &centre[2]);
  SizeSkinGrids(s.gridSets[1], 2, 2);
  FillCap(outline, centre, s.gridSets[1]);
  const VertexGrid& cap = s.gridSets[1].grids[0];
  EXPECT_FLOAT_EQ(*VertexGridCell(cap, 2, 2), centre[0]);
  EXPECT_FLOAT_EQ(*VertexGridCell(cap, 0, 0), outline.x[0]);
  EXPECT_FLOAT_EQ(*VertexGridCell(s.gridSets[1].grids[6], 4, 4), 0.5f);
  SweepPathRelease(outline);
  FillBody(p, s.gridSets[0], 0, p.count - 1, false);
  PathSetFree(p);

  SkinWorkLoad(gSkinWork.records[0], s, 1, 0);
  ReleaseSkinGrids(s);
  std::vector<bool> done(1, false);
  Render(0, nullptr, done);
  const VertexGrid& g0 = s.gridSets[0].grids[0];
  ASSERT_EQ(g0.log2Width, 4);  // one level finer than the work maps
  const VertexGrid& g1 = s.gridSets[0].grids[1];
  for (std::uint32_t k = 0; k < 17 * 17; ++k) {
    ASSERT_GE(g0.data[k], box[0] - 1e-4f) << k;
    ASSERT_LE(g0.data[k], box[1] + 1e-4f) << k;
    ASSERT_GE(g1.data[k], box[2] - 1e-4f) << k;
    ASSERT_LE(g1.data[k], box[3] + 1e-4f) << k;
  }
  EXPECT_EQ(s.gridSets[1].grids[0].log2Width, 2);
  EXPECT_EQ(s.gridSets[2].grids[0].data, nullptr);  // no top cap was made
}

// The terrain: tiles of one size, their seams joined along the region borders, their edges
// stitched in item order: afterwards every pair of neighbours shares its edge.
TEST_F(SkinGeneration, TerrainTilesShareTheirEdgesAfterConnectAndStitch) {
  HeightFieldRecord map{};
  VertexGridInit(map.grid);
  HeightFieldSetup(map, 5, -64, 0, -64, 64, 20, 64);
  for (std::uint32_t k = 0; k < 33 * 33; ++k)
    map.grid.data[k] =
        0.5f + 0.4f * std::sin(0.3f * float(k % 33)) * std::cos(0.2f * float(k / 33));
  std::uint32_t counter = 0;
  ASSERT_EQ(GenerateGeometryPass(map, 2, 2, TransformNode{}, gWorld, counter, 0xFFFF), 1u);
  VertexGridRelease(map.grid);
  const std::uint32_t items = gItemCount;
  ASSERT_GT(items, 4u);
  ASSERT_GT(gRegionBorders.size(), 0u);

  std::uint32_t pool = 0;
  for (std::uint32_t i = 0; i < items; ++i) {
    SkinSlot& s = gSkinSlots[i];
    PathSet& p = gItemPathSets.sets[i];
    ASSERT_EQ(s.levelW + 10 * s.levelH, gSkinSlots[0].levelW + 10 * gSkinSlots[0].levelH);
    s.lodReduceW = s.lodReduceH = 0;  // far from every detail box
    SizeSkinGrids(s.gridSets[0], s.levelW, s.levelH);
    FillBody(p, s.gridSets[0], 0, p.count - 1, true);
    PathSetFree(p);
    SkinWorkLoad(gSkinWork.records[i], s, 0, 0);
    ReleaseSkinGrids(s);
    pool += PatchBorderFloats(s.levelW, s.levelH);
  }
  std::vector<std::int32_t> neighbours(4 * items, -1);
  for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) {
    const RegionBorder& c = gRegionBorders[k];
    SkinsConnect(gSkinWork.records[c.region], c.side, gSkinWork.records[c.neighbourRegion],
                 SkinTile{c.levelX, c.levelY, c.x, c.y},
                 SkinTile{c.neighbourLevelX, c.neighbourLevelY, c.neighbourX, c.neighbourY});
    if (c.side == kBorderLeft) {
      neighbours[4 * c.region + 0] = std::int32_t(c.neighbourRegion);
      neighbours[4 * c.neighbourRegion + 2] = std::int32_t(c.region);
    } else if (c.side == kBorderUp) {
      neighbours[4 * c.region + 1] = std::int32_t(c.neighbourRegion);
      neighbours[4 * c.neighbourRegion + 3] = std::int32_t(c.region);
    }
  }
  PatchBorderListReserve(borders_, items, pool);
  std::vector<bool> done(items, false);
  for (std::uint32_t i = 0; i < items; ++i) Render(i, &neighbours[4 * i], done);

  std::uint32_t pairs = 0;
  for (std::uint32_t i = 0; i < items; ++i) {
    for (const std::uint32_t side : {0u, 1u}) {  // left and upper neighbour
      const std::int32_t n = neighbours[4 * i + side];
      if (n < 0) continue;
      ++pairs;
      const SkinGridSet& a = gSkinSlots[i].gridSets[0];
      const SkinGridSet& b = gSkinSlots[n].gridSets[0];
      const std::uint32_t w = a.grids[0].log2Width, h = a.grids[0].log2Height;
      const std::uint32_t len = side == 0 ? 1u << h : 1u << w;
      for (std::uint32_t c = 0; c < 6; ++c)
        for (std::uint32_t j = 1; j < len; ++j) {  // the corners belong to two sides
          const float mine =
              side == 0 ? *VertexGridCell(a.grids[c], 0, j) : *VertexGridCell(a.grids[c], j, 0);
          const float theirs = side == 0 ? *VertexGridCell(b.grids[c], 1u << w, j)
                                         : *VertexGridCell(b.grids[c], j, 1u << h);
          ASSERT_EQ(mine, theirs) << i << " " << side << " " << c << " " << j;
        }
    }
  }
  EXPECT_GT(pairs, items / 2);
}

}  // namespace
}  // namespace veskor::test
