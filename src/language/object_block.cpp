#include "language/object_block.h"

#include <cstring>

#include "foundation/session_log.h"
#include "foundation/vm_array.h"
#include "language/block_entries.h"
#include "language/fx_binding.h"
#include "language/fx_keywords.h"
#include "language/fx_parser.h"
#include "language/fx_registry.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"

namespace veskor {
namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

int FailAtLine(SceneFile& file, const char* message, std::uint32_t line) {
  SetErrorAtLine(file, message, line);
  return 0;
}

void Log(const char* text) { LogWriteText(LogStream(), text); }

void LogFloats(const float* values, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i != 0) Log(" ");
    LogWriteFloat(LogStream(), values[i]);
  }
}

struct ItemName {
  std::uint16_t kind;
  std::uint32_t index;
  const char* tag;
};

// The item a name calls: models first, then height fields, then compositions.
bool FindItem(const char* name, ItemName& item) {
  const struct {
    const NameTable* names;
    std::uint16_t kind;
    const char* tag;
  } tables[] = {{&gWorld.modelNames, kCallModel, "|Call Model       "},
                {&gWorld.heightFieldNames, kCallHeightField, "|Call HeightField "},
                {&gWorld.compositionNames, kCallComposition, "|Call Composition "}};
  for (const auto& table : tables) {
    std::uint32_t position;
    if (NameTableFind(*table.names, name, position)) {
      item = {table.kind, table.names->entries[position].value, table.tag};
      return true;
    }
  }
  return false;
}

// "(" [rotation] offset ")" into a new object transform; its index in `transform`.
int ParseCallTransform(SceneParser& parser, SceneFile& file, bool rotates,
                       std::uint16_t& transform) {
  World& world = gWorld;
  if (world.objectTransformCount >= kWorldObjectTransformMax) {
    return FailAt(file, kObjectTransformsFull);
  }
  ReadRawToken(parser);
  ValueRecord first, second;
  if (!ReadFloat(parser, first)) return FailAt(file, kTransformRequiredMessage);
  const ValueRecord* rotation = nullptr;
  const ValueRecord* offset = &first;
  if (rotates && !Is(file.token, ")")) {
    if (!ReadFloat(parser, second)) return FailAt(file, kTransformRequiredMessage);
    rotation = &first;
    offset = &second;
  }
  if (!Is(file.token, ")")) return FailAt(file, "')' expected");
  const bool rotated = rotation != nullptr && rotation->count == 4;
  const float* axis = rotated ? rotation->floats : nullptr;
  if (rotated && axis[0] == 0.0f && axis[1] == 0.0f && axis[2] == 0.0f) {
    return FailAt(file, kZeroRotationAxis);
  }
  ReadRawToken(parser);
  transform = world.objectTransformCount++;
  TransformNode& node = world.objectTransforms[transform];
  TransformNodeInit(node);
  float t[3];
  for (std::uint32_t c = 0; c < 3; ++c) t[c] = c < offset->count ? offset->floats[c] : 0.0f;
  TransformNodeSetTranslation(node, t[0], t[1], t[2]);
  if (rotated) TransformNodeSetRotation(node, axis[0], axis[1], axis[2], axis[3]);
  Log("( [");
  LogFloats(node.axis, 3);
  Log(" ");
  LogWriteFloat(LogStream(), node.angle);
  Log("] [");
  LogFloats(t, 3);
  Log("] )");
  return 1;
}

// `name` `(` arguments `)`: a call of the user fx at `userFx`, bound into the block's
// definition.
int ParseFxElement(SceneParser& parser, ParseStore& store, std::uint32_t userFx,
                   std::uint32_t& fxCalls) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  Log("|Call Fx          ");
  LogWriteUnsigned(LogStream(), fxCalls);
  Log("<fu ");
  Log(file.token);
  Log("> ");
  ReadRawToken(parser);
  if (!Is(file.token, "(")) return FailAt(file, "'(' expected");
  ReadRawToken(parser);
  FxTerm args[kFxMaxCallArguments];
  std::uint32_t n;
  if (!ParseObjectParameters(parser, store, n, args, kFxMaxCallArguments)) return 0;
  if (!Is(file.token, ")")) return FailAt(file, "')' expected");
  ReadRawToken(parser);
  // A Surface that recorded no call has nothing to bind.
  if (UserFxDefinition(userFx) != kFxNoDefinition) {
    FxTerm result;
    const std::uint32_t kept = n < kFxMaxCallArguments ? n : kFxMaxCallArguments;
    const FxBindStatus status = BindFxCall(store, gFxRegistry, userFx, kept, args, line, result);
    if (status != FxBindStatus::kOk) return FailAtLine(file, FxBindMessage(status), line);
    if (result.access == 0) return FailAtLine(file, kFxInvalidParameters, line);
  }
  ++fxCalls;
  return 1;
}

// One argument into `term`.
int ParseArgument(SceneParser& parser, SceneFile& file, ParseStore& store, FxTerm& term) {
  if (Is(file.token, "\"")) {
    StringRecord text;
    if (!ReadString(parser, text) || !StringConstantTerm(file, store, text.text, term)) return 0;
    Log("<cs (string) \"");
    Log(text.text);
    Log("\"> ");
    return 1;
  }
  const FxName name = FxResolvePlainName(gFxKeywords, file.token);
  if (name.kind == FxNameKind::kOutput || name.kind == FxNameKind::kGlobal) {
    Log(name.kind == FxNameKind::kOutput ? "<vl " : "<vg ");
    Log(file.token);
    Log("> ");
    term = FxNameTerm(parser, name);
    ReadRawToken(parser);
    return 1;
  }
  ValueRecord value;
  if (!ReadFloat(parser, value) || !FloatConstantTerm(file, store, value.floats, value.count, term))
    return 0;
  Log("<cs (x float) ");
  LogFloats(value.floats, value.count);
  Log("> ");
  return 1;
}

}  // namespace

int ParseObjectCall(SceneParser& parser) {
  SceneFile& file = InnermostFile(parser);
  World& world = gWorld;
  ItemName item;
  if (!FindItem(file.token, item)) return FailAt(file, kObjectCallExpected);
  if (world.objectCallCount >= kWorldObjectCallMax) return FailAt(file, kObjectCallsFull);
  Log(item.tag);
  LogWriteUnsigned(LogStream(), item.index);
  ReadRawToken(parser);
  std::uint16_t transform = kNoTransform;
  if (Is(file.token, "(") &&
      !ParseCallTransform(parser, file, item.kind != kCallHeightField, transform)) {
    return 0;
  }
  Log("\n");
  world.objectCalls[world.objectCallCount++] = {item.kind, static_cast<std::uint16_t>(item.index),
                                                0, transform};
  return 1;
}

int ParseObjectParameters(SceneParser& parser, ParseStore& store, std::uint32_t& count,
                          FxTerm* args, std::uint32_t capacity) {
  SceneFile& file = InnermostFile(parser);
  count = 0;
  if (Is(file.token, ")")) return 1;
  while (!BlockInputEnded(file)) {
    FxTerm term;
    if (!ParseArgument(parser, file, store, term)) return 0;
    if (count < capacity) args[count] = term;
    ++count;
    if (Is(file.token, ",")) {
      ReadRawToken(parser);
      continue;
    }
    if (Is(file.token, ")") || BlockInputEnded(file)) return 1;
    SetExpectedError(file, ",");
    return 0;
  }
  return 1;
}

bool ObjectListBegin(World& world) {
  if (world.objectCount >= kWorldObjectMax) return false;
  world.objects[world.objectCount] = {kObjectBlockKind,      kNoFxDefinition,      0, 0xFFFF,
                                      world.objectCallCount, world.objectCallCount};
  return true;
}

void ObjectListAdd(World& world, std::uint16_t fxIndex) {
  ObjectRecord& object = world.objects[world.objectCount];
  object.fxIndex = fxIndex;
  object.endCall = world.objectCallCount;
  ++world.objectCount;
}

int ParseObject(SceneParser& parser, ParseStore& store) {
  SceneFile& file = InnermostFile(parser);
  if (!ExpectToken(parser, "Object")) return 0;
  if (!ExpectBrace(parser, "{")) return 0;
  if (!ObjectListBegin(gWorld)) return FailAt(file, kObjectTableFull);
  NameTableClear(gFxKeywords.locals);
  parser.surfaceMark = 0;
  // The block's definition has no name: no call can reach it, and user fx names stand for
  // their definitions through their dictionary values, so it takes no slot of the user fx
  // dictionary (whose 256 slots would otherwise bound the objects of a world).
  const std::uint32_t outputRecords = store.outputRecords.count;
  if (BeginSurfaceRecord(store, 0) == kFxNoDefinition) return FailAt(file, kParseStoreFullMessage);
  Log("<OB ");
  std::uint32_t fxCalls = 0;
  while (!BlockInputEnded(file) && !Is(file.token, "}")) {
    ItemName item;
    std::uint32_t userFx;
    if (FindItem(file.token, item)) {
      if (!ParseObjectCall(parser)) return 0;
    } else if (NameTableFind(gFxKeywords.userFx, file.token, userFx)) {
      if (!ParseFxElement(parser, store, userFx, fxCalls)) return 0;
    } else {
      return FailAt(file, kObjectCallExpected);
    }
  }
  if (!ExpectBrace(parser, "}")) return 0;
  Log("> \n");
  std::uint32_t definition;
  if (!RegisterSurface(store, gFxRegistry, definition) ||
      (definition != kFxNoDefinition && definition >= kNoFxDefinition)) {
    return FailAt(file, kParseStoreFullMessage);
  }
  const bool defined = definition != kFxNoDefinition;
  // A block without fx calls gives its output records back, so that the store's room bounds
  // only the objects that have a surface.
  if (!defined) {
    VmArrayPop(store.outputRecords, store.outputRecords.count - outputRecords,
               sizeof(FxOutputRecord));
  }
  ObjectListAdd(gWorld, defined ? static_cast<std::uint16_t>(definition) : kNoFxDefinition);
  if (defined) ++parser.objectCount;
  return 1;
}

}  // namespace veskor
