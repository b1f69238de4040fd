// PNG files for the PNG texture tests, written into a temporary directory that lives as long
// as the object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor::test {

class PngTextureFiles : public TempDir {
 public:
  PngTextureFiles() : TempDir("veskor_png_texture") {}

  std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    return TempDir::Write(name, bytes);
  }
  // An 8-bit file of 1 (grey), 3 (RGB) or 4 (RGBA) samples a pixel; returns its path.
  std::string Write(const std::string& name, std::uint32_t width, std::uint32_t height,
                    std::uint32_t samples, const PngSample& sample) const {
    return WriteBytes(name, EncodePng(width, height, samples, sample));
  }
};

}  // namespace veskor::test
