// Feeds arbitrary bytes to a sample loader (LoadWavSound, or LoadOggSound when built with
// VESKOR_FUZZ_OGG) through a file of its own, with sound on the loopback mixer so that every
// accepted file is decoded into a buffer. Any crash, sanitizer report or leak is a fault of the
// loader, and so are figures that do not agree with each other or a buffer left behind.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/sound_device.h"
#include "sound/sample_loader.h"
#include "sound/sound_output.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veskor;
  static const test::TempDir dir("veskor_sample_fuzz");
  static const bool on = [] {
    SoundDeviceSelect(SoundDeviceKind::kLoopback);
    return InitDirectSound() == 1;
  }();
  if (!on) std::abort();
  const std::string path = dir.Write("input", std::span(data, size));

  SampleSlot slot;
#ifdef VESKOR_FUZZ_OGG
  const std::uint32_t loaded = LoadOggSound(path.c_str(), slot);
#else
  const std::uint32_t loaded = LoadWavSound(path.c_str(), slot);
#endif
  if (loaded == 1) {
    const std::uint32_t frameBytes = slot.channels * slot.bitsPerSample / 8;
    if (slot.buffer == nullptr || frameBytes == 0 || slot.frames != slot.dataBytes / frameBytes ||
        slot.dataBytes > kSoundBufferBytesMax || SoundBufferCount() != 1)
      std::abort();
    ReleaseSoundBuffer(slot);
  }
  if (SoundBufferCount() != 0) std::abort();
  return 0;
}
