// The FxRegistry: every operation that fx programs can call, one row per operator of the fx
// operators dictionary (and row 25, the displacement, which has no name), each with its
// overloads: the executor that runs it and the type and access codes of its result and
// parameters. Also the descriptors of the surface outputs and of the global inputs. Filled
// once by RegisterBuiltinFunctions from the fx executors' table, then only read: the fx call
// resolution matches calls against it, the compile step binds the chosen executors.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"
#include "language/record_lists.h"
#include "mapengine/fx_executor_table.h"

namespace veskor {

struct FxGroupEntry {
  std::uint32_t overloadCount;
  std::uint32_t writesFirstArgument;  // 1 for the assignment and the displacement
};

struct FxOverload {
  FxExecutor executor;
  FxDescriptor result;
  FxDescriptor* parameters;  // in the registry's parameter pool
  std::uint32_t parameterCount;
};

// The access codes of an output or global input, one per value of the parser's surfaceMark.
inline constexpr std::uint32_t kFxSurfaceMarks = 16;

struct FxOutputDescriptor {
  std::uint16_t type;
  std::uint16_t writeCount;  // raised by the fx parser at every assignment, never reset
  std::uint16_t access[kFxSurfaceMarks];
};

inline constexpr std::uint32_t kFxRegistryRows = kFxExecutorCount;  // 26
inline constexpr std::uint32_t kFxDisplaceRow = 25;
inline constexpr std::uint32_t kFxOutputCount = 7;

// Reserves, in entries.
inline constexpr std::uint32_t kFxOperationCapacity = 256;
inline constexpr std::uint32_t kFxOverloadCapacity = 512;
inline constexpr std::uint32_t kFxOverloadListCapacity = 128;
inline constexpr std::uint32_t kFxParameterCapacity = 2048;
inline constexpr std::uint32_t kFxDescriptorCapacity = 2048 / sizeof(FxOutputDescriptor);

struct FxRegistry {
  FxRegistry() = default;
  ~FxRegistry();
  FxRegistry(const FxRegistry&) = delete;
  FxRegistry& operator=(const FxRegistry&) = delete;

  VmArray operations{};      // FxGroupEntry, one per row
  RecordLists overloads{};   // FxOverload: one list per row, in row order
  VmArray parameters{};      // FxDescriptor pool
  VmArray outputs{};         // FxOutputDescriptor, in the order of the outputs dictionary
  VmArray globals{};         // FxOutputDescriptor, in the order of the globals dictionary
  std::uint32_t filled = 0;  // set once RegisterBuiltinFunctions has filled the registry
};

// The program's registry.
extern FxRegistry gFxRegistry;

// Fills the registry on its first call (rows 0 to 25, the seven output descriptors and the
// descriptor of the global input `viewPoint`); every call then empties the World and adds the
// built-in models again.
void RegisterBuiltinFunctions();

// The same on a given registry, without touching the World.
void FxRegistryFill(FxRegistry& registry);
// Parks every block; the registry is empty and may be filled again.
void FxRegistryRelease(FxRegistry& registry);

inline const FxGroupEntry& FxRegistryGroup(const FxRegistry& registry, std::uint32_t row) {
  return VmArrayData<FxGroupEntry>(registry.operations)[row];
}
inline const RecordListHeader& FxRegistryOverloads(const FxRegistry& registry, std::uint32_t row) {
  return registry.overloads.headers[row];
}
inline FxOutputDescriptor& FxRegistryOutput(const FxRegistry& registry, std::uint32_t output) {
  return VmArrayData<FxOutputDescriptor>(registry.outputs)[output];
}
inline FxOutputDescriptor& FxRegistryGlobal(const FxRegistry& registry, std::uint32_t global) {
  return VmArrayData<FxOutputDescriptor>(registry.globals)[global];
}

}  // namespace veskor
