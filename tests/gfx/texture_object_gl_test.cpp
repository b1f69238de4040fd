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

using test::BoundTexture2D;
using test::DrawTexturedQuad;
using test::GfxGlTest;
using test::LevelBytes;
using test::LevelParameter;
using test::ReadPixel;
using test::TextureParameter;

GLint EnvMode() {
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  return mode;
}

// A 2 x 2 RGB byte texture, one solid colour.
void FillRgb(Texture2D& t, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Texture2DResize(t, 3, 1, 1);
  auto* p = static_cast<std::uint8_t*>(TextureData(t));
  for (int i = 0; i < 4; ++i) {
    p[3 * i] = r;
    p[3 * i + 1] = g;
    p[3 * i + 2] = b;
  }
}

TEST_F(GfxGlTest, BindUploadsOnceUntilSomethingChanges) {
  Texture2D t;
  FillRgb(t, 10, 20, 30);
  Texture2DBind(t, kModePlain, 0);
  const GLint name = static_cast<GLint>(TextureNameTable[t.state.slot]);
  EXPECT_EQ(BoundTexture2D(), name);
  EXPECT_EQ(t.state.dirty, 0u);
  EXPECT_EQ(t.state.stamp, ContextStamp);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 10);

  static_cast<std::uint8_t*>(TextureData(t))[0] = 99;  // not marked dirty: no upload
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(BoundTexture2D(), name);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 10);

  Texture2DSetWrap(t, kWrapRepeatT);  // a change of wrap uploads again
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(LevelBytes(0, GL_RGB, 3)[0], 99);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
}

TEST_F(GfxGlTest, FilterModeChoosesSamplingAndMipChain) {
  Texture2D t;
  FillRgb(t, 1, 2, 3);
  Texture2DSetFilter(t, kFilterNearest);
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0);

  Texture2D u;
  FillRgb(u, 1, 2, 3);
  Texture2DSetFilter(u, 3);
  Texture2DBind(u, kModePlain, 0);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 1);

  Texture2DSetFilter(u, kFilterBilinear);
  Texture2DBind(u, kModePlain, 0);
  EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
}

TEST_F(GfxGlTest, ModeFiveLeavesTheEnvironmentAlone) {
  Texture2D t;
  FillRgb(t, 200, 100, 50);
  Texture2DBind(t, kModeCompressed, 0);
  EXPECT_EQ(EnvMode(), GL_MODULATE);

  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2DBind(t, kModeKeepEnvironment, 0);  // current and clean: only binds
  EXPECT_EQ(BoundTexture2D(), static_cast<GLint>(TextureNameTable[t.state.slot]));
  EXPECT_EQ(EnvMode(), GL_REPLACE);

  // Dirty: uploads with the mode it was last uploaded with.
  Texture2DSetFilter(t, kFilterNearest);
  Texture2DBind(t, kModeKeepEnvironment, 0);
  EXPECT_EQ(t.state.mode, kModeCompressed);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT),
            GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
  EXPECT_EQ(EnvMode(), GL_REPLACE);
}

TEST_F(GfxGlTest, TexturesWithoutSlotOrNotValidAreNotBound) {
  glBindTexture(GL_TEXTURE_2D, 0);
  Texture2D none;
  Texture2DBind(none, kModePlain, 0);
  EXPECT_EQ(BoundTexture2D(), 0);
  Texture2D invalid;
  FillRgb(invalid, 1, 1, 1);
  invalid.state.valid = 0;
  Texture2DBind(invalid, kModePlain, 0);
  EXPECT_EQ(BoundTexture2D(), 0);
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
  EXPECT_EQ(p[0], 0.0f);
  EXPECT_EQ(p[1], 1.0f);
  EXPECT_EQ(p[6], 1.0f);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), 4);
  DrawTexturedQuad();
  const test::Rgba left = ReadPixel(16, 32);
  const test::Rgba right = ReadPixel(48, 32);
  EXPECT_EQ(left.r, 0);
  EXPECT_EQ(left.g, 255);
  EXPECT_NEAR(left.b, 128, 1);
  EXPECT_NEAR(right.r, 64, 1);
  EXPECT_EQ(right.b, 255);
}

// Draws the bound textures of units 0 and 1 over the whole window.
void DrawTwoUnitQuad() {
  glActiveTexture(GL_TEXTURE1);
  glEnable(GL_TEXTURE_2D);
  glActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    glMultiTexCoord2f(GL_TEXTURE0, c[0], c[1]);
    glMultiTexCoord2f(GL_TEXTURE1, c[0], c[1]);
    glVertex2f(2 * c[0] - 1, 2 * c[1] - 1);
  }
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glActiveTexture(GL_TEXTURE1);
  glDisable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glActiveTexture(GL_TEXTURE0);
}

// An 8 x 8 RGB image of four solid 4 x 4 blocks (whole compression blocks), bottom-left,
// bottom-right, top-left, top-right in the window.
const std::uint8_t kBlockColours[4][3] = {
    {200, 40, 60}, {30, 180, 90}, {90, 100, 220}, {250, 230, 200}};
template <class Texel>
void FillBlocks(Texel* texels, Texel scale) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int k = 0; k < 3; ++k)
        texels[(y * 8 + x) * 3 + k] = kBlockColours[(y / 4) * 2 + x / 4][k] / scale;
}

// Each split mode, on each combiner the board may have, draws the image back: modes 2 and 3
// with combine4 or combine3 in one unit (mode 3 adds its base colour in a second), mode 2
// without combiners with the subtract recipe, mode 3 without them in two units.
TEST_F(GfxGlTest, SplitModesDrawTheImageBack) {
  struct Case {
    std::uint32_t mode;
    std::uint32_t combiners;
    bool twoUnits;
  };
  const Case cases[] = {
      {kModeSplit, 0, false},
      {kModeSplit, kExtTextureEnvCombine4, false},
      {kModeSplit, kExtTextureEnvCombine3, false},
      {kModeSplitOnBasis, kExtTextureEnvCombine4, true},
      {kModeSplitOnBasis, kExtTextureEnvCombine3, true},
      {kModeSplitOnBasis, 0, true},
  };
  const std::uint32_t mask =
      ExtensionMask & ~(kExtTextureEnvCombine4 | kExtTextureEnvCombine3 | kExtRegisterCombiners2);
  for (const Case& c : cases) {
    ExtensionMask = mask | c.combiners;
    for (const bool floats : {false, true}) {
      Texture2D bytes;
      FloatTexture2D reals;
      TextureObject2D& t = floats ? static_cast<TextureObject2D&>(reals) : bytes;
      if (floats) {
        FloatTexture2DRealloc(reals, 3, 3, 3);
        FillBlocks(static_cast<float*>(TextureData(reals)), 255.0f);
      } else {
        Texture2DResize(bytes, 3, 3, 3);
        FillBlocks(static_cast<std::uint8_t*>(TextureData(bytes)), std::uint8_t{1});
      }
      Texture2DSetFilter(t, kFilterTrilinear);
      auto bind = [&](std::int32_t pass) {
        if (floats)
          FloatTexture2DBind(reals, c.mode, pass);
        else
          Texture2DBind(bytes, c.mode, pass);
      };
      bind(0);
      for (GLint level = 0; level <= 3; ++level)
        EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT),
                  GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH), 0);
      glClear(GL_COLOR_BUFFER_BIT);
      if (c.twoUnits) {
        glActiveTexture(GL_TEXTURE1);
        bind(1);
        glActiveTexture(GL_TEXTURE0);
        DrawTwoUnitQuad();
      } else {
        DrawTexturedQuad();
      }
      const int centres[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};
      for (int i = 0; i < 4; ++i) {
        const test::Rgba p = ReadPixel(centres[i][0], centres[i][1]);
        const std::uint8_t drawn[3] = {p.r, p.g, p.b};
        for (int k = 0; k < 3; ++k)
          EXPECT_NEAR(drawn[k], kBlockColours[i][k], 10)
              << "mode " << c.mode << " combiners " << c.combiners << (floats ? " floats" : "")
              << " block " << i << " channel " << k;
      }
      EXPECT_EQ(t.state.accountedBytes, 64u + 16 + 4 + 1) << "one byte a texel, with mips";
    }
  }
  SetTextureCombine(kModePlain, 0, nullptr, nullptr);
}

TEST_F(GfxGlTest, CubeFacesAreDrawnByDirection) {
  TextureCube cube;
  TextureCubeResize(cube, 3, 1);
  for (int f = 0; f < 6; ++f) {
    float* p = static_cast<float*>(cube.faces[f].data);
    for (int i = 0; i < 4 * 3; ++i) p[i] = (i % 3 == 0) ? f / 5.0f : 0.0f;
  }
  TextureCubeSetFilter(cube, 3);
  TextureCubeBind(cube, kModePlain, 0);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP_ARB, &bound);
  EXPECT_EQ(bound, static_cast<GLint>(TextureNameTable[cube.state.slot]));
  EXPECT_EQ(LevelParameter(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, 1, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(TextureMemory.texels, 6u * 4);

  const float directions[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0},
                                  {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  for (int f = 0; f < 6; ++f) {
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glTexCoord3fv(directions[f]);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
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
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP_ARB, &bound);
  EXPECT_EQ(bound, static_cast<GLint>(TextureNameTable[slot]));
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
  EXPECT_EQ(t.state.accountedBytes, 2u);
  Texture2DSetWrap(t, kWrapRepeatS);
  Texture2DBind(t, kModeCompressed, 0);  // uploads again, counted once
  EXPECT_EQ(TextureMemory.texels, 4u);

  Texture2DResize(t, 4, 4, 4);  // subtracts the old 2 x 2, not the new size
  EXPECT_EQ(TextureMemory.texels, 0u);
  EXPECT_EQ(TextureMemory.bytes, 0u);
  Texture2DBind(t, kModePlain, 0);
  EXPECT_EQ(TextureMemory.bytes, 1024u);
  TextureFree(t);
  EXPECT_EQ(TextureMemory.bytes, 0u);
  EXPECT_EQ(TextureMemory.texels, 0u);
}

TEST_F(GfxGlTest, RenewalRegeneratesNamesAndEveryTextureUploadsAgain) {
  const std::uint32_t stamp = ContextStamp;
  Texture2D a;
  FillRgb(a, 255, 0, 0);
  Texture2DSetFilter(a, kFilterNearest);
  Texture2DBind(a, kModePlain, 0);
  const GLuint oldName = TextureNameTable[a.state.slot];
  EXPECT_TRUE(glIsTexture(oldName));

  RenewTextureNames();
  EXPECT_EQ(ContextStamp, stamp + 1);
  EXPECT_EQ(NextFreshName, 0u);
  EXPECT_EQ(TextureNamePool.freed.count, 0u);
  EXPECT_EQ(TextureNameTableCount, kTextureNameCount);
  EXPECT_EQ(TextureMemory.texels, 0u);
  EXPECT_FALSE(glIsTexture(oldName));

  // b takes the fresh slot 0, which a still holds from before: a must not share it.
  Texture2D b;
  FillRgb(b, 0, 0, 255);
  Texture2DSetFilter(b, kFilterNearest);
  EXPECT_EQ(b.state.slot, 0u);
  Texture2DBind(b, kModePlain, 0);
  Texture2DBind(a, kModePlain, 0);
  EXPECT_NE(a.state.slot, b.state.slot);
  EXPECT_EQ(a.state.stamp, ContextStamp);
  EXPECT_EQ(TextureMemory.texels, 8u);  // a, counted before the renewal, is counted again

  Texture2DBind(a, kModePlain, 0);
  DrawTexturedQuad();
  EXPECT_EQ(ReadPixel(32, 32).r, 255);
  Texture2DBind(b, kModePlain, 0);
  DrawTexturedQuad();
  EXPECT_EQ(ReadPixel(32, 32).r, 0);
  EXPECT_EQ(ReadPixel(32, 32).b, 255);
}

}  // namespace
}  // namespace veskor
