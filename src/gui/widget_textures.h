// The texture operations with which widgets (re)create their interface images: pixel blocks
// sized for an image, names renewed after the GL context was renewed, and the plain image
// record the PNG loader fills.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "foundation/mem_block.h"
#include "gfx/texture_object.h"

namespace veskor {

struct ImageRecord {
  MemBlock block;
  std::uint8_t* pixels;
  std::uint16_t log2Width;
  std::uint16_t log2Height;
  std::uint16_t channels;
};
void TextureRecordInit(ImageRecord& record);

// Texture2DResize (the pixel block kept when its byte size is unchanged, the counted size
// subtracted, a fresh GL state and a name slot), then the format code := code OR 8.
void ResizeImageBuffer(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                       std::uint32_t log2Height, std::uint32_t formatCode);

// After the names were renewed, for a texture with pixels last uploaded under an older
// ContextStamp: a fresh slot (a slot taken under the current stamp is kept), dirty and valid,
// stamp 0, format code := code OR 8; the next bind uploads the pixels again.
void Texture2DRenewNameAs(Texture2D& texture, std::uint32_t formatCode);
// The same with the format code of the channel count (1 -> 8, 2 -> 13, 3 -> 11, 4 -> 12; any
// other count keeps the code).
void Texture2DRenewName(Texture2D& texture);

// Deletes the textures when `owns` is set (the widget made them, rather than sharing another
// widget's), sets every pointer to null and clears `owns`.
void ReleaseWidgetTextures(std::initializer_list<Texture2D**> textures, std::uint32_t& owns);
// Renews the name of each texture present and binds it, so that its pixels are uploaded again.
void RestoreWidgetTextures(std::initializer_list<Texture2D*> textures);

}  // namespace veskor
