// Helpers of the language tests: a fresh directory of world files, and a world text opened as
// the root file of the parser.
#pragma once

#include <string>

#include "language/scene_parser.h"
#include "support/temp_dir.h"

namespace veskor::test {

// A temporary directory of world files, removed with everything in it at the end of the scope.
class WorldDir : public TempDir {
 public:
  WorldDir() : TempDir("veskor_world") {}
  // Writes `text` to `relative` (directories made as needed); returns the full path.
  std::string Write(const std::string& relative, const std::string& text) const;
};

// Closes whatever gSceneParser holds, writes `text` as "world.wld" in `dir` and opens it as
// the root file. The record, with its first two tokens read.
SceneFile& OpenText(const WorldDir& dir, const std::string& text);

}  // namespace veskor::test
