// The sound device on the loopback mixer (22050 Hz, 16-bit stereo), which renders only when
// asked: levels, volumes, pausing, rewinding, looping and the buffers' bookkeeping.
#include "platform/sound_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace veskor {
namespace {

constexpr double kCentredMono = 0.596;  // the mixer's level for a centred mono source

class SoundDeviceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SoundDeviceSelect(SoundDeviceKind::kLoopback);
    ASSERT_TRUE(SoundDeviceOpen());
    ASSERT_EQ(SoundMixerStart(22050, 2, 16), SoundMixerResult::kStarted);
  }
  static void TearDownTestSuite() { SoundDeviceClose(); }

  // A buffer of `frames` frames, every sample `value`.
  static SoundBuffer* Constant(std::uint32_t channels, std::uint32_t bits, std::uint32_t frames,
                               int value) {
    const std::uint32_t bytes = frames * channels * bits / 8;
    SoundBuffer* buffer = SoundBufferCreate(channels, bits, 22050, bytes);
    std::uint32_t locked = 0;
    std::uint8_t* data = SoundBufferLock(buffer, &locked);
    EXPECT_EQ(locked, bytes);
    for (std::uint32_t i = 0; i < bytes; i += bits / 8)
      if (bits == 8)
        data[i] = static_cast<std::uint8_t>(value);
      else
        std::memcpy(data + i, &value, 2);
    EXPECT_TRUE(SoundBufferUnlock(buffer));
    return buffer;
  }

  // The left channel of the next `frames` frames.
  static std::vector<int> Left(std::uint32_t frames) {
    std::vector<std::int16_t> out(2 * frames);
    EXPECT_TRUE(SoundDeviceRender(out.data(), frames));
    std::vector<int> left;
    for (std::uint32_t i = 0; i < frames; ++i) left.push_back(out[2 * i]);
    return left;
  }
};

TEST_F(SoundDeviceTest, LevelFollowsTheVolumeAndOutOfRangeVolumesAreRefused) {
  SoundBuffer* buffer = Constant(1, 16, 20000, 10000);
  SoundBufferPlay(buffer, false);
  EXPECT_NEAR(Left(100)[50], 10000 * kCentredMono, 10);  // output starts 20-30 frames late
  struct Case {
    std::int32_t volume;
    bool accepted;
    double gain;  // of the level after the change
  };
  const Case cases[] = {{-602, true, 0.5}, {1, false, 0.5},    {-10001, false, 0.5},
                        {0, true, 1.0},    {-2000, true, 0.1}, {-10000, true, 0.0}};
  for (const Case& c : cases) {
    EXPECT_EQ(SoundBufferSetVolume(buffer, c.volume), c.accepted) << c.volume;
    Left(2500);  // the mixer ramps to the new gain
    EXPECT_NEAR(Left(10)[5], 10000 * kCentredMono * c.gain, 10) << c.volume;
  }
  EXPECT_EQ(SoundBufferQuery(buffer).volume, -10000);
  SoundBufferRelease(buffer);
}

TEST_F(SoundDeviceTest, StopKeepsThePlaceRewindGoesBackAndPlayGoesOn) {
  SoundBuffer* buffer = Constant(1, 16, 5000, 8000);
  auto status = [&] {
    const SoundBufferStatus s = SoundBufferQuery(buffer);
    return std::vector<std::uint32_t>{s.playing, s.paused, s.looping, s.position};
  };
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{0, 0, 0, 0}));
  SoundBufferPlay(buffer, false);
  Left(1000);
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{1, 0, 0, 1000}));
  SoundBufferPlay(buffer, true);  // playing: goes on, only the loop flag changes
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{1, 0, 1, 1000}));
  SoundBufferStop(buffer);
  Left(500);
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{0, 1, 1, 1000}));
  EXPECT_LE(std::abs(Left(10)[5]), 2);  // silent
  SoundBufferPlay(buffer, false);
  Left(500);
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{1, 0, 0, 1500}));
  SoundBufferRewind(buffer);  // while playing: from the start, still playing
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{1, 0, 0, 0}));
  Left(4990);
  EXPECT_TRUE(SoundBufferQuery(buffer).playing);
  Left(20);  // ran out
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{0, 0, 0, 0}));
  SoundBufferPlay(buffer, true);  // loops past its end
  Left(12000);
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{1, 0, 1, 2000}));
  SoundBufferStop(buffer);
  SoundBufferRewind(buffer);
  EXPECT_EQ(status(), (std::vector<std::uint32_t>{0, 0, 1, 0}));
  SoundBufferRelease(buffer);
}

TEST_F(SoundDeviceTest, FormatsSizesAndBookkeeping) {
  struct Format {
    std::uint32_t channels, bits, rate;
    bool playable;
  };
  const Format formats[] = {{1, 16, 22050, true},  {2, 8, 22050, true},  {0, 16, 22050, false},
                            {3, 16, 22050, false}, {1, 0, 22050, false}, {1, 24, 22050, false},
                            {1, 16, 99, false},    {1, 16, 100, true},   {1, 16, 200000, true},
                            {1, 16, 200001, false}};
  for (const Format& f : formats)
    EXPECT_EQ(SoundFormatPlayable(f.channels, f.bits, f.rate), f.playable)
        << f.channels << " " << f.bits << " " << f.rate;

  const std::uint32_t held = SoundBufferCount();
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
  EXPECT_EQ(SoundBufferCount(), held + 2);
  SoundBufferRelease(big);
  SoundBufferRelease(big);  // once only
  EXPECT_EQ(SoundBufferCount(), held + 1);

  // 8-bit samples are unsigned: 192 is half the full level; a stereo source is not panned.
  SoundBuffer* eight = Constant(2, 8, 3000, 192);
  SoundBufferPlay(eight, false);
  EXPECT_NEAR(Left(100)[50], 16384, 10);
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
