#include "language/fx_registry.h"

#include <cstring>
#include <initializer_list>

#include "language/world.h"

namespace veskor {

FxRegistry gFxRegistry;

namespace {

// The outputs in dictionary order (point, normal, displace, diffuse, specular, shininess,
// emissive): the first two are read, the rest written.
constexpr std::uint16_t kOutputAccess[kFxOutputCount] = {
    kFxAccessRead,  kFxAccessRead,  kFxAccessWrite, kFxAccessWrite,
    kFxAccessWrite, kFxAccessWrite, kFxAccessWrite};

FxOutputDescriptor ValueDescriptor(std::uint16_t access) {
  FxOutputDescriptor descriptor{};
  descriptor.type = kFxTypeValue;
  descriptor.access[0] = access;  // the parser reads the entry of surfaceMark, which stays 0
  return descriptor;
}

}  // namespace

FxRegistry::~FxRegistry() { FxRegistryRelease(*this); }

void FxRegistryFill(FxRegistry& registry) {
  VmArrayReserve(registry.operations, kFxOperationCapacity * sizeof(FxGroupEntry));
  RecordListsReserve(registry.overloads, kFxOverloadListCapacity,
                     kFxOverloadCapacity * sizeof(FxOverload));
  VmArrayReserve(registry.parameters, kFxParameterCapacity * sizeof(FxDescriptor));
  VmArrayReserve(registry.outputs, kFxDescriptorCapacity * sizeof(FxOutputDescriptor));
  VmArrayReserve(registry.globals, kFxDescriptorCapacity * sizeof(FxOutputDescriptor));

  for (const FxExecutorEntry& row : kFxExecutorTable) {
    *static_cast<FxGroupEntry*>(VmArrayAppend(registry.operations, 1, sizeof(FxGroupEntry))) = {
        1, row.writesFirstArgument};
    auto* parameters = static_cast<FxDescriptor*>(
        VmArrayAppend(registry.parameters, row.parameterCount, sizeof(FxDescriptor)));
    std::memcpy(parameters, row.parameters, row.parameterCount * sizeof(FxDescriptor));
    *RecordListsAppend<FxOverload>(registry.overloads, 1) = {row.executor, row.result, parameters,
                                                             row.parameterCount};
  }
  for (const std::uint16_t access : kOutputAccess) {
    *static_cast<FxOutputDescriptor*>(
        VmArrayAppend(registry.outputs, 1, sizeof(FxOutputDescriptor))) = ValueDescriptor(access);
  }
  // `viewPoint`, the one global input: a value that can be read.
  *static_cast<FxOutputDescriptor*>(VmArrayAppend(
      registry.globals, 1, sizeof(FxOutputDescriptor))) = ValueDescriptor(kFxAccessRead);
  registry.filled = 1;
}

void FxRegistryRelease(FxRegistry& registry) {
  for (VmArray* array :
       {&registry.operations, &registry.parameters, &registry.outputs, &registry.globals}) {
    VmArrayRelease(*array);
  }
  RecordListsRelease(registry.overloads);
  registry.filled = 0;
}

void RegisterBuiltinFunctions() {
  if (gFxRegistry.filled == 0) FxRegistryFill(gFxRegistry);
  WorldClearModels(gWorld);
  RegisterBuiltinModels(gWorld);
}

}  // namespace veskor
