// The fixture of the graphics-core GL tests: the shared context, with the capabilities of
// this driver loaded afresh for every test and the texture names made, and helpers that
// draw and read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor::test {

class GfxGlTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    glDisable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
};

// Draws the bound 2-D textures of the first `units` texture units over the whole window,
// texture coordinates 0 to 1, so texel row 0 is at the bottom.
inline void DrawTexturedQuad(int units = 1) {
  for (int u = units; u-- > 0;) glActiveTexture(GL_TEXTURE0 + u), glEnable(GL_TEXTURE_2D);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (const auto& c : corners) {
    for (int u = 0; u < units; ++u) glMultiTexCoord2f(GL_TEXTURE0 + u, c[0], c[1]);
    glVertex2f(2 * c[0] - 1, 2 * c[1] - 1);
  }
  glEnd();
  for (int u = units; u-- > 0;) glActiveTexture(GL_TEXTURE0 + u), glDisable(GL_TEXTURE_2D);
}

inline void ExpectPixel(const Rgba& p, const Rgba& want, int tolerance, const std::string& what) {
  EXPECT_NEAR(p.r, want.r, tolerance) << what;
  EXPECT_NEAR(p.g, want.g, tolerance) << what;
  EXPECT_NEAR(p.b, want.b, tolerance) << what;
  EXPECT_NEAR(p.a, want.a, tolerance) << what;
}

inline GLint LevelParameter(GLenum target, GLint level, GLenum name) {
  GLint value = -1;
  glGetTexLevelParameteriv(target, level, name, &value);
  return value;
}

inline GLint TextureParameter(GLenum target, GLenum name) {
  GLint value = -1;
  glGetTexParameteriv(target, name, &value);
  return value;
}

using Ints = std::vector<GLint>;

// The GL viewport: x, y, width, height.
inline Ints Viewport() {
  Ints v(4);
  glGetIntegerv(GL_VIEWPORT, v.data());
  return v;
}

inline GLint GlInteger(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

// The texels of one level of the bound 2-D texture, as unsigned bytes.
inline std::vector<std::uint8_t> LevelBytes(GLint level, GLenum format, int components) {
  const GLint w = LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH);
  const GLint h = LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(w * h * components));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, bytes.data());
  return bytes;
}

}  // namespace veskor::test
