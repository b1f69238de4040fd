// The backslash markup of interface texts and its parser. A backslash and the character after
// it switch bold or italic, step the size, grey the text, jump to a tab column or start a new
// line; escapes written back to back form one run that applies to the text after it.
//
//   \<  smaller (size - 2 points)   \>  larger (+ 2)   \b  bold   \i  italic   \g  grey
//   \n  new line   \0 .. \9  column (pen x := digit x 64)   \%  the rest of the text literal
//   a backslash before any other character resets the style and is dropped (the character
//   stays text).
//
// "\%" ends a run written before it ("\b\%" is bold, then the literal rest), so a text of the
// program can style what follows it. Only the program's own texts carry escapes: text from
// outside it (a world's strings, a path, a system's name or reason) enters a markup text
// behind "\%" (AppendMarkupLiteral puts it there), and shows as written.
//
// The parser splits a text into pieces, each with the codes that apply before it, into one
// shared set of tables. Their capacities are fixed; a text beyond them loses its extra pieces,
// characters and codes, and nothing is written past a table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskor {

enum : std::uint8_t {
  kMarkupReset = 0,
  kMarkupItalic = 1,
  kMarkupBold = 2,
  kMarkupLarger = 3,
  kMarkupSmaller = 4,
  kMarkupGrey = 5,
  kMarkupColumn = 6,
  kMarkupNewLine = 8,
};

inline constexpr std::uint32_t kMarkupPieceCapacity = 32;
inline constexpr std::uint32_t kMarkupPieceChars = 511;  // plus the terminating zero
inline constexpr std::uint32_t kMarkupCodeCapacity = 32;

struct TextMarkupTables {
  std::uint32_t pieceCount;
  char text[kMarkupPieceCapacity][kMarkupPieceChars + 1];
  std::uint8_t codes[kMarkupPieceCapacity][kMarkupCodeCapacity];
  std::uint8_t digits[kMarkupPieceCapacity][kMarkupCodeCapacity];
  std::uint32_t codeCount[kMarkupPieceCapacity];
};

// The tables of the last split, shared by every text bitmap.
extern TextMarkupTables TextMarkup;

// Parses the escape run at the start of `text` into codes and digits (at most 32 kept; the
// rest is consumed and dropped). The run stops before a "\%", which it leaves. Returns the
// characters consumed, 0 when the text does not start with a backslash or starts with "\%".
std::uint32_t ScanMarkupEscapes(const char* text, std::uint8_t* codes, std::uint8_t* digits,
                                std::uint32_t* count);

// Splits a text into TextMarkup. Piece 0 starts with one reset code; codes at the very end of
// a text are ignored.
void SplitMarkupText(const char* text);

// Appends "\%" and `text` to the zero-terminated markup text in `out`, a buffer of `bytes`,
// cutting what does not fit, before a UTF-8 character that would be cut in two (3 bytes back at
// most): the markup then shows `text` as written, a backslash and all, in the style the text
// before it set. The literal holds to the end, so `text` must end the markup text. Nothing is
// appended when "\%" itself does not fit.
void AppendMarkupLiteral(char* out, std::size_t bytes, const char* text);

// The characters that a markup text shows, as a person reads them: every escape run dropped
// (its codes show no character), the literal after "\%" as written, whole: no table's capacity
// cuts it.
std::string MarkupShownText(const char* text);

}  // namespace veskor
