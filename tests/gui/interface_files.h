// Interface pictures written by the tests: a temporary directory serving as every search
// directory (the working one holds the files), and colour and mask PNGs of given sizes.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/search_dirs.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor::test {

struct InterfaceFiles {
  InterfaceFiles() {
    const std::string none = dir.Path("none/");
    EXPECT_TRUE(
        SetSearchDirs(none.c_str(), none.c_str(), none.c_str(), none.c_str(), dir.path().c_str()));
    ExtraSearchDirsClear();
  }
  // An RGB picture of one colour, or a grey mask whose `sample` gives each pixel.
  std::string Colour(const char* name, std::uint32_t w, std::uint32_t h, std::uint8_t r,
                     std::uint8_t g, std::uint8_t b) const {
    const std::uint8_t rgb[3] = {r, g, b};
    return dir.Write(name, EncodePng(w, h, 3, [&](std::uint32_t, std::uint32_t, std::uint32_t c) {
                       return rgb[c];
                     }));
  }
  std::string Mask(const char* name, std::uint32_t w, std::uint32_t h,
                   const PngSample& sample) const {
    return dir.Write(name, EncodePng(w, h, 1, sample));
  }
  TempDir dir{"veskor_interface"};
};

}  // namespace veskor::test
