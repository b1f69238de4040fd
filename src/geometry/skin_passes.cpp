#include "geometry/skin_passes.h"

#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"

namespace veskor {

namespace {

void Append(SkinSlot& slot, std::uint32_t code, const float* argument) {
  slot.passes[slot.passCount++] = SkinPass{code, argument};
}

constexpr float kSkinMaxLod = 3.0f;

}  // namespace

bool SkinCombinerBoard() {
  return TextureUnitCount == 4 && HasExtension(kExtRegisterCombiners2) != 0;
}

void BuildSkinPassList(SkinSlot& slot, std::uint32_t flags) {
  slot.passFlags = flags;
  slot.passCount = 0;
  const bool a = (flags & kSkinPassVariantA) != 0, b = (flags & kSkinPassVariantB) != 0;
  const bool combiners = SkinCombinerBoard();
  if (combiners && HasExtension(kExtSecondaryColor) != 0) {
    Append(slot, a && b ? 26 : a ? 10 : b ? 18 : 2, slot.passArgument);
  } else {
    const std::uint32_t first = a && b ? 24 : a ? 8 : b ? 16 : 0;
    Append(slot, first, nullptr);
    Append(slot, first + 1, slot.passArgument);
  }
  const bool extraA = (flags & kSkinPassExtraA) != 0, extraB = (flags & kSkinPassExtraB) != 0;
  if (extraB && extraA) {
    if (combiners) {
      Append(slot, 4, nullptr);
    } else {
      Append(slot, 3, nullptr);
      Append(slot, 5, nullptr);
    }
  } else if (extraB) {
    Append(slot, combiners ? 6 : 5, nullptr);
  } else if (extraA) {
    Append(slot, 3, nullptr);
  }
}

void SetSkinTextureModes(SkinSlot& slot, std::uint32_t code) {
  if (code == kSkinModesFirstSetOnly) {
    SetSkinTextureSetModes(slot.textureSets[0], 0);
    return;
  }
  SetSkinTextureSetModes(slot.textureSets[0], kWrapRepeatS);
  SetSkinTextureSetModes(slot.textureSets[1], 0);
  SetSkinTextureSetModes(slot.textureSets[2], 0);
}

void SetSkinTextureSetModes(SkinTextureSet& set, std::uint32_t wrap) {
  const bool combine = HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3) != 0;
  const struct {
    std::uint32_t texture, filter, mode;
    bool maxLod;
  } steps[] = {
      {0, kFilterTrilinear, kModePlain, true},
      {1, kFilterTrilinear, combine ? kModeSplitOnBasis : kModeCompressed, true},
      {3, kFilterTrilinear, kModePlain, true},
      {2, kFilterBilinear, kModeSplitOnBasis, false},
  };
  for (const auto& step : steps) {
    FloatTexture2D& texture = SkinTexture(set, step.texture);
    if (texture.pixels.data == nullptr) continue;
    Texture2DSetFilter(texture, step.filter);
    Texture2DSetWrap(texture, wrap);
    if (step.maxLod) SetSkinTextureMaxLod(texture, kSkinMaxLod);
    FloatTexture2DBind(texture, step.mode, 0);
  }
}

void SetSkinTextureMaxLod(FloatTexture2D& texture, float value) {
  if (HasExtension(kExtTextureLod) == 0) return;
  texture.state.maxLod = value;
  texture.state.maxLodFlag = 1;
  texture.state.dirty = 1;
}

}  // namespace veskor
