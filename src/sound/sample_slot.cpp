#include "sound/sample_slot.h"

#include "platform/sound_device.h"
#include "sound/sound_output.h"

namespace veskor {

SampleSlot IntroMusicSlot;

namespace {

bool Playable(const SampleSlot& slot) { return SoundEnabled != 0 && slot.buffer != nullptr; }

}  // namespace

void ReleaseSoundBuffer(SampleSlot& slot) {
  if (Playable(slot)) SoundBufferRelease(slot.buffer);
  slot = SampleSlot{};
  slot.channels = 0;
}

void SetSampleVolume(SampleSlot& slot, std::int32_t hundredthsOfDecibel) {
  if (Playable(slot)) SoundBufferSetVolume(slot.buffer, hundredthsOfDecibel);
}

void PlaySample(SampleSlot& slot) {
  if (Playable(slot)) SoundBufferPlay(slot.buffer, slot.looping == 1);
}

void StopAndRewindSample(SampleSlot& slot) {
  if (!Playable(slot)) return;
  SoundBufferStop(slot.buffer);
  SoundBufferRewind(slot.buffer);
}

}  // namespace veskor
