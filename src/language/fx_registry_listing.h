// ListNodeTable: the diagnostic listing of the FxRegistry that a compile session writes to the
// session log before the environment defaults are set. It sits here, beside the registry,
// because the environment code that the listing precedes lies below the scene language in the
// folder graph and may not include the registry; the compile session calls both in turn.
#pragma once

#include "foundation/session_log.h"
#include "language/fx_registry.h"

namespace veskor {

// Writes, token by token: per operation row "[" overload count "   " flag "]\t" and per
// overload "[" executor "   " result type "   " (access >> 1 & 1) "|" (access & 1) "   "
// parameter count "]\t", then per parameter "[" type "   " bit 1 "|" bit 0 "] ", each overload
// ending in "\n\t" and each row in "\n"; then per output descriptor "[" type "] " and its
// access codes as "[" bit 1 "|" bit 0 "] ", ending in "\n"; "\n"; the global descriptors
// likewise; "\n". Runs whether or not the log has a file. Returns the log.
SessionLog& ListNodeTable(const FxRegistry& registry);

}  // namespace veskor
