#include "compile_driver.h"

#include <cstring>

#include "foundation/search_dirs.h"
#include "language/fx_keywords.h"
#include "language/scene_parser.h"
#include "language/world_compile.h"

namespace veskor::test {
namespace {

CompileOutcome* gOutcome = nullptr;

void ShowStatusLine(const char* text, int mode) {
  if (mode == 0) {
    gOutcome->log.emplace_back(text);
  } else {
    gOutcome->status = text;
  }
}

}  // namespace

CompileOutcome RunCompileSession(const std::string& worldPath) {
  CompileOutcome outcome{0, {}, {}};
  gOutcome = &outcome;
  SceneParser& parser = gSceneParser;
  ShowStatusLine("> begin 'parse' session", 0);
  InitFxKeywords();
  parser.depth = 0;
  parser.objectCount = 0;
  parser.logContext = nullptr;
  parser.logCallback = nullptr;

  // The command line: quotes dropped, split after the last separator (which stays with the
  // directory, so that a file in "/" keeps its directory).
  std::string path = worldPath;
  if (!path.empty() && path[0] == '"') path.erase(0, 1);
  path = path.substr(0, path.find('"'));
  const std::size_t split = path.find_last_of("/\\") + 1;  // 0 without a separator
  const std::string directory = path.substr(0, split);
  const std::string name = path.substr(split);
  ExtraSearchDirsClear();
  parser.depth = 1;
  parser.objectCount = 0;
  parser.logCallback = ShowStatusLine;
  const int opened = SceneParserOpenRoot(parser, directory.c_str(), name.c_str(), kWorldFileSetup);
  std::strcpy(parser.currentDirectory, parser.files[0].directory);  // 512 into 512
  ShowStatusLine(("      parse file <\\%" + name + ">").c_str(), 0);
  if (!opened) {
    ShowStatusLine("can not open file", 1);
    CloseSceneFiles(parser);
    gOutcome = nullptr;
    return outcome;
  }
  ExtraSearchDirsAdd(parser.currentDirectory);
  char failure[kWorldCompileFailureBytes];
  if (CompileOpenedWorld(parser, {ShowStatusLine, nullptr, nullptr}, failure) == 0) {
    ShowStatusLine(failure, 1);
    CloseSceneFiles(parser);
    gOutcome = nullptr;
    return outcome;
  }
  CloseSceneFiles(parser);
  outcome.result = 1;
  gOutcome = nullptr;
  return outcome;
}

}  // namespace veskor::test
