// The open-file dialog: answered from the environment in headless runs, else by the zenity
// found along PATH, here a script of the test's that records its arguments, prints what it is
// told and exits with the code it is told.
#include "platform/file_dialog.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

// Set, the next pipe2 of the process frees descriptor 0 once it has made its pipe, as another
// thread of the run that closes a descriptor of its own may do just then.
std::atomic<bool> gFreeDescriptor0AtTheNextPipe{false};

extern "C" int pipe2(int fds[2], int flags) {
  static const auto real = reinterpret_cast<int (*)(int*, int)>(dlsym(RTLD_NEXT, "pipe2"));
  const int made = real(fds, flags);
  if (gFreeDescriptor0AtTheNextPipe.exchange(false)) close(0);
  return made;
}

namespace veskor {
namespace {

using test::ScopedEnv;

const OpenFileRequest kRequest = {"Open Korvane world", "Korvane world | *.wld *.vsk",
                                  "/start dir;$HOME/"};

TEST(FileDialog, HeadlessRunsAnswerWithTheScriptedPath) {
  ScopedEnv headless("VESKOR_MESSAGES", "-");
  struct Case {
    const char* answer;  // null: unset
    std::size_t bytes;
    std::uint32_t result;
    const char* path;
  };
  const Case cases[] = {{"/w/a.wld", 64, 1, "/w/a.wld"}, {nullptr, 64, 0, ""},
                        {"", 64, 0, ""},                 {"/w/a.wld", 9, 1, "/w/a.wld"},
                        {"/w/a.wld", 8, 0, ""}};
  for (const Case& c : cases) {
    ScopedEnv answer("VESKOR_OPEN_FILE", c.answer);
    char path[64] = "old";
    EXPECT_EQ(RunOpenFileDialog(kRequest, path, c.bytes), c.result) << c.bytes;
    EXPECT_STREQ(path, c.path) << c.bytes;
  }
}

TEST(FileDialog, RunsZenityWithItsArgumentsAndReadsTheChoice) {
  test::TempDir dir("veskor_dialog");
  const std::string zenity = dir.Write(
      "zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nprintf \"$OUT\"\nexit $CODE\n");
  ASSERT_EQ(chmod(zenity.c_str(), 0755), 0);
  ScopedEnv interactive("VESKOR_MESSAGES", nullptr);
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  struct Case {
    const char* display;
    const char* path;  // PATH
    const char* out;
    const char* code;
    std::size_t bytes;
    std::uint32_t result;
    const char* chosen;
    bool started;
  };
  const std::string here = dir.path(), nowhere = dir.Path("none");
  const Case cases[] = {
      {":7", here.c_str(), "/d/w.wld\\n", "0", 64, 1, "/d/w.wld", true},
      {":7", here.c_str(), "/d/w.wld", "0", 9, 1, "/d/w.wld", true},
      {":7", here.c_str(), "/d/w.wld\\n", "0", 8, 0, "", true},  // does not fit
      {":7", here.c_str(), "/d/w.wld\\n", "1", 64, 0, "", true},  // cancelled
      {":7", here.c_str(), "/d/w.wld\\n", "5", 64, 0, "", true},  // failed
      {":7", here.c_str(), "", "0", 64, 0, "", true},
      {nullptr, here.c_str(), "/d/w.wld\\n", "0", 64, 0, "", false},
      {":7", nowhere.c_str(), "/d/w.wld\\n", "0", 64, 0, "", false},
  };
  for (const Case& c : cases) {
    std::remove((zenity + ".args").c_str());
    ScopedEnv display("DISPLAY", c.display), path("PATH", c.path), out("OUT", c.out),
        code("CODE", c.code);
    char chosen[64] = "old";
    const std::string where = std::string(c.out) + " exit " + c.code;
    EXPECT_EQ(RunOpenFileDialog(kRequest, chosen, c.bytes), c.result) << where;
    EXPECT_STREQ(chosen, c.chosen) << where;
    const std::string args = test::ReadFileText(zenity + ".args");
    EXPECT_EQ(!args.empty(), c.started) << where;
    // One argument each, as given: no shell split or expanded them.
    if (c.started) {
      EXPECT_EQ(args,
                "--file-selection\n--title=Open Korvane world\n"
                "--file-filter=Korvane world | *.wld *.vsk\n--filename=/start dir;$HOME/\n");
    }
  }
  // Descriptor 0 freed while the dialog starts: the choice comes through it, and it is read
  // and closed once the dialog has ended, as any other descriptor of the dialog's. (The wait's
  // check lets the dialog end first.)
  ScopedEnv display("DISPLAY", ":7"), path("PATH", here.c_str()), out("OUT", "/d/w.wld\\n"),
      code("CODE", "0");
  const int saved = dup(0);  // -1 when the tests run without a standard input
  const int null = open("/dev/null", O_RDONLY);
  ASSERT_EQ(dup2(null, 0), 0);
  if (null != 0) close(null);
  gFreeDescriptor0AtTheNextPipe = true;
  SetChildWaitCheck([] {
    siginfo_t ended{};
    waitid(P_ALL, 0, &ended, WEXITED | WNOWAIT);
    return false;
  });
  char chosen[64] = "old";
  EXPECT_EQ(RunOpenFileDialog(kRequest, chosen, sizeof chosen), 1u);
  SetChildWaitCheck(nullptr);
  EXPECT_STREQ(chosen, "/d/w.wld");
  EXPECT_FALSE(gFreeDescriptor0AtTheNextPipe);  // freed
  EXPECT_EQ(fcntl(0, F_GETFD), -1);
  if (saved >= 0) {
    dup2(saved, 0);
    close(saved);
  }
}

}  // namespace
}  // namespace veskor
