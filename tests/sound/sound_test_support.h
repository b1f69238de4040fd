// What the sound tests share: sound on the loopback mixer for a whole suite, sample files
// written into a temporary directory, and the mixed output read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/sample_slot.h"
#include "support/temp_dir.h"

namespace veskor::test {

// Each suite of it starts sound on the loopback mixer and releases the device at its end.
class LoopbackSoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // The left channel of the next `frames` mixed frames.
  static std::vector<int> Left(std::uint32_t frames);
  // The largest magnitude of the left channel over the next `frames` frames.
  static int Peak(std::uint32_t frames);

  TempDir dir_{"veskor_sound"};
};

// A slot's eight fields, the buffer as 0 or 1.
std::vector<double> SlotFields(const SampleSlot& slot);

}  // namespace veskor::test
