#include "fx_test_support.h"

#include <cstdio>

#include "language/record_lists.h"
#include "mapengine/fx_executor_table.h"

namespace veskor::test {
namespace {

std::string Calls(const VmArray& table, const RecordLists& lists, std::uint32_t first,
                  std::uint32_t count) {
  std::string text;
  for (std::uint32_t c = first; c < first + count; ++c) {
    const std::uint32_t row = VmArrayData<FxCallEntry>(table)[c].row;
    const char* name = kFxExecutorTable[row].name;
    text += name != nullptr ? name : "displace";
    text += "(";
    for (std::uint32_t i = 0; i < lists.headers[c].count; ++i)
      text += (i ? " " : "") + Describe(RecordListEntries<FxTerm>(lists, c)[i]);
    text += "); ";
  }
  return text;
}

}  // namespace

CompileOutcome CompileText(const WorldDir& dir, const std::string& text) {
  return RunCompileSession(dir.Write("fx.wld", text));
}

std::string Describe(const FxTerm& term) {
  return std::to_string(term.kind) + ":" + std::to_string(term.index);
}

std::string DefinitionCalls(std::uint32_t d) {
  const FxRecord& r = VmArrayData<FxRecord>(gParseStore.fxRecords)[d];
  return Calls(gParseStore.surfaceCalls, gParseStore.surfaceCallArguments, r.firstSurfaceCall,
               r.surfaceCallCount);
}

std::string GlobalCalls() {
  return Calls(gParseStore.globalCalls, gParseStore.globalCallArguments, 0,
               gParseStore.globalCalls.count);
}

std::string ConstantCalls() {
  return Calls(gParseStore.constantCalls, gParseStore.constantCallArguments, 0,
               gParseStore.constantCalls.count);
}

std::string FloatConstants() {
  std::string text;
  for (std::uint32_t i = 0; i < gParseStore.floatConstantCount; ++i) {
    const FxFrame& c = gParseStore.floatConstants[i];
    text += "[";
    for (std::uint32_t k = 0; k < c.count; ++k) {
      char number[32];
      std::snprintf(number, sizeof number, "%s%g", k ? " " : "", c.floats[k]);
      text += number;
    }
    text += "] ";
  }
  return text;
}

}  // namespace veskor::test
