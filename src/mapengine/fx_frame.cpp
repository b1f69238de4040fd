#include "mapengine/fx_frame.h"

#include <cstdio>
#include <cstring>

#include "foundation/fatal_error.h"
#include "foundation/mem_block.h"
#include "mapengine/kernel_table.h"

namespace veskor {

FxFrame** FxArgs = nullptr;
char FxErrorText[kFxErrorTextBytes];

void SetFxErrorText(const char* text) {
  std::snprintf(FxErrorText, sizeof FxErrorText, "%s", text);
}

void SetFxExecutorError(const char* name) {
  std::snprintf(FxErrorText, sizeof FxErrorText, "Execution error : '%s'", name);
}

void ReleaseFxFrame(MapList& list, FxFrame& frame) {
  if (frame.kind != kFxFrameTemporary) return;
  // A temporary that is not live holds nothing to give back; its count must not wrap.
  if (frame.refCount == 0) return;
  if (--frame.refCount != 0) return;
  const std::uint32_t n =
      frame.count < kFxMaxRasterComponents ? frame.count : kFxMaxRasterComponents;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (frame.maps[i] != nullptr)
      ReleaseMapSlot(list, &frame.maps[i]);
    else if (frame.grids[i] != nullptr)
      ReleaseVertexGridSlot(list, &frame.grids[i]);
  }
  for (std::uint32_t i = 0; i < kFxMaxRasterComponents; ++i) {
    frame.maps[i] = nullptr;
    frame.grids[i] = nullptr;
  }
  frame.count = 0;
}

void FxMakeLive(FxFrame& result, std::uint16_t count) {
  if (result.kind == kFxFrameKept || result.useCount == 0 || result.refCount != 0) return;
  result.count = count;
  result.refCount = result.useCount;
}

void FxTakeLike(MapList& list, FxFrame& result, std::uint32_t index, const FxFrame& model,
                std::uint32_t modelIndex) {
  if (index >= kFxMaxRasterComponents) return;  // only floats live there: no pointers
  if (const Map* map = FxMapAt(model, modelIndex)) {
    result.maps[index] = MapPoolAcquire(list, map->log2Width, map->log2Height);
    result.grids[index] = nullptr;
  } else if (const VertexGrid* grid = FxGridAt(model, modelIndex)) {
    result.grids[index] = TakeVertexGridSlot(list, grid->log2Width, grid->log2Height);
    result.maps[index] = nullptr;
  } else {
    result.maps[index] = nullptr;
    result.grids[index] = nullptr;
  }
}

void CopyFxComponent(MapList& list, FxFrame& destination, std::uint32_t destinationIndex,
                     const FxFrame& source, std::uint32_t sourceIndex) {
  FxTakeLike(list, destination, destinationIndex, source, sourceIndex);
  if (const Map* map = FxMapAt(source, sourceIndex)) {
    gKernelTable.MapCopy(1, static_cast<std::uint8_t>(map->log2Width),
                         static_cast<std::uint8_t>(map->log2Height), map->data,
                         destination.maps[destinationIndex]->data);
  } else if (const VertexGrid* grid = FxGridAt(source, sourceIndex)) {
    gKernelTable.GridCopy(static_cast<std::uint8_t>(grid->log2Width),
                          static_cast<std::uint8_t>(grid->log2Height), grid->data,
                          destination.grids[destinationIndex]->data);
  } else {
    destination.floats[destinationIndex] = source.floats[sourceIndex];
  }
}

namespace {

// The two scratch nets of the dimension matching: empty descriptors between calls.
MemBlock gNetScratchA;
MemBlock gNetScratchB;

float* TakeNet(MemBlock& block, std::uint32_t w, std::uint32_t h) {
  const std::uint64_t bytes =
      std::uint64_t{4} * ((std::uint64_t{1} << w) + 3) * ((std::uint64_t{1} << h) + 3);
  if (bytes > 0xFFFFFFFFu) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  MemBlockReserve(block, static_cast<std::uint32_t>(bytes));
  return static_cast<float*>(MemBlockAppend(block, static_cast<std::uint32_t>(bytes)));
}

}  // namespace

std::uint32_t FxMatchDimensions(const VertexGrid& coarse, VertexGrid& fine) {
  SetFxErrorText("Execution error : cannot adjust dimensions");
  const std::uint32_t cw = coarse.log2Width, ch = coarse.log2Height;
  const std::uint32_t fw = fine.log2Width, fh = fine.log2Height;
  if (fw < cw || fh < ch) return 0;
  // The refinement kernel's weight table has levels 0 to 8: more would read past it.
  if (fw - cw > kFxMaxRefineLevels || fh - ch > kFxMaxRefineLevels) return 0;
  float* a = TakeNet(gNetScratchA, cw, ch);
  float* b = TakeNet(gNetScratchB, fw, fh);
  gKernelTable.GridToNet(static_cast<std::uint8_t>(cw), static_cast<std::uint8_t>(ch), 0, 0,
                         coarse.data, a);
  gKernelTable.MapBSplineUpsample(static_cast<std::uint8_t>(cw), static_cast<std::uint8_t>(ch),
                                  static_cast<std::uint8_t>(fw - cw),
                                  static_cast<std::uint8_t>(fh - ch), a, b);
  MemBlockRelease(gNetScratchA);
  gKernelTable.GridFromBordered(static_cast<std::uint8_t>(fw), static_cast<std::uint8_t>(fh), b,
                                fine.data);
  MemBlockRelease(gNetScratchB);
  return 1;
}

}  // namespace veskor
