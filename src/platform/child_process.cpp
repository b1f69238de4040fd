#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace veskor {
namespace {

std::atomic<bool (*)()> gWaitCheck{nullptr};

void CloseIfOpen(int fd) {
  if (fd >= 0) ::close(fd);
}

void Reap(pid_t pid) {
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// The child's side between fork and exec: only async-signal-safe calls, since the parent may
// run other threads (GL, sound). An exec that fails sends its errno through `errorFd`.
[[noreturn]] void StartChild(char* const argv[], char* const envp[], pid_t parent, int outFd,
                             int errorFd) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the parent went before the line above held
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);  // the starting thread's blocked signals
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(outFd >= 0 ? outFd : null, STDOUT_FILENO);
  ::dup2(null, STDERR_FILENO);  // the toolkit's warnings
  if (envp != nullptr) {
    ::execvpe(argv[0], argv, envp);
  } else {
    ::execvp(argv[0], argv);
  }
  const int error = errno;
  [[maybe_unused]] const ssize_t sent = ::write(errorFd, &error, sizeof error);
  ::_exit(127);
}

// Reads what is there into `out`; false at the end of the output (or a failed read).
bool ReadSome(int fd, std::string& out, std::size_t limit) {
  char chunk[512];
  const ssize_t n = ::read(fd, chunk, sizeof chunk);
  if (n < 0) return errno == EINTR || errno == EAGAIN;
  if (n == 0) return false;
  if (out.size() <= limit)
    out.append(chunk, std::min(static_cast<std::size_t>(n), limit + 1 - out.size()));
  return true;
}

int Wait(pid_t pid, int outFd, std::string* out, std::size_t limit, int* endSignal) {
  int status = 0;
  for (;;) {
    // The check first: a child that ended as the display went (its toolkit exits) must not
    // pass for an answer before the check has seen the display's loss.
    if (bool (*check)() = gWaitCheck.load(); check != nullptr && check()) {
      ::kill(pid, SIGKILL);
      Reap(pid);
      CloseIfOpen(outFd);
      return kChildClosed;
    }
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) {
      CloseIfOpen(outFd);
      return kChildLost;
    }
    // A signal ends the poll early (EINTR): the loop then asks again, nothing more.
    pollfd output{outFd, POLLIN, 0};
    if (::poll(&output, outFd >= 0 ? 1 : 0, kChildPollMs) > 0 && !ReadSome(outFd, *out, limit)) {
      ::close(outFd);
      outFd = -1;
    }
  }
  // What the child wrote before its end; a descendant that still holds the pipe open adds
  // nothing more.
  if (outFd >= 0) {
    pollfd output{outFd, POLLIN, 0};
    while (::poll(&output, 1, 0) > 0 && ReadSome(outFd, *out, limit)) {
    }
    ::close(outFd);
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  // A signal that reached the run too (Ctrl-C, or a SIGTERM to the process group, reaches the
  // child with the run) may show in the check only now: the child was then closed by the run's
  // end, not ended by a signal of its own.
  if (bool (*check)() = gWaitCheck.load(); check != nullptr && check()) return kChildClosed;
  if (endSignal != nullptr) *endSignal = WTERMSIG(status);
  return kChildKilled;
}

}  // namespace

void SetChildWaitCheck(bool (*check)()) { gWaitCheck.store(check); }

int RunChild(char* const argv[], std::string* out, std::size_t limit, char* const envp[],
             int* endSignal) {
  int output[2] = {-1, -1};
  int error[2] = {-1, -1};
  if (::pipe2(error, O_CLOEXEC) != 0) return kChildNotStarted;
  if (out != nullptr && ::pipe2(output, O_CLOEXEC) != 0) {
    ::close(error[0]);
    ::close(error[1]);
    return kChildNotStarted;
  }
  // A run started with SIGCHLD ignored would have the kernel reap its children as they end,
  // and their statuses (a box's answer) lost: it waits for them with the default action.
  struct sigaction children {};
  if (::sigaction(SIGCHLD, nullptr, &children) == 0 && children.sa_handler == SIG_IGN)
    ::signal(SIGCHLD, SIG_DFL);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) StartChild(argv, envp, parent, output[1], error[1]);
  ::close(error[1]);
  CloseIfOpen(output[1]);
  if (pid < 0) {
    ::close(error[0]);
    CloseIfOpen(output[0]);
    return kChildNotStarted;
  }
  // The error pipe closes at the exec (O_CLOEXEC): an end without an errno is a start.
  int execError = 0;
  ssize_t n = 0;
  while ((n = ::read(error[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  ::close(error[0]);
  if (n > 0) {
    Reap(pid);
    CloseIfOpen(output[0]);
    return kChildNotStarted;
  }
  return Wait(pid, output[0], out, limit, endSignal);
}

}  // namespace veskor
