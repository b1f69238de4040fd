// The fx tests' view of the parse store: a world text compiled through the session's calls, and
// the recorded calls written out as text, "row(kind:index ...)". Versions are left out: the
// output descriptors count writes over the whole run.
#pragma once

#include <string>

#include "compile_driver.h"
#include "language/parse_store.h"
#include "world_text.h"

namespace veskor::test {

// Compiles `text` as the root world in `dir`.
CompileOutcome CompileText(const WorldDir& dir, const std::string& text);

std::string Describe(const FxTerm& term);
// The calls of definition d; of the global or the constant call table; each call "; "-ended.
std::string DefinitionCalls(std::uint32_t d);
std::string GlobalCalls();
std::string ConstantCalls();
// The float constants, "[a b] " each.
std::string FloatConstants();

}  // namespace veskor::test
