// Writes the seeds of the sample fuzzers: small WAV files of the layouts the loader accepts and
// short Ogg Vorbis streams, mono and stereo.
//   make_sound_corpus fuzz/corpus/wav fuzz/corpus/ogg
#include <cstdio>
#include <string>
#include <vector>

#include "support/sound_files.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
  using namespace veskor::test;
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_sound_corpus <wav directory> <ogg directory>\n");
    return 2;
  }
  WavDesc mono;
  mono.data = ConstantPcm16(16, 1, 1000);
  WavDesc stereo8 = mono;
  stereo8.channels = 2;
  stereo8.bitsPerSample = 8;
  stereo8.formatBytes = 18;
  stereo8.chunksBefore = {"LIST"};
  WavDesc cut = mono;
  cut.dataLength = 64;
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
      {std::string(argv[1]) + "/mono16.wav", EncodeWav(mono)},
      {std::string(argv[1]) + "/stereo8_list.wav", EncodeWav(stereo8)},
      {std::string(argv[1]) + "/short_data.wav", EncodeWav(cut)},
      {std::string(argv[2]) + "/mono.ogg", EncodeOgg({1, 22050, Sine(1000, 1, 22050, 440, 0.5)})},
      {std::string(argv[2]) + "/stereo.ogg", EncodeOgg({2, 11025, Sine(500, 2, 11025, 300, 0.3)})},
  };
  for (const auto& [path, bytes] : files) {
    if (!WriteFileBytes(path, bytes)) {
      std::fprintf(stderr, "make_sound_corpus: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
