#include "gui/text_markup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace veskor {
namespace {

// Each piece as "codes|text", codes as digits (a column code followed by its digit in
// brackets).
std::vector<std::string> Pieces() {
  std::vector<std::string> out;
  for (std::uint32_t i = 0; i < TextMarkup.pieceCount; ++i) {
    std::string s;
    for (std::uint32_t k = 0; k < TextMarkup.codeCount[i]; ++k) {
      s += std::to_string(TextMarkup.codes[i][k]);
      if (TextMarkup.codes[i][k] == kMarkupColumn)
        s += "[" + std::to_string(TextMarkup.digits[i][k]) + "]";
    }
    out.push_back(s + "|" + TextMarkup.text[i]);
  }
  return out;
}

TEST(TextMarkup, EscapeRunsBecomeCodes) {
  const struct {
    const char* text;
    std::uint32_t consumed;
    std::vector<std::uint8_t> codes;
  } cases[] = {{"\\b\\i x", 4, {kMarkupBold, kMarkupItalic}},
               {"\\<\\>\\g\\n", 8, {kMarkupSmaller, kMarkupLarger, kMarkupGrey, kMarkupNewLine}},
               {"\\qy", 1, {kMarkupReset}},
               {"\\", 1, {kMarkupReset}},
               {"\\\\b", 3, {kMarkupReset, kMarkupBold}},
               {"\\9", 2, {kMarkupColumn}},
               {"\\b\\g\\%\\i", 4, {kMarkupBold, kMarkupGrey}},  // the run stops at "\%"
               {"\\%\\b", 0, {}},
               {"x\\b", 0, {}}};
  for (const auto& c : cases) {
    std::uint8_t codes[kMarkupCodeCapacity], digits[kMarkupCodeCapacity];
    std::uint32_t count = 99;
    EXPECT_EQ(ScanMarkupEscapes(c.text, codes, digits, &count), c.consumed) << c.text;
    EXPECT_EQ(std::vector<std::uint8_t>(codes, codes + count), c.codes) << c.text;
  }
  std::string many;
  for (int i = 0; i < 40; ++i) many += "\\b";
  std::uint8_t codes[kMarkupCodeCapacity + 1] = {}, digits[kMarkupCodeCapacity + 1] = {};
  codes[kMarkupCodeCapacity] = 77;
  std::uint32_t count = 0;
  EXPECT_EQ(ScanMarkupEscapes(many.c_str(), codes, digits, &count), 80u);
  EXPECT_EQ(count, kMarkupCodeCapacity);
  EXPECT_EQ(codes[kMarkupCodeCapacity], 77);  // nothing past the table
}

TEST(TextMarkup, TextsSplitIntoPiecesWithTheirCodes) {
  using V = std::vector<std::string>;
  const struct {
    const char* text;
    V pieces;
  } cases[] = {
      {"a\\bb\\ic", V{"0|a", "2|b", "1|c"}},
      {"x\\qy", V{"0|x", "0|qy"}},
      {"\\%a\\bc", V{"0|", "|a\\bc"}},
      {"x\\3\\b\\%a\\n\\%b", V{"0|x", "6[3]2|", "|a\\n\\%b"}},
      {"A\\n\\nB", V{"0|A", "88|B"}},
      {"\\3X", V{"0|", "6[3]|X"}},
      {"ab\\b", V{"0|ab"}},
      {"", V{}},
      {"plain", V{"0|plain"}},
  };
  for (const auto& c : cases) {
    SplitMarkupText(c.text);
    EXPECT_EQ(Pieces(), c.pieces) << c.text;
  }
}

TEST(TextMarkup, LongTextsLoseTheirExtraPiecesAndCharacters) {
  std::string pieces;
  for (int i = 0; i < 40; ++i) pieces += "p" + std::to_string(i) + "\\b";
  SplitMarkupText(pieces.c_str());
  EXPECT_EQ(TextMarkup.pieceCount, kMarkupPieceCapacity);
  EXPECT_STREQ(TextMarkup.text[kMarkupPieceCapacity - 1], "p31");
  // 31 runs and a literal rest: the literal has no room and is dropped.
  std::string runs;
  for (int i = 0; i < 31; ++i) runs += "x\\i";
  SplitMarkupText((runs + "y\\%literal").c_str());
  EXPECT_EQ(TextMarkup.pieceCount, kMarkupPieceCapacity);
  EXPECT_STREQ(TextMarkup.text[kMarkupPieceCapacity - 1], "y");
  SplitMarkupText((runs.substr(3) + "y\\%literal").c_str());  // one run fewer: it fits
  EXPECT_EQ(TextMarkup.pieceCount, kMarkupPieceCapacity);
  EXPECT_STREQ(TextMarkup.text[kMarkupPieceCapacity - 1], "literal");

  const std::string longPiece(700, 'w');
  for (const std::string& text : {longPiece, "\\b" + longPiece, "\\%" + longPiece}) {
    SplitMarkupText(text.c_str());
    EXPECT_EQ(std::string(TextMarkup.text[TextMarkup.pieceCount - 1]),
              std::string(kMarkupPieceChars, 'w'));
  }
  SplitMarkupText((std::string(600, 'a') + "\\b" + std::string(520, 'b')).c_str());
  EXPECT_EQ(std::string(TextMarkup.text[0]), std::string(kMarkupPieceChars, 'a'));
  EXPECT_EQ(std::string(TextMarkup.text[1]), std::string(kMarkupPieceChars, 'b'));
}

// Outside text goes in behind "\%": one literal piece, in the style of the run before it, cut
// to what the buffer holds; a buffer without room for "\%" keeps its text as it was.
TEST(TextMarkup, AppendedLiteralsShowAsWritten) {
  const std::string path = "shared\\no_such_file.wld";
  char text[64] = "\\b";
  AppendMarkupLiteral(text, sizeof text, path.c_str());
  EXPECT_EQ(std::string(text), "\\b\\%" + path);
  SplitMarkupText(text);
  EXPECT_EQ(Pieces(), (std::vector<std::string>{"0|", "2|", "|" + path}));

  char plain[64] = "";
  AppendMarkupLiteral(plain, sizeof plain, "\\n\\%\\");
  SplitMarkupText(plain);
  EXPECT_EQ(Pieces(), (std::vector<std::string>{"0|", "|\\n\\%\\"}));

  char cut[8] = "ab";
  AppendMarkupLiteral(cut, sizeof cut, "c\\nd");
  EXPECT_STREQ(cut, "ab\\%c\\n");
  char full[4] = "abc";
  AppendMarkupLiteral(full, sizeof full, "x");
  EXPECT_STREQ(full, "abc");
  char room[5] = "ab";
  AppendMarkupLiteral(room, sizeof room, "x");
  EXPECT_STREQ(room, "ab\\%");  // room for "\%" and the zero alone: an empty literal

  // Each boundary of the buffer from both sides, in a buffer of `bytes` followed by a guard
  // byte: "\%" goes in only with room for its zero, the text as far as it fits before the zero,
  // never part of a character (é two bytes, the globe four).
  const struct {
    const char* before;
    std::size_t bytes;
    const char* after;
    const char* text = "xyz";
  } cases[] = {
      {"ab", 9, "ab\\%xyz"},  // room to spare
      {"ab", 8, "ab\\%xyz"},  // exactly "\%", the text and the zero
      {"ab", 7, "ab\\%xy"},   // one less: the text is cut
      {"ab", 6, "ab\\%x"},    // one character of it
      {"ab", 5, "ab\\%"},     // "\%" and the zero, no text
      {"ab", 4, "ab"},        // "\%" without its zero
      {"ab", 3, "ab"},        // the zero alone
      {"ab", 2, "ab"},        // no zero within the buffer
      {"", 3, "\\%"},         // an empty markup text
      {"", 2, ""},            // the same without room for the zero
      {"", 0, ""},            // no buffer at all
      // A cut inside a character drops it whole.
      {"ab", 8, "ab\\%x\xc3\xa9", "x\xc3\xa9"},
      {"ab", 7, "ab\\%x", "x\xc3\xa9"},
      {"ab", 6, "ab\\%x", "x\xc3\xa9"},
      {"ab", 9, "ab\\%\xf0\x9f\x8c\x8d", "\xf0\x9f\x8c\x8d"},
      {"ab", 8, "ab\\%", "\xf0\x9f\x8c\x8d"},
      {"ab", 6, "ab\\%", "\xf0\x9f\x8c\x8d"},
  };
  for (const auto& c : cases) {
    const std::size_t length = std::strlen(c.before);
    std::vector<char> buffer(c.bytes + 1, '#');
    std::memcpy(buffer.data(), c.before, std::min(length + 1, c.bytes));
    AppendMarkupLiteral(buffer.data(), c.bytes, c.text);
    std::string expected = c.after;
    if (expected.size() < c.bytes) expected += '\0';
    expected.resize(c.bytes, '#');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected + '#')
        << c.before << " in " << c.bytes;
  }
}

}  // namespace
}  // namespace veskor
