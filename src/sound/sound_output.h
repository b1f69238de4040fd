// The program's one sound output: the device started once while the window is set up, the
// switch that every other sound operation checks, and the release at shutdown. A device that
// cannot start only warns: the program then goes on without sound.
//
// The sound folder holds two libraries. veskor_sound (this file, the sample slots and the
// loaders) lies below the world language, whose Sound block loads its samples while a world
// is parsed; veskor_sound_banks (sound_banks.h) plays the banks of a parsed World and so lies
// above it.
#pragma once

#include <cstdint>

namespace veskor {

// The mixer's output: 16-bit stereo at 22050 frames per second.
inline constexpr std::uint32_t kSoundOutputRate = 22050;
inline constexpr std::uint32_t kSoundOutputChannels = 2;
inline constexpr std::uint32_t kSoundOutputBits = 16;

// The warnings shown when the output cannot start, captioned "Error".
inline constexpr const char* kSoundDeviceFailedText =
    "DirectSound Initialization failed !\nSound will be disable...";
inline constexpr const char* kSoundMixerFailedText =
    "DirectSound Primary Buffer Initialization failed !\nSound will be disable...";
inline constexpr const char* kSoundFormatFailedText =
    "DirectSound Primary Buffer SetFormat failed !\nSound will be disable...";

// 1 only once InitDirectSound has completed every step; every sound operation but the start
// itself happens only while it is 1.
extern std::uint32_t SoundEnabled;

// Opens the device (unless open) and starts its mixer (unless started); returns 1 with sound
// on. A failure shows its warning with the exclamation icon, leaves sound off and returns 0; a
// device opened before a failing mixer stays held. A second call after a success returns 1.
std::uint32_t InitDirectSound();

// Shutdown: releases the device with every buffer still loaded and turns sound off.
void ReleaseSoundDevice();

}  // namespace veskor
