#include "platform/sound_device.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/process.h"

namespace veskor {

struct SoundBuffer {
  ALuint buffer = 0;
  ALuint source = 0;
  ALenum format = 0;
  ALsizei rate = 0;
  std::uint32_t bytes = 0;
  std::uint32_t frameBytes = 0;
  std::uint8_t* locked = nullptr;  // the memory between lock and unlock
  bool filled = false;
  std::int32_t volume = kSoundVolumeMax;
};

namespace {

constexpr std::uint32_t kRateMin = 100;
constexpr std::uint32_t kRateMax = 200000;

SoundDeviceKind gKind = SoundDeviceKind::kDefault;
ALCdevice* gDevice = nullptr;
ALCcontext* gContext = nullptr;
// Every buffer not yet released. Never destroyed: slots of static objects may release their
// buffers during the static destruction.
std::vector<SoundBuffer*>& Buffers() {
  static auto* buffers = new std::vector<SoundBuffer*>;
  return *buffers;
}
LPALCRENDERSAMPLESSOFT gRenderSamples = nullptr;

ALenum BufferFormat(std::uint32_t channels, std::uint32_t bitsPerSample) {
  if (channels == 1) return bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
  return bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

void ClearAlError() { alGetError(); }

}  // namespace

void SoundDeviceSelect(SoundDeviceKind kind) { gKind = kind; }

bool SoundDeviceOpen() {
  if (gDevice != nullptr) return true;
  if (gKind == SoundDeviceKind::kLoopback) {
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    gRenderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    gDevice = open != nullptr && gRenderSamples != nullptr ? open(nullptr) : nullptr;
  } else {
    gDevice = alcOpenDevice(nullptr);
  }
  return gDevice != nullptr;
}

bool SoundDeviceIsOpen() { return gDevice != nullptr; }

SoundMixerResult SoundMixerStart(std::uint32_t rate, std::uint32_t channels,
                                 std::uint32_t bitsPerSample) {
  if (gDevice == nullptr) return SoundMixerResult::kRefused;
  if (gContext != nullptr) return SoundMixerResult::kStarted;
  if ((channels != 1 && channels != 2) || bitsPerSample != 16 || rate < kRateMin || rate > kRateMax)
    return SoundMixerResult::kFormatRefused;
  const ALCint layout = channels == 2 ? ALC_STEREO_SOFT : ALC_MONO_SOFT;
  std::vector<ALCint> attributes = {ALC_FREQUENCY,      static_cast<ALCint>(rate),
                                    ALC_MONO_SOURCES,   static_cast<ALCint>(kSoundBufferMax),
                                    ALC_STEREO_SOURCES, 0};
  if (gKind == SoundDeviceKind::kLoopback) {
    auto supported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
        alcGetProcAddress(gDevice, "alcIsRenderFormatSupportedSOFT"));
    if (supported == nullptr ||
        supported(gDevice, static_cast<ALCsizei>(rate), layout, ALC_SHORT_SOFT) == ALC_FALSE)
      return SoundMixerResult::kFormatRefused;
    attributes.insert(attributes.end(),
                      {ALC_FORMAT_CHANNELS_SOFT, layout, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT});
  }
  attributes.push_back(0);
  gContext = alcCreateContext(gDevice, attributes.data());
  if (gContext == nullptr) {
    // OpenAL starts the device's mixing thread here, and tells only that the context failed:
    // when no thread can be started now, that was why (the user's limit of processes).
    int refusal = 0;
    if (gKind == SoundDeviceKind::kDefault && ThreadsThatCanStart(1, &refusal) == 0)
      SayNotStarted("the sound's mixing thread", refusal);
    return SoundMixerResult::kRefused;
  }
  if (alcMakeContextCurrent(gContext) == ALC_FALSE) {
    alcDestroyContext(gContext);
    gContext = nullptr;
    return SoundMixerResult::kRefused;
  }
  return SoundMixerResult::kStarted;
}

bool SoundMixerIsStarted() { return gContext != nullptr; }

void SoundDeviceClose() {
  while (!Buffers().empty()) SoundBufferRelease(Buffers().back());
  if (gContext != nullptr) {
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(gContext);
    gContext = nullptr;
  }
  if (gDevice != nullptr) alcCloseDevice(gDevice);
  gDevice = nullptr;
}

bool SoundDeviceRender(std::int16_t* out, std::uint32_t frames) {
  if (gKind != SoundDeviceKind::kLoopback || gContext == nullptr) return false;
  gRenderSamples(gDevice, out, static_cast<ALCsizei>(frames));
  return true;
}

bool SoundFormatPlayable(std::uint32_t channels, std::uint32_t bitsPerSample, std::uint32_t rate) {
  return (channels == 1 || channels == 2) && (bitsPerSample == 8 || bitsPerSample == 16) &&
         rate >= kRateMin && rate <= kRateMax;
}

SoundBuffer* SoundBufferCreate(std::uint32_t channels, std::uint32_t bitsPerSample,
                               std::uint32_t rate, std::uint32_t bytes) {
  if (gContext == nullptr || !SoundFormatPlayable(channels, bitsPerSample, rate) || bytes == 0 ||
      bytes > kSoundBufferBytesMax || Buffers().size() >= kSoundBufferMax)
    return nullptr;
  ClearAlError();
  auto* sound = new SoundBuffer;
  alGenBuffers(1, &sound->buffer);
  if (alGetError() == AL_NO_ERROR) alGenSources(1, &sound->source);
  if (alGetError() != AL_NO_ERROR) {
    if (sound->buffer != 0) alDeleteBuffers(1, &sound->buffer);
    delete sound;
    return nullptr;
  }
  sound->format = BufferFormat(channels, bitsPerSample);
  sound->rate = static_cast<ALsizei>(rate);
  sound->bytes = bytes;
  sound->frameBytes = channels * bitsPerSample / 8;
  Buffers().push_back(sound);
  return sound;
}

std::uint8_t* SoundBufferLock(SoundBuffer* buffer, std::uint32_t* bytes) {
  if (buffer->filled || buffer->locked != nullptr) return nullptr;
  buffer->locked = static_cast<std::uint8_t*>(std::calloc(buffer->bytes, 1));
  if (buffer->locked != nullptr) *bytes = buffer->bytes;
  return buffer->locked;
}

bool SoundBufferUnlock(SoundBuffer* buffer) {
  if (buffer->locked == nullptr) return false;
  ClearAlError();
  const std::uint32_t whole = buffer->bytes - buffer->bytes % buffer->frameBytes;
  alBufferData(buffer->buffer, buffer->format, buffer->locked, static_cast<ALsizei>(whole),
               buffer->rate);
  if (alGetError() == AL_NO_ERROR)
    alSourcei(buffer->source, AL_BUFFER, static_cast<ALint>(buffer->buffer));
  std::free(buffer->locked);
  buffer->locked = nullptr;
  buffer->filled = alGetError() == AL_NO_ERROR;
  return buffer->filled;
}

void SoundBufferRelease(SoundBuffer* buffer) {
  if (buffer == nullptr) return;
  const auto it = std::find(Buffers().begin(), Buffers().end(), buffer);
  if (it == Buffers().end()) return;  // released with the device
  Buffers().erase(it);
  alDeleteSources(1, &buffer->source);
  alDeleteBuffers(1, &buffer->buffer);
  std::free(buffer->locked);
  delete buffer;
}

std::uint32_t SoundBufferCount() { return static_cast<std::uint32_t>(Buffers().size()); }

bool SoundBufferSetVolume(SoundBuffer* buffer, std::int32_t volume) {
  if (volume < kSoundVolumeMin || volume > kSoundVolumeMax) return false;
  buffer->volume = volume;
  alSourcef(buffer->source, AL_GAIN, static_cast<ALfloat>(std::pow(10.0, volume / 2000.0)));
  return true;
}

void SoundBufferPlay(SoundBuffer* buffer, bool looping) {
  alSourcei(buffer->source, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
  ALint state = 0;
  alGetSourcei(buffer->source, AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) alSourcePlay(buffer->source);
}

void SoundBufferStop(SoundBuffer* buffer) { alSourcePause(buffer->source); }

void SoundBufferRewind(SoundBuffer* buffer) {
  ALint state = 0;
  alGetSourcei(buffer->source, AL_SOURCE_STATE, &state);
  if (state == AL_PLAYING)
    alSourcei(buffer->source, AL_SAMPLE_OFFSET, 0);
  else
    alSourceRewind(buffer->source);
}

SoundBufferStatus SoundBufferQuery(const SoundBuffer* buffer) {
  ALint state = 0, looping = 0, position = 0;
  alGetSourcei(buffer->source, AL_SOURCE_STATE, &state);
  alGetSourcei(buffer->source, AL_LOOPING, &looping);
  alGetSourcei(buffer->source, AL_SAMPLE_OFFSET, &position);
  return {state == AL_PLAYING, state == AL_PAUSED, looping == AL_TRUE,
          static_cast<std::uint32_t>(position), buffer->volume};
}

}  // namespace veskor
