// Kernel tables for tests and benchmarks: a plain and an SSE table filled side by side, suites
// run over both, the raw entries of a table, and a scope that fills the program's own table as
// the program does at start. Binaries whose code calls kernels through the program's table
// from the first test on link veskor_test_kernel_table instead (kernel_table_environment.cpp).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "mapengine/kernel_table.h"

namespace veskor::test {

// A plain and an SSE table filled once for the whole binary.
struct KernelTables {
  KernelTable plain{}, sse{};
  KernelTables();
};
const KernelTables& Tables();
inline const KernelTable& Tables(bool sse) { return sse ? Tables().sse : Tables().plain; }

// Both paths, for TEST_P suites instantiated over (false, true) with VESKOR_BOTH_PATHS.
class BothPaths : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return Tables(GetParam()); }
};
#define VESKOR_BOTH_PATHS(suite)                                               \
  INSTANTIATE_TEST_SUITE_P(PlainAndSse, suite, ::testing::Values(false, true), \
                           [](const auto& path) { return path.param ? "Sse" : "Plain"; })

// The entries of a table as words, in table order (0 for an empty entry).
std::array<std::uintptr_t, kKernelTableEntries> Entries(const KernelTable& table);

// Fills gKernelTable as the program does; puts the table back as it was at the end of the
// scope.
class ScopedKernelTable {
 public:
  ScopedKernelTable() : saved_(gKernelTable) { InitKernelTable(); }
  ~ScopedKernelTable() { gKernelTable = saved_; }
  ScopedKernelTable(const ScopedKernelTable&) = delete;
  ScopedKernelTable& operator=(const ScopedKernelTable&) = delete;

 private:
  KernelTable saved_;
};

}  // namespace veskor::test
