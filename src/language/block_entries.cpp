#include "language/block_entries.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "gfx/camera.h"
#include "language/lexer.h"
#include "language/value_readers.h"

namespace veskor {

bool BlockInputEnded(const SceneFile& file) {
  return file.token[0] == '\0' && SceneDataEnded(file);
}

int FailAt(SceneFile& file, const char* message) {
  SetErrorLocation(file, message);
  return 0;
}

int FailForFile(SceneFile& file, const char* name, const std::string& why, std::uint32_t line) {
  if (why.empty()) {
    SetErrorAtLine(file, kCannotLocateFileMessage, line);
  } else {
    const std::string message = std::string("Cannot open file \"") + name + "\": " + why;
    SetErrorAtLine(file, message.c_str(), line);
  }
  return 0;
}

int CheckDirection(SceneParser& parser, const double* v, float* direction, std::uint32_t line) {
  if (DirectionFromVector(v, direction)) return 1;
  SetErrorAtLine(InnermostFile(parser), kZeroDirectionMessage, line);
  return 0;
}

int ExpectBrace(SceneParser& parser, const char* brace) { return ExpectMark(parser, brace); }

int BeginNamedBlock(SceneParser& parser, const char* keyword, const char* syntaxError, char* name,
                    std::uint32_t* line) {
  SceneFile& file = InnermostFile(parser);
  SetErrorLocation(file, syntaxError);
  *line = file.tokenLine;
  if (!ExpectToken(parser, keyword)) return 0;
  std::memcpy(name, file.token, std::strlen(file.token) + 1);
  ReadRawToken(parser);
  return 1;
}

int ReadEntryFloats(SceneParser& parser, float* out, std::uint32_t count, std::uint32_t* given,
                    std::uint32_t* lines) {
  // A number literal never reads as NaN, so the slots still NaN afterwards were not given.
  float values[kFxMaxComponents];
  for (float& v : values) v = std::numeric_limits<float>::quiet_NaN();
  std::uint32_t valueLines[kFxMaxComponents];
  for (std::uint32_t& line : valueLines) line = InnermostFile(parser).currentTokenLine;
  const std::uint16_t limit = static_cast<std::uint16_t>(count);
  ReadRawToken(parser);
  if (!ReadFloatArgument(parser, values, &limit, 1, valueLines)) return 0;
  std::uint32_t n = 0;
  while (n < count && !std::isnan(values[n])) ++n;
  if (out != nullptr) std::memcpy(out, values, n * sizeof(float));
  if (given != nullptr) *given = n;
  if (lines != nullptr) std::memcpy(lines, valueLines, count * sizeof(std::uint32_t));
  return 1;
}

int ReadEntryString(SceneParser& parser, char* out) {
  StringRecord record;
  ReadRawToken(parser);
  if (!ReadStringArgument(parser, &record, 1)) return 0;
  std::memcpy(out, record.text, record.length + 1);
  return 1;
}

int ReadBoundingBox(SceneParser& parser, float* box) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  for (int corner = 0; corner < 2; ++corner) {
    ValueRecord value;
    if (!ReadFloat(parser, value)) return FailAt(file, "float constant expected");
    for (std::uint32_t c = 0; c < 3; ++c)
      box[3 * corner + c] = c < value.count ? value.floats[c] : 0.0f;
  }
  if (!ExpectBrace(parser, "}")) return 0;
  for (int axis = 0; axis < 3; ++axis) {
    if (!(box[axis] <= box[axis + 3])) {
      SetErrorAtLine(file, kInvalidBoundingBoxMessage, line);
      return 0;
    }
  }
  return 1;
}

}  // namespace veskor
