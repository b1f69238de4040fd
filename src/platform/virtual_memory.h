// Address space reserved without memory, with pages committed and given back on demand.
// Used by the memory manager's three areas (foundation/heap_areas).
#pragma once

#include <cstddef>

namespace veskor {

inline constexpr std::size_t kPageSize = 4096;

// Reserves `bytes` of address space (page aligned, nothing committed). Returns null when no
// such range can be had, so callers may retry with less.
void* VirtualReserve(std::size_t bytes);

// Makes whole pages of a reserved range readable and writable; fresh pages read as zero.
bool VirtualCommit(void* address, std::size_t bytes);

// Drops the contents of whole pages and gives their memory back; the range stays reserved.
bool VirtualDecommit(void* address, std::size_t bytes);

// Gives a reserved range back to the system.
bool VirtualRelease(void* address, std::size_t bytes);

// Test hook: reservations larger than `maxBytes` fail (0 lifts the limit).
void VirtualMemoryLimitReservations(std::size_t maxBytes);

}  // namespace veskor
