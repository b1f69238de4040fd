#include "sound/sound_banks.h"

#include <algorithm>
#include <cmath>

#include "foundation/frame_clock.h"
#include "mapengine/clamp_float.h"
#include "sound/sample_slot.h"

namespace veskor {
namespace {

constexpr float kVolumeEpsilon = 1e-5f;

std::uint32_t SampleCount(const SampleBank& bank) {
  return std::min(bank.sampleCount, kSampleBankSamples);
}

std::uint32_t BankCount(const World& world) {
  return std::min<std::uint32_t>(world.soundBankCount, kWorldSoundBankMax);
}

void SetVolume(SampleBank& bank, std::uint32_t sample) {
  SetSampleVolume(bank.slots[sample], SampleVolume(bank, sample));
}

void PlayAll(SampleBank& bank) {
  for (std::uint32_t i = 0; i < SampleCount(bank); ++i) PlaySample(bank.slots[i]);
}

// Plays `current` from now on as the bank's running sample.
void StartCurrent(SampleBank& bank, float now) {
  PlaySample(bank.slots[bank.current]);
  bank.duration = bank.slots[bank.current].duration;
  bank.nextPending = 0;
  bank.startTime = now;
  bank.elapsed = 0;
}

std::uint32_t ChooseNext(const SampleBank& bank) {
  if (bank.kind == kSoundProgramRan) return SampleBankRandomSample(bank);
  const std::uint32_t next = bank.current + 1;
  return bank.even != 0 && next >= SampleCount(bank) ? 0 : next;
}

void UpdateSequence(SampleBank& bank, float now) {
  const std::uint32_t count = SampleCount(bank);
  bank.elapsed = now - bank.startTime;
  if (bank.nextPending == 1) bank.nextElapsed = now - bank.nextStartTime;
  if (bank.elapsed >= bank.duration - bank.overlap) {
    if (bank.nextPending == 0) {
      bank.next = ChooseNext(bank);
      if (bank.next < count) {
        bank.nextStartTime = now;
        bank.nextDuration = bank.slots[bank.next].duration;
        bank.nextElapsed = 0;
        bank.nextPending = 1;
        SetVolume(bank, bank.next);
        PlaySample(bank.slots[bank.next]);
      }
    }
    if (bank.elapsed >= bank.duration) {
      if (bank.next < count) {
        if (bank.current != bank.next) StopAndRewindSample(bank.slots[bank.current]);
        bank.current = bank.next;
        bank.startTime = bank.nextStartTime;
        bank.duration = bank.nextDuration;
        bank.elapsed = bank.nextElapsed;
        bank.nextPending = 0;
      } else {
        bank.playing = 0;  // a sequence without even after its last sample
      }
    }
  }
  // During the gap that a negative overlap leaves.
  if (bank.elapsed >= bank.duration && bank.playing == 1)
    StopAndRewindSample(bank.slots[bank.current]);
}

}  // namespace

std::int32_t SampleVolume(const SampleBank& bank, std::uint32_t sample) {
  const float s = Saturate(bank.samples[sample].volumeCorrection + bank.volume);
  return -10000 - static_cast<std::int32_t>(std::trunc(s * -10000.0f));
}

void StartSoundBanks(World& world) {
  const float now = CurrentFrameTime();
  for (std::uint32_t b = 0; b < BankCount(world); ++b) {
    SampleBank& bank = world.soundBanks[b];
    const std::uint32_t count = SampleCount(bank);
    if (count == 0) continue;
    bank.current = bank.kind == kSoundProgramRan ? SampleBankRandomSample(bank) : 0;
    if (bank.kind == kSoundProgramPar) {
      // Every sample sounds from the start, so each takes its volume now. Without even the
      // bank ends after the longest sample's single pass, so none of them loops.
      float longest = 0;
      for (std::uint32_t i = 0; i < count; ++i) {
        SetVolume(bank, i);
        bank.slots[i].looping = bank.even != 0 ? 1 : 0;
        longest = std::max(longest, bank.slots[i].duration);
      }
      if (bank.even == 0) bank.duration = longest;
    } else {
      SetVolume(bank, bank.current);
    }
    bank.audible = 0;
    bank.latched = 0;
    if (bank.loop != 0) continue;
    bank.playing = 1;
    if (bank.kind == kSoundProgramPar) {
      PlayAll(bank);
      bank.startTime = now;
      bank.elapsed = 0;
    } else {
      StartCurrent(bank, now);
    }
  }
}

void UpdateEmitterAttenuation(const Camera& camera, World& world) {
  for (std::uint32_t b = 0; b < BankCount(world); ++b) {
    SampleBank& bank = world.soundBanks[b];
    SampleBankAttenuate(bank, camera.position[0], camera.position[1], camera.position[2]);
    const bool inRange = bank.distance < bank.farDistance;
    if (bank.latched == 0) {
      bank.audible = inRange ? 1 : 0;
    } else {
      bank.audible = 0;
      if (!inRange) bank.latched = 0;
    }
    UpdateSoundBank(bank);
  }
}

void UpdateSoundBank(SampleBank& bank) {
  const std::uint32_t count = SampleCount(bank);
  if (count == 0) return;
  const float now = CurrentFrameTime();
  const bool par = bank.kind == kSoundProgramPar;

  if (std::fabs(bank.volume - bank.appliedVolume) > kVolumeEpsilon) {
    if (par) {
      for (std::uint32_t i = 0; i < count; ++i) SetVolume(bank, i);
    } else {
      SetVolume(bank, bank.current);
      if (bank.nextPending == 1) SetVolume(bank, bank.next);
    }
    bank.appliedVolume = bank.volume;
  }

  if (bank.loop != 0 && bank.playing == 0 && bank.audible == 1) {
    bank.playing = 1;
    bank.latched = 1;
    if (par) {
      PlayAll(bank);
      bank.startTime = now;
      bank.elapsed = 0;
    } else {
      StartCurrent(bank, now);
    }
    return;
  }

  if (par) {
    if (bank.playing == 1 && bank.even == 0) {
      bank.elapsed = now - bank.startTime;
      if (bank.elapsed >= bank.duration) bank.playing = 0;
    }
    return;
  }
  if (bank.playing == 1) UpdateSequence(bank, now);
}

void StopSoundBanks(World& world) {
  for (std::uint32_t b = 0; b < BankCount(world); ++b) {
    SampleBank& bank = world.soundBanks[b];
    for (std::uint32_t i = 0; i < SampleCount(bank); ++i) StopAndRewindSample(bank.slots[i]);
    bank.playing = 0;
    bank.nextPending = 0;
  }
}

}  // namespace veskor
