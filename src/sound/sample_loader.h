// The sample loaders: a RIFF WAVE file of PCM samples or a whole Ogg Vorbis stream, read into
// one static sound buffer of a SampleSlot. The world language's Sound block loads every sample
// of a bank with them; the program entry loads the intro music.
//
// A result of 0 always means a missing, unreadable or unacceptable file, without a message:
// the caller says what to report, and `why` (when given) holds the reason the file did not
// open when it is there ("Permission denied", "it is a FIFO, not a regular file"), empty
// otherwise. A FIFO or anything else but a regular file is refused at once, never waited on.
// A buffer that the device refuses to create, lock or fill ends the
// process (a box captioned "Error", exit code 1). With sound off a good file gives 1 and the
// slot stays as it is.
#pragma once

#include <cstdint>
#include <string>

#include "sound/sample_slot.h"

namespace veskor {

inline constexpr const char* kSoundBufferCreateFailedText =
    "DirectSoundBuffer Initialization failed !";
inline constexpr const char* kSoundBufferLockFailedText = "DirectSoundBuffer Lock failed !";
inline constexpr const char* kSoundBufferUnlockFailedText = "DirectSoundBuffer UnLock failed !";

// "RIFF", "WAVE", then the "fmt " chunk first (format tag 1, of at least 16 bytes), at most one
// other chunk, then "data". Refused besides: 0 channels, 0 bits or rate 0, any format the
// device cannot play (1 or 2 channels of 8 or 16 bits), a data chunk without a whole frame or
// larger than a buffer can be. A data chunk longer than the rest of the file is zero-filled.
std::uint32_t LoadWavSound(const char* path, SampleSlot& slot, std::string* why = nullptr);

// The whole stream, as 16-bit samples; refused when the decoder refuses it, it has no length,
// its links differ in channels or rate, or the device cannot play its format. Decoding stops
// at the buffer's size, the size the stream announces; what it does not fill stays silent.
std::uint32_t LoadOggSound(const char* path, SampleSlot& slot, std::string* why = nullptr);

}  // namespace veskor
