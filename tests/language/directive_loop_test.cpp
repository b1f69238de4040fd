#include "language/directive_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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

// The name whose open runs out of descriptors, and the open that does so: the limit is lowered
// to the descriptors open just before that open, so that it holds whatever else is open.
const char* gLimitedName = "";
int LimitedOpen(const char* path, int flags, mode_t mode) {
  if (std::strstr(path, gLimitedName) != nullptr) {
    int lowest = 0;
    while (fcntl(lowest, F_GETFD) >= 0) ++lowest;
    const rlimit limit{static_cast<rlim_t>(lowest), static_cast<rlim_t>(lowest)};
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  return open(path, flags, mode);
}

// An include, a layer's image or a sample that is there but does not open is said with the
// system's reason or what it is, not as missing: a FIFO in its place, or a file that the
// process has no descriptor left for (in a forked child, which tells by its status whether the
// message was the one expected).
TEST(DirectiveLoop, AFileThatIsThereButDoesNotOpenIsSaidWithTheReason) {
  WorldDir dir;
  for (const char* name : {"fifo.wld", "fifo.png", "fifo.wav"})
    ASSERT_EQ(mkfifo(dir.Path(name).c_str(), 0600), 0);
  for (const char* name : {"part.wld", "img.png", "a.wav"}) dir.Write(name, "");
  const std::string fifo = ": it is a FIFO, not a regular file";
  const std::string none = ": Too many open files";
  const std::string layer = "HeightField h { BBox { [0 0 0] [1 1 1] }\n Layer { name(\"";
  const struct {
    std::string text;
    const char* limitedAt;  // the name whose open runs out of descriptors, or null
    std::string status;
  } cases[] = {
      {"\n#include \"fifo.wld\"", nullptr,
       "Syntax error file (fifo.wld) line (2) : Cannot open file \"fifo.wld\"" + fifo},
      {"\n#include \"part.wld\"", "part.wld",
       "Syntax error file (part.wld) line (2) : Cannot open file \"part.wld\"" + none},
      {layer + "fifo.png\") } }", nullptr,
       "Syntax error file (w.wld) line (2) : Cannot open file \"fifo.png\"" + fifo},
      {layer + "img.png\") } }", "img.png",
       "Syntax error file (w.wld) line (2) : Cannot open file \"img.png\"" + none},
      {"Sound {\n Sample { name(\"fifo.wav\") } }", nullptr,
       "Syntax error file (w.wld) line (2) : Cannot open file \"fifo.wav\"" + fifo},
      {"Sound {\n Sample { name(\"a.wav\") } }", "a.wav",
       "Syntax error file (w.wld) line (2) : Cannot open file \"a.wav\"" + none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string world = dir.Write("w.wld", c.text);
    if (c.limitedAt == nullptr) {
      EXPECT_EQ(RunCompileSession(world).status, c.status);
      continue;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      gLimitedName = c.limitedAt;
      SetFileOpenCall(LimitedOpen);
      const std::string status = RunCompileSession(world).status;
      if (status != c.status) std::fprintf(stderr, "the status: %s\n", status.c_str());
      _exit(status == c.status ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

}  // namespace
}  // namespace veskor
