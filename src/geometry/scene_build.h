// The scene build: once per render session, after the render set-up and before the render
// preparation, the parsed World becomes drawable items. Every call of an `Object` block is one
// generation pass: a model instance, a height field (terrain tiles with a portal per water
// plane), or a composition of height fields or of models; at the end the planets are loaded.
#pragma once

#include <cstdint>

#include "language/world.h"

namespace veskor {

inline constexpr const char* kBadModelMessage = "Bad Model Reference !";
inline constexpr const char* kBadCompositionMessage = "Bad Composition Reference !";
inline constexpr const char* kBadCompositionRecordMessage = "Bad Composition Record !";
inline constexpr const char* kTooManyOperandsMessage = "Too Many Operands In One Composition !";

// Object nodes and result nodes of one object composition.
inline constexpr std::uint32_t kCompositionNodeMax = 64;
// Finest terrain tile levels of a height-field instance.
inline constexpr std::uint32_t kHeightFieldTileLevel = 2;

// Builds the World's objects in order and then its planets, reading the fx definitions of
// gParseStore (all of them are marked used first). Each item record takes its object's fx
// definition and the vertex format that follows from it. 1 when every pass ran; 0 when the
// progress callback asked to stop, or when the build failed: a full table, a bad reference in
// the World, a planet image missing or unusable (gSceneBuildError then holds the message).
// What was made before stays. The World's records stay as parsed. Items whose mesh is too
// large to batch are left out and counted in gSceneBuildSkips under their object's name.
//
// The render session ignores the result for now; its shell has to show the message and skip
// the preparation when it is 0.
std::uint32_t SceneBuild(World& world);

}  // namespace veskor
