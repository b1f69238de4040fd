// The entry forms that the block parsers share: a keyword followed by its value in
// parentheses, a bounding box in braces, and the braces around a block. Each returns 1, or 0
// with the error text composed on the innermost file. Also the messages several blocks give.
#pragma once

#include <cstdint>
#include <string>

#include "language/scene_parser.h"

namespace veskor {

inline constexpr const char* kInvalidBoundingBoxMessage = "Invalid Bounding Box";
inline constexpr const char* kBoundingBoxExpectedMessage = "BBox expected";
inline constexpr const char* kCannotLocateFileMessage = "Cannot locate file";
inline constexpr const char* kTransformRequiredMessage = "Transform required";
inline constexpr const char* kZeroDirectionMessage = "direction must not be zero";

// The current token is empty and no data is left: the input has ended inside a block.
bool BlockInputEnded(const SceneFile& file);

// Composes `message` at the current token and returns 0.
int FailAt(SceneFile& file, const char* message);

// A file that an entry names (an image, a sound) could not be used: "Cannot locate file" at
// `line` when it is not there (`why` empty), else "Cannot open file "<name>": <why>" with the
// reason it did not open. Returns 0.
int FailForFile(SceneFile& file, const char* name, const std::string& why, std::uint32_t line);

// When the token is `brace` ("{" or "}"), passes it; else "'{' expected" or "'}' expected".
int ExpectBrace(SceneParser& parser, const char* brace);

// The opening of a named block: `syntaxError` placed as the block's error, the keyword passed,
// the name token copied into `name` (kSceneTokenBytes) and passed. *line is the keyword's line.
int BeginNamedBlock(SceneParser& parser, const char* keyword, const char* syntaxError, char* name,
                    std::uint32_t* line);

// Passes the keyword and reads "(" value ")" of up to `count` components (at most 16): the
// components given are written to `out` (when not null), the rest keep their contents.
// `given` (when not null) receives how many were written. `lines` (when not null) receives
// `count` lines for the range checks (value_readers.h): the line of each component given, the
// keyword's for the others.
int ReadEntryFloats(SceneParser& parser, float* out, std::uint32_t count,
                    std::uint32_t* given = nullptr, std::uint32_t* lines = nullptr);

// 1 when the three components of `v` are not all zero: their direction goes to `direction`,
// as it is, or scaled by the largest component when its squared length would overflow or
// underflow a float (DirectionFromVector), so that every later normalisation gives it.
// Else "direction must not be zero" at `line` (the entry's) and 0: the camera and the sun
// would put a default direction in its stead.
int CheckDirection(SceneParser& parser, const double* v, float* direction, std::uint32_t line);

// Passes the keyword and reads "(" string ")" into `out` (512 bytes, at most 511 characters).
int ReadEntryString(SceneParser& parser, char* out);

// Passes `BBox` and reads "{" min max "}", two values whose first three components are the
// corners (missing components 0), into `box` as (x0, y0, z0, x1, y1, z1). Unless min <= max on
// every axis: "Invalid Bounding Box" at the line of `BBox`.
int ReadBoundingBox(SceneParser& parser, float* box);

}  // namespace veskor
