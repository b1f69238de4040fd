#include "support/sound_files.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

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
  auto keep = [&](const ogg_page& page) {
    std::vector<std::uint8_t> bytes(page.header, page.header + page.header_len);
    bytes.insert(bytes.end(), page.body, page.body + page.body_len);
    pages.push_back(std::move(bytes));
  };
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, desc.channels, desc.sampleRate, 0.3f) != 0) std::abort();
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, desc.serial);
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) keep(page);
  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) keep(page);
      }
    }
  };
  const std::size_t frames = desc.samples.size() / desc.channels;
  constexpr std::size_t kChunk = 1024;
  for (std::size_t first = 0; first < frames; first += kChunk) {
    const std::size_t count = std::min(kChunk, frames - first);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i)
      for (int c = 0; c < desc.channels; ++c)
        buffer[c][i] = desc.samples[(first + i) * desc.channels + c];
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) keep(page);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);

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
