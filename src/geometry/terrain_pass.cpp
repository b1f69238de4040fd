#include "geometry/terrain_pass.h"

#include <algorithm>

#include "geometry/build_progress.h"
#include "geometry/draw_items.h"
#include "geometry/item_geometry.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "geometry/skin_slot.h"
#include "geometry/subdivision_settings.h"
#include "language/fx_call_lists.h"
#include "language/fx_keywords.h"
#include "language/parse_store.h"

namespace veskor {
namespace {

constexpr std::uint32_t kBlocksPerSide = 4;
constexpr float kPassRangeStart = 0.025f;
constexpr float kPassRangeEnd = 0.15f;

// The working storage of the pass, built at first use and kept for the whole run: the tiles'
// scene nodes and curve sets, the tile transform and the region grid.
struct TerrainPassStatics {
  SceneNode nodes[kTerrainTileMax]{};
  EdgeCurveList lists[kTerrainTileMax]{};
  TransformNode tileTransform{};
  ScratchArray<RegionCell> cells;
  RegionGrid grid{nullptr, 0, 0};
  ~TerrainPassStatics() {
    for (EdgeCurveList& list : lists) EdgeCurveListFree(list);
  }
};

TerrainPassStatics& Statics() {
  static TerrainPassStatics statics;
  return statics;
}

// 2^a x 2^b cells, their block reserved anew only when the size changes.
void SizeRegionGrid(TerrainPassStatics& s, std::uint32_t a, std::uint32_t b) {
  const std::uint32_t n = std::uint32_t{1} << (a + b);
  if (s.grid.cells == nullptr || s.grid.log2Width != a || s.grid.log2Height != b) {
    VmArrayRelease(s.cells.array);
    s.cells.Reserve(n);
  }
  s.cells.Clear();
  VmArrayAppend(s.cells.array, n, sizeof(RegionCell));  // commits the pages the cells take
  s.grid = {s.cells.data(), a, b};
}

void BeginPassProgress(std::uint32_t tiles) {
  BuildProgress& p = gBuildProgress;
  p.start = kPassRangeStart;
  p.end = kPassRangeEnd;
  p.fraction = 0;
  p.step = tiles > 1 ? 1.0f / static_cast<float>(tiles - 1) : 0.0f;  // one tile: no step
}

void EndPassProgress() {
  BuildProgress& p = gBuildProgress;
  p.start = p.end;
  p.fraction = 0;
  p.step = 0;
}

}  // namespace

const RegionGrid& TerrainRegionGrid() { return Statics().grid; }

std::uint32_t GenerateGeometryPass(const HeightFieldRecord& map, std::uint32_t l1, std::uint32_t l2,
                                   const TransformNode& node, World& world, std::uint32_t& counter,
                                   std::uint16_t fxIndex) {
  if (SceneBuildFailed()) return 0;
  const std::uint32_t w = map.grid.log2Width, h = map.grid.log2Height;
  if (map.grid.data == nullptr || w < 2 || h < 2) {
    SceneBuildFail(kHeightFieldTooSmallMessage);
    return 0;
  }
  TerrainPassStatics& s = Statics();
  TransformNodeInitUnit(s.tileTransform);
  // A finest size above the block's makes each block one tile.
  const std::uint32_t bw = w - 2, bh = h - 2;
  l1 = std::min(l1, bw);
  l2 = std::min(l2, bh);
  SizeRegionGrid(s, w - l1, h - l2);

  BeginPassProgress(std::uint32_t{1} << (w - l1 + h - l2));
  if (ReportBuildProgress(kGenerateStageLabel) == 0) return 0;

  const std::uint32_t vertexFormat = VertexFormatFromOutputs(
      gParseStore, fxIndex == 0xFFFF ? kFxNoDefinition : std::uint32_t{fxIndex});
  const std::uint32_t firstItem = gItemCount;
  std::uint32_t tileBase = 0;  // tile ids count over the whole pass
  for (std::uint32_t by = 0; by < kBlocksPerSide; ++by) {
    for (std::uint32_t bx = 0; bx < kBlocksPerSide; ++bx) {
      SetTransformGlobals(node);
      RenderListReset();
      const std::uint32_t x0 = bx << bw, z0 = by << bh;
      std::uint32_t tiles = 0;
      if (bw > l1 && bh > l2) {
        const std::uint32_t qx = std::uint32_t{1} << (bw - 1), qz = std::uint32_t{1} << (bh - 1);
        for (const auto& [dx, dz] : {std::pair{0u, 0u}, {qx, 0u}, {0u, qz}, {qx, qz}})
          CurveSetTile(map, s.lists, tiles, s.grid, tileBase, x0 + dx, z0 + dz, bw - 1, bh - 1, l1,
                       l2);
      } else {
        const auto x = static_cast<std::int32_t>(x0), z = static_cast<std::int32_t>(z0);
        CurveSetBuild(map, s.lists[0], x, z, x + (1 << bw) + 1, z + (1 << bh) + 1);
        RegionGridFillTile(s.grid, tileBase, x0, z0, bw, bh, l1, l2);
        tiles = 1;
      }

      for (std::uint32_t t = 0; t < tiles && !SceneBuildFailed(); ++t) {
        RegisterSceneObject(s.lists[t], gTerrainGeometryLod, s.tileTransform, s.nodes[t]);
        SceneInstance* record = AddSceneInstance(world);
        if (record == nullptr) break;
        RegisterDrawItemLeaf(s.nodes[t], *record);
        record->fxIndex = fxIndex;
        record->vertexFormat = vertexFormat;
        ++counter;
      }
      tileBase += tiles;

      const std::uint32_t blockItems = gItemCount;
      const std::uint32_t done = SceneBuildFailed() ? 0 : GenerateGeometry();
      for (std::uint32_t t = 0; t < tiles; ++t) EdgeCurveListFree(s.lists[t]);
      for (std::uint32_t i = blockItems; i < gItemCount; ++i) {
        gSkinSlots[i].levelW = static_cast<std::uint8_t>(l1);
        gSkinSlots[i].levelH = static_cast<std::uint8_t>(l2);
      }
      if (done == 0) return 0;
    }
  }
  FindRegionBorders(s.grid, 0, 0, std::uint32_t{1} << (w - l1), std::uint32_t{1} << (h - l2),
                    firstItem);
  EndPassProgress();
  return 1;
}

}  // namespace veskor
