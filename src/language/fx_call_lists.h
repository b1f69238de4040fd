// The fx call lists: the runtime that turns the fx tables of the ParseStore into lists of
// executor calls and runs them for the render preparation. The scene build marks the calls the
// outputs need (MarkUsedFx); the preparation binds the shared calls once (BindFxTables) and
// each item's definition (FxOutputMasks), feeds the output frames, runs them (RunFxCalls) and
// reads the outputs back.
//
// These belong to the map engine's fx runtime, but they read the ParseStore's definitions,
// calls and frame tables, which the language defines. The map engine cannot include the
// language (the language links the map engine), so they live here, beside the store they read;
// the executors, frames and pools they drive stay in the map engine.
#pragma once

#include <cstdint>

#include "language/parse_store.h"
#include "mapengine/fx_frame.h"
#include "mapengine/map_pool.h"

namespace veskor {

inline constexpr std::uint32_t kFxCallListMax = 512;   // records of one call list
inline constexpr std::uint32_t kFxCallFrameMax = 16;   // frames of one record: result, arguments
inline constexpr std::uint32_t kFxTermKinds = 8;       // reference kinds 0 to 7

// One call of a call list. RunFxCalls points FxArgs at `frames`: entry 0 the result, then the
// arguments in call order (a kind-4 argument is an FxTextConstant).
struct FxCallRecord {
  std::uint32_t index;  // position in its list
  FxExecutor executor;
  std::uint32_t frameCount;
  FxFrame* frames[kFxCallFrameMax];
};

// One call list with its bookkeeping: the shared list, or the list of one item's definition.
// A local object of the render preparation; its destructor is MapListRelease.
struct FxExecContext {
  FxExecContext();
  ~FxExecContext();
  FxExecContext(const FxExecContext&) = delete;
  FxExecContext& operator=(const FxExecContext&) = delete;

  MapList temporaries;  // through which this list's executors take their rasters and grids
  ParseStore* store;
  std::uint32_t inputsRead;      // bit s: the definition reads output slot s
  std::uint32_t outputsWritten;  // bit s: the definition assigns output slot s
  FxFrame* frameTables[kFxTermKinds];  // by reference kind; kinds 0 and 4 have none
  FxTextConstant* textConstants;       // kind 4
  std::uint32_t outputSlotCount;       // output frames ResetFxFrames clears (0: shared list)
  std::uint32_t callCount;
  FxCallRecord calls[kFxCallListMax];
};

// Messages a binding leaves in FxErrorText when the store's tables do not fit a call list.
inline constexpr const char* kFxCallListTooLong = "Execution error : too many fx calls";
inline constexpr const char* kFxBadReference = "Execution error : invalid fx reference";
// ... and RunFxCalls when the values alive at once would pass what a MapList can note: the
// rasters and grids of one list, and the most that one executor takes.
inline constexpr const char* kFxTooManyValues = "Execution error : too many fx values at once";
inline constexpr std::uint32_t kFxListRecords = kMapListIndexBytes / sizeof(std::uint32_t);
inline constexpr std::uint32_t kFxTakesPerCall = 2 * kFxMaxRasterComponents;

// Counts the reads of every call and global call that output slot `slot` of definition
// `definition` depends on: each reached call counts, once, the reads its arguments make of
// other calls' results, and the slot counts its reads of the calls that assign it. Calls
// already reached from another slot or definition are not walked again.
void MarkUsedFx(ParseStore& store, std::uint32_t definition, std::uint32_t slot);

// The item vertex format of a definition: 25, plus 4 when it assigns `specular`, plus 2 when it
// assigns `emissive`. 25 for kFxNoDefinition (0xFFFFFFFF) or no definition.
std::uint32_t VertexFormatFromOutputs(const ParseStore& store, std::uint32_t definition);

// Binds the shared list: one record per constant call that is read, its result frame k of the
// constant-call table (k = its index), shared (kind 2). 1, or 0 with a message in FxErrorText
// when a call or a reference does not fit the tables.
std::uint32_t BindFxTables(FxExecContext& context, ParseStore& store);

// Binds the list of one definition: its output masks and one record per call that is read, in
// order, the k-th such call's result being frame k of the call-result table (temporary). 1, or
// 0 with a message in FxErrorText when the list would pass 512 records, a record 16 frames, or
// a reference its table. A definition that does not exist binds an empty list.
std::uint32_t FxOutputMasks(FxExecContext& context, ParseStore& store, std::uint32_t definition);

// Prepares a bound context for a run: every result frame forgotten (its rasters and grids went
// back with the context's last sweep), every output frame empty, and the context's MapList
// made the CurrentMapList.
void ResetFxFrames(FxExecContext& context);

// Calls the executors in order until one returns 0. 1 when all succeeded (or there are none);
// 0 with kFxTooManyValues, before the call that might take past the context's MapList.
std::uint32_t RunFxCalls(FxExecContext& context);

// The output frame of slot s (a frame of the store's output table).
FxFrame* FxFrameAt(FxExecContext& context, std::uint32_t slot);
// Whether the bound definition reads (A) or assigns (B) output slot s.
std::uint32_t FxMaskBitA(const FxExecContext& context, std::uint32_t slot);
std::uint32_t FxMaskBitB(const FxExecContext& context, std::uint32_t slot);

// Gives back the pool rasters and grids of output frame s and empties it; rasters and grids
// that are no pool records (an item's own grids) are only forgotten.
void ReleaseFrameMaps(FxExecContext& context, std::uint32_t slot);

// Gives back every raster and grid taken through the context since its last sweep.
void ReleaseFxTemporaries(FxExecContext& context);

// The two words an item's render record ends with: the `shininess` value the render
// preparation reads back, and a second word.
struct FxRecordWords {
  std::uint32_t second;
  float value;
};
void SetRecordWords(FxRecordWords& words, float value, std::uint32_t second);

// Gives back every raster and grid the context still holds (a failed run included), then the
// blocks of its index lists. The context's destructor; running it twice is harmless.
void MapListRelease(FxExecContext& context);

}  // namespace veskor
