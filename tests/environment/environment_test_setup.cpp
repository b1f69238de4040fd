// The environment code calls its kernels through the program's kernel table and reads the
// face direction tables, which the program fills and builds at start; each test binary does
// the same once before its first test.
#include <gtest/gtest.h>

#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

class EnvironmentTestSetup : public ::testing::Environment {
 public:
  void SetUp() override {
    InitKernelTable();
    BuildFaceDirectionTables();
  }
};

[[maybe_unused]] ::testing::Environment* const kEnvironmentTestSetup =
    ::testing::AddGlobalTestEnvironment(new EnvironmentTestSetup);

}  // namespace
}  // namespace veskor
