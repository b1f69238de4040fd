#include "platform/process.h"

#include <dirent.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace veskor {

namespace {
std::atomic<void (*)(RunEndNote, int)> gRunEndWatch{nullptr};

void Tell(RunEndNote note, int code) {
  if (void (*watch)(RunEndNote, int) = gRunEndWatch.load(); watch != nullptr) watch(note, code);
}

void IgnoreFileSizeSignal(int) {}

// The threads of the process as /proc counts them: -1 when it cannot be read.
int ThreadCount() {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks))
    if (entry->d_name[0] != '.') ++count;
  ::closedir(tasks);
  return count;
}
}  // namespace

void QuickExit(int code) { _exit(code); }

void NormalExit(int code) {
  Tell(RunEndNote::kExiting, code);
  std::exit(code);
}

void NormalExitDecided(int code) { Tell(RunEndNote::kDecided, code); }

void QuickExitDecided(int code) { Tell(RunEndNote::kDecidedAtOnce, code); }

bool AtExitWatched(void (*handler)()) {
  // Handlers run in the reverse of their registration: the watch is told first.
  return std::atexit(handler) == 0 &&
         ::on_exit([](int status, void*) { Tell(RunEndNote::kExiting, status); }, nullptr) == 0;
}

PersonWait::PersonWait() { Tell(RunEndNote::kPersonWaits, 0); }

PersonWait::~PersonWait() { Tell(RunEndNote::kPersonAnswered, 0); }

void SetRunEndWatch(void (*watch)(RunEndNote note, int code)) { gRunEndWatch.store(watch); }

void FailWritesPastFileSizeLimit() {
  struct sigaction was {};
  if (::sigaction(SIGXFSZ, nullptr, &was) != 0 ||
      ((was.sa_flags & SA_SIGINFO) == 0 && was.sa_handler == SIG_IGN))
    return;
  struct sigaction nothing {};
  nothing.sa_handler = IgnoreFileSizeSignal;
  sigemptyset(&nothing.sa_mask);
  nothing.sa_flags = SA_RESTART;
  ::sigaction(SIGXFSZ, &nothing, nullptr);
}

unsigned ThreadsThatCanStart(unsigned wanted, int* refusal) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NPROC, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
  const int before = ThreadCount();
  static sem_t gate;  // one call at a time: the start is single-threaded
  sem_init(&gate, 0, 0);
  std::vector<pthread_t> started(wanted);
  unsigned count = 0;
  for (; count < wanted; ++count) {
    const int error = ::pthread_create(
        &started[count], nullptr,
        [](void*) -> void* {
          while (sem_wait(&gate) != 0) {
          }
          return nullptr;
        },
        nullptr);
    if (error != 0) {
      *refusal = error;
      break;
    }
  }
  for (unsigned i = 0; i < count; ++i) sem_post(&gate);
  for (unsigned i = 0; i < count; ++i) ::pthread_join(started[i], nullptr);
  sem_destroy(&gate);
  // A joined thread may still be counted for a moment: its end is told before the kernel lets
  // it go. A second at most, so that the threads started next find the room counted here.
  for (int waited = 0; before >= 0 && ThreadCount() > before && waited < 1000; ++waited)
    ::usleep(1000);
  return count;
}

void SayNotStarted(const char* what, int error) {
  std::fprintf(stderr, "veskor: cannot start %s: %s\n", what, std::strerror(error));
}

}  // namespace veskor
