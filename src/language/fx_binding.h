// Resolution and recording of fx calls: a call is matched against the overloads of its
// FxRegistry row, classified by what its arguments depend on (constants only, global inputs,
// or the definition being read), merged with an identical earlier call or recorded in one of
// the ParseStore's three call tables; a call of another `Surface` is expanded into the calls of
// the definition being read. Also the string and float constants and the beginning and
// registration of a definition. The fx parser and the `Object` block use them.
#pragma once

#include <cstdint>

#include "language/fx_keywords.h"
#include "language/fx_registry.h"
#include "language/parse_store.h"

namespace veskor {

// What a binding step reports besides its term. Anything but kOk stops the parse with
// FxBindMessage's text.
enum class FxBindStatus {
  kOk,
  kStoreFull,         // a call table or list of the store is full
  kOutputWritesFull,  // a definition assigns one output more than kFxOutputWriteMax times
  kRecursiveCall,     // a `Surface` calls itself before its block has ended
};
const char* FxBindMessage(FxBindStatus status);

// The messages of the fx language that every part of it shares.
inline constexpr const char* kFxInvalidParameters =
    "Invalid fx parameters (type or access properties)";
inline constexpr const char* kFxStringTableFull = "Too many string constants";
inline constexpr const char* kFxFloatTableFull = "Too many float constants";

// The overload of `row` that accepts the n arguments (count equal; per argument, type 0 or equal
// to the parameter's, and access sharing a bit with the parameter's): its executor and result
// descriptor. False when none does.
bool FxOverloadLookup(const FxRegistry& registry, std::uint32_t row, std::uint32_t n,
                      const FxTerm* args, FxExecutor& executor, FxDescriptor& result);

// Matches, classifies, merges or records a call of `row` in the current definition (the last
// fx record). `result` is the call's term; access 0 (every field 0) when no overload accepts the
// arguments, in which case nothing is recorded. An assignment to the output `displace` becomes
// the displacement row with the arguments (displace, value, point, normal). Recording the
// displacement, however it is reached, gives `point` and `normal` new versions.
FxBindStatus MatchFxOverload(ParseStore& store, FxRegistry& registry, std::uint32_t row,
                             std::uint32_t n, const FxTerm* args, std::uint32_t line,
                             FxTerm& result);

// Expands a call of the user fx at dictionary position `userFx` with n arguments: its
// recorded calls are matched again, in order, with its parameters replaced by the arguments
// (or their defaults; a parameter with neither gives a term of access 0) and its call results
// by the results of this expansion; outputs are read at the versions they have now. The
// result is that of the last call, or of the first call that no overload accepts; access 0
// when the user fx recorded no call.
FxBindStatus BindFxCall(ParseStore& store, FxRegistry& registry, std::uint32_t userFx,
                        std::uint32_t n, const FxTerm* args, std::uint32_t line, FxTerm& result);

// The position of an equal float constant (same count, every component within 1e-5) or of the
// new one appended; -1 when the table is full.
std::int32_t FxFloatConstant(ParseStore& store, const float* values, std::uint32_t count);
// The position of the string constant with this exact text, or of the new one; -1 when full.
// The text holds fewer than kFxTextBytes characters.
std::int32_t FxStringConstant(ParseStore& store, const char* text);

// Appends a definition: slotCount empty output records, then its fx record, whose parameter
// defaults and calls begin at the current ends of their tables. Its index, or kFxNoDefinition
// when a table is full.
std::uint32_t BeginSurfaceRecord(ParseStore& store, std::uint32_t firstWord);

// Completes the last definition. One that recorded no call is removed again (its output
// records stay) and `definition` is kFxNoDefinition. Otherwise it gets one list per output
// slot of the calls that read that output, directly or through other calls (an assignment's
// target does not count as a read), and becomes a compile root; `definition` is its index.
// False when the lists or the roots are full.
bool RegisterSurface(ParseStore& store, const FxRegistry& registry, std::uint32_t& definition);

}  // namespace veskor
