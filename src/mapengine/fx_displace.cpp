// The displace executor: moves an item's position grids along its normal grids by a
// per-vertex amount, in place, and recomputes the normals from the moved positions. Its
// result is only a view of the amount's grid.
#include "foundation/mem_block.h"
#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"
#include "mapengine/kernel_table.h"

namespace veskor {

using namespace fx;

namespace {

// Gives a position grid a current cell-centre companion.
void RebuildCompanion(VertexGrid& grid) {
  grid.companionValid = 0;
  gKernelTable.GridCellCentres(LogW(&grid), LogH(&grid), grid.data,
                               VertexGridTakeCompanion(grid, 1));
  grid.companionValid = 1;
}

}  // namespace

std::uint32_t FxDisplace() {
  SetFxExecutorError("displace");
  FxFrame& result = Result();
  FxFrame& first = Arg(1);
  FxFrame& amount = Arg(2);
  FxFrame& positions = Arg(3);
  FxFrame& normals = Arg(4);
  MapList& list = Temporaries();
  // Positions and normals are moved and rewritten in place: both must be three grids of one
  // size.
  if (positions.count < 3 || !GridsOfOneSize(positions, 3)) return 0;
  if (normals.count < 3 || !GridsOfOneSize(normals, 3) ||
      !SameSize(normals.grids[0], positions.grids[0]))
    return 0;
  VertexGrid* p[3] = {positions.grids[0], positions.grids[1], positions.grids[2]};
  VertexGrid* nrm[3] = {normals.grids[0], normals.grids[1], normals.grids[2]};
  const std::uint16_t w = p[0]->log2Width, h = p[0]->log2Height;

  // The amount, as a grid of the positions' size.
  const float* amountValues = nullptr;
  VertexGrid* temporary = nullptr;
  VertexGrid* amountGrid = amount.count != 0 ? FxGridAt(amount, 0) : nullptr;
  const Map* amountMap = amount.count != 0 ? FxMapAt(amount, 0) : nullptr;
  if (amountGrid != nullptr) {
    if (amountGrid->log2Width == w && amountGrid->log2Height == h) {
      amountValues = amountGrid->data;
    } else if (amountGrid->log2Width <= w && amountGrid->log2Height <= h) {
      temporary = TakeVertexGridSlot(list, w, h);
      if (FxMatchDimensions(*amountGrid, *temporary) == 0) {
        ReleaseVertexGridSlot(list, &temporary);
        return 0;
      }
      amountValues = temporary->data;
    } else {
      return 0;  // finer than the positions
    }
  } else if (amountMap != nullptr) {
    if (amountMap->log2Width != w || amountMap->log2Height != h) return 0;
    temporary = TakeVertexGridSlot(list, w, h);
    gKernelTable.MapToBordered(static_cast<u8>(w), static_cast<u8>(h), amountMap->data, 1,
                               temporary->data);
    amountValues = temporary->data;
  } else {
    return 0;
  }

  for (int c = 0; c < 3; ++c)
    gKernelTable.GridMulAdd(static_cast<u8>(w), static_cast<u8>(h), nrm[c]->data, amountValues,
                            p[c]->data, p[c]->data);
  if (temporary != nullptr) ReleaseVertexGridSlot(list, &temporary);

  for (VertexGrid* grid : p) RebuildCompanion(*grid);
  gKernelTable.GridDiagonalNormals(static_cast<u8>(w), static_cast<u8>(h), p[0]->companion[1],
                                   p[1]->companion[1], p[2]->companion[1], nrm[0]->data,
                                   nrm[1]->data, nrm[2]->data);

  result.kind = kFxFrameKept;
  result.count = 1;
  result.grids[0] = amountGrid;
  result.maps[0] = nullptr;
  ReleaseFxFrame(list, first);
  ReleaseFxFrame(list, amount);
  return 1;
}

}  // namespace veskor
