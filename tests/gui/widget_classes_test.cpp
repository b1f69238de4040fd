// The widget classes without GL: callbacks, texel hit tests, text view scrolling, and the
// messages of missing or broken interface pictures.
#include <gtest/gtest.h>

#include <string>

#include "gfx/png_texture.h"
#include "gfx/texture_names.h"
#include "gui/clip_panel.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"
#include "gui/text_view.h"
#include "gui_probe.h"
#include "interface_files.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using namespace test;
using WidgetClassTest = GuiTest;

std::string gCalls;
void Hovered() { gCalls += "h"; }
void Left() { gCalls += "l"; }
void Pressed() { gCalls += "p"; }
void Released() { gCalls += "r"; }

TEST_F(WidgetClassTest, ButtonCallbacksFollowTheButtonsWordUnlessMuted) {
  GuiImageButton b;
  b.onHover = Hovered, b.onLeave = Left, b.onPress = Pressed, b.onRelease = Released;
  const struct {
    char event;  // b button, o over, l leave, d drag
    std::uint32_t buttons, flags, muted;
    const char* calls;
    std::uint32_t hovered;
  } steps[] = {
      {'b', kButtonLeft, 0, 0, "p", 1},
      {'b', kButtonRight, 0, 0, "", 1},
      {'b', kButtonLeft | kButtonMiddle, 0, 0, "", 1},
      {'b', kButtonLeft, kModifierShift | kModifierControl, 0, "p", 1},
      {'b', 0, 0, 0, "r", 1},
      {'o', 0, 0, 0, "h", 1},
      {'o', 0, 0, 0, "h", 1},  // every frame it rests there
      {'l', 0, 0, 0, "l", 0},
      {'d', kButtonLeft, 0, 0, "", 1},
      {'l', 0, 0, 1, "", 0},
      {'o', 0, 0, 1, "", 1},
      {'b', kButtonLeft, 0, 1, "", 1},
      {'b', 0, 0, 1, "", 1},
  };
  for (const auto& s : steps) {
    gCalls.clear();
    b.muted = s.muted;
    if (s.event == 'b') b.OnMouseButton(s.buttons, s.flags, 0, 0, 0);
    if (s.event == 'o') b.OnMouseOver(0, 0, 0, 0, 0, 0);
    if (s.event == 'l') b.OnMouseLeave(0, 0, 0, 0, 0, 0);
    if (s.event == 'd') b.OnMouseDrag(s.buttons, 0, 0.9f, 0.9f, 0, 0, 1);
    EXPECT_EQ(gCalls, s.calls) << s.event << s.buttons << " muted " << s.muted;
    EXPECT_EQ(b.hovered, s.hovered) << s.event << s.buttons;
  }
  EXPECT_EQ(GetLeftEdge(b).offset, 0.0f);  // a drag never moves it
}

TEST_F(WidgetClassTest, PanelPressesCallBackForTheLeftButtonOnly) {
  GuiImagePanel panel;
  GuiClipPanel clip;
  panel.onPress = Pressed;
  clip.onPress = Hovered;  // the image panel's callback is not the clip panel's
  clip.onLeftPress = Left;
  const struct {
    std::uint32_t buttons;
    const char *panel, *clip;
  } cases[] = {{kButtonLeft, "p", "l"},
               {0, "", ""},
               {kButtonRight, "", ""},
               {kButtonLeft | kButtonMiddle, "", "l"},
               {kButtonMiddle, "", ""}};
  for (const auto& c : cases) {
    gCalls.clear();
    panel.popupVisible = clip.popupVisible = 1;
    panel.OnMouseButton(c.buttons, 0, 0, 0, 0);
    EXPECT_EQ(gCalls, c.panel) << c.buttons;
    EXPECT_EQ(panel.popupVisible, 0u);
    gCalls.clear();
    clip.OnMouseButton(c.buttons, 0, 0, 0, 0);
    EXPECT_EQ(gCalls, c.clip) << c.buttons;
    EXPECT_EQ(clip.popupVisible, 1u);
  }
}

// A 4 x 4 normal image of alpha 4, the threshold, but for texel (1, 1) (alpha 5) and the right
// column (255).
struct AlphaImage {
  AlphaImage() {
    Texture2DResizeWH(image, 4, 2, 2);
    for (std::uint32_t i = 0; i < 16; ++i) Alpha(i % 4, i / 4) = i % 4 == 3 ? 255 : i == 5 ? 5 : 4;
  }
  std::uint8_t& Alpha(std::uint32_t x, std::uint32_t y) { return TexelAddress(image, x, y)[3]; }
  Texture2D image;
};

TEST_F(WidgetClassTest, ButtonsAnswerOnlyWhereTheNormalImageIsOpaque) {
  AlphaImage art;
  GuiPlane root;
  MakeRoot(root);
  GuiImageButton owner, button;
  owner.hoverImage = owner.normalImage = &art.image;
  // Shared images: as large as the image, 4 x 4 pixels from (100, 50).
  PlaceButton(button, &root, {0, 0, 100, 0}, {0, 0, 50, 0}, owner, {});
  EXPECT_EQ(button.style, 24u);
  EXPECT_EQ(button.root, &root);
  AddChildPlane(root, button);
  const struct {
    float px, py;  // window pixels
    std::uint32_t hit;
  } cases[] = {
      {100.0f, 50.0f, 0},  // texel (0, 0): alpha 4
      {101.4f, 51.4f, 1},  // texel (1, 1): alpha 5
      {102.4f, 51.4f, 0},  // texel (2, 1): alpha 4
      {104.0f, 50.0f, 1},  // on the right edge: the last column, not the first
      {104.0f, 54.0f, 1},  // the bottom-right corner
      {104.1f, 52.0f, 0},  // outside
      {99.9f, 52.0f, 0},
  };
  float lx, ly;
  for (const auto& c : cases)
    EXPECT_EQ(button.ToLocal(c.px / 1024, c.py / 512, &lx, &ly), c.hit) << c.px << "," << c.py;

  // A parent that clips the button to its right half: the texel under the point still decides.
  GuiImagePanel half;
  ConfigurePanel(half, &root, {0, 0, 102, 0}, {}, {1, 0, 0, 0}, {1, 0, 0, 0}, nullptr, 1, 1);
  GuiImageButton clipped;
  PlaceButton(clipped, &root, {0, 0, -2, 0}, {0, 0, 50, 0}, owner, {});
  AddChildPlane(root, half);
  AddChildPlane(half, clipped);
  EXPECT_EQ(clipped.ToLocal(102.4f / 1024, 51.4f / 512, &lx, &ly), 0u);  // texel (2, 1)
  EXPECT_EQ(clipped.ToLocal(103.4f / 1024, 51.4f / 512, &lx, &ly), 1u);  // texel (3, 1)
  EXPECT_EQ(clipped.ToLocal(101.4f / 1024, 51.4f / 512, &lx, &ly), 0u);  // clipped away

  // Sharing buttons neither renew nor release the owner's images.
  art.image.state.stamp = ContextStamp + 1;
  art.image.state.dirty = 0;
  RestoreButtonTextures(button);
  EXPECT_EQ(art.image.state.dirty, 0u);
  GuiImageButton bare;  // without images: drawn as nothing, never hit
  Place(bare, 0, 0, 1, 1);
  AddChildPlane(root, bare);
  EXPECT_EQ(bare.ToLocal(0.5f, 0.5f, &lx, &ly), 0u);
}

TEST_F(WidgetClassTest, TextViewsShowAScrolledWindowOfTheirText) {
  GuiPlane root;
  MakeRoot(root);
  GuiTextView v;
  Texture2DResizeWH(v.textTexture, 1, 9, 7);  // 512 x 128 texels
  ConfigureWidget(v, 0, {0, 0, 10, 0}, {0, 0, 20, 0}, {0, 0, 310, 0}, {0, 0, 120, 0});
  v.inset = 5;  // ignored by the view
  AddChildPlane(root, v);
  const float s1 = 300.0f / 512, t1 = 100.0f / 128;
  const struct {
    float contentWidth, contentHeight, scrollX, scrollY;
    float wantScrollX, wantScrollY, s0, t0;
  } cases[] = {
      {0.5f, 0.5f, 0, 0, 0, 0, 0, 0},
      {0.5f, 0.9f, 3, 100, 3, 0.9f - t1, 0, 0.9f - t1},  // the last lines of the log
      {0.9f, 0.9f, -1, -1, 0, 0, 0, 0},
      {0.9f, 0.9f, 0.001f, 0.001f, 0.001f, 0.001f, 0.001f, 0.001f},
      {s1 - 1e-4f, t1 - 1e-4f, 2, 2, 2, 2, 0, 0},  // the text fits: kept but not applied
      {s1 + 1e-3f, t1 + 1e-3f, 2, 2, 1e-3f, 1e-3f, 1e-3f, 1e-3f},
  };
  for (const auto& c : cases) {
    v.contentWidth = c.contentWidth, v.contentHeight = c.contentHeight;
    v.scrollX = c.scrollX, v.scrollY = c.scrollY;
    const TextViewWindow w = TextViewLayout(v);
    EXPECT_NEAR(v.scrollX, c.wantScrollX, 1e-6);
    EXPECT_NEAR(v.scrollY, c.wantScrollY, 1e-6);
    EXPECT_NEAR(w.s0, c.s0, 1e-6);
    EXPECT_NEAR(w.t0, c.t0, 1e-6);
    EXPECT_NEAR(w.s1 - w.s0, s1, 1e-6);
    EXPECT_NEAR(w.t1 - w.t0, t1, 1e-6);
    EXPECT_FLOAT_EQ(w.view.left * 1024, 10);
    EXPECT_FLOAT_EQ(w.visible.bottom * 512, 120);
  }
  // A view larger than its texture shows the texture's size of text.
  SetRightEdge(v, {0, 0, 700, 0});
  SetBottomEdge(v, {0, 0, 300, 0});
  v.contentWidth = v.contentHeight = 0;
  const TextViewWindow w = TextViewLayout(v);
  EXPECT_FLOAT_EQ(w.visible.right * 1024, 522);
  EXPECT_FLOAT_EQ(w.visible.bottom * 512, 148);
  EXPECT_FLOAT_EQ(w.view.right * 1024, 700);
  EXPECT_FLOAT_EQ(w.s1, 1.0f);

  // Dragging moves the offsets by twice the pointer's way back; releases set the pointer too.
  v.scrollX = v.scrollY = 0;
  v.OnMouseButton(kButtonLeft, 0, 0.5f, 0.5f, 0);
  v.OnMouseDrag(kButtonLeft, 0, 0.25f, 0.625f, 0, 0, 0);
  EXPECT_FLOAT_EQ(v.scrollX, 0.5f);
  EXPECT_FLOAT_EQ(v.scrollY, -0.25f);
  v.OnMouseButton(0, 0, 0.125f, 0.125f, 0);
  v.OnMouseDrag(kButtonLeft, 0, 0.125f, 0.25f, 0, 0, 0);
  EXPECT_FLOAT_EQ(v.scrollX, 0.5f);
  EXPECT_FLOAT_EQ(v.scrollY, -0.5f);
}

// The record of the "Error" box showing `text`, in which '@' stands for the test's directory:
// death tests run in a fresh process, which writes the files into a directory of its own.
std::string Record(const std::string& text) {
  std::string re = FatalRecordRegex(text);
  for (std::size_t at; (at = re.find('@')) != std::string::npos;) re.replace(at, 1, "[^ ,]*/");
  return re;
}
#define EXPECT_ENDS_WITH(statement, text) \
  EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), Record(text))

TEST(InterfaceImages, MissingAndBrokenPicturesEndWithTheirNames) {
  InterfaceFiles files;
  files.Colour("c.png", 4, 4, 1, 2, 3);
  files.Colour("wide.png", 5, 4, 1, 2, 3);
  files.Mask("m.png", 4, 4, [](std::uint32_t, std::uint32_t, std::uint32_t) { return 0; });
  files.dir.Write("bad.png", "not a picture");
  const std::string searched = "@, @none/, @none/Img/, @none/Snd/, @none/, @none/";
  GuiImagePanel panel;
  GuiImageButton button;
  EXPECT_ENDS_WITH(LoadPanelImageWithMask(panel, nullptr, {}, {}, "c.png", "gone.png"),
                   "Cannot find file \"gone.png\" in the search directories: " + searched);
  EXPECT_ENDS_WITH(LoadPanelImage(panel, nullptr, {}, {}, "lost.png"),
                   "Cannot find file \"lost.png\" in the search directories: " + searched);
  EXPECT_ENDS_WITH(LoadPanelImageWithMask(panel, nullptr, {}, {}, "wide.png", "m.png"),
                   "Cannot find file : @wide.png with mask @m.png");
  EXPECT_ENDS_WITH(LoadPanelImageAlt(panel, nullptr, {}, {}, {}, {}, "bad.png"),
                   "Cannot find file : @bad.png");
  EXPECT_ENDS_WITH(
      SetButtonImages(button, nullptr, {}, {}, "bad.png", "m.png", "c.png", "m.png", {}),
      "Cannot found file : @bad.png with mask @m.png");
  ExtraSearchDirsAdd("/world/");
  ExtraSearchDirsAdd("/included/");  // the newest first
  EXPECT_ENDS_WITH(
      SetButtonImages(button, nullptr, {}, {}, "x.png", "m.png", "c.png", "m.png", {}),
      "Cannot find file \"x.png\" in the search directories: /included/, /world/, " + searched);
  ExtraSearchDirsClear();
}

}  // namespace
}  // namespace veskor
