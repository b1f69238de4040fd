#include "language/sample_bank.h"

#include <algorithm>
#include <iterator>

#include "mapengine/clamp_float.h"
#include "mapengine/kernel_table.h"
#include "platform/random.h"

namespace veskor {
namespace {

void SetDefaults(SampleBank& bank) {
  bank.sampleCount = 0;
  bank.programFlags = kSoundProgramSeq | kSoundProgramEven;
  bank.even = kSoundProgramEven;
  bank.loop = 0;
  bank.kind = kSoundProgramSeq;
  bank.overlap = 0;
  bank.volume = 1.0f;
  bank.appliedVolume = 1.0f;
  bank.frequencyOffset = 0;
  bank.appliedFrequencyOffset = 0;
  bank.current = 0;
  bank.next = 0;
  bank.playing = 0;
  bank.audible = 0;
  bank.latched = 0;
  bank.elapsed = 0;
  bank.nextElapsed = 0;
  bank.startTime = 0;
  bank.nextStartTime = 0;
  bank.duration = 0;
  bank.nextDuration = 0;
  bank.nextPending = 0;
  std::fill(std::begin(bank.boxMin), std::end(bank.boxMin), 0.0f);
  std::fill(std::begin(bank.boxMax), std::end(bank.boxMax), 0.0f);
  bank.nearDistance = 0;
  bank.farDistance = 1000.0f;
  bank.nearVolume = 1.0f;
  bank.farVolume = 0;
  bank.nearExtra = 0;
  bank.farExtra = 0;
  bank.distance = 0;
  bank.distanceFraction = 0;
}

}  // namespace

SampleBank::SampleBank() {
  for (SampleRecord& sample : samples) {
    sample.volumeCorrection = 0;
    sample.frequencyCorrection = 0;
  }
  SetDefaults(*this);
}

SampleBank::~SampleBank() {
  SampleBankClear(*this);
  for (SampleSlot& slot : slots) ReleaseSoundBuffer(slot);
}

void SampleBankClear(SampleBank& bank) {
  const std::uint32_t used = std::min(bank.sampleCount, kSampleBankSamples);
  for (std::uint32_t i = 0; i < used; ++i) {
    ReleaseSoundBuffer(bank.slots[i]);
    bank.samples[i].volumeCorrection = 0;
    bank.samples[i].frequencyCorrection = 0;
  }
  SetDefaults(bank);
}

std::uint32_t SampleBankRandomSample(const SampleBank& bank) {
  const auto r = static_cast<std::uint32_t>(RandomNext());
  const std::uint32_t count = std::min(bank.sampleCount, kSampleBankSamples);
  if (count < 2) return 0;
  return r * (count - 1) / static_cast<std::uint32_t>(kRandomMax);
}

void SampleBankAttenuate(SampleBank& bank, float x, float y, float z) {
  const float p[3] = {x, y, z};
  float sum = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const float above = std::max(0.0f, p[axis] - bank.boxMax[axis]);
    const float below = std::max(0.0f, bank.boxMin[axis] - p[axis]);
    sum += above * above + below * below;
  }
  bank.distance = gKernelTable.KernelSqrt(sum);
  const float range = bank.farDistance - bank.nearDistance;
  const float beyond = bank.distance - bank.nearDistance;
  bank.distanceFraction = range != 0 ? Saturate(beyond / range) : (beyond > 0 ? 1.0f : 0.0f);
  bank.volume =
      Saturate(bank.distanceFraction * (bank.farVolume - bank.nearVolume) + bank.nearVolume);
}

}  // namespace veskor
