// LOCAL STAND-IN for the map engine's copy, halving and clamp kernels (plain members), used by
// the texture code until the KernelTable is wired in (see texture_kernels.h).
#include <cstring>

#include "gfx/texture_kernels.h"

namespace veskor {

namespace {

std::size_t Values(std::uint8_t ch, std::uint8_t w, std::uint8_t h) {
  return std::size_t{ch} << (w + h);
}

void CopyBytes(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
               void* destination) {
  std::memmove(destination, source, Values(ch, w, h));
}

void CopyFloats(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                void* destination) {
  std::memmove(destination, source, Values(ch, w, h) * sizeof(float));
}

// Halving with the sums and divisions of each element type.
template <class T, class Sum, class Two, class Four>
void Halve(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t halveWidth,
           std::uint8_t halveHeight, const T* in, T* out, Two mean2, Four mean4) {
  const std::size_t width = std::size_t{1} << w;
  const std::size_t height = std::size_t{1} << h;
  auto at = [&](std::size_t x, std::size_t y, std::size_t k) {
    return Sum(in[(y * width + x) * ch + k]);
  };
  if (halveWidth == 0) {
    for (std::size_t j = 0; j < height / 2; ++j)
      for (std::size_t x = 0; x < width; ++x)
        for (std::size_t k = 0; k < ch; ++k)
          out[(j * width + x) * ch + k] = mean2(at(x, 2 * j, k), at(x, 2 * j + 1, k));
  } else if (halveHeight == 0) {
    const std::size_t half = width / 2;
    for (std::size_t y = 0; y < height; ++y)
      for (std::size_t i = 0; i < half; ++i)
        for (std::size_t k = 0; k < ch; ++k)
          out[(y * half + i) * ch + k] = mean2(at(2 * i, y, k), at(2 * i + 1, y, k));
  } else {
    const std::size_t half = width / 2;
    for (std::size_t j = 0; j < height / 2; ++j)
      for (std::size_t i = 0; i < half; ++i)
        for (std::size_t k = 0; k < ch; ++k)
          out[(j * half + i) * ch + k] =
              mean4(at(2 * i, 2 * j, k), at(2 * i + 1, 2 * j, k), at(2 * i, 2 * j + 1, k),
                    at(2 * i + 1, 2 * j + 1, k));
  }
}

void Downsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t hw, std::uint8_t hh,
                const float* in, float* out) {
  Halve<float, float>(
      ch, w, h, hw, hh, in, out, [](float a, float b) { return (a + b) * 0.5f; },
      [](float a, float b, float c, float d) { return (a + b + c + d) * 0.25f; });
}

void BytesDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t hw,
                     std::uint8_t hh, const std::uint8_t* in, std::uint8_t* out) {
  Halve<std::uint8_t, unsigned>(
      ch, w, h, hw, hh, in, out,
      [](unsigned a, unsigned b) { return static_cast<std::uint8_t>((a + b) >> 1); },
      [](unsigned a, unsigned b, unsigned c, unsigned d) {
        return static_cast<std::uint8_t>((a + b + c + d) >> 2);
      });
}

void SignedBytesDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t hw,
                           std::uint8_t hh, const std::int8_t* in, std::int8_t* out) {
  Halve<std::int8_t, int>(
      ch, w, h, hw, hh, in, out, [](int a, int b) { return static_cast<std::int8_t>((a + b) / 2); },
      [](int a, int b, int c, int d) { return static_cast<std::int8_t>((a + b + c + d) / 4); });
}

void Clamp01(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data) {
  const std::size_t n = Values(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) {
    const float x = data[i];
    data[i] = (x >= 0.0f && x <= 1.0f) ? x : (x > 1.0f ? 1.0f : 0.0f);
  }
}

}  // namespace

TextureKernelTable TextureKernels = {
    CopyBytes, CopyBytes, CopyFloats, Downsample, BytesDownsample, SignedBytesDownsample, Clamp01,
};

}  // namespace veskor
