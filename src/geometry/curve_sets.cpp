#include "geometry/curve_sets.h"

#include <algorithm>

#include "geometry/scene_build_error.h"

namespace veskor {
namespace {

std::int32_t Clamp(std::int32_t v, std::int32_t top) { return std::clamp(v, 0, top); }

// Curve k of the list: column i, rows j0 - 1 to j1.
void FillColumn(const HeightFieldRecord& map, EdgeCurve& curve, std::int32_t i, std::int32_t j0,
                std::int32_t j1) {
  EdgeCurveResize(curve, static_cast<std::uint32_t>(j1 - j0 + 2));
  for (std::int32_t j = j0 - 1; j <= j1; ++j) {
    float p[3];
    HeightGridPoint(map, i, j, p);
    AppendCurvePoint(curve, p[0], p[1], p[2], 0, 0, kEdgeCurveLevels, 0);
  }
}

}  // namespace

void HeightGridPoint(const HeightFieldRecord& map, std::int32_t i, std::int32_t j, float* point) {
  const VertexGrid& g = map.grid;
  const std::int32_t ci = Clamp(i, 1 << g.log2Width), cj = Clamp(j, 1 << g.log2Height);
  const float value =
      g.data[VertexGridIndex(g, static_cast<std::uint32_t>(ci), static_cast<std::uint32_t>(cj))];
  point[0] = static_cast<float>(i) * map.cellSizeX + map.box[0];
  point[1] = value * map.heightSpan - map.box[1];
  point[2] = static_cast<float>(j) * map.cellSizeY + map.box[2];
}

void HeightGridTileCentre(const HeightFieldRecord& map, std::int32_t i, std::int32_t j,
                          std::uint32_t lx, std::uint32_t lz, float* point) {
  const float* b = map.box;
  point[0] = static_cast<float>(i) * map.cellSizeX + b[0] +
             0.5f * (b[3] - b[0]) / static_cast<float>(std::uint64_t{1} << lx);
  point[1] = b[1] + 0.5f * (b[4] - b[1]);
  point[2] = static_cast<float>(j) * map.cellSizeY + b[2] +
             0.5f * (b[5] - b[2]) / static_cast<float>(std::uint64_t{1} << lz);
}

void CurveSetBuild(const HeightFieldRecord& map, EdgeCurveList& list, std::int32_t i0,
                   std::int32_t j0, std::int32_t i1, std::int32_t j1) {
  const auto n = static_cast<std::uint32_t>(i1 - i0 + 2);
  EdgeCurveListResize(list, n, kEdgeCurveListCurveSet);
  EdgeCurve* curves = EdgeCurveListAppend(list, n);
  for (std::int32_t i = i0 - 1; i <= i1; ++i) FillColumn(map, curves[i - i0 + 1], i, j0, j1);
}

void RegionGridFillTile(RegionGrid& grid, std::uint32_t region, std::uint32_t x0, std::uint32_t z0,
                        std::uint32_t lx, std::uint32_t lz, std::uint32_t flx, std::uint32_t flz) {
  const std::uint32_t cx0 = x0 >> flx, cz0 = z0 >> flz;
  const std::uint32_t nx = std::uint32_t{1} << (lx - flx), nz = std::uint32_t{1} << (lz - flz);
  const std::uint32_t width = std::uint32_t{1} << grid.log2Width;
  const std::uint32_t height = std::uint32_t{1} << grid.log2Height;
  for (std::uint32_t z = 0; z < nz && cz0 + z < height; ++z) {
    for (std::uint32_t x = 0; x < nx && cx0 + x < width; ++x)
      grid.cells[((cz0 + z) << grid.log2Width) + cx0 + x] = {region, lx - flx, lz - flz, x, z};
  }
}

void CurveSetTile(const HeightFieldRecord& map, EdgeCurveList* lists, std::uint32_t& counter,
                  RegionGrid& grid, std::uint32_t base, std::uint32_t x0, std::uint32_t z0,
                  std::uint32_t lx, std::uint32_t lz, std::uint32_t flx, std::uint32_t flz) {
  while (lx > flx && lz > flz) {
    --lx, --lz;
    const std::uint32_t dx = std::uint32_t{1} << lx, dz = std::uint32_t{1} << lz;
    CurveSetTile(map, lists, counter, grid, base, x0, z0, lx, lz, flx, flz);
    CurveSetTile(map, lists, counter, grid, base, x0 + dx, z0, lx, lz, flx, flz);
    CurveSetTile(map, lists, counter, grid, base, x0, z0 + dz, lx, lz, flx, flz);
    x0 += dx, z0 += dz;
  }
  if (counter >= kTerrainTileMax) return SceneBuildFail(kTooManyTerrainTilesMessage);
  const auto x = static_cast<std::int32_t>(x0), z = static_cast<std::int32_t>(z0);
  CurveSetBuild(map, lists[counter], x, z, x + (1 << lx) + 1, z + (1 << lz) + 1);
  RegionGridFillTile(grid, base + counter, x0, z0, lx, lz, flx, flz);
  ++counter;
}

}  // namespace veskor
