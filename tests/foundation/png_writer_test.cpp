// The PNG writer: images read back by the reader pixel for pixel, and the inputs it refuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "foundation/png_reader.h"
#include "foundation/png_writer.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

TEST(PngWriter, ImagesReadBackAsWritten) {
  test::TempDir dir("veskor_png_writer");
  const struct {
    std::uint32_t w, h, channels;
  } cases[] = {{1, 1, 3}, {5, 3, 3}, {3, 5, 4}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> pixels(c.w * c.h * c.channels);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::string path = dir.Path("image.png");
    ASSERT_EQ(SavePngFile(path.c_str(), pixels.data(), c.w, c.h, c.channels), 1u);
    PngPixels read;
    std::uint32_t w = 0, h = 0, channels = 0, rowBytes = 0;
    ASSERT_EQ(LoadPngFile(path.c_str(), read, w, h, channels, rowBytes), 1u);
    EXPECT_EQ(w * 100 + h * 10 + channels, c.w * 100 + c.h * 10 + c.channels);
    EXPECT_EQ(std::vector<std::uint8_t>(read.get(), read.get() + pixels.size()), pixels);
  }
  // A frame of one colour is compressed: a few hundred bytes, not its 196,608 of pixels.
  const std::vector<std::uint8_t> flat(256 * 256 * 3, 90);
  ASSERT_EQ(SavePngFile(dir.Path("flat.png").c_str(), flat.data(), 256, 256, 3), 1u);
  EXPECT_LT(std::filesystem::file_size(dir.Path("flat.png")), 1000u);
  // Into a pipe, as a capture read by another program: the same bytes, the FIFO kept.
  const std::string fifo = dir.Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    got.assign(std::istreambuf_iterator<char>(in), {});
  });
  const std::uint8_t pixel[3] = {9, 8, 7};
  EXPECT_EQ(SavePngFile(fifo.c_str(), pixel, 1, 1, 3), 1u);
  reader.join();
  ASSERT_EQ(SavePngFile(dir.Path("plain.png").c_str(), pixel, 1, 1, 3), 1u);
  EXPECT_EQ(got, test::ReadFileText(dir.Path("plain.png")));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST(PngWriter, RefusesWhatItCannotWrite) {
  test::TempDir dir("veskor_png_writer");
  const std::uint8_t pixel[4] = {1, 2, 3, 4};
  const std::string path = dir.Path("image.png");
  EXPECT_EQ(SavePngFile(nullptr, pixel, 1, 1, 3), 0u);
  EXPECT_EQ(SavePngFile(path.c_str(), nullptr, 1, 1, 3), 0u);
  EXPECT_EQ(SavePngFile(path.c_str(), pixel, 0, 1, 3), 0u);
  EXPECT_EQ(SavePngFile(path.c_str(), pixel, 1, 0, 3), 0u);
  EXPECT_EQ(SavePngFile(path.c_str(), pixel, 1, 1, 2), 0u);
  EXPECT_EQ(SavePngFile(dir.Path("none/image.png").c_str(), pixel, 1, 1, 3), 0u);
  EXPECT_EQ(test::ReadFileText(path), "");
  // A name in the way that cannot be replaced, a folder of the user's: it stays, with what it
  // holds, and nothing is left beside it.
  std::filesystem::create_directory(path);
  dir.Write("image.png/keep", "mine");
  EXPECT_EQ(SavePngFile(path.c_str(), pixel, 1, 1, 3), 0u);
  EXPECT_EQ(test::ReadFileText(dir.Path("image.png/keep")), "mine");
  const auto all = std::filesystem::recursive_directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(all), end(all)), 2);
  // An image that PNG cannot hold, 2^31 pixels wide: nothing is made, a file in its place stays.
  std::string reason;
  EXPECT_EQ(SavePngFile(dir.Path("wide.png").c_str(), pixel, 1u << 31, 1, 3, &reason), 0u);
  EXPECT_EQ(reason, "the image cannot be encoded as PNG");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("wide.png")));
  dir.Write("wide.png", "mine");
  EXPECT_EQ(SavePngFile(dir.Path("wide.png").c_str(), pixel, 1u << 31, 1, 3), 0u);
  EXPECT_EQ(test::ReadFileText(dir.Path("wide.png")), "mine");
  // An encoding that zlib refuses to start, once the signature and the header are out (level
  // 10; 9 is zlib's last): likewise nothing is written.
  const int level = SetPngCompressionLevel(10);
  EXPECT_EQ(SavePngFile(dir.Path("zlib.png").c_str(), pixel, 1, 1, 3, &reason), 0u);
  EXPECT_EQ(reason, "the image cannot be encoded as PNG");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("zlib.png")));
  EXPECT_EQ(SavePngFile(dir.Path("wide.png").c_str(), pixel, 1, 1, 3), 0u);
  EXPECT_EQ(test::ReadFileText(dir.Path("wide.png")), "mine");
  SetPngCompressionLevel(9);
  EXPECT_EQ(SavePngFile(dir.Path("wide.png").c_str(), pixel, 1, 1, 3), 1u);
  EXPECT_EQ(SetPngCompressionLevel(level), 9);
  EXPECT_EQ(test::ReadFileText(dir.Path("wide.png")).substr(1, 3), "PNG");
  // What the system says of a path that cannot be written is the reason given.
  EXPECT_EQ(SavePngFile(dir.Path("none/image.png").c_str(), pixel, 1, 1, 3, &reason), 0u);
  EXPECT_EQ(reason, "cannot make a file in " + dir.Path("none") + ": No such file or directory");
  const auto after = std::filesystem::recursive_directory_iterator(dir.path());
  EXPECT_EQ(std::distance(begin(after), end(after)), 3);
}

}  // namespace
}  // namespace veskor
