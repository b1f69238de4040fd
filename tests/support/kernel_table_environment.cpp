// Linked (as veskor_test_kernel_table) into test binaries whose code calls kernels through the
// program's kernel table, which the program fills first thing at start: fills it once before
// the first test.
#include <gtest/gtest.h>

#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

class KernelTableEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { InitKernelTable(); }
};

[[maybe_unused]] ::testing::Environment* const kKernelTableEnvironment =
    ::testing::AddGlobalTestEnvironment(new KernelTableEnvironment);

}  // namespace
}  // namespace veskor
