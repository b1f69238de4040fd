#include "language/fx_compile.h"

#include <cstring>

#include "language/record_lists.h"

namespace veskor {
namespace {

// The calls whose argument lists a scan reads: lists first .. first + count - 1.
struct CallLists {
  const RecordLists* lists;
  std::uint32_t first;
  std::uint32_t count;
};

// The terms gathered for one list, and which keys have been followed.
struct Gather {
  FxTerm* entries;
  std::uint32_t count;
  std::uint32_t capacity;
  std::uint8_t* followed;  // per call of the scanned lists
};

bool Matches(const FxTerm& t, const FxTerm& key) {
  return t.kind == key.kind && t.index == key.index && t.version == key.version;
}

// Every argument matching `key` yields (kind, the number of its call among the lists).
void Scan(const CallLists& calls, const FxTerm& key, std::uint16_t kind, Gather& gather) {
  for (std::uint32_t l = 0; l < calls.count; ++l) {
    const RecordListHeader& header = calls.lists->headers[calls.first + l];
    const auto* terms = static_cast<const FxTerm*>(header.first);
    for (std::uint32_t i = 0; i < header.count; ++i) {
      // Distinct keys match distinct arguments, so the entries never outnumber the arguments.
      if (Matches(terms[i], key) && gather.count < gather.capacity)
        gather.entries[gather.count++] = {kind, static_cast<std::uint16_t>(l), 0, 0, 0};
    }
  }
}

// Scans for each gathered call's result, once per distinct call, as the gathered list grows.
void Follow(const CallLists& calls, std::uint16_t kind, Gather& gather) {
  std::memset(gather.followed, 0, calls.count);
  for (std::uint32_t j = 0; j < gather.count; ++j) {
    const std::uint16_t call = gather.entries[j].index;
    if (gather.followed[call]) continue;
    gather.followed[call] = 1;
    Scan(calls, {kind, call, 0, 0, 0}, kind, gather);
  }
}

bool AppendList(ParseStore& store, const Gather& gather) {
  FxTerm* list = RecordListsAppend<FxTerm>(store.compiledLists, gather.count);
  if (list == nullptr) return false;
  std::memcpy(list, gather.entries, gather.count * sizeof(FxTerm));
  return true;
}

}  // namespace

int CompileParseStore(ParseStore& store, const FxRegistry& registry) {
  const std::uint32_t groups = store.groupCount;
  RecordLists& compiled = store.compiledLists;
  const CallLists globals = {
      &store.globalCallArguments, 0,
      store.globalCalls.count < store.globalCallArguments.headerCount
          ? store.globalCalls.count
          : store.globalCallArguments.headerCount};
  const auto* records = VmArrayData<FxRecord>(store.fxRecords);
  const auto* roots = VmArrayData<std::uint32_t>(store.compileRoots);
  auto rootCalls = [&](std::uint32_t root) {
    if (root >= store.fxRecords.count) return CallLists{&store.surfaceCallArguments, 0, 0};
    const FxRecord& r = records[root];
    const std::uint32_t end = store.surfaceCallArguments.headerCount;
    const std::uint32_t first = r.firstSurfaceCall < end ? r.firstSurfaceCall : end;
    const std::uint32_t count = r.surfaceCallCount < end - first ? r.surfaceCallCount : end - first;
    return CallLists{&store.surfaceCallArguments, first, count};
  };

  // The scratch bound: every argument of the scanned lists at most once, and a followed flag
  // per call.
  std::uint32_t terms = globals.count, calls = globals.count;
  for (std::uint32_t l = 0; l < globals.count; ++l) terms += globals.lists->headers[l].count;
  std::uint32_t surfaceTerms = 0;
  for (std::uint32_t l = 0; l < store.surfaceCallArguments.headerCount; ++l)
    surfaceTerms += store.surfaceCallArguments.headers[l].count;
  terms += surfaceTerms + store.compileRoots.count + 1;
  calls += store.surfaceCallArguments.headerCount + 1;
  VmArray scratch{};
  VmArrayReserve(scratch, terms * static_cast<std::uint32_t>(sizeof(FxTerm)) + calls);
  Gather gather = {static_cast<FxTerm*>(VmArrayAppend(scratch, terms, sizeof(FxTerm))), 0, terms,
                   static_cast<std::uint8_t*>(VmArrayAppend(scratch, calls, 1))};
  auto inputKey = [&](std::uint32_t g) {
    const std::uint16_t version = g < registry.globals.count ? FxRegistryGlobal(registry, g).writeCount : 0;
    return FxTerm{kFxTermGlobalInput, static_cast<std::uint16_t>(g), 0, 0, version};
  };

  bool fits = true;
  store.compileMarks[0] = compiled.headerCount;
  for (std::uint32_t g = 0; g < groups && fits; ++g) {
    gather.count = 0;
    Scan(globals, inputKey(g), kFxTermGlobalCall, gather);
    Follow(globals, kFxTermGlobalCall, gather);
    fits = AppendList(store, gather);
  }
  const std::uint32_t groupLists = store.compileMarks[0];
  for (std::uint32_t i = 0; i < store.compileRoots.count && fits; ++i) {
    const CallLists own = rootCalls(roots[i]);
    FxRecord* r = roots[i] < store.fxRecords.count
                      ? VmArrayData<FxRecord>(store.fxRecords) + roots[i]
                      : nullptr;
    if (r != nullptr) {
      r->compiled = 1;
      r->firstCompiledList = compiled.headerCount;
    }
    for (std::uint32_t g = 0; g < groups && fits; ++g) {
      gather.count = 0;
      Scan(own, inputKey(g), kFxTermSurfaceCall, gather);
      // Each global call that depends on the input, once.
      const RecordListHeader& dependents = compiled.headers[groupLists + g];
      const auto* dependent = static_cast<const FxTerm*>(dependents.first);
      std::memset(gather.followed, 0, globals.count);
      for (std::uint32_t e = 0; e < dependents.count; ++e) {
        if (gather.followed[dependent[e].index]) continue;
        gather.followed[dependent[e].index] = 1;
        Scan(own, {kFxTermGlobalCall, dependent[e].index, 0, 0, 0}, kFxTermSurfaceCall, gather);
      }
      Follow(own, kFxTermSurfaceCall, gather);
      fits = AppendList(store, gather);
    }
  }
  store.compileMarks[1] = compiled.headerCount;
  for (std::uint32_t g = 0; g < groups && fits; ++g) {
    gather.count = 0;
    for (std::uint32_t i = 0; i < store.compileRoots.count; ++i) {
      if (roots[i] >= store.fxRecords.count) continue;
      const std::uint32_t list = records[roots[i]].firstCompiledList + g;
      if (list < compiled.headerCount && compiled.headers[list].count != 0 &&
          gather.count < gather.capacity) {
        gather.entries[gather.count++] = {kFxTermSurfaceCall, static_cast<std::uint16_t>(i), 0, 0, 0};
      }
    }
    fits = AppendList(store, gather);
  }
  VmArrayRelease(scratch);
  return fits ? 1 : 0;
}

}  // namespace veskor
