// The access executor: bilinear lookups of a table (1 to 3 rasters, or 1 to 3 grids, of one
// size) at the per-vertex coordinates of two grids U and V. The result has one grid per table
// component, of the coordinates' size.
#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"
#include "mapengine/kernel_table.h"

namespace veskor {

using namespace fx;

namespace {

enum class TableKind { kRasters, kGrids, kNone };

// The table's components 0..n-1: all rasters of one size, all grids of one size, or neither.
TableKind KindOf(const FxFrame& table, std::uint32_t n) {
  if (GridsOfOneSize(table, n)) return TableKind::kGrids;
  const Map* first = FxMapAt(table, 0);
  if (first == nullptr) return TableKind::kNone;
  for (std::uint32_t i = 1; i < n; ++i) {
    const Map* m = FxMapAt(table, i);
    if (m == nullptr || !SameSize(m, first)) return TableKind::kNone;
  }
  return TableKind::kRasters;
}

}  // namespace

std::uint32_t FxAccess() {
  SetFxExecutorError("access");
  FxFrame& result = Result();
  FxFrame& table = Arg(1);
  FxFrame& coordinates = Arg(2);
  MapList& list = Temporaries();
  if (coordinates.count < 2 || !GridsOfOneSize(coordinates, 2)) return 0;
  const VertexGrid* u = coordinates.grids[0];
  const VertexGrid* v = coordinates.grids[1];
  const u8 a = LogW(u), b = LogH(u);

  // A table of no component or of more than three would give no result at all.
  const std::uint32_t n = table.count;
  if (n < 1 || n > 3) return 0;
  const TableKind kind = KindOf(table, n);
  if (kind == TableKind::kNone) return 0;
  // The raster lookups blend each texel with its right and lower neighbours: a raster one
  // texel wide or high has none.
  if (kind == TableKind::kRasters &&
      (table.maps[0]->log2Width == 0 || table.maps[0]->log2Height == 0))
    return 0;

  FxMakeLive(result, static_cast<std::uint16_t>(n));
  float* d[3] = {};
  for (std::uint32_t i = 0; i < n; ++i) {
    result.grids[i] = TakeVertexGridSlot(list, a, b);
    result.maps[i] = nullptr;
    d[i] = result.grids[i]->data;
  }
  // Rasters and grids sample alike, through the members for their layout.
  const bool rasters = kind == TableKind::kRasters;
  const float* t[3] = {};
  for (std::uint32_t i = 0; i < n; ++i) t[i] = rasters ? table.maps[i]->data : table.grids[i]->data;
  const u8 w = rasters ? LogW(table.maps[0]) : LogW(table.grids[0]);
  const u8 h = rasters ? LogH(table.maps[0]) : LogH(table.grids[0]);
  const KernelTable& k = gKernelTable;
  if (n == 1)
    (rasters ? k.GridSampleBilinear4 : k.GridSampleBilinear)(w, h, t[0], a, b, u->data, v->data,
                                                             d[0]);
  else if (n == 2)
    (rasters ? k.GridSampleBilinear5 : k.GridSampleBilinear2)(w, h, t[0], t[1], a, b, u->data,
                                                              v->data, d[0], d[1]);
  else
    (rasters ? k.GridSampleBilinear6 : k.GridSampleBilinear3)(w, h, t[0], t[1], t[2], a, b, u->data,
                                                              v->data, d[0], d[1], d[2]);
  ReleaseFxFrame(list, table);
  ReleaseFxFrame(list, coordinates);
  return 1;
}

}  // namespace veskor
