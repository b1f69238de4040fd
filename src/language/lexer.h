// The lexer of world files: the character ring of a SceneFile, the raw read of one token with
// its one-token look-ahead, comment skipping, number literals, the token tests and the located
// error texts. Table-driven: whitespace, separators and regions are data of the record.
// The readers and block parsers use only these operations, never the ring.
#pragma once

#include <cstdint>

#include "language/scene_parser.h"

namespace veskor {

// Limit of a message composed into an error text with its place.
inline constexpr std::uint32_t kSceneComposeBytes = 512;

inline constexpr const char* kNumberOutOfRangeMessage = "float constant out of range";

// Reserves the ring and reads the file into it until it holds size - 1 characters or the
// file ends. Every byte enters once, in order, except a carriage return before a line feed.
void FillCharRing(SceneFile& file);

bool IsWhitespaceChar(const SceneFile& file, char c);
// Consumes whitespace while the ring holds data, never past the closer of a region whose
// opener was just read.
void SkipWhitespace(SceneFile& file);
// Consumes one character (nothing when the ring is empty); a refill runs every 128.
void AdvanceChar(SceneFile& file);
// Appends the character at the read position to nextToken and consumes it.
void TakeChar(SceneFile& file);
// True when the buffered characters from the read position begin with `text` (its length
// goes to `length`); running out of buffered data is a mismatch, an empty text matches.
bool MatchAtReadPosition(const SceneFile& file, const char* text, std::uint32_t& length);

// Reads one raw token: the look-ahead becomes the current token and the next token is read.
// At the end of the data the token read is empty. tokenLine and nextTokenLine become the line
// where the new look-ahead begins, currentTokenLine the line where the current token begins.
void LexRawToken(SceneFile& file);
// True when the ring holds no more data and the look-ahead is empty.
bool SceneDataEnded(const SceneFile& file);

// Composes errorText = " file (" name ") line (" tokenLine ["-" line] ") : " message, sets
// errorFlag and tokenLine = line. The last message composed wins, unless the data itself was
// found faulty (SceneFile::lexicalError): that message stands.
void SetErrorLocation(SceneFile& file, const char* message);
// The same with `line` in place of tokenLine and no second line number.
void SetErrorAtLine(SceneFile& file, const char* message, std::uint32_t line);
// The same with the place naming `fileName` in place of the file's own name (a file that this
// one names and that could not be opened).
void SetErrorAtPlace(SceneFile& file, const char* fileName, const char* message,
                     std::uint32_t line);
// SetErrorLocation with `text` followed by " expected".
void SetExpectedError(SceneFile& file, const char* text);

// 1 and one raw read when the token equals `text`; else `text` + " expected" and 0.
int AcceptToken(SceneFile& file, const char* text);
// Skips the comments at the current token. 1, or 0 (with "\n expected" or "*/ expected")
// when a comment is not closed where expected. A last line comment may end with the data.
int SkipComments(SceneFile& file);

// Reads the tokens of one number literal (sign, digits, ".", digits, exponent; the separators
// split it into several tokens) into `value`. 0 without any error text when the tokens are no
// number or when no digit is given. Any number of digits is read: the integer is summed in
// double, the fraction in single precision and scaled by a double power of ten, and a literal
// whose digits these sums cannot hold is read exactly and rounded to the nearest float. A
// value beyond the float range is a fault of the data (SceneFile::lexicalError): 0 with
// kNumberOutOfRangeMessage at the line where the literal begins, which stands whatever its
// reader says after. A value too small for a float rounds towards zero, down to 0.
int ParseNumber(SceneFile& file, float& value);

// On the innermost file.
bool TokenEquals(SceneParser& parser, const char* text);
void SetParseError(SceneParser& parser, const char* message);
// One raw read, then comment skipping; result 1.
int ReadRawToken(SceneParser& parser);
// Comment skipping: 1, or 0 when a comment is not closed where expected.
int NextToken(SceneParser& parser);
// When the token equals `text`: a raw read, comment skipping, 1. Else `text` + " expected", 0.
int ExpectToken(SceneParser& parser, const char* text);

}  // namespace veskor
