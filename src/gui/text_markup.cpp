#include "gui/text_markup.h"

#include <algorithm>
#include <cstring>

namespace veskor {

TextMarkupTables TextMarkup{};

namespace {

void CopyPiece(std::uint32_t piece, const char* from, std::size_t length) {
  const std::size_t n = std::min<std::size_t>(length, kMarkupPieceChars);
  std::memcpy(TextMarkup.text[piece], from, n);
  TextMarkup.text[piece][n] = '\0';
}

}  // namespace

std::uint32_t ScanMarkupEscapes(const char* text, std::uint8_t* codes, std::uint8_t* digits,
                                std::uint32_t* count) {
  *count = 0;
  const char* p = text;
  while (p[0] == '\\' && p[1] != '%') {
    const char c = p[1];
    std::uint8_t code = kMarkupReset, digit = 0;
    std::uint32_t consumed = 2;
    switch (c) {
      case '<':
        code = kMarkupSmaller;
        break;
      case '>':
        code = kMarkupLarger;
        break;
      case 'b':
        code = kMarkupBold;
        break;
      case 'g':
        code = kMarkupGrey;
        break;
      case 'i':
        code = kMarkupItalic;
        break;
      case 'n':
        code = kMarkupNewLine;
        break;
      default:
        if (c >= '0' && c <= '9') {
          code = kMarkupColumn;
          digit = static_cast<std::uint8_t>(c - '0');
        } else {
          consumed = 1;  // the character stays text (a terminating zero included)
        }
    }
    if (*count < kMarkupCodeCapacity) {
      codes[*count] = code;
      digits[*count] = digit;
      ++*count;
    }
    p += consumed;
  }
  return static_cast<std::uint32_t>(p - text);
}

void SplitMarkupText(const char* text) {
  TextMarkupTables& t = TextMarkup;
  std::uint32_t piece = 0;
  t.codes[0][0] = kMarkupReset;
  t.digits[0][0] = 0;
  t.codeCount[0] = 1;
  t.text[0][0] = '\0';
  const char* p = text;
  for (const char* slash; (slash = std::strchr(p, '\\')) != nullptr;) {
    CopyPiece(piece, p, static_cast<std::size_t>(slash - p));
    if (piece + 1 == kMarkupPieceCapacity) {  // no room for another piece: the rest is lost
      t.pieceCount = kMarkupPieceCapacity;
      return;
    }
    if (slash[1] == '%') {
      CopyPiece(piece + 1, slash + 2, std::strlen(slash + 2));
      t.codeCount[piece + 1] = 0;
      t.pieceCount = piece + 2;
      return;
    }
    ++piece;
    p = slash + ScanMarkupEscapes(slash, t.codes[piece], t.digits[piece], &t.codeCount[piece]);
  }
  if (*p == '\0') {
    t.pieceCount = piece;
    return;
  }
  CopyPiece(piece, p, std::strlen(p));
  t.pieceCount = piece + 1;
}

void AppendMarkupLiteral(char* out, std::size_t bytes, const char* text) {
  const std::size_t used = strnlen(out, bytes);
  if (used + 3 > bytes) return;  // "\\%" and the terminating zero
  out[used] = '\\';
  out[used + 1] = '%';
  const std::size_t length = std::strlen(text);
  std::size_t n = std::min(length, bytes - used - 3);
  // A cut inside a character of a UTF-8 text drops that character whole.
  for (int back = 0;
       back < 3 && n > 0 && n < length && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80;
       ++back)
    --n;
  std::memcpy(out + used + 2, text, n);
  out[used + 2 + n] = '\0';
}

std::string MarkupShownText(const char* text) {
  std::string shown;
  std::uint8_t codes[kMarkupCodeCapacity], digits[kMarkupCodeCapacity];
  std::uint32_t count = 0;
  for (const char* p = text; *p != '\0';) {
    if (p[0] == '\\' && p[1] == '%') {
      shown += p + 2;
      break;
    }
    if (p[0] == '\\')
      p += ScanMarkupEscapes(p, codes, digits, &count);
    else
      shown += *p++;
  }
  return shown;
}

}  // namespace veskor
