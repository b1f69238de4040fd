// The value readers through which every block parser reads its entry values (a number or a
// bracketed list, a quoted string, the parenthesised argument forms) and the range checks
// that test them, with the messages every block shares.
#pragma once

#include <cstdint>

#include "language/scene_parser.h"
#include "mapengine/fx_frame.h"

namespace veskor {

// A value as ReadFloat returns it: laid out as the fx value it becomes when the fx language
// keeps it as a constant. A list holds at most kFxMaxComponents numbers; the raster and grid
// slots of the numbers read are cleared (the numbers past the eighth have none).
using ValueRecord = FxFrame;

inline constexpr std::uint32_t kStringRecordBytes = 512;  // at most 511 characters

struct StringRecord {
  std::uint32_t length;  // characters, without the terminator
  char text[kStringRecordBytes];
};
static_assert(sizeof(StringRecord) == 516, "string records lie 516 bytes apart");

// All take the parser first and return 1, or 0 after composing an error text on the innermost
// file.

// The punctuation mark `mark` (a parenthesis, a brace), passed; else "'mark' expected".
int ExpectMark(SceneParser& parser, const char* mark);
// A number, or "[" numbers "]" (commas between them optional).
int ReadFloat(SceneParser& parser, ValueRecord& value);
// A quoted string of at most 511 characters.
int ReadString(SceneParser& parser, StringRecord& record);
// "(" item { item } ")": each item a number or a bracketed list; item i fills limits[i] float
// slots of `out` (the components read, up to the limit; the rest keep their contents). With
// `out` or `limits` null the values are read and dropped. With `lines` given (laid out as
// `out`), the line on which each component read begins goes to its slot; the slots of the
// components not given keep their contents.
int ReadFloatArgument(SceneParser& parser, float* out, const std::uint16_t* limits,
                      std::uint32_t itemCount, std::uint32_t* lines = nullptr);
// "(" string { string } ")" into `count` records.
int ReadStringArgument(SceneParser& parser, StringRecord* records, std::uint32_t count);

// The checks place their message at the line of the first value that fails: lines[i] is the
// line of values[i] (as ReadFloatArgument and ReadEntryFloats give them). Without `lines`, or
// where a slot holds 0, the message takes the current place.
// Every value >= minimum (a NaN fails), else "value must be >= %.1f".
int CheckMinimum(SceneParser& parser, const float* values, std::uint32_t count, float minimum,
                 const std::uint32_t* lines);
// Every value in [minimum, maximum], else "value must be in [%.1f,%.1f]".
int CheckRange(SceneParser& parser, const float* values, std::uint32_t count, float minimum,
               float maximum, const std::uint32_t* lines);

}  // namespace veskor
