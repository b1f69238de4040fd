#include "language/fx_keywords.h"

#include <initializer_list>

#include "mapengine/fx_executor_table.h"

namespace veskor {

FxKeywords gFxKeywords;

namespace {

// Appends `name` valued with the table's count, its index.
bool InsertIndexed(NameTable& table, const char* name) {
  const std::uint32_t value = table.count;
  return NameTableInsert(table, name, &value);
}

struct Lookup {
  const NameTable* table;
  FxNameKind kind;
};

FxName Resolve(const char* name, std::initializer_list<Lookup> order) {
  for (const Lookup& lookup : order) {
    std::uint32_t position;
    if (NameTableFind(*lookup.table, name, position)) return {lookup.kind, position};
  }
  return {FxNameKind::kNone, 0};
}

}  // namespace

FxKeywords::~FxKeywords() {
  for (NameTable* table : {&globals, &outputs, &operators, &userFx, &locals}) {
    NameTableRelease(*table);
  }
}

void InitFxKeywords() {
  FxKeywords& k = gFxKeywords;
  if (k.filled == 0) {
    NameTableInit(k.globals, kFxGlobalSlots, NameStoreBytes(kFxGlobalSlots, 4096));
    NameTableInit(k.outputs, kFxOutputSlots, NameStoreBytes(kFxOutputSlots, 4096));
    NameTableInit(k.operators, kFxOperatorSlots, NameStoreBytes(kFxOperatorSlots, 8192));
    NameTableInit(k.userFx, kFxUserFxSlots, NameStoreBytes(kFxUserFxSlots, 8192));
    NameTableInit(k.locals, kFxLocalSlots, NameStoreBytes(kFxLocalSlots, 4096));
    for (const char* name : kFxOutputNames) InsertIndexed(k.outputs, name);
    for (const char* name : kFxGlobalNames) InsertIndexed(k.globals, name);
    // The operator names are those of the registry's rows, which share their indices.
    for (std::uint32_t row = 0; row < kFxBuiltinOperators; ++row) {
      InsertIndexed(k.operators, kFxExecutorTable[row].name);
    }
    for (std::uint32_t row = kFxBuiltinOperators; row < kFxNamedOperators; ++row) {
      AddFxFunction(kFxExecutorTable[row].name);
    }
    k.filled = 1;
  }
  NameTableClear(k.userFx);
  NameTableClear(k.locals);
}

bool AddFxFunction(const char* name) { return InsertIndexed(gFxKeywords.operators, name); }
bool AddSurfaceName(const char* name) { return InsertIndexed(gFxKeywords.userFx, name); }
bool AddLocalName(const char* name) { return InsertIndexed(gFxKeywords.locals, name); }

void SetUserFxDefinition(std::uint32_t position, std::uint32_t definition) {
  if (position < gFxKeywords.userFx.count) gFxKeywords.userFx.entries[position].value = definition;
}

std::uint32_t UserFxDefinition(std::uint32_t position) {
  const NameTable& table = gFxKeywords.userFx;
  return position < table.count ? table.entries[position].value : kFxNoDefinition;
}

FxName FxResolveCallName(const FxKeywords& k, const char* name) {
  return Resolve(name, {{&k.userFx, FxNameKind::kUserFx}, {&k.operators, FxNameKind::kOperator}});
}

FxName FxResolvePlainName(const FxKeywords& k, const char* name) {
  return Resolve(name, {{&k.locals, FxNameKind::kLocal},
                        {&k.outputs, FxNameKind::kOutput},
                        {&k.globals, FxNameKind::kGlobal}});
}

FxName FxResolveValueName(const FxKeywords& k, const char* name) {
  return Resolve(name, {{&k.outputs, FxNameKind::kOutput},
                        {&k.globals, FxNameKind::kGlobal},
                        {&k.locals, FxNameKind::kLocal}});
}

}  // namespace veskor
