#include "language/fx_parser.h"

#include <cstring>

#include "foundation/session_log.h"
#include "language/fx_binding.h"
#include "language/fx_keywords.h"
#include "language/fx_registry.h"
#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"

namespace veskor {
namespace {

constexpr std::uint32_t kSelectRow = 1;
constexpr std::uint32_t kGroup2Row = 2;
constexpr std::uint32_t kAccessRow = 5;

// How deep the term being read is nested.
std::uint32_t gNesting = 0;

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

// The input is exhausted: no token is left.
bool AtEnd(const SceneFile& file) { return file.token[0] == '\0' && SceneDataEnded(file); }

void Log(const char* text) { LogWriteText(LogStream(), text); }

void LogFloats(const float* values, std::uint32_t count) {
  Log("<cs (x float) ");
  for (std::uint32_t i = 0; i < count; ++i) {
    LogWriteFloat(LogStream(), values[i]);
    Log(" ");
  }
  Log("> ");
}

int Fail(SceneFile& file, const char* message) {
  SetErrorLocation(file, message);
  return 0;
}

// The message placed from `line` to the current line.
int FailFrom(SceneFile& file, const char* message, std::uint32_t line) {
  file.tokenLine = line;
  SetErrorLocation(file, message);
  return 0;
}

int FailAt(SceneFile& file, const char* message, std::uint32_t line) {
  SetErrorAtLine(file, message, line);
  return 0;
}

int FailBind(SceneFile& file, FxBindStatus status, std::uint32_t line) {
  return FailAt(file, FxBindMessage(status), line);
}

// The term a name stands for once resolved as a value.
FxTerm NameTerm(const SceneParser& parser, const FxName& name) {
  switch (name.kind) {
    case FxNameKind::kLocal:
      return {kFxTermParameter, static_cast<std::uint16_t>(name.index),
              kFxAccessRead | kFxAccessWrite, kFxTypeAny, 0};
    case FxNameKind::kOutput:
    case FxNameKind::kGlobal: {
      const bool output = name.kind == FxNameKind::kOutput;
      const VmArray& table = output ? gFxRegistry.outputs : gFxRegistry.globals;
      if (name.index >= table.count) return FxTerm{};  // no descriptor: usable nowhere
      const FxOutputDescriptor& d = output ? FxRegistryOutput(gFxRegistry, name.index)
                                           : FxRegistryGlobal(gFxRegistry, name.index);
      const std::uint32_t mark = parser.surfaceMark < kFxSurfaceMarks ? parser.surfaceMark : 0;
      return {output ? kFxTermOutput : kFxTermGlobalInput, static_cast<std::uint16_t>(name.index),
              d.access[mark], d.type, d.writeCount};
    }
    default:
      return FxTerm{};
  }
}

// A call of `row` on the given arguments whose refusal is an error placed at `line`, or from
// `line` to the current one when `span` is set.
int Resolve(SceneFile& file, ParseStore& store, std::uint32_t row, std::uint32_t n,
            const FxTerm* args, std::uint32_t line, FxTerm& term, bool span = false) {
  const FxBindStatus status = MatchFxOverload(store, gFxRegistry, row, n, args, line, term);
  if (status != FxBindStatus::kOk) return FailBind(file, status, line);
  if (term.access == 0) {
    return span ? FailFrom(file, kFxInvalidParameters, line)
                : FailAt(file, kFxInvalidParameters, line);
  }
  return 1;
}

// "(" term ")" after a value: an access of the value at the term. A refusal is placed from
// `line`, where the value began, to the current line.
int ParseFxAccess(SceneParser& parser, ParseStore& store, FxTerm& value, std::uint32_t line) {
  SceneFile& file = InnermostFile(parser);
  if (!Is(file.token, "(")) return Fail(file, "'(' expected");
  Log("( <fd access> ");
  ReadRawToken(parser);
  FxTerm args[2] = {value, {}};
  if (!ParseFxTerm(parser, store, args[1])) return Fail(file, "Invalid parameter call");
  if (!Resolve(file, store, kAccessRow, 2, args, line, value, true)) return 0;
  if (!Is(file.token, ")")) return Fail(file, "')' expected");
  ReadRawToken(parser);
  Log(")1 ");
  return 1;
}

// "[" numbers "]" after a value: a selection of its components.
int ParseFxSelect(SceneParser& parser, ParseStore& store, FxTerm& value) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  ReadRawToken(parser);
  float indices[kFxMaxComponents];
  std::uint32_t count = 0;
  while (!Is(file.token, "]")) {
    if (Is(file.token, ",")) {
      ReadRawToken(parser);
      continue;
    }
    if (AtEnd(file)) return Fail(file, "Invalid parameter call");
    if (count == kFxMaxComponents) return Fail(file, "Too many values");
    if (!ParseNumber(file, indices[count])) return Fail(file, "Invalid parameter call");
    ++count;
    NextToken(parser);
  }
  ReadRawToken(parser);
  Log("<fd select> ");
  LogFloats(indices, count);
  Log(")1 ");
  FxTerm args[2] = {value, {}};
  if (!FloatConstantTerm(file, store, indices, count, args[1])) return 0;
  return Resolve(file, store, kSelectRow, 2, args, line, value);
}

// "[" term { [","] term } "]": one float constant when every element is one and they hold at
// most 16 numbers, else the element itself or a call of group2 to group4.
int ParseFxGroup(SceneParser& parser, ParseStore& store, FxTerm& term) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  SetErrorAtLine(file, "Group expected", line);  // stands unless an element says more
  ReadRawToken(parser);
  Log("<fd  [ ");
  FxTerm elements[kFxMaxComponents];
  std::uint32_t count = 0;
  while (!Is(file.token, "]")) {
    if (AtEnd(file)) {
      SetErrorAtLine(file, "Group expected", line);
      return 0;
    }
    if (Is(file.token, ",")) {
      ReadRawToken(parser);
      continue;
    }
    // More elements than a value holds components can never be grouped.
    if (count == kFxMaxComponents) return Fail(file, "Cannot group more than 4 elements");
    if (!ParseFxTerm(parser, store, elements[count])) return 0;
    ++count;
  }
  if (count == 0) return FailAt(file, "Group expected", line);
  ReadRawToken(parser);

  std::uint32_t numbers = 0;
  bool constant = true;
  for (std::uint32_t i = 0; i < count && constant; ++i) {
    constant = elements[i].kind == kFxTermFloat;
    if (constant) numbers += store.floatConstants[elements[i].index].count;
  }
  if (constant && numbers <= kFxMaxComponents) {
    float values[kFxMaxComponents];
    std::uint32_t k = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const FxFrame& c = store.floatConstants[elements[i].index];
      std::memcpy(values + k, c.floats, c.count * sizeof(float));
      k += c.count;
    }
    return FloatConstantTerm(file, store, values, numbers, term);
  }
  if (count == 1) {
    term = elements[0];
    return 1;
  }
  if (count > 4) return Fail(file, "Cannot group more than 4 elements");
  const char* closings[] = {" ]2 >", " ]3 >", " ]4 >"};
  Log(closings[count - 2]);
  // No accepting overload leaves a term of access 0, which any call using it refuses.
  const FxBindStatus status =
      MatchFxOverload(store, gFxRegistry, kGroup2Row + count - 2, count, elements, line, term);
  return status == FxBindStatus::kOk ? 1 : FailBind(file, status, line);
}

// "(" [ term { "," term } ] ")" into `args` (at most kFxMaxCallArguments kept) and their
// count.
int ParseFxArguments(SceneParser& parser, ParseStore& store, FxTerm* args, std::uint32_t& n) {
  SceneFile& file = InnermostFile(parser);
  n = 0;
  ReadRawToken(parser);
  Log("( ");
  if (!Is(file.token, ")")) {
    for (;;) {
      if (AtEnd(file)) return Fail(file, "')' expected");
      FxTerm arg;
      if (!ParseFxTerm(parser, store, arg)) return 0;
      if (n < kFxMaxCallArguments) args[n] = arg;
      ++n;
      if (Is(file.token, ",")) {
        ReadRawToken(parser);
        continue;
      }
      if (Is(file.token, ")")) break;
      return Fail(file, AtEnd(file) ? "')' expected" : ", expected");
    }
  }
  ReadRawToken(parser);
  Log(")");
  LogWriteUnsigned(LogStream(), n);
  Log(" ");
  return 1;
}

// The nesting depth of the term being read, for its duration.
struct NestingGuard {
  NestingGuard() { ++gNesting; }
  ~NestingGuard() { --gNesting; }
};

}  // namespace

FxTerm FxNameTerm(const SceneParser& parser, const FxName& name) {
  return NameTerm(parser, name);
}

int FloatConstantTerm(SceneFile& file, ParseStore& store, const float* values, std::uint32_t count,
                      FxTerm& term) {
  const std::int32_t index = FxFloatConstant(store, values, count);
  if (index < 0) return Fail(file, kFxFloatTableFull);
  term = {kFxTermFloat, static_cast<std::uint16_t>(index), kFxAccessRead, kFxTypeValue, 0};
  return 1;
}

int StringConstantTerm(SceneFile& file, ParseStore& store, const char* text, FxTerm& term) {
  const std::int32_t index = FxStringConstant(store, text);
  if (index < 0) return Fail(file, kFxStringTableFull);
  term = {kFxTermString, static_cast<std::uint16_t>(index), kFxAccessRead, kFxTypeString, 0};
  return 1;
}

int ParseSurfaceDefinition(SceneParser& parser, ParseStore& store) {
  SceneFile& file = InnermostFile(parser);
  NameTableClear(gFxKeywords.locals);
  parser.surfaceMark = 0;
  gNesting = 0;
  if (!ExpectToken(parser, "Surface")) return 0;
  if (!AddSurfaceName(file.token)) return Fail(file, kNameTableFullMessage);
  const std::uint32_t position = gFxKeywords.userFx.count - 1;
  SetUserFxDefinition(position, kFxDefinitionPending);
  Log("<fu ");
  Log(file.token);
  Log("> ");
  ReadRawToken(parser);
  if (BeginSurfaceRecord(store, 0) == kFxNoDefinition) return Fail(file, kParseStoreFullMessage);

  if (!Is(file.token, "(")) return Fail(file, "'(' expected");
  ReadRawToken(parser);
  if (!ParseFxParameters(parser, store)) return 0;
  if (!Is(file.token, ")")) return Fail(file, "')' expected");
  ReadRawToken(parser);
  Log("( ");
  for (std::uint32_t i = 0; i < gFxKeywords.locals.count; ++i) {
    Log(gFxKeywords.locals.entries[i].name);
    Log(" ");
  }
  Log(")");

  if (!Is(file.token, "{")) return Fail(file, "'{' expected");
  ReadRawToken(parser);
  while (!Is(file.token, "}") && !AtEnd(file)) {
    Log("\n  ");
    FxTerm statement;
    if (!ParseFxTerm(parser, store, statement)) return 0;
  }
  Log("\n");
  if (!Is(file.token, "}")) return Fail(file, "'}' expected");
  ReadRawToken(parser);

  std::uint32_t definition;
  if (!RegisterSurface(store, gFxRegistry, definition)) return Fail(file, kParseStoreFullMessage);
  SetUserFxDefinition(position, definition);
  return 1;
}

int ParseFxParameters(SceneParser& parser, ParseStore& store) {
  SceneFile& file = InnermostFile(parser);
  if (Is(file.token, ")")) return 1;
  FxRecord& record = VmArrayData<FxRecord>(store.fxRecords)[store.fxRecords.count - 1];
  bool defaults = false;
  for (;;) {
    if (!AddLocalName(file.token)) return Fail(file, kNameTableFullMessage);
    ReadRawToken(parser);
    FxParameterDefault parameter{};
    if (Is(file.token, "=")) {
      ReadRawToken(parser);
      if (Is(file.token, "\"")) {
        StringRecord text;
        if (!ReadString(parser, text)) return 0;
        if (!StringConstantTerm(file, store, text.text, parameter.term)) return 0;
      } else {
        ValueRecord value;
        if (!ReadFloat(parser, value)) return 0;
        if (!FloatConstantTerm(file, store, value.floats, value.count, parameter.term)) return 0;
      }
      defaults = true;
    } else if (defaults) {
      return Fail(file, "Invalid default initialisation");
    }
    auto* slot = VmArrayTryAppend<FxParameterDefault>(store.parameterDefaults);
    if (slot == nullptr) return Fail(file, kParseStoreFullMessage);
    *slot = parameter;
    ++record.parameterCount;
    if (Is(file.token, ")") || AtEnd(file)) return 1;
    if (!Is(file.token, ",")) return Fail(file, ", expected");
    ReadRawToken(parser);
  }
}

int ParseFxTerm(SceneParser& parser, ParseStore& store, FxTerm& term) {
  SceneFile& file = InnermostFile(parser);
  const NestingGuard nesting;
  if (gNesting > kFxMaxNesting) return Fail(file, kFxNestingMessage);
  if (Is(file.token, "[")) return ParseFxGroup(parser, store, term);

  const std::uint32_t line = file.tokenLine;
  if (Is(file.token, "\"")) {
    StringRecord text;
    if (!ReadString(parser, text)) return 0;
    Log("<cs (string) \"");
    Log(text.text);
    Log("\"> ");
    return StringConstantTerm(file, store, text.text, term);
  }
  if (!Is(file.nextToken, "(") && !Is(file.nextToken, "[")) {
    const FxName name = FxResolvePlainName(gFxKeywords, file.token);
    if (name.kind != FxNameKind::kNone) {
      const char* tags[] = {"<vp ", "<vl ", "<vg "};
      Log(tags[name.kind == FxNameKind::kLocal ? 0 : name.kind == FxNameKind::kOutput ? 1 : 2]);
      Log(file.token);
      Log("> ");
      term = NameTerm(parser, name);
      ReadRawToken(parser);
      return 1;
    }
    ValueRecord value;
    if (!ReadFloat(parser, value)) {
      SetErrorAtLine(file, "Invalid parameter call", line);
      return 0;
    }
    LogFloats(value.floats, value.count);
    return FloatConstantTerm(file, store, value.floats, value.count, term);
  }

  if (!ParseFxCall(parser, store, term)) return 0;
  while (Is(file.token, "(")) {
    if (!ParseFxAccess(parser, store, term, line)) return 0;
  }
  while (Is(file.token, "[")) {
    if (!ParseFxSelect(parser, store, term)) return 0;
  }
  return 1;
}

int ParseFxCall(SceneParser& parser, ParseStore& store, FxTerm& term) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;
  const FxName call = FxResolveCallName(gFxKeywords, file.token);
  if (call.kind == FxNameKind::kUserFx || call.kind == FxNameKind::kOperator) {
    const bool user = call.kind == FxNameKind::kUserFx;
    Log(user ? "<fu " : "<fd ");
    Log(file.token);
    Log("> ");
    ReadRawToken(parser);
    if (!Is(file.token, "(")) return Fail(file, "'(' expected");
    FxTerm args[kFxMaxCallArguments];
    std::uint32_t n;
    if (!ParseFxArguments(parser, store, args, n)) return 0;
    if (user) {
      const std::uint32_t kept = n < kFxMaxCallArguments ? n : kFxMaxCallArguments;
      const FxBindStatus status =
          BindFxCall(store, gFxRegistry, call.index, kept, args, line, term);
      return status == FxBindStatus::kOk ? 1 : FailBind(file, status, line);
    }
    return Resolve(file, store, call.index, n, args, line, term);
  }

  // A value followed by an access or a selection.
  const FxName name = FxResolveValueName(gFxKeywords, file.token);
  if (name.kind == FxNameKind::kNone) return Fail(file, "Unknown fx name");
  term = NameTerm(parser, name);
  ReadRawToken(parser);
  if (Is(file.token, "(")) return ParseFxAccess(parser, store, term, line);
  while (Is(file.token, "[")) {
    if (!ParseFxSelect(parser, store, term)) return 0;
  }
  return 1;
}

}  // namespace veskor
