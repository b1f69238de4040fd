// The whole-world corpus (data/whole/): worlds that use every block, with includes across
// directories, CR LF line ends and samples found beside the world and along the search
// directories. Each world says on its first line what parsing it gives ("// expect: ok" or the
// status text) and, when it parses, on its second line what the World then holds, counted by
// hand ("// holds: cameras 3 planets 1 ...", any of the names of Holdings).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "foundation/search_dirs.h"
#include "gfx/fog_floor.h"
#include "language/parse_store.h"
#include "language/world.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

std::string Count(std::uint32_t n) { return std::to_string(n); }

// What a world's "holds" line names, read from the World after its parse.
const std::map<std::string, std::function<std::string()>>& Holdings() {
  static const std::map<std::string, std::function<std::string()>> holdings = {
      {"version",
       [] {
         std::string text;
         for (std::uint32_t i = 0; i < gWorld.versionCount; ++i)
           text += (i ? "." : "") + Count(gWorld.versionNumbers[i]);
         return text.empty() ? "-" : text;
       }},
      {"infos", [] { return Count(gWorld.infoCount); }},
      {"title",
       [] { return gWorld.infoCount && gWorld.infos[0].title[0] ? gWorld.infos[0].title : "-"; }},
      {"cameras", [] { return Count(gWorld.cameraCount); }},
      {"examines", [] { return Count(gWorld.examineCount); }},
      {"focus", [] { return Count(gWorld.lod.focusCount); }},
      {"lod", [] { return Count(gWorld.lodBlock); }},
      {"planets", [] { return Count(gWorld.planetCount); }},
      {"banks", [] { return Count(gWorld.soundBankCount); }},
      {"samples",
       [] {
         std::uint32_t n = 0;
         for (std::uint32_t i = 0; i < gWorld.soundBankCount; ++i)
           n += gWorld.soundBanks[i].sampleCount;
         return Count(n);
       }},
      {"high", [] { return Count(static_cast<std::uint32_t>(CloudHighParams.present)); }},
      {"low", [] { return Count(static_cast<std::uint32_t>(CloudLowParams.present)); }},
      {"fx", [] { return Count(gParseStore.fxRecords.count); }},  // Surface blocks and Object fx
      {"models", [] { return Count(gWorld.modelCount); }},
      {"fields", [] { return Count(gWorld.heightFieldCount); }},
      {"waters", [] { return Count(gWorld.waterPlaneCount); }},
      {"compositions", [] { return Count(gWorld.compositionCount); }},
      {"objects", [] { return Count(gWorld.objectCount); }},
  };
  return holdings;
}

TEST(WholeWorld, CorpusParsesIntoTheWorldOrStopsWithItsLocatedMessage) {
  // The corpus with its sounds: one beside the worlds, the rest in the sound directory.
  test::TempDir dir("veskor_whole");
  const std::string root = dir.Path("worlds/");
  fs::copy(std::string(VESKOR_LANGUAGE_DATA) + "whole", root, fs::copy_options::recursive);
  ASSERT_TRUE(SetSearchDirs(dir.path().c_str(), dir.path().c_str(), dir.path().c_str(),
                            dir.path().c_str(), dir.path().c_str()));
  fs::create_directories(SndDir);
  fs::create_directories(root + "Sounds");
  test::WavDesc wav;
  wav.data = test::ConstantPcm16(64, 1, 500);
  test::OggDesc ogg;
  ogg.samples = test::Sine(1000, 1, 22050, 300, 0.3);
  ASSERT_TRUE(test::WriteFileBytes(root + "Sounds/surf.wav", test::EncodeWav(wav)));
  for (const char* name : {"drops.wav", "gull.wav"})
    ASSERT_TRUE(test::WriteFileBytes(std::string(SndDir) + name, test::EncodeWav(wav)));
  ASSERT_TRUE(test::WriteFileBytes(std::string(SndDir) + "wind.ogg", test::EncodeOgg(ogg)));

  std::vector<fs::path> worlds;
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.path().extension() == ".wld") worlds.push_back(entry.path());
  std::sort(worlds.begin(), worlds.end());
  ASSERT_GE(worlds.size(), 11u);
  for (const fs::path& world : worlds) {
    SCOPED_TRACE(world.filename().string());
    std::ifstream in(world);
    std::string expect, holds;
    std::getline(in, expect);
    std::getline(in, holds);
    for (std::string* line : {&expect, &holds})
      if (!line->empty() && line->back() == '\r') line->pop_back();
    ASSERT_EQ(expect.rfind("// expect: ", 0), 0u);
    expect.erase(0, 11);
    const auto outcome = test::RunCompileSession(world.string());
    EXPECT_EQ(outcome.status, expect == "ok" ? "" : expect);
    if (expect != "ok") continue;
    ASSERT_EQ(holds.rfind("// holds: ", 0), 0u);
    std::istringstream pairs(holds.substr(10));
    std::map<std::string, std::string> said;
    for (std::string key, value; pairs >> key >> value;) said[key] = value;
    ASSERT_FALSE(said.empty());
    for (const auto& [key, value] : said) {
      ASSERT_EQ(Holdings().count(key), 1u) << key;
      EXPECT_EQ(Holdings().at(key)(), value) << key;
    }
    // Whatever the world said of the sun and the fog, the render session's steps keep them
    // defined.
    NormalizeSunDirection();
    FogRecompute();
    for (float v : SunDirection) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(FogFloorHeight));
  }
  ASSERT_TRUE(SetSearchDirs("", "", "", "", ""));
}

}  // namespace
}  // namespace veskor
