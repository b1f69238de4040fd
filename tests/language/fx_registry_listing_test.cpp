// The registry listing written to a memory log and compared as text: an empty registry, and a
// small one with two rows (one of two overloads, one without any), an output and a global.
#include "language/fx_registry_listing.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace veskor {
namespace {

std::string Listing(const FxRegistry& registry) {
  std::ostringstream text;
  SessionLogSetStream(&text);
  EXPECT_EQ(&ListNodeTable(registry), &LogStream());
  SessionLogClose();
  return text.str();
}

std::uint32_t Executor() { return 1; }

TEST(ListNodeTable, WritesRowsOverloadsAndDescriptorsTokenByToken) {
  FxRegistry empty;
  EXPECT_EQ(Listing(empty), "\n\n");

  FxRegistry r;
  VmArrayReserve(r.operations, 256);
  VmArrayReserve(r.parameters, 256);
  VmArrayReserve(r.outputs, 2048);
  VmArrayReserve(r.globals, 2048);
  RecordListsReserve(r.overloads, 4, 1024);
  *static_cast<FxGroupEntry*>(VmArrayAppend(r.operations, 1, sizeof(FxGroupEntry))) = {2, 1};
  *static_cast<FxGroupEntry*>(VmArrayAppend(r.operations, 1, sizeof(FxGroupEntry))) = {0, 0};
  auto* params = static_cast<FxDescriptor*>(VmArrayAppend(r.parameters, 3, sizeof(FxDescriptor)));
  params[0] = {7, 3};
  params[1] = {2, 2};
  params[2] = {9, 1};
  FxOverload* o = RecordListsAppend<FxOverload>(r.overloads, 2);
  o[0] = {Executor, {5, 2}, params, 2};
  o[1] = {nullptr, {1, 0x7}, params + 2, 1};
  RecordListsAppend<FxOverload>(r.overloads, 0);
  auto* out = static_cast<FxOutputDescriptor*>(
      VmArrayAppend(r.outputs, 1, sizeof(FxOutputDescriptor)));
  *out = {4, 3, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6}};
  auto* global = static_cast<FxOutputDescriptor*>(
      VmArrayAppend(r.globals, 1, sizeof(FxOutputDescriptor)));
  *global = {12, 0, {}};

  std::ostringstream pointer;
  pointer << "0x" << std::hex << std::uppercase;
  pointer.width(8);
  pointer.fill('0');
  pointer << reinterpret_cast<std::uintptr_t>(&Executor);
  std::string zeros;
  for (int k = 0; k < 12; ++k) zeros += "[0|0] ";
  const std::string want =
      "[2   1]\t[" + pointer.str() + "   5   1|0   2]\t[7   1|1] [2   1|0] \n\t"
      "[0x00000000   1   1|1   1]\t[9   0|1] \n\t\n"
      "[0   0]\t\n"
      "[4] [0|1] [1|0] [1|1] " + zeros + "[1|0] \n"
      "\n"
      "[12] " + zeros + "[0|0] [0|0] [0|0] [0|0] \n"
      "\n";
  EXPECT_EQ(Listing(r), want);
}

}  // namespace
}  // namespace veskor
