// The store writer: every key the program reads at start, with the values of a fresh
// installation; where the store goes; an existing store never changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

const std::string kRoot = "Software\\Dovek software\\veskor";

TEST(StoreWriter, WritesEveryKeyWithAFreshInstallationsValues) {
  test::TempDir dir("veskor_store");
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
  const std::string product = fs::path(test::kProductDir).lexically_normal().string();
  const std::map<std::string, std::string> expected = {
      {kRoot + "|FirstLaunch", "TRUE"},
      {kRoot + "|IDL", "0"},
      {kRoot + "\\Paths|VeskorDir", product},
      {kRoot + "\\Paths|BinaryDir", dir.Path("user/")},
      {kRoot + "\\Paths|SystemDir", product + "system/"},
      {kRoot + "\\Paths|ResourceDir", product + "resources/"},
      {kRoot + "\\Paths|WorkingDir", test::kSourceDir + "examples/"},
      {kRoot + "\\Settings|XSize", "1024"},
      {kRoot + "\\Settings|YSize", "768"},
      {kRoot + "\\Settings|XPos", "50"},
      {kRoot + "\\Settings|YPos", "50"},
      {kRoot + "\\Settings|ColorBits", "32"},
      {kRoot + "\\Settings|DepthBits", "24"},
      {kRoot + "\\Settings|StencilBits", "8"},
      {kRoot + "\\Settings|FullScreenMode", "FALSE"},
      {kRoot + "\\Settings|FullScreenSize", "1024x768"},
      {kRoot + "\\Settings|MultiSampleMode", "FALSE"},
      {kRoot + "\\Settings|MultiSampleQuality", "FASTEST"},
      {kRoot + "\\Settings|MultiSampleSize", "2"},
      {kRoot + "\\Settings|FPS", "FALSE"},
      {kRoot + "\\Settings|PPS", "FALSE"},
      {kRoot + "\\RenderLOD|ObjectGeo", "0.500"},
      {kRoot + "\\RenderLOD|ObjectTex", "0.250"},
      {kRoot + "\\RenderLOD|TerrainGeo", "0.500"},
      {kRoot + "\\RenderLOD|TerrainTex", "0.125"},
      {kRoot + "\\RenderLOD|Portal", "0.750"},
      {kRoot + "\\RenderLOD|CloudLow", "0.000"},
      {kRoot + "\\RenderLOD|Overall", "0.500"},
      {kRoot + "\\RenderLOD|IsLangCtrlLOD", "FALSE"},
  };
  EXPECT_EQ(store, expected);
  EXPECT_TRUE(fs::is_directory(dir.Path("user")));
}

TEST(StoreWriter, LeavesAnExistingStoreAsItIs) {
  test::TempDir dir("veskor_store");
  for (const char* existing : {"not a store at all\n", ""}) {
    dir.Write("registry", existing);
    EXPECT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
    EXPECT_EQ(test::ReadBytes(dir.Path("registry")), existing);
  }
  // Its own store too, byte for byte; a second writer gives the same bytes elsewhere.
  fs::remove(dir.Path("registry"));
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const auto first = test::ReadBytes(dir.Path("registry"));
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  EXPECT_EQ(test::ReadBytes(dir.Path("registry")), first);
  test::TempDir other("veskor_store");
  auto args = test::StoreWriterArgs(dir.path());
  args[6] = other.Path("registry");
  ASSERT_EQ(test::RunProgram(args), 0);
  EXPECT_EQ(test::ReadBytes(other.Path("registry")), first);
  const auto left = fs::directory_iterator(other.path());
  EXPECT_EQ(std::distance(begin(left), end(left)), 1);  // no temporary beside it
}

TEST(StoreWriter, PlacesTheStoreAndTheUsersDirectoryByTheEnvironment) {
  const struct {
    std::vector<std::string> env;
    const char* store;
    const char* user;
  } cases[] = {
      {{"VESKOR_REGISTRY=@a/reg", "XDG_CONFIG_HOME=@c", "HOME=@h"},
       "a/reg",
       "h/.local/share/veskor/"},
      {{"XDG_CONFIG_HOME=@c", "XDG_DATA_HOME=@d", "HOME=@h"}, "c/veskor/registry", "d/veskor/"},
      {{"HOME=@h"}, "h/.config/veskor/registry", "h/.local/share/veskor/"},
      // A relative base directory is no base directory.
      {{"XDG_CONFIG_HOME=c", "XDG_DATA_HOME=@d", "HOME=@h"},
       "h/.config/veskor/registry",
       "d/veskor/"},
      {{"XDG_CONFIG_HOME=@c", "XDG_DATA_HOME=d", "HOME=@h"},
       "c/veskor/registry",
       "h/.local/share/veskor/"},
  };
  for (const auto& c : cases) {
    test::TempDir dir("veskor_store");
    std::vector<std::string> env;
    for (std::string v : c.env)
      env.push_back(v.find('@') == std::string::npos ? v : v.replace(v.find('@'), 1, dir.path()));
    std::string relative;  // what the writer says of a relative base directory
    for (const std::string& v : env)
      if (v.starts_with("XDG_") && v[v.find('=') + 1] != '/')
        relative += "write_settings_store: " + v + " is not an absolute path: it is ignored\n";
    testing::internal::CaptureStderr();
    const int status = test::RunProgram(
        {VESKOR_WRITE_SETTINGS_STORE, "--product", test::kProductDir, "--working", test::kSourceDir},
        env);
    EXPECT_TRUE(testing::internal::GetCapturedStderr().starts_with(relative));
    ASSERT_EQ(status, 0);
    const auto store = test::ReadStore(test::ReadBytes(dir.Path(c.store)).value_or(""));
    EXPECT_EQ(store.size(), 29u) << c.store;
    EXPECT_EQ(store.count(kRoot + "\\Paths|BinaryDir") ? store.at(kRoot + "\\Paths|BinaryDir") : "",
              dir.Path(c.user));
    EXPECT_TRUE(fs::is_directory(dir.Path(c.user)));
  }
}

// A directory value is read into 512 bytes with its terminating zero; quotes and backslashes
// in a path are escaped.
TEST(StoreWriter, WritesDirectoriesThatTheReaderCanHold) {
  test::TempDir dir("veskor_store");
  const std::string base = dir.Path("w\\\"");
  const struct {
    std::size_t length;  // of the working directory's value, with its final '/'
    int exit;
  } cases[] = {{511, 0}, {512, 1}};
  for (const auto& c : cases) {
    fs::remove(dir.Path("registry"));
    const std::string working = base + std::string(c.length - base.size() - 1, 'x');
    auto args = test::StoreWriterArgs(dir.path());
    args[4] = working;
    EXPECT_EQ(test::RunProgram(args), c.exit) << c.length;
    const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
    EXPECT_EQ(
        store.count(kRoot + "\\Paths|WorkingDir") ? store.at(kRoot + "\\Paths|WorkingDir") : "",
        c.exit == 0 ? working + "/" : "");
  }
}

}  // namespace
}  // namespace veskor
