// The Ogg Vorbis and WAVE writers of the resource tools, and the Vorbis encoding they share with
// the tests' sound files. The Vorbis stream gets a fixed serial and is fed in fixed chunks, so
// the same samples always give the same bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace veskor::tools {

// Encodes `frames` frames of `channelCount` channels at `rate` Hz with the encoder's
// variable-bit-rate `quality` as the logical stream `serial`, with a TITLE comment unless
// `title` is null. `sample(c, i)` is channel c's sample i in [-1, 1]; each finished page goes to
// `page` as its header and body bytes. False, with nothing given to `page`, when the encoder
// has no mode for the format.
using VorbisSample = std::function<float(int channel, std::size_t frame)>;
using OggPageSink = std::function<void(const unsigned char* header, long headerBytes,
                                       const unsigned char* body, long bodyBytes)>;
bool EncodeOggVorbis(int channelCount, long rate, float quality, int serial, const char* title,
                     std::size_t frames, const VorbisSample& sample, const OggPageSink& page);

// Encodes one or two channels of samples in [-1, 1] (all of one length) at `rate` Hz with the
// encoder's variable-bit-rate `quality`, and a TITLE comment. Ends the tool with a message
// when the file cannot be written or the encoder has no mode for the format.
void WriteOggVorbis(const std::string& path, const std::vector<std::vector<float>>& channels,
                    int rate, float quality, long serial, const std::string& title);

// Writes one channel of samples in [-1, 1] as a 16-bit PCM WAVE file ("fmt " then "data").
void WriteWav16(const std::string& path, const std::vector<float>& samples, int rate);

}  // namespace veskor::tools
