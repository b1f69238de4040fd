// What the start sets up for the process: a write past the file size limit fails instead of
// ending it.
#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace veskor {
namespace {

// In a forked child started with SIGXFSZ at its default or ignored: a write past the limit fails
// with EFBIG and the process goes on; a shell started then meets the limit as the process would
// have without the call (ended by SIGXFSZ; or, ignored, with its write failed).
TEST(Process, AWritePastTheFileSizeLimitFailsAndChildrenMeetTheLimitAsTheProcessWasStarted) {
  const test::TempDir dir("veskor_process");
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "started ignored" : "started at the default");
    const pid_t pid = fork();
    if (pid == 0) {
      signal(SIGXFSZ, ignored ? SIG_IGN : SIG_DFL);
      FailWritesPastFileSizeLimit();
      const rlimit limit{4, 4};
      const int fd = open(dir.Path("file").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || fd < 0 || write(fd, "12345", 5) != 4)
        _exit(1);  // as much as fits
      errno = 0;
      if (write(fd, "5", 1) != -1 || errno != EFBIG) _exit(2);
      const int shell =
          std::system(("exec 2>/dev/null; printf 12345 > '" + dir.Path("shell") + "'").c_str());
      _exit(WIFSIGNALED(shell) == !ignored && (ignored || WTERMSIG(shell) == SIGXFSZ) ? 0 : 3);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0) << "the number of the first check that failed, times 256";
  }
}

}  // namespace
}  // namespace veskor
