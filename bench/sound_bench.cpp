// Sound: a frame of bank playback over a full World (16 banks of 16 samples) with the camera
// still (no device call) and moving (every sample's volume sent), and the loading of one second
// of samples from WAV and from Ogg Vorbis. Sound on the loopback mixer.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/frame_clock.h"
#include "mapengine/kernel_table.h"
#include "platform/sound_device.h"
#include "sound/sample_loader.h"
#include "sound/sound_banks.h"
#include "sound/sound_output.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

const test::TempDir& Dir() {
  static const test::TempDir dir("veskor_sound_bench");
  return dir;
}

void StartSound() {
  static const bool started = [] {
    InitKernelTable();
    SoundDeviceSelect(SoundDeviceKind::kLoopback);
    return InitDirectSound() == 1;
  }();
  (void)started;
}

// Camera still (0) or moving through the banks' range (1).
void UpdateEmitterAttenuation16x16(benchmark::State& state) {
  StartSound();
  const std::string wav =
      Dir().Write("bank.wav", test::EncodeWav({.data = test::ConstantPcm16(256, 1, 1000)}));
  for (std::uint32_t b = 0; b < kWorldSoundBankMax; ++b) {
    SampleBank& bank = gWorld.soundBanks[b];
    SampleBankClear(bank);
    for (std::uint32_t i = 0; i < kSampleBankSamples; ++i) LoadWavSound(wav.c_str(), bank.slots[i]);
    bank.sampleCount = kSampleBankSamples;
    bank.kind = b % 2 == 0 ? kSoundProgramPar : kSoundProgramSeq;
    bank.boxMin[0] = bank.boxMax[0] = 10.0f * static_cast<float>(b);
  }
  gWorld.soundBankCount = kWorldSoundBankMax;
  FrameClockStartAt(0);
  StartSoundBanks(gWorld);
  Camera camera;
  std::uint64_t frame = 0;
  for (auto _ : state) {
    FrameClockTickAt(++frame * 16'000'000);
    if (state.range(0) == 1) camera.position[0] = static_cast<float>(frame % 1000);
    UpdateEmitterAttenuation(camera, gWorld);
  }
  for (SampleBank& bank : gWorld.soundBanks) SampleBankClear(bank);
  gWorld.soundBankCount = 0;
}
BENCHMARK(UpdateEmitterAttenuation16x16)->Arg(0)->Arg(1);

// One second of mono 16-bit samples at 22050 Hz: WAV (0) or Ogg Vorbis (1).
void LoadOneSecond(benchmark::State& state) {
  StartSound();
  const bool ogg = state.range(0) == 1;
  const auto sine = test::Sine(22050, 1, 22050, 440, 0.5);
  std::vector<std::uint8_t> pcm;
  for (float s : sine) {
    const auto v = static_cast<std::int16_t>(s * 32767);
    pcm.push_back(static_cast<std::uint8_t>(v));
    pcm.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  const std::string path = ogg ? Dir().Write("one.ogg", test::EncodeOgg({1, 22050, sine}))
                               : Dir().Write("one.wav", test::EncodeWav({.data = pcm}));
  SampleSlot slot;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ogg ? LoadOggSound(path.c_str(), slot)
                                 : LoadWavSound(path.c_str(), slot));
  }
  ReleaseSoundBuffer(slot);
}
BENCHMARK(LoadOneSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veskor
