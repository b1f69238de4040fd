#include "sound/sound_output.h"

#include "platform/message_box.h"
#include "platform/sound_device.h"

namespace veskor {

std::uint32_t SoundEnabled = 0;

namespace {

std::uint32_t Warn(const char* text) {
  ShowMessageBox("Error", text, MessageIcon::kExclamation, MessageButtons::kOk);
  SoundEnabled = 0;
  return 0;
}

}  // namespace

std::uint32_t InitDirectSound() {
  if (!SoundDeviceIsOpen() && !SoundDeviceOpen()) return Warn(kSoundDeviceFailedText);
  if (!SoundMixerIsStarted()) {
    switch (SoundMixerStart(kSoundOutputRate, kSoundOutputChannels, kSoundOutputBits)) {
      case SoundMixerResult::kStarted: break;
      case SoundMixerResult::kRefused: return Warn(kSoundMixerFailedText);
      case SoundMixerResult::kFormatRefused: return Warn(kSoundFormatFailedText);
    }
  }
  SoundEnabled = 1;
  return 1;
}

void ReleaseSoundDevice() {
  SoundDeviceClose();
  SoundEnabled = 0;
}

}  // namespace veskor
