#include "language/lexer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
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
  const std::string z50(50, '0');
  const std::string z300(300, '0');
  const std::string z310(310, '0');
  const std::string nines30(30, '9');
  // The largest float, the midway point past it, and the smallest subnormal, in full.
  const std::string largest = "340282346638528859811704183484516925440";
  const std::string pastLargest = "340282356779733661637539395458142568448";
  const std::string smallest =
      "140129846432481707092372958328991613128026194187651577175706828388979108268586060148663818"
      "836212158203125";
  const std::string halfSmallest =  // half the smallest subnormal, times 10^46
      "700649232162408535461864791644958065640130970938257885878534141944895541342930300743319094"
      "181060791015625";
  const struct {
    std::string text;
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
      {"3.4e38", true, std::nextafter(3.4e38f, FLT_MAX)},  // the sum 3.4f rounds up a place
      {"-3.4e38", true, -std::nextafter(3.4e38f, FLT_MAX)},
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
      // Literals longer than the sums of their digits can hold.
      {"1" + z310 + "e-310", true, 1.0f},
      {"1" + z310 + "e-300", true, 1e10f},
      {"0." + z50 + "1e51", true, 1.0f},
      {"1" + z300 + "e-320", true, 1e-20f},  // a power of ten below the normal doubles
      {"0." + std::string(37, '0') + "1e38", true, 1.0f},  // the 38th place
      {"1" + z310, false, 0, 1},
      {"0." + z50 + "1", true, 0.0f},  // too small: towards zero
      // The largest float, then past it by less and by more than half its last place.
      {"3.4028234e38", true, FLT_MAX},
      {largest + z300 + "e-300", true, FLT_MAX},
      {"-" + largest + z300 + "e-300", true, -FLT_MAX},
      {"0." + z50 + largest + "e89", true, FLT_MAX},
      {largest + "0000000000.0000000000000000000000000000000000000001e-10", true, FLT_MAX},
      {pastLargest.substr(0, 38) + "7" + z300 + "e-300", true, FLT_MAX},
      {"340282350000000000000000000000000000000", true, FLT_MAX},  // past it by the sum
      {"-340282350000000000000000000000000000000.0", true, -FLT_MAX},
      {pastLargest.substr(0, 38) + "7", true, FLT_MAX},
      {pastLargest, false, 0, 1},
      {pastLargest + ".0e0", false, 0, 1},
      {pastLargest + z300 + "e-300", false, 0, 1},
      {"-" + pastLargest + z300 + "e-300", false, 0, 1},
      {"3.4028236e38", false, 0, 1},
      // The smallest subnormal, and below it: half of it is a tie that rounds to 0.
      {"1.4e-45", true, 0x1p-149f},
      {"0." + std::string(44, '0') + smallest, true, 0x1p-149f},
      {"0." + std::string(45, '0') + halfSmallest + "1", true, 0x1p-149f},
      {"0." + std::string(45, '0') + halfSmallest, true, 0.0f},
      {halfSmallest + z310 + "e-460", true, 0.0f},
      {"-0." + std::string(45, '0') + halfSmallest + "1", true, -0x1p-149f},
      {"7e-46", true, 0.0f},
      // Leading zeros in the integer, the fraction and the exponent.
      {std::string(400, '0') + "12.5", true, 12.5f},
      {std::string(400, '0') + "1" + z310 + "e-310", true, 1.0f},
      {"." + std::string(38, '0') + "25e39", true, 2.5f},
      {"0." + z50 + "1e+51", true, 1.0f},
      {"1e" + std::string(4000, '0') + "3", true, 1000.0f},
      {"1" + z310 + "e-" + std::string(4000, '0') + "310", true, 1.0f},
      // Exponents of many digits, some beyond any integer type.
      {"1e" + nines30, false, 0, 1},
      {"1e-" + nines30, true, 0.0f},
      {"0e" + nines30, true, 0.0f},
      {"1" + z310 + "e-" + nines30, true, 0.0f},
      {"0." + z50 + "1e" + nines30, false, 0, 1},
      {"0." + z50 + "1e4294967347", false, 0, 1},  // 2^32 + 51
      {"0." + z50 + "1e18446744073709551667", false, 0, 1},  // 2^64 + 51
      {"1" + z310 + "e-4294967006", true, 0.0f},  // -(2^32 - 290)
      {"0." + std::string(4000, '0') + "1e4011", true, 1e10f},
      // Signs.
      {"-1" + z310 + "e-310", true, -1.0f},
      {"+1" + z310 + "e-300", true, 1e10f},
      {"-0." + z50 + "1e51", true, -1.0f},
      {"-0." + z50 + "1", true, -0.0f},
      {"-" + z310 + "e-310", true, -0.0f},
  };
  for (const auto& c : cases) {
    SceneFile& file = OpenText(dir, std::string(c.text) + " ;");
    float value = -1.0f;
    const int read = ParseNumber(file, value);
    EXPECT_EQ(read, c.ok ? 1 : 0) << c.text;
    // Only a literal beyond the float range says so; the readers name any other failure.
    EXPECT_EQ(file.errorText, c.rangeLine == 0
                                  ? std::string()
                                  : " file (world.wld) line (" + std::to_string(c.rangeLine) +
                                        ") : float constant out of range")
        << c.text;
    EXPECT_EQ(file.lexicalError, c.rangeLine == 0 ? 0u : 1u) << c.text;
    if (!c.ok || read == 0) continue;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(c.value))
        << c.text << " read as " << value;
    EXPECT_STREQ(file.token, ";") << c.text;
  }
  CloseSceneFiles(gSceneParser);
}

// The arithmetic of ordinary number literals, kept as a plain reference: the integer summed
// in double, the fraction summed in single precision (each digit over a running float power of
// ten), the mantissa rounded to float and scaled by a double power of ten. False when the value
// is beyond the float range.
bool OrdinaryValue(const std::string& text, float& value) {
  const auto digitAt = [&text](std::size_t k) {
    return k < text.size() && text[k] >= '0' && text[k] <= '9';
  };
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') ++i;
  double integer = 0.0;
  for (; digitAt(i); ++i) integer = integer * 10.0 + (text[i] - '0');
  float fraction = 0.0f;
  const bool point = i < text.size() && text[i] == '.';
  if (point) {
    float scale = 1.0f;
    for (++i; digitAt(i); ++i) {
      scale *= 10.0f;
      fraction += static_cast<float>(text[i] - '0') / scale;
    }
  }
  if (!point && i == text.size()) {
    if (integer > FLT_MAX) return false;
    value = static_cast<float>(negative ? -integer : integer);
    return true;
  }
  double power = 1.0;
  if (i < text.size()) {  // "e", a sign, digits
    const bool negativeExponent = text[++i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    const double e = std::stod(text.substr(i));
    power = std::pow(10.0, negativeExponent ? -e : e);
  }
  const double mantissa =
      integer > FLT_MAX ? integer : static_cast<double>(static_cast<float>(integer) + fraction);
  const double result = mantissa == 0.0 ? 0.0 : mantissa * power;
  if (!(std::fabs(result) <= FLT_MAX)) return false;
  value = static_cast<float>(negative ? -result : result);
  return true;
}

// Every number literal written in the sample worlds and the test worlds of the tree.
std::vector<std::string> SampleWorldLiterals() {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(VESKOR_LANGUAGE_DATA) / ".." / ".." / "..";
  const std::regex literal(R"([-+]?(\d+(\.\d+)?|\.\d+)([eE][-+]?\d+)?)");
  std::set<std::string> found;
  for (const char* folder : {"examples", "tests"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      if (entry.path().extension() != ".wld") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
      for (std::sregex_iterator m(text.begin(), text.end(), literal), end; m != end; ++m)
        found.insert(m->str());
    }
  }
  return {found.begin(), found.end()};
}

// Ordinary literals of every form: signs, integer parts, fractions and exponents crossed, then
// random ones (fixed seed) of up to 40 integer digits, 37 fraction places and exponents to 300.
std::vector<std::string> GeneratedLiterals() {
  std::vector<std::string> literals;
  const char* signs[] = {"", "-", "+"};
  const char* integers[] = {"", "0", "00012", "1", "7", "255", "65535", "16777217", "123456789",
                            "9007199254740993", "99999999999999999999",
                            "340282346638528859811704183484516925440"};
  const char* fractions[] = {nullptr, "0", "5", "25", "125", "1", "01", "0001", "333333",
                             "3333333333", "123456789", "1234567890123456789", "0000001",
                             "99999999999", "0000000000000000000000000000000000001"};
  const char* exponents[] = {"", "e0", "e1", "e-1", "E+5", "e-5", "e10", "e-10", "e20", "e-20",
                             "e30", "e-30", "e38", "e-38", "e39", "e-39", "e-44", "e-45",
                             "e-46", "e100", "e-100", "e300", "e-300", "e-307", "e308", "e-308",
                             "e-320", "e400", "e-400"};
  for (const char* sign : signs)
    for (const char* integer : integers)
      for (const char* fraction : fractions)
        for (const char* exponent : exponents) {
          if (integer[0] == '\0' && fraction == nullptr) continue;
          literals.push_back(std::string(sign) + integer +
                             (fraction != nullptr ? std::string(".") + fraction : "") + exponent);
        }
  std::mt19937 random(67);
  const auto below = [&random](std::uint32_t n) {
    return static_cast<std::uint32_t>(random() % n);
  };
  const auto digits = [&](std::uint32_t n) {
    std::string s;
    for (std::uint32_t i = 0; i < n; ++i) s += static_cast<char>('0' + below(10));
    return s;
  };
  for (int k = 0; k < 20000; ++k) {
    std::string text = signs[below(3)];
    const bool fraction = below(3) != 0;
    const std::uint32_t integerDigits = below(8) == 0 ? below(41) : below(10);
    text += digits(fraction && integerDigits == 0 ? 0 : std::max(integerDigits, 1u));
    if (fraction) {
      const std::uint32_t zeros = below(4) == 0 ? below(30) : 0;
      const std::uint32_t places = std::min(zeros + 1 + below(20), 37u);
      text += "." + std::string(zeros, '0') + digits(places - zeros);
    }
    if (below(2) == 0) {
      const char* exponentSigns[] = {"", "-", "+"};
      text += std::string(below(2) == 0 ? "e" : "E") + exponentSigns[below(3)] +
              std::to_string(below(8) == 0 ? below(301) : below(46));
    }
    literals.push_back(text);
  }
  return literals;
}

// Literals that the sums of their digits hold keep the values they have always had, to the bit.
TEST(Lexer, OrdinaryNumberLiteralsKeepTheirValues) {
  const std::vector<std::string> samples = SampleWorldLiterals();
  ASSERT_GT(samples.size(), 200u);  // the sample worlds were found
  std::vector<std::string> literals = GeneratedLiterals();
  literals.insert(literals.end(), samples.begin(), samples.end());

  WorldDir dir;
  std::string text;
  std::vector<std::pair<std::string, float>> inRange;
  std::vector<std::string> beyond;
  for (const auto& literal : literals) {
    float value = 0.0f;
    if (OrdinaryValue(literal, value)) {
      inRange.emplace_back(literal, value);
      text += literal + " ;\n";
    } else {
      beyond.push_back(literal);
    }
  }
  ASSERT_GT(beyond.size(), 1000u);
  std::size_t differing = 0;
  std::string shown;
  SceneFile& file = OpenText(dir, text);
  for (const auto& [literal, expected] : inRange) {
    float value = 0.0f;
    ASSERT_EQ(ParseNumber(file, value), 1) << literal;
    ASSERT_STREQ(file.token, ";") << literal;
    LexRawToken(file);
    if (std::bit_cast<std::uint32_t>(value) == std::bit_cast<std::uint32_t>(expected)) continue;
    if (++differing <= 5) shown += " " + literal;
  }
  EXPECT_EQ(differing, 0u) << "of " << inRange.size() << ", as" << shown;
  // Past the largest float by the sums, a literal is out of range when its digits' value rounds
  // beyond it too; else it is that value. An out-of-range literal ends the data, so each is read
  // alone: every eighth, to spare the files.
  for (std::size_t k = 0; k < beyond.size(); k += 8) {
    const std::string& literal = beyond[k];
    SceneFile& one = OpenText(dir, literal + " ;");
    float value = 0.0f;
    const float exact = std::strtof(literal.c_str(), nullptr);
    EXPECT_EQ(ParseNumber(one, value), std::isinf(exact) ? 0 : 1) << literal;
    EXPECT_EQ(one.lexicalError, std::isinf(exact) ? 1u : 0u) << literal;
    if (!std::isinf(exact)) {
      EXPECT_EQ(value, exact) << literal;
    }
  }
  CloseSceneFiles(gSceneParser);
}

}  // namespace
}  // namespace veskor
