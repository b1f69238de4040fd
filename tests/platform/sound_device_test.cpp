// The sound device on the loopback mixer (22050 Hz, 16-bit stereo), which renders only when
// asked: volumes, pausing, rewinding, looping and the buffers' bookkeeping.
#include "platform/sound_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace veskor {
namespace {

class SoundDeviceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SoundDeviceSelect(SoundDeviceKind::kLoopback);
    ASSERT_TRUE(SoundDeviceOpen());
    ASSERT_EQ(SoundMixerStart(22050, 2, 16), SoundMixerResult::kStarted);
  }
  static void TearDownTestSuite() { SoundDeviceClose(); }

  // A mono 16-bit buffer of `frames` frames, every sample `value`.
  static SoundBuffer* Constant(std::uint32_t frames, std::int16_t value) {
    SoundBuffer* buffer = SoundBufferCreate(1, 16, 22050, 2 * frames);
    std::uint32_t bytes = 0;
    std::uint8_t* data = SoundBufferLock(buffer, &bytes);
    EXPECT_EQ(bytes, 2 * frames);
    for (std::uint32_t i = 0; i < bytes; i += 2) std::memcpy(data + i, &value, 2);
    EXPECT_TRUE(SoundBufferUnlock(buffer));
    return buffer;
  }
  // The left channel of the mix, `frames` frames on.
  static int LeftAfter(std::uint32_t frames) {
    std::vector<std::int16_t> out(2 * frames);
    EXPECT_TRUE(SoundDeviceRender(out.data(), frames));
    return out[2 * frames - 2];
  }
};

TEST_F(SoundDeviceTest, VolumesSetTheGainAndOutOfRangeOnesAreRefused) {
  SoundBuffer* buffer = Constant(20000, 10000);
  SoundBufferPlay(buffer, false);
  EXPECT_NEAR(LeftAfter(100), 10000 * 0.596, 10);  // a centred mono source
  const std::pair<std::int32_t, bool> volumes[] = {{-602, true}, {1, false}, {-10001, false}};
  for (const auto& [volume, accepted] : volumes) {
    EXPECT_EQ(SoundBufferSetVolume(buffer, volume), accepted) << volume;
    EXPECT_NEAR(LeftAfter(2500), 10000 * 0.596 / 2, 10) << volume;  // after the mixer's ramp
  }
  EXPECT_EQ(SoundBufferQuery(buffer).volume, -602);
  SoundBufferRelease(buffer);
}

TEST_F(SoundDeviceTest, StopKeepsThePlaceRewindGoesBackAndPlayGoesOn) {
  SoundBuffer* buffer = Constant(5000, 8000);
  auto status = [&] {
    const SoundBufferStatus s = SoundBufferQuery(buffer);
    return std::vector<std::uint32_t>{s.playing, s.paused, s.looping, s.position};
  };
  using Status = std::vector<std::uint32_t>;
  SoundBufferPlay(buffer, false);
  LeftAfter(1000);
  EXPECT_EQ(status(), (Status{1, 0, 0, 1000}));
  SoundBufferPlay(buffer, true);  // playing: goes on, only the loop flag changes
  EXPECT_EQ(status(), (Status{1, 0, 1, 1000}));
  SoundBufferStop(buffer);
  EXPECT_LE(std::abs(LeftAfter(500)), 2);  // silent
  EXPECT_EQ(status(), (Status{0, 1, 1, 1000}));
  SoundBufferPlay(buffer, false);
  LeftAfter(500);
  EXPECT_EQ(status(), (Status{1, 0, 0, 1500}));
  SoundBufferRewind(buffer);  // while playing: from the start, still playing
  EXPECT_EQ(status(), (Status{1, 0, 0, 0}));
  LeftAfter(4990);
  EXPECT_TRUE(SoundBufferQuery(buffer).playing);
  LeftAfter(20);  // ran out
  EXPECT_EQ(status(), (Status{0, 0, 0, 0}));
  SoundBufferPlay(buffer, true);  // loops past its end
  LeftAfter(12000);
  EXPECT_EQ(status(), (Status{1, 0, 1, 2000}));
  SoundBufferStop(buffer);
  SoundBufferRewind(buffer);
  EXPECT_EQ(status(), (Status{0, 0, 1, 0}));
  SoundBufferRelease(buffer);
}

TEST_F(SoundDeviceTest, FormatsSizesAndBookkeeping) {
  struct Format {
    std::uint32_t channels, bits, rate;
    bool playable;
  };
  const Format formats[] = {{2, 8, 22050, true},  {0, 16, 22050, false}, {3, 16, 22050, false},
                            {1, 0, 22050, false}, {1, 24, 22050, false}, {1, 16, 99, false},
                            {1, 16, 100, true},   {1, 16, 200000, true}, {1, 16, 200001, false}};
  for (const Format& f : formats)
    EXPECT_EQ(SoundFormatPlayable(f.channels, f.bits, f.rate), f.playable)
        << f.channels << " " << f.bits << " " << f.rate;

  EXPECT_EQ(SoundBufferCreate(1, 16, 22050, 0), nullptr);
  EXPECT_EQ(SoundBufferCreate(1, 16, 22050, kSoundBufferBytesMax + 1), nullptr);
  EXPECT_EQ(SoundBufferCreate(3, 16, 22050, 6), nullptr);
  SoundBuffer* big = SoundBufferCreate(1, 8, 22050, kSoundBufferBytesMax);
  ASSERT_NE(big, nullptr);  // made; its memory only comes with the lock
  SoundBuffer* odd = SoundBufferCreate(2, 16, 22050, 7);  // one frame and 3 bytes over
  std::uint32_t bytes = 0;
  EXPECT_FALSE(SoundBufferUnlock(odd));  // nothing locked
  ASSERT_NE(SoundBufferLock(odd, &bytes), nullptr);
  EXPECT_EQ(SoundBufferLock(odd, &bytes), nullptr);  // locked already
  EXPECT_TRUE(SoundBufferUnlock(odd));
  EXPECT_EQ(SoundBufferLock(odd, &bytes), nullptr);  // filled once only
  EXPECT_EQ(SoundBufferCount(), 2u);
  SoundBufferRelease(big);
  SoundBufferRelease(big);  // once only
  EXPECT_EQ(SoundBufferCount(), 1u);
  while (SoundBufferCount() < kSoundBufferMax)
    ASSERT_NE(SoundBufferCreate(1, 16, 22050, 2), nullptr);
  EXPECT_EQ(SoundBufferCreate(1, 16, 22050, 2), nullptr);
  SoundDeviceClose();  // releases what is left
  EXPECT_EQ(SoundBufferCount(), 0u);
  EXPECT_FALSE(SoundDeviceRender(nullptr, 0));
  SetUpTestSuite();
}

}  // namespace
}  // namespace veskor
