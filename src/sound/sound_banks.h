// Sound bank playback: the banks of a parsed World start at the end of every render session,
// and every frame the camera's distance to each bank's box becomes the bank's volume while the
// bank's program moves through its samples (in order, at random or all together). Distance
// only changes the volume: there is no panning.
//
// This is the library veskor_sound_banks: it reads the World of the world language, which in
// turn loads its samples through veskor_sound (sound_output.h), so it lies above both.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "language/world.h"

namespace veskor {

// The volume sent for a sample: s = its volume correction + the bank's volume, clamped to
// [0, 1], gives trunc(10000 s) - 10000 hundredths of a decibel (0 full, -10000 silent).
std::int32_t SampleVolume(const SampleBank& bank, std::uint32_t sample);

// Once per render session, last: every bank with samples picks its first sample, takes its
// volume and, unless it starts by proximity (the loop bit), starts playing.
void StartSoundBanks(World& world);

// Once per frame, before the camera moves: each bank's attenuation from the camera's position,
// its proximity state, then UpdateSoundBank.
void UpdateEmitterAttenuation(const Camera& camera, World& world);

// One frame of one bank at the frame clock's current time: volumes, a proximity start, and the
// change from one sample to the next.
void UpdateSoundBank(SampleBank& bank);

// Before a world is reset: stops and rewinds every sample of the banks in use and leaves them
// idle, so that no endless bank sounds on over the next world.
void StopSoundBanks(World& world);

}  // namespace veskor
