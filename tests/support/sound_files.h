// Sound files made for the tests of the sample loaders and sound banks, the program's start
// (its intro music) and the sound fuzzers' seeds: WAV files laid out field by field, so that
// each can be damaged, and Ogg Vorbis streams encoded with libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veskor::test {

struct WavDesc {
  std::uint32_t formatTag = 1;
  std::uint32_t channels = 1;
  std::uint32_t sampleRate = 22050;
  std::uint32_t bitsPerSample = 16;
  std::uint32_t formatBytes = 16;           // the "fmt " chunk's length; past 16, zero bytes
  std::vector<std::string> chunksBefore{};  // ids of 4-byte chunks between "fmt " and "data"
  std::vector<std::uint8_t> data{};
  std::int64_t dataLength = -1;  // the length the "data" chunk states; -1: data's size
};
std::vector<std::uint8_t> EncodeWav(const WavDesc& desc);

// `frames` frames of 16-bit little-endian samples, every channel `value`.
std::vector<std::uint8_t> ConstantPcm16(std::uint32_t frames, std::uint32_t channels,
                                        std::int16_t value);

struct OggDesc {
  int channels = 1;
  long sampleRate = 22050;
  std::vector<float> samples{};  // interleaved, -1 to 1
  // >= 0: the last page's granule position (the stream's announced length) is rewritten to
  // this and its end-of-stream flag cleared, so the decoder gives every encoded frame.
  std::int64_t lastGranule = -1;
  int serial = 0x54455354;  // of the logical stream; links of a chain need their own
};
std::vector<std::uint8_t> EncodeOgg(const OggDesc& desc);

// A sine of `frames` frames at `hertz`, `amplitude` in every channel, interleaved.
std::vector<float> Sine(std::uint32_t frames, int channels, long sampleRate, double hertz,
                        double amplitude);

}  // namespace veskor::test
