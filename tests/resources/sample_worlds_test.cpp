// The sample worlds of examples/: each parses as the compile session parses it, with the
// directories of a store from the store writer and the data the build made; together they use
// every block and both directives; the images and sounds they name fit the loaders that take
// them.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/data_file_search.h"
#include "foundation/png_reader.h"
#include "foundation/search_dirs.h"
#include "language/compile_driver.h"
#include "language/world.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = test::kSourceDir + "examples/";

// Every world file under examples/, the shared ones included, with its comments removed (the
// strings are kept: they hold the include paths and the file names).
std::vector<std::pair<std::string, std::string>> WorldTexts() {
  std::vector<std::pair<std::string, std::string>> texts;
  for (const auto& entry : fs::recursive_directory_iterator(kExamples)) {
    if (entry.path().extension() != ".wld") continue;
    const std::string text = test::ReadBytes(entry.path().string()).value_or("");
    std::string code;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '"') {
        const std::size_t close = text.find('"', i + 1);
        code += text.substr(i, close - i + 1);
        i = close == std::string::npos ? text.size() : close;
      } else if (text.compare(i, 2, "//") == 0) {
        const std::size_t end = text.find('\n', i);
        if (end == std::string::npos) break;
        i = end - 1;
      } else if (text.compare(i, 2, "/*") == 0) {
        const std::size_t end = text.find("*/", i + 2);
        if (end == std::string::npos) break;
        i = end + 1;
      } else {
        code += text[i];
      }
    }
    texts.emplace_back(entry.path().lexically_relative(kExamples).string(), code);
  }
  return texts;
}

std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m)
    found.push_back(m->size() > 1 ? (*m)[1].str() : m->str());
  return found;
}

TEST(SampleWorlds, EachParsesWithoutAMessage) {
  test::TempDir dir("veskor_worlds");
  ASSERT_TRUE(test::UseWrittenStoreDirs(dir.path()));
  // Samples as the banks hold them: a looping bank of one sample plays it from two slots.
  const struct {
    const char* file;
    const char* title;
    std::uint32_t banks, samples;
  } worlds[] = {{"lagoon.wld", "Lagoon", 2, 4},
                {"highlands.wld", "Highlands", 2, 4},
                {"ruins.wld", "Ruins", 1, 2}};
  std::set<std::string> roots;
  for (const auto& w : worlds) {
    SCOPED_TRACE(w.file);
    roots.insert(w.file);
    const auto outcome = test::RunCompileSession(kExamples + w.file);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.status, "");
    ASSERT_GE(gWorld.infoCount, 1u);
    EXPECT_STREQ(gWorld.infos[0].title, w.title);
    EXPECT_NE(gWorld.infos[0].comment[0], '\0');
    EXPECT_EQ(gWorld.soundBankCount, w.banks);
    std::uint32_t samples = 0;
    for (std::uint32_t i = 0; i < gWorld.soundBankCount; ++i)
      samples += gWorld.soundBanks[i].sampleCount;
    EXPECT_EQ(samples, w.samples);
  }
  // Every world at the top of examples/ is one of them.
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() == ".wld") {
      EXPECT_EQ(roots.count(entry.path().filename().string()), 1u) << entry.path();
    }
  }
  ASSERT_TRUE(SetSearchDirs("", "", "", "", ""));
}

TEST(SampleWorlds, TogetherUseEveryBlockAndBothDirectives) {
  std::string all;
  for (const auto& [name, text] : WorldTexts()) all += text + "\n";
  const std::string words = std::regex_replace(all, std::regex(R"("[^"]*")"), "\"\"");
  for (const char* keyword :
       {"Surface", "Model", "HeightField", "Composition", "Environment", "Camera", "Examine",
        "Planet", "Sound", "Info", "LOD", "Focus", "Object"})
    EXPECT_FALSE(Matches(words, std::string("(^|[\\s}])") + keyword + "[\\s{]").empty()) << keyword;
  EXPECT_FALSE(Matches(all, R"(#\s*version\s*"[0-9.]+")").empty());
  // An include of a file in another directory, written with the world language's separator.
  const auto includes = Matches(all, R"(#\s*include\s*"([^"]*)\")");
  bool elsewhere = false;
  for (const std::string& path : includes) elsewhere |= path.find('\\') != std::string::npos;
  EXPECT_TRUE(elsewhere);
  // Compositions of models with both operators.
  const auto compositions = Matches(all, R"(Composition\s+\w+\s*\{([^}]*)\})");
  for (const char* op : {"+", "-"}) {
    bool used = false;
    for (const std::string& body : compositions)
      used |= std::regex_search(body, std::regex(std::string("\\") + op + "\\s*\\("));
    EXPECT_TRUE(used) << op;
  }
  // Sound banks with several programs, and samples of both formats.
  const auto programs = Matches(all, R"(program\s*\(\s*"([^"]*)\")");
  EXPECT_GE(std::set<std::string>(programs.begin(), programs.end()).size(), 3u);
  std::set<std::string> formats;
  for (const std::string& name : Matches(all, R"(Sample\s*\{[^}]*name\s*\(\s*"([^"]*)\")"))
    formats.insert(fs::path(name).extension().string());
  EXPECT_EQ(formats, (std::set<std::string>{".ogg", ".wav"}));
}

// What the worlds name is made by the data tool itself (files left in the product tree by an
// earlier build prove nothing): the images in Img/, the samples in Snd/, and nothing else.
TEST(SampleWorlds, TheDataToolMakesEveryFileTheyName) {
  std::string all;
  for (const auto& [name, text] : WorldTexts()) all += text;
  std::set<std::string> named;
  for (const char* pattern : {R"(load\s*\(\s*"([^"]*)\")", R"(color\s*\(\s*"([^"]*)\")",
                              R"(mask\s*\(\s*"([^"]*)\")", R"(name\s*\(\s*"([^"]*)\")"})
    for (const std::string& name : Matches(all, pattern))
      named.insert((fs::path(name).extension() == ".png" ? "Img/" : "Snd/") + name);
  test::TempDir dir("veskor_world_data");
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_WORLD_DATA, dir.path()}), 0);
  std::set<std::string> made;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    if (entry.is_regular_file())
      made.insert(entry.path().lexically_relative(dir.path()).generic_string());
  EXPECT_EQ(made, named);
}

struct Decoded {
  bool ok = false;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  PngPixels pixels;
};

Decoded Find(const std::string& name) {
  Decoded d;
  const std::uint32_t index = FindDataFile(name.c_str());
  char path[kSearchDirBytes];
  if (index == 0 || !BuildDirPath(index, name.c_str(), path)) return d;
  d.ok = LoadPngFile(path, d.pixels, d.width, d.height, d.channels, d.rowBytes) == 1;
  return d;
}

bool PowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// The images the worlds' surfaces load are rasters of 2^m x 2^n pixels of up to four
// channels; a planet's mask is a grey image of its colour image's size, white on the disc
// (the planet shows where 255 minus the mask is 0) and black in the corners.
TEST(SampleWorlds, TheirImagesFitTheLoadersThatTakeThem) {
  test::TempDir dir("veskor_worlds");
  ASSERT_TRUE(test::UseWrittenStoreDirs(dir.path()));
  std::string all;
  for (const auto& [name, text] : WorldTexts()) all += text;
  const auto loads = Matches(all, R"(load\s*\(\s*"([^"]*)\")");
  EXPECT_GE(loads.size(), 3u);
  for (const std::string& name : loads) {
    const Decoded d = Find(name);
    ASSERT_TRUE(d.ok) << name;
    EXPECT_TRUE(PowerOfTwo(d.width) && PowerOfTwo(d.height)) << name;
    EXPECT_LE(d.channels, 4u) << name;
  }
  const auto colours = Matches(all, R"(color\s*\(\s*"([^"]*)\")");
  const auto masks = Matches(all, R"(mask\s*\(\s*"([^"]*)\")");
  ASSERT_EQ(colours.size(), masks.size());
  ASSERT_FALSE(colours.empty());
  for (std::size_t i = 0; i < colours.size(); ++i) {
    SCOPED_TRACE(colours[i]);
    const Decoded colour = Find(colours[i]), mask = Find(masks[i]);
    ASSERT_TRUE(colour.ok && mask.ok);
    EXPECT_EQ(mask.width, colour.width);
    EXPECT_EQ(mask.height, colour.height);
    EXPECT_TRUE(PowerOfTwo(colour.width) && colour.width == colour.height);
    auto at = [&](std::uint32_t x, std::uint32_t y) {
      return mask.pixels[y * mask.rowBytes + x * mask.channels];
    };
    EXPECT_EQ(at(mask.width / 2, mask.height / 2), 255);
    for (std::uint32_t x : {0u, mask.width - 1})
      for (std::uint32_t y : {0u, mask.height - 1}) EXPECT_EQ(at(x, y), 0);
    const std::string bytes = test::ReadBytes(std::string(ImgDir) + masks[i]).value_or("");
    ASSERT_GT(bytes.size(), 25u);
    EXPECT_EQ(bytes[25], 0) << "not a grey PNG";
  }
  ASSERT_TRUE(SetSearchDirs("", "", "", "", ""));
}

// The samples: WAVE files of 16-bit PCM whose header figures agree (a sound device refuses a
// format whose block size or byte rate disagree with its channels, bits and rate), holding
// whole frames; Ogg Vorbis streams that decode whole to their end-of-stream page. Each sounds
// for at least a second, unclipped.
TEST(SampleWorlds, TheirSamplesAreWholeAndConsistent) {
  std::string all;
  for (const auto& [name, text] : WorldTexts()) all += text;
  std::set<std::string> names;
  for (const std::string& name : Matches(all, R"(Sample\s*\{[^}]*name\s*\(\s*"([^"]*)\")"))
    names.insert(name);
  ASSERT_GE(names.size(), 4u);
  const std::string snd = test::kProductDir + "resources/Snd/";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    double seconds = 0, peak = 0;
    if (fs::path(name).extension() == ".wav") {
      const std::string b = test::ReadBytes(snd + name).value_or("");
      ASSERT_GE(b.size(), 44u);
      auto u = [&](std::size_t at, int size) {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
        return v;
      };
      EXPECT_EQ(b.substr(0, 4) + b.substr(8, 8) + b.substr(36, 4), "RIFFWAVEfmt data");
      EXPECT_EQ(u(4, 4), b.size() - 8);
      EXPECT_EQ(u(16, 4), 16u);
      EXPECT_EQ(u(20, 2), 1u);  // PCM
      const std::uint32_t channels = u(22, 2), rate = u(24, 4), bits = u(34, 2);
      EXPECT_TRUE(channels == 1 || channels == 2);
      EXPECT_EQ(bits, 16u);
      EXPECT_EQ(u(32, 2), channels * bits / 8);
      EXPECT_EQ(u(28, 4), rate * channels * bits / 8);
      EXPECT_EQ(u(40, 4), b.size() - 44);
      EXPECT_EQ(u(40, 4) % (channels * bits / 8), 0u);
      seconds = static_cast<double>(u(40, 4)) / (rate * channels * bits / 8);
      for (std::size_t i = 44; i + 1 < b.size(); i += 2)
        peak = std::max(peak, std::fabs(static_cast<std::int16_t>(u(i, 2)) / 32768.0));
    } else {
      OggVorbis_File file;
      ASSERT_EQ(ov_fopen((snd + name).c_str(), &file), 0);
      const vorbis_info* info = ov_info(&file, -1);
      ASSERT_NE(info, nullptr);
      const int channels = info->channels;
      const long rate = info->rate;
      long frames = 0;
      for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&file, &pcm, 4096, &section);
        ASSERT_GE(n, 0);
        if (n == 0) break;
        frames += n;
        for (long i = 0; i < n; ++i)
          for (int c = 0; c < channels; ++c) peak = std::max(peak, std::fabs(double{pcm[c][i]}));
      }
      EXPECT_EQ(frames, ov_pcm_total(&file, -1));
      ov_clear(&file);
      // A whole stream ends with its end-of-stream page.
      const std::string b = test::ReadBytes(snd + name).value_or("");
      const std::size_t last = b.rfind("OggS");
      ASSERT_TRUE(last != std::string::npos && last + 5 < b.size());
      EXPECT_TRUE(b[last + 5] & 4) << "no end-of-stream page";
      seconds = static_cast<double>(frames) / rate;
    }
    EXPECT_GE(seconds, 1.0);
    EXPECT_GT(peak, 0.1);
    EXPECT_LT(peak, 0.95);  // not clipped
  }
}

}  // namespace
}  // namespace veskor
