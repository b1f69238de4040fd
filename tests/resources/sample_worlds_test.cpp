// The sample worlds of examples/: each parses as the compile session parses it, with the
// directories of a store from the store writer and the data the build made; together they use
// every block and both directives; the images they name fit the loaders that take them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace veskor
