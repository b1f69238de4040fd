#include "language/lexer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace veskor {
namespace {

// The next byte of the file, a carriage return before a line feed dropped, so that files
// written with CR LF read as they do with LF. EOF at the end.
int ReadFileByte(std::FILE* stream) {
  const int c = std::getc(stream);
  if (c != '\r') return c;
  const int d = std::getc(stream);
  if (d == '\n') return '\n';
  if (d != EOF) std::ungetc(d, stream);
  return c;
}

void RingStore(CharRing& ring, std::uint8_t c) {
  if (!ring.wrapped) MemBlockAppend(ring.block, 1);
  *ring.writePos++ = c;
  if (ring.writePos == ring.end) {
    ring.writePos = ring.start;
    ring.wrapped = 1;
  }
  ++ring.count;
}

void Refill(SceneFile& file) {
  if (file.stream == nullptr || std::feof(file.stream)) {
    file.endOfFile = 1;
    return;
  }
  file.endOfFile = 0;
  for (std::uint32_t i = 0; i < kRefillBytes; ++i) {
    const int c = ReadFileByte(file.stream);
    if (c == EOF) break;
    RingStore(file.ring, static_cast<std::uint8_t>(c));
    ++file.bytesRefilled;
  }
}

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ComposeError(SceneFile& file, const char* message, std::uint32_t first, bool showLast,
                  const char* name = nullptr) {
  char lines[32];
  if (showLast && file.line != first) {
    std::snprintf(lines, sizeof lines, "%u-%u", first, file.line);
  } else {
    std::snprintf(lines, sizeof lines, "%u", first);
  }
  // The text is cut at its buffer's end, whatever the lengths of the name and the message.
  char text[kScenePathBytes + 64 + 2 * kSceneComposeBytes];
  const int n =
      std::snprintf(text, sizeof text, " file (%s) line (%s) : %s",
                    name != nullptr ? name : file.fileName, lines, message);
  const std::size_t length = n < 0 ? 0 : std::min<std::size_t>(n, sizeof file.errorText - 1);
  std::memcpy(file.errorText, text, length);
  file.errorText[length] = '\0';
  file.errorFlag = 1;
}

// The data itself is faulty: the message stands and the data ends here. Placed from tokenLine
// to the current line, or at `line` alone when one is given.
void LexicalError(SceneFile& file, const char* message, std::uint32_t line = 0) {
  if (file.lexicalError) return;
  ComposeError(file, message, line != 0 ? line : file.tokenLine, line == 0);
  file.tokenLine = file.line;
  file.lexicalError = 1;
  file.ring.count = 0;
  file.pendingFlag = 0;
  file.endOfFile = 1;
}

// A literal beyond the float range is a fault of the data, placed at the literal's line: the
// callers would otherwise say that no number stood there.
int NumberOutOfRange(SceneFile& file, std::uint32_t line) {
  LexicalError(file, kNumberOutOfRangeMessage, line);
  return 0;
}

// Where the sums of a literal's digits hold them. The integer is summed in double: it holds
// them while it stays finite. The fraction is summed in single precision, each digit over a
// running float power of ten: a digit's share is a normal float down to the 37th place; at the
// 38th it may be subnormal and past it the power is infinite and the digit is lost. The power
// of ten is a double, normal from 10^-307 to 10^308. A literal outside these bounds is read
// exactly from its digits.
constexpr std::uint32_t kFractionSumPlaces = 37;
constexpr std::int32_t kLowestSumPower = -307;
constexpr std::int32_t kHighestSumPower = 308;
// An exponent stops growing here. A literal has at most two tokens of digits, far fewer than
// this, so such an exponent puts any nonzero value beyond the float range or below half its
// smallest number.
constexpr std::int32_t kExponentLimit = 100000000;

// The integer and fraction digits of a literal, with room after them for the exponent that
// strtof reads.
struct LiteralDigits {
  char text[2 * kSceneTokenBytes + 16];  // the digits come from two tokens at most
  std::uint32_t count = 0;

  void Add(char digit) {
    if (count < 2 * kSceneTokenBytes) text[count++] = digit;
  }
};

// The value of digits x 10^power rounded to the nearest float (0 below half the smallest), or
// false when it rounds beyond the largest float.
bool ReadExactly(LiteralDigits& digits, std::int32_t power, float& value) {
  // Digits and an exponent, without a decimal point, read the same in every locale.
  std::snprintf(digits.text + digits.count, sizeof digits.text - digits.count, "e%d", power);
  value = std::strtof(digits.text, nullptr);
  return std::isfinite(value);
}

// Takes `length` characters into nextToken when it is empty; else they wait for the next
// raw read.
void Delimit(SceneFile& file, std::uint32_t length) {
  if (file.nextTokenLength == 0) {
    for (std::uint32_t i = 0; i < length; ++i) TakeChar(file);
  } else {
    file.pendingLength = length;
    file.pendingFlag = 1;
  }
}

}  // namespace

void FillCharRing(SceneFile& file) {
  CharRing& ring = file.ring;
  MemBlockReserve(ring.block, kRingBytes);
  ring.block.usedBytes = 0;
  ring.start = ring.block.base;
  ring.end = ring.start + (std::uint32_t{1} << ring.block.sizeClass);
  ring.size = static_cast<std::uint32_t>(ring.end - ring.start);
  ring.readPos = ring.writePos = ring.start;
  ring.count = 0;
  ring.wrapped = 0;
  while (ring.count < ring.size - 1) {
    const int c = ReadFileByte(file.stream);
    if (c == EOF) break;
    file.nextChar = static_cast<std::uint8_t>(c);
    RingStore(ring, file.nextChar);
  }
}

bool IsWhitespaceChar(const SceneFile& file, char c) {
  for (std::uint32_t i = 0; i < file.whitespaceCount; ++i) {
    if (file.whitespace[i] == c) return true;
  }
  return false;
}

void SkipWhitespace(SceneFile& file) {
  std::uint32_t length = 0;
  while (file.ring.count > 0 && IsWhitespaceChar(file, static_cast<char>(*file.ring.readPos))) {
    if (file.openRegion >= 0 &&
        MatchAtReadPosition(file, file.regionClosers[file.openRegion], length)) {
      return;
    }
    AdvanceChar(file);
  }
}

void AdvanceChar(SceneFile& file) {
  CharRing& ring = file.ring;
  if (ring.count == 0) return;
  if (*ring.readPos == '\n') {
    ++file.line;
    file.lineStartFlag = 1;
  }
  if (++ring.readPos == ring.end) ring.readPos = ring.start;
  --ring.count;
  if (++file.consumedSinceRefill == kRefillBytes) {
    file.consumedSinceRefill = 0;
    Refill(file);
  }
}

void TakeChar(SceneFile& file) {
  if (file.ring.count == 0) return;
  if (file.nextTokenLength + 1 >= kSceneTokenBytes) {
    LexicalError(file, "Token too long");
    return;
  }
  file.nextToken[file.nextTokenLength++] = static_cast<char>(*file.ring.readPos);
  file.nextToken[file.nextTokenLength] = '\0';
  AdvanceChar(file);
}

bool MatchAtReadPosition(const SceneFile& file, const char* text, std::uint32_t& length) {
  const CharRing& ring = file.ring;
  length = static_cast<std::uint32_t>(std::strlen(text));
  if (length > ring.count) return false;
  const std::uint8_t* p = ring.readPos;
  for (std::uint32_t i = 0; i < length; ++i) {
    if (*p != static_cast<std::uint8_t>(text[i])) return false;
    if (++p == ring.end) p = ring.start;
  }
  return true;
}

void LexRawToken(SceneFile& file) {
  // The read position stands where the new look-ahead begins: past the whitespace that
  // followed the one before, or on a delimiter that still waits.
  file.tokenLine = file.line;
  file.currentTokenLine = file.nextTokenLine;
  file.nextTokenLine = file.line;
  std::memcpy(file.token, file.nextToken, file.nextTokenLength + 1);
  file.nextToken[0] = '\0';
  file.nextTokenLength = 0;

  if (file.pendingFlag) {
    for (std::uint32_t i = 0; i < file.pendingLength; ++i) TakeChar(file);
    file.pendingFlag = 0;
    SkipWhitespace(file);
    return;
  }

  std::uint32_t length = 0;
  if (file.openRegion >= 0) {
    const std::int32_t r = file.openRegion;
    const char* closer = file.regionClosers[r];
    while (file.ring.count > 0 && !MatchAtReadPosition(file, closer, length)) TakeChar(file);
    const bool closed = file.ring.count > 0;
    // A line comment may end with the data; a string or block comment may not.
    if (!closed && !Is(closer, "\n")) {
      char message[kSceneComposeBytes];
      std::snprintf(message, sizeof message, "%s expected", closer);
      LexicalError(file, message);
    }
    file.openRegion = -1;
    if (file.nextTokenLength > 0) {
      file.pendingLength = file.closerLengths[r];
      file.pendingFlag = closed ? 1 : 0;
      return;
    }
    if (closed) {
      for (std::uint32_t i = 0; i < file.closerLengths[r]; ++i) TakeChar(file);
    }
    SkipWhitespace(file);
    return;
  }

  while (file.ring.count > 0) {
    if (IsWhitespaceChar(file, static_cast<char>(*file.ring.readPos))) break;
    bool delimited = false;
    for (std::uint32_t i = 0; i < file.regionCount && !delimited; ++i) {
      if (MatchAtReadPosition(file, file.regionOpeners[i], length)) {
        file.openRegion = static_cast<std::int32_t>(i);
        Delimit(file, length);
        delimited = true;
      }
    }
    for (std::uint32_t i = 0; i < file.separatorCount && !delimited; ++i) {
      if (MatchAtReadPosition(file, file.separators[i], length)) {
        Delimit(file, length);
        delimited = true;
      }
    }
    if (delimited) break;
    TakeChar(file);
  }
  SkipWhitespace(file);
}

bool SceneDataEnded(const SceneFile& file) {
  return file.ring.count == 0 && file.nextToken[0] == '\0';
}

void SetErrorLocation(SceneFile& file, const char* message) {
  if (file.lexicalError) return;
  ComposeError(file, message, file.tokenLine, true);
  file.tokenLine = file.line;
}

void SetErrorAtLine(SceneFile& file, const char* message, std::uint32_t line) {
  SetErrorAtPlace(file, file.fileName, message, line);
}

void SetErrorAtPlace(SceneFile& file, const char* fileName, const char* message,
                     std::uint32_t line) {
  if (file.lexicalError) return;
  ComposeError(file, message, line, false, fileName);
  file.tokenLine = line;
}

void SetExpectedError(SceneFile& file, const char* text) {
  char message[kSceneComposeBytes];
  std::snprintf(message, sizeof message, "%s expected", text);
  SetErrorLocation(file, message);
}

int AcceptToken(SceneFile& file, const char* text) {
  if (!Is(file.token, text)) {
    SetExpectedError(file, text);
    return 0;
  }
  LexRawToken(file);
  return 1;
}

int SkipComments(SceneFile& file) {
  for (;;) {
    std::int32_t r = -1;
    const std::int32_t comments[] = {kLineCommentRegion, kBlockCommentRegion};
    for (std::int32_t i : comments) {
      if (static_cast<std::uint32_t>(i) < file.regionCount && Is(file.token, file.regionOpeners[i]))
        r = i;
    }
    if (r < 0) return 1;
    const char* closer = file.regionClosers[r];
    LexRawToken(file);  // the comment's text, or the closer of an empty comment
    if (!Is(file.token, closer)) LexRawToken(file);
    if (!Is(file.token, closer)) {
      if (Is(closer, "\n") && file.token[0] == '\0' && SceneDataEnded(file)) return 1;
      SetExpectedError(file, closer);
      return 0;
    }
    LexRawToken(file);
  }
}

int ParseNumber(SceneFile& file, float& value) {
  const std::uint32_t line = file.currentTokenLine;  // the literal's first
  bool negative = false;
  if (Is(file.token, "-")) {
    negative = true;
    LexRawToken(file);
  } else if (Is(file.token, "+")) {
    LexRawToken(file);
  }
  double integer = 0.0;
  float fraction = 0.0f;
  bool digits = false;
  const char* exponent = nullptr;  // the text after the "e", once one is met
  LiteralDigits digitText;
  std::uint32_t places = 0;  // fraction digits
  std::uint32_t lastNonZeroPlace = 0;

  if (!Is(file.token, ".")) {
    const char* p = file.token;
    for (; IsDigit(*p); ++p, digits = true) {
      integer = integer * 10.0 + (*p - '0');
      digitText.Add(*p);
    }
    if (!digits) return 0;
    if (*p != '\0') {
      if (*p != 'e' && *p != 'E') return 0;
      exponent = p + 1;
    } else {
      LexRawToken(file);
      if (!Is(file.token, ".")) {
        // A sum past the largest float may be a value that still rounds down to it: the
        // digits say.
        float magnitude = 0.0f;
        if (integer <= FLT_MAX) {
          magnitude = static_cast<float>(integer);
        } else if (!ReadExactly(digitText, 0, magnitude)) {
          return NumberOutOfRange(file, line);
        }
        value = negative ? -magnitude : magnitude;
        return 1;
      }
    }
  }
  if (exponent == nullptr) {  // the fraction, after the "."
    LexRawToken(file);
    const char* p = file.token;
    float scale = 1.0f;
    for (; IsDigit(*p); ++p, digits = true) {
      scale *= 10.0f;
      fraction += static_cast<float>(*p - '0') / scale;
      digitText.Add(*p);
      if (*p != '0') lastNonZeroPlace = places + 1;
      ++places;
    }
    if (!digits) return 0;
    if (*p != '\0' && *p != 'e' && *p != 'E') return 0;
    if (*p != '\0') exponent = p + 1;
  }
  std::int32_t power = 0;
  if (exponent != nullptr) {
    bool negativeExponent = false;
    if (*exponent == '\0') {  // the exponent comes in the following tokens
      LexRawToken(file);
      if (Is(file.token, "-") || Is(file.token, "+")) {
        negativeExponent = Is(file.token, "-");
        LexRawToken(file);
      }
      exponent = file.token;
    }
    if (!IsDigit(*exponent)) return 0;
    for (; IsDigit(*exponent); ++exponent)
      power = std::min(power * 10 + (*exponent - '0'), kExponentLimit);
    if (*exponent != '\0') return 0;
    if (negativeExponent) power = -power;
  }
  LexRawToken(file);
  float magnitude = 0.0f;
  if (std::isfinite(integer) && lastNonZeroPlace <= kFractionSumPlaces &&
      power >= kLowestSumPower && power <= kHighestSumPower) {
    // Digits beyond the float range may still be brought into it by the exponent.
    const double mantissa =
        integer > FLT_MAX ? integer : static_cast<double>(static_cast<float>(integer) + fraction);
    const double result = mantissa * std::pow(10.0, power);
    if (result <= FLT_MAX) {
      magnitude = static_cast<float>(result);
    } else if (!ReadExactly(digitText, power - static_cast<std::int32_t>(places), magnitude)) {
      return NumberOutOfRange(file, line);  // past it by half its last place or more
    }
  } else if (!ReadExactly(digitText, power - static_cast<std::int32_t>(places), magnitude)) {
    return NumberOutOfRange(file, line);
  }
  value = negative ? -magnitude : magnitude;
  return 1;
}

bool TokenEquals(SceneParser& parser, const char* text) {
  return Is(InnermostFile(parser).token, text);
}

void SetParseError(SceneParser& parser, const char* message) {
  SetErrorLocation(InnermostFile(parser), message);
}

int ReadRawToken(SceneParser& parser) {
  LexRawToken(InnermostFile(parser));
  NextToken(parser);
  return 1;
}

int NextToken(SceneParser& parser) { return SkipComments(InnermostFile(parser)); }

int ExpectToken(SceneParser& parser, const char* text) {
  SceneFile& file = InnermostFile(parser);
  if (!Is(file.token, text)) {
    SetExpectedError(file, text);
    return 0;
  }
  LexRawToken(file);
  SkipComments(file);
  return 1;
}

}  // namespace veskor
