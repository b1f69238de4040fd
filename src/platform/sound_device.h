// The sound device over OpenAL Soft: one output device with one mixer for the process, and
// static sound buffers that each hold one whole sample (an AL buffer with its own source).
// The sound subsystem's loaders fill the buffers and its bank playback plays them. No OpenAL
// type leaves this module.
//
// A buffer is filled once: lock it, write the whole sample, unlock it. Playing an already
// playing buffer goes on where it is; stopping keeps the position (a pause), rewinding moves
// it back to the start. Volumes are in hundredths of a decibel, -10000 (silence) to 0 (full).
#pragma once

#include <cstdint>

namespace veskor {

struct SoundBuffer;

// The default device of the machine, or the loopback device that renders into memory on
// request (tests, headless runs). With no sound card the default device opens only with
// ALSOFT_DRIVERS=null.
enum class SoundDeviceKind { kDefault, kLoopback };

// The largest buffer the device holds, in bytes, and the most buffers it holds at once (each
// has a source of the mixer's; the world's sixteen banks of sixteen samples and the intro
// music fit twice).
inline constexpr std::uint32_t kSoundBufferBytesMax = 0x0FFFFFFF;
inline constexpr std::uint32_t kSoundBufferMax = 514;
inline constexpr std::int32_t kSoundVolumeMin = -10000;
inline constexpr std::int32_t kSoundVolumeMax = 0;

// Which kind SoundDeviceOpen opens; the default device unless this is called first.
void SoundDeviceSelect(SoundDeviceKind kind);
// Opens the selected device; false when it cannot be had. Nothing when one is open.
bool SoundDeviceOpen();
bool SoundDeviceIsOpen();

enum class SoundMixerResult { kStarted, kRefused, kFormatRefused };
// Starts the device's mixer with its output at `rate` frames per second, `channels` channels
// of `bitsPerSample` bits (16-bit mono or stereo). kRefused when the device gives no mixer,
// kFormatRefused when it cannot output that format. Needs an open device.
SoundMixerResult SoundMixerStart(std::uint32_t rate, std::uint32_t channels,
                                 std::uint32_t bitsPerSample);
bool SoundMixerIsStarted();

// Releases every buffer still held, the mixer and the device; the buffer handles are dead then.
void SoundDeviceClose();

// Loopback device only: mixes the next `frames` frames of the mixer's output into `out`
// (interleaved 16-bit samples, one per output channel). False without a started loopback mixer.
bool SoundDeviceRender(std::int16_t* out, std::uint32_t frames);

// True for the formats a buffer can hold: 1 or 2 channels of 8-bit unsigned or 16-bit signed
// little-endian samples, at a rate from 1 to 192000 frames per second.
bool SoundFormatPlayable(std::uint32_t channels, std::uint32_t bitsPerSample, std::uint32_t rate);

// A buffer of `bytes` bytes of samples in that format (a trailing partial frame is dropped
// when it is filled); null when the format is not playable, `bytes` is 0 or above
// kSoundBufferBytesMax, kSoundBufferMax buffers are held, or the mixer refuses. Needs a
// started mixer.
SoundBuffer* SoundBufferCreate(std::uint32_t channels, std::uint32_t bitsPerSample,
                               std::uint32_t rate, std::uint32_t bytes);
// The buffer's whole memory, zero-filled, and its size in bytes; null when it cannot be had
// or the buffer was filled already.
std::uint8_t* SoundBufferLock(SoundBuffer* buffer, std::uint32_t* bytes);
// Hands the locked memory to the mixer; false when it refuses or nothing is locked.
bool SoundBufferUnlock(SoundBuffer* buffer);
void SoundBufferRelease(SoundBuffer* buffer);
// The buffers made and not yet released.
std::uint32_t SoundBufferCount();

// False, keeping the volume, when `volume` lies outside kSoundVolumeMin..kSoundVolumeMax.
bool SoundBufferSetVolume(SoundBuffer* buffer, std::int32_t volume);
// Plays from the current position, looping or once; a playing buffer goes on from where it is
// and only takes the looping flag.
void SoundBufferPlay(SoundBuffer* buffer, bool looping);
void SoundBufferStop(SoundBuffer* buffer);
void SoundBufferRewind(SoundBuffer* buffer);

// What a buffer is doing, for tests and inspection.
struct SoundBufferStatus {
  bool playing;
  bool paused;  // stopped before its end, keeping its position
  bool looping;
  std::uint32_t position;  // frames from the start
  std::int32_t volume;     // the last volume accepted
};
SoundBufferStatus SoundBufferQuery(const SoundBuffer* buffer);

}  // namespace veskor
