#include "platform/virtual_memory.h"

#include <sys/mman.h>

namespace veskor {

namespace {
std::size_t gReservationLimit = 0;
}

void* VirtualReserve(std::size_t bytes) {
  if (bytes == 0 || (gReservationLimit != 0 && bytes > gReservationLimit)) return nullptr;
  void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool VirtualCommit(void* address, std::size_t bytes) {
  return mprotect(address, bytes, PROT_READ | PROT_WRITE) == 0;
}

bool VirtualDecommit(void* address, std::size_t bytes) {
  // MADV_DONTNEED on private anonymous memory frees the pages; they read as zero when
  // committed again.
  if (madvise(address, bytes, MADV_DONTNEED) != 0) return false;
  return mprotect(address, bytes, PROT_NONE) == 0;
}

bool VirtualRelease(void* address, std::size_t bytes) { return munmap(address, bytes) == 0; }

void VirtualMemoryLimitReservations(std::size_t maxBytes) { gReservationLimit = maxBytes; }

}  // namespace veskor
