// The members of every kernel table entry, declared from the one list of entries
// (kernel_entries.h): plain::name for every entry that is not reserved, sse::name for the
// entries with an SSE member of their own. The family files define them; the table and the
// tests that compare members use these declarations.
#pragma once

#include <cstdint>

#include "mapengine/kernel_entries.h"

#define VESKOR_KERNEL_PLAIN_SSE(name, result, parameters) result name parameters;
#define VESKOR_KERNEL_PLAIN_PLAIN(name, result, parameters) result name parameters;
#define VESKOR_KERNEL_PLAIN_RESERVED(name, result, parameters)
#define VESKOR_KERNEL_PLAIN(index, name, members, result, parameters) \
  VESKOR_KERNEL_PLAIN_##members(name, result, parameters)
#define VESKOR_KERNEL_SSE_SSE(name, result, parameters) result name parameters;
#define VESKOR_KERNEL_SSE_PLAIN(name, result, parameters)
#define VESKOR_KERNEL_SSE_RESERVED(name, result, parameters)
#define VESKOR_KERNEL_SSE(index, name, members, result, parameters) \
  VESKOR_KERNEL_SSE_##members(name, result, parameters)

namespace veskor::plain {
VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_PLAIN)
}  // namespace veskor::plain

namespace veskor::sse {
VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_SSE)
}  // namespace veskor::sse

#undef VESKOR_KERNEL_PLAIN
#undef VESKOR_KERNEL_PLAIN_SSE
#undef VESKOR_KERNEL_PLAIN_PLAIN
#undef VESKOR_KERNEL_PLAIN_RESERVED
#undef VESKOR_KERNEL_SSE
#undef VESKOR_KERNEL_SSE_SSE
#undef VESKOR_KERNEL_SSE_PLAIN
#undef VESKOR_KERNEL_SSE_RESERVED
