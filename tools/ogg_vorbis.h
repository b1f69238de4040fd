// The Ogg Vorbis and WAVE writers of the resource tools. The Vorbis stream gets a fixed serial
// and is fed in fixed chunks, so the same samples always give the same bytes.
#pragma once

#include <string>
#include <vector>

namespace veskor::tools {

// Encodes one or two channels of samples in [-1, 1] (all of one length) at `rate` Hz with the
// encoder's variable-bit-rate `quality`, and a TITLE comment. Ends the tool with a message
// when the file cannot be written or the encoder has no mode for the format.
void WriteOggVorbis(const std::string& path, const std::vector<std::vector<float>>& channels,
                    int rate, float quality, long serial, const std::string& title);

// Writes one channel of samples in [-1, 1] as a 16-bit PCM WAVE file ("fmt " then "data").
void WriteWav16(const std::string& path, const std::vector<float>& samples, int rate);

}  // namespace veskor::tools
