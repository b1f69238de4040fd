// The fx vocabulary: the five dictionaries of names that the bodies of `Surface` blocks use
// (global inputs, surface outputs, operators and functions, user fx, and the parameters of the
// Surface being parsed) and the order in which a name is resolved against them. A name's
// index in its dictionary is the number every fx table uses: an operator's index is its
// FxRegistry row, an output's its output slot, a user fx's its definition in the ParseStore,
// a parameter's its parameter slot.
#pragma once

#include <cstdint>

#include "language/name_table.h"

namespace veskor {

struct FxKeywords {
  FxKeywords() = default;
  ~FxKeywords();
  FxKeywords(const FxKeywords&) = delete;
  FxKeywords& operator=(const FxKeywords&) = delete;

  NameTable globals{};    // filled once
  NameTable outputs{};    // filled once
  NameTable operators{};  // filled once
  NameTable userFx{};     // one name per Surface; emptied before every parse
  NameTable locals{};     // the parameters of the current Surface
  std::uint32_t filled = 0;
};

// The program's dictionaries.
extern FxKeywords gFxKeywords;

// Entry slots and text store sizes (see NameStoreBytes).
inline constexpr std::uint32_t kFxGlobalSlots = 128;
inline constexpr std::uint32_t kFxOutputSlots = 128;
inline constexpr std::uint32_t kFxOperatorSlots = 256;
inline constexpr std::uint32_t kFxUserFxSlots = 256;
inline constexpr std::uint32_t kFxLocalSlots = 128;

// The outputs in slot order, and the global inputs.
inline constexpr const char* kFxOutputNames[] = {"point",    "normal",    "displace", "diffuse",
                                                 "specular", "shininess", "emissive"};
inline constexpr const char* kFxGlobalNames[] = {"viewPoint"};
// Operators 0 to 10 are the built-in operators, 11 to 24 the functions.
inline constexpr std::uint32_t kFxBuiltinOperators = 11;
inline constexpr std::uint32_t kFxNamedOperators = 25;

// Fills the three fixed dictionaries the first time (outputs, globals, operators and then the
// functions, each with its index as value); empties the user fx and the locals every time.
void InitFxKeywords();

// Enter a name in the operators, user fx or locals dictionary, valued with its new index.
// False, entering nothing, when the dictionary is full (kNameTableFullMessage is the parse's
// message then).
bool AddFxFunction(const char* name);
bool AddSurfaceName(const char* name);
bool AddLocalName(const char* name);

// The definition a user fx name stands for, kept as the value of its dictionary entry: the
// index of its fx record in the ParseStore, kFxDefinitionPending while its block is being read,
// or kFxNoDefinition when its block recorded no call (its record was removed again, so the
// dictionary position and the record index differ from then on).
inline constexpr std::uint32_t kFxNoDefinition = 0xFFFFFFFF;
inline constexpr std::uint32_t kFxDefinitionPending = 0xFFFFFFFE;
void SetUserFxDefinition(std::uint32_t position, std::uint32_t definition);
std::uint32_t UserFxDefinition(std::uint32_t position);

// Where a name of fx text resolves.
enum class FxNameKind { kNone, kUserFx, kOperator, kLocal, kOutput, kGlobal };
struct FxName {
  FxNameKind kind;
  std::uint32_t index;
};

// A name followed by "(" or "[": a user fx hides an operator of the same name.
FxName FxResolveCallName(const FxKeywords& keywords, const char* name);
// A name used plainly: a parameter hides an output, an output a global input.
FxName FxResolvePlainName(const FxKeywords& keywords, const char* name);
// A name with a selection "[", or a call name that is neither user fx nor operator: outputs,
// then global inputs, then parameters.
FxName FxResolveValueName(const FxKeywords& keywords, const char* name);

}  // namespace veskor
