// The Sound block on world files: the program words, the ranges, box and overlap, samples
// found along the search directories and loaded by their extension, the second copy of a
// repeating bank's only sample, and the bank and sample capacities. Sound is off except where
// a test starts it on the loopback mixer to see the buffers made.
#include "language/sound_block.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "foundation/search_dirs.h"
#include "language/world.h"
#include "platform/sound_device.h"
#include "sound/sound_output.h"
#include "support/sound_files.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::RunCompileSession;

class SoundBlockTest : public ::testing::Test {
 protected:
  SoundBlockTest() {
    test::WavDesc wav;
    wav.data = test::ConstantPcm16(100, 1, 1000);
    test::WriteFileBytes(dir_.Path("a.wav"), test::EncodeWav(wav));
    test::OggDesc ogg;
    ogg.samples = test::Sine(2205, 1, 22050, 440, 0.5);
    test::WriteFileBytes(dir_.Path("b.ogg"), test::EncodeOgg(ogg));
    test::WriteFileBytes(dir_.Path("upper.OGG"), test::EncodeOgg(ogg));
    test::WriteFileBytes(dir_.Path("wav.ogg"), test::EncodeWav(wav));
  }
  std::string Parse(const std::string& text) {
    return RunCompileSession(dir_.Write("w.wld", text)).status;
  }
  test::WorldDir dir_;
};

TEST_F(SoundBlockTest, ProgramWordsGiveTheBankItsFlags) {
  const struct {
    const char* programs;  // the `program` entries of the block
    std::uint32_t flags, kind, even, loop;
  } cases[] = {
      {"", 10, 8, 2, 0},
      {"program(\"random loop\")", 18, 16, 2, 0},
      {"program(\"ran\")", 16, 16, 2, 0},  // a random bank always repeats
      {"program(\"par even\")", 5, 4, 0, 1},
      {"program(\"seq par\")", 8, 8, 0, 0},
      {"program(\"loop\")", 10, 8, 2, 0},
      {"program(\"none\")", 10, 8, 2, 0},
      {"program(\"par\") program(\"loop even\")", 7, 4, 2, 1},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Parse(std::string("Sound { ") + c.programs + " }"), "") << c.programs;
    const SampleBank& bank = gWorld.soundBanks[0];
    EXPECT_EQ((std::vector<std::uint32_t>{bank.programFlags, bank.kind, bank.even, bank.loop}),
              (std::vector<std::uint32_t>{c.flags, c.kind, c.even, c.loop}))
        << c.programs;
  }
}

TEST_F(SoundBlockTest, RangesBoxAndOverlap) {
  ASSERT_EQ(Parse("Sound { BBox { [1 2 3] [4 5 6] } min([5]) overlap(-0.5) }\n"
                  "Sound { max([50 0.5 0.25]) min([0 0 1]) overlap([2 3]) }"),
            "");
  auto values = [](const SampleBank& k) {
    return std::vector<float>{k.boxMin[0], k.boxMax[2], k.nearDistance, k.farDistance, k.nearVolume,
                              k.farVolume, k.nearExtra, k.farExtra,     k.overlap};
  };
  EXPECT_EQ(values(gWorld.soundBanks[0]), (std::vector<float>{1, 6, 5, 1000, 1, 1, 0, 0, -0.5f}));
  EXPECT_EQ(values(gWorld.soundBanks[1]), (std::vector<float>{0, 0, 0, 50, 0, 0.5f, 1, 0.25f, 2}));
  EXPECT_EQ(gWorld.soundBankCount, 2u);
}

TEST_F(SoundBlockTest, SamplesAreFoundLoadedByTheirExtensionAndRecorded) {
  test::TempDir snd("veskor_snd");
  ASSERT_TRUE(SetSearchDirs(snd.path().c_str(), snd.path().c_str(), snd.path().c_str(),
                            snd.path().c_str(), snd.path().c_str()));
  std::filesystem::create_directories(SndDir);
  test::WavDesc wav;
  wav.data = test::ConstantPcm16(50, 2, -7);
  test::WriteFileBytes(std::string(SndDir) + "far.wav", test::EncodeWav(wav));

  ASSERT_EQ(Parse("Sound { program(\"seq\") Sample { name(\"a.wav\") volumeCorrection(-0.5) }\n"
                  "  Sample { frequencyCorrection(0.25) name(\"B.ogg\") }\n"
                  "  Sample { name(\"far.wav\") } }\n"
                  "Sound { Sample { name(\"a.wav\") volumeCorrection(0.75) } }\n"
                  "Sound { program(\"par\") Sample { name(\"b.ogg\") } }"),
            "");
  const World& w = gWorld;
  const SampleBank& a = w.soundBanks[0];
  ASSERT_EQ(a.sampleCount, 3u);
  EXPECT_EQ(std::string(a.samples[0].name), dir_.Path("a.wav"));
  EXPECT_EQ(std::string(a.samples[1].name), dir_.Path("b.ogg"));  // the name on disk
  EXPECT_EQ(std::string(a.samples[2].name), std::string(SndDir) + "far.wav");
  EXPECT_EQ((std::vector<float>{a.samples[0].volumeCorrection, a.samples[0].frequencyCorrection,
                                a.samples[1].volumeCorrection, a.samples[1].frequencyCorrection}),
            (std::vector<float>{-0.5f, 0, 0, 0.25f}));
  // A repeating bank's only sample is loaded twice; a bank that does not repeat keeps one.
  const SampleBank& b = w.soundBanks[1];
  ASSERT_EQ(b.sampleCount, 2u);
  EXPECT_EQ(std::string(b.samples[1].name), dir_.Path("a.wav"));
  EXPECT_EQ(b.samples[1].volumeCorrection, 0.75f);
  EXPECT_EQ(w.soundBanks[2].sampleCount, 1u);

  // The loader is chosen by the exact extension ".ogg": an Ogg stream named ".OGG" is read as
  // WAV and a WAV file named ".ogg" as Ogg; both are refused. So is a missing file.
  for (const char* name : {"upper.OGG", "wav.ogg", "none.wav", ""}) {
    EXPECT_EQ(Parse(std::string("Sound {\n Sample {\n name(\"") + name + "\") } }"),
              "Syntax error file (w.wld) line (3) : Cannot locate file")
        << name;
  }
  EXPECT_EQ(Parse("Sound { Sample { } }"),
            "Syntax error file (w.wld) line (1) : Cannot locate file");
  ASSERT_TRUE(SetSearchDirs("", "", "", "", ""));
}

TEST_F(SoundBlockTest, ABankTakesSixteenSamples) {
  for (std::uint32_t n : {kSampleBankSamples, kSampleBankSamples + 1}) {
    std::string text = "Sound {\n";
    for (std::uint32_t i = 0; i < n; ++i) text += "Sample { name(\"a.wav\") }\n";
    EXPECT_EQ(Parse(text + "}"),
              n == kSampleBankSamples
                  ? ""
                  : "Syntax error file (w.wld) line (18) : " + std::string(kTooManySamplesMessage));
    EXPECT_EQ(gWorld.soundBanks[0].sampleCount, kSampleBankSamples);
  }
}

TEST_F(SoundBlockTest, WithSoundOnEverySampleHoldsABufferUntilTheBankIsSetUpAgain) {
  SoundDeviceSelect(SoundDeviceKind::kLoopback);
  ASSERT_EQ(InitDirectSound(), 1u);
  const std::uint32_t held = SoundBufferCount();
  ASSERT_EQ(Parse("Sound { Sample { name(\"a.wav\") } Sample { name(\"b.ogg\") } }\n"
                  "Sound { program(\"ran\") Sample { name(\"b.ogg\") } }"),
            "");
  EXPECT_EQ(SoundBufferCount(), held + 4);
  const SampleBank& a = gWorld.soundBanks[0];
  EXPECT_EQ((std::vector<std::uint32_t>{a.slots[0].dataBytes, a.slots[1].dataBytes}),
            (std::vector<std::uint32_t>{200, 4410}));
  // The next world sets the first bank up again: its old buffers go first.
  ASSERT_EQ(Parse("Sound { }"), "");
  EXPECT_EQ(SoundBufferCount(), held + 2);
  ReleaseSoundDevice();
}

TEST(FileExtension, IsTheFirstPointOfTheLastEightCharacters) {
  const struct {
    const char* name;
    const char* extension;
  } cases[] = {
      {"a.ogg", ".ogg"},        {"a.b.ogg", ".b.ogg"},
      {".abc.ogg", ".abc.ogg"}, {".abcd.ogg", ".ogg"},
      {"x.yzwv.ogg", ".ogg"},   {"dir.d/long_name.wav", ".wav"},
      {"noextension", ""},      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(FileExtension(c.name), c.extension) << c.name;
}

}  // namespace
}  // namespace veskor
