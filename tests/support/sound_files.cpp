#include "support/sound_files.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "ogg_vorbis.h"

namespace veskor::test {
namespace {

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const std::string& id) {
  out.insert(out.end(), id.begin(), id.begin() + 4);
}

}  // namespace

std::vector<std::uint8_t> EncodeWav(const WavDesc& desc) {
  std::vector<std::uint8_t> out;
  PutId(out, "RIFF");
  Put(out, 0, 4);  // patched below
  PutId(out, "WAVE");
  PutId(out, "fmt ");
  Put(out, desc.formatBytes, 4);
  const std::uint32_t blockAlign = desc.channels * desc.bitsPerSample / 8;
  Put(out, desc.formatTag, 2);
  Put(out, desc.channels, 2);
  Put(out, desc.sampleRate, 4);
  Put(out, std::uint64_t{blockAlign} * desc.sampleRate, 4);
  Put(out, blockAlign, 2);
  Put(out, desc.bitsPerSample, 2);
  out.resize(out.size() + (desc.formatBytes > 16 ? desc.formatBytes - 16 : 0));
  for (const std::string& id : desc.chunksBefore) {
    PutId(out, id);
    Put(out, 4, 4);
    Put(out, 0x2A2A2A2A, 4);
  }
  PutId(out, "data");
  Put(out, desc.dataLength >= 0 ? std::uint64_t(desc.dataLength) : desc.data.size(), 4);
  out.insert(out.end(), desc.data.begin(), desc.data.end());
  const std::uint64_t riff = out.size() - 8;
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
  return out;
}

std::vector<std::uint8_t> ConstantPcm16(std::uint32_t frames, std::uint32_t channels,
                                        std::int16_t value) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t i = 0; i < frames * channels; ++i) Put(out, std::uint16_t(value), 2);
  return out;
}

std::vector<float> Sine(std::uint32_t frames, int channels, long sampleRate, double hertz,
                        double amplitude) {
  std::vector<float> out;
  for (std::uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out.push_back(
          static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hertz * i / sampleRate)));
  return out;
}

std::vector<std::uint8_t> EncodeOgg(const OggDesc& desc) {
  std::vector<std::uint8_t> out;
  std::vector<std::vector<std::uint8_t>> pages;
  auto keep = [&](const unsigned char* header, long headerBytes, const unsigned char* body,
                  long bodyBytes) {
    std::vector<std::uint8_t> bytes(header, header + headerBytes);
    bytes.insert(bytes.end(), body, body + bodyBytes);
    pages.push_back(std::move(bytes));
  };
  auto sample = [&](int c, std::size_t i) { return desc.samples[i * desc.channels + c]; };
  if (!tools::EncodeOggVorbis(desc.channels, desc.sampleRate, 0.3f, desc.serial, nullptr,
                              desc.samples.size() / desc.channels, sample, keep))
    std::abort();

  if (desc.lastGranule >= 0 && !pages.empty()) {
    std::vector<std::uint8_t>& last = pages.back();
    last[5] &= static_cast<std::uint8_t>(~4u);  // no end of stream
    for (int i = 0; i < 8; ++i)
      last[6 + i] = static_cast<std::uint8_t>(desc.lastGranule >> (8 * i));
    ogg_page rewritten{last.data(), 27 + last[26], nullptr, 0};
    rewritten.body_len = static_cast<long>(last.size()) - rewritten.header_len;
    rewritten.body = last.data() + rewritten.header_len;
    ogg_page_checksum_set(&rewritten);
  }
  for (const auto& bytes : pages) out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

}  // namespace veskor::test
