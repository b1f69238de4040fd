#include "language/value_readers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "language/lexer.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::OpenText;
using test::WorldDir;

std::string Numbers(const float* values, std::uint32_t count) {
  std::string s;
  for (std::uint32_t i = 0; i < count; ++i)
    s += (i ? " " : "") + std::to_string(values[i]).substr(0, 4);
  return s;
}

std::string ListOf(int n) {
  std::string s = "[";
  for (int i = 1; i <= n; ++i) s += std::to_string(i) + (i == n ? "]" : i % 2 ? "," : " ");
  return s;
}

TEST(ValueReaders, ReadFloatTakesANumberOrAList) {
  WorldDir dir;
  const struct {
    std::string text;
    int result;
    const char* values;  // or the error text
  } cases[] = {
      {"3", 1, "3.00"},
      {"[1 2 3]", 1, "1.00 2.00 3.00"},
      {"[1, 2, 3]", 1, "1.00 2.00 3.00"},
      {"[ ]", 1, ""},
      {"[-1.5e1, /*c*/ 2]", 1, "-15. 2.00"},
      {"[1" + std::string(310, '0') + "e-310, -0." + std::string(50, '0') + "1e51]", 1,
       "1.00 -1.0"},  // long literals
      {ListOf(16), 1,
       "1.00 2.00 3.00 4.00 5.00 6.00 7.00 8.00 9.00 10.0 11.0 12.0 13.0 14.0 15.0 16.0"},
      {ListOf(17), 0, " file (world.wld) line (1) : Too many values"},
      {"[1,,2]", 0, " file (world.wld) line (1) : Float expected"},
      {"[x]", 0, " file (world.wld) line (1) : Float expected"},
      {"[1 2", 0, " file (world.wld) line (1) : ] expected"},
      {"\n\nx\n", 0, " file (world.wld) line (4) : Float expected"},  // the look-ahead's line
  };
  for (const auto& c : cases) {
    OpenText(dir, c.result == 1 ? c.text + " ;" : c.text);
    ValueRecord value;
    value.kind = 7;
    for (auto& m : value.maps) m = reinterpret_cast<Map*>(&value);
    ASSERT_EQ(ReadFloat(gSceneParser, value), c.result) << c.text;
    const SceneFile& file = gSceneParser.files[0];
    if (c.result == 0) {
      EXPECT_STREQ(file.errorText, c.values) << c.text;
      continue;
    }
    EXPECT_EQ(Numbers(value.floats, value.count), c.values) << c.text;
    EXPECT_STREQ(file.token, ";") << c.text;
    EXPECT_EQ(value.kind, 0);
    for (std::uint32_t i = 0; i < value.count && i < kFxMaxRasterComponents; ++i)
      EXPECT_EQ(value.maps[i], nullptr) << c.text;
    if (value.count < kFxMaxRasterComponents) {
      EXPECT_NE(value.maps[value.count], nullptr);
    }
  }
  CloseSceneFiles(gSceneParser);
}

TEST(ValueReaders, ReadFloatArgumentFillsEachItemUpToItsLimit) {
  WorldDir dir;
  const std::uint16_t limits[] = {3, 1};
  const struct {
    const char* text;
    int result;
    const char* values;  // the four slots, or the error text
  } cases[] = {
      {"([1 2] 5)", 1, "1.00 2.00 9.00 5.00"},
      {"([1 2 3 4] [6 7])", 1, "1.00 2.00 3.00 6.00"},
      {"(1 2)", 1, "1.00 9.00 9.00 2.00"},
      {"1 2)", 0, " file (world.wld) line (1) : '(' expected"},
      {"(1 2", 0, " file (world.wld) line (1) : ')' expected"},
      {"(1 2 3)", 0, " file (world.wld) line (1) : ')' expected"},
      {"(1 [2\n\n3 x])", 0, " file (world.wld) line (1-3) : float constant expected"},
      {"([1 x] 2)", 0, " file (world.wld) line (1) : float constant expected"},
  };
  for (const auto& c : cases) {
    OpenText(dir, std::string(c.text) + " ;");
    float out[4] = {9, 9, 9, 9};
    ASSERT_EQ(ReadFloatArgument(gSceneParser, out, limits, 2), c.result) << c.text;
    if (c.result == 0) {
      EXPECT_STREQ(gSceneParser.files[0].errorText, c.values) << c.text;
    } else {
      EXPECT_EQ(Numbers(out, 4), c.values) << c.text;
      EXPECT_STREQ(gSceneParser.files[0].token, ";");
    }
  }
  OpenText(dir, "([1 2] 3) ;");  // read and dropped
  EXPECT_EQ(ReadFloatArgument(gSceneParser, nullptr, limits, 2), 1);
  EXPECT_STREQ(gSceneParser.files[0].token, ";");
  CloseSceneFiles(gSceneParser);
}

TEST(ValueReaders, StringsAreQuotedAndBounded) {
  WorldDir dir;
  const std::string longest(kStringRecordBytes - 1, 's');
  const struct {
    std::string text;
    int result;
    std::string value;  // or the error text
  } cases[] = {
      {"\"a b\"", 1, "a b"},
      {"\"\"", 1, ""},
      {"\"" + longest + "\"", 1, longest},
      {"\"" + longest + "s\"", 0, " file (world.wld) line (1) : String too long"},
      {"x", 0, " file (world.wld) line (1) : String expected"},
      {"\"a\nb", 0, " file (world.wld) line (1-2) : \" expected"},
  };
  for (const auto& c : cases) {
    OpenText(dir, c.text + " ;");
    StringRecord record;
    ASSERT_EQ(ReadString(gSceneParser, record), c.result) << c.text.substr(0, 20);
    if (c.result == 0) {
      EXPECT_EQ(gSceneParser.files[0].errorText, c.value);
      continue;
    }
    EXPECT_EQ(record.text, c.value);
    EXPECT_EQ(record.length, c.value.size());
    EXPECT_STREQ(gSceneParser.files[0].token, ";");
  }

  // Two string items: the lengths read, or the message.
  const std::pair<const char*, const char*> arguments[] = {
      {"(\"a\" \"\") ;", "1 0"},
      {"(\"a\"\n 7) ;", " file (world.wld) line (2) : string constant expected"},
      {"(\"a\") ;", " file (world.wld) line (1) : string constant expected"},
  };
  for (const auto& [text, expected] : arguments) {
    OpenText(dir, text);
    StringRecord records[2];
    if (ReadStringArgument(gSceneParser, records, 2) == 1) {
      EXPECT_EQ(std::to_string(records[0].length) + " " + std::to_string(records[1].length),
                expected);
      EXPECT_STREQ(gSceneParser.files[0].token, ";");
    } else {
      EXPECT_STREQ(gSceneParser.files[0].errorText, expected);
    }
  }
  CloseSceneFiles(gSceneParser);
}

TEST(ValueReaders, ChecksIncludeTheirBoundsAndPrintThem) {
  WorldDir dir;
  OpenText(dir, "x");
  const float nan = std::nanf("");
  // The lines of the values: a message names the line of the first value that fails.
  const std::uint32_t lines[] = {7, 8, 9};
  const struct {
    std::vector<float> values;
    bool range;  // [-512, 512], else >= 0
    const char* error;
  } cases[] = {
      {{512.0f, -512.0f, 0.0f}, true, nullptr},
      {{0.0f, 512.5f}, true, " file (world.wld) line (8) : value must be in [-512.0,512.0]"},
      {{-512.5f, 600.0f}, true, " file (world.wld) line (7) : value must be in [-512.0,512.0]"},
      {{0.0f, 0.0f, nan}, true, " file (world.wld) line (9) : value must be in [-512.0,512.0]"},
      {{-0.0f, 3.0f}, false, nullptr},
      {{1.0f, -0.5f}, false, " file (world.wld) line (8) : value must be >= 0.0"},
      {{nan}, false, " file (world.wld) line (7) : value must be >= 0.0"},
      {{}, false, nullptr},
  };
  for (const auto& c : cases) {
    gSceneParser.files[0].errorText[0] = '\0';
    const auto n = static_cast<std::uint32_t>(c.values.size());
    const int result = c.range
                           ? CheckRange(gSceneParser, c.values.data(), n, -512.0f, 512.0f, lines)
                           : CheckMinimum(gSceneParser, c.values.data(), n, 0.0f, lines);
    EXPECT_EQ(result, c.error == nullptr ? 1 : 0);
    EXPECT_STREQ(gSceneParser.files[0].errorText, c.error == nullptr ? "" : c.error);
  }
  // Without lines, or where a line is not known, the message takes the current place.
  OpenText(dir, "x");
  const float beyond = 513.0f;
  const std::uint32_t unknown = 0;
  EXPECT_EQ(CheckRange(gSceneParser, &beyond, 1, -512.0f, 512.0f, nullptr), 0);
  EXPECT_STREQ(gSceneParser.files[0].errorText,
               " file (world.wld) line (1) : value must be in [-512.0,512.0]");
  EXPECT_EQ(CheckMinimum(gSceneParser, &nan, 1, 0.0f, &unknown), 0);
  EXPECT_STREQ(gSceneParser.files[0].errorText,
               " file (world.wld) line (1) : value must be >= 0.0");
  EXPECT_EQ(CheckMinimum(gSceneParser, nullptr, 3, 0.0f, lines), 1);
  CloseSceneFiles(gSceneParser);
}

// A value out of its range is refused at its own line, whatever its key and wherever the
// entry's keyword, parentheses and brackets or the next tokens lie. The lines are counted by
// hand; the first two worlds once gave "line (8-9)" and "line (6-7)", the place where the
// reading stopped.
TEST(ValueReaders, RangeMessagesNameTheLineOfTheValueOutOfRange) {
  WorldDir dir;
  const struct {
    const char* text;
    const char* status;
  } cases[] = {
      {"// a layer\n"
       "HeightField h { BBox { [0 0 0] [1 1 1] }\n"
       "Layer { fractal(4 [0.01 2 0.9])\n"
       " scale(900)\n"
       "\n\n\n"
       " } }\n",
       "line (4) : value must be in [-512.0,512.0]"},
      {"// fog\n"
       "Environment { Fog { intensity(3)\n"
       "\n\n\n"
       " } }\n",
       "line (2) : value must be in [0.0,1.0]"},
      {"HeightField h {\n Layer {\n  fractal(\n   33\n   [1 2 1])\n }\n}\n",
       "line (4) : value must be in [1.0,32.0]"},
      {"HeightField h { Layer { turbulence(2 [1\n 2\n -1]) } }\n",
       "line (3) : value must be >= 0.0"},
      {"HeightField h { Layer {\n cut\n (\n 1.5\n ) } }\n",
       "line (4) : value must be in [0.0,1.0]"},
      {"HeightField h { WaterPlane { opacity([0.5\n 2]) }\n}\n",
       "line (2) : value must be in [0.0,1.0]"},
      {"HeightField h {\n WaterPlane {\n bumpScale(-0.5) } }\n", "line (3) : value must be >= 0.0"},
      {"HeightField h { WaterPlane { color([1 1\n\n -1]) } }\n", "line (3) : value must be >= 0.0"},
      {"Environment {\n Sky { horizon([0\n 5]) }\n}\n", "line (3) : value must be in [-4.0,4.0]"},
      {"Environment { Sun {\n direction(\n [0 0 -1.5]) } }\n",
       "line (3) : value must be in [-1.0,1.0]"},
      {"Environment { Haze { color([0 -1 0]) }\n\n}\n", "line (1) : value must be >= 0.0"},
      {"Environment { Fog { exp( /* a comment */\n -0.1) } }\n", "line (2) : value must be >= 0.0"},
      {"Environment { CloudLow { granularity(1.5)\n} }\n", "line (1) : value must be in [0.0,1.0]"},
      {"Sound {\n Sample { volumeCorrection(\n 1.001\n) } }\n",
       "line (3) : value must be in [-1.0,1.0]"},
      {"Sound { Sample { frequencyCorrection(-1.001) }\n\n}\n",
       "line (1) : value must be in [-1.0,1.0]"},
      {"Sound { min([-0.001\n 0 0]) }\n", "line (1) : value must be >= 0.0"},
      {"Sound { max([1 0.5\n 1.001]) }\n", "line (2) : value must be in [0.0,1.0]"},
      {"Camera c {\n focalAngle\n (\n 0.5) }\n", "line (4) : value must be in [1.0,179.0]"},
      {"Examine e { focalAngle(180)\n\n}\n", "line (1) : value must be in [1.0,179.0]"},
      // The noise values keep their places when an item gives fewer or more than it holds.
      {"HeightField h { Layer { fractal(4 [1 1 1])\n fractal([]\n [1\n 2\n -1]) } }\n",
       "line (5) : value must be >= 0.0"},
      {"HeightField h { Layer {\n fractal(4 [1 1 1])\n turbulence([2]\n [\n -1]) } }\n",
       "line (5) : value must be >= 0.0"},
      {"HeightField h { Layer { fractal([4\n 9]\n [1\n -1]) } }\n",
       "line (4) : value must be >= 0.0"},
      {"HeightField h { Layer { fractal(\n []\n [1 1 1]) } }\n",
       "line (1) : value must be in [1.0,32.0]"},
      // A literal beyond the float range, whoever reads it.
      {"// a layer\n"
       "HeightField h { BBox { [0 0 0] [1 1 1] }\n"
       "Layer { fractal(4 [0.01 2 0.9])\n"
       " scale(1e39)\n"
       "\n\n\n"
       " } }\n",
       "line (4) : float constant out of range"},
      {"HeightField h { BBox { [0 0 0]\n [1 -4e38 1]\n\n } }\n",
       "line (2) : float constant out of range"},
      {"Camera c {\n position([0\n 1e39 0])\n\n}\n", "line (3) : float constant out of range"},
      {"Camera c { lookAt(\n [ -\n 3.5e38 ]) }\n", "line (2) : float constant out of range"},
      {"Camera c { position([0 0\n 400000000000000000000000000000000000000\n]) }\n",
       "line (2) : float constant out of range"},
  };
  for (const auto& c : cases) {
    const auto outcome = test::RunCompileSession(dir.Write("rng.wld", c.text));
    EXPECT_EQ(outcome.result, 0) << c.text;
    EXPECT_EQ(outcome.status, std::string("Syntax error file (rng.wld) ") + c.status) << c.text;
  }
}

}  // namespace
}  // namespace veskor
