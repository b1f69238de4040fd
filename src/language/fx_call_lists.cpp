#include "language/fx_call_lists.h"

#include <cstring>
#include <initializer_list>

#include "language/fx_keywords.h"

namespace veskor {
namespace {

constexpr std::uint32_t kNotBound = 0xFFFFFFFF;
constexpr std::uint32_t kSpecularSlot = 4;
constexpr std::uint32_t kEmissiveSlot = 6;

// A call of one of the store's tables: its entry and its argument list.
struct CallRef {
  FxCallEntry* entry;
  const RecordListHeader* arguments;
};

std::uint32_t Smaller(std::uint32_t a, std::uint32_t b) { return a < b ? a : b; }

// The call a term reads the result of: kind 1 a call of `definition` (null for none), 6 a
// global call, 7 a constant call. None for other kinds or positions past the tables.
CallRef CalledBy(ParseStore& store, const FxRecord* definition, const FxTerm& term) {
  VmArray* calls = nullptr;
  RecordLists* lists = nullptr;
  std::uint32_t position = term.index, count = 0;
  if (term.kind == kFxTermSurfaceCall && definition != nullptr) {
    if (term.index >= definition->surfaceCallCount) return {};
    position = definition->firstSurfaceCall + term.index;
    calls = &store.surfaceCalls;
    lists = &store.surfaceCallArguments;
    count = Smaller(calls->count, lists->headerCount);
  } else if (term.kind == kFxTermGlobalCall || term.kind == kFxTermConstantCall) {
    const bool global = term.kind == kFxTermGlobalCall;
    calls = global ? &store.globalCalls : &store.constantCalls;
    lists = global ? &store.globalCallArguments : &store.constantCallArguments;
    count = Smaller(calls->count, lists->headerCount);
  }
  if (calls == nullptr || position >= count) return {};
  return {VmArrayData<FxCallEntry>(*calls) + position, lists->headers + position};
}

// The terms still to be walked by MarkUsedFx, each the call of a read just counted.
struct Pending {
  FxTerm term;
  bool local;  // a call of the definition being marked
};

void SetTables(FxExecContext& context, ParseStore& store) {
  context.store = &store;
  std::memset(context.frameTables, 0, sizeof context.frameTables);
  context.frameTables[kFxTermSurfaceCall] = store.surfaceCallFrames;
  context.frameTables[kFxTermOutput] = store.outputFrames;
  context.frameTables[kFxTermGlobalInput] = store.globalInputFrames;
  context.frameTables[kFxTermFloat] = store.floatConstants;
  context.frameTables[kFxTermGlobalCall] = store.globalCallFrames;
  context.frameTables[kFxTermConstantCall] = store.constantCallFrames;
  context.textConstants = store.stringConstants;
  context.callCount = 0;
}

// The frame an argument designates, or null when its kind or index has none. Call results
// (kind 1) go through `bound`, the record of each earlier call, and must be bound already;
// shared results (kind 7) must come from a call before `sharedLimit`.
FxFrame* ArgumentFrame(const FxExecContext& context, const FxTerm& term,
                       const std::uint32_t* bound, std::uint32_t before,
                       std::uint32_t sharedLimit) {
  const ParseStore& s = *context.store;
  std::uint32_t limit = 0;
  switch (term.kind) {
    case kFxTermSurfaceCall:
      if (bound == nullptr || term.index >= before || bound[term.index] == kNotBound)
        return nullptr;
      return context.frameTables[kFxTermSurfaceCall] + bound[term.index];
    case kFxTermOutput:
      limit = kFxOutputFrameMax;
      break;
    case kFxTermGlobalInput:
      limit = kFxGlobalInputFrameMax;
      break;
    case kFxTermString:
      return term.index < s.stringConstantCount
                 ? reinterpret_cast<FxFrame*>(context.textConstants + term.index)
                 : nullptr;
    case kFxTermFloat:
      limit = s.floatConstantCount;
      break;
    case kFxTermGlobalCall:
      limit = Smaller(s.globalCalls.count, kFxGlobalCallFrameMax);
      break;
    case kFxTermConstantCall:
      limit = Smaller(sharedLimit, kFxConstantCallFrameMax);
      break;
    default:
      return nullptr;  // parameters have no frame: only expanded definitions run
  }
  return term.index < limit ? context.frameTables[term.kind] + term.index : nullptr;
}

// Appends record `k` for `call`, whose result is `result`. 0 with the message set when a
// reference has no frame or the record would pass 16 frames.
std::uint32_t BindRecord(FxExecContext& context, const CallRef& call, FxFrame* result,
                         const std::uint32_t* bound, std::uint32_t before,
                         std::uint32_t sharedLimit) {
  FxCallRecord& record = context.calls[context.callCount];
  record.index = context.callCount;
  record.executor = call.entry->executor;
  record.frameCount = 1;
  record.frames[0] = result;
  const auto* args = static_cast<const FxTerm*>(call.arguments->first);
  if (call.arguments->count + 1 > kFxCallFrameMax) {
    SetFxErrorText(kFxBadReference);
    return 0;
  }
  for (std::uint32_t i = 0; i < call.arguments->count; ++i) {
    FxFrame* frame = ArgumentFrame(context, args[i], bound, before, sharedLimit);
    if (frame == nullptr) {
      SetFxErrorText(kFxBadReference);
      return 0;
    }
    record.frames[record.frameCount++] = frame;
  }
  ++context.callCount;
  return 1;
}

// A result frame as binding leaves it: empty, not live, read `reads` times.
void ClearResult(FxFrame& frame, std::uint32_t reads, std::uint16_t kind) {
  frame = FxFrame{};
  frame.useCount = static_cast<std::uint16_t>(Smaller(reads, 0xFFFF));
  frame.kind = kind;
}

// Drops from a MapList's index list the records given back one by one since they were taken,
// so that it counts only what it still holds.
template <class Record>
void DropGivenBack(VmArray& indices, const Record* records) {
  auto* index = VmArrayData<std::uint32_t>(indices);
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < indices.count; ++i) {
    if (records[index[i]].data != nullptr) index[kept++] = index[i];
  }
  VmArrayPop(indices, indices.count - kept, sizeof(std::uint32_t));
}

void ClearComponents(FxFrame& frame) {
  std::memset(frame.floats, 0, sizeof frame.floats);
  std::memset(frame.maps, 0, sizeof frame.maps);
  std::memset(frame.grids, 0, sizeof frame.grids);
  frame.count = 0;
}

}  // namespace

FxExecContext::FxExecContext()
    : store(nullptr),
      inputsRead(0),
      outputsWritten(0),
      frameTables{},
      textConstants(nullptr),
      outputSlotCount(0),
      callCount(0) {
  MapListInit(temporaries);
}

FxExecContext::~FxExecContext() { MapListRelease(*this); }

void MarkUsedFx(ParseStore& store, std::uint32_t definition, std::uint32_t slot) {
  if (definition >= store.fxRecords.count || slot >= store.slotCount) return;
  const FxRecord& d = VmArrayData<FxRecord>(store.fxRecords)[definition];
  if (d.firstOutputRecord + slot >= store.outputRecords.count) return;
  const FxOutputRecord& output =
      VmArrayData<FxOutputRecord>(store.outputRecords)[d.firstOutputRecord + slot];

  // Every call is walked once, so each argument of a reached call counts one read; the
  // worklist never holds more than the calls' arguments plus the slot's writes.
  std::uint32_t bound = kFxOutputWriteMax + 1;
  for (const RecordLists* lists :
       {&store.surfaceCallArguments, &store.globalCallArguments, &store.constantCallArguments}) {
    bound += static_cast<std::uint32_t>(lists->records.usedBytes / sizeof(FxTerm));
  }
  VmArray work{};
  VmArrayReserve(work, bound * static_cast<std::uint32_t>(sizeof(Pending)));
  auto* pending = static_cast<Pending*>(VmArrayAppend(work, bound, sizeof(Pending)));
  std::uint32_t top = 0;
  auto read = [&](const FxTerm& term, bool local) {
    const CallRef call = CalledBy(store, local ? &d : nullptr, term);
    if (call.entry == nullptr) return;
    ++call.entry->useCount;
    if (!call.entry->marked && top < bound) pending[top++] = {term, local};
  };
  for (std::uint32_t w = 0; w < Smaller(output.count, kFxOutputWriteMax); ++w)
    read(output.writes[w], true);
  while (top != 0) {
    const Pending p = pending[--top];
    const CallRef call = CalledBy(store, p.local ? &d : nullptr, p.term);
    if (call.entry->marked) continue;
    call.entry->marked = 1;
    const auto* args = static_cast<const FxTerm*>(call.arguments->first);
    for (std::uint32_t i = 0; i < call.arguments->count; ++i) {
      // Only the calls of the definition itself read its call results.
      if (args[i].kind == kFxTermSurfaceCall && !p.local) continue;
      read(args[i], args[i].kind == kFxTermSurfaceCall);
    }
  }
  VmArrayRelease(work);
}

std::uint32_t VertexFormatFromOutputs(const ParseStore& store, std::uint32_t definition) {
  if (definition >= store.fxRecords.count) return 25;
  const FxRecord& d = VmArrayData<FxRecord>(store.fxRecords)[definition];
  const auto* outputs = VmArrayData<FxOutputRecord>(store.outputRecords);
  auto written = [&](std::uint32_t slot) {
    const std::uint32_t record = d.firstOutputRecord + slot;
    return slot < store.slotCount && record < store.outputRecords.count &&
           outputs[record].written != 0;
  };
  return 25 + (written(kSpecularSlot) ? 4 : 0) + (written(kEmissiveSlot) ? 2 : 0);
}

std::uint32_t BindFxTables(FxExecContext& context, ParseStore& store) {
  SetTables(context, store);
  const std::uint32_t n = Smaller(store.constantCalls.count, store.constantCallArguments.headerCount);
  auto* entries = VmArrayData<FxCallEntry>(store.constantCalls);
  for (std::uint32_t k = 0; k < n; ++k) {
    if (entries[k].useCount == 0) continue;  // read by nothing that runs
    if (k >= kFxConstantCallFrameMax || context.callCount == kFxCallListMax) {
      SetFxErrorText(kFxCallListTooLong);
      return 0;
    }
    FxFrame& result = store.constantCallFrames[k];
    ClearResult(result, entries[k].useCount, kFxFrameShared);
    if (!BindRecord(context, {entries + k, store.constantCallArguments.headers + k}, &result,
                    nullptr, 0, k)) {
      return 0;
    }
  }
  return 1;
}

std::uint32_t FxOutputMasks(FxExecContext& context, ParseStore& store, std::uint32_t definition) {
  SetTables(context, store);
  context.inputsRead = context.outputsWritten = 0;
  context.outputSlotCount = 0;
  if (definition >= store.fxRecords.count) return 1;
  if (store.slotCount > kFxOutputFrameMax) {
    SetFxErrorText(kFxBadReference);
    return 0;
  }
  const FxRecord d = VmArrayData<FxRecord>(store.fxRecords)[definition];
  context.outputSlotCount = store.slotCount;
  const auto* outputs = VmArrayData<FxOutputRecord>(store.outputRecords);
  for (std::uint32_t s = 0; s < store.slotCount; ++s) {
    const std::uint32_t record = d.firstOutputRecord + s, list = d.firstOutputList + s;
    if (record < store.outputRecords.count && outputs[record].written != 0)
      context.outputsWritten |= 1u << s;
    if (list < store.outputLists.headerCount && store.outputLists.headers[list].count != 0)
      context.inputsRead |= 1u << s;
  }

  // The bound record of each call, by position.
  VmArray scratch{};
  VmArrayReserve(scratch, (d.surfaceCallCount + 1) * 4);
  auto* bound = static_cast<std::uint32_t*>(VmArrayAppend(scratch, d.surfaceCallCount, 4));
  std::uint32_t ok = 1;
  for (std::uint32_t j = 0; j < d.surfaceCallCount && ok; ++j) {
    bound[j] = kNotBound;
    const CallRef call = CalledBy(store, &d, {kFxTermSurfaceCall, static_cast<std::uint16_t>(j), 0, 0, 0});
    if (call.entry == nullptr) {
      SetFxErrorText(kFxBadReference);
      ok = 0;
    } else if (call.entry->useCount != 0) {
      if (context.callCount == kFxCallListMax) {
        SetFxErrorText(kFxCallListTooLong);
        ok = 0;
        break;
      }
      FxFrame& result = store.surfaceCallFrames[context.callCount];
      ClearResult(result, call.entry->useCount, kFxFrameTemporary);
      bound[j] = context.callCount;
      ok = BindRecord(context, call, &result, bound, j, store.constantCalls.count);
    }
  }
  VmArrayRelease(scratch);
  return ok;
}

void ResetFxFrames(FxExecContext& context) {
  for (std::uint32_t k = 0; k < context.callCount; ++k) {
    FxFrame& result = *context.calls[k].frames[0];
    ClearComponents(result);
    result.refCount = 0;
  }
  for (std::uint32_t s = 0; s < context.outputSlotCount; ++s) {
    FxFrame& output = context.store->outputFrames[s];
    ClearComponents(output);
    output.kind = kFxFrameKept;
  }
  MapPoolInit(context.temporaries);
}

std::uint32_t RunFxCalls(FxExecContext& context) {
  if (context.callCount == 0) return 1;
  MapList& list = context.temporaries;
  MapPoolInit(list);
  FxFrame** const previous = FxArgs;
  std::uint32_t result = 1;
  for (std::uint32_t k = 0; k < context.callCount && result != 0; ++k) {
    // A list notes at most kMapListIndexBytes / 4 records; a take past that is fatal. Records
    // given back at their last read leave the count, so only values alive at once are bounded.
    DropGivenBack(list.mapIndices, gMapPools.maps.records);
    DropGivenBack(list.gridIndices, gMapPools.grids.records);
    if (list.mapIndices.count + kFxTakesPerCall > kFxListRecords ||
        list.gridIndices.count + kFxTakesPerCall > kFxListRecords) {
      SetFxErrorText(kFxTooManyValues);
      result = 0;
      break;
    }
    FxArgs = context.calls[k].frames;
    result = context.calls[k].executor();
  }
  FxArgs = previous;
  return result;
}

FxFrame* FxFrameAt(FxExecContext& context, std::uint32_t slot) {
  return slot < kFxOutputFrameMax && context.store != nullptr ? context.store->outputFrames + slot
                                                              : nullptr;
}

std::uint32_t FxMaskBitA(const FxExecContext& context, std::uint32_t slot) {
  return slot < 32 ? (context.inputsRead >> slot) & 1u : 0;
}

std::uint32_t FxMaskBitB(const FxExecContext& context, std::uint32_t slot) {
  return slot < 32 ? (context.outputsWritten >> slot) & 1u : 0;
}

void ReleaseFrameMaps(FxExecContext& context, std::uint32_t slot) {
  FxFrame* frame = FxFrameAt(context, slot);
  if (frame == nullptr) return;
  for (std::uint32_t i = 0; i < kFxMaxRasterComponents; ++i) {
    if (frame->grids[i] != nullptr)
      ReleaseVertexGridSlot(context.temporaries, &frame->grids[i]);
    else if (frame->maps[i] != nullptr)
      ReleaseMapSlot(context.temporaries, &frame->maps[i]);
  }
  ClearComponents(*frame);
}

void ReleaseFxTemporaries(FxExecContext& context) { MapPoolReleaseAll(context.temporaries); }

void SetRecordWords(FxRecordWords& words, float value, std::uint32_t second) {
  words.second = second;
  words.value = value;
}

void MapListRelease(FxExecContext& context) {
  MapList* const current = CurrentMapList;  // the sweep clears it; another list stays current
  MapPoolReleaseAll(context.temporaries);
  if (current != &context.temporaries) CurrentMapList = current;
  VmArrayRelease(context.temporaries.mapIndices);
  VmArrayRelease(context.temporaries.gridIndices);
  context.temporaries.mapsHeld = context.temporaries.gridsHeld = 0;
}

}  // namespace veskor
