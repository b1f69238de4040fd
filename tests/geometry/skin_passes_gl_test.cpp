// Skin texture modes and pass lists on this driver: the modes read back from GL after the binds
// that upload the textures, on Mesa with the compatibility layer on and off.
#include "geometry/skin_passes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "gfx/gfx_gl_test.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"

namespace veskor::test {
namespace {

class SkinTextureModes : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    savedMask_ = ExtensionMask;
  }
  void TearDown() override {
    ExtensionMask = savedMask_;
    slot_.reset();
    GfxGlTest::TearDown();
  }
  // Texture k of set s with pixels of a grey ramp: the light map one channel, the others three.
  FloatTexture2D& Fill(std::uint32_t s, std::uint32_t k) {
    FloatTexture2D& t = SkinTexture(slot_->textureSets[s], k);
    const std::uint32_t channels = k == 0 ? 1 : 3;
    FloatTexture2DRealloc(t, channels, 2, 2);
    auto* texels = static_cast<float*>(t.pixels.data);
    for (std::uint32_t i = 0; i < 16 * channels; ++i) texels[i] = float(i % 7) / 7.0f;
    return t;
  }
  // The GL state of a texture's name.
  struct Gl {
    GLint minFilter, wrapS, wrapT;
    float maxLod;
  };
  static Gl Read(const FloatTexture2D& t) {
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[t.state.slot]);
    Gl gl{TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER),
          TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S),
          TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), -1};
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LOD, &gl.maxLod);
    return gl;
  }
  static GLint EnvMode() {
    GLint mode = -1;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    return mode;
  }
  std::unique_ptr<SkinSlot> slot_ = std::make_unique<SkinSlot>();
  std::uint32_t savedMask_ = 0;
};

TEST_F(SkinTextureModes, EachTextureGetsItsFilterWrapLodAndCombineMode) {
  const bool combine = HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3) != 0;
  const bool lod = HasExtension(kExtTextureLod) != 0;
  const auto clamp = static_cast<GLint>(TextureClampMode);
  for (std::uint32_t s = 0; s < kSkinSetCount; ++s)
    for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k) Fill(s, k);
  SetSkinTextureModes(*slot_, 0);
  // The last bind of each set is texture 2's, in the split mode.
  EXPECT_EQ(EnvMode(), HasExtension(kExtTextureEnvCombine4) ? GL_COMBINE4_NV : GL_COMBINE_ARB);
  const struct {
    std::uint32_t k;
    GLint filter;
    std::uint32_t mode;
    float maxLod;
  } textures[] = {
      {0, GL_LINEAR_MIPMAP_LINEAR, kModePlain, lod ? 3.0f : 1000.0f},
      {1, GL_LINEAR_MIPMAP_LINEAR, combine ? kModeSplitOnBasis : kModeCompressed,
       lod ? 3.0f : 1000.0f},
      {2, GL_LINEAR, kModeSplitOnBasis, 1000.0f},
      {3, GL_LINEAR_MIPMAP_LINEAR, kModePlain, lod ? 3.0f : 1000.0f},
  };
  for (std::uint32_t s = 0; s < kSkinSetCount; ++s) {
    for (const auto& t : textures) {
      const FloatTexture2D& texture = SkinTexture(slot_->textureSets[s], t.k);
      EXPECT_EQ(texture.state.dirty, 0u) << s << " " << t.k;
      EXPECT_EQ(texture.state.mode, t.mode) << s << " " << t.k;
      const Gl gl = Read(texture);
      EXPECT_EQ(gl.minFilter, t.filter) << s << " " << t.k;
      EXPECT_EQ(gl.wrapS, s == 0 ? GL_REPEAT : clamp) << s << " " << t.k;
      EXPECT_EQ(gl.wrapT, clamp) << s << " " << t.k;
      EXPECT_EQ(gl.maxLod, t.maxLod) << s << " " << t.k;
    }
  }
  // The diffuse texture alone: its own combine mode is the one left on the unit.
  auto single = std::make_unique<SkinSlot>();
  slot_.swap(single);
  Fill(0, 1);
  SetSkinTextureModes(*slot_, 0);
  EXPECT_EQ(EnvMode(),
            combine ? (HasExtension(kExtTextureEnvCombine4) ? GL_COMBINE4_NV : GL_COMBINE_ARB)
                    : GL_MODULATE);
  EXPECT_EQ(SkinTexture(slot_->textureSets[0], 0).state.valid, 1u);  // no pixels: not bound
  EXPECT_EQ(SkinTexture(slot_->textureSets[0], 0).state.dirty, 1u);
}

// Code 128 binds the first set only, clamped both ways; without the texture-LOD extension no
// maximum LOD is set.
TEST_F(SkinTextureModes, TheFirstSetAloneAndNoLodWithoutTheExtension) {
  ExtensionMask &= ~kExtTextureLod;
  for (std::uint32_t s = 0; s < kSkinSetCount; ++s) Fill(s, 3);
  SetSkinTextureModes(*slot_, kSkinModesFirstSetOnly);
  const FloatTexture2D& first = SkinTexture(slot_->textureSets[0], 3);
  EXPECT_EQ(first.state.maxLodFlag, 0u);
  const Gl gl = Read(first);
  EXPECT_EQ(gl.wrapS, static_cast<GLint>(TextureClampMode));
  EXPECT_EQ(gl.maxLod, 1000.0f);
  for (std::uint32_t s = 1; s < kSkinSetCount; ++s) {
    const FloatTexture2D& t = SkinTexture(slot_->textureSets[s], 3);
    EXPECT_EQ(t.state.dirty, 1u) << s;  // never uploaded
    EXPECT_EQ(t.state.stamp, 0u) << s;
    EXPECT_EQ(t.state.filter, 0u) << s;
  }
  FloatTexture2D& other = SkinTexture(slot_->textureSets[1], 0);
  SetSkinTextureMaxLod(other, 2.0f);
  EXPECT_EQ(other.state.maxLodFlag, 0u);
  ExtensionMask |= kExtTextureLod;
  SetSkinTextureMaxLod(other, 2.0f);
  EXPECT_EQ(other.state.maxLodFlag, 1u);
  EXPECT_EQ(other.state.maxLod, 2.0f);
}

// With the compatibility layer Mesa is a combiner board with secondary colour: one base pass;
// without it, two.
TEST_F(SkinTextureModes, MesaDrawsSkinsInOneBasePassWithTheLayerAndTwoWithout) {
  const char* compat = std::getenv("VESKOR_GL_COMPAT");
  const bool layer = compat == nullptr || std::strcmp(compat, "0") != 0;
  BuildSkinPassList(*slot_, 0x20 | 4);
  ASSERT_EQ(SkinCombinerBoard(), layer);
  if (layer) {
    ASSERT_EQ(slot_->passCount, 2u);
    EXPECT_EQ(slot_->passes[0].code, 2u);
    EXPECT_EQ(slot_->passes[1].code, 6u);
  } else {
    ASSERT_EQ(slot_->passCount, 3u);
    EXPECT_EQ(slot_->passes[1].code, 1u);
    EXPECT_EQ(slot_->passes[2].code, 5u);
  }
}

}  // namespace
}  // namespace veskor::test
