// The compile step: after a parse, works out which fx calls depend on each global input of the
// fx language, directly or through other calls: the global calls per input, the surface calls
// of every compile root per input, and the roots that depend on each input at all. Its output
// is lists appended to the ParseStore's compiled lists. The compile session runs it once the
// parse has succeeded.
#pragma once

#include <cstdint>

#include "language/fx_registry.h"
#include "language/parse_store.h"

namespace veskor {

// Appends, for G = the store's group count: G lists of global calls (kind 6, the call's
// index), one per input; for every compile root, in order, G lists of its surface calls (kind
// 1, the call's position in the root); then G lists of compile roots (kind 1, the root's
// position in the compile root array). The first mark is the compiled-list count before the
// first lists, the second before the root lists; every root is flagged compiled and names its
// first list. A call is followed once however often it is reached; one that uses a dependency
// twice is listed twice. Keys and entries carry the version the parse gives such terms.
// 1, or 0 when the compiled lists are full (kParseStoreFullMessage is the session's message).
int CompileParseStore(ParseStore& store, const FxRegistry& registry);

}  // namespace veskor
