// Opening web pages: the headless record, and outside headless mode the opener found on the
// PATH and given the address as its one argument, with no shell between (a stand-in xdg-open
// that writes what it was given).
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/browser.h"
#include "support/message_capture.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

// An address no shell could pass unharmed.
constexpr const char* kAddress = "file:///tmp/a b/\"q\";echo $(x)'s|y.html";

// Outside headless mode, on a PATH of a directory of the test's own.
class BrowserTest : public testing::Test {
 protected:
  void SetUp() override {
    savedPath_ = getenv("PATH");
    setenv("PATH", dir_.path().c_str(), 1);
    unsetenv("VESKOR_MESSAGES");
  }
  void TearDown() override {
    setenv("PATH", savedPath_.c_str(), 1);
    setenv("VESKOR_MESSAGES", "-", 1);
  }
  // A program that writes its argument count and arguments to `out`.
  void Opener(const char* name) const {
    const std::string script = "#!/bin/sh\nprintf '%s:%s' \"$#\" \"$1\" > " + dir_.Path("out.tmp") +
                               " && /bin/mv " + dir_.Path("out.tmp") + " " + dir_.Path("out") + "\n";
    chmod(dir_.Write(name, script).c_str(), 0755);
  }
  std::string WaitForOutput() const {
    for (int i = 0; i < 500; ++i) {
      const std::string text = test::ReadFileText(dir_.Path("out"));
      if (!text.empty()) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }
  test::TempDir dir_{"veskor_browser"};
  std::string savedPath_;
};

TEST(Browser, HeadlessRunsRecordTheAddressAndStartNothing) {
  test::MessageCapture capture;
  EXPECT_EQ(OpenInBrowser(kAddress), 1u);
  EXPECT_EQ(capture.Text(), std::string("Web page [none] ") + kAddress + "\n");
  EXPECT_EQ(OpenInBrowser(nullptr), 0u);
}

TEST_F(BrowserTest, WithoutAnOpenerNothingStarts) {
  EXPECT_EQ(FindOnPath("xdg-open"), 0u);
  EXPECT_EQ(OpenInBrowser(kAddress), 0u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(StartDetached("no-such-program", kAddress), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veskor: cannot start no-such-program: No such file or directory\n");
}

TEST_F(BrowserTest, TheOpenerGetsTheAddressAsItsOneArgument) {
  Opener("xdg-open");
  EXPECT_EQ(FindOnPath("xdg-open"), 1u);
  EXPECT_EQ(OpenInBrowser(kAddress), 1u);
  EXPECT_EQ(WaitForOutput(), std::string("1:") + kAddress);
  std::remove(dir_.Path("out").c_str());
  // Our own start, which the platform falls back on.
  Opener("other-opener");
  EXPECT_EQ(StartDetached("other-opener", kAddress), 1u);
  EXPECT_EQ(WaitForOutput(), std::string("1:") + kAddress);
}

// As a user of the test's own (no other test's processes count against its limit) whose limit of
// processes refuses the fork of the child, or of the grandchild that runs the opener: nothing
// starts, and that is said with the reason; with room for both, the opener starts, unsaid.
TEST(Browser, AnOpenerThatCannotBeForkedIsSaidWithTheReason) {
  if (geteuid() != 0) GTEST_SKIP() << "no user of the test's own to limit: not root";
  constexpr uid_t kUser = 64997;
  for (const rlim_t limit : {1, 2, 3}) {
    SCOPED_TRACE("a limit of " + std::to_string(limit));
    testing::internal::CaptureStderr();
    const pid_t pid = fork();
    if (pid == 0) {
      const rlimit processes{limit, limit};
      // The opener, left to the system once started, ends here: nothing of the user outlives.
      if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0 || setrlimit(RLIMIT_NPROC, &processes) != 0 ||
          setgroups(0, nullptr) != 0 || setresgid(kUser, kUser, kUser) != 0 ||
          setresuid(kUser, kUser, kUser) != 0)
        _exit(10);
      setenv("PATH", "/usr/bin:/bin", 1);
      const std::uint32_t started = StartDetached("true", kAddress);
      while (wait(nullptr) > 0) {
      }
      _exit(started == (limit == 3 ? 1u : 0u) ? 0 : 11);
    }
    int status = -1;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              limit == 3 ? "" : "veskor: cannot start true: Resource temporarily unavailable\n");
    EXPECT_EQ(status, 0);
  }
}

}  // namespace
}  // namespace veskor
