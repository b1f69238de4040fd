// Helpers for kernel tests: the plain and SSE tables side by side, the table's entries as
// words, and float comparisons in units in the last place.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "mapengine/kernel_table.h"

namespace veskor::test {

// A plain and an SSE table filled once for the whole test binary.
struct KernelTables {
  KernelTable plain{};
  KernelTable sse{};
  KernelTables() {
    FillKernelTable(plain, false);
    FillKernelTable(sse, true);
  }
};
inline const KernelTables& Tables() {
  static const KernelTables tables;
  return tables;
}

inline std::array<std::uintptr_t, kKernelTableEntries> Entries(const KernelTable& table) {
  std::array<std::uintptr_t, kKernelTableEntries> words;
  std::memcpy(words.data(), &table, sizeof table);
  return words;
}

// The size of one unit in the last place of a float of magnitude |x| (the smallest subnormal
// step for 0).
inline double Ulp(double x) {
  const float f = static_cast<float>(std::fabs(x));
  if (!std::isfinite(f)) return INFINITY;
  return double{std::nextafter(f, INFINITY)} - double{f};
}

}  // namespace veskor::test
