// The product tree the build lays out: the interface images, the window icon, completeness
// through the data-file search, and tools that give the same bytes at every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/data_file_search.h"
#include "foundation/png_reader.h"
#include "foundation/search_dirs.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;
using test::ImagePlace;

struct Decoded {
  bool ok = false;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  PngPixels pixels;
};

Decoded Decode(const std::string& path) {
  Decoded d;
  d.ok = LoadPngFile(path.c_str(), d.pixels, d.width, d.height, d.channels, d.rowBytes) == 1;
  return d;
}

bool PowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// Checks one directory's images against their places: each decodes; each mask is a grey file
// (colour type 0) of its colour image's size with some opaque pixel.
void CheckImages(const std::string& dir, const std::vector<ImagePlace>& places) {
  for (const ImagePlace& p : places) {
    SCOPED_TRACE(dir + p.name);
    const Decoded colour = Decode(dir + p.name);
    ASSERT_TRUE(colour.ok);
    EXPECT_LE(colour.width, p.maxWidth);
    EXPECT_LE(colour.height, p.maxHeight);
    EXPECT_TRUE(!p.power2 || (PowerOfTwo(colour.width) && PowerOfTwo(colour.height)));
    if (p.mask == nullptr) continue;
    SCOPED_TRACE(p.mask);
    const Decoded mask = Decode(dir + p.mask);
    ASSERT_TRUE(mask.ok);
    EXPECT_EQ(mask.width, colour.width);
    EXPECT_EQ(mask.height, colour.height);
    const std::string bytes = test::ReadBytes(dir + p.mask).value_or("");
    ASSERT_GT(bytes.size(), 25u);
    EXPECT_EQ(bytes[25], 0) << "not a grey PNG";
    // The slider's thumb is opaque where its mask is white; every other mask where black.
    const bool whiteOpaque = std::string(p.mask) == "inter_set_2_mask.png";
    bool opaque = false;
    for (std::uint32_t i = 0; i < mask.height * mask.rowBytes; i += mask.channels)
      opaque |= whiteOpaque ? mask.pixels[i] > 250 : mask.pixels[i] < 5;
    EXPECT_TRUE(opaque);
  }
}

TEST(ProductTree, ImagesDecodeAndFitTheirPlaces) {
  EXPECT_EQ(test::ImageNames(test::LanguageImagePlaces()).size(), 27u);
  EXPECT_EQ(test::ImageNames(test::SharedImagePlaces()).size(), 33u);
  for (const char* lang : test::kLanguageDirs)
    CheckImages(test::kImgDir + lang + "/", test::LanguageImagePlaces());
  CheckImages(test::kImgDir, test::SharedImagePlaces());
}

// The renderer's images: grey, sides powers of two (drawn whole), black at their borders (the
// quads carrying them show no edge); the ray streak fades along its rows and towards both
// sides; the halo turned a quarter is another picture (its spin shows).
TEST(ProductTree, FlareImagesAreGreyAndDarkAtTheirBorders) {
  for (const char* name : {"lens0.png", "lens1.png", "lens2.png", "CRay.png"}) {
    SCOPED_TRACE(name);
    const Decoded d = Decode(test::kImgDir + name);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(test::ReadBytes(test::kImgDir + name).value_or("").substr(25, 1), std::string(1, 0))
        << "not a grey PNG";
    EXPECT_TRUE(PowerOfTwo(d.width) && PowerOfTwo(d.height));
    int brightest = 0, border = 0;
    for (std::uint32_t y = 0; y < d.height; ++y)
      for (std::uint32_t x = 0; x < d.width; ++x) {
        const int v = d.pixels[y * d.rowBytes + x * d.channels];
        brightest = std::max(brightest, v);
        if (x == 0 || x + 1 == d.width || ((y == 0 || y + 1 == d.height) && name[0] == 'l'))
          border = std::max(border, v);
      }
    EXPECT_GT(brightest, 200);
    EXPECT_LT(border, 8);
  }
  const Decoded ray = Decode(test::kImgDir + "CRay.png");
  auto rowSum = [&](std::uint32_t y) {
    int sum = 0;
    for (std::uint32_t x = 0; x < ray.width; ++x)
      sum += ray.pixels[y * ray.rowBytes + x * ray.channels];
    return sum;
  };
  EXPECT_GT(rowSum(0), 4 * rowSum(ray.height * 3 / 4));
  EXPECT_LT(rowSum(ray.height - 1), ray.width * 2);
  const Decoded halo = Decode(test::kImgDir + "lens1.png");
  ASSERT_EQ(halo.width, halo.height);
  long change = 0;
  for (std::uint32_t y = 0; y < halo.height; ++y)
    for (std::uint32_t x = 0; x < halo.width; ++x)
      change += std::abs(halo.pixels[y * halo.rowBytes + x * halo.channels] -
                         halo.pixels[x * halo.rowBytes + (halo.width - 1 - y) * halo.channels]);
  EXPECT_GT(change, 20L * halo.width * halo.height / 16);
}

// The height contours: an RGB image drawn whole (sides powers of two) whose rows run along the
// height and whose columns are alike (the renderer reads it at s = 0); eight contour lines in
// its height, the darkest on the seam between the last row and the first, which match.
TEST(ProductTree, ContourImageIsStripesAlongItsRows) {
  const Decoded d = Decode(test::kImgDir + "contour.png");
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(test::ReadBytes(test::kImgDir + "contour.png").value_or("").substr(25, 1),
            std::string(1, 2))
      << "not an RGB PNG";
  ASSERT_TRUE(PowerOfTwo(d.width) && PowerOfTwo(d.height) && d.height >= 64);
  std::vector<int> rows(d.height);
  for (std::uint32_t y = 0; y < d.height; ++y) {
    const std::uint8_t* row = &d.pixels[y * d.rowBytes];
    rows[y] = row[0] + row[1] + row[2];
    for (std::uint32_t x = 1; x < d.width; ++x)
      for (std::uint32_t c = 0; c < 3; ++c)
        EXPECT_EQ(row[x * d.channels + c], row[c]) << x << " " << y;
  }
  const int light = *std::max_element(rows.begin(), rows.end());
  const int darkest = *std::min_element(rows.begin(), rows.end());
  EXPECT_LT(darkest, light / 2);
  EXPECT_LT(std::min(rows.front(), rows.back()), darkest + 40);
  EXPECT_LT(std::abs(rows.front() - rows.back()), 40);
  int lines = 0;  // runs of rows clearly darker than the ground, the seam counted once
  for (std::uint32_t y = 0; y < d.height; ++y) {
    const bool dark = rows[y] < light - 60;
    const bool before = rows[(y + d.height - 1) % d.height] < light - 60;
    lines += dark && !before;
  }
  EXPECT_EQ(lines, 8);
}

// Where the widgets take clicks: a button, toggle or check box answers where its normal
// picture is opaque (alpha 255 minus the mask above 4), so at least at its middle; the slider
// answers along its thumb's middle column, which must be opaque from top to bottom (white in
// the thumb's mask).
TEST(ProductTree, WidgetsTakeClicksWhereTheirPicturesShow) {
  std::vector<std::string> middles = {test::kImgDir + "inter_check_mask_0.png",
                                      test::kImgDir + "inter_help_online_2.png"};
  for (const char* lang : test::kLanguageDirs)
    for (const char* mask :
         {"inter_world_mask_1.png", "inter_view_mask_1.png", "inter_setup_mask_1.png",
          "inter_veskor_mask_1.png", "inter_examine_mask.png", "inter_saveview_mask.png",
          "inter_close_mask.png"})
      middles.push_back(test::kImgDir + lang + "/" + mask);
  for (const std::string& path : middles) {
    const Decoded m = Decode(path);
    ASSERT_TRUE(m.ok) << path;
    EXPECT_LT(m.pixels[(m.height / 2) * m.rowBytes + (m.width / 2) * m.channels], 251) << path;
  }
  const Decoded thumb = Decode(test::kImgDir + "inter_set_2_mask.png");
  ASSERT_TRUE(thumb.ok);
  for (std::uint32_t y = 0; y < thumb.height; ++y)
    EXPECT_GE(thumb.pixels[y * thumb.rowBytes + (thumb.width / 2) * thumb.channels], 252) << y;
}

TEST(ProductTree, LanguageImagesDifferBetweenLanguages) {
  for (const std::string& name : test::ImageNames(test::LanguageImagePlaces()))
    for (int a = 0; a < 4; ++a)
      for (int b = a + 1; b < 4; ++b)
        EXPECT_NE(test::ReadBytes(test::kImgDir + test::kLanguageDirs[a] + "/" + name),
                  test::ReadBytes(test::kImgDir + test::kLanguageDirs[b] + "/" + name))
            << name << " in " << test::kLanguageDirs[a] << " and " << test::kLanguageDirs[b];
}

TEST(ProductTree, WindowIconHasOne32BitEntryOf16By16) {
  const std::string icon = test::ReadBytes(test::kProductDir + "wld Final.ico").value_or("");
  ASSERT_EQ(icon.size(), 6u + 16 + 40 + 16 * 16 * 4 + 16 * 4);
  auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(icon[at]) |
                                      static_cast<std::uint8_t>(icon[at + 1]) << 8);
  };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  const struct {
    std::uint32_t value, expected;
    const char* what;
  } fields[] = {{u16(0), 0, "reserved"},       {u16(2), 1, "type icon"},
                {u16(4), 1, "one entry"},      {u16(6), 16 | 16 << 8, "16 x 16"},
                {u16(8), 0, "no palette"},     {u16(10), 1, "planes"},
                {u16(12), 32, "bits a pixel"}, {u32(14), 40 + 1024 + 64, "image bytes"},
                {u32(18), 22, "image offset"}, {u32(22), 40, "bitmap header"},
                {u32(26), 16, "bitmap width"}, {u32(30), 32, "colour and mask rows"},
                {u16(36), 32, "bitmap bits"},  {u32(38), 0, "uncompressed"}};
  for (const auto& f : fields) EXPECT_EQ(f.value, f.expected) << f.what;
  int opaque = 0;
  for (std::size_t i = 62 + 3; i < 62 + 1024; i += 4) opaque += icon[i] == '\xFF';
  EXPECT_GT(opaque, 128);
}

// Every file the program loads by name is found the way it looks for it, with the directories
// of a store written by the store writer.
TEST(ProductTree, EveryFileIsFoundThroughTheStoresDirectories) {
  test::TempDir dir("veskor_store");
  ASSERT_TRUE(test::UseWrittenStoreDirs(dir.path()));

  for (const std::string& name : test::ImageNames(test::SharedImagePlaces()))
    EXPECT_NE(FindDataFile(name.c_str()), 0u) << name;
  for (const char* lang : test::kLanguageDirs) {
    // The language images are looked up as "<lang>\<name>".
    for (const std::string& name : test::ImageNames(test::LanguageImagePlaces())) {
      const std::string path = std::string(lang) + "\\" + name;
      EXPECT_NE(FindDataFile(path.c_str()), 0u) << path;
    }
    char text[kSearchDirBytes];
    const std::string name = std::string("Txt\\") + lang + "\\txtres.txt";
    ASSERT_TRUE(BuildDirPath(kSearchResourceDir, name.c_str(), text));
    EXPECT_TRUE(fs::is_regular_file(text)) << text;
  }
  for (const char* name : {"lens0.png", "lens1.png", "lens2.png", "CRay.png", "contour.png"})
    EXPECT_NE(FindDataFile(name), 0u) << name;
  EXPECT_TRUE(fs::is_regular_file(std::string(SndDir) + "introveskor.ogg"));
  // The icon is loaded from the current directory: the program runs from its product directory.
  EXPECT_TRUE(fs::is_regular_file(std::string(ProductDir) + "wld Final.ico"));
  EXPECT_TRUE(fs::is_directory(SystemDir));
  EXPECT_TRUE(fs::is_directory(std::string(ProductDir) + "docs"));
}

// Each tool run again writes what the build wrote.
TEST(ProductTree, ToolsWriteTheSameBytesAgain) {
  test::TempDir dir("veskor_tools");
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_INTERFACE_IMAGES, dir.Path("Img")}), 0);
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_INTRO_MUSIC, dir.Path("intro.ogg")}), 0);
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_WINDOW_ICON, dir.Path("icon.ico")}), 0);
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_FLARE_IMAGES, dir.Path("Flare")}), 0);
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_CONTOUR_IMAGE, dir.Path("Flare")}), 0);
  ASSERT_EQ(test::RunProgram({VESKOR_MAKE_WORLD_DATA, dir.Path("Worlds")}), 0);
  std::vector<std::pair<std::string, std::string>> files = {
      {dir.Path("intro.ogg"), test::kProductDir + "resources/Snd/introveskor.ogg"},
      {dir.Path("icon.ico"), test::kProductDir + "wld Final.ico"}};
  for (const char* name : {"lens0.png", "lens1.png", "lens2.png", "CRay.png", "contour.png"})
    files.emplace_back(dir.Path("Flare/") + name, test::kImgDir + name);
  std::size_t worldFiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path("Worlds"))) {
    if (!entry.is_regular_file()) continue;
    ++worldFiles;
    files.emplace_back(entry.path().string(),
                       test::kProductDir + "resources/" +
                           entry.path().lexically_relative(dir.Path("Worlds")).string());
  }
  EXPECT_EQ(worldFiles, 16u);
  std::size_t images = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path("Img"))) {
    if (!entry.is_regular_file()) continue;
    ++images;
    files.emplace_back(entry.path().string(),
                       test::kImgDir + entry.path().lexically_relative(dir.Path("Img")).string());
  }
  EXPECT_EQ(images, 141u);
  for (const auto& [again, built] : files) {
    const auto bytes = test::ReadBytes(again);
    ASSERT_TRUE(bytes.has_value()) << again;
    EXPECT_EQ(bytes, test::ReadBytes(built)) << built;
  }
}

}  // namespace
}  // namespace veskor
