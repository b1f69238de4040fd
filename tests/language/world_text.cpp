#include "world_text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace veskor::test {

std::string WorldDir::Write(const std::string& relative, const std::string& text) const {
  std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
  return TempDir::Write(relative, text);
}

SceneFile& OpenText(const WorldDir& dir, const std::string& text) {
  CloseSceneFiles(gSceneParser);
  dir.Write("world.wld", text);
  gSceneParser.depth = 1;
  EXPECT_EQ(SceneParserOpenRoot(gSceneParser, dir.path().c_str(), "world.wld", kWorldFileSetup), 1);
  return gSceneParser.files[0];
}

}  // namespace veskor::test
