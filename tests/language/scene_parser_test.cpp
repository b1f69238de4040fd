#include "language/scene_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "foundation/heap_areas.h"
#include "foundation/search_dirs.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::RunCompileSession;
using test::WorldDir;

TEST(SceneParser, SplitPathCutsAtTheLastSeparator) {
  const std::string longestDirectory = std::string(kSceneDirectoryBytes - 2, 'd') + "/";
  const struct {
    std::string path;
    bool ok;
    std::string directory;
    const char* name;
    PathForm form = PathForm::kWritten;
  } cases[] = {
      {"a.wld", true, "", "a.wld"},
      {"sub\\a.wld", true, "sub/", "a.wld"},
      {"\\x\\y/a.wld", true, "/x/y/", "a.wld"},
      {"\"d\\a b.wld\" rest", true, "d/", "a b.wld"},
      {"dir\\", true, "dir/", ""},
      {std::string(kScenePathBytes - 1, 'n'), true, "", nullptr},
      {std::string(kScenePathBytes, 'n'), false, "", ""},
      {longestDirectory + "a", true, longestDirectory, "a"},
      {"d" + longestDirectory + "a", false, "", ""},
      // As the file system takes it: quotes and '\' are a name's own.
      {"\"q\"x\\y/a\\b \"c\".wld", true, "\"q\"x\\y/", "a\\b \"c\".wld", PathForm::kGiven},
      {"sub\\a.wld", true, "", "sub\\a.wld", PathForm::kGiven},
      {"d" + longestDirectory + "a", false, "", "", PathForm::kGiven},
  };
  for (const auto& c : cases) {
    char directory[kSceneDirectoryBytes];
    char name[kScenePathBytes];
    EXPECT_EQ(SplitPath(c.path.c_str(), directory, name, c.form), c.ok) << c.path;
    EXPECT_EQ(std::string(directory), c.directory);
    EXPECT_EQ(std::string(name), c.name != nullptr ? c.name : c.path);
  }
}

TEST(SceneParser, IncludesLogTheirLinesAndAddTheirDirectoriesOnce) {
  const std::string data = VESKOR_LANGUAGE_DATA;
  for (int run = 0; run < 2; ++run) {
    const std::uint32_t inUse = HeapAreasBytesInUse();
    const auto outcome = RunCompileSession("\"" + data + "includes.wld\" ignored");
    ASSERT_EQ(outcome.result, 1) << outcome.status;
    const std::vector<std::string> log = {"> begin 'parse' session",
                                          "      parse file <\\%includes.wld>",
                                          "      parse file <\\%Worlds\\Nested.WLD>",
                                          "      parse file <\\%Deeper\\end.wld>",
                                          "      parse file <\\%\\worlds\\nested.wld>",
                                          "      parse file <\\%Deeper\\end.wld>",
                                          "      parse file <\\%worlds/deeper/END.wld>",
                                          "> end 'parse' session",
                                          "> begin 'compile' session",
                                          "> end 'compile' session"};
    EXPECT_EQ(outcome.log, log);
    ASSERT_EQ(ExtraSearchDirs.count, 3u);
    EXPECT_EQ(std::string(ExtraSearchDirs.dirs[0]), data);
    EXPECT_EQ(std::string(ExtraSearchDirs.dirs[1]), data + "worlds/");
    EXPECT_EQ(std::string(ExtraSearchDirs.dirs[2]), data + "worlds/deeper/");
    for (const SceneFile& file : gSceneParser.files) {
      EXPECT_EQ(file.closed, 1u);
      EXPECT_EQ(file.stream, nullptr);
    }
    EXPECT_STREQ(gSceneParser.currentDirectory, "");
    // Every ring given back (the first run may commit a page of the parked-block list).
    if (run == 1) {
      EXPECT_EQ(HeapAreasBytesInUse(), inUse);
    }
  }
}

TEST(SceneParser, RootFilesOpenFromTheCommandLineOrTheDialog) {
  WorldDir dir;
  dir.Write("w.wld", "#version \"7\"");
  const auto missing = RunCompileSession(dir.path() + "none.wld");
  EXPECT_EQ(missing.status, "can not open file");
  EXPECT_EQ(missing.log.back(), "      parse file <\\%none.wld>");
  EXPECT_EQ(RunCompileSession(dir.path()).status, "can not open file");  // a directory
  EXPECT_EQ(RunCompileSession(dir.path() + "W.WLD").result, 1);

  std::vector<std::string> lines;
  static std::vector<std::string>* sink;
  sink = &lines;
  ExtraSearchDirsAdd("/stale/");
  ASSERT_EQ(OpenSceneFile(gSceneParser, dir.path().c_str(), "w.wld",
                          [](const char* text, int) { sink->push_back(text); }),
            1);
  EXPECT_EQ(ExtraSearchDirs.count, 0u);
  EXPECT_EQ(std::string(gSceneParser.currentDirectory), dir.path());
  EXPECT_EQ(lines, std::vector<std::string>{"      parse file <\\%w.wld>"});
  // The record is open: a second open into it fails.
  EXPECT_EQ(SceneParserOpenRoot(gSceneParser, dir.path().c_str(), "w.wld", kWorldFileSetup), 0);
  CloseSceneFiles(gSceneParser);
  EXPECT_EQ(OpenSceneFile(gSceneParser, dir.path().c_str(), "none.wld", nullptr), 0);
  EXPECT_EQ(std::string(gSceneParser.currentDirectory), dir.path());
  CloseSceneFiles(gSceneParser);
  // A name that is there as given opens as given, its quotes and '\' its own, in a directory of
  // up to 511 bytes; one that is not is read as written, each part found ignoring case.
  const std::string quoted = dir.path() + "q\"x\\/", d100(100, 'd'), D100(100, 'D'),
                    deep = dir.path() + d100 + "/" + d100 + "/" + d100 + "/";
  dir.Write(quoted.substr(dir.path().size()) + "a\"b\\c.wld", "#version \"7\"");
  dir.Write(deep.substr(dir.path().size()) + "w.wld", "#version \"7\"");
  std::string deepest = deep;  // 511 bytes, in names of 100 at most
  while (deepest.size() < 510)
    deepest += std::string(std::min(100ul, 510 - deepest.size()), 'e') + "/";
  std::filesystem::create_directories(deepest);
  std::filesystem::copy_file(deep + "w.wld", deepest + "w.wld");
  const struct {
    std::string directory, name, opened;  // "": not opened
  } roots[] = {
      {quoted, "a\"b\\c.wld", quoted + "a\"b\\c.wld"},
      {quoted, "\"a\"b\\c.wld", ""},
      {dir.path(), "Q\"X\\/a\"b\\c.wld", ""},
      {dir.path(), "\"" + D100 + "\\" + D100 + "\\" + D100 + "\\W.wld\"", deep + "w.wld"},
      {deepest, "w.wld", deepest + "w.wld"},
      {deepest + "e/", "w.wld", ""}};
  for (const auto& root : roots) {
    SCOPED_TRACE(root.directory + root.name);
    gSceneParser.depth = 1;
    EXPECT_EQ(SceneParserOpenRoot(gSceneParser, root.directory.c_str(), root.name.c_str(),
                                  kWorldFileSetup),
              root.opened.empty() ? 0 : 1);
    if (!root.opened.empty()) {
      EXPECT_EQ(std::string(gSceneParser.files[0].directory) + gSceneParser.files[0].fileName,
                root.opened);
    }
    CloseSceneFiles(gSceneParser);
  }
}

TEST(SceneParser, AFullSearchDirectoryTableRefusesTheInclude) {
  WorldDir dir;
  std::string root;
  // The root's directory and 66 more fit the table; the 67th included directory does not.
  for (std::uint32_t i = 0; i < kExtraSearchDirCapacity; ++i) {
    dir.Write("d" + std::to_string(i) + "/a.wld", "");
    root += "#include \"d" + std::to_string(i) + "/a.wld\"\n";
  }
  const auto outcome = RunCompileSession(dir.Write("root.wld", root));
  EXPECT_EQ(outcome.status,
            "Syntax error file (root.wld) line (67) : Too many include directories");
  EXPECT_EQ(ExtraSearchDirs.count, kExtraSearchDirCapacity);
}

}  // namespace
}  // namespace veskor
