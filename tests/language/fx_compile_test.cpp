#include "language/fx_compile.h"

#include <gtest/gtest.h>

#include <string>

#include "fx_test_support.h"
#include "language/fx_call_lists.h"
#include "language/record_lists.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

std::string CompiledList(std::uint32_t list) {
  std::string text;
  for (std::uint32_t i = 0; i < gParseStore.compiledLists.headers[list].count; ++i)
    text += test::Describe(RecordListEntries<FxTerm>(gParseStore.compiledLists, list)[i]) + " ";
  return text;
}

TEST(FxCompile, GathersTheCallsThatDependOnEachGlobalInput) {
  WorldDir dir;
  ASSERT_EQ(CompileText(dir, "Surface a() {\n"
                             "  +(+(viewPoint, 1), 2)\n"                          // g0, g1
                             "  *(point, +(viewPoint, 1))\n"                      // 0 <- g0
                             "  *(point, 2)\n"                                    // 1
                             "  +(*(point, +(viewPoint, 1)), +(+(viewPoint, 1), 2))\n"  // 2 <- 0, g1
                             "  =(diffuse, viewPoint)\n"                          // 3 <- input
                             "}\n"
                             "Surface b() { =(diffuse, *(point, 2)) }")
                .status,
            "");
  ASSERT_EQ(test::GlobalCalls(), "+(3:0 5:0); +(6:0 5:1); ");
  const ParseStore& s = gParseStore;
  ASSERT_EQ(s.compiledLists.headerCount, 4u);  // G group lists, G per root, G root lists
  EXPECT_EQ(s.compileMarks[0], 0u);
  EXPECT_EQ(s.compileMarks[1], 3u);
  EXPECT_EQ(CompiledList(0), "6:0 6:1 ");
  // Call 2 uses the input twice (through call 0 and through g1): it is listed twice.
  EXPECT_EQ(CompiledList(1), "1:3 1:0 1:2 1:2 ");
  EXPECT_EQ(CompiledList(2), "");
  EXPECT_EQ(CompiledList(3), "1:0 ");
  const auto* records = VmArrayData<FxRecord>(s.fxRecords);
  EXPECT_EQ(records[0].compiled + records[1].compiled, 2u);
  EXPECT_EQ(records[0].firstCompiledList, 1u);
  EXPECT_EQ(records[1].firstCompiledList, 2u);

  // Without a global call only direct reads and their followers are gathered.
  ASSERT_EQ(CompileText(dir, "Surface a() { =(diffuse, *(+(point, viewPoint), 2)) }").status, "");
  EXPECT_EQ(CompiledList(0), "");
  EXPECT_EQ(CompiledList(1), "1:0 1:1 1:2 ");
  EXPECT_EQ(CompiledList(2), "1:0 ");
}

// A chain of calls that each read the previous result twice: followed naively the gathered
// lists and the use counts would double at each of the 40 levels.
TEST(FxCompile, ChainsReadingEachResultTwiceStayLinear) {
  WorldDir dir;
  std::string global = "viewPoint", local = "+(point, viewPoint)";
  for (int i = 0; i < 40; ++i) {
    global = "d(" + global + ")";
    local = "d(" + local + ")";
  }
  ASSERT_EQ(CompileText(dir, "Surface d(x) { +(x, x) }\nSurface s() { " + global +
                                 "\n =(diffuse, " + local + ") }")
                .status,
            "");
  EXPECT_EQ(gParseStore.globalCalls.count, 40u);
  EXPECT_EQ(gParseStore.compiledLists.headers[0].count, 80u);  // two entries per global call
  // d's own list comes first; then s's: its first call and the assignment once, each of the 40
  // doublings twice.
  EXPECT_EQ(gParseStore.compiledLists.headers[2].count, 82u);

  MarkUsedFx(gParseStore, 1, 3);
  MarkUsedFx(gParseStore, 1, 3);  // a second walk counts the slot's reads again, nothing else
  const FxRecord& s = VmArrayData<FxRecord>(gParseStore.fxRecords)[1];
  const auto* calls = VmArrayData<FxCallEntry>(gParseStore.surfaceCalls) + s.firstSurfaceCall;
  ASSERT_EQ(s.surfaceCallCount, 42u);  // the first sum, 40 doublings, the assignment
  for (std::uint32_t j = 0; j < 40; ++j) EXPECT_EQ(calls[j].useCount, 2u) << j;
  EXPECT_EQ(calls[40].useCount, 1u);  // read once by the assignment
  EXPECT_EQ(calls[41].useCount, 2u);  // the assignment, named by the slot at each walk
  EXPECT_EQ(VmArrayData<FxCallEntry>(gParseStore.globalCalls)[0].useCount, 0u);
}

}  // namespace
}  // namespace veskor
