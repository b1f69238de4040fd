// The `Object` block: `Object` `{` element ... `}`, placing calls of models, height fields and
// compositions (each optionally transformed) and calls of `Surface` definitions with their
// arguments. The block becomes one entry of the World's object table naming its run of object
// calls, and an anonymous fx definition in the ParseStore whose body is its fx calls, registered
// as a `Surface` is. The directive loop hands the block to ParseObject (scene_blocks.h).
#pragma once

#include <cstdint>

#include "language/parse_store.h"
#include "language/scene_parser.h"
#include "language/world.h"

namespace veskor {

// Object call kinds.
enum : std::uint16_t { kCallComposition = 0, kCallModel = 3, kCallHeightField = 4 };
inline constexpr std::uint16_t kObjectBlockKind = 5;
inline constexpr std::uint16_t kNoFxDefinition = 0xFFFF;

inline constexpr const char* kObjectCallExpected =
    "object or heightfield or composition call expected";
inline constexpr const char* kZeroRotationAxis = "Rotation axis of zero length";
inline constexpr const char* kObjectTableFull = "Too many objects";
inline constexpr const char* kObjectCallsFull = "Too many object calls";
inline constexpr const char* kObjectTransformsFull = "Too many object transforms";

// One model, height-field or composition call at the current token, with its optional
// transform: `(` offset `)`, or for a model or composition `(` rotation offset `)`, the rotation
// [x y z angle] applied only with exactly four components. Appends its call record. 0 with
// kObjectCallExpected when the token names none of these, or with the error text of the call.
int ParseObjectCall(SceneParser& parser);

// An fx call's arguments after its "(", up to the closing ")" (not passed): outputs, global
// inputs, string constants and numbers or bracketed lists, separated by ",". At most `capacity`
// are kept in `args`; `count` counts them all.
int ParseObjectParameters(SceneParser& parser, ParseStore& store, std::uint32_t& count,
                          FxTerm* args, std::uint32_t capacity);

// Opens the object table entry at the object count (kind 5, no fx definition, its calls from
// the current call count); false when the table is full.
bool ObjectListBegin(World& world);
// Completes the open entry with its fx definition (kNoFxDefinition for none) and the end of its
// calls, and counts it.
void ObjectListAdd(World& world, std::uint16_t fxIndex);

}  // namespace veskor
