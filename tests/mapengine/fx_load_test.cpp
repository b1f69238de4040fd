#include "mapengine/fx_load.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/search_dirs.h"
#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

constexpr int kGrey = 0, kRgb = 2, kRgba = 6;  // PNG colour types

// Channel c of pixel (x, y) of the test images.
std::uint8_t Byte(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return static_cast<std::uint8_t>((x * 7 + y * 13 + c * 101) & 255);
}

std::vector<std::uint8_t> Image(int colourType, std::uint32_t width, std::uint32_t height) {
  const std::uint32_t channels = colourType == kGrey ? 1 : colourType == kRgb ? 3 : 4;
  test::PngImageDesc spec;
  spec.colourType = colourType;
  spec.width = width;
  spec.height = height;
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      for (std::uint32_t c = 0; c < channels; ++c) spec.data.push_back(Byte(x, y, c));
  return test::EncodePng(spec);
}

// Search directories under a fresh temporary directory: the working directory and one world
// directory added by the compile.
class FxLoadTest : public test::FxTest {
 protected:
  void SetUp() override {
    for (const char* d : {"product", "binary", "system", "resource", "working", "world"})
      fs::create_directories(root_ + d);
    ASSERT_TRUE(SetSearchDirs(Dir("product").c_str(), Dir("binary").c_str(),
                              Dir("system").c_str(), Dir("resource").c_str(),
                              Dir("working").c_str()));
    ExtraSearchDirsClear();
    ASSERT_TRUE(ExtraSearchDirsAdd((root_ + "world/").c_str()));
  }
  void TearDown() override { ExtraSearchDirsClear(); }
  std::string Dir(const std::string& name) const { return root_ + name; }
  std::string Write(const std::string& dir, const std::string& name,
                    const std::vector<std::uint8_t>& bytes) {
    const std::string path = root_ + dir + "/" + name;
    EXPECT_TRUE(test::WriteFileBytes(path, bytes));
    return path;
  }
  // Runs load on a text constant holding `name`, or filling its record when null.
  std::uint32_t Load(const char* name, FxFrame& result) {
    FxTextConstant text{};
    if (name != nullptr) std::strncpy(text.text, name, sizeof text.text);
    else std::memset(text.text, 'n', sizeof text.text);
    return Run(FxLoad, result, {reinterpret_cast<FxFrame*>(&text)});
  }

  test::TempDir tmp_{"veskor_fxload"};
  const std::string& root_ = tmp_.path();
};

TEST_F(FxLoadTest, PowerOfTwoImagesGiveRastersAndOneMoreGiveGrids) {
  struct Case {
    int colourType;
    std::uint32_t width, height;
    bool grids;
    std::uint16_t w, h, count;
  };
  const Case cases[] = {{kRgb, 256, 256, false, 8, 8, 3}, {kGrey, 257, 129, true, 8, 7, 3},
                        {kRgba, 16, 4, false, 4, 2, 4},   {kRgb, 1, 1, false, 0, 0, 3},
                        {kRgb, 2, 2, false, 1, 1, 3},     {kGrey, 3, 3, true, 1, 1, 3},
                        {kRgba, 5, 17, true, 2, 4, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string path = Write("working", "image.png", Image(c.colourType, c.width, c.height));
    FxFrame r = Result();
    ASSERT_EQ(FxLoadImageFile(path.c_str(), r), 1u);
    EXPECT_STREQ(FxErrorText, "Execution error : 'load image file'");
    ASSERT_EQ(r.count, c.count);
    EXPECT_EQ(r.refCount, 1u);
    for (std::uint32_t k = 0; k < c.count; ++k) {
      // Grey images come as three equal channels; bytes scale to 0 .. 1.
      const std::uint32_t channel = c.colourType == kGrey ? 0 : k;
      const test::Field want = [&](std::uint32_t x, std::uint32_t y) {
        return Byte(x, y, channel) * kFxByteScale;
      };
      const Map* map = r.maps[k];
      const VertexGrid* grid = r.grids[k];
      ASSERT_TRUE(c.grids ? map == nullptr && grid : grid == nullptr && map) << k;
      const auto [w, h] = c.grids ? std::pair(grid->log2Width, grid->log2Height)
                                  : std::pair(map->log2Width, map->log2Height);
      EXPECT_TRUE(w == c.w && h == c.h) << k;
      EXPECT_TRUE(c.grids ? Holds(grid, want) : Holds(map, want)) << k;
    }
  }
}

TEST_F(FxLoadTest, ImagesOfOtherSizesOrDamagedFilesFail) {
  std::vector<std::uint8_t> damaged = Image(kRgb, 4, 4);
  damaged.resize(damaged.size() / 2);
  const std::pair<const char*, std::vector<std::uint8_t>> files[] = {
      {"256x257", Image(kRgb, 256, 257)}, {"3x2", Image(kRgb, 3, 2)},
      {"6x6", Image(kGrey, 6, 6)},        {"truncated", damaged},
      {"not a png", {'h', 'e', 'l', 'l', 'o'}}};
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    const std::string path = Write("working", "bad.png", bytes);
    FxFrame r = Result();
    EXPECT_EQ(FxLoadImageFile(path.c_str(), r), 0u);
    EXPECT_STREQ(FxErrorText, "Execution error : 'load image file'");
    EXPECT_EQ(r.count, 0u);
    EXPECT_EQ(r.refCount, 0u);  // not made live
  }
}

TEST_F(FxLoadTest, LoadFindsTheNameAlongTheSearchDirectories) {
  // The world directory comes before the working directory.
  Write("working", "layer.png", Image(kRgb, 4, 4));
  Write("world", "layer.png", Image(kRgb, 2, 2));
  Write("working", "only.png", Image(kGrey, 5, 5));
  FxFrame r = Result(), s = Result(), t = Result(), u = Result();
  ASSERT_EQ(Load("layer.png", r), 1u);
  EXPECT_TRUE(r.maps[0] != nullptr && r.maps[0]->log2Width == 1);
  ASSERT_EQ(Load("only.png", s), 1u);
  EXPECT_TRUE(s.grids[0] != nullptr && s.grids[0]->log2Width == 2);
  EXPECT_EQ(Load("missing.png", t), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'load'");
  EXPECT_EQ(t.count, 0u);
  // A found file that does not decode carries the decoder's message.
  Write("world", "broken.png", {'x'});
  EXPECT_EQ(Load("broken.png", u), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'load image file'");
}

// A text that fills its record without a terminator is not read past its end.
TEST_F(FxLoadTest, AnUnterminatedNameFindsNothing) {
  FxFrame r = Result();
  EXPECT_EQ(Load(nullptr, r), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'load'");
}

}  // namespace
}  // namespace veskor
