// What the start sets up for the process: a write past the file size limit fails instead of
// ending it. Each case runs in a forked child, its findings in the child's exit status.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/process.h"
#include "support/temp_dir.h"

extern char** environ;

namespace veskor {
namespace {

int InChild(const std::function<int()>& checks) {
  const pid_t pid = fork();
  if (pid == 0) _exit(checks());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// How a shell started now ends when it writes past the limit: the signal that ended it, or 0
// when it ended by itself (its write failed).
int ShellPastTheLimit(const std::string& file) {
  const std::string command = "exec 2>/dev/null; printf 12345 > '" + file + "'";
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// Started with SIGXFSZ at its default or ignored: the write that would pass the limit fails
// with EFBIG and the process goes on; one started ignored stays ignored, and a program started
// then meets the limit as the process would have without the call: ended by SIGXFSZ, or with
// its write failed.
TEST(Process, AWritePastTheFileSizeLimitFailsAndChildrenMeetTheLimitAsTheProcessWasStarted) {
  const test::TempDir dir("veskor_process");
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "started ignored" : "started at the default");
    EXPECT_EQ(InChild([&] {
                signal(SIGXFSZ, ignored ? SIG_IGN : SIG_DFL);
                FailWritesPastFileSizeLimit();
                const rlimit limit{4, 4};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
                const int fd = open(dir.Path("file").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0 || write(fd, "12345", 5) != 4) return 11;  // as much as fits
                errno = 0;
                if (write(fd, "5", 1) != -1 || errno != EFBIG) return 12;
                struct sigaction now {};
                sigaction(SIGXFSZ, nullptr, &now);
                if (now.sa_handler == SIG_DFL || (now.sa_handler == SIG_IGN) != ignored) return 13;
                return ShellPastTheLimit(dir.Path("shell")) == (ignored ? 0 : SIGXFSZ) ? 0 : 14;
              }),
              0);
  }
}

}  // namespace
}  // namespace veskor
