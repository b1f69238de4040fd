#include "language/fx_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "fx_test_support.h"
#include "language/fx_binding.h"
#include "language/fx_keywords.h"
#include "language/fx_registry.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

// Every definition's calls "D<i>{...}", then the constant calls, global calls and floats.
std::string Summary() {
  std::string text;
  for (std::uint32_t d = 0; d < gParseStore.fxRecords.count; ++d)
    text += "D" + std::to_string(d) + "{" + test::DefinitionCalls(d) + "} ";
  return text + "C{" + test::ConstantCalls() + "} G{" + test::GlobalCalls() + "} F{" +
         test::FloatConstants() + "}";
}

TEST(FxParser, TermsBecomeConstantsAndCallsRecordedOnceInTheirTable) {
  WorldDir dir;
  const struct {
    const char* text;
    const char* summary;
  } cases[] = {
      {"Surface s() { =(diffuse, *(point, 2)) }", "D0{*(2:0 5:0); =(2:3 1:0); } C{} G{} F{[2] }"},
      // Constant and global calls are shared; a Surface recording nothing is dropped.
      {"Surface s() { +(1, 2) +(1, [2]) }", "C{+(5:0 5:1); } G{} F{[1] [2] }"},
      // Constants within 1e-5 of each other are one.
      {"Surface s() { +(+(viewPoint, 1), +(1, 0.000001)) +(+(1, 0), viewPoint) 0.000012 }",
       "C{+(5:0 5:1); } G{+(3:0 5:0); +(6:0 7:0); +(7:0 3:0); } F{[1] [1e-06] [1.2e-05] }"},
      {"Surface s() { *(point, 2) *(point, 2) } Surface t() { *(point, 2) }",
       "D0{*(2:0 5:0); } D1{*(2:0 5:0); } C{} G{} F{[2] }"},
      // Only calls of the same operation are one: + and * of the same arguments are two.
      {"Surface s() { *(point, 2) +(point, 2) *(2, 1) +(2, 1) +(viewPoint, 2) *(viewPoint, 2) }",
       "D0{*(2:0 5:0); +(2:0 5:0); } C{*(5:0 5:1); +(5:0 5:1); } G{+(3:0 5:0); *(3:0 5:0); } "
       "F{[2] [1] }"},
      // Groups of numbers fold into one constant (each number is one first); others call
      // group2 to group4.
      {"Surface s() { [1 2 3] [0.5] [[1, 2] 3] [1 2 3 4 5] }",
       "C{} G{} F{[1] [2] [3] [1 2 3] [0.5] [1 2] [4] [5] [1 2 3 4 5] }"},
      {"Surface s() { [point 1] [point, normal, 2] [[point]] }",
       "D0{group2(2:0 5:0); group3(2:0 2:1 5:1); } C{} G{} F{[1] [2] }"},
      {"Surface s() { point[0, 2] point[0 2] point[] normal(point)[1] }",
       "D0{select(2:0 5:0); select(2:0 5:1); access(2:1 2:0); select(1:2 5:2); } C{} G{} "
       "F{[0 2] [] [1] }"},
      // An assignment to displace is the displacement of the positions along the normals.
      {"Surface s() { =(displace, 0.5) }", "D0{displace(2:2 5:0 2:0 2:1); } C{} G{} F{[0.5] }"},
      {"Surface s() { =(diffuse, noise(point)) =(diffuse, noise(point)) }",
       "D0{noise(2:0); =(2:3 1:0); =(2:3 1:0); } C{} G{} F{}"},
      {"Surface s(a, b = 1) { *(a, b) a }", "D0{*(0:0 0:1); } C{} G{} F{[1] }"},
      // A user fx is expanded with the caller's arguments, then its defaults.
      {"Surface f(x, k = 2) { =(diffuse, *(x, k)) } Surface g() { f(point) f(normal, 3, 4) }",
       "D0{*(0:0 0:1); =(2:3 1:0); } D1{*(2:0 5:0); =(2:3 1:0); *(2:1 5:1); =(2:3 1:2); } C{} "
       "G{} F{[2] [3] [4] }"},
      {"Surface a(p = 9) { *(point, p) } Surface f(x, k = 2) { =(diffuse, *(x, k)) }"
       "Surface g() { f(point) }",
       "D0{*(2:0 0:0); } D1{*(0:0 0:1); =(2:3 1:0); } D2{*(2:0 5:1); =(2:3 1:0); } C{} G{} "
       "F{[9] [2] }"},
      // An expansion reads outputs as they are at the call: after a displacement, `point` is
      // another value than before it.
      {"Surface f() { =(diffuse, *(point, 2)) } Surface g() { *(point, 2) =(displace, 1) f() }",
       "D0{*(2:0 5:0); =(2:3 1:0); } D1{*(2:0 5:0); displace(2:2 5:1 2:0 2:1); *(2:0 5:0); "
       "=(2:3 1:2); } C{} G{} F{[2] [1] }"},
      {"Surface noise(x) { =(emissive, x) } Surface g() { noise(point) }",
       "D0{=(2:6 0:0); } D1{=(2:6 2:0); } C{} G{} F{}"},
      // A parameter hides an output of its name, unless a selection follows.
      {"Surface s(point) { =(diffuse, point) =(specular, point[0]) }",
       "D0{=(2:3 0:0); select(2:0 5:0); =(2:4 1:1); } C{} G{} F{[0] }"},
      {"Surface e() { \"a\" } Surface f() { =(diffuse, point) } Surface g() { e() f() }",
       "D0{=(2:3 2:0); } D1{=(2:3 2:0); } C{} G{} F{}"},
  };
  for (const auto& c : cases) {
    const auto outcome = CompileText(dir, c.text);
    EXPECT_EQ(outcome.status, "") << c.text;
    EXPECT_EQ(Summary(), c.summary) << c.text;
  }
}

TEST(FxParser, OutputsCarryTheirWriteCountAndDisplaceMovesPointAndNormal) {
  WorldDir dir;
  ASSERT_EQ(CompileText(dir, "").result, 1);
  auto count = [](std::uint32_t output) { return FxRegistryOutput(gFxRegistry, output).writeCount; };
  const std::uint16_t point = count(0), normal = count(1), displace = count(2), diffuse = count(3);
  ASSERT_EQ(CompileText(dir, "Surface s() { *(point, 2) =(displace, 1) *(point, 2) =(diffuse, 1) "
                             "+(*(normal, 2), 1) }")
                .result,
            1);
  EXPECT_EQ(test::DefinitionCalls(0),
            "*(2:0 5:0); displace(2:2 5:1 2:0 2:1); *(2:0 5:0); =(2:3 5:1); *(2:1 5:0); "
            "+(1:4 5:1); ");
  const auto* args = RecordListEntries<FxTerm>(gParseStore.surfaceCallArguments, 1);
  EXPECT_EQ(args[0].version, displace);
  EXPECT_EQ(args[2].version, point);
  EXPECT_EQ(args[3].version, normal);
  EXPECT_EQ(RecordListEntries<FxTerm>(gParseStore.surfaceCallArguments, 2)[0].version, point + 1);
  EXPECT_EQ(count(0), point + 1);
  EXPECT_EQ(count(1), normal + 1);
  EXPECT_EQ(count(2), displace + 1);
  EXPECT_EQ(count(3), diffuse + 1);

  // The output records name the writing calls; every read of an output, direct or through
  // other calls, is listed for its slot.
  const FxRecord& r = VmArrayData<FxRecord>(gParseStore.fxRecords)[0];
  const auto* outputs = VmArrayData<FxOutputRecord>(gParseStore.outputRecords) + r.firstOutputRecord;
  EXPECT_EQ(outputs[2].written, 1u);
  EXPECT_EQ(outputs[2].count, 1u);
  EXPECT_EQ(test::Describe(outputs[2].writes[0]), "1:1");
  EXPECT_EQ(test::Describe(outputs[3].writes[0]), "1:3");
  EXPECT_EQ(outputs[4].written, 0u);
  const char* reads[9] = {"1:0 1:1 1:2 ", "1:1 1:4 1:5 ", "", "", "", "", "", "", ""};
  for (std::uint32_t s = 0; s < 9; ++s) {
    const RecordListHeader& list = gParseStore.outputLists.headers[r.firstOutputList + s];
    std::string text;
    for (std::uint32_t i = 0; i < list.count; ++i)
      text += test::Describe(static_cast<const FxTerm*>(list.first)[i]) + " ";
    EXPECT_EQ(text, reads[s]) << s;
  }
}

TEST(FxParser, EmptySurfacesKeepLaterCallsOnTheirOwnRecords) {
  WorldDir dir;
  // e records nothing and is dropped; f, entered after it, must still bind to f's record.
  ASSERT_EQ(CompileText(dir, "Surface e() { } Surface f() { =(diffuse, normal) }"
                             "Surface e2(x = 1) { x } Surface g() { f() e() e2() }")
                .status,
            "");
  ASSERT_EQ(gParseStore.fxRecords.count, 2u);
  EXPECT_EQ(test::DefinitionCalls(1), "=(2:3 2:1); ");
  EXPECT_EQ(UserFxDefinition(0), kFxNoDefinition);
  EXPECT_EQ(UserFxDefinition(1), 0u);
  EXPECT_EQ(UserFxDefinition(2), kFxNoDefinition);
  EXPECT_EQ(UserFxDefinition(3), 1u);
  EXPECT_EQ(gParseStore.compileRoots.count, 2u);
  // Output records stay with a dropped Surface: f's are the second nine.
  EXPECT_EQ(VmArrayData<FxRecord>(gParseStore.fxRecords)[0].firstOutputRecord, 9u);
  // Using the value of a Surface that recorded nothing is refused.
  EXPECT_EQ(CompileText(dir, "Surface e() { }\nSurface g() { =(diffuse,\n e()) }").status,
            "Syntax error file (fx.wld) line (2) : " + std::string(kFxInvalidParameters));
}

TEST(FxParser, ErrorsStopTheParseWithTheirMessageAndPlace) {
  WorldDir dir;
  // A statement is one level; each group one more.
  auto nested = [](int n) { return std::string(n, '[') + "1" + std::string(n, ']'); };
  const struct {
    std::string text;
    std::string message;  // "" for a world that parses
  } cases[] = {
      {"Surface s(a = 1, b) {}", "line (1) : Invalid default initialisation"},
      {"Surface s(a \"x\") {}", "line (1) : , expected"},
      {"Surface s(a = [1 x]) {}", "line (1) : Float expected"},
      {"Surface s(a = [1 2", "line (1) : ] expected"},
      {"Surface s(a", "line (1) : ')' expected"},
      {"Surface s {}", "line (1) : '(' expected"},
      {"Surface s() { point(normal }", "line (1) : ')' expected"},
      {"Surface s() =", "line (1) : '{' expected"},
      {"Surface s() {\n point", "line (2) : '}' expected"},
      {"Surface s() {\n []\n}", "line (2) : Group expected"},
      {"Surface s() {\n [1 2\n\n", "line (2) : Group expected"},
      {"Surface s() { [point point point point point] }",
       "line (1) : Cannot group more than 4 elements"},
      {"Surface s() {\n +(1)\n}", "line (2) : " + std::string(kFxInvalidParameters)},
      {"Surface s() { +(diffuse, 1) }", "line (1) : " + std::string(kFxInvalidParameters)},
      {"Surface s() { load(1) }", "line (1) : " + std::string(kFxInvalidParameters)},
      {"Surface s() { noise[0] }", "line (1) : '(' expected"},
      {"Surface s() { +(1 2) }", "line (1) : , expected"},
      {"Surface s() {\n +(1,\n 2", "line (3) : ')' expected"},
      {"Surface s() { point[0 x] }", "line (1) : Invalid parameter call"},
      {"Surface s() {\n x }", "line (2) : Invalid parameter call"},
      {"Surface s() { nosuch(1) }", "line (1) : Unknown fx name"},
      {"Surface s() {\n s() }", "line (2) : Recursive fx call"},
      {"Surface s() { " + nested(127) + " }", ""},
      {"Surface s() { " + nested(128) + " }", "line (1) : Expression nested too deeply"},
      {"Surface s() { Noise(point) }", "line (1) : Unknown fx name"},
      {"Surface s() {\n point(\n diffuse\n)\n}", "line (2-5) : " + std::string(kFxInvalidParameters)},
  };
  for (const auto& c : cases) {
    const auto outcome = CompileText(dir, c.text);
    EXPECT_EQ(outcome.status, c.message.empty() ? "" : "Syntax error file (fx.wld) " + c.message)
        << c.text;
  }
}

TEST(FxParser, TablesAndListsAreBoundedWithMessages) {
  WorldDir dir;
  auto numbers = [](int first, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += std::to_string(first + i) + " ";
    return text;
  };
  auto repeated = [](int n, auto item) {
    std::string text;
    for (int i = 0; i < n; ++i) text += item(i);
    return text;
  };
  auto strings = [&](int n) {
    return "Surface s() { " + repeated(n, [](int i) { return "\"" + std::to_string(i) + "\" "; }) +
           "}";
  };
  auto floats = [&](int n) { return "Surface s() { " + numbers(0, n) + "}"; };
  auto writes = [&](int n) {
    return "Surface s() { " +
           repeated(n, [](int i) { return "=(diffuse, " + std::to_string(i) + ") "; }) + "}";
  };
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"Surface s() { [" + numbers(0, 16) + "] }", ""},
      {"Surface s() { [" + numbers(0, 17) + "] }", "Cannot group more than 4 elements"},
      {"Surface s() { point[" + numbers(0, 16) + "] }", ""},
      {"Surface s() { point[" + numbers(0, 17) + "] }", "Too many values"},
      {"Surface s(a = [" + numbers(0, 16) + "]) { }", ""},
      {"Surface s(a = [" + numbers(0, 17) + "]) { }", "Too many values"},
      {strings(128), ""},
      {strings(129), kFxStringTableFull},
      {floats(256), ""},
      {floats(257), kFxFloatTableFull},
      {writes(8), ""},
      {writes(9), "Too many assignments to one output"},
  };
  for (const auto& c : cases) {
    const auto outcome = CompileText(dir, c.text);
    EXPECT_EQ(outcome.status,
              *c.message ? "Syntax error file (fx.wld) line (1) : " + std::string(c.message) : "")
        << c.text.substr(0, 60);
  }
  EXPECT_EQ(gParseStore.stringConstantCount, 0u);  // the last world reset the tables
  EXPECT_EQ(gParseStore.floatConstantCount, 9u);
}

}  // namespace
}  // namespace veskor
