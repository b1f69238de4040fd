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

// What a world's "holds" line may name, read from the World after its parse.
std::map<std::string, std::string> Holdings() {
  const World& w = gWorld;
  auto n = [](std::uint32_t count) { return std::to_string(count); };
  std::string version;
  for (std::uint32_t i = 0; i < w.versionCount; ++i)
    version += (i ? "." : "") + n(w.versionNumbers[i]);
  std::uint32_t samples = 0;
  for (std::uint32_t i = 0; i < w.soundBankCount; ++i) samples += w.soundBanks[i].sampleCount;
  return {{"version", version.empty() ? "-" : version},
          {"title", w.infoCount && w.infos[0].title[0] ? w.infos[0].title : "-"},
          {"infos", n(w.infoCount)},
          {"cameras", n(w.cameraCount)},
          {"examines", n(w.examineCount)},
          {"focus", n(w.lod.focusCount)},
          {"lod", n(w.lodBlock)},
          {"planets", n(w.planetCount)},
          {"banks", n(w.soundBankCount)},
          {"samples", n(samples)},
          {"high", n(static_cast<std::uint32_t>(CloudHighParams.present))},
          {"low", n(static_cast<std::uint32_t>(CloudLowParams.present))},
          {"fx", n(gParseStore.fxRecords.count)},  // Surface blocks and Object fx calls
          {"models", n(w.modelCount)},
          {"fields", n(w.heightFieldCount)},
          {"waters", n(w.waterPlaneCount)},
          {"compositions", n(w.compositionCount)},
          {"objects", n(w.objectCount)}};
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
  ASSERT_GE(worlds.size(), 16u);
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
    const auto held = Holdings();
    for (const auto& [key, value] : said) {
      ASSERT_EQ(held.count(key), 1u) << key;
      EXPECT_EQ(held.at(key), value) << key;
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
