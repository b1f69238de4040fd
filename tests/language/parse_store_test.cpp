#include "language/parse_store.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "language/record_lists.h"

namespace veskor {
namespace {

TEST(ParseStore, ResetEmptiesEveryTableAndTheSettersHoldOnlyBeforeARecord) {
  ParseStore& s = gParseStore;
  ParseStoreReset(s);
  ParseStoreSetParam(s, 9);
  ParseStoreSetGroupCount(s, 1);
  EXPECT_EQ(s.slotCount, 9u);
  EXPECT_EQ(s.groupCount, 1u);
  FxRecord* record = VmArrayTryAppend<FxRecord>(s.fxRecords);
  ASSERT_NE(record, nullptr);
  ParseStoreSetParam(s, 3);  // a registered definition fixes both
  ParseStoreSetGroupCount(s, 3);
  EXPECT_EQ(s.slotCount, 9u);
  EXPECT_EQ(s.groupCount, 1u);

  FxTerm* terms = RecordListsAppend<FxTerm>(s.surfaceCallArguments, 3);
  ASSERT_NE(terms, nullptr);
  EXPECT_EQ(static_cast<void*>(RecordListsAppend<std::uint32_t>(s.dependencyLists, 0)),
            s.dependencyLists.records.base);
  ASSERT_NE(VmArrayTryAppend<FxCallEntry>(s.constantCalls, 2), nullptr);
  s.compileMarks[1] = 4;
  s.floatConstantCount = 1;
  s.constantCallFrameCount = 2;
  ParseStoreReset(s);
  EXPECT_EQ(s.fxRecords.count + s.constantCalls.count + s.surfaceCallArguments.headerCount +
                s.surfaceCallArguments.records.usedBytes + s.dependencyLists.headerCount +
                s.slotCount + s.groupCount + s.compileMarks[1] + s.floatConstantCount +
                s.constantCallFrameCount,
            0u);
  // The blocks stay: the next records land where the first ones did.
  EXPECT_EQ(VmArrayTryAppend<FxRecord>(s.fxRecords), record);
  EXPECT_EQ(RecordListsAppend<FxTerm>(s.surfaceCallArguments, 1), terms);
  ParseStoreReset(s);
}

TEST(ParseStore, FullArraysAndListsRefuseTheNextRecord) {
  ParseStore& s = gParseStore;
  ParseStoreReset(s);
  const std::uint32_t outputs = VmArrayCapacity(s.outputRecords, sizeof(FxOutputRecord));
  EXPECT_EQ(outputs, 128u * 1024 / 88);
  ASSERT_NE(VmArrayTryAppend<FxOutputRecord>(s.outputRecords, outputs - 1), nullptr);
  EXPECT_EQ(VmArrayTryAppend<FxOutputRecord>(s.outputRecords, 2), nullptr);
  EXPECT_EQ(s.outputRecords.count, outputs - 1);
  FxOutputRecord* last = VmArrayTryAppend<FxOutputRecord>(s.outputRecords);
  ASSERT_NE(last, nullptr);
  last->count = 8;  // the last record is writable: its page is committed
  EXPECT_EQ(VmArrayTryAppend<FxOutputRecord>(s.outputRecords), nullptr);
  EXPECT_GE(VmArrayCapacity(s.surfaceCalls, sizeof(FxCallEntry)), kParseStoreCallCapacity);

  // Lists: the record block is the bound of the entries, the header array that of the lists.
  RecordLists& lists = s.compiledLists;
  const std::uint32_t terms = kParseStoreListBytes / sizeof(FxTerm);
  ASSERT_NE(RecordListsAppend<FxTerm>(lists, terms - 1), nullptr);
  EXPECT_EQ(RecordListsAppend<FxTerm>(lists, 2), nullptr);
  FxTerm* final = RecordListsAppend<FxTerm>(lists, 1);
  ASSERT_NE(final, nullptr);
  final->version = 7;
  EXPECT_EQ(lists.headers[1].first, final);
  EXPECT_EQ(lists.headers[1].count, 1u);
  EXPECT_EQ(lists.headerCount, 2u);
  RecordLists& deps = s.dependencyLists;
  for (std::uint32_t i = 0; i < kParseStoreListHeaders; ++i) {
    ASSERT_NE(RecordListsAppend<std::uint32_t>(deps, 1), nullptr) << i;
  }
  EXPECT_EQ(RecordListsAppend<std::uint32_t>(deps, 0), nullptr);
  EXPECT_EQ(RecordListEntries<std::uint32_t>(deps, 5),
            RecordListEntries<std::uint32_t>(deps, 4) + 1);
  ParseStoreReset(s);
}

}  // namespace
}  // namespace veskor
