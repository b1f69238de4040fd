// FxFrame: one value of an fx program (floats, Map rasters or VertexGrids as components), the
// globals through which the fx executors reach their operands and report failure, and the
// reference counting that gives temporaries back to the pools. The frames themselves live in
// the frame tables that the parse store owns; the executors and the call lists use them.
#pragma once

#include <cstdint>

#include "mapengine/map.h"
#include "mapengine/map_pool.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// A value holds up to 16 components; rasters and grids only in the first 8 (a 4 x 4 matrix is
// a value of 16 floats).
inline constexpr std::uint32_t kFxMaxComponents = 16;
inline constexpr std::uint32_t kFxMaxRasterComponents = 8;

// Frame kinds.
inline constexpr std::uint16_t kFxFrameKept = 0;       // never released by executors
inline constexpr std::uint16_t kFxFrameTemporary = 1;  // released at its last read
inline constexpr std::uint16_t kFxFrameShared = 2;     // result of the shared call list

struct FxFrame {
  std::uint16_t count;  // components 0 .. count-1
  float floats[kFxMaxComponents];
  Map* maps[kFxMaxRasterComponents];
  VertexGrid* grids[kFxMaxRasterComponents];
  std::uint16_t refCount;  // reads still outstanding
  std::uint16_t useCount;  // reads the call list makes, set when the list is bound
  std::uint16_t kind;
};

// Component i is a raster when its Map pointer is set, else a grid when its VertexGrid
// pointer is set, else a float. Components 8 to 15 are always floats.
inline Map* FxMapAt(const FxFrame& frame, std::uint32_t i) {
  return i < kFxMaxRasterComponents ? frame.maps[i] : nullptr;
}
inline VertexGrid* FxGridAt(const FxFrame& frame, std::uint32_t i) {
  return i < kFxMaxRasterComponents && frame.maps[i] == nullptr ? frame.grids[i] : nullptr;
}
inline bool FxIsFloat(const FxFrame& frame, std::uint32_t i) {
  return FxMapAt(frame, i) == nullptr && FxGridAt(frame, i) == nullptr;
}

inline constexpr std::uint32_t kFxTextBytes = 512;

// A text constant, the value an argument of reference kind 4 designates: a word, then the
// zero-terminated text. The frame tables themselves, and text constants with them, belong to
// the parse store, which holds the one definition of their capacities.
struct FxTextConstant {
  std::uint32_t word;
  char text[kFxTextBytes];
};
static_assert(sizeof(FxTextConstant) == 516, "text constants lie 516 bytes apart");

// An executor: reads its frames through FxArgs, returns 1 on success and 0 on failure.
using FxExecutor = std::uint32_t (*)();

// The frame pointers of the call being executed: entry 0 the result, entries 1 to n the
// arguments in call order. Set by the call-list runner before each executor call. An argument
// of reference kind 4 points at an FxTextConstant, not at a frame.
extern FxFrame** FxArgs;

// The failure text: every executor copies its message here first, before it looks at its
// operands, and leaves it whether it succeeds or not.
inline constexpr std::uint32_t kFxErrorTextBytes = 512;
extern char FxErrorText[kFxErrorTextBytes];

// Copies `text` into FxErrorText (cut to fit, always terminated).
void SetFxErrorText(const char* text);
// Copies "Execution error : '" + name + "'" into FxErrorText.
void SetFxExecutorError(const char* name);

// Drops one read of `frame`. At the last read of a temporary, its pool rasters and grids go
// back to their pools (counted off `list`), every component pointer is cleared and the count
// becomes 0; rasters and grids that are not handed-out pool records are only forgotten. Kept
// and shared frames are left untouched, reference count included.
void ReleaseFxFrame(MapList& list, FxFrame& frame);

// Makes a result live before an executor fills it: a temporary or shared frame with a use
// count, not yet live (reference count 0), gets `count` components and its reference count
// set to its use count. Any other frame is left as it is.
void FxMakeLive(FxFrame& result, std::uint16_t count);

// Takes component `index` of `result` like component `modelIndex` of `model`: a fresh pool
// raster or grid of the model's sizes through `list`, or no pointers for a float. The
// previous pointers are overwritten, not released.
void FxTakeLike(MapList& list, FxFrame& result, std::uint32_t index, const FxFrame& model,
                std::uint32_t modelIndex);

// Copies component `sourceIndex` of `source` into component `destinationIndex` of
// `destination`, taking a new pool raster or grid for it. The count is not changed.
void CopyFxComponent(MapList& list, FxFrame& destination, std::uint32_t destinationIndex,
                     const FxFrame& source, std::uint32_t sourceIndex);

// Overwrites the values of `fine` with the cubic B-spline refinement of `coarse`, keeping
// fine's sizes. Returns 0, changing nothing, when fine is coarser than coarse in either
// direction or finer by more than the refinement's 8 levels; the message "Execution error :
// cannot adjust dimensions" is left in FxErrorText in every case.
std::uint32_t FxMatchDimensions(const VertexGrid& coarse, VertexGrid& fine);

// The most levels one refinement can add in each direction.
inline constexpr std::uint32_t kFxMaxRefineLevels = 8;

}  // namespace veskor
