// The fx language of `Surface` blocks: the parameter list with its defaults and the body, a
// sequence of terms (calls, groups, selections, accesses, names and constants), each reduced to
// an FxTerm. Constants go into the ParseStore's tables; calls are resolved and recorded through
// fx_binding.h. The directive loop hands every `Surface` block to ParseSurfaceDefinition; the
// `Object` block reads its fx calls with ParseFxCall's argument rules.
#pragma once

#include <cstdint>

#include "language/fx_keywords.h"
#include "language/parse_store.h"
#include "language/scene_parser.h"

namespace veskor {

// Terms nest at most this deep (calls in calls, groups in groups); deeper text is refused
// with kFxNestingMessage rather than exhausting the stack.
inline constexpr std::uint32_t kFxMaxNesting = 128;
inline constexpr const char* kFxNestingMessage = "Expression nested too deeply";
// Arguments one call keeps; later ones are counted (so an operator refuses them) and, for a
// user fx, ignored as its extra arguments are.
inline constexpr std::uint32_t kFxMaxCallArguments = 128;

// `Surface` name "(" parameters ")" "{" terms "}": one definition of the ParseStore, its name in
// the user fx dictionary standing for it from then on. All return 1, or 0 with the error text
// composed on the innermost file.
int ParseSurfaceDefinition(SceneParser& parser, ParseStore& store);

// The parameters up to the closing ")" (not passed), each entered in the locals dictionary with
// its default record appended to the current definition.
int ParseFxParameters(SceneParser& parser, ParseStore& store);

// One term into `term`.
int ParseFxTerm(SceneParser& parser, ParseStore& store, FxTerm& term);

// A call, or a name with a selection or access suffix: the token is a name whose look-ahead is
// "(" or "[".
int ParseFxCall(SceneParser& parser, ParseStore& store, FxTerm& term);

// The term of a resolved parameter, output or global input name (the `Object` block's
// arguments name outputs and global inputs too); every field 0 for any other name.
FxTerm FxNameTerm(const SceneParser& parser, const FxName& name);
// The term of a float (1 to 16 values) or string constant, entered in the store's constant
// tables; a full table sets the file's error and gives 0.
int FloatConstantTerm(SceneFile& file, ParseStore& store, const float* values, std::uint32_t count,
                      FxTerm& term);
int StringConstantTerm(SceneFile& file, ParseStore& store, const char* text, FxTerm& term);

}  // namespace veskor
