#include "language/value_readers.h"

#include <cstdio>
#include <cstring>

#include "language/lexer.h"

namespace veskor {
namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

// The message placed from `line` to the current line.
void SetErrorFromLine(SceneFile& file, const char* message, std::uint32_t line) {
  file.tokenLine = line;
  SetErrorLocation(file, message);
}

// The numbers of a bracketed list, the "[" passed, up to the "]" (not passed) or the end of
// the data. A comma between numbers is passed. With `value` given, the raster and grid slots
// of every number read are cleared; with `lines` given, each number's line goes to its slot.
int ReadNumberList(SceneFile& file, float* numbers, std::uint16_t& count, ValueRecord* value,
                   std::uint32_t* lines = nullptr) {
  count = 0;
  if (Is(file.token, "]")) return 1;
  if (lines != nullptr) lines[0] = file.currentTokenLine;
  if (!ParseNumber(file, numbers[0])) {
    SetErrorLocation(file, "Float expected");
    return 0;
  }
  for (;;) {
    if (value != nullptr && count < kFxMaxRasterComponents) {
      value->maps[count] = nullptr;
      value->grids[count] = nullptr;
    }
    ++count;
    if (SceneDataEnded(file) || Is(file.token, "]")) return 1;
    if (Is(file.token, ",")) {
      LexRawToken(file);
      SkipComments(file);
    }
    if (count == kFxMaxComponents) {
      SetErrorLocation(file, "Too many values");
      return 0;
    }
    if (lines != nullptr) lines[count] = file.currentTokenLine;
    if (!ParseNumber(file, numbers[count])) {
      SetErrorLocation(file, "Float expected");
      return 0;
    }
  }
}

// A quoted string's text, the opening quote passed: copied into `record` (at most 511
// characters) and passed, up to the closing quote. 0 with "String too long".
int ReadStringText(SceneFile& file, StringRecord& record, std::uint32_t startLine) {
  record.length = 0;
  record.text[0] = '\0';
  if (Is(file.token, "\"")) return 1;
  const std::size_t length = std::strlen(file.token);
  if (length >= kStringRecordBytes) {
    SetErrorAtLine(file, "String too long", startLine);
    return 0;
  }
  std::memcpy(record.text, file.token, length + 1);
  record.length = static_cast<std::uint32_t>(length);
  LexRawToken(file);
  return 1;
}

// The message of value `index` placed at its line (lines[index]) when one is known, else at
// the current place.
void SetValueError(SceneParser& parser, const char* message, const std::uint32_t* lines,
                   std::uint32_t index) {
  if (lines != nullptr && lines[index] != 0) {
    SetErrorAtLine(InnermostFile(parser), message, lines[index]);
  } else {
    SetParseError(parser, message);
  }
}

int ExpectOpenParenthesis(SceneParser& parser) { return ExpectMark(parser, "("); }
int ExpectCloseParenthesis(SceneParser& parser) { return ExpectMark(parser, ")"); }

}  // namespace

int ExpectMark(SceneParser& parser, const char* mark) {
  SceneFile& file = InnermostFile(parser);
  if (!Is(file.token, mark)) {
    char message[32];
    std::snprintf(message, sizeof message, "'%s' expected", mark);
    SetErrorLocation(file, message);
    return 0;
  }
  ReadRawToken(parser);
  return 1;
}

int ReadFloat(SceneParser& parser, ValueRecord& value) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t startLine = file.tokenLine;
  value.refCount = value.useCount = value.kind = 0;
  if (!Is(file.token, "[")) {
    value.count = 1;
    value.maps[0] = nullptr;
    value.grids[0] = nullptr;
    if (!ParseNumber(file, value.floats[0])) {
      SetErrorAtLine(file, "Float expected", startLine);
      return 0;
    }
    SkipComments(file);
    return 1;
  }
  ReadRawToken(parser);
  if (!ReadNumberList(file, value.floats, value.count, &value)) return 0;
  if (!Is(file.token, "]")) {
    SetExpectedError(file, "]");
    return 0;
  }
  ReadRawToken(parser);
  return 1;
}

int ReadString(SceneParser& parser, StringRecord& record) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t startLine = file.tokenLine;
  record.length = 0;
  record.text[0] = '\0';
  if (!Is(file.token, "\"")) {
    SetErrorAtLine(file, "String expected", startLine);
    return 0;
  }
  LexRawToken(file);
  if (!ReadStringText(file, record, startLine)) return 0;
  if (!Is(file.token, "\"")) {
    SetErrorAtLine(file, "String expected", startLine);
    return 0;
  }
  LexRawToken(file);
  SkipComments(file);
  return 1;
}

int ReadFloatArgument(SceneParser& parser, float* out, const std::uint16_t* limits,
                      std::uint32_t itemCount, std::uint32_t* lines) {
  if (!ExpectOpenParenthesis(parser)) return 0;
  SceneFile& file = InnermostFile(parser);
  for (std::uint32_t i = 0; i < itemCount; ++i) {
    const std::uint32_t startLine = file.tokenLine;
    float numbers[kFxMaxComponents];
    std::uint32_t numberLines[kFxMaxComponents];
    std::uint16_t count = 0;
    bool ok;
    if (Is(file.token, "[")) {
      ok = ExpectToken(parser, "[") && ReadNumberList(file, numbers, count, nullptr, numberLines) &&
           ExpectToken(parser, "]");
    } else {
      numberLines[0] = file.currentTokenLine;
      ok = ParseNumber(file, numbers[0]) != 0;
      if (ok) {
        count = 1;
        NextToken(parser);
      }
    }
    if (!ok) {
      SetErrorFromLine(file, "float constant expected", startLine);
      return 0;
    }
    if (out != nullptr && limits != nullptr) {
      const std::uint32_t n = count < limits[i] ? count : limits[i];
      std::memcpy(out, numbers, n * sizeof(float));
      out += limits[i];
      if (lines != nullptr) {
        std::memcpy(lines, numberLines, n * sizeof(std::uint32_t));
        lines += limits[i];
      }
    }
  }
  return ExpectCloseParenthesis(parser);
}

int ReadStringArgument(SceneParser& parser, StringRecord* records, std::uint32_t count) {
  if (!ExpectOpenParenthesis(parser)) return 0;
  SceneFile& file = InnermostFile(parser);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t startLine = file.tokenLine;
    if (!AcceptToken(file, "\"")) {
      SetErrorFromLine(file, "string constant expected", startLine);
      return 0;
    }
    if (!ReadStringText(file, records[i], startLine)) return 0;
    if (!AcceptToken(file, "\"")) {
      SetErrorFromLine(file, "string constant expected", startLine);
      return 0;
    }
    NextToken(parser);
  }
  return ExpectCloseParenthesis(parser);
}

int CheckMinimum(SceneParser& parser, const float* values, std::uint32_t count, float minimum,
                 const std::uint32_t* lines) {
  if (values == nullptr) return 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!(values[i] >= minimum)) {
      char message[kSceneComposeBytes];
      std::snprintf(message, sizeof message, "value must be >= %.1f", static_cast<double>(minimum));
      SetValueError(parser, message, lines, i);
      return 0;
    }
  }
  return 1;
}

int CheckRange(SceneParser& parser, const float* values, std::uint32_t count, float minimum,
               float maximum, const std::uint32_t* lines) {
  if (values == nullptr) return 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!(values[i] >= minimum && values[i] <= maximum)) {
      char message[kSceneComposeBytes];
      std::snprintf(message, sizeof message, "value must be in [%.1f,%.1f]",
                    static_cast<double>(minimum), static_cast<double>(maximum));
      SetValueError(parser, message, lines, i);
      return 0;
    }
  }
  return 1;
}

}  // namespace veskor
