#include "support/as_user.h"

#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace veskor::test {

int RunAsUser(const std::string& dir, int (*checks)()) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(100);
    if (::geteuid() == 0 &&
        (::chown(".", 65534, 65534) != 0 || ::setgroups(0, nullptr) != 0 ||
         ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0 ||
         ::prctl(PR_SET_DUMPABLE, 1) != 0))
      ::_exit(101);  // as a user's process, its /proc folder its own
    ::_exit(checks());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace veskor::test
