// The WAV and Ogg Vorbis loaders on files the tests write: accepted and refused layouts with
// sound on and off, the samples as the mixer plays them, damaged files, the device's limits.
#include "sound/sample_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/sound_device.h"
#include "sound/sound_output.h"
#include "sound_test_support.h"
#include "support/fatal_test.h"
#include "support/sound_files.h"

namespace veskor {
namespace {

using test::SlotFields;

constexpr double kCentredMono = 0.596;

class SampleLoaderTest : public test::LoopbackSoundTest {
 protected:
  // Loads `bytes` as `name` with sound on, then with sound off into a slot that must stay as
  // it is; both must give `result`. Returns the slot loaded with sound on.
  std::vector<double> LoadBothWays(const std::vector<std::uint8_t>& bytes, bool ogg,
                                   std::uint32_t result, const std::string& name) {
    const std::string path = dir_.Write(ogg ? "s.ogg" : "s.wav", bytes);
    auto load = [&](SampleSlot& slot) {
      return ogg ? LoadOggSound(path.c_str(), slot) : LoadWavSound(path.c_str(), slot);
    };
    const std::uint32_t held = SoundBufferCount();
    SampleSlot slot;
    EXPECT_EQ(load(slot), result) << name;
    const std::vector<double> fields = SlotFields(slot);
    EXPECT_EQ(SoundBufferCount(), held + result) << name;
    ReleaseSoundBuffer(slot);
    SoundEnabled = 0;
    SampleSlot kept{nullptr, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(load(kept), result) << name << ", sound off";
    EXPECT_EQ(SlotFields(kept), SlotFields({nullptr, 7, 7, 7, 7, 7, 7, 7})) << name;
    SoundEnabled = 1;
    return fields;
  }
};

std::vector<std::uint8_t> Wav(const std::function<void(test::WavDesc&)>& edit) {
  test::WavDesc desc;
  desc.data = test::ConstantPcm16(100, 1, 1000);
  edit(desc);
  return test::EncodeWav(desc);
}

TEST_F(SampleLoaderTest, WavLayoutsAreAcceptedOrRefusedAlikeWithSoundOnAndOff) {
  const std::vector<double> plain = {1, 200, 1, 16, 100, 22050, 100 / 22050.0f, 0};
  const std::vector<double> refused = {0, 0, 1, 0, 0, 0, 0, 0};
  auto with = [&](std::vector<double> fields, int index, double value) {
    fields[index] = value;
    return fields;
  };
  struct Case {
    const char* name;
    std::function<void(test::WavDesc&)> edit;
    std::vector<double> fields;  // of the slot loaded with sound on; `refused`: result 0
  };
  const std::vector<Case> cases = {
      {"plain", [](auto&) {}, plain},
      {"fmt of 18 bytes", [](auto& d) { d.formatBytes = 18; }, plain},
      {"fmt of 15 bytes", [](auto& d) { d.formatBytes = 15; }, refused},
      {"LIST before data", [](auto& d) { d.chunksBefore = {"LIST"}; }, plain},
      {"two chunks before data",
       [](auto& d) {
         d.chunksBefore = {"LIST", "fact"};
       },
       refused},
      {"floating point", [](auto& d) { d.formatTag = 3; }, refused},
      {"no channels", [](auto& d) { d.channels = 0; }, refused},
      {"three channels", [](auto& d) { d.channels = 3; }, refused},
      {"no bits", [](auto& d) { d.bitsPerSample = 0; }, refused},
      {"24 bits", [](auto& d) { d.bitsPerSample = 24; }, refused},
      {"rate 0", [](auto& d) { d.sampleRate = 0; }, refused},
      {"rate 99", [](auto& d) { d.sampleRate = 99; }, refused},
      {"rate 100", [](auto& d) { d.sampleRate = 100; }, with(with(plain, 5, 100), 6, 1.0)},
      {"stereo 8 bits",
       [](auto& d) { d.channels = 2, d.bitsPerSample = 8; },
       {1, 200, 2, 8, 100, 22050, 100 / 22050.0f, 0}},
      {"empty data", [](auto& d) { d.data.clear(); }, refused},
      {"half a frame", [](auto& d) { d.dataLength = 1; }, refused},
      {"one frame", [](auto& d) { d.dataLength = 2; }, {1, 2, 1, 16, 1, 22050, 1 / 22050.0f, 0}},
      {"data past the file",
       [](auto& d) { d.dataLength = 4000; },
       {1, 4000, 1, 16, 2000, 22050, 2000 / 22050.0f, 0}},
      {"data past a buffer", [](auto& d) { d.dataLength = kSoundBufferBytesMax + 1; }, refused},
  };
  for (const Case& c : cases) {
    const bool accepted = c.fields != refused;
    EXPECT_EQ(LoadBothWays(Wav(c.edit), false, accepted, c.name), c.fields) << c.name;
  }

  // Damaged headers: ids changed, files cut short (44 bytes hold the whole header).
  const std::vector<std::uint8_t> good = Wav([](auto&) {});
  const std::pair<std::size_t, char> patches[] = {{0, 'X'}, {8, 'X'}, {12, 'X'}, {36, 'X'}};
  for (const auto& [at, byte] : patches) {
    auto bad = good;
    bad[at] = static_cast<std::uint8_t>(byte);
    LoadBothWays(bad, false, 0, "patched at " + std::to_string(at));
  }
  for (std::size_t cut : {0, 4, 11, 12, 15, 35, 43, 44}) {
    const std::vector<std::uint8_t> part(good.begin(), good.begin() + cut);
    LoadBothWays(part, false, cut == 44 ? 1 : 0, "cut at " + std::to_string(cut));
  }
  SampleSlot slot;
  EXPECT_EQ(LoadWavSound(nullptr, slot), 0u);
  EXPECT_EQ(LoadWavSound(dir_.Path("missing.wav").c_str(), slot), 0u);
  EXPECT_EQ(LoadOggSound(nullptr, slot), 0u);
  EXPECT_EQ(LoadOggSound(dir_.Path("missing.ogg").c_str(), slot), 0u);
  // Why a file did not open is told only for one that is there: a FIFO is refused at once.
  ASSERT_EQ(mkfifo(dir_.Path("fifo").c_str(), 0600), 0);
  const auto loaders = {LoadWavSound, LoadOggSound};
  for (auto* load : loaders) {
    std::string why = "stale";
    EXPECT_EQ(load(dir_.Path("missing").c_str(), slot, &why), 0u);
    EXPECT_EQ(why, "");
    EXPECT_EQ(load(dir_.Path("fifo").c_str(), slot, &why), 0u);
    EXPECT_EQ(why, "it is a FIFO, not a regular file");
    EXPECT_EQ(load(dir_.Write("bad", std::vector<std::uint8_t>(60, 'x')).c_str(), slot, &why), 0u);
    EXPECT_EQ(why, "");  // opened, then refused as no sample
  }
}

TEST_F(SampleLoaderTest, WavSamplesPlayAndAShortDataChunkEndsInSilence) {
  test::WavDesc desc;
  desc.formatBytes = 18;
  desc.chunksBefore = {"LIST"};
  desc.data = test::ConstantPcm16(1000, 1, 10000);
  desc.dataLength = 6000;  // 3000 frames stated, 1000 in the file
  SampleSlot slot;
  ASSERT_EQ(LoadWavSound(dir_.Write("short.wav", test::EncodeWav(desc)).c_str(), slot), 1u);
  PlaySample(slot);
  EXPECT_NEAR(Left(1040)[1000], 10000 * kCentredMono, 10);
  const std::vector<int> rest = Left(1900);  // frames 1040..2940: zero-filled
  for (std::size_t i = 20; i < rest.size(); ++i) ASSERT_LE(std::abs(rest[i]), 2) << i;
  EXPECT_TRUE(SoundBufferQuery(slot.buffer).playing);
  Left(100);
  EXPECT_FALSE(SoundBufferQuery(slot.buffer).playing);
  ReleaseSoundBuffer(slot);
}

TEST_F(SampleLoaderTest, LoadingAgainReleasesTheOldBufferFirstStartingAgainNone) {
  const std::uint32_t held = SoundBufferCount();
  const std::string mono = dir_.Write("mono.wav", Wav([](auto&) {}));
  const std::string stereo = dir_.Write("stereo.wav", Wav([](auto& d) { d.channels = 2; }));
  SampleSlot slot;
  ASSERT_EQ(LoadWavSound(mono.c_str(), slot), 1u);
  slot.looping = 1;
  ASSERT_EQ(LoadWavSound(stereo.c_str(), slot), 1u);
  EXPECT_EQ(SoundBufferCount(), held + 1);
  EXPECT_EQ(SlotFields(slot), (std::vector<double>{1, 200, 2, 16, 50, 22050, 50 / 22050.0f, 0}));
  EXPECT_EQ(InitDirectSound(), 1u);  // a second start keeps the device and its buffers
  EXPECT_EQ(SoundBufferCount(), held + 1);
  ReleaseSoundBuffer(slot);
  EXPECT_EQ(SoundBufferCount(), held);
  EXPECT_EQ(SlotFields(slot), (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SampleLoaderTest, OggStreamsAndDamagedOnes) {
  const auto sine = test::Sine(22050, 1, 22050, 440, 0.5);
  const std::vector<std::uint8_t> second = test::EncodeOgg({1, 22050, sine});
  const std::vector<double> refused = {0, 0, 1, 0, 0, 0, 0, 0};
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::vector<double> fields;
  };
  auto cut = [](const std::vector<std::uint8_t>& bytes, std::size_t n) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n);
  };
  // Eight seconds fill three pages of audio (from about 3.4, 7.7 and 12 kB on): one of them
  // damaged is lost, the stream plays on.
  const std::vector<std::uint8_t> eight =
      test::EncodeOgg({1, 22050, test::Sine(8 * 22050, 1, 22050, 440, 0.5)});
  auto flipped = eight;
  flipped[5500] ^= 0xFF;
  auto chain = [](std::vector<std::uint8_t> first, const std::vector<std::uint8_t>& link) {
    first.insert(first.end(), link.begin(), link.end());
    return first;
  };
  const auto mono = test::EncodeOgg({1, 22050, test::Sine(1000, 1, 22050, 440, 0.5), -1, 7});
  const auto stereo = test::EncodeOgg({2, 22050, test::Sine(1000, 2, 22050, 440, 0.5), -1, 8});
  const std::vector<Case> cases = {
      {"one second mono", second, {1, 44100, 1, 16, 22050, 22050, 1.0, 0}},
      {"a chain of two", chain(second, mono), {1, 46100, 1, 16, 23050, 22050, 23050 / 22050.0f, 0}},
      {"a chain changing format", chain(second, stereo), refused},
      {"stereo at 44100",
       test::EncodeOgg({2, 44100, test::Sine(1000, 2, 44100, 440, 0.5)}),
       {1, 4000, 2, 16, 1000, 44100, 1000 / 44100.0f, 0}},
      {"announced shorter",
       test::EncodeOgg({1, 22050, sine, 1000}),
       {1, 2000, 1, 16, 1000, 22050, 1000 / 22050.0f, 0}},
      {"three channels", test::EncodeOgg({3, 22050, test::Sine(1000, 3, 22050, 440, 0.5)}),
       refused},
      {"headers cut", cut(second, 100), refused},
      {"capture pattern only", cut(second, 4), refused},
      {"empty", {}, refused},
      {"zeros", std::vector<std::uint8_t>(4096, 0), refused},
      {"a WAV file", Wav([](auto&) {}), refused},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LoadBothWays(c.bytes, true, c.fields != refused, c.name), c.fields) << c.name;
  // Cut inside the last page, or a damaged page: what the decoder still finds of it plays.
  for (const auto& bytes : {cut(eight, 10000), flipped}) {
    SampleSlot slot;
    ASSERT_EQ(LoadOggSound(dir_.Write("damaged.ogg", bytes).c_str(), slot), 1u);
    EXPECT_GT(slot.frames, 2 * 22050u);
    EXPECT_LT(slot.frames, 8 * 22050u);
    ReleaseSoundBuffer(slot);
  }
}

TEST_F(SampleLoaderTest, OggSamplesPlayAndAGapInTheStreamIsPassedOver) {
  // A sine of amplitude 0.5 for 4410 frames.
  SampleSlot slot;
  const auto sine = test::Sine(4410, 1, 22050, 441, 0.5);
  ASSERT_EQ(LoadOggSound(dir_.Write("a.ogg", test::EncodeOgg({1, 22050, sine})).c_str(), slot), 1u);
  PlaySample(slot);
  EXPECT_NEAR(Peak(4000), 0.5 * 32767 * kCentredMono, 0.05 * 0.5 * 32767 * kCentredMono);
  Left(440);
  EXPECT_FALSE(SoundBufferQuery(slot.buffer).playing);
  ReleaseSoundBuffer(slot);

  // Eight seconds whose second page of audio is damaged: the decoder passes over the gap (at
  // frame 81024) and gives 94848 frames of the 176400 announced; the rest stays silent.
  auto eight = test::EncodeOgg({1, 22050, test::Sine(8 * 22050, 1, 22050, 440, 0.5)});
  eight[9000] ^= 0xFF;
  ASSERT_EQ(LoadOggSound(dir_.Write("c.ogg", eight).c_str(), slot), 1u);
  EXPECT_EQ(SlotFields(slot), (std::vector<double>{1, 352800, 1, 16, 176400, 22050, 8, 0}));
  PlaySample(slot);
  Left(83000);
  EXPECT_GT(Peak(11000), 0.4 * 32767 * kCentredMono);  // after the gap
  Left(1000);
  EXPECT_LE(Peak(80000), 2);
  ReleaseSoundBuffer(slot);
}

TEST_F(SampleLoaderTest, ABufferTheDeviceRefusesEndsTheProgram) {
  const std::string path = dir_.Write("a.wav", Wav([](auto&) {}));
  SampleSlot slot;
  EXPECT_FATAL(
      {
        for (std::uint32_t i = 0; i < kSoundBufferMax; ++i) SoundBufferCreate(1, 16, 22050, 2);
        LoadWavSound(path.c_str(), slot);
      },
      kSoundBufferCreateFailedText);
}

// Each start in a process of its own, on the default device through the given drivers.
TEST(SoundOutput, ADeviceThatCannotStartWarnsAndSoundStaysOff) {
  struct Case {
    const char* drivers;
    int exitCode;  // 3: sound off, 4: sound on
    const char* record;
  };
  const Case cases[] = {
      {"null", 4, "^$"},
      {"none", 3,
       "Error \\[exclamation\\] DirectSound Initialization failed !\nSound will be "
       "disable\\.\\.\\.\n"},
  };
  const char* saved = std::getenv("ALSOFT_DRIVERS");
  const std::string keep = saved != nullptr ? saved : "";
  for (const Case& c : cases) {
    setenv("ALSOFT_DRIVERS", c.drivers, 1);
    EXPECT_EXIT(
        {
          const std::uint32_t on = InitDirectSound();
          std::_Exit(on == 1 && SoundEnabled == 1 ? 4 : on == 0 && SoundEnabled == 0 ? 3 : 5);
        },
        ::testing::ExitedWithCode(c.exitCode), c.record)
        << c.drivers;
  }
  setenv("ALSOFT_DRIVERS", keep.c_str(), 1);
}

}  // namespace
}  // namespace veskor
