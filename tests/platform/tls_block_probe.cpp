// A process of the GL layer (the driver not started) that opens the TLS block module, places
// the main thread's block of it as its second argument says, then ends normally, the leak
// check of sanitizer builds then running over it:
//   page-start  the block starts 16 bytes into a page (the address checker's runtime took such
//               a block for an old C library's layout, and the check read no memory at all)
//   holding     the block holds the only pointer to a heap block
//   leak        heap blocks are left with no pointer to them
// Exit status 0, or the leak check's; 2 for wrong arguments, 3 when the module cannot be
// opened, 4 when the block could not be placed. Sanitizer builds run it with no quarantine
// (ASAN_OPTIONS quarantine_size_mb=0:thread_local_quarantine_size_kb=0), so that a freed block
// is the next one handed out.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/gl_context.h"

namespace {

constexpr std::size_t kBlockBytes = 24;  // the module's block
constexpr int kLostBlocks = 64;
void* gHeld[4096];

// The address checker's blocks of the module's size in turn until one starts 16 bytes into a
// page; freed, it is the next one that this thread is given, which the C library takes for the
// module's block at the block's first use. Its address, or 0 when none was found.
std::uintptr_t FreeABlockAtAPageStart() {
  void* found = nullptr;
  for (std::size_t i = 0; i < std::size(gHeld) && found == nullptr; ++i) {
    gHeld[i] = std::malloc(kBlockBytes);
    if (reinterpret_cast<std::uintptr_t>(gHeld[i]) % 4096 == 16) {
      found = gHeld[i];
      gHeld[i] = nullptr;
    }
  }
  const auto address = reinterpret_cast<std::uintptr_t>(found);
  std::free(found);
  return address;
}

[[gnu::noinline]] void Lose() {
  void* volatile lost = std::malloc(100);
  std::memset(lost, 1, 100);
  lost = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // The GL layer's module that starts the driver is part of every process that draws.
  if (veskor::GlCurrentContext() != nullptr) return 2;
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return 3;
  const auto block = reinterpret_cast<void* (*)()>(dlsym(module, "TlsBlockOfThisThread"));
  if (block == nullptr) return 3;
  const char* mode = argv[2];
  if (std::strcmp(mode, "page-start") == 0) {
    const std::uintptr_t freed = FreeABlockAtAPageStart();
    if (freed == 0 || reinterpret_cast<std::uintptr_t>(block()) != freed) return 4;
  } else if (std::strcmp(mode, "holding") == 0) {
    *static_cast<void**>(block()) = std::malloc(100);
  } else if (std::strcmp(mode, "leak") == 0) {
    for (int i = 0; i < kLostBlocks; ++i) Lose();
  } else {
    return 2;
  }
  for (void*& p : gHeld) {
    std::free(p);
    p = nullptr;
  }
  return 0;
}
