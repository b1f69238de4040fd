// The fixtures of the interface's GL tests: the 64 x 64 test window with one GUI pixel a
// window pixel; for the widget classes also a root plane, a directory of interface pictures,
// and pixel helpers (rows counted from the top).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gfx/gfx_gl_test.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "gui/interface_frame.h"
#include "gui_probe.h"
#include "interface_files.h"

namespace veskor::test {

constexpr int kSize = kGlTestWindowSize;

class GuiUnitGlTest : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    PixelSize = {1.0f / kSize, 1.0f / kSize};
    DesignScale = {1.0f, 1.0f};
    ViewAspect = {1.0f, 1.0f};
  }
};

class WidgetGlTest : public GuiUnitGlTest {
 protected:
  void SetUp() override {
    GuiUnitGlTest::SetUp();
    MakeRoot(root);
  }
  void TearDown() override {
    for (GLenum unit = 3; unit >= 1; --unit)
      glActiveTexture(GL_TEXTURE0 + unit), glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, kSize, kSize);
    GuiUnitGlTest::TearDown();
  }
  // Clears to `clear` and draws the tree.
  // Units 1 to 3 are left textured black: widgets draw on unit 0 alone.
  void DrawTree(Rgba clear = {0, 0, 0, 0}) {
    if (black.pixels.data == nullptr) Texture2DResize(black, 3, 0, 0);
    for (GLenum unit = 1; unit <= 3; ++unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glEnable(GL_TEXTURE_2D);
      Texture2DBind(black, kModePlain, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glClearColor(clear.r / 255.0f, clear.g / 255.0f, clear.b / 255.0f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    LayoutDirty = 1;
    LayOutInterface(root);
    DrawInterface(root);
  }
  GuiPlane root;
  InterfaceFiles files;
  Texture2D black;
};

// The pixel at (x, y) window pixels from the top-left.
inline Rgba Px(int x, int y) { return ReadPixel(x, kSize - 1 - y); }

// GL names the texture objects hold.
inline std::uint32_t SlotsInUse() { return NextFreshName - TextureNamePool.freed.count; }

inline WidgetEdge Pixels(float p) { return {0, 0, p, 0}; }

inline const Rgba kBlack{0, 0, 0, 255}, kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255},
    kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

inline void Expect(const Rgba& got, const Rgba& want, const std::string& what, int tolerance = 1) {
  EXPECT_NEAR(got.r, want.r, tolerance) << what;
  EXPECT_NEAR(got.g, want.g, tolerance) << what;
  EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

}  // namespace veskor::test
