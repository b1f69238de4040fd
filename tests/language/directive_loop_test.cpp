#include "language/directive_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"
#include "platform/file_open.h"
#include "support/no_descriptor_left.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::RunCompileSession;
using test::WorldDir;

// Every world at the top of the test data says on its first line what parsing it gives:
// "// expect: ok" or "// expect: " and the status text.
TEST(DirectiveLoop, DataWorldsParseOrStopWithTheirLocatedMessage) {
  std::vector<std::filesystem::path> worlds;
  for (const auto& entry : std::filesystem::directory_iterator(VESKOR_LANGUAGE_DATA))
    if (entry.path().extension() == ".wld") worlds.push_back(entry.path());
  std::sort(worlds.begin(), worlds.end());
  ASSERT_GE(worlds.size(), 15u);
  for (const auto& world : worlds) {
    std::ifstream in(world);
    std::string first;
    std::getline(in, first);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    const std::string prefix = "// expect: ";
    ASSERT_EQ(first.rfind(prefix, 0), 0u) << world;
    const std::string expected = first.substr(prefix.size());
    const auto outcome = RunCompileSession(world.string());
    EXPECT_EQ(outcome.result, expected == "ok" ? 1 : 0) << world;
    EXPECT_EQ(outcome.status, expected == "ok" ? "" : expected) << world;
    EXPECT_EQ(gSceneParser.depth, 0u);
  }
}

TEST(DirectiveLoop, BlockKeywordsInTableOrder) {
  WorldDir dir;
  EXPECT_EQ(RunCompileSession(dir.Write("empty.wld", "")).result, 1);
  const char* keywords[] = {"Surface", "Model",   "HeightField", "Composition", "Environment",
                            "Camera",  "Examine", "Planet",      "Sound",       "Info",
                            "LOD",     "Focus",   "Object"};
  ASSERT_EQ(std::size(keywords), kSceneBlockCount);
  for (std::uint32_t i = 0; i < kSceneBlockCount; ++i) EXPECT_STREQ(kSceneBlocks[i].keyword, keywords[i]);
}

TEST(DirectiveLoop, VersionStringsStoreOneNumberPerGroup) {
  WorldDir dir;
  const struct {
    const char* text;
    std::vector<std::uint32_t> numbers;  // empty with `ok` false: refused
    bool ok;
  } cases[] = {
      {"1.0.2", {1, 0, 2}, true},
      {"", {}, true},
      {".5", {0, 5}, true},
      {"1.", {1}, true},
      {"1..2", {1, 0, 2}, true},
      {".", {0}, true},
      {"4294967295", {4294967295u}, true},
      {"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       true},
      {"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       true},
      {"1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.0", {}, false},
      {"4294967296", {}, false},
      {"1.a", {}, false},
      {"-1", {}, false},
  };
  for (const auto& c : cases) {
    const auto outcome =
        RunCompileSession(dir.Write("v.wld", std::string("#version \"") + c.text + "\""));
    EXPECT_EQ(outcome.result, c.ok ? 1 : 0) << c.text;
    if (!c.ok) continue;
    const World& w = gWorld;
    EXPECT_EQ(std::vector<std::uint32_t>(w.versionNumbers, w.versionNumbers + w.versionCount),
              c.numbers)
        << c.text;
  }
  EXPECT_EQ(RunCompileSession(dir.Write("v.wld", "#version 1")).status,
            "Syntax error file (v.wld) line (1) : Version string expected");
  EXPECT_EQ(RunCompileSession(dir.Write("v.wld", "#version \"1\" x")).status,
            "Syntax error file (v.wld) line (1) : Scene component expected");
}

TEST(DirectiveLoop, IncludesAreBoundedInDepthAndPath) {
  WorldDir dir;
  // A chain of files each including the next: 32 open at once are allowed, not 33.
  for (int n : {32, 33}) {
    for (int i = 0; i < n; ++i) {
      const std::string next = i + 1 < n ? "#include \"n" + std::to_string(i + 1) + ".wld\"" : "";
      dir.Write("n" + std::to_string(i) + ".wld", "\n" + next);
    }
    const auto outcome = RunCompileSession(dir.path() + "n0.wld");
    EXPECT_EQ(outcome.status,
              n == 32 ? "" : "Syntax error file (n31.wld) line (2) : Too many nested includes");
    EXPECT_EQ(outcome.log.size(), n == 32 ? 36u : 33u);
  }
  // A file including itself is refused at once, before a second copy opens.
  const auto self = RunCompileSession(dir.Write("s.wld", "#include \"S.wld\""));
  EXPECT_EQ(self.status, "Syntax error file (s.wld) line (1) : Recursive include \"S.wld\"");
  EXPECT_EQ(self.log.size(), 2u);
  const std::string longest(kScenePathBytes - 1, 'p');
  const struct {
    std::string path;
    std::string status;
  } cases[] = {
      // The place names the file that does not open: the text is cut in its name.
      {longest, "Syntax error file (" + std::string(kSceneMessageBytes - 8, 'p')},
      {longest + "p", "Syntax error file (w.wld) line (1) : Path too long"},
      {std::string(kStringRecordBytes, 'q'),
       "Syntax error file (w.wld) line (1) : String too long"},
  };
  for (const auto& c : cases) {
    const auto outcome = RunCompileSession(dir.Write("w.wld", "#include \"" + c.path + "\""));
    EXPECT_EQ(outcome.status.substr(0, c.status.size()), c.status) << c.path.size();
  }
}

// In place of open(2): the open of a name that holds gLimitedName finds no descriptor left.
const char* gLimitedName = "";
int LimitedOpen(const char* path, int flags, mode_t mode) {
  if (std::strstr(path, gLimitedName) == nullptr) return open(path, flags, mode);
  const test::NoDescriptorLeft limited;
  return open(path, flags, mode);
}

// An include, a layer's image or a sample that is there but does not open is said with what it
// is or the system's reason, not as missing: a FIFO in its place, or a file that the process
// has no descriptor left for.
TEST(DirectiveLoop, AFileThatIsThereButDoesNotOpenIsSaidWithTheReason) {
  WorldDir dir;
  const struct {
    std::string before, after;  // the world's text around the file's name
    const char *fifo, *file;    // a FIFO, and a file that finds no descriptor left
  } uses[] = {{"\n#include \"", "\"", "fifo.wld", "part.wld"},
              {"HeightField h { BBox { [0 0 0] [1 1 1] }\n Layer { name(\"", "\") } }", "fifo.png",
               "img.png"},
              {"Sound {\n Sample { name(\"", "\") } }", "fifo.wav", "a.wav"}};
  for (const auto& use : uses) {
    SCOPED_TRACE(use.file);
    ASSERT_EQ(mkfifo(dir.Path(use.fifo).c_str(), 0600), 0);
    dir.Write(use.file, "");
    const auto status = [&use](const std::string& name, const std::string& reason) {
      return "Syntax error file (" + (use.after == "\"" ? name : "w.wld") +
             ") line (2) : Cannot open file \"" + name + "\": " + reason;
    };
    EXPECT_EQ(RunCompileSession(dir.Write("w.wld", use.before + use.fifo + use.after)).status,
              status(use.fifo, "it is a FIFO, not a regular file"));
    gLimitedName = use.file;
    const FileOpenCall real = SetFileOpenCall(LimitedOpen);
    EXPECT_EQ(RunCompileSession(dir.Write("w.wld", use.before + use.file + use.after)).status,
              status(use.file, "Too many open files"));
    SetFileOpenCall(real);
  }
}

}  // namespace
}  // namespace veskor
