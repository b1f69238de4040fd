#include "world_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace veskor::test {

namespace fs = std::filesystem;

WorldDir::WorldDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/veskor_world_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp " << pattern;
  path_ = pattern + "/";
}

WorldDir::~WorldDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string WorldDir::Write(const std::string& relative, const std::string& text) const {
  const std::string full = path_ + relative;
  fs::create_directories(fs::path(full).parent_path());
  std::ofstream(full, std::ios::binary) << text;
  return full;
}

SceneFile& OpenText(const WorldDir& dir, const std::string& text) {
  CloseSceneFiles(gSceneParser);
  dir.Write("world.wld", text);
  gSceneParser.depth = 1;
  EXPECT_EQ(SceneParserOpenRoot(gSceneParser, dir.path().c_str(), "world.wld", kWorldFileSetup), 1);
  return gSceneParser.files[0];
}

}  // namespace veskor::test
