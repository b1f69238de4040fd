// The `Sound` block: an ambient sound emitter, `Sound` `{` entry ... `}` with a box (`BBox`),
// near and far settings (`min`, `max`), an `overlap`, a playback `program` and its samples
// (`Sample` `{` name, volume and frequency corrections `}`). Each block fills the World's next
// SampleBank and loads its sample files into sound buffers at once. The directive loop hands
// the block to ParseSound (scene_blocks.h); sound playback plays the banks.
#pragma once

#include <cstdint>

#include "language/sample_bank.h"

namespace veskor {

inline constexpr const char* kSoundSyntaxError = "Sound syntax error";
inline constexpr const char* kSoundSampleSyntaxError = "Sound Sample syntax error";
// The World holds 16 banks and a bank 16 samples; a block beyond them is refused.
inline constexpr const char* kTooManySoundBanksMessage = "Too many sound banks";
inline constexpr const char* kTooManySamplesMessage = "Too many samples in Sound";

// What a bank is before its block sets it: near (0, 1, 0), far (1000, 1, 0), the program
// "seq" with endless repetition, no overlap.
inline constexpr float kSoundNearDefault[3] = {0.0f, 1.0f, 0.0f};
inline constexpr float kSoundFarDefault[3] = {1000.0f, 1.0f, 0.0f};

// The flags of a `program` string, from `previous`: "seq" makes them 8, else "par" 4, else
// "ran" 16 (none of the three keeps `previous`); then "loop" adds the bit of endless repetition
// (2, the bank's `even`) and "even" the bit of the proximity start (1, the bank's `loop`).
// The words are found anywhere in the string.
std::uint32_t SoundProgramFlags(const char* text, std::uint32_t previous);

// The near and far settings: distances, first values, second values.
void SampleBankSetRanges(SampleBank& bank, float nearDistance, float farDistance, float nearFirst,
                         float farFirst, float nearSecond, float farSecond);

// Stores the program flags with the kind, the repetition (always for "ran") and proximity bits
// derived from them, and the overlap; the bank is not playing. A repeating bank of one sample
// loads that sample a second time into its next slot (same file, loader and corrections), so
// that one copy can start while the other still sounds. False when that second load fails.
bool SampleBankSetProgram(SampleBank& bank, std::uint32_t flags, float overlap);

// The extension the loader is chosen by: the first "." within the last eight characters of
// the name (the whole name when it is shorter than nine), or "" without one. ".ogg" exactly
// loads an Ogg Vorbis file; anything else, ".OGG" included, a WAV file.
const char* FileExtension(const char* name);

}  // namespace veskor
