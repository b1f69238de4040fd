// PNG files for the PNG texture tests, written into a temporary directory that lives as long
// as the object.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/png_test_images.h"

namespace veskor::test {

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
  std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    WriteFileBytes(Path(name), bytes);
    return Path(name);
  }
  // An 8-bit file of 1 (grey), 3 (RGB) or 4 (RGBA) samples a pixel; returns its path.
  std::string Write(const std::string& name, std::uint32_t width, std::uint32_t height,
                    std::uint32_t samples, const PngSample& sample) const {
    return WriteBytes(name, EncodePng(width, height, samples, sample));
  }

 private:
  std::string dir_;
};

}  // namespace veskor::test
