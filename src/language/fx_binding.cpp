#include "language/fx_binding.h"

#include <cmath>
#include <cstring>

#include "language/fx_keywords.h"
#include "language/record_lists.h"

namespace veskor {
namespace {

// The output slots the displacement reads and writes.
constexpr std::uint16_t kPointOutput = 0;
constexpr std::uint16_t kNormalOutput = 1;
constexpr std::uint16_t kDisplaceOutput = 2;
constexpr std::uint32_t kAssignRow = 0;

enum class CallClass { kConstant, kGlobal, kSurface };

// Constant: every argument a string, a float or a constant call (or none at all). Global:
// every argument one of those, a global input or a global call. Else the call belongs to the
// definition being read.
CallClass Classify(std::uint32_t n, const FxTerm* args) {
  bool constant = true, global = true;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint16_t k = args[i].kind;
    const bool fixed = k == kFxTermString || k == kFxTermFloat || k == kFxTermConstantCall;
    constant = constant && fixed;
    global = global && (fixed || k == kFxTermGlobalInput || k == kFxTermGlobalCall);
  }
  if (constant) return CallClass::kConstant;
  return global ? CallClass::kGlobal : CallClass::kSurface;
}

bool SameArguments(const FxTerm* a, const FxTerm* b, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    if (a[i].kind != b[i].kind || a[i].index != b[i].index || a[i].version != b[i].version)
      return false;
  }
  return true;
}

// The position, counted from `first`, of the call among `count` calls that is identical to
// (row, args); -1 when there is none.
std::int64_t FindIdentical(const VmArray& calls, const RecordLists& lists, std::uint32_t first,
                           std::uint32_t count, std::uint32_t row, std::uint32_t n,
                           const FxTerm* args) {
  const FxCallEntry* entries = VmArrayData<FxCallEntry>(calls);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t call = first + i;
    if (entries[call].row != row || lists.headers[call].count != n) continue;
    if (SameArguments(RecordListEntries<FxTerm>(lists, call), args, n)) return i;
  }
  return -1;
}

FxTerm Term(std::uint16_t kind, std::uint32_t index, const FxDescriptor& descriptor) {
  return {kind, static_cast<std::uint16_t>(index), descriptor.access, descriptor.type, 0};
}

// An output read as the parser reads it now: its current write count is the version.
FxTerm OutputRead(const FxRegistry& registry, std::uint16_t output) {
  return {kFxTermOutput, output, kFxAccessRead, kFxTypeValue,
          FxRegistryOutput(registry, output).writeCount};
}

// Appends a call entry with its argument list to a shared table. Its position in `position`.
FxBindStatus RecordShared(VmArray& calls, RecordLists& lists, std::uint32_t row, std::uint32_t n,
                          const FxTerm* args, std::uint32_t line, FxExecutor executor,
                          std::uint32_t& position) {
  if (calls.count >= VmArrayCapacity(calls, sizeof(FxCallEntry)) ||
      calls.count >= kParseStoreCallCapacity || !RecordListsFit(lists, n, sizeof(FxTerm))) {
    return FxBindStatus::kStoreFull;
  }
  std::memcpy(RecordListsAppend<FxTerm>(lists, n), args, n * sizeof(FxTerm));
  position = calls.count;
  *VmArrayTryAppend<FxCallEntry>(calls) = {row, 0, line, 0, executor};
  return FxBindStatus::kOk;
}

}  // namespace

const char* FxBindMessage(FxBindStatus status) {
  switch (status) {
    case FxBindStatus::kStoreFull:
      return kParseStoreFullMessage;
    case FxBindStatus::kOutputWritesFull:
      return "Too many assignments to one output";
    case FxBindStatus::kRecursiveCall:
      return "Recursive fx call";
    default:
      return "";
  }
}

bool FxOverloadLookup(const FxRegistry& registry, std::uint32_t row, std::uint32_t n,
                      const FxTerm* args, FxExecutor& executor, FxDescriptor& result) {
  if (row >= registry.operations.count) return false;
  const RecordListHeader& header = FxRegistryOverloads(registry, row);
  const auto* overloads = static_cast<const FxOverload*>(header.first);
  for (std::uint32_t o = 0; o < header.count; ++o) {
    const FxOverload& overload = overloads[o];
    if (overload.parameterCount != n) continue;
    bool accepts = true;
    for (std::uint32_t i = 0; i < n && accepts; ++i) {
      const FxDescriptor& p = overload.parameters[i];
      accepts = (args[i].type == kFxTypeAny || args[i].type == p.type) &&
                (args[i].access & p.access) != 0;
    }
    if (accepts) {
      executor = overload.executor;
      result = overload.result;
      return true;
    }
  }
  return false;
}

FxBindStatus MatchFxOverload(ParseStore& store, FxRegistry& registry, std::uint32_t row,
                             std::uint32_t n, const FxTerm* args, std::uint32_t line,
                             FxTerm& result) {
  result = FxTerm{};
  FxExecutor executor;
  FxDescriptor descriptor;
  if (!FxOverloadLookup(registry, row, n, args, executor, descriptor)) return FxBindStatus::kOk;

  const CallClass callClass = Classify(n, args);
  if (callClass != CallClass::kSurface) {
    const bool constant = callClass == CallClass::kConstant;
    VmArray& calls = constant ? store.constantCalls : store.globalCalls;
    RecordLists& lists = constant ? store.constantCallArguments : store.globalCallArguments;
    const std::uint16_t kind = constant ? kFxTermConstantCall : kFxTermGlobalCall;
    const std::int64_t found = FindIdentical(calls, lists, 0, calls.count, row, n, args);
    std::uint32_t position = static_cast<std::uint32_t>(found);
    if (found < 0) {
      const FxBindStatus status =
          RecordShared(calls, lists, row, n, args, line, executor, position);
      if (status != FxBindStatus::kOk) return status;
    }
    result = Term(kind, position, descriptor);
    return FxBindStatus::kOk;
  }

  if (store.fxRecords.count == 0) return FxBindStatus::kStoreFull;  // no definition is open
  FxRecord& record = VmArrayData<FxRecord>(store.fxRecords)[store.fxRecords.count - 1];
  const bool writesFirst = FxRegistryGroup(registry, row).writesFirstArgument != 0;
  const std::int64_t found =
      FindIdentical(store.surfaceCalls, store.surfaceCallArguments, record.firstSurfaceCall,
                    record.surfaceCallCount, row, n, args);
  if (found >= 0) {
    result = writesFirst && args[0].kind == kFxTermOutput
                 ? Term(kFxTermOutput, args[0].index, descriptor)
                 : Term(kFxTermSurfaceCall, static_cast<std::uint32_t>(found), descriptor);
    return FxBindStatus::kOk;
  }

  FxTerm displaceArgs[4];
  if (row == kAssignRow && n == 2 && args[0].kind == kFxTermOutput &&
      args[0].index == kDisplaceOutput) {
    displaceArgs[0] = args[0];
    displaceArgs[0].access = kFxAccessRead;
    displaceArgs[0].type = kFxTypeValue;
    displaceArgs[1] = args[1];
    displaceArgs[2] = OutputRead(registry, kPointOutput);
    displaceArgs[3] = OutputRead(registry, kNormalOutput);
    row = kFxDisplaceRow;
    n = 4;
    args = displaceArgs;
    if (!FxOverloadLookup(registry, row, n, args, executor, descriptor)) return FxBindStatus::kOk;
  }

  // Everything the call appends must fit before anything is appended.
  const std::uint32_t position = record.surfaceCallCount;
  std::uint32_t dependencies = 0;
  for (std::uint32_t i = 0; i < n; ++i) dependencies += args[i].kind == kFxTermSurfaceCall;
  VmArray& calls = store.surfaceCalls;
  if (calls.count >= VmArrayCapacity(calls, sizeof(FxCallEntry)) ||
      calls.count >= kParseStoreCallCapacity ||
      !RecordListsFit(store.surfaceCallArguments, n, sizeof(FxTerm)) ||
      !RecordListsFit(store.dependencyLists, dependencies, sizeof(std::uint32_t))) {
    return FxBindStatus::kStoreFull;
  }
  FxOutputRecord* output = nullptr;
  const bool writesOutput = writesFirst && args[0].kind == kFxTermOutput;
  if (writesOutput) {
    const std::uint32_t slot = record.firstOutputRecord + args[0].index;
    if (args[0].index >= store.slotCount || slot >= store.outputRecords.count ||
        args[0].index >= registry.outputs.count) {
      return FxBindStatus::kStoreFull;
    }
    output = &VmArrayData<FxOutputRecord>(store.outputRecords)[slot];
    if (output->count >= kFxOutputWriteMax) return FxBindStatus::kOutputWritesFull;
  }

  if (writesOutput) {
    output->written = 1;
    output->writes[output->count++] = {kFxTermSurfaceCall, static_cast<std::uint16_t>(position),
                                       kFxAccessRead, 0, 0};
    ++FxRegistryOutput(registry, args[0].index).writeCount;
    result = Term(kFxTermOutput, args[0].index, descriptor);
  } else {
    result = Term(kFxTermSurfaceCall, position, descriptor);
  }
  if (row == kFxDisplaceRow) {  // the positions and normals are moved in place
    ++FxRegistryOutput(registry, kPointOutput).writeCount;
    ++FxRegistryOutput(registry, kNormalOutput).writeCount;
  }
  *VmArrayTryAppend<FxCallEntry>(calls) = {row, 0, line, 0, executor};
  std::memcpy(RecordListsAppend<FxTerm>(store.surfaceCallArguments, n), args,
              n * sizeof(FxTerm));
  auto* dependency = RecordListsAppend<std::uint32_t>(store.dependencyLists, dependencies);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (args[i].kind == kFxTermSurfaceCall) *dependency++ = args[i].index;
  }
  ++record.surfaceCallCount;
  return FxBindStatus::kOk;
}

FxBindStatus BindFxCall(ParseStore& store, FxRegistry& registry, std::uint32_t userFx,
                        std::uint32_t n, const FxTerm* args, std::uint32_t line, FxTerm& result) {
  result = FxTerm{};
  const std::uint32_t definition = UserFxDefinition(userFx);
  if (definition == kFxDefinitionPending) return FxBindStatus::kRecursiveCall;
  if (definition >= store.fxRecords.count) return FxBindStatus::kOk;  // it recorded no call
  const FxRecord callee = VmArrayData<FxRecord>(store.fxRecords)[definition];
  const auto* defaults = VmArrayData<FxParameterDefault>(store.parameterDefaults);

  // The results of the expanded calls, by the callee's call positions.
  VmArray results{};
  VmArrayReserve(results, callee.surfaceCallCount * static_cast<std::uint32_t>(sizeof(FxTerm)));
  auto* produced = static_cast<FxTerm*>(
      VmArrayAppend(results, callee.surfaceCallCount, sizeof(FxTerm)));
  FxBindStatus status = FxBindStatus::kOk;
  for (std::uint32_t j = 0; j < callee.surfaceCallCount; ++j) {
    const std::uint32_t call = callee.firstSurfaceCall + j;
    const RecordListHeader& header = store.surfaceCallArguments.headers[call];
    const auto* recorded = static_cast<const FxTerm*>(header.first);
    FxTerm bound[kFxMaxParameters];
    const std::uint32_t m = header.count;  // at most a row's parameter count
    for (std::uint32_t i = 0; i < m && i < kFxMaxParameters; ++i) {
      const FxTerm& a = recorded[i];
      if (a.kind == kFxTermParameter) {
        if (a.index < n && a.index < callee.parameterCount) {
          bound[i] = args[a.index];
        } else if (a.index < callee.parameterCount) {
          bound[i] = defaults[callee.firstParameterDefault + a.index].term;
        } else {
          bound[i] = FxTerm{};
        }
      } else if (a.kind == kFxTermSurfaceCall) {
        bound[i] = a.index < j ? produced[a.index] : FxTerm{};
      } else if (a.kind == kFxTermOutput && a.index < registry.outputs.count) {
        bound[i] = a;
        bound[i].version = FxRegistryOutput(registry, a.index).writeCount;
      } else {
        bound[i] = a;
      }
    }
    const std::uint32_t row = VmArrayData<FxCallEntry>(store.surfaceCalls)[call].row;
    status = MatchFxOverload(store, registry, row, m, bound, line, result);
    if (status != FxBindStatus::kOk) break;
    produced[j] = result;
    if (result.access == 0) break;
  }
  VmArrayRelease(results);
  if (status != FxBindStatus::kOk) result = FxTerm{};
  return status;
}

std::int32_t FxFloatConstant(ParseStore& store, const float* values, std::uint32_t count) {
  for (std::uint32_t i = 0; i < store.floatConstantCount; ++i) {
    const FxFrame& c = store.floatConstants[i];
    if (c.count != count) continue;
    bool equal = true;
    for (std::uint32_t k = 0; k < count && equal; ++k)
      equal = std::fabs(c.floats[k] - values[k]) < 1e-5f;
    if (equal) return static_cast<std::int32_t>(i);
  }
  if (store.floatConstantCount >= kFxFloatConstantMax || count > kFxMaxComponents) return -1;
  FxFrame& c = store.floatConstants[store.floatConstantCount];
  c = FxFrame{};
  c.count = static_cast<std::uint16_t>(count);
  std::memcpy(c.floats, values, count * sizeof(float));
  return static_cast<std::int32_t>(store.floatConstantCount++);
}

std::int32_t FxStringConstant(ParseStore& store, const char* text) {
  for (std::uint32_t i = 0; i < store.stringConstantCount; ++i) {
    if (std::strcmp(store.stringConstants[i].text, text) == 0) return static_cast<std::int32_t>(i);
  }
  const std::size_t length = std::strlen(text);
  if (store.stringConstantCount >= kFxStringConstantMax || length >= kFxTextBytes) return -1;
  FxTextConstant& c = store.stringConstants[store.stringConstantCount];
  c.word = static_cast<std::uint32_t>(length);
  std::memcpy(c.text, text, length + 1);
  return static_cast<std::int32_t>(store.stringConstantCount++);
}

std::uint32_t BeginSurfaceRecord(ParseStore& store, std::uint32_t firstWord) {
  if (store.outputRecords.count + std::uint64_t{store.slotCount} >
          VmArrayCapacity(store.outputRecords, sizeof(FxOutputRecord)) ||
      store.fxRecords.count >= VmArrayCapacity(store.fxRecords, sizeof(FxRecord))) {
    return kFxNoDefinition;
  }
  const std::uint32_t firstOutput = store.outputRecords.count;
  auto* outputs = VmArrayTryAppend<FxOutputRecord>(store.outputRecords, store.slotCount);
  for (std::uint32_t s = 0; s < store.slotCount; ++s) outputs[s] = FxOutputRecord{};
  const std::uint32_t index = store.fxRecords.count;
  *VmArrayTryAppend<FxRecord>(store.fxRecords) = {
      firstWord, store.parameterDefaults.count, 0, firstOutput, 0, 0, store.surfaceCalls.count,
      0,         0};
  return index;
}

bool RegisterSurface(ParseStore& store, const FxRegistry& registry, std::uint32_t& definition) {
  definition = kFxNoDefinition;
  if (store.fxRecords.count == 0) return true;
  const std::uint32_t index = store.fxRecords.count - 1;
  FxRecord& record = VmArrayData<FxRecord>(store.fxRecords)[index];
  if (record.surfaceCallCount == 0) {
    --store.fxRecords.count;
    return true;
  }
  if (store.outputLists.headerCount + std::uint64_t{store.slotCount} >
          store.outputLists.headerCapacity ||
      store.compileRoots.count >= VmArrayCapacity(store.compileRoots, sizeof(std::uint32_t))) {
    return false;
  }
  const std::uint32_t calls = record.surfaceCallCount;
  const auto* entries = VmArrayData<FxCallEntry>(store.surfaceCalls) + record.firstSurfaceCall;
  const RecordListHeader* lists = store.surfaceCallArguments.headers + record.firstSurfaceCall;
  // An argument that counts as a read: not the target of an assignment.
  auto firstRead = [&](std::uint32_t j) {
    return FxRegistryGroup(registry, entries[j].row).writesFirstArgument != 0 ? 1u : 0u;
  };
  std::uint32_t reads = 0;
  for (std::uint32_t j = 0; j < calls; ++j) reads += lists[j].count;

  // Scratch: the calls of one slot in order of discovery and which are taken; for each call
  // the calls that read its result (a call reads only results recorded before it), in order.
  VmArray scratch{};
  VmArrayReserve(scratch, (3 * calls + 1 + reads) * 4 + calls);
  auto* gathered = static_cast<std::uint32_t*>(VmArrayAppend(scratch, calls, 4));
  auto* readerStart = static_cast<std::uint32_t*>(VmArrayAppend(scratch, calls + 1, 4));
  auto* readerFill = static_cast<std::uint32_t*>(VmArrayAppend(scratch, calls, 4));
  auto* readers = static_cast<std::uint32_t*>(VmArrayAppend(scratch, reads, 4));
  auto* taken = static_cast<std::uint8_t*>(VmArrayAppend(scratch, calls, 1));
  std::memset(readerStart, 0, (calls + 1) * 4);
  for (std::uint32_t j = 0; j < calls; ++j) {
    const auto* args = static_cast<const FxTerm*>(lists[j].first);
    for (std::uint32_t i = firstRead(j); i < lists[j].count; ++i) {
      if (args[i].kind == kFxTermSurfaceCall && args[i].index < calls) ++readerStart[args[i].index + 1];
    }
  }
  for (std::uint32_t j = 0; j < calls; ++j) {
    readerStart[j + 1] += readerStart[j];
    readerFill[j] = readerStart[j];
  }
  for (std::uint32_t j = 0; j < calls; ++j) {
    const auto* args = static_cast<const FxTerm*>(lists[j].first);
    for (std::uint32_t i = firstRead(j); i < lists[j].count; ++i) {
      if (args[i].kind == kFxTermSurfaceCall && args[i].index < calls)
        readers[readerFill[args[i].index]++] = j;
    }
  }

  bool fits = true;
  record.firstOutputList = store.outputLists.headerCount;
  for (std::uint32_t slot = 0; slot < store.slotCount && fits; ++slot) {
    std::uint32_t count = 0;
    std::memset(taken, 0, calls);
    auto take = [&](std::uint32_t j) {
      if (taken[j]) return;
      taken[j] = 1;
      gathered[count++] = j;
    };
    for (std::uint32_t j = 0; j < calls; ++j) {
      const auto* args = static_cast<const FxTerm*>(lists[j].first);
      for (std::uint32_t i = firstRead(j); i < lists[j].count; ++i) {
        if (args[i].kind == kFxTermOutput && args[i].index == slot) take(j);
      }
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      for (std::uint32_t r = readerStart[gathered[k]]; r < readerStart[gathered[k] + 1]; ++r)
        take(readers[r]);
    }
    FxTerm* list = RecordListsAppend<FxTerm>(store.outputLists, count);
    fits = list != nullptr;
    for (std::uint32_t k = 0; k < count && fits; ++k) {
      list[k] = {kFxTermSurfaceCall, static_cast<std::uint16_t>(gathered[k]), 0, 0, 0};
    }
  }
  VmArrayRelease(scratch);
  if (!fits) return false;
  *VmArrayTryAppend<std::uint32_t>(store.compileRoots) = index;
  definition = index;
  return true;
}

}  // namespace veskor
