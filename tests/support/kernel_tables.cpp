#include "support/kernel_tables.h"

#include <cstring>

namespace veskor::test {

KernelTables::KernelTables() {
  FillKernelTable(plain, false);
  FillKernelTable(sse, true);
}

const KernelTables& Tables() {
  static const KernelTables tables;
  return tables;
}

std::array<std::uintptr_t, kKernelTableEntries> Entries(const KernelTable& table) {
  std::array<std::uintptr_t, kKernelTableEntries> words;
  std::memcpy(words.data(), &table, sizeof table);
  return words;
}

}  // namespace veskor::test
