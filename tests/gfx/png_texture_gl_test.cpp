// PNG textures drawn: each loader's texture is bound (which uploads it) and drawn over the
// window with nearest sampling, and its texels are read back from the drawn pixels.
#include "gfx/png_texture.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"
#include "png_texture_files.h"

namespace veskor {
namespace {

using namespace test;

std::uint8_t Pattern(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return static_cast<std::uint8_t>(x * 90 + y * 50 + c * 30 + 10);
}

// Binds the texture with nearest sampling, draws it and returns the pixel over texel (x, y)
// of a 2 x 2 texture (texel row 0 at the bottom of the window).
template <class Texture>
Rgba DrawTexel(Texture& t, std::uint32_t x, std::uint32_t y) {
  Texture2DSetFilter(t, kFilterNearest);
  if constexpr (std::is_same_v<Texture, Texture2D>)
    Texture2DBind(t, kModePlain, 0);
  else
    FloatTexture2DBind(t, kModePlain, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  DrawTexturedQuad();
  return ReadPixel(16 + 32 * static_cast<int>(x), 16 + 32 * static_cast<int>(y));
}

TEST_F(GfxGlTest, PngTexturesDrawTheFilesTopRowAtTexelRowZero) {
  PngTextureFiles files;
  const std::string rgba = files.Write("rgba.png", 2, 2, 4, Pattern);
  const std::string grey = files.Write("grey.png", 2, 2, 1, [](auto x, auto y, auto) {
    return static_cast<std::uint8_t>(40 + 100 * x + 50 * y);
  });
  std::uint32_t exact = 0;
  float u = 0, v = 0;
  Texture2D rgb, withAlpha, split[3];
  FloatTexture2D whole, floats[4];
  ASSERT_EQ(LoadPngTexture(rgba.c_str(), rgb, 3, exact, u, v, nullptr), 1u);
  ASSERT_EQ(LoadPngTextureWithAlpha(rgba.c_str(), grey.c_str(), withAlpha, exact, u, v, nullptr),
            1u);
  ASSERT_EQ(LoadPngTextureSplit(rgba.c_str(), split[0], split[1], split[2], exact, u, v, nullptr),
            1u);
  ASSERT_EQ(LoadPngFloatTexture(rgba.c_str(), whole, 4, exact, u, v, nullptr), 1u);
  ASSERT_EQ(LoadPngFloatTextureSplit4(rgba.c_str(), floats[0], floats[1], floats[2], floats[3],
                                      exact, u, v, nullptr),
            1u);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 2; ++x) {
      const std::string at = " texel " + std::to_string(x) + "," + std::to_string(y);
      const auto p = [&](std::uint32_t c) { return Pattern(x, y, c); };
      const auto luminance = [](std::uint8_t value) { return Rgba{value, value, value, 255}; };
      ExpectPixel(DrawTexel(rgb, x, y), {p(0), p(1), p(2), 255}, 1, "rgb" + at);
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), 3);
      const auto alpha = static_cast<std::uint8_t>(255 - (40 + 100 * x + 50 * y));
      ExpectPixel(DrawTexel(withAlpha, x, y), {p(0), p(1), p(2), alpha}, 1, "with alpha" + at);
      for (std::uint32_t c = 0; c < 3; ++c) {
        ExpectPixel(DrawTexel(split[c], x, y), luminance(p(c)), 1, "split" + at);
        EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
      }
      ExpectPixel(DrawTexel(whole, x, y), {p(0), p(1), p(2), p(3)}, 1, "float rgba" + at);
      ExpectPixel(DrawTexel(floats[1], x, y), luminance(p(1)), 1, "float green" + at);
      ExpectPixel(DrawTexel(floats[3], x, y), luminance(255 - p(3)), 1, "inverse alpha" + at);
    }
}

}  // namespace
}  // namespace veskor
