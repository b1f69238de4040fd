#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

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

// The processes that a call of RunForkingCall forks, in a page that the run and they share:
// each one notes its own pid there as it starts, and ends at once when the call has been closed
// already. Both sides go through the same atomics (lock-free, so shared across processes), so
// that a start and a close at the same moment never miss each other: a start notes its pid
// before it looks at `closed`, a close sets `closed` before it reads the pids.
constexpr unsigned kForkSlots = 16;
struct CallForks {
  std::atomic<bool> closed{false};
  std::atomic<unsigned> count{0};
  std::atomic<pid_t> pids[kForkSlots] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free &&
              std::atomic<unsigned>::is_always_lock_free &&
              std::atomic<pid_t>::is_always_lock_free);

// The call's record on the thread that makes it, and the process whose thread forks (the
// parent that a process forked then must still have once its parent's death is watched). Only
// forks of that thread meanwhile are the call's: the fork handler below does nothing for any
// other.
thread_local CallForks* tCallForks = nullptr;
thread_local pid_t tForker = 0;
bool gInForkOfACall = false;

// In each process that a fork starts, before the fork returns there: only async-signal-safe
// calls. The signals that the program handles (its quit handlers, the display watch's faults,
// a save's deferred signals) go back to their default actions: this process has none of the
// threads or the state that answer them.
void OnForkInChild() {
  CallForks* const forks = tCallForks;
  if (forks == nullptr) return;
  gInForkOfACall = true;
  const pid_t self = ::getpid();
  const unsigned slot = forks->count.fetch_add(1);
  if (slot >= kForkSlots) ::_exit(127);  // one that could not be closed is never started
  forks->pids[slot].store(self);
  if (forks->closed.load()) ::_exit(127);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != tForker) ::_exit(127);  // the parent went before the line above held
  tForker = self;                             // for what this process forks in turn
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction action {};
    if (signal == SIGKILL || signal == SIGSTOP || ::sigaction(signal, nullptr, &action) != 0)
      continue;
    if (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN) continue;
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Calls `each(slot, pid, fd)` for each process of the call, `fd` a pidfd that names that one
// process while the call lasts (closed after it), whatever process its pid may come to name; a
// process whose pidfd cannot be had (reaped, and its pid free) is left alone.
template <typename Each>
void ForEachCallFork(const CallForks& forks, Each each) {
  const unsigned count = std::min(forks.count.load(), kForkSlots);
  for (unsigned i = 0; i < count; ++i) {
    const pid_t pid = forks.pids[i].load();
    if (pid <= 0) continue;
    // Called through syscall: glibc 2.36's <sys/pidfd.h> declares its wrappers without C linkage.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) continue;
    each(i, pid, fd);
    ::close(fd);
  }
}

// Kills each process of the call that is still a child of the run, alive or ended; with `reap`,
// also waits for its end and takes its status (the call has returned: nobody else will). A
// process already reaped is left alone, even if its pid has come to name another process: a
// pidfd names the one process, and the wait through it tells a child of the run.
void KillCallForks(const CallForks& forks, bool reap) {
  ForEachCallFork(forks, [reap](unsigned, pid_t, int fd) {
    siginfo_t info{};
    if (::waitid(P_PIDFD, static_cast<id_t>(fd), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
      ::syscall(SYS_pidfd_send_signal, fd, SIGKILL, nullptr, 0);
      while (reap && ::waitid(P_PIDFD, static_cast<id_t>(fd), &info, WEXITED) != 0 &&
             errno == EINTR) {
      }
    }
  });
}

// Reads the start of the file `path` of /proc into `text` (up to its size less one, ended by a
// '\0'): false when it cannot be read. No allocation: the call's copies are forked meanwhile,
// and a lock of the allocator held here at a fork would be copied held.
bool ReadProcFile(const char* path, char* text, std::size_t size) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = 0;
  while ((n = ::read(fd, text, size - 1)) < 0 && errno == EINTR) {
  }
  ::close(fd);
  if (n < 0) return false;
  text[n] = '\0';
  return true;
}

// Whether the process `pid`, a child of the run, is a copy of the run (its program still ours,
// `ours` as stat gives it: no exec yet) of one thread, which waits on a lock (in futex(2)): one
// that no thread of its own can release.
bool WaitsOnALockAlone(pid_t pid, const struct stat& ours) {
  char path[64], text[512];
  struct stat its {};
  std::snprintf(path, sizeof path, "/proc/%d/exe", static_cast<int>(pid));
  if (::stat(path, &its) != 0 || its.st_dev != ours.st_dev || its.st_ino != ours.st_ino)
    return false;
  // The thread count is the 20th field of stat, the 18th after the name's closing ") ".
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  if (!ReadProcFile(path, text, sizeof text)) return false;
  const char* field = std::strrchr(text, ')');
  for (int i = 0; field != nullptr && i < 18; ++i) field = std::strchr(field + 1, ' ');
  if (field == nullptr || std::strncmp(field, " 1 ", 3) != 0) return false;
  // The call that the thread waits in, by number; "running" is no wait.
  std::snprintf(path, sizeof path, "/proc/%d/syscall", static_cast<int>(pid));
  if (!ReadProcFile(path, text, sizeof text)) return false;
  char* end = nullptr;
  const long call = std::strtol(text, &end, 10);
  return end != text && *end == ' ' && call == SYS_futex;
}

// Kills each process of the call that has been a copy stuck on a lock (above) at every look for
// kStuckCopyMs; `since` holds, for each slot, when it was first seen so (or nothing). Returns
// how many it killed. A pidfd names the one process, and the wait through it tells a child of
// the run not yet reaped, before and after the look at /proc (whose pid could be another
// process's once SDL has reaped its child).
unsigned KillStuckCopies(const CallForks& forks, const struct stat& ours,
                         std::optional<std::chrono::steady_clock::time_point> since[]) {
  unsigned killed = 0;
  const auto now = std::chrono::steady_clock::now();
  ForEachCallFork(forks, [&](unsigned i, pid_t pid, int fd) {
    const auto running = [fd] {
      siginfo_t info{};
      return ::waitid(P_PIDFD, static_cast<id_t>(fd), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             info.si_pid == 0;
    };
    if (running() && WaitsOnALockAlone(pid, ours) && running()) {
      if (!since[i]) since[i] = now;
      if (now - *since[i] >= std::chrono::milliseconds(kStuckCopyMs) &&
          ::syscall(SYS_pidfd_send_signal, fd, SIGKILL, nullptr, 0) == 0) {
        ++killed;
        since[i].reset();
      }
    } else {
      since[i].reset();
    }
  });
  return killed;
}

}  // namespace

void SetChildWaitCheck(bool (*check)()) { gWaitCheck.store(check); }

bool InForkOfACall() { return gInForkOfACall; }

int RunForkingCall(const std::function<bool()>& call, CallForkCounts* counts) {
  static std::once_flag handlerSet;
  static int handlerError = 0;
  std::call_once(handlerSet,
                 [] { handlerError = ::pthread_atfork(nullptr, nullptr, OnForkInChild); });
  if (handlerError != 0) {
    errno = handlerError;
    return kChildNotStarted;
  }
  void* const page = ::mmap(nullptr, sizeof(CallForks), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return kChildNotStarted;
  CallForks* const forks = new (page) CallForks;
  sem_t running, done;
  sem_init(&running, 0, 0);
  sem_init(&done, 0, 0);
  unsigned stuck = 0;  // written by the closer, read once it has ended
  std::thread closer;
  try {
    closer = std::thread([forks, &running, &done, &stuck] {
      struct stat ours {};
      const bool known = ::stat("/proc/self/exe", &ours) == 0;
      std::optional<std::chrono::steady_clock::time_point> since[kForkSlots];
      sem_post(&running);
      for (;;) {
        if (bool (*check)() = gWaitCheck.load(); check != nullptr && check()) {
          forks->closed.store(true);
          KillCallForks(*forks, false);
        }
        if (known) stuck += KillStuckCopies(*forks, ours, since);
        timespec at{};
        clock_gettime(CLOCK_MONOTONIC, &at);
        at.tv_nsec += kChildPollMs * 1000000L;
        at.tv_sec += at.tv_nsec / 1000000000L;
        at.tv_nsec %= 1000000000L;
        if (sem_clockwait(&done, CLOCK_MONOTONIC, &at) == 0) return;
      }
    });
  } catch (const std::system_error& e) {
    ::munmap(page, sizeof(CallForks));
    errno = e.code().value();
    return kChildNotStarted;
  }
  // The call forks once the closer runs: a thread still starting may hold a lock (the address
  // checker's runtime takes one to record its first allocation) that a fork would copy held.
  while (sem_wait(&running) != 0) {
  }
  tCallForks = forks;
  tForker = ::getpid();
  const bool answered = call();
  tCallForks = nullptr;
  sem_post(&done);
  closer.join();
  bool closed = forks->closed.load();
  if (!closed && !answered) {
    if (bool (*check)() = gWaitCheck.load(); check != nullptr && check()) closed = true;
  }
  KillCallForks(*forks, true);
  if (counts != nullptr) *counts = {forks->count.load(), stuck};
  sem_destroy(&running);
  sem_destroy(&done);
  ::munmap(page, sizeof(CallForks));
  return closed ? kChildClosed : 0;
}

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
    const int failure = errno;
    ::close(error[0]);
    CloseIfOpen(output[0]);
    errno = failure;
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
    errno = execError;
    return kChildNotStarted;
  }
  return Wait(pid, output[0], out, limit, endSignal);
}

}  // namespace veskor
