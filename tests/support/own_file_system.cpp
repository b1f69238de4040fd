#include "support/own_file_system.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace veskor::test {

int RunOnFileSystemOfItsOwn(const std::string& dir, const char* type, const char* options,
                            const std::function<int()>& checks) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Private mounts first: the new one must not reach the namespace the suite runs in.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("veskor-test", dir.c_str(), type, 0, options) != 0 || ::chdir(dir.c_str()) != 0)
      ::_exit(kNoFileSystemOfItsOwn);
    const int result = checks();
    ::_exit(result >= 0 && result <= kNoFileSystemOfItsOwn ? result : kNoFileSystemOfItsOwn - 1);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace veskor::test
