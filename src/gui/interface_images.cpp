#include "gui/interface_images.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "foundation/data_file_search.h"
#include "foundation/fatal_error.h"
#include "gfx/png_texture.h"

namespace veskor {

namespace {

std::uint32_t PictureSide(std::uint32_t log2Side, float scale) {
  return static_cast<std::uint32_t>(
      std::lround(static_cast<double>(std::uint64_t{1} << log2Side) * scale));
}

// The loaders leave texels outside the picture as the pixel block held them, and a block may
// come back from an earlier texture: they are cleared, so that the padding of a button (which
// is drawn and hit-tested) is transparent.
void ClearPadding(Texture2D& texture, std::uint32_t width, std::uint32_t height) {
  const TexturePixels& p = texture.pixels;
  const std::size_t texel = p.channels, rowTexels = std::size_t{1} << p.log2Width;
  auto* row = static_cast<std::uint8_t*>(p.data);
  for (std::uint32_t y = 0; y < (1u << p.log2Height); ++y, row += rowTexels * texel) {
    const std::size_t from = y < height ? std::min<std::size_t>(width, rowTexels) : 0;
    std::memset(row + from * texel, 0, (rowTexels - from) * texel);
  }
}

}  // namespace

void FindInterfaceFile(const char* name, char (&path)[kSearchDirBytes]) {
  DataFileFailure failure;
  const std::uint32_t index = FindDataFile(name, &failure);
  if (index == 0 || !BuildDirPath(index, name, path))
    FatalError(DataFileFailureText(name, failure).c_str());
}

Texture2D* NewInterfaceTexture() {
  auto* texture = new (std::nothrow) Texture2D;
  if (texture == nullptr) FatalError("Cannot construct texture");
  return texture;
}

InterfaceImageFit LoadInterfaceImage(Texture2D& texture, const char* colourName,
                                     const char* maskName, std::uint32_t channels,
                                     const char* failure) {
  char colour[kSearchDirBytes];
  char mask[kSearchDirBytes] = "";
  FindInterfaceFile(colourName, colour);
  if (maskName != nullptr) FindInterfaceFile(maskName, mask);
  std::uint32_t exact = 0;
  InterfaceImageFit fit{};
  const std::uint32_t loaded =
      maskName != nullptr
          ? LoadPngTextureWithAlpha(colour, mask, texture, exact, fit.uScale, fit.vScale, nullptr)
          : LoadPngTexture(colour, texture, channels, exact, fit.uScale, fit.vScale, nullptr);
  if (loaded == 0) {
    std::string text = std::string(failure) + " : " + colour;
    if (maskName != nullptr) text += std::string(" with mask ") + mask;
    FatalError(text.c_str());
  }
  fit.width = PictureSide(texture.pixels.log2Width, fit.uScale);
  fit.height = PictureSide(texture.pixels.log2Height, fit.vScale);
  ClearPadding(texture, fit.width, fit.height);
  return fit;
}

Texture2D* LoadWidgetImage(const char* colourName, const char* maskName,
                           std::uint32_t channels) {
  Texture2D* texture = NewInterfaceTexture();
  LoadInterfaceImage(*texture, colourName, maskName, channels, "Cannot found file");
  Texture2DSetFilter(*texture, kFilterNearest);
  Texture2DSetWrap(*texture, 0);
  Texture2DBind(*texture, 0, 0);
  return texture;
}

}  // namespace veskor
