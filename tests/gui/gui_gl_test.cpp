#include <gtest/gtest.h>

#include "gfx/texture_object.h"
#include "gui/screen_planes.h"
#include "gui/text_bitmap.h"
#include "gui/widget_drawing.h"
#include "platform/text_raster.h"
#include "widget_gl_test.h"

namespace veskor {
namespace {

using namespace test;

// A widget that fills its snapped rectangle with one colour.
struct Panel : GuiWidget {
  explicit Panel(Rgba c) : colour(c) {}
  void Draw() override {
    const WidgetRect r = WidgetSnappedRect(*this);
    glColor4ub(colour.r, colour.g, colour.b, 255);
    DrawPlainQuad(r);
  }
  Rgba colour;
};

class GuiGlTest : public GuiUnitGlTest {
 protected:
  void SetUp() override {
    GuiUnitGlTest::SetUp();
    LayoutDirty = 1;
    glDisable(GL_DEPTH_TEST);
  }
};

// The pixel under a point given in GUI units (GL counts rows from the bottom).
Rgba At(float x, float y) {
  return ReadPixel(static_cast<int>(x * kSize), kSize - 1 - static_cast<int>(y * kSize));
}

int gAfterPlane = 0;

TEST_F(GuiGlTest, TreeDrawsBackListFrontAndSkipsHiddenPlanes) {
  const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
      white{255, 255, 255, 255};
  GuiPlane root;
  MakeRoot(root);
  Panel front(green), list(red), back(blue), hidden(white), inner(white);
  Place(front, 0.25f, 0.25f, 0.75f, 0.75f, kPlaneFront);
  Place(list, 0, 0, 0.5f, 1);
  Place(back, 0, 0, 1, 1, kPlaneBack);
  Place(hidden, 0.5f, 0.5f, 1, 1);
  Place(inner, 0, 0.875f, 0.25f, 1);  // inside list, from its origin
  for (GuiPlane* p : {static_cast<GuiPlane*>(&front), static_cast<GuiPlane*>(&list),
                      static_cast<GuiPlane*>(&back), static_cast<GuiPlane*>(&hidden)})
    AddChildPlane(root, *p);
  AddChildPlane(list, inner);
  HidePlane(hidden);
  LayOutInterface(root);
  gAfterPlane = 0;
  DrawInterface(root, [] { ++gAfterPlane; });
  EXPECT_EQ(gAfterPlane, 4);
  const struct {
    float x, y;
    Rgba want;
  } cases[] = {{0.1f, 0.1f, red},  {0.9f, 0.1f, blue},  {0.5f, 0.5f, green}, {0.74f, 0.26f, green},
               {0.9f, 0.9f, blue}, {0.1f, 0.9f, white}, {0.3f, 0.9f, red},   {0.76f, 0.5f, blue}};
  for (const auto& c : cases)
    ExpectPixel(At(c.x, c.y), c.want, 0, std::to_string(c.x) + "," + std::to_string(c.y));
  // The matrices are as they were.
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ(m[0], 1.0f);
  EXPECT_EQ(m[12], 0.0f);
}

// Green while pressed, red after; blue is added while the pointer is over it.
struct Toggle : Panel {
  using Panel::Panel;
  void OnMouseButton(std::uint32_t b, std::uint32_t f, float x, float y, std::uint32_t e) override {
    Panel::OnMouseButton(b, f, x, y, e);
    colour = b != 0 ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255};
  }
  void OnMouseOver(std::uint32_t b, std::uint32_t f, float x, float y, float lx,
                   float ly) override {
    Panel::OnMouseOver(b, f, x, y, lx, ly);
    colour.b = 255;
  }
};

TEST_F(GuiGlTest, FramesDrawFirstAndRouteInputAfterwards) {
  GuiPlane root;
  MakeRoot(root);
  Toggle toggle({255, 0, 0, 255});
  Place(toggle, 0.25f, 0.25f, 0.75f, 0.75f);
  AddChildPlane(root, toggle);
  const std::uint32_t keys[256] = {};
  // One frame as the main loop runs it; returns the centre pixel it drew.
  auto frame = [&](std::uint32_t event, std::uint32_t buttons, std::uint32_t held, float x) {
    LayOutInterface(root);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawInterface(root);
    const Rgba drawn = At(0.5f, 0.5f);
    DispatchInterfaceKeys(root, 0, keys);
    DispatchInterfaceMouse(root, event, buttons, held, 0, x, 0.5f, 0);
    return drawn;
  };
  const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, magenta{255, 0, 255, 255};
  ExpectPixel(frame(0, 0, 0, 0.9f), red, 0, "idle");
  ExpectPixel(frame(1, kButtonLeft, kButtonLeft, 0.5f), red, 0, "the press frame");
  ExpectPixel(frame(0, 0, kButtonLeft, 0.5f), green, 0, "held: captured, no hover");
  ExpectPixel(frame(1, 0, 0, 0.5f), green, 0, "the release frame");
  ExpectPixel(frame(0, 0, 0, 0.5f), magenta, 0, "released, hovered in the release frame");
  EXPECT_EQ(MouseCapture, nullptr);
}

struct MultisampleProbe : GuiPlane {
  void Draw() override { during = glIsEnabled(GL_MULTISAMPLE); }
  GLboolean during = 2;
};

TEST_F(GuiGlTest, ScreenPlanesLeaveMultisamplingAsTheyFoundIt) {
  for (const bool before : {true, false}) {
    for (const std::uint32_t mode : {1u, 0u}) {
      MultisampleProbe shown, hidden;
      hidden.hidden = 1;
      ClearScreenPlanes();
      AddScreenPlane(hidden);
      AddScreenPlane(shown);
      before ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE);
      MultiSampleMode = mode;
      DrawScreenPlanes();
      EXPECT_EQ(shown.during, (before && mode == 0) ? GL_TRUE : GL_FALSE);
      EXPECT_EQ(hidden.during, 2);
      EXPECT_EQ(glIsEnabled(GL_MULTISAMPLE), before ? GL_TRUE : GL_FALSE);
    }
  }
  MultiSampleMode = 0;
  ClearScreenPlanes();
}

// The texture drawn over the window, one texel a pixel, texel row 0 at the top.
void DrawTextTexture(Texture2D& texture) {
  glClear(GL_COLOR_BUFFER_BIT);
  Texture2DBind(texture, kModePlain, 0);
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const auto& c : corners) {
    glTexCoord2f(c[0], c[1]);
    glVertex2f(2 * c[0] - 1, 1 - 2 * c[1]);
  }
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

TEST_F(GuiGlTest, TextBitmapsReachTheScreenThroughTheirTexture) {
  Texture2D texture;
  Texture2DResize(texture, 1, 6, 6);
  Texture2DSetFilter(texture, kFilterNearest);
  TextBitmap b;
  ASSERT_EQ(CreateTextBitmap(b, &texture), 1u);
  SetTextFont(b, "times new roman");
  SetTextSize(b, 24);
  DrawMarkupTextAt(b, 2, 2, "W\\ng");
  FillTextRect(b, 50, 50, 60, 60);
  UploadBitmapTexture(b);
  DrawTextTexture(texture);
  int ink = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const std::uint8_t want = TextSurfacePixel(b.surface, x, y);
      ink += want == 255;
      ASSERT_NEAR(ReadPixel(x, kSize - 1 - y).r, want, 1) << x << "," << y;
    }
  EXPECT_GT(ink, 121);

  // Clearing with erase puts the background into the texture before the surface goes.
  ClearTextBitmap(b, 1);
  EXPECT_EQ(b.surface, nullptr);
  DrawTextTexture(texture);
  for (const auto& p : {std::pair{55, 55}, std::pair{10, 10}})
    EXPECT_EQ(ReadPixel(p.first, kSize - 1 - p.second).r, 0);
}

}  // namespace
}  // namespace veskor
