// The structural executors: '=', select and group2 to group4. They copy components whole.
#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"

namespace veskor {

using namespace fx;

namespace {

// Whether a value of `total` components fits a frame: at most 16, and floats from position 8
// on (isFloatAt(k) tells whether component k of the result will be a float).
template <class IsFloatAt>
bool FitsAValue(std::uint32_t total, IsFloatAt isFloatAt) {
  if (total > kFxMaxComponents) return false;
  for (std::uint32_t k = kFxMaxRasterComponents; k < total; ++k)
    if (!isFloatAt(k)) return false;
  return true;
}

std::uint32_t Group(std::uint32_t n, const char* name) {
  SetFxExecutorError(name);
  FxFrame& result = Result();
  // Component k of the result is component `local` of argument `arg`.
  auto locate = [&](std::uint32_t k, std::uint32_t& arg, std::uint32_t& local) {
    arg = 1;
    local = k;
    while (local >= Arg(arg).count) local -= Arg(arg++).count;
  };
  std::uint32_t total = 0;
  for (std::uint32_t i = 1; i <= n; ++i) total += Arg(i).count;
  const bool fits = FitsAValue(total, [&](std::uint32_t k) {
    std::uint32_t arg, local;
    locate(k, arg, local);
    return FxIsFloat(Arg(arg), local);
  });
  if (!fits) return 0;

  FxMakeLive(result, static_cast<std::uint16_t>(total));
  for (std::uint32_t k = 0; k < total; ++k) {
    std::uint32_t arg, local;
    locate(k, arg, local);
    CopyFxComponent(Temporaries(), result, k, Arg(arg), local);
  }
  for (std::uint32_t i = 1; i <= n; ++i) ReleaseFxFrame(Temporaries(), Arg(i));
  return 1;
}

}  // namespace

std::uint32_t FxAssign() {
  FxFrame& result = Result();
  FxFrame& destination = Arg(1);
  FxFrame& source = Arg(2);
  MapList& list = Temporaries();
  const std::uint32_t n = source.count;  // the source may be emptied by its release
  // The new components are taken and filled before the old ones go back, so a source that
  // shares rasters or grids with the destination (a view of it) is still whole when copied.
  Map* oldMaps[kFxMaxRasterComponents] = {};
  VertexGrid* oldGrids[kFxMaxRasterComponents] = {};
  if (&destination != &source) {
    for (std::uint32_t i = 0; i < n; ++i) {
      if (i < kFxMaxRasterComponents) {
        oldMaps[i] = destination.maps[i];
        oldGrids[i] = destination.grids[i];
      }
      CopyFxComponent(list, destination, i, source, i);
    }
    for (std::uint32_t i = 0; i < kFxMaxRasterComponents; ++i) {
      ReleaseMapSlot(list, &oldMaps[i]);
      ReleaseVertexGridSlot(list, &oldGrids[i]);
    }
  }
  destination.count = static_cast<std::uint16_t>(n);
  destination.refCount = destination.useCount;
  ReleaseFxFrame(list, source);

  result.kind = kFxFrameKept;
  result.refCount = 0;
  result.useCount = 0;
  result.count = destination.count;
  for (std::uint32_t i = 0; i < n; ++i) {
    result.floats[i] = destination.floats[i];
    if (i < kFxMaxRasterComponents) {
      result.maps[i] = destination.maps[i];
      result.grids[i] = destination.grids[i];
    }
  }
  return 1;
}

std::uint32_t FxSelect() {
  SetFxExecutorError("[]");
  FxFrame& result = Result();
  FxFrame& source = Arg(1);
  FxFrame& indices = Arg(2);
  std::uint32_t picked[kFxMaxComponents];
  std::uint32_t total = 0;
  const std::uint32_t n = indices.count < kFxMaxComponents ? indices.count : kFxMaxComponents;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t index = TruncatedWord(indices.floats[i]);
    if (index >= source.count) continue;
    picked[total++] = index;
  }
  if (!FitsAValue(total, [&](std::uint32_t k) { return FxIsFloat(source, picked[k]); }))
    return 0;

  FxMakeLive(result, static_cast<std::uint16_t>(total));
  for (std::uint32_t k = 0; k < total; ++k)
    CopyFxComponent(Temporaries(), result, k, source, picked[k]);
  ReleaseFxFrame(Temporaries(), source);
  ReleaseFxFrame(Temporaries(), indices);
  return 1;
}

std::uint32_t FxGroup2() { return Group(2, "group2"); }
std::uint32_t FxGroup3() { return Group(3, "group3"); }
std::uint32_t FxGroup4() { return Group(4, "group4"); }

}  // namespace veskor
