// Synthesises the intro music that plays with the welcome pages and encodes it as Ogg Vorbis:
// 22050 Hz stereo, 88 seconds (the page cycle lasts 87.6 s).
//
//   make_intro_music <ogg file>
//
// The piece follows the page cycle: six passes of 14.6 s, four chords a pass (8 beats of
// 0.45625 s each). A pad plays throughout; plucked arpeggios with an echo, a bass, a light
// shaker and a lead melody come and go pass by pass; the last chord fades out. Everything is
// computed from fixed tables and a fixed noise sequence, and the stream serial is fixed, so
// every run writes the same bytes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ogg_vorbis.h"

namespace {

constexpr int kRate = 22050;
constexpr int kChannels = 2;
constexpr double kSeconds = 88.0;
constexpr std::size_t kFrames = static_cast<std::size_t>(kSeconds * kRate);
constexpr double kBeat = 0.45625;
constexpr double kChordSeconds = 8 * kBeat;  // 3.65 s
constexpr int kChords = 24;                  // six passes of four
constexpr long kSerial = 0x56534B52;         // "VSKR"
constexpr float kQuality = 0.35f;
constexpr double kPi = 3.14159265358979323846;

struct Chord {
  std::array<int, 3> notes;  // MIDI numbers
  int bass;
};

constexpr Chord kAm{{57, 60, 64}, 45}, kF{{53, 57, 60}, 41}, kC{{55, 60, 64}, 48},
    kG{{55, 59, 62}, 43}, kDm{{57, 62, 65}, 50}, kE{{56, 59, 64}, 40}, kEm{{55, 59, 64}, 40};
constexpr Chord kProgression[kChords] = {kAm, kF, kC, kG, kAm, kF, kC,  kG,  kDm, kAm, kF, kE,
                                         kAm, kF, kC, kG, kF,  kG, kEm, kAm, kF,  kG,  kC, kAm};

double Frequency(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// The noise of the plucks and the shaker: the program's own 15-bit generator.
struct Noise {
  std::uint32_t seed = 1;
  double Next() {
    seed = seed * 214013u + 2531011u;
    return ((seed >> 16) & 0x7FFF) / 16383.5 - 1.0;
  }
};

// One cycle of a timbre as a sum of harmonics, read with linear interpolation.
class Wavetable {
 public:
  explicit Wavetable(const std::vector<double>& harmonics) : table_(kSize + 1) {
    for (int i = 0; i <= kSize; ++i) {
      double v = 0;
      for (std::size_t h = 0; h < harmonics.size(); ++h)
        v += harmonics[h] * std::sin(2 * kPi * (h + 1) * i / kSize);
      table_[i] = v;
    }
  }
  double At(double phase) const {  // phase in cycles
    const double p = (phase - std::floor(phase)) * kSize;
    const int i = static_cast<int>(p);
    return table_[i] + (table_[i + 1] - table_[i]) * (p - i);
  }

 private:
  static constexpr int kSize = 4096;
  std::vector<double> table_;
};

class Mix {
 public:
  Mix() : left_(kFrames, 0.0), right_(kFrames, 0.0) {}
  void Add(std::size_t frame, double value, double pan) {  // pan -1 left .. 1 right
    if (frame >= kFrames) return;
    left_[frame] += value * std::sqrt(0.5 * (1 - pan));
    right_[frame] += value * std::sqrt(0.5 * (1 + pan));
  }
  std::vector<double>& left() { return left_; }
  std::vector<double>& right() { return right_; }

 private:
  std::vector<double> left_, right_;
};

std::size_t Frame(double seconds) { return static_cast<std::size_t>(std::lround(seconds * kRate)); }

// A note on a wavetable with attack and release times, the release after `length`.
void PlayTone(Mix& mix, const Wavetable& wave, double start, double length, double frequency,
              double level, double pan, double attack, double release, double vibrato = 0) {
  const std::size_t first = Frame(start), count = Frame(length + release);
  double phase = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double envelope = std::min(1.0, t / attack);
    if (t > length) envelope *= std::max(0.0, 1.0 - (t - length) / release);
    const double wobble = 1 + vibrato * std::sin(2 * kPi * 5.2 * t) * std::min(1.0, t / 0.6);
    phase += frequency * wobble / kRate;
    mix.Add(first + i, level * envelope * envelope * wave.At(phase), pan);
  }
}

// A plucked string (Karplus-Strong) into the arpeggio bus.
void PlayPluck(Mix& bus, Noise& noise, double start, double frequency, double level, double pan) {
  const auto period = static_cast<std::size_t>(std::lround(kRate / frequency));
  std::vector<double> line(period);
  double previous = 0;
  for (double& v : line) {  // soft noise: a first-order low pass
    previous = 0.55 * previous + 0.45 * noise.Next();
    v = previous;
  }
  const std::size_t first = Frame(start), count = Frame(1.4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t k = i % period;
    const double out = line[k];
    line[k] = 0.4985 * (out + line[(k + 1) % period]);
    const double fade = i + 400 > count ? (count - i) / 400.0 : 1.0;
    bus.Add(first + i, level * out * fade, pan);
  }
}

void PlayShaker(Mix& mix, Noise& noise, double start, double level) {
  const std::size_t first = Frame(start), count = Frame(0.09);
  double last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double n = noise.Next();
    const double high = n - last;  // a first difference: the hiss without the rumble
    last = n;
    const double envelope = std::exp(-static_cast<double>(i) / (0.018 * kRate));
    mix.Add(first + i, level * envelope * high, 0.3);
  }
}

// A ping-pong echo of the bus added into the mix.
void AddEcho(Mix& mix, Mix& bus, double delaySeconds, double feedback, double wet) {
  const std::size_t delay = Frame(delaySeconds);
  std::vector<double>& l = bus.left();
  std::vector<double>& r = bus.right();
  for (std::size_t i = delay; i < kFrames; ++i) {
    l[i] += feedback * r[i - delay];
    r[i] += feedback * l[i - delay];
  }
  for (std::size_t i = 0; i < kFrames; ++i) {
    mix.left()[i] += wet * l[i];
    mix.right()[i] += wet * r[i];
  }
}

void Compose(Mix& mix) {
  const Wavetable pad({1, 0.45, 0.28, 0.16, 0.09, 0.05, 0.03, 0.02});
  const Wavetable bass({1, 0.35, 0.12});
  const Wavetable lead({1, 0, 0.11, 0, 0.04, 0, 0.02});
  Noise noise;
  Mix plucks;
  for (int c = 0; c < kChords; ++c) {
    const Chord& chord = kProgression[c];
    const int pass = c / 4;
    const double t0 = c * kChordSeconds;
    const bool last = c == kChords - 1;
    // The pad: three detuned voices a note, left, centre and right.
    for (int note : chord.notes)
      for (int voice = -1; voice <= 1; ++voice)
        PlayTone(mix, pad, t0, last ? kSeconds - t0 - 2.5 : kChordSeconds,
                 Frequency(note + 0.07 * voice), 0.045, 0.6 * voice, c == 0 ? 3.0 : 0.9,
                 last ? 2.5 : 1.3);
    // Arpeggios: eighth notes up and down the chord an octave higher.
    if (pass >= 1 && !last) {
      static constexpr int kOrder[8] = {0, 1, 2, 3, 2, 1, 2, 3};
      for (int step = 0; step < 16; ++step) {
        const int i = kOrder[step % 8];
        const int note = i < 3 ? chord.notes[i] + 12 : chord.notes[0] + 24;
        const double level = (step % 4 == 0 ? 0.28 : 0.2) * (pass == 5 ? 0.6 : 1.0);
        PlayPluck(plucks, noise, t0 + step * kBeat / 2, Frequency(note), level,
                  step % 2 == 0 ? -0.35 : 0.35);
      }
    }
    // The bass: the root on beats 1 and 5, a fifth on beat 7.
    if (pass >= 2 && !last) {
      PlayTone(mix, bass, t0, 3 * kBeat, Frequency(chord.bass), 0.22, 0, 0.01, 0.4);
      PlayTone(mix, bass, t0 + 4 * kBeat, 1.6 * kBeat, Frequency(chord.bass), 0.2, 0, 0.01, 0.3);
      PlayTone(mix, bass, t0 + 6 * kBeat, 1.6 * kBeat, Frequency(chord.bass + 7), 0.16, 0, 0.01,
               0.3);
    }
    // A shaker on the off-beats of the middle passes.
    if (pass >= 2 && pass <= 4)
      for (int beat = 0; beat < 8; ++beat) PlayShaker(mix, noise, t0 + (beat + 0.5) * kBeat, 0.05);
    // The lead: four notes a chord, from the chord's tones.
    if (pass == 3 || pass == 4) {
      static constexpr int kPattern[2][4] = {{2, 1, 2, 0}, {1, 2, 3, 2}};
      for (int n = 0; n < 4; ++n) {
        const int i = kPattern[c % 2][n];
        const int note = i < 3 ? chord.notes[i] + 12 : chord.notes[0] + 24;
        PlayTone(mix, lead, t0 + n * 2 * kBeat, 1.7 * kBeat, Frequency(note), 0.11, 0.15, 0.05,
                 0.35, 0.006);
      }
    }
  }
  AddEcho(mix, plucks, 0.75 * kBeat, 0.35, 0.9);
}

// Fades, then scales the peak to 0.85.
void Master(Mix& mix) {
  double peak = 1e-9;
  for (std::size_t i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double gain = std::min(1.0, t / 1.5);
    if (t > kSeconds - 6) gain *= 0.5 + 0.5 * std::cos(kPi * (t - (kSeconds - 6)) / 6);
    mix.left()[i] *= gain;
    mix.right()[i] *= gain;
    peak = std::max({peak, std::fabs(mix.left()[i]), std::fabs(mix.right()[i])});
  }
  for (std::size_t i = 0; i < kFrames; ++i) {
    mix.left()[i] *= 0.85 / peak;
    mix.right()[i] *= 0.85 / peak;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_intro_music <ogg file>\n");
    return 2;
  }
  Mix mix;
  Compose(mix);
  Master(mix);
  std::vector<std::vector<float>> channels(kChannels, std::vector<float>(kFrames));
  for (std::size_t i = 0; i < kFrames; ++i) {
    channels[0][i] = static_cast<float>(mix.left()[i]);
    channels[1][i] = static_cast<float>(mix.right()[i]);
  }
  veskor::tools::WriteOggVorbis(argv[1], channels, kRate, kQuality, kSerial, "veskor intro");
  return 0;
}
