#include "language/lexer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::OpenText;
using test::WorldDir;

std::string Shown(const char* token) {
  std::string s;
  for (const char* p = token; *p != '\0'; ++p)
    s += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  return s;
}

// Every raw token of `text`, line feeds shown as "\n".
std::vector<std::string> RawTokens(const WorldDir& dir, const std::string& text) {
  SceneFile& file = OpenText(dir, text);
  std::vector<std::string> tokens;
  for (; !(file.token[0] == '\0' && SceneDataEnded(file)); LexRawToken(file))
    tokens.push_back(Shown(file.token));
  return tokens;
}

std::string Joined(const std::vector<std::string>& tokens) {
  std::string s;
  for (const auto& t : tokens) s += (s.empty() ? "" : "|") + t;
  return s;
}

TEST(Lexer, TokensSplitAtSeparatorsRegionsAndWhitespace) {
  WorldDir dir;
  const struct {
    const char* text;
    const char* tokens;
  } cases[] = {
      {"a(b", "a|(|b"},
      {"x//c\ny", "x|//|c|\\n|y"},
      {"\"  hello world\"", "\"|hello world|\""},  // leading blanks dropped
      {"\"\"", "\"|\""},
      {"/**/ /* */z", "/*|*/|/*|*/|z"},
      {"k //\nq", "k|//|\\n|q"},  // an empty line comment ends at its line feed
      {"/* a\n b */", "/*|a\\n b |*/"},
      {"-12.5e-3", "-|12|.|5e|-|3"},
      {"a=b,c;d:e!f#g[h]{i}+j)", "a|=|b|,|c|;|d|:|e|!|f|#|g|[|h|]|{|i|}|+|j|)"},
      {"x\"y\"z", "x|\"|y|\"|z"},
      {"  \t\n lead \n", "lead"},
      {"a\r\nb\r\n\"s\r\nt\" c\rd", "a|b|\"|s\\nt|\"|c\rd"},  // CR dropped only before LF
      {"p//", "p|//"},
      {"q\"", "q|\""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Joined(RawTokens(dir, c.text)), c.tokens) << c.text;
  CloseSceneFiles(gSceneParser);
}

TEST(Lexer, ErrorPlacesNameTheLinesOfTheLatestRead) {
  WorldDir dir;
  for (const char* eol : {"\n", "\r\n"}) {
    const std::string n(eol);
    SceneFile& file = OpenText(dir, "a" + n + n + "\"x" + n + "y" + n + "z\"");
    LexRawToken(file);  // the opening quote is current; the text, lines 3 to 5, was read
    EXPECT_EQ(file.tokenLine, 3u);
    EXPECT_EQ(file.line, 5u);
    SetErrorLocation(file, "m");
    EXPECT_STREQ(file.errorText, " file (world.wld) line (3-5) : m");
    SetExpectedError(file, "{");
    EXPECT_STREQ(file.errorText, " file (world.wld) line (5) : { expected");
    SetErrorAtLine(file, "n", 2);
    EXPECT_STREQ(file.errorText, " file (world.wld) line (2) : n");
    EXPECT_EQ(AcceptToken(file, "\""), 1);
    EXPECT_EQ(Shown(file.token), "x\\ny\\nz");
    EXPECT_EQ(AcceptToken(file, "}"), 0);
    EXPECT_STREQ(file.errorText, " file (world.wld) line (5) : } expected");
  }
  CloseSceneFiles(gSceneParser);
}

TEST(Lexer, LongFilesReadEveryByteOnceAcrossRefills) {
  WorldDir dir;
  for (const char* eol : {"\n", "\r\n"}) {
    std::string text;
    std::vector<std::string> expected;
    std::uint32_t lines = 1;
    const char* blanks[] = {" ", eol, "\t", "  "};
    for (int i = 0; text.size() < 30000; ++i) {
      if (i == 700) {  // a string across the first refill seams
        const std::string inner(900, static_cast<char>('a' + i % 26));
        text += "\"" + inner + "\" ";
        expected.insert(expected.end(), {"\"", inner, "\""});
      }
      std::string word = "w" + std::to_string(i) + std::string(i % 13, 'k');
      text += word + blanks[i % 4];
      expected.push_back(word);
      if (i % 4 == 1) ++lines;
    }
    ASSERT_GT(text.size(), 3u * kRingBytes);
    EXPECT_EQ(RawTokens(dir, text), expected);
    EXPECT_EQ(gSceneParser.files[0].line, lines);
  }
  CloseSceneFiles(gSceneParser);
}

TEST(Lexer, FaultyDataIsALocatedErrorThatEndsTheData) {
  WorldDir dir;
  const struct {
    std::string text;
    const char* status;  // empty when the world parses
  } cases[] = {
      {"\"abc", " file (world.wld) line (1) : \" expected"},
      {"#version \"1\" /* never\nclosed", " file (world.wld) line (1-2) : */ expected"},
      {"#version \"1\" // a last line without its line feed", ""},
      {std::string(kSceneTokenBytes - 1, 'a'),
       " file (world.wld) line (1) : Scene component expected"},
      {std::string(kSceneTokenBytes, 'a'), " file (world.wld) line (1) : Token too long"},
      {"#version \"" + std::string(kSceneTokenBytes, 'a') + "\"",
       " file (world.wld) line (1) : Token too long"},
  };
  for (const auto& c : cases) {
    const auto outcome = test::RunCompileSession(dir.Write("world.wld", c.text));
    EXPECT_EQ(outcome.result, c.status[0] == '\0' ? 1 : 0) << c.text.substr(0, 40);
    EXPECT_EQ(outcome.status, c.status[0] == '\0' ? "" : std::string("Syntax error") + c.status)
        << c.text.substr(0, 40);
  }
}

TEST(Lexer, NumberLiteralsSpanTheirTokens) {
  WorldDir dir;
  const struct {
    const char* text;
    bool ok;
    float value;
    std::uint32_t rangeLine = 0;  // the line of a literal beyond the float range
  } cases[] = {
      {"3", true, 3.0f},
      {"-12.5e-3", true, -0.0125f},
      {"+7", true, 7.0f},
      {".5", true, 0.5f},
      {"1.25E2", true, 125.0f},
      {"2e+3", true, 2000.0f},
      {"4e2", true, 400.0f},
      {"0.1", true, 0.1f},
      {"1e-50", true, 0.0f},
      {"1e-40", true, 1e-40f},  // a subnormal float
      {"3.4e38", true, 3.4e38f},
      {"-3.4e38", true, -3.4e38f},
      {"99999999999", true, 99999999999.0f},
      {"5.e1", true, 50.0f},
      {"0e400", true, 0.0f},
      {"0.0e99999999", true, 0.0f},
      {"1000000000000000000000000000000000000000e-10", true, 1e29f},  // 40 digits
      {"-", false, 0},
      {"12abc", false, 0},
      {"abc", false, 0},
      {"e5", false, 0},
      {"1e39", false, 0, 1},
      {"-3.5e38", false, 0, 1},
      {"1000000000000000000000000000000000000000", false, 0, 1},
      {"1000000000000000000000000000000000000000.5", false, 0, 1},
      {"1e400", false, 0, 1},
      {"\n-\n\n2.5e\n+\n99", false, 0, 2},  // the line of its sign
      {"5.x", false, 0},
      {"1e", false, 0},
      {"1e-x", false, 0},
      {"2e3x", false, 0},
      {"", false, 0},
      {".", false, 0},
  };
  for (const auto& c : cases) {
    SceneFile& file = OpenText(dir, std::string(c.text) + " ;");
    float value = -1.0f;
    ASSERT_EQ(ParseNumber(file, value), c.ok ? 1 : 0) << c.text;
    // Only a literal beyond the float range says so; the readers name any other failure.
    EXPECT_EQ(file.errorText, c.rangeLine == 0
                                  ? std::string()
                                  : " file (world.wld) line (" + std::to_string(c.rangeLine) +
                                        ") : float constant out of range")
        << c.text;
    EXPECT_EQ(file.lexicalError, c.rangeLine == 0 ? 0u : 1u) << c.text;
    if (!c.ok) continue;
    EXPECT_FLOAT_EQ(value, c.value) << c.text;
    EXPECT_STREQ(file.token, ";") << c.text;
  }
  CloseSceneFiles(gSceneParser);
}

}  // namespace
}  // namespace veskor
