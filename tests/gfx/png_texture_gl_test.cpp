// PNG textures drawn: each loader's texture is bound (which uploads it) and drawn over the
// window with nearest sampling, and its texels are read back from the drawn pixels.
#include "gfx/png_texture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"
#include "png_texture_files.h"

namespace veskor {
namespace {

using test::DrawTexturedQuad;
using test::LevelParameter;
using test::ReadPixel;
using test::Rgba;

std::uint8_t Pattern(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return static_cast<std::uint8_t>(x * 90 + y * 50 + c * 30 + 10);
}

class PngTextureGl : public test::GfxGlTest {
 protected:
  // Binds the texture with nearest sampling, draws it and returns the pixel over texel (x, y)
  // of a 2 x 2 texture (texel row 0 at the bottom of the window).
  template <class Texture, class Bind>
  Rgba DrawTexel(Texture& texture, Bind bind, std::uint32_t x, std::uint32_t y) {
    Texture2DSetFilter(texture, kFilterNearest);
    bind(texture, kModePlain, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTexturedQuad();
    return ReadPixel(16 + 32 * static_cast<int>(x), 16 + 32 * static_cast<int>(y));
  }
  Rgba DrawTexel(Texture2D& t, std::uint32_t x, std::uint32_t y) {
    return DrawTexel(t, Texture2DBind, x, y);
  }
  Rgba DrawTexel(FloatTexture2D& t, std::uint32_t x, std::uint32_t y) {
    return DrawTexel(t, FloatTexture2DBind, x, y);
  }

  test::PngTextureFiles files_;
  std::uint32_t exact_ = 0;
  float u_ = 0.0f;
  float v_ = 0.0f;
};

void ExpectPixel(const Rgba& p, int r, int g, int b, int a, const std::string& what) {
  EXPECT_NEAR(p.r, r, 1) << what;
  EXPECT_NEAR(p.g, g, 1) << what;
  EXPECT_NEAR(p.b, b, 1) << what;
  EXPECT_NEAR(p.a, a, 1) << what;
}

TEST_F(PngTextureGl, ByteTexturesDrawTheFilesTopRowAtTexelRowZero) {
  const std::string rgba = files_.Write("rgba.png", 2, 2, 4, Pattern);
  const std::string grey = files_.Write("grey.png", 2, 2, 1, [](auto x, auto y, auto) {
    return static_cast<std::uint8_t>(40 + 100 * x + 50 * y);
  });
  Texture2D rgb;
  ASSERT_EQ(LoadPngTexture(rgba.c_str(), rgb, 3, exact_, u_, v_, nullptr), 1u);
  Texture2D withAlpha;
  ASSERT_EQ(LoadPngTextureWithAlpha(rgba.c_str(), grey.c_str(), withAlpha, exact_, u_, v_,
                                    nullptr),
            1u);
  Texture2D split[3];
  ASSERT_EQ(LoadPngTextureSplit(rgba.c_str(), split[0], split[1], split[2], exact_, u_, v_,
                                nullptr),
            1u);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 2; ++x) {
      const std::string at = " texel " + std::to_string(x) + "," + std::to_string(y);
      const int r = Pattern(x, y, 0), g = Pattern(x, y, 1), b = Pattern(x, y, 2);
      ExpectPixel(DrawTexel(rgb, x, y), r, g, b, 255, "rgb" + at);
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), 3);
      ExpectPixel(DrawTexel(withAlpha, x, y), r, g, b, 255 - (40 + 100 * x + 50 * y),
                  "with alpha" + at);
      for (std::uint32_t c = 0; c < 3; ++c) {
        const int value = Pattern(x, y, c);
        ExpectPixel(DrawTexel(split[c], x, y), value, value, value, 255, "split" + at);
        EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
      }
    }
}

TEST_F(PngTextureGl, FloatTexturesDrawSamplesOver255) {
  const std::string rgba = files_.Write("rgba.png", 2, 2, 4, Pattern);
  FloatTexture2D whole;
  ASSERT_EQ(LoadPngFloatTexture(rgba.c_str(), whole, 4, exact_, u_, v_, nullptr), 1u);
  FloatTexture2D split[4];
  ASSERT_EQ(LoadPngFloatTextureSplit4(rgba.c_str(), split[0], split[1], split[2], split[3],
                                      exact_, u_, v_, nullptr),
            1u);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 2; ++x) {
      const std::string at = " texel " + std::to_string(x) + "," + std::to_string(y);
      ExpectPixel(DrawTexel(whole, x, y), Pattern(x, y, 0), Pattern(x, y, 1), Pattern(x, y, 2),
                  Pattern(x, y, 3), "rgba" + at);
      const int inverseAlpha = 255 - Pattern(x, y, 3);
      ExpectPixel(DrawTexel(split[3], x, y), inverseAlpha, inverseAlpha, inverseAlpha, 255,
                  "inverse alpha" + at);
      const int green = Pattern(x, y, 1);
      ExpectPixel(DrawTexel(split[1], x, y), green, green, green, 255, "green" + at);
    }
}

}  // namespace
}  // namespace veskor
