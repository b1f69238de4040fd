// SampleBank: one `Sound` block of a world, up to sixteen samples played in sequence, at random
// or together while the viewer is near the bank's box; the World holds sixteen of them. The
// Sound block parser fills a bank, sound playback starts and attenuates it.
//
// The samples' slots and their sound buffers are the sound library's (sound/sample_slot.h),
// which lies below this folder so that the Sound block can load samples while it parses.
#pragma once

#include <cstdint>

#include "sound/sample_slot.h"

namespace veskor {

inline constexpr std::uint32_t kSampleBankSamples = 16;
inline constexpr std::uint32_t kSamplePathBytes = 512;

// What the Sound block said of one sample.
struct SampleRecord {
  char name[kSamplePathBytes];  // the path the sample was loaded from
  float volumeCorrection;       // -1 to 1
  float frequencyCorrection;    // -1 to 1
};

// Program bits of a bank; one of seq, par, ran is its kind.
inline constexpr std::uint32_t kSoundProgramLoop = 1;
inline constexpr std::uint32_t kSoundProgramEven = 2;
inline constexpr std::uint32_t kSoundProgramPar = 4;
inline constexpr std::uint32_t kSoundProgramSeq = 8;
inline constexpr std::uint32_t kSoundProgramRan = 16;

struct SampleBank {
  SampleBank();
  ~SampleBank();
  SampleBank(const SampleBank&) = delete;
  SampleBank& operator=(const SampleBank&) = delete;

  SampleSlot slots[kSampleBankSamples];
  SampleRecord samples[kSampleBankSamples];  // the corrections cleared; names not initialised
  std::uint32_t sampleCount;
  std::uint32_t programFlags;  // 10: seq with even
  std::uint32_t even;          // 2 when the program has "even" or is "ran"
  std::uint32_t loop;          // 1: the bank starts by proximity, not with the session
  std::uint32_t kind;          // programFlags & 28
  float overlap;               // seconds a following sample starts early
  float volume;                // distance attenuation, 0 to 1
  float appliedVolume;         // the volume last sent to the buffers
  float frequencyOffset;
  float appliedFrequencyOffset;
  std::uint32_t current;  // sample playing
  // Playback state, written by sound playback.
  std::uint32_t next;
  std::uint32_t playing;
  std::uint32_t audible;
  std::uint32_t latched;
  float elapsed;
  float nextElapsed;
  float startTime;
  float nextStartTime;
  float duration;
  float nextDuration;
  std::uint32_t nextPending;
  float boxMin[3];
  float boxMax[3];
  float nearDistance;
  float farDistance;
  float nearVolume;  // attenuation at the near distance
  float farVolume;   // attenuation at the far distance; 0 until the block sets it
  float nearExtra;   // the third values of `min` and `max`: stored, read by nothing
  float farExtra;
  float distance;          // last camera distance to the box
  float distanceFraction;  // last (distance - near) / (far - near), saturated
};

// Releases every used sample, zeroes their corrections and puts the bank back to the values
// of a new bank, farVolume 0 included. The slots past the sample count are left as they are.
void SampleBankClear(SampleBank& bank);

// The first sample of a random bank: r (r the program's next random value, 0..32767) times
// (count - 1), divided by 32767, in 32-bit unsigned arithmetic. Always draws; 0 for a bank of
// no or one sample.
std::uint32_t SampleBankRandomSample(const SampleBank& bank);

// The camera's distance to the bank's box (0 inside), its saturated fraction of the near-far
// range, and the attenuation between nearVolume and farVolume at that fraction, clamped to
// [0, 1]. Equal near and far distances give the near volume inside and the far one outside.
void SampleBankAttenuate(SampleBank& bank, float x, float y, float z);

}  // namespace veskor
