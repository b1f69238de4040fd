#include "language/sample_bank.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/random.h"

namespace veskor {
namespace {

// The bank's fields after the records, as bytes.
std::vector<std::uint8_t> Fields(const SampleBank& b) {
  const auto* first = reinterpret_cast<const std::uint8_t*>(&b.sampleCount);
  return {first, reinterpret_cast<const std::uint8_t*>(&b.distanceFraction + 1)};
}

TEST(SampleBank, ClearReleasesTheUsedSlotsAndRestoresANewBank) {
  auto bank = std::make_unique<SampleBank>();
  const SampleBank fresh;
  const SampleBank& b = fresh;
  EXPECT_EQ(std::vector<float>({float(b.programFlags), float(b.even), float(b.loop), float(b.kind),
                                b.volume, b.farDistance, b.nearVolume, b.farVolume}),
            std::vector<float>({10, 2, 0, 8, 1, 1000, 1, 0}));
  EXPECT_EQ(bank->slots[15].channels, 1u);
  EXPECT_EQ(bank->samples[15].frequencyCorrection, 0.0f);

  auto* buffer = reinterpret_cast<SoundBuffer*>(bank.get());  // any non-null handle
  for (int i : {0, 1, 2}) bank->slots[i] = {buffer, 100, 2, 16, 25, 22050, 0.5f, 1};
  bank->slots[1].buffer = nullptr;  // a slot loaded while sound was off
  bank->sampleCount = 2;
  bank->samples[0].volumeCorrection = 0.5f;
  bank->programFlags = 17;
  bank->loop = 1;
  bank->farVolume = 1;
  bank->boxMax[2] = 4;
  bank->playing = 1;
  SampleBankClear(*bank);  // no device: the slots are only zeroed
  EXPECT_EQ(bank->slots[0].buffer, nullptr);
  EXPECT_EQ(bank->slots[0].channels, 0u);
  EXPECT_EQ(bank->samples[0].volumeCorrection, 0.0f);
  EXPECT_EQ(Fields(*bank), Fields(fresh));
  EXPECT_EQ(bank->slots[2].buffer, buffer);  // past the count: left alone
}

TEST(SampleBank, RandomChoiceUsesTheProgramsFifteenBitSequence) {
  SampleBank bank;
  const std::uint32_t counts[] = {0, 1, 2, 5, 16};
  for (const std::uint32_t count : counts) {
    bank.sampleCount = count;
    // The program's generator from seed 1: 41, 18467, 6334, ...
    RandomSeed(1);
    std::uint32_t seed = 1;
    for (int draw = 0; draw < 20; ++draw) {
      seed = seed * 214013u + 2531011u;
      const std::uint32_t r = (seed >> 16) & 0x7FFF;
      const std::uint32_t expected = count < 2 ? 0 : r * (count - 1) / 32767;
      EXPECT_EQ(SampleBankRandomSample(bank), expected) << count << " " << draw;
    }
  }
  RandomSeed(1);
}

TEST(SampleBank, AttenuationFollowsTheDistanceToTheBox) {
  SampleBank bank;
  for (int a = 0; a < 3; ++a) bank.boxMin[a] = -10, bank.boxMax[a] = 10;
  bank.nearVolume = 1;
  bank.farVolume = 0;
  struct Case {
    float x, y, z;
    float distance, fraction, volume;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, 1},            // inside
      {510, 0, 0, 500, 0.5f, 0.5f},  // 500 outside
      {-13, 14, 10, 5, 0.005f, 0.995f},
      {0, 0, -1010, 1000, 1, 0},
      {0, 0, 5000, 4990, 1, 0},  // past the far distance: saturated
  };
  for (const Case& c : cases) {
    SampleBankAttenuate(bank, c.x, c.y, c.z);
    EXPECT_FLOAT_EQ(bank.distance, c.distance) << c.x;
    EXPECT_FLOAT_EQ(bank.distanceFraction, c.fraction) << c.x;
    EXPECT_FLOAT_EQ(bank.volume, c.volume) << c.x;
  }
  bank.nearDistance = 100;  // near volume out to 100, and volumes clamped to [0, 1]
  bank.farDistance = 300;
  bank.nearVolume = 1.5f;
  bank.farVolume = -0.5f;
  const float volumes[][2] = {{50, 1}, {160, 1}, {185, 0.75f}, {210, 0.5f}, {410, 0}};
  for (const auto& v : volumes) {
    SampleBankAttenuate(bank, v[0], 0, 0);
    EXPECT_FLOAT_EQ(bank.volume, v[1]) << v[0];
  }
  bank.farDistance = 100;  // no range: the near volume up to it, the far one beyond
  SampleBankAttenuate(bank, 110, 0, 0);
  EXPECT_FLOAT_EQ(bank.volume, 1);
  SampleBankAttenuate(bank, 111, 0, 0);
  EXPECT_FLOAT_EQ(bank.volume, 0);
}

}  // namespace
}  // namespace veskor
