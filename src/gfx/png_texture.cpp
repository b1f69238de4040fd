#include "gfx/png_texture.h"

#include <algorithm>
#include <iterator>

#include "foundation/png_reader.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kInv255 = 1.0f / 255.0f;

// One decoded file; its pixels go back to the C heap with the object, on every path.
class PngImage {
 public:
  // False when the file cannot be read, or when what the reader returns does not describe
  // width x height pixels of 1 to 4 bytes: the loops below index the pixels by these numbers.
  bool Load(const char* path) {
    std::uint32_t rowBytes = 0;
    if (LoadPngFile(path, pixels_, width_, height_, channels_, rowBytes) == 0) return false;
    rowBytes_ = rowBytes;
    return width_ >= 1 && height_ >= 1 && channels_ >= 1 && channels_ <= 4 &&
           rowBytes >= std::uint64_t{width_} * channels_;
  }

  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }
  std::uint32_t Channels() const { return channels_; }
  const std::uint8_t* Pixel(std::uint32_t x, std::uint32_t y) const {
    return pixels_.get() + std::size_t{y} * rowBytes_ + std::size_t{x} * channels_;
  }

 private:
  PngPixels pixels_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t channels_ = 0;
  std::size_t rowBytes_ = 0;
};

// The texture an image lands in, and the part of it the image covers.
struct Placement {
  std::uint32_t log2Width;
  std::uint32_t log2Height;
  std::uint32_t exact;
  float uScale;
  float vScale;
};

std::uint32_t CeilLog2(std::uint32_t n) {
  std::uint32_t log2 = 0;
  while ((std::uint64_t{1} << log2) < n) ++log2;
  return log2;
}

// False when a texture of `texelBytes` bytes a texel would be larger than the loaders make.
bool PlaceImage(const PngImage& image, std::uint32_t texelBytes, Placement& p) {
  p.log2Width = CeilLog2(image.Width());
  p.log2Height = CeilLog2(image.Height());
  const std::uint32_t log2Texels = p.log2Width + p.log2Height;
  if (log2Texels > 30 || (std::uint64_t{texelBytes} << log2Texels) > kPngTextureMaxBytes)
    return false;
  const std::uint64_t width = std::uint64_t{1} << p.log2Width;
  const std::uint64_t height = std::uint64_t{1} << p.log2Height;
  p.exact = (image.Width() == width && image.Height() == height) ? 1 : 0;
  p.uScale = static_cast<float>(image.Width()) / static_cast<float>(width);
  p.vScale = static_cast<float>(image.Height()) / static_cast<float>(height);
  return true;
}

void WriteOutputs(const Placement& p, std::uint32_t& exact, float& uScale, float& vScale) {
  exact = p.exact;
  uScale = p.uScale;
  vScale = p.vScale;
}

// The one mask byte of the single-texture loaders, repeated for every channel.
const std::uint8_t* EveryChannel(const std::uint8_t* mask, std::uint8_t (&masks)[4]) {
  if (mask == nullptr) return nullptr;
  std::fill(std::begin(masks), std::end(masks), *mask);
  return masks;
}

// Writes `channels` values into every texel of the image's area: byte c of texel (x, y) is
// sample(x, y, c), merged under mask byte c.
template <class Sample>
void FillBytes(TextureObject2D& texture, const PngImage& image, std::uint32_t channels,
               const std::uint8_t* mask, Sample sample) {
  auto* texels = static_cast<std::uint8_t*>(texture.pixels.data);
  const std::uint32_t log2Width = texture.pixels.log2Width;
  for (std::uint32_t y = 0; y < image.Height(); ++y) {
    for (std::uint32_t x = 0; x < image.Width(); ++x) {
      std::uint8_t* texel = texels + ((std::size_t{y} << log2Width) + x) * channels;
      for (std::uint32_t c = 0; c < channels; ++c) {
        const std::uint8_t m = mask != nullptr ? mask[c] : 0xFF;
        texel[c] = static_cast<std::uint8_t>((sample(x, y, c) & m) | (texel[c] & ~m));
      }
    }
  }
}

// The byte a float texel stands for under a mask. Clamped first: a texel outside [0, 1], or
// not a number, has no byte.
std::uint8_t FloatTexelByte(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 255;
  return static_cast<std::uint8_t>(value * 255.0f);
}

// As FillBytes for float texels: the byte times 1/255.
template <class Sample>
void FillFloats(TextureObject2D& texture, const PngImage& image, std::uint32_t channels,
                const std::uint8_t* mask, Sample sample) {
  auto* texels = static_cast<float*>(texture.pixels.data);
  const std::uint32_t log2Width = texture.pixels.log2Width;
  for (std::uint32_t y = 0; y < image.Height(); ++y) {
    for (std::uint32_t x = 0; x < image.Width(); ++x) {
      float* texel = texels + ((std::size_t{y} << log2Width) + x) * channels;
      for (std::uint32_t c = 0; c < channels; ++c) {
        std::uint32_t byte = sample(x, y, c);
        if (mask != nullptr)
          byte = (byte & mask[c]) | (FloatTexelByte(texel[c]) & ~mask[c] & 0xFFu);
        texel[c] = static_cast<float>(byte) * kInv255;
      }
    }
  }
}

const std::uint8_t* MaskOf(const std::uint8_t* mask, std::uint32_t index) {
  return mask != nullptr ? mask + index : nullptr;
}

// The loaders' first steps: read the file, check the channels asked for against it, place it.
bool ReadAndPlace(const char* path, PngImage& image, std::uint32_t channels,
                  std::uint32_t texelBytes, Placement& p) {
  if (!image.Load(path)) return false;
  if (channels < 1 || channels > image.Channels()) return false;
  return PlaceImage(image, texelBytes, p);
}

}  // namespace

std::uint32_t LoadPngTexture(const char* path, Texture2D& texture, std::uint32_t channels,
                             std::uint32_t& exact, float& uScale, float& vScale,
                             const std::uint8_t* mask) {
  PngImage image;
  Placement p;
  if (!ReadAndPlace(path, image, channels, channels, p)) return 0;
  WriteOutputs(p, exact, uScale, vScale);
  Texture2DResize(texture, channels, p.log2Width, p.log2Height);
  std::uint8_t masks[4];
  FillBytes(texture, image, channels, EveryChannel(mask, masks),
            [&](std::uint32_t x, std::uint32_t y, std::uint32_t c) {
              return image.Pixel(x, y)[c];
            });
  return 1;
}

std::uint32_t LoadPngTextureWithAlpha(const char* path, const char* alphaPath,
                                      Texture2D& texture, std::uint32_t& exact, float& uScale,
                                      float& vScale, const std::uint8_t* mask) {
  PngImage colour;
  PngImage alpha;
  if (!colour.Load(path) || !alpha.Load(alphaPath)) return 0;
  if (colour.Width() != alpha.Width() || colour.Height() != alpha.Height()) return 0;
  Placement p;
  if (!PlaceImage(colour, 4, p)) return 0;
  WriteOutputs(p, exact, uScale, vScale);
  Texture2DResize(texture, 4, p.log2Width, p.log2Height);
  const bool grey = colour.Channels() < 3;  // one sample gives red, green and blue
  FillBytes(texture, colour, 4, mask,
            [&](std::uint32_t x, std::uint32_t y, std::uint32_t c) -> std::uint8_t {
              if (c == 3) return static_cast<std::uint8_t>(255 - alpha.Pixel(x, y)[0]);
              return colour.Pixel(x, y)[grey ? 0 : c];
            });
  return 1;
}

std::uint32_t LoadPngTextureSplit(const char* path, Texture2D& red, Texture2D& green,
                                  Texture2D& blue, std::uint32_t& exact, float& uScale,
                                  float& vScale, const std::uint8_t* mask) {
  PngImage image;
  Placement p;
  if (!ReadAndPlace(path, image, 3, 1, p)) return 0;
  WriteOutputs(p, exact, uScale, vScale);
  Texture2D* textures[3] = {&red, &green, &blue};
  for (std::uint32_t i = 0; i < 3; ++i) {
    Texture2DResize(*textures[i], 1, p.log2Width, p.log2Height);
    FillBytes(*textures[i], image, 1, MaskOf(mask, i),
              [&](std::uint32_t x, std::uint32_t y, std::uint32_t) {
                return image.Pixel(x, y)[i];
              });
  }
  return 1;
}

std::uint32_t LoadPngFloatTexture(const char* path, FloatTexture2D& texture,
                                  std::uint32_t channels, std::uint32_t& exact, float& uScale,
                                  float& vScale, const std::uint8_t* mask) {
  PngImage image;
  Placement p;
  if (!ReadAndPlace(path, image, channels, channels * sizeof(float), p)) return 0;
  WriteOutputs(p, exact, uScale, vScale);
  FloatTexture2DRealloc(texture, channels, p.log2Width, p.log2Height);
  std::uint8_t masks[4];
  FillFloats(texture, image, channels, EveryChannel(mask, masks),
             [&](std::uint32_t x, std::uint32_t y, std::uint32_t c) {
               return image.Pixel(x, y)[c];
             });
  return 1;
}

namespace {

// The split float loaders: one texture a sample, the fourth (when there is one) 255 - alpha,
// or 255 for a file without alpha.
std::uint32_t LoadFloatSplit(const char* path, FloatTexture2D* const* textures,
                             std::uint32_t count, std::uint32_t& exact, float& uScale,
                             float& vScale, const std::uint8_t* mask) {
  PngImage image;
  Placement p;
  if (!ReadAndPlace(path, image, 3, sizeof(float), p)) return 0;
  WriteOutputs(p, exact, uScale, vScale);
  const bool hasAlpha = image.Channels() == 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    FloatTexture2DRealloc(*textures[i], 1, p.log2Width, p.log2Height);
    FillFloats(*textures[i], image, 1, MaskOf(mask, i),
               [&](std::uint32_t x, std::uint32_t y, std::uint32_t) -> std::uint8_t {
                 if (i < 3) return image.Pixel(x, y)[i];
                 return hasAlpha ? static_cast<std::uint8_t>(255 - image.Pixel(x, y)[3]) : 255;
               });
  }
  return 1;
}

}  // namespace

std::uint32_t LoadPngFloatTextureSplit(const char* path, FloatTexture2D& red,
                                       FloatTexture2D& green, FloatTexture2D& blue,
                                       std::uint32_t& exact, float& uScale, float& vScale,
                                       const std::uint8_t* mask) {
  FloatTexture2D* textures[3] = {&red, &green, &blue};
  return LoadFloatSplit(path, textures, 3, exact, uScale, vScale, mask);
}

std::uint32_t LoadPngFloatTextureSplit4(const char* path, FloatTexture2D& red,
                                        FloatTexture2D& green, FloatTexture2D& blue,
                                        FloatTexture2D& inverseAlpha, std::uint32_t& exact,
                                        float& uScale, float& vScale, const std::uint8_t* mask) {
  FloatTexture2D* textures[4] = {&red, &green, &blue, &inverseAlpha};
  return LoadFloatSplit(path, textures, 4, exact, uScale, vScale, mask);
}

std::uint32_t HeightToNormalSplit(const FloatTexture2D& source, FloatTexture2D& plusX,
                                  FloatTexture2D& plusY, FloatTexture2D& z,
                                  FloatTexture2D& minusX, FloatTexture2D& minusY) {
  const TexturePixels& s = source.pixels;
  if (s.data == nullptr || s.channels == 0) return 0;
  FloatTexture2D* targets[5] = {&plusX, &plusY, &z, &minusX, &minusY};
  for (FloatTexture2D* t : targets) {
    const TexturePixels& d = t->pixels;
    if (d.data == nullptr || d.channels != 1 || d.log2Width != s.log2Width ||
        d.log2Height != s.log2Height)
      return 0;
  }

  const auto* heights = static_cast<const float*>(s.data);
  const std::uint32_t lw = s.log2Width;
  const std::uint32_t width = std::uint32_t{1} << lw;
  const std::uint32_t height = std::uint32_t{1} << s.log2Height;
  const std::uint32_t stride = s.channels;
  auto at = [&](std::uint32_t x, std::uint32_t y) {
    return heights[((std::size_t{y} << lw) + x) * stride];
  };
  float* out[5];
  for (int i = 0; i < 5; ++i) out[i] = static_cast<float*>(targets[i]->pixels.data);

  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint32_t y0 = y > 0 ? y - 1 : 0;
    const std::uint32_t y1 = y + 1 < height ? y + 1 : height - 1;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t x0 = x > 0 ? x - 1 : 0;
      const std::uint32_t x1 = x + 1 < width ? x + 1 : width - 1;
      float gx = (2.0f * at(x1, y) + at(x1, y0) + at(x1, y1) - 2.0f * at(x0, y) - at(x0, y0) -
                  at(x0, y1)) *
                 0.25f;
      float gy = (2.0f * at(x, y1) + at(x0, y1) + at(x1, y1) - 2.0f * at(x, y0) - at(x0, y0) -
                  at(x1, y0)) *
                 0.25f;
      gx = std::clamp(gx, -1.0f, 1.0f);
      gy = std::clamp(gy, -1.0f, 1.0f);
      const std::size_t i = (std::size_t{y} << lw) + x;
      out[0][i] = gx >= 0.0f ? gx : 0.0f;
      out[3][i] = gx >= 0.0f ? 0.0f : -gx;
      out[1][i] = gy >= 0.0f ? gy : 0.0f;
      out[4][i] = gy >= 0.0f ? 0.0f : -gy;
      // Both slopes near their limits take the square root below 0: the normal lies flat.
      out[2][i] = gKernelTable.KernelSqrt(std::max(0.0f, 1.0f - (gx * gx + gy * gy)));
    }
  }
  for (FloatTexture2D* t : targets) t->state.dirty = 1;
  return 1;
}

void Texture2DReleaseCopy(Texture2D& texture) {
  Texture2DRelease(texture);
  texture.pixels.data = nullptr;
}

}  // namespace veskor
