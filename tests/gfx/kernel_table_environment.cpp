// The graphics core calls its kernels through the kernel table, which the program fills first
// thing at start; each graphics test binary fills it once before its first test.
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
