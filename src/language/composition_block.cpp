#include "language/composition_block.h"

#include <cstring>

#include "foundation/session_log.h"
#include "language/block_entries.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"

namespace veskor {
namespace {

// The operators of the expression being read.
std::uint32_t gOperators = 0;

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

void Log(const char* text) { LogWriteText(LogStream(), text); }

void LogVector(const float* v) {
  Log("[");
  for (int c = 0; c < 3; ++c) {
    if (c != 0) Log(" ");
    LogWriteFloat(LogStream(), v[c]);
  }
  Log("] ");
}

// The first n components of `value`, the rest `fill`.
void CopyValueWithDefault(const ValueRecord& value, float* destination, std::uint32_t n,
                          float fill) {
  for (std::uint32_t c = 0; c < n; ++c) destination[c] = c < value.count ? value.floats[c] : fill;
}

void TransformSetVector(TransformNode& node, float x, float y, float z) {
  node.axis[0] = x;
  node.axis[1] = y;
  node.axis[2] = z;
  node.dirty = 1;
  node.identity = 0;
}

// "(" values ")" after a leaf, into a new composition transform: vector and offset, and for a
// model the angle between them. Its index in `transform`.
int ParseLeafTransform(SceneParser& parser, SceneFile& file, bool model, std::uint16_t& transform) {
  World& world = gWorld;
  if (world.compositionTransformCount >= kWorldCompositionTransformMax) {
    return FailAt(file, kCompositionTransformsFull);
  }
  transform = world.compositionTransformCount++;
  TransformNode& node = world.compositionTransforms[transform];
  TransformNodeInitUnit(node);
  ReadRawToken(parser);
  ValueRecord values[3];
  const int count = model ? 3 : 2;
  for (int k = 0; k < count; ++k) {
    if (!ReadFloat(parser, values[k])) return FailAt(file, kTransformRequiredMessage);
  }
  if (!Is(file.token, ")")) return FailAt(file, "')' expected");
  ReadRawToken(parser);
  float vector[3], offset[3];
  CopyValueWithDefault(values[0], vector, 3, 1.0f);
  CopyValueWithDefault(values[count - 1], offset, 3, 0.0f);
  Log("( ");
  LogVector(vector);
  LogVector(offset);
  Log(") ");
  if (model) {
    TransformSetVector(node, vector[0], vector[1], vector[2]);
    TransformNodeSetTranslation(node, offset[0], offset[1], offset[2]);
    if (values[1].count == 1) {
      node.angle = values[1].floats[0];
      node.dirty = 1;
      node.identity = 0;
    }
  } else {
    // A height field keeps its axes in the order (x, height, y).
    TransformSetVector(node, vector[0], vector[2], vector[1]);
    TransformNodeSetTranslation(node, offset[0], offset[2], offset[1]);
  }
  return 1;
}

// The shared shape of both kinds: an operator with its two operands, or a named leaf.
struct ExpressionKind {
  const char* syntaxError;
  const char* operators[2];  // operator 0, operator 1
  const char* operatorTags[2];
  std::uint16_t nodeKind;
  std::uint16_t leafKind;
  const char* leafTag;
  const NameTable* names;
};

int ParseExpression(SceneParser& parser, const ExpressionKind& kind, ItemReference& descriptor) {
  SceneFile& file = InnermostFile(parser);
  World& world = gWorld;
  SetErrorLocation(file, kind.syntaxError);
  for (std::uint16_t op = 0; op < 2; ++op) {
    if (!Is(file.token, kind.operators[op])) continue;
    if (gOperators + 1 >= kCompositionOperandMax) return FailAt(file, kCompositionTooManyOperands);
    ++gOperators;
    Log(kind.operatorTags[op]);
    ReadRawToken(parser);
    if (!Is(file.token, "(")) return FailAt(file, "'(' expected");
    ReadRawToken(parser);
    ItemReference first{0, 0, descriptor.third, kNoTransform};
    ItemReference second = first;
    if (!ParseExpression(parser, kind, first) || !ParseExpression(parser, kind, second)) return 0;
    if (!Is(file.token, ")")) return FailAt(file, "')' expected");
    ReadRawToken(parser);
    Log(") ");
    if (world.compositionOperationCount >= kWorldCompositionOperationMax) {
      return FailAt(file, kCompositionOperationsFull);
    }
    const std::uint16_t index = world.compositionOperationCount++;
    CompositionOperation& record = world.compositionOperations[index];
    record.header = {kind.nodeKind, op, descriptor.third, kNoTransform};
    record.first = first;
    record.second = second;
    descriptor = {kind.nodeKind, index, descriptor.third, kNoTransform};
    return 1;
  }
  std::uint32_t position;
  if (!NameTableFind(*kind.names, file.token, position)) return 0;
  const std::uint32_t leaf = kind.names->entries[position].value;
  Log(kind.leafTag);
  LogWriteUnsigned(LogStream(), leaf);
  Log("> ");
  ReadRawToken(parser);
  std::uint16_t transform = kNoTransform;
  if (Is(file.token, "(") &&
      !ParseLeafTransform(parser, file, kind.leafKind == kOperandModel, transform)) {
    return 0;
  }
  descriptor = {kind.leafKind, static_cast<std::uint16_t>(leaf), descriptor.third, transform};
  return 1;
}

const ExpressionKind& ObjectExpression() {
  static const ExpressionKind kind{kObjectCompositionSyntaxError,
                                   {"+", "-"},
                                   {"<+> ( ", "<-> ( "},
                                   kOperandObjectNode,
                                   kOperandModel,
                                   "<OB ",
                                   &gWorld.modelNames};
  return kind;
}

const ExpressionKind& FieldExpression() {
  static const ExpressionKind kind{
      kFieldCompositionSyntaxError, {"min", "max"}, {"<min> ( ", "<max> ( "}, kOperandFieldNode,
      kOperandHeightField,          "<HF ",         &gWorld.heightFieldNames};
  return kind;
}

}  // namespace

int ParseComposition(SceneParser& parser, ItemReference& descriptor) {
  SceneFile& file = InnermostFile(parser);
  SetErrorLocation(file, kCompositionSyntaxError);
  gOperators = 0;
  std::uint32_t position;
  const char* token = file.token;
  if (Is(token, "+") || Is(token, "-") || NameTableFind(gWorld.modelNames, token, position)) {
    return ParseExpression(parser, ObjectExpression(), descriptor);
  }
  if (Is(token, "min") || Is(token, "max") ||
      NameTableFind(gWorld.heightFieldNames, token, position)) {
    return ParseExpression(parser, FieldExpression(), descriptor);
  }
  return 0;
}

bool AddCompositionName(World& world, const char* name) {
  const std::uint32_t index = world.compositionCount;
  if (index >= kWorldCompositionMax || !NameTableInsert(world.compositionNames, name, &index)) {
    return false;
  }
  world.compositions[index] = {0,
                               static_cast<std::uint16_t>(index),
                               0,
                               kNoTransform,
                               world.compositionElementCount,
                               world.compositionElementCount};
  return true;
}

bool CompositionElementBegin(World& world) {
  const std::uint16_t index = world.compositionElementCount;
  if (index >= kWorldCompositionElementMax) return false;
  world.compositionElements[index] = {
      1, index, 0, kNoTransform, world.compositionOperationCount, world.compositionOperationCount};
  return true;
}

void CompositionElementEnd(World& world, const ItemReference& descriptor) {
  SceneBuildRecord& element = world.compositionElements[world.compositionElementCount];
  element.kind = descriptor.kind;
  if (descriptor.kind == kOperandModel || descriptor.kind == kOperandHeightField) {
    element.index = descriptor.index;
    element.transform = descriptor.transform;
  }
  element.end = world.compositionOperationCount;
  ++world.compositionElementCount;
}

void CompositionEnd(World& world) {
  world.compositions[world.compositionCount].end = world.compositionElementCount;
  ++world.compositionCount;
}

int ParseCompositionBlock(SceneParser& parser, ParseStore&) {
  SceneFile& file = InnermostFile(parser);
  World& world = gWorld;
  SetErrorLocation(file, kCompositionSyntaxError);
  if (!ExpectToken(parser, "Composition")) return 0;
  Log("\n<Composition ");
  Log(file.token);
  Log("> ");
  if (world.compositionCount >= kWorldCompositionMax) return FailAt(file, kCompositionTableFull);
  if (!AddCompositionName(world, file.token)) return FailAt(file, kNameTableFullMessage);
  ReadRawToken(parser);
  if (!ExpectBrace(parser, "{")) return 0;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    if (!CompositionElementBegin(world)) return FailAt(file, kCompositionElementsFull);
    ItemReference descriptor{0, 0, 0, kNoTransform};
    if (!ParseComposition(parser, descriptor)) return 0;
    CompositionElementEnd(world, descriptor);
  }
  if (!ExpectBrace(parser, "}")) return 0;
  CompositionEnd(world);
  Log("\n\n");
  return 1;
}

}  // namespace veskor
