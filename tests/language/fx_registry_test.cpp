#include "language/fx_registry.h"

#include <gtest/gtest.h>

#include <vector>

#include "language/world.h"
#include "mapengine/fx_executors.h"

namespace veskor {
namespace {

// The registry's blocks, byte by byte.
std::vector<std::uint8_t> Snapshot(const FxRegistry& r) {
  std::vector<std::uint8_t> bytes;
  const auto add = [&bytes](const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  };
  add(r.operations.elements, r.operations.count * sizeof(FxGroupEntry));
  add(r.overloads.headers, r.overloads.headerCount * sizeof(RecordListHeader));
  add(r.overloads.records.base, r.overloads.records.usedBytes);
  add(r.parameters.elements, r.parameters.count * sizeof(FxDescriptor));
  add(r.outputs.elements, r.outputs.count * sizeof(FxOutputDescriptor));
  add(r.globals.elements, r.globals.count * sizeof(FxOutputDescriptor));
  return bytes;
}

TEST(FxRegistry, RowsSignaturesAndDescriptorsAreRegisteredOnce) {
  RegisterBuiltinFunctions();
  const FxRegistry& r = gFxRegistry;
  ASSERT_EQ(r.operations.count, 26u);
  ASSERT_EQ(r.overloads.headerCount, 26u);
  const std::uint32_t parameterCounts[26] = {2, 2, 2, 3, 4, 2, 1, 2, 2, 2, 2, 2, 2,
                                             1, 2, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 4};
  std::uint32_t pooled = 0;
  for (std::uint32_t row = 0; row < 26; ++row) {
    const RecordListHeader& header = FxRegistryOverloads(r, row);
    ASSERT_EQ(header.count, 1u) << row;
    EXPECT_EQ(FxRegistryGroup(r, row).overloadCount, 1u);
    EXPECT_EQ(FxRegistryGroup(r, row).writesFirstArgument, row == 0 || row == 25 ? 1u : 0u);
    const auto* overload = static_cast<const FxOverload*>(header.first);
    EXPECT_EQ(overload, RecordListEntries<FxOverload>(r.overloads, 0) + row);
    EXPECT_EQ(overload->parameterCount, parameterCounts[row]) << row;
    EXPECT_EQ(overload->parameters, VmArrayData<FxDescriptor>(r.parameters) + pooled);
    pooled += overload->parameterCount;
    const std::uint16_t access = row == 0 || row == 25 ? 3 : 1;
    EXPECT_EQ(overload->result.type, 1);
    EXPECT_EQ(overload->result.access, access) << row;
    for (std::uint32_t p = 0; p < overload->parameterCount; ++p) {
      const FxDescriptor& d = overload->parameters[p];
      EXPECT_EQ(d.type, row == 6 ? 2 : 1) << row;  // load takes a string
      EXPECT_EQ(d.access, p == 0 ? access : 1) << row << " " << p;
    }
  }
  EXPECT_EQ(r.parameters.count, pooled);
  const auto executor = [&r](std::uint32_t row) {
    return RecordListEntries<FxOverload>(r.overloads, row)->executor;
  };
  EXPECT_EQ(executor(0), FxAssign);
  EXPECT_EQ(executor(6), FxLoad);
  EXPECT_EQ(executor(24), FxTransform);
  EXPECT_EQ(executor(25), FxDisplace);

  ASSERT_EQ(r.outputs.count, 7u);
  for (std::uint32_t i = 0; i < 7; ++i) {
    const FxOutputDescriptor& d = FxRegistryOutput(r, i);
    EXPECT_EQ(d.type, 1);
    EXPECT_EQ(d.access[0], i < 2 ? 1 : 2) << i;
    EXPECT_EQ(d.access[1] | d.access[15], 0);
  }
  ASSERT_EQ(r.globals.count, 1u);  // viewPoint: a value that can be read
  EXPECT_EQ(FxRegistryGlobal(r, 0).type, 1);
  EXPECT_EQ(FxRegistryGlobal(r, 0).access[0], 1);

  // Write counts belong to the parser and survive a session; the rest stays as it was built.
  FxRegistryOutput(r, 3).writeCount = 2;
  const std::vector<std::uint8_t> first = Snapshot(r);
  gWorld.modelCount = 0;
  RegisterBuiltinFunctions();
  EXPECT_EQ(Snapshot(r), first);
  EXPECT_EQ(gWorld.modelCount, 5u);  // and the built-in models are there again
  FxRegistryOutput(r, 3).writeCount = 0;
}

}  // namespace
}  // namespace veskor
