#include "gui/widget_textures.h"

#include "gfx/texture_names.h"

namespace veskor {

void TextureRecordInit(ImageRecord& record) { record = ImageRecord{}; }

void ResizeImageBuffer(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                       std::uint32_t log2Height, std::uint32_t formatCode) {
  Texture2DResize(texture, channels, log2Width, log2Height);
  texture.state.mode = 0;
  texture.state.formatCode = formatCode | 8;
}

void Texture2DRenewNameAs(Texture2D& texture, std::uint32_t formatCode) {
  TextureState& s = texture.state;
  if (s.stamp == ContextStamp || texture.pixels.data == nullptr) return;
  // A stale slot is dropped (the pool forgot it with the renewal); a current one is kept, so
  // that no name is lost.
  if (s.hasSlot != 0 && s.slotStamp != ContextStamp) s.hasSlot = 0;
  if (s.hasSlot == 0) {
    s.slot = TakeTextureSlot();
    s.slotStamp = ContextStamp;
    s.hasSlot = 1;
  }
  s.dirty = 1;
  s.valid = 1;
  s.stamp = 0;
  s.formatCode = formatCode | 8;
}

void Texture2DRenewName(Texture2D& texture) {
  static constexpr std::uint32_t kCodes[5] = {0, 8, 13, 11, 12};
  const std::uint32_t channels = texture.state.channels;
  Texture2DRenewNameAs(
      texture, channels >= 1 && channels <= 4 ? kCodes[channels] : texture.state.formatCode);
}

void ReleaseWidgetTextures(std::initializer_list<Texture2D**> textures, std::uint32_t& owns) {
  for (Texture2D** texture : textures) {
    if (owns != 0) delete *texture;
    *texture = nullptr;
  }
  owns = 0;
}

void RestoreWidgetTextures(std::initializer_list<Texture2D*> textures) {
  for (Texture2D* texture : textures) {
    if (texture == nullptr) continue;
    Texture2DRenewName(*texture);
    Texture2DBind(*texture, 0, 0);
  }
}

}  // namespace veskor
