// The intro music decodes with vorbisfile, as the program loads it, to the length of the page
// cycle it accompanies, with music all through it.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "resources/resource_test_support.h"

namespace veskor {
namespace {

constexpr double kPageCycleSeconds = 87.6;
constexpr long kRate = 22050;

TEST(IntroMusic, DecodesToThePageCycleWithMusicThroughout) {
  const std::string path = test::kProductDir + "resources/Snd/introveskor.ogg";
  OggVorbis_File file;
  ASSERT_EQ(ov_fopen(path.c_str(), &file), 0);
  const vorbis_info* info = ov_info(&file, -1);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->rate, kRate);
  const int channels = info->channels;
  ASSERT_GE(channels, 1);

  // The level of every 4-second window, and the peak.
  constexpr long kWindow = 4 * kRate;
  std::vector<double> energy;
  long frames = 0;
  float peak = 0;
  double sides = 0;  // the level of left minus right: the voices are spread
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&file, &pcm, 4096, &section);
    ASSERT_GE(n, 0);
    if (n == 0) break;
    for (long i = 0; i < n; ++i, ++frames) {
      if (frames % kWindow == 0) energy.push_back(0);
      for (int c = 0; c < channels; ++c) {
        energy.back() += double{pcm[c][i]} * pcm[c][i];
        peak = std::max(peak, std::fabs(pcm[c][i]));
      }
      if (channels == 2) sides += double{pcm[0][i] - pcm[1][i]} * (pcm[0][i] - pcm[1][i]);
    }
  }
  ov_clear(&file);
  EXPECT_GE(static_cast<double>(frames) / kRate, kPageCycleSeconds);
  EXPECT_LE(static_cast<double>(frames) / kRate, kPageCycleSeconds + 1.0);
  EXPECT_LT(peak, 1.0f);
  EXPECT_GT(peak, 0.5f);
  EXPECT_EQ(channels, 2);
  EXPECT_GT(std::sqrt(sides / frames), 0.01);
  // Every whole window holds music: an RMS level above -40 dB (the fades included).
  for (std::size_t w = 0; w + 1 < energy.size(); ++w)
    EXPECT_GT(std::sqrt(energy[w] / (kWindow * channels)), 0.01) << "window " << w;
}

}  // namespace
}  // namespace veskor
