#include "language/parse_store.h"

#include <initializer_list>

namespace veskor {

ParseStore gParseStore;

namespace {

constexpr std::uint32_t kCallBytes = kParseStoreCallCapacity * sizeof(FxCallEntry);

template <class F>
void ForEachArray(ParseStore& store, F f) {
  for (VmArray* array :
       {&store.fxRecords, &store.compileRoots, &store.parameterDefaults, &store.outputRecords,
        &store.surfaceCalls, &store.globalCalls, &store.constantCalls}) {
    f(*array);
  }
}

template <class F>
void ForEachLists(ParseStore& store, F f) {
  for (RecordLists* lists :
       {&store.outputLists, &store.compiledLists, &store.surfaceCallArguments,
        &store.dependencyLists, &store.globalCallArguments, &store.constantCallArguments}) {
    f(*lists);
  }
}

}  // namespace

ParseStore::ParseStore() {
  for (VmArray* array : {&fxRecords, &compileRoots, &parameterDefaults, &outputRecords}) {
    VmArrayReserve(*array, kParseStoreArrayBytes);
  }
  for (VmArray* array : {&surfaceCalls, &globalCalls, &constantCalls}) {
    VmArrayReserve(*array, kCallBytes);
  }
  RecordListsReserve(outputLists, kParseStoreListHeaders, kParseStoreListBytes);
  RecordListsReserve(compiledLists, kParseStoreListHeaders, kParseStoreListBytes);
  RecordListsReserve(surfaceCallArguments, kParseStoreListHeaders, kParseStoreArgumentListBytes);
  RecordListsReserve(dependencyLists, kParseStoreListHeaders, kParseStoreArgumentListBytes);
  RecordListsReserve(globalCallArguments, kParseStoreListHeaders, kParseStoreArgumentListBytes);
  RecordListsReserve(constantCallArguments, kParseStoreListHeaders, kParseStoreArgumentListBytes);
}

ParseStore::~ParseStore() {
  ForEachArray(*this, [](VmArray& array) { VmArrayRelease(array); });
  ForEachLists(*this, [](RecordLists& lists) { RecordListsRelease(lists); });
}

void ParseStoreReset(ParseStore& store) {
  ForEachArray(store, [](VmArray& array) {
    array.count = 0;
    array.block.usedBytes = 0;
  });
  ForEachLists(store, [](RecordLists& lists) { RecordListsReset(lists); });
  store.slotCount = 0;
  store.groupCount = 0;
  store.compileMarks[0] = 0;
  store.compileMarks[1] = 0;
  store.stringConstantCount = 0;
  store.floatConstantCount = 0;
  store.globalCallFrameCount = 0;
  store.outputFrameCount = 0;
  store.surfaceCallFrameCount = 0;
  store.globalInputFrameCount = 0;
  store.constantCallFrameCount = 0;
}

void ParseStoreSetParam(ParseStore& store, std::uint32_t value) {
  if (store.fxRecords.count == 0) store.slotCount = value;
}

void ParseStoreSetGroupCount(ParseStore& store, std::uint32_t value) {
  if (store.fxRecords.count == 0) store.groupCount = value;
}

}  // namespace veskor
