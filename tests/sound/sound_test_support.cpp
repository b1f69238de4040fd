#include "sound_test_support.h"

#include <algorithm>
#include <cstdlib>

#include "platform/sound_device.h"
#include "sound/sound_output.h"

namespace veskor::test {

void LoopbackSoundTest::SetUpTestSuite() {
  SoundDeviceSelect(SoundDeviceKind::kLoopback);
  ASSERT_EQ(InitDirectSound(), 1u);
}

void LoopbackSoundTest::TearDownTestSuite() { ReleaseSoundDevice(); }

std::vector<int> LoopbackSoundTest::Left(std::uint32_t frames) {
  std::vector<std::int16_t> out(std::size_t{2} * frames);
  EXPECT_TRUE(SoundDeviceRender(out.data(), frames));
  std::vector<int> left;
  for (std::uint32_t i = 0; i < frames; ++i) left.push_back(out[2 * i]);
  return left;
}

int LoopbackSoundTest::Peak(std::uint32_t frames) {
  int peak = 0;
  for (int v : Left(frames)) peak = std::max(peak, std::abs(v));
  return peak;
}

std::vector<double> SlotFields(const SampleSlot& slot) {
  return {slot.buffer != nullptr ? 1.0 : 0.0,
          double(slot.dataBytes),
          double(slot.channels),
          double(slot.bitsPerSample),
          double(slot.frames),
          double(slot.sampleRate),
          slot.duration,
          double(slot.looping)};
}

}  // namespace veskor::test
