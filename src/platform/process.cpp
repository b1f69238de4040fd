#include "platform/process.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <unistd.h>

namespace veskor {

namespace {
std::atomic<void (*)(int)> gNormalExitWatch{nullptr};

void IgnoreFileSizeSignal(int) {}

}  // namespace

void QuickExit(int code) { _exit(code); }

void NormalExit(int code) {
  if (void (*watch)(int) = gNormalExitWatch.load(); watch != nullptr) watch(code);
  std::exit(code);
}

void SetNormalExitWatch(void (*watch)(int code)) { gNormalExitWatch.store(watch); }

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

}  // namespace veskor
