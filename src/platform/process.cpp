#include "platform/process.h"

#include <atomic>
#include <cstdlib>
#include <unistd.h>

namespace veskor {

namespace {
std::atomic<void (*)(int)> gNormalExitWatch{nullptr};
}  // namespace

void QuickExit(int code) { _exit(code); }

void NormalExit(int code) {
  if (void (*watch)(int) = gNormalExitWatch.load(); watch != nullptr) watch(code);
  std::exit(code);
}

void SetNormalExitWatch(void (*watch)(int code)) { gNormalExitWatch.store(watch); }

}  // namespace veskor
