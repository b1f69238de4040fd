// Sound bank playback on the loopback mixer, which plays nothing unless asked to render: what
// each sample is doing (playing, paused, looping, its volume) is read back after every frame
// at times set on the frame clock.
#include "sound/sound_banks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/frame_clock.h"
#include "platform/random.h"
#include "platform/sound_device.h"
#include "sound/sample_loader.h"
#include "sound/sound_output.h"
#include "sound_test_support.h"
#include "support/sound_files.h"

namespace veskor {
namespace {

class SoundBanksTest : public test::LoopbackSoundTest {
 protected:
  void SetUp() override {
    wav_ = dir_.Write("s.wav", test::EncodeWav({.data = test::ConstantPcm16(2000, 1, 10000)}));
    FrameClockStartAt(0);
    RandomSeed(1);
  }
  void TearDown() override {
    SampleBankClear(bank());
    gWorld.soundBankCount = 0;
  }
  static SampleBank& bank() { return gWorld.soundBanks[0]; }

  // The only bank of the World: one loaded sample a duration, the program's flags, a box at the
  // origin with the near volume 1 at 0 and the far volume 0 at 100.
  void SetUpBank(const std::vector<float>& durations, std::uint32_t flags, float overlap) {
    SampleBank& b = bank();
    SampleBankClear(b);
    for (std::uint32_t i = 0; i < durations.size(); ++i) {
      ASSERT_EQ(LoadWavSound(wav_.c_str(), b.slots[i]), 1u);
      b.slots[i].duration = durations[i];
    }
    b.sampleCount = static_cast<std::uint32_t>(durations.size());
    b.programFlags = flags;
    b.kind = flags & 28;
    b.even = b.kind == kSoundProgramRan ? 2 : flags & 2;
    b.loop = flags & 1;
    b.overlap = overlap;
    b.farDistance = 100;
    gWorld.soundBankCount = 1;
  }

  static void Frame(float time, float cameraX) {
    FrameClockTickAt(static_cast<std::uint64_t>(std::llround(time * 1e9)));
    Camera camera;
    camera.position[0] = cameraX;
    camera.position[1] = camera.position[2] = 0;
    UpdateEmitterAttenuation(camera, gWorld);
  }

  // Bit i: sample i is playing, paused or looping.
  static std::uint32_t Mask(bool SoundBufferStatus::*field) {
    std::uint32_t mask = 0;
    for (std::uint32_t i = 0; i < bank().sampleCount; ++i)
      if (SoundBufferQuery(bank().slots[i].buffer).*field) mask |= 1u << i;
    return mask;
  }
  static std::int32_t Volume(std::uint32_t sample) {
    return SoundBufferQuery(bank().slots[sample].buffer).volume;
  }

  std::string wav_;
};

// A seed whose next draw is 32767, the only draw that picks the last of two samples.
std::uint32_t SeedDrawingTheTop() {
  for (std::uint32_t seed = 0;; ++seed)
    if (((seed * 214013u + 2531011u) >> 16 & 0x7FFF) == 0x7FFF) return seed;
}

TEST_F(SoundBanksTest, ProgramsStepThroughTheirSamples) {
  struct Step {
    float time;
    float cameraX;
    std::uint32_t playingMask, current, bankPlaying;
  };
  struct Case {
    const char* name;
    std::uint32_t flags;
    float overlap;
    std::vector<float> durations;
    bool drawTheTop;  // the first random draw is 32767
    std::uint32_t loopingMask;
    std::vector<Step> steps;  // at time 0 a session's start, else a frame
  };
  // Steps: {time, camera x, playing samples (bit i: sample i), current, bank playing}.
  // clang-format off
  const Case cases[] = {
      {"seq of three", 8, 0, {1, 1, 1}, false, 0,
       {{0, 0, 1, 0, 1}, {0.5, 0, 1, 0, 1}, {1, 0, 2, 1, 1}, {2, 0, 4, 2, 1}, {3, 0, 4, 2, 0},
        {4, 0, 4, 2, 0}}},
      {"seq of three, even", 10, 0, {1, 1, 1}, false, 0,
       {{0, 0, 1, 0, 1}, {1, 0, 2, 1, 1}, {2, 0, 4, 2, 1}, {3, 0, 1, 0, 1}, {4, 0, 2, 1, 1}}},
      {"overlap 0.5", 10, 0.5f, {1, 1, 1}, false, 0,
       {{0, 0, 1, 0, 1}, {0.25, 0, 1, 0, 1}, {0.5, 0, 3, 0, 1}, {1, 0, 2, 1, 1},
        {1.25, 0, 6, 1, 1}, {1.5, 0, 4, 2, 1}}},
      {"overlap -1", 10, -1, {1, 1, 1}, false, 0,
       {{0, 0, 1, 0, 1}, {1, 0, 0, 0, 1}, {1.5, 0, 0, 0, 1}, {2, 0, 2, 1, 1}, {3, 0, 0, 1, 1},
        {4, 0, 4, 2, 1}}},
      {"ran of two", 16, 0, {1, 1}, false, 0, {{0, 0, 1, 0, 1}, {1, 0, 1, 0, 1}, {2, 0, 1, 0, 1}}},
      {"ran of two, top draw", 16, 0, {1, 1}, true, 0, {{0, 0, 2, 1, 1}, {1, 0, 1, 0, 1}}},
      {"par", 4, 0, {1, 3}, false, 0, {{0, 0, 3, 0, 1}, {2.5, 0, 3, 0, 1}, {3, 0, 3, 0, 0}}},
      {"par, even", 6, 0, {1, 3}, false, 3, {{0, 0, 3, 0, 1}, {5, 0, 3, 0, 1}}},
      {"seq by proximity", 9, 0, {1}, false, 0,
       {{0, 0, 0, 0, 0}, {0.5, 150, 0, 0, 0}, {1, 50, 1, 0, 1}, {2, 50, 1, 0, 0},
        {2.5, 50, 1, 0, 0}, {3, 100, 1, 0, 0}, {3.5, 99.9f, 1, 0, 1}, {0, 0, 1, 0, 0},
        {0.5, 50, 1, 0, 1}}},
      {"par by proximity", 7, 0, {1, 1}, false, 3,
       {{0, 0, 0, 0, 0}, {1, 100, 0, 0, 0}, {2, 99.9f, 3, 0, 1}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SetUpBank(c.durations, c.flags, c.overlap);
    if (c.drawTheTop) RandomSeed(SeedDrawingTheTop());
    for (const Step& s : c.steps) {
      if (s.time == 0) {  // a session: the parse before it left the bank idle
        bank().playing = 0;
        FrameClockStartAt(0);
        StartSoundBanks(gWorld);
      } else {
        Frame(s.time, s.cameraX);
      }
      const std::string where = std::string(c.name) + " at " + std::to_string(s.time);
      EXPECT_EQ(Mask(&SoundBufferStatus::playing), s.playingMask) << where;
      EXPECT_EQ(Mask(&SoundBufferStatus::paused), 0u) << where;  // stops always rewind
      EXPECT_EQ(bank().current, s.current) << where;
      EXPECT_EQ(bank().playing, s.bankPlaying) << where;
    }
    EXPECT_EQ(Mask(&SoundBufferStatus::looping), c.loopingMask) << c.name;
  }
}

TEST_F(SoundBanksTest, VolumesFollowTheDistanceAndAreClamped) {
  struct Mix {
    float bankVolume, correction;
    std::int32_t hundredths;
  };
  const Mix mixes[] = {{1, 0, 0}, {0.5f, 0, -5000},       {0, 0, -10000},  {0.75f, -0.25f, -5000},
                       {1, 1, 0}, {0.25f, -0.5f, -10000}, {0.9f, 0, -1000}};
  for (const Mix& m : mixes) {
    bank().volume = m.bankVolume;
    bank().samples[0].volumeCorrection = m.correction;
    EXPECT_EQ(SampleVolume(bank(), 0), m.hundredths) << m.bankVolume << " " << m.correction;
  }
  bank().samples[0].volumeCorrection = 0;

  // Sequence with overlap: the current and the following sample take every change.
  SetUpBank({1, 1}, 10, 0.5f);
  bank().samples[1].volumeCorrection = -0.25f;
  StartSoundBanks(gWorld);
  Frame(0.5, 25);  // volume 0.75; the second starts at 0.75 + its correction
  EXPECT_EQ(std::vector<std::int32_t>({Volume(0), Volume(1)}),
            std::vector<std::int32_t>({-2500, -5000}));
  bank().volume = 0.5f;  // changes of at most 1e-5 are not sent
  bank().appliedVolume = 0.5f + 0.9e-5f;
  bank().samples[0].volumeCorrection = 0.5f;
  UpdateSoundBank(bank());
  EXPECT_EQ(Volume(0), -2500);
  bank().appliedVolume = 0.5f + 1.1e-5f;
  UpdateSoundBank(bank());
  EXPECT_EQ(Volume(0), 0);
  EXPECT_EQ(bank().appliedVolume, 0.5f);

  // A parallel bank: every sample at the start and at every change.
  SetUpBank({1, 1, 1}, 6, 0);
  bank().volume = 0.5f;
  StartSoundBanks(gWorld);
  EXPECT_EQ(std::vector<std::int32_t>({Volume(0), Volume(1), Volume(2)}),
            std::vector<std::int32_t>(3, -5000));
  Frame(0.5, 75);
  EXPECT_EQ(std::vector<std::int32_t>({Volume(0), Volume(1), Volume(2)}),
            std::vector<std::int32_t>(3, -7500));
}

TEST_F(SoundBanksTest, SoundOffEmptyBanksAndStoppingTouchNoBuffer) {
  SetUpBank({1, 1, 1}, 10, 0);
  SoundEnabled = 0;
  StartSoundBanks(gWorld);
  Frame(1, 50);
  Frame(2, 50);
  SoundEnabled = 1;
  EXPECT_EQ(bank().current, 2u);  // the program went on, silently
  EXPECT_EQ(Mask(&SoundBufferStatus::playing), 0u);
  EXPECT_EQ(Volume(2), 0);

  StartSoundBanks(gWorld);
  Frame(3, 0);
  EXPECT_EQ(Mask(&SoundBufferStatus::playing), 2u);
  StopSoundBanks(gWorld);
  EXPECT_EQ(Mask(&SoundBufferStatus::playing) | Mask(&SoundBufferStatus::paused), 0u);
  EXPECT_EQ(bank().playing, 0u);

  // No samples: the start and the frame leave the bank as it was.
  bank().sampleCount = 0;
  bank().current = 5;
  auto fields = [] {
    const auto* first = reinterpret_cast<const std::uint8_t*>(&bank().sampleCount);
    return std::vector<std::uint8_t>(first, reinterpret_cast<const std::uint8_t*>(&bank().boxMin));
  };
  const auto before = fields();
  StartSoundBanks(gWorld);
  UpdateSoundBank(bank());
  EXPECT_EQ(fields(), before);
}

TEST_F(SoundBanksTest, ClearingABankReleasesItsLoadedBuffers) {
  const std::uint32_t held = SoundBufferCount();
  auto bank = std::make_unique<SampleBank>();
  for (int i : {0, 1, 2}) ASSERT_EQ(LoadWavSound(wav_.c_str(), bank->slots[i]), 1u);
  bank->sampleCount = 2;
  SampleBankClear(*bank);  // the slot past the count stays
  EXPECT_EQ(SoundBufferCount(), held + 1);
  bank.reset();
  EXPECT_EQ(SoundBufferCount(), held);
}

TEST_F(SoundBanksTest, TheMixFollowsTheBanksVolumeAsTheCameraMovesAway) {
  SetUpBank({1}, 6, 0);  // looping
  StartSoundBanks(gWorld);
  const double distances[] = {0, 10, 20, 5};  // volumes 1, 0.9, 0.8, 0.95
  std::vector<double> levels;
  for (int i = 0; i < 4; ++i) {
    Frame(0.1f * (i + 1), distances[i]);
    Left(2500);  // past the mixer's ramp
    levels.push_back(Peak(200));
  }
  EXPECT_NEAR(levels[0], 10000 * 0.596, 10);
  EXPECT_NEAR(levels[1] / levels[0], std::pow(10.0, -1000 / 2000.0), 0.005);
  EXPECT_NEAR(levels[2] / levels[0], 0.1, 0.005);
  EXPECT_NEAR(levels[3] / levels[0], std::pow(10.0, -500 / 2000.0), 0.005);
}

}  // namespace
}  // namespace veskor
