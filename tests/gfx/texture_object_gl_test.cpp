#include "gfx/texture_object.h"

#include <gtest/gtest.h>

#include <cstring>

#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "gfx/texture_memory.h"
#include "gfx/texture_names.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;

GLint EnvMode() {
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  return mode;
}

GLint Bound2D() { return GlInteger(GL_TEXTURE_BINDING_2D); }
GLint Level(GLint level, GLenum name) { return LevelParameter(GL_TEXTURE_2D, level, name); }
GLint Parameter(GLenum name) { return TextureParameter(GL_TEXTURE_2D, name); }

// A 2 x 2 RGB byte texture, one solid colour.
void FillRgb(Texture2D& t, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Texture2DResize(t, 3, 1, 1);
  auto* p = static_cast<std::uint8_t*>(TextureData(t));
  for (int i = 0; i < 12; i += 3) p[i] = r, p[i + 1] = g, p[i + 2] = b;
}

TEST_F(GfxGlTest, BindUploadsOnceUntilSomethingChanges) {
  Texture2D t;
  FillRgb(t, 10, 20, 30);
  Texture2DBind(t, kModePlain, 0);
  const GLint name = static_cast<GLint>(TextureNameTable[t.state.slot]);
  EXPECT_EQ(Bound2D(), name);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 10);

  static_cast<std::uint8_t*>(TextureData(t))[0] = 99;  // not marked dirty: no upload
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(Bound2D(), name);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 10);

  Texture2DSetWrap(t, kWrapRepeatT);  // a change of wrap uploads again
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 99);
  EXPECT_EQ(Parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(Parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
}

TEST_F(GfxGlTest, FilterModeChoosesSamplingAndMipChain) {
  const struct {
    std::uint32_t filter;
    GLint min, mag, level1Width;
  } cases[] = {{kFilterNearest, GL_NEAREST, GL_NEAREST, 0},
               {kFilterTrilinear, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 1},
               {1, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 1},
               {kFilterBilinear, GL_LINEAR, GL_LINEAR, 0}};
  for (const auto& c : cases) {
    Texture2D t;
    FillRgb(t, 1, 2, 3);
    Texture2DSetFilter(t, c.filter);
    Texture2DBind(t, kModePlain, 0);
    EXPECT_EQ(Parameter(GL_TEXTURE_MIN_FILTER), c.min) << c.filter;
    EXPECT_EQ(Parameter(GL_TEXTURE_MAG_FILTER), c.mag) << c.filter;
    EXPECT_EQ(Level(1, GL_TEXTURE_WIDTH), c.level1Width) << c.filter;
  }
}

TEST_F(GfxGlTest, ModeFiveLeavesTheEnvironmentAlone) {
  Texture2D t;
  FillRgb(t, 200, 100, 50);
  Texture2DBind(t, kModeCompressed, 0);
  EXPECT_EQ(EnvMode(), GL_MODULATE);

  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2DBind(t, kModeKeepEnvironment, 0);  // current and clean: only binds
  EXPECT_EQ(Bound2D(), static_cast<GLint>(TextureNameTable[t.state.slot]));
  EXPECT_EQ(EnvMode(), GL_REPLACE);

  // Dirty: uploads with the mode it was last uploaded with: the compressed mode's GL_RGB8 on
  // llvmpipe (a software rasterizer); the plain mode would ask for 3 components.
  Texture2DSetFilter(t, kFilterNearest);
  Texture2DBind(t, kModeKeepEnvironment, 0);
  EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8);
  EXPECT_EQ(EnvMode(), GL_REPLACE);
}

TEST_F(GfxGlTest, TexturesWithoutSlotOrNotValidAreNotBound) {
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2D none;
  Texture2DBind(none, kModePlain, 0);
  Texture2D invalid;
  FillRgb(invalid, 1, 1, 1);
  invalid.state.valid = 0;
  Texture2DBind(invalid, kModePlain, 0);
  EXPECT_EQ(Bound2D(), 0);
  EXPECT_EQ(invalid.state.dirty, 1u);
}

TEST_F(GfxGlTest, FloatTexturesAreClampedAndDrawn) {
  FloatTexture2D t;
  FloatTexture2DRealloc(t, 4, 1, 0);
  float* p = static_cast<float*>(TextureData(t));
  const float texels[8] = {-0.5f, 1.5f, 0.5f, 1.0f, 0.25f, 0.0f, 2.0f, 1.0f};
  std::memcpy(p, texels, sizeof texels);
  Texture2DSetFilter(t, kFilterNearest);
  FloatTexture2DBind(t, kModePlain, 0);
  EXPECT_EQ(p[0] + p[1] + p[6], 2.0f);  // clamped in place
  EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), 4);
  DrawTexturedQuad();
  ExpectPixel(ReadPixel(16, 32), {0, 255, 128, 255}, 1, "left");
  ExpectPixel(ReadPixel(48, 32), {64, 0, 255, 255}, 1, "right");
}

TEST_F(GfxGlTest, CubeFacesAreDrawnByDirection) {
  TextureCube cube;
  TextureCubeResize(cube, 3, 1);
  for (int f = 0; f < 6; ++f) {
    float* p = static_cast<float*>(cube.faces[f].data);
    for (int i = 0; i < 4 * 3; ++i) p[i] = (i % 3 == 0) ? f / 5.0f : 0.0f;
  }
  TextureCubeSetFilter(cube, kFilterTrilinear);
  TextureCubeBind(cube, kModePlain, 0);
  EXPECT_EQ(GlInteger(GL_TEXTURE_BINDING_CUBE_MAP_ARB),
            static_cast<GLint>(TextureNameTable[cube.state.slot]));
  EXPECT_EQ(LevelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 1, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(TextureMemory.texels, 6u * 4);

  const float directions[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0},
                                  {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  for (int f = 0; f < 6; ++f) {
    glClear(GL_COLOR_BUFFER_BIT);
    glTexCoord3fv(directions[f]);
    glRectf(-1, -1, 1, 1);
    EXPECT_NEAR(ReadPixel(32, 32).r, f * 51, 1) << f;
  }
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);

  TextureCubeSetLod(cube, 1.0f);  // this driver has texture LOD
  TextureCubeBind(cube, kModeKeepEnvironment, 0);
  GLfloat maxLod = 0;
  glGetTexParameterfv(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAX_LOD, &maxLod);
  EXPECT_EQ(maxLod, 1.0f);
}

TEST_F(GfxGlTest, AFreedSlotServesATextureOfAnotherTarget) {
  Texture2D flat;
  FillRgb(flat, 1, 2, 3);
  Texture2DBind(flat, kModePlain, 0);
  const std::uint32_t slot = flat.state.slot;
  const GLuint oldName = TextureNameTable[slot];
  TextureFree(flat);
  EXPECT_FALSE(glIsTexture(oldName));  // its image went back with it

  TextureCube cube;
  TextureCubeResize(cube, 3, 0);
  ASSERT_EQ(cube.state.slot, slot);
  TextureCubeBind(cube, kModePlain, 0);
  EXPECT_EQ(GlInteger(GL_TEXTURE_BINDING_CUBE_MAP_ARB),
            static_cast<GLint>(TextureNameTable[slot]));
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
}

TEST_F(GfxGlTest, CountersFollowUploadsResizesAndFrees) {
  TextureMemoryReset();
  Texture2D t;
  FillRgb(t, 1, 1, 1);
  Texture2DSetFilter(t, 1);
  Texture2DBind(t, kModeCompressed, 0);
  EXPECT_EQ(TextureMemory.texels, 4u);
  EXPECT_EQ(TextureMemory.bytes, 2u);  // half a byte a texel, no quarter left
  Texture2DSetWrap(t, kWrapRepeatS);
  Texture2DBind(t, kModeCompressed, 0);  // uploads again, counted once
  EXPECT_EQ(TextureMemory.texels, 4u);

  Texture2DResize(t, 4, 4, 4);  // subtracts the old 2 x 2, not the new size
  EXPECT_EQ(TextureMemory.texels + TextureMemory.bytes, 0u);
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(TextureMemory.bytes, 1024u);
  TextureFree(t);
  EXPECT_EQ(TextureMemory.texels + TextureMemory.bytes, 0u);
}

TEST_F(GfxGlTest, RenewalRegeneratesNamesAndEveryTextureUploadsAgain) {
  const std::uint32_t stamp = ContextStamp;
  Texture2D a;
  FillRgb(a, 255, 0, 0);
  Texture2DSetFilter(a, kFilterNearest);
  Texture2DBind(a, kModePlain, 0);
  const GLuint oldName = TextureNameTable[a.state.slot];
  EXPECT_TRUE(glIsTexture(oldName));
  Texture2D gone;
  FillRgb(gone, 1, 2, 3);
  Texture2DBind(gone, kModePlain, 0);

  RenewTextureNames();
  TextureFree(gone);  // counted before the counters were cleared: subtracts nothing
  EXPECT_EQ(ContextStamp, stamp + 1);
  EXPECT_EQ(NextFreshName + TextureNamePool.freed.count + TextureMemory.texels, 0u);
  EXPECT_EQ(TextureNameTableCount, kTextureNameCount);
  EXPECT_FALSE(glIsTexture(oldName));

  // b takes the fresh slot 0, which a still holds from before: a must not share it.
  Texture2D b;
  FillRgb(b, 0, 0, 255);
  Texture2DSetFilter(b, kFilterNearest);
  EXPECT_EQ(b.state.slot, 0u);
  Texture2DBind(b, kModePlain, 0);
  Texture2DBind(a, kModePlain, 0);
  EXPECT_NE(a.state.slot, b.state.slot);
  EXPECT_EQ(TextureMemory.texels, 8u);  // a, counted before the renewal, is counted again

  Texture2DBind(a, kModePlain, 0);
  DrawTexturedQuad();
  ExpectPixel(ReadPixel(32, 32), {255, 0, 0, 255}, 0, "a");
  Texture2DBind(b, kModePlain, 0);
  DrawTexturedQuad();
  ExpectPixel(ReadPixel(32, 32), {0, 0, 255, 255}, 0, "b");
}

}  // namespace
}  // namespace veskor
