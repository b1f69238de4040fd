// The top level of a world file: the `include` and `version` directives (written after a
// "#") and the hand-over of every top-level block to its parser (scene_blocks.h). The compile
// session runs it on the root file; an include runs it again on the included file.
#pragma once

#include <cstdint>

#include "language/parse_store.h"
#include "language/scene_parser.h"

namespace veskor {

// Reads the innermost file, and the files it includes, to the end. 1 when the data is
// exhausted without error; 0 at the first error, whose located text is left in the innermost
// open file (its messageHead is "Syntax error").
int ParseSceneDirectives(SceneParser& parser, ParseStore& store);

// Reads a quoted version string such as "1.10.3" into at most `capacity` numbers (one per
// group of digits; an empty group is 0) and their count. 1, or 0 with "Version string
// expected" or "Too many version numbers" at the line where the string began.
int ParseVersionLine(SceneParser& parser, std::uint32_t* numbers, std::uint32_t& count,
                     std::uint32_t capacity);

}  // namespace veskor
