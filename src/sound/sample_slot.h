// SampleSlot: one loaded sample, its static sound buffer and its figures. The loaders fill
// slots (the world's sound banks hold sixteen a bank, and the intro music has one); bank
// playback and the welcome pages play them through the operations here.
#pragma once

#include <cstdint>

namespace veskor {

struct SoundBuffer;  // the sound device's buffer of one sample (platform/sound_device.h)

struct SampleSlot {
  SoundBuffer* buffer = nullptr;  // owned by the slot; null when nothing is loaded
  std::uint32_t dataBytes = 0;    // bytes of samples, the buffer's size
  std::uint32_t channels = 1;
  std::uint32_t bitsPerSample = 0;
  std::uint32_t frames = 0;  // dataBytes x 8 / (channels x bitsPerSample)
  std::uint32_t sampleRate = 0;
  float duration = 0;         // seconds: frames / sampleRate; playback copies it at a start
  std::uint32_t looping = 0;  // 1: the sample plays looping
};

// The intro music, loaded at start and kept for the whole run.
extern SampleSlot IntroMusicSlot;

// Releases the slot's buffer (when there is one and sound is on) and zeroes every field.
void ReleaseSoundBuffer(SampleSlot& slot);

// What playback does with a sample; each does nothing while sound is off or the slot holds
// no buffer, and no result is checked. A volume outside -10000..0 hundredths of a decibel is
// refused by the device and the sample keeps its volume.
void SetSampleVolume(SampleSlot& slot, std::int32_t hundredthsOfDecibel);
// From the current position; looping when the slot's `looping` is 1. A playing sample goes on.
void PlaySample(SampleSlot& slot);
void StopAndRewindSample(SampleSlot& slot);

}  // namespace veskor
