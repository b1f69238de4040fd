#include "geometry/skin_work_maps.h"

#include "foundation/fatal_error.h"
#include "foundation/session_log.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

std::uint8_t U8(std::uint32_t v) { return static_cast<std::uint8_t>(v); }

bool TileInside(const Map& map, const SkinTile& tile) {
  return map.data != nullptr && tile.tilesWide <= map.log2Width &&
         tile.tilesHigh <= map.log2Height && tile.column < (1u << tile.tilesWide) &&
         tile.row < (1u << tile.tilesHigh);
}

using SeamKernel = void (*)(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint32_t,
                            std::uint32_t, float*, std::uint8_t, std::uint8_t, std::uint8_t,
                            std::uint8_t, std::uint32_t, std::uint32_t, float*);

}  // namespace

std::uint32_t SkinMapValues(std::uint32_t w, std::uint32_t h) {
  const std::uint64_t values = w > 30 || h > 30
                                   ? ~std::uint64_t{0}
                                   : ((std::uint64_t{1} << w) + 3) * ((std::uint64_t{1} << h) + 3);
  // Bytes that would wrap a 32-bit count would size a block smaller than the map.
  if (values > (std::uint64_t{1} << 29))
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  return static_cast<std::uint32_t>(values);
}

void SkinMapAlloc(Map& map, std::uint32_t w, std::uint32_t h) {
  if (map.data != nullptr) {
    if (map.log2Width == w && map.log2Height == h) return;
    MemBlockRelease(map.block);
    map.data = nullptr;
  }
  const std::uint32_t bytes = 4 * SkinMapValues(w, h);
  map.log2Width = static_cast<std::uint16_t>(w);
  map.log2Height = static_cast<std::uint16_t>(h);
  MemBlockReserve(map.block, bytes);
  map.data = static_cast<float*>(MemBlockAppend(map.block, bytes));
}

void SkinMapSetAlloc(Map* maps, std::uint32_t w, std::uint32_t h) {
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) SkinMapAlloc(maps[j], w, h);
}

void GridsToSkinMaps(Map* maps, const SkinGridSet& grids, std::uint32_t wrapX,
                     std::uint32_t wrapY) {
  const VertexGrid& first = grids.grids[0];
  if (first.data == nullptr) return;
  const std::uint32_t w = first.log2Width, h = first.log2Height;
  SkinMapSetAlloc(maps, w, h);
  static constexpr std::uint32_t kGridOfMap[kSkinWorkMapsPerSet] = {0, 1, 2, 6, 7, 8};
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
    const VertexGrid& grid = grids.grids[kGridOfMap[j]];
    // The nine grids of a set share one size; a grid left unsized has nothing to give.
    if (grid.data == nullptr || grid.log2Width != w || grid.log2Height != h) continue;
    gKernelTable.GridToNet(U8(w), U8(h), wrapX, wrapY, grid.data, maps[j].data);
  }
}

void SkinWorkLoad(SkinWork& work, const SkinSlot& slot, std::uint32_t a, std::uint32_t b) {
  work.levelOffsetW = slot.lodReduceW;
  work.levelOffsetH = slot.lodReduceH;
  GridsToSkinMaps(work.maps[0], slot.gridSets[0], a, b);
  GridsToSkinMaps(work.maps[1], slot.gridSets[1], 0, 0);
  GridsToSkinMaps(work.maps[2], slot.gridSets[2], 0, 0);
}

void SkinsConnect(SkinWork& a, std::uint32_t code, SkinWork& b, const SkinTile& tileA,
                  const SkinTile& tileB) {
  // The region border sides: B left of A, above A, above-left, above-right.
  const SeamKernel kernels[4] = {gKernelTable.NetStitchColumnsAt, gKernelTable.NetStitchRowsAt,
                                 gKernelTable.NetStitchCornerAt, gKernelTable.NetStitchCornerAt2};
  if (code > 3) return;
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
    Map& ma = a.maps[0][j];
    Map& mb = b.maps[0][j];
    if (!TileInside(ma, tileA) || !TileInside(mb, tileB)) {
      SessionLog& log = LogStream();
      LogWriteText(log, "Skins connect : map ");
      LogWriteUnsigned(log, j);
      LogWriteText(log, " empty or its tile outside it, the seam is left open\n");
      continue;
    }
    kernels[code](U8(ma.log2Width), U8(ma.log2Height), tileA.tilesWide, tileA.tilesHigh,
                  tileA.column, tileA.row, ma.data, U8(mb.log2Width), U8(mb.log2Height),
                  tileB.tilesWide, tileB.tilesHigh, tileB.column, tileB.row, mb.data);
  }
}

void ReleaseSkinMapSet(SkinWork& work) {
  for (auto& set : work.maps) {
    for (Map& map : set) {
      MemBlockRelease(map.block);
      map.data = nullptr;
    }
  }
}

}  // namespace veskor
