#include "ogg_vorbis.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace veskor::tools {
namespace {

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::exit(1);
}

}  // namespace

bool EncodeOggVorbis(int channelCount, long rate, float quality, int serial, const char* title,
                     std::size_t frames, const VorbisSample& sample, const OggPageSink& page) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channelCount, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  if (title != nullptr) vorbis_comment_add_tag(&comment, "TITLE", title);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  ogg_page out;
  auto give = [&] { page(out.header, out.header_len, out.body, out.body_len); };
  while (ogg_stream_flush(&stream, &out) != 0) give();

  // Each chunk handed in, then the end; the encoder's blocks go out as pages as they come.
  auto drain = [&] {
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &out) != 0) give();
      }
    }
  };
  constexpr std::size_t kChunk = 1024;
  for (std::size_t first = 0; first < frames; first += kChunk) {
    const std::size_t count = std::min(kChunk, frames - first);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
    for (int c = 0; c < channelCount; ++c)
      for (std::size_t i = 0; i < count; ++i) buffer[c][i] = sample(c, first + i);
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &out) != 0) give();
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return true;
}

void WriteOggVorbis(const std::string& path, const std::vector<std::vector<float>>& channels,
                    int rate, float quality, long serial, const std::string& title) {
  const int channelCount = static_cast<int>(channels.size());
  if (channelCount < 1 || channelCount > 2) Fail("one or two channels expected for " + path);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Fail("cannot write " + path);
  auto write = [&](const unsigned char* header, long headerBytes, const unsigned char* body,
                   long bodyBytes) {
    if (std::fwrite(header, 1, headerBytes, file) != static_cast<std::size_t>(headerBytes) ||
        std::fwrite(body, 1, bodyBytes, file) != static_cast<std::size_t>(bodyBytes))
      Fail("cannot write " + path);
  };
  auto sample = [&](int c, std::size_t i) { return channels[c][i]; };
  if (!EncodeOggVorbis(channelCount, rate, quality, static_cast<int>(serial), title.c_str(),
                       channels[0].size(), sample, write))
    Fail("no encoder mode");
  if (std::fclose(file) != 0) Fail("cannot write " + path);
}

void WriteWav16(const std::string& path, const std::vector<float>& samples, int rate) {
  std::vector<std::uint8_t> bytes;
  auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  auto tag = [&](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  tag("RIFF");
  put(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(static_cast<std::uint32_t>(rate), 4);
  put(static_cast<std::uint32_t>(rate) * 2, 4);
  put(2, 2);
  put(16, 2);
  tag("data");
  put(dataBytes, 4);
  for (float s : samples) {
    const long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
    put(static_cast<std::uint32_t>(v) & 0xFFFF, 2);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0)
    Fail("cannot write " + path);
}

}  // namespace veskor::tools
