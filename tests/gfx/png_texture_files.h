// PNG files for the PNG texture tests, written with libpng into a temporary directory that
// lives as long as the object.
#pragma once

#include <png.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/png_test_images.h"

namespace veskor::test {

// Sample c of pixel (x, y), the file's top row being y = 0.
using PngSample = std::function<std::uint8_t(std::uint32_t x, std::uint32_t y, std::uint32_t c)>;

class PngTextureFiles {
 public:
  PngTextureFiles() {
    char pattern[] = "/tmp/veskor_png_texture_XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
  }
  ~PngTextureFiles() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  PngTextureFiles(const PngTextureFiles&) = delete;
  PngTextureFiles& operator=(const PngTextureFiles&) = delete;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // An 8-bit file of 1 (grey), 3 (RGB) or 4 (RGBA) samples a pixel; returns its path.
  std::string Write(const std::string& name, std::uint32_t width, std::uint32_t height,
                    std::uint32_t samples, const PngSample& sample) const {
    return WriteBytes(name, Encode(width, height, samples, sample));
  }

  std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = Path(name);
    WriteFileBytes(path, bytes);
    return path;
  }

  static std::vector<std::uint8_t> Encode(std::uint32_t width, std::uint32_t height,
                                          std::uint32_t samples, const PngSample& sample) {
    PngImageSpec spec;
    spec.colourType = samples == 1   ? PNG_COLOR_TYPE_GRAY
                      : samples == 3 ? PNG_COLOR_TYPE_RGB
                                     : PNG_COLOR_TYPE_RGB_ALPHA;
    spec.width = width;
    spec.height = height;
    for (std::uint32_t y = 0; y < height; ++y)
      for (std::uint32_t x = 0; x < width; ++x)
        for (std::uint32_t c = 0; c < samples; ++c) spec.data.push_back(sample(x, y, c));
    return EncodePng(spec);
  }

 private:
  std::string dir_;
};

}  // namespace veskor::test
