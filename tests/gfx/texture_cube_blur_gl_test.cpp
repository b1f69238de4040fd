#include "gfx/texture_cube_blur.h"

#include <gtest/gtest.h>

#include "gfx/texture_format.h"
#include "gfx/texture_memory.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using test::GfxGlTest;
using test::LevelParameter;

TEST_F(GfxGlTest, BlurredCubeUploadsAndCountsItsNewSize) {
  TextureMemoryReset();
  TextureCube cube;
  TextureCubeResize(cube, 3, 4);
  for (TexturePixels& face : cube.faces) {
    float* t = static_cast<float*>(face.data);
    for (int i = 0; i < 16 * 16 * 3; ++i) t[i] = (i % 7) / 7.0f;
  }
  TextureCubeBind(cube, kModePlain, 0);
  EXPECT_EQ(TextureMemory.texels, 6u * 256);
  EXPECT_EQ(TextureMemory.bytes, 6u * 256 * 4);

  TextureCubeBlurToLevel(cube, 0.0f);  // n 4: one halving, 6 passes
  TextureCubeBind(cube, kModePlain, 0);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_Y, 0, GL_TEXTURE_WIDTH), 8);
  EXPECT_EQ(TextureMemory.texels, 6u * 64);
  EXPECT_EQ(TextureMemory.bytes, 6u * 64 * 4);
  TextureCubeRelease(cube);
  EXPECT_EQ(TextureMemory.texels, 0u);
  EXPECT_EQ(TextureMemory.bytes, 0u);
}

}  // namespace
}  // namespace veskor
