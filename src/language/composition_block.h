// The `Composition` block: `Composition` name `{` expression ... `}`, each expression a tree of
// models joined by `+` and `-` or of height fields joined by `min` and `max`, every leaf with an
// optional transform. Each top-level expression becomes an element of the World's composition
// element list, naming the run of operation records its operators appended; the block becomes
// one entry of the composition list naming its run of elements, under the block's name for
// objects. The scene build carries them out.
#pragma once

#include <cstdint>

#include "language/scene_parser.h"
#include "language/world.h"

namespace veskor {

// Descriptor kinds of an operand.
enum : std::uint16_t {
  kOperandObjectNode = 1,  // `+` or `-`: index is the operation record
  kOperandFieldNode = 2,   // `min` or `max`
  kOperandModel = 3,
  kOperandHeightField = 4,
};

// The scene build carries out one expression with 64 object nodes and 64 result nodes: an
// expression holds at most this many leaves (and so at most one operator fewer).
inline constexpr std::uint32_t kCompositionOperandMax = 64;

inline constexpr const char* kCompositionSyntaxError = "Composition syntax error";
inline constexpr const char* kObjectCompositionSyntaxError = "Object composition syntax error";
inline constexpr const char* kFieldCompositionSyntaxError = "HeightField composition syntax error";
inline constexpr const char* kCompositionTooManyOperands = "Too many operands in composition";
inline constexpr const char* kCompositionTableFull = "Too many compositions";
inline constexpr const char* kCompositionElementsFull = "Too many composition elements";
inline constexpr const char* kCompositionOperationsFull = "Too many composition operations";
inline constexpr const char* kCompositionTransformsFull = "Too many composition transforms";

// One expression at the current token into `descriptor`, whose third field passes through to
// the descriptor and the operation records it makes. An expression starting with `+`, `-` or a
// model name is an object expression, one starting with `min`, `max` or a height-field name a
// height-field expression (a name of both tables is a model). 1, or 0 with the error text
// composed; records appended before a failure stay.
int ParseComposition(SceneParser& parser, ItemReference& descriptor);

// The World's side of the block, for which the parser checks the capacities first.
// Enters `name` in the composition names (valued with its index) and opens the composition
// list entry at the composition count; false when the table or the name table is full.
bool AddCompositionName(World& world, const char* name);
// Opens the element record at the element count; false when the list is full.
bool CompositionElementBegin(World& world);
// Completes the open element from its expression's descriptor and counts it.
void CompositionElementEnd(World& world, const ItemReference& descriptor);
// Completes the open composition entry with its run of elements and counts it.
void CompositionEnd(World& world);

}  // namespace veskor
