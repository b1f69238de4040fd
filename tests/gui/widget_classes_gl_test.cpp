// The widget classes drawn: pictures loaded from files the tests write, read back pixel by
// pixel in the 64 x 64 test window (one GUI pixel a window pixel, rows counted from the top).
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gfx/gfx_gl_test.h"
#include "gfx/png_texture.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "gui/clip_panel.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"
#include "gui/interface_frame.h"
#include "gui/progress_bar.h"
#include "gui/text_list.h"
#include "gui/text_view.h"
#include "gui/widget_textures.h"
#include "gui_probe.h"
#include "interface_files.h"
#include "widget_gl_test.h"
#include "platform/text_raster.h"

namespace veskor {
namespace {

using namespace test;

// Left half of a w x h mask black (opaque), right half white.
PngSample LeftHalfOpaque(std::uint32_t w) {
  return [w](std::uint32_t x, std::uint32_t, std::uint32_t) -> std::uint8_t {
    return x < w / 2 ? 0 : 255;
  };
}

TEST_F(WidgetGlTest, ButtonsShowTheirImagesWhereTheMaskIsOpaque) {
  files.Colour("full.png", 8, 4, 255, 255, 255);
  files.Mask("opaque.png", 8, 4, [](std::uint32_t, std::uint32_t, std::uint32_t) { return 0; });
  files.Colour("hover.png", 6, 3, 255, 0, 0);
  files.Colour("normal.png", 6, 3, 0, 255, 0);
  files.Mask("mask.png", 6, 3, LeftHalfOpaque(6));
  GuiImageButton button, twin;
  // Opaque white images first: their blocks may come back for the padding of the next ones.
  SetButtonImages(button, &root, {}, {}, "full.png", "opaque.png", "full.png", "opaque.png", {});
  SetButtonImages(button, &root, Pixels(8), Pixels(8), "hover.png", "mask.png", "normal.png",
                  "mask.png", {});
  PlaceButton(twin, &root, Pixels(40), Pixels(8), button, {});
  AddChildPlane(root, button);
  AddChildPlane(root, twin);
  const WidgetRect r = WidgetSnappedRect(button);  // the padded 8 x 4 texture
  EXPECT_EQ(r.right * kSize, 16.0f);
  EXPECT_EQ(r.bottom * kSize, 12.0f);
  EXPECT_EQ(WidgetSnappedRect(twin).right * kSize, 48.0f);
  const struct {
    std::uint32_t hovered, muted;
    Rgba opaque;
  } cases[] = {{0, 0, kGreen}, {1, 0, kRed}, {1, 1, kGreen}};
  for (const auto& c : cases) {
    button.hovered = c.hovered, button.muted = c.muted;
    DrawTree(kBlue);
    const std::string what =
        "hovered " + std::to_string(c.hovered) + " muted " + std::to_string(c.muted);
    Expect(Px(8, 8), c.opaque, what);
    Expect(Px(10, 10), c.opaque, what);
    Expect(Px(12, 9), kBlue, what);   // masked out
    Expect(Px(9, 11), kBlue, what);   // padding below the picture
    Expect(Px(15, 9), kBlue, what);   // padding right of it
    Expect(Px(41, 9), kGreen, what);  // the twin
  }
  float lx, ly;
  EXPECT_EQ(button.ToLocal(10.5f / kSize, 9.5f / kSize, &lx, &ly), 1u);
  EXPECT_EQ(button.ToLocal(12.5f / kSize, 9.5f / kSize, &lx, &ly), 0u);
  EXPECT_EQ(button.ToLocal(10.5f / kSize, 11.5f / kSize, &lx, &ly), 0u);

  // Reloading releases the images it replaces; renewed names are taken up again.
  const std::uint32_t inUse = SlotsInUse();
  for (int i = 0; i < 10; ++i)
    SetButtonImages(button, &root, Pixels(8), Pixels(8), "hover.png", "mask.png", "normal.png",
                    "mask.png", {});
  EXPECT_EQ(SlotsInUse(), inUse);
  RenewTextureNames();
  RestoreButtonTextures(button);
  EXPECT_EQ(button.normalImage->state.slotStamp, ContextStamp);
  EXPECT_EQ(button.normalImage->state.dirty, 1u);
  PlaceButton(twin, &root, Pixels(40), Pixels(8), button, {});  // the twin follows the reload
  button.hovered = 0;
  DrawTree(kBlue);
  Expect(Px(9, 9), kGreen, "after the renewal");
  Expect(Px(41, 9), kGreen, "the twin after the renewal");
}

TEST_F(WidgetGlTest, PanelsTakeThePictureSizeAndBlendByChannelsAndColour) {
  files.Colour("big.png", 100, 30, 9, 9, 9);
  files.Colour("small.png", 20, 10, 0, 0, 255);
  files.Mask("half.png", 20, 10, [](std::uint32_t, std::uint32_t y, std::uint32_t) {
    return static_cast<std::uint8_t>(y < 5 ? 0 : 255);  // the bottom half transparent
  });
  files.Mask("white.png", 20, 10, [](std::uint32_t, std::uint32_t, std::uint32_t) { return 255; });
  GuiImagePanel big, masked, clear, plain, borrower;
  LoadPanelImage(big, &root, Pixels(4), Pixels(2), "big.png");
  EXPECT_EQ(big.uScale, 0.78125f);
  EXPECT_EQ(big.vScale, 0.9375f);
  EXPECT_EQ(big.texture->pixels.log2Width, 7);
  EXPECT_EQ(big.texture->pixels.log2Height, 5);
  EXPECT_EQ(big.edgePixels[kEdgeRight], 104.0f);
  EXPECT_EQ(big.edgePixels[kEdgeBottom], 32.0f);
  EXPECT_EQ(big.style, 24u);

  LoadPanelImageWithMask(masked, &root, Pixels(8), Pixels(8), "small.png", "half.png");
  LoadPanelImageWithMaskAlt(clear, &root, Pixels(40), Pixels(8), Pixels(60), Pixels(18),
                            "small.png", "white.png");
  ConfigurePanel(plain, &root, Pixels(8), Pixels(40), Pixels(28), Pixels(50), nullptr, 1, 1);
  ConfigurePanel(borrower, &root, Pixels(40), Pixels(40), Pixels(60), Pixels(50), masked.texture,
                 masked.uScale, masked.vScale);
  for (GuiPlane* p : {static_cast<GuiPlane*>(&masked), static_cast<GuiPlane*>(&clear),
                      static_cast<GuiPlane*>(&plain), static_cast<GuiPlane*>(&borrower)})
    AddChildPlane(root, *p);
  const struct {
    float alpha;
    Rgba masked, plain;  // over white
  } cases[] = {{1.0f, kBlue, kRed}, {0.5f, {128, 128, 255, 255}, {255, 128, 128, 255}}};
  plain.color[1] = plain.color[2] = 0;  // a flat red quad
  for (const auto& c : cases) {
    masked.color[3] = plain.color[3] = c.alpha;
    DrawTree(kWhite);
    const std::string what = "alpha " + std::to_string(c.alpha);
    Expect(Px(10, 10), c.masked, what);
    Expect(Px(10, 16), kWhite, what);  // transparent half of the mask
    Expect(Px(45, 12), kWhite, what);  // an all-white mask
    Expect(Px(45, 42), kBlue, what);   // the borrowed texture
    Expect(Px(10, 45), c.plain, what);
    Expect(Px(30, 45), kWhite, what);
  }

  // Reloads release what they replace and forget the press callback; a borrowed texture
  // outlives the borrower's release; a texture of the current names is only bound again.
  masked.onPress = [] {};
  const std::uint32_t inUse = SlotsInUse();
  for (int i = 0; i < 10; ++i)
    LoadPanelImageWithMask(masked, &root, Pixels(8), Pixels(8), "small.png", "half.png");
  EXPECT_EQ(masked.onPress, nullptr);
  ConfigurePanel(masked, &root, Pixels(8), Pixels(8), Pixels(28), Pixels(18), masked.texture,
                 masked.uScale, masked.vScale);  // its own texture stays its own
  EXPECT_EQ(masked.ownsTexture, 1u);
  EXPECT_EQ(SlotsInUse(), inUse);
  ConfigurePanel(borrower, &root, Pixels(40), Pixels(40), Pixels(60), Pixels(50), masked.texture,
                 masked.uScale, masked.vScale);
  ReleasePanelTextures(borrower);
  EXPECT_EQ(borrower.texture, nullptr);
  const std::uint32_t slot = masked.texture->state.slot;
  RestorePanelTextures(masked);
  EXPECT_EQ(masked.texture->state.slot, slot);
  DrawTree(kWhite);
  Expect(Px(10, 10), kBlue, "the owner after the borrower's release");
  Expect(Px(45, 42), kWhite, "the borrower without a texture");
}

std::array<GLint, 4> ScissorBoxNow() {
  std::array<GLint, 4> box{};
  glGetIntegerv(GL_SCISSOR_BOX, box.data());
  return box;
}

TEST_F(WidgetGlTest, ClipPanelsConfineTheirSubtreeAndFrameIt) {
  GuiClipPanel clip;
  ConfigurePanel(clip, &root, {0.25f, 0, 0, 0}, {0.25f, 0, 0, 0}, {0.75f, 0, 0, 0},
                 {0.75f, 0, 0, 0}, nullptr, 1, 1);
  AddChildPlane(root, clip);
  PixelSize = {1.0f / 640, 1.0f / 480};
  ClipPanelBegin(clip);
  EXPECT_EQ(ScissorBoxNow(), (std::array<GLint, 4>{160, 121, 320, 241}));
  ClipPanelEnd(clip);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  PixelSize = {1.0f / kSize, 1.0f / kSize};

  // 16..48 in blue; a red child hangs out on the right; a nested clip panel 20..52 x 28..36,
  // out on the right too, holds a green child as large as the window; a front child drawn
  // after it stays clipped by the outer panel.
  clip.color[0] = clip.color[1] = 0;
  GuiImagePanel hanging, wide, after;
  GuiClipPanel inner;
  ConfigurePanel(hanging, &root, Pixels(16), Pixels(2), Pixels(40), Pixels(8), nullptr, 1, 1);
  ConfigurePanel(inner, &root, Pixels(4), Pixels(12), Pixels(36), Pixels(20), nullptr, 1, 1);
  ConfigurePanel(wide, &root, Pixels(-30), Pixels(-30), Pixels(60), Pixels(60), nullptr, 1, 1);
  ConfigurePanel(after, &root, Pixels(-16), Pixels(24), Pixels(48), Pixels(28), nullptr, 1, 1);
  hanging.color[1] = hanging.color[2] = 0;
  wide.color[0] = wide.color[2] = 0;
  after.color[1] = after.color[2] = 0;
  after.style = kPlaneFront;
  AddChildPlane(clip, hanging);
  AddChildPlane(clip, inner);
  AddChildPlane(inner, wide);
  AddChildPlane(clip, after);
  for (const float alpha : {1.0f, 0.5f}) {
    clip.color[3] = alpha;
    DrawTree(kWhite);
    const std::string what = "alpha " + std::to_string(alpha);
    const Rgba blue = alpha < 1 ? Rgba{128, 128, 255, 255} : kBlue;
    Expect(Px(18, 30), blue, what);
    Expect(Px(40, 21), kRed, what);
    Expect(Px(52, 21), kWhite, what);  // the red child outside the panel
    Expect(Px(24, 32), kGreen, what);
    Expect(Px(50, 32), kWhite, what);  // inside the inner panel, outside the outer one
    Expect(Px(24, 25), blue, what);    // the green child outside the inner panel
    Expect(Px(17, 42), kRed, what);
    Expect(Px(8, 42), kWhite, what);  // the front child outside the outer panel
    // The frame: black along the top side, half black at alpha 0.5.
    Expect(Px(30, 16), alpha < 1 ? Rgba{64, 64, 128, 255} : kBlack, what);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  }
}

TEST_F(WidgetGlTest, TextViewsDrawTheirTextOverTheBackgroundAndBlink) {
  GuiTextView v;
  ResizeImageBuffer(v.textTexture, 1, 5, 4, 2);  // 32 x 16 coverage as alpha
  Texture2DSetFilter(v.textTexture, kFilterNearest);
  ASSERT_EQ(CreateTextBitmap(v.textBitmap, &v.textTexture), 1u);
  FillTextRect(v.textBitmap, 0, 0, 7, 7);
  ConfigureWidget(v, 0, Pixels(8), Pixels(8), Pixels(56), Pixels(40));
  AddChildPlane(root, v);
  v.textColor[1] = v.textColor[2] = 0;  // red text
  v.backgroundColor[2] = 1;             // on blue
  const Rgba dim{51, 0, 204, 255};
  const struct {
    float background;
    std::uint32_t blink;
    double now;
    Rgba ink, paper;
  } cases[] = {{1, 0, 0.25, kRed, kBlue},
               {1, 1, 0.75, kRed, kBlue},
               {1, 1, 2.25, dim, kBlue},
               {0.5f, 0, 0.25, kRed, {0, 128, 128, 255}}};
  for (const auto& c : cases) {
    v.backgroundColor[3] = c.background;
    v.blink = c.blink;
    glClearColor(0, 1, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    v.EndDraw();  // the bitmap into the texture
    BeginGuiUnits();
    DrawTextView(v, c.now);
    EndGuiUnits();
    const std::string what = "blink " + std::to_string(c.blink) + " at " + std::to_string(c.now);
    Expect(Px(10, 10), c.ink, what);
    Expect(Px(20, 10), c.paper, what);
    Expect(Px(10, 30), c.paper, what);  // below the texture
    Expect(Px(60, 10), kGreen, what);
  }
  // Text drawn since the last upload shows at the view's next drawing, and an upload after
  // that drawing still finds it.
  FillTextRect(v.textBitmap, 16, 0, 23, 7);
  BeginGuiUnits();
  DrawPlaneTree(v);
  EndGuiUnits();
  Expect(Px(28, 10), kRed, "drawn since");
  UploadBitmapTexture(v.textBitmap);
  BeginGuiUnits();
  DrawTextView(v, 0.25);
  EndGuiUnits();
  Expect(Px(28, 10), kRed, "uploaded after");
}

// The extent of an arial line at 10 points (13 pixels).
TextExtent ArialExtent(const char* text) {
  TextFont* font = TextFontOpen("arial", 13, false, false);
  const TextExtent e = TextMeasure(font, text);
  TextFontClose(font);
  return e;
}

TEST_F(WidgetGlTest, TextListsLayTheirLinesOutAndDrawThemInTheirColours) {
  const char* lines[] = {"\\tTitle", "Line one is the longest", "Line two"};
  GuiTextList list;
  const TextListColours colours{{0, 0, 1, 1}, {1, 0, 0}, {0, 1, 0}};
  SetTextLines(list, &root, Pixels(0), Pixels(0), lines, 3, colours);
  AddChildPlane(root, list);
  const TextExtent title = ArialExtent("Title"), one = ArialExtent("Line one is the longest"),
                   two = ArialExtent("Line two");
  EXPECT_STREQ(list.lines[0], "Title");
  EXPECT_EQ(list.lineCount, 3u);
  EXPECT_EQ(list.selectable[0] + 2 * list.selectable[1] + 4 * list.selectable[2], 6u);
  // Pen y: 10, the title advances 22, the lines their height and 6.
  const std::uint32_t y1 = 32, y2 = y1 + one.height + 6, end = y2 + two.height + 6;
  const std::uint32_t width = std::max(one.width, two.width) + 30, height = end + 4;
  EXPECT_EQ(list.textWidth, width);
  EXPECT_EQ(list.textHeight, height);
  const float h = static_cast<float>(height);
  const float bounds[] = {0, (y1 - 3) / h, (y2 - 3) / h, (end - 3) / h};
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(list.lineBounds[i], bounds[i]) << i;
  const std::uint32_t tw = std::bit_ceil(width), th = std::bit_ceil(height);
  EXPECT_EQ(1u << list.lineTexture.pixels.log2Width, tw);
  EXPECT_EQ(1u << list.titleTexture.pixels.log2Height, th);
  EXPECT_FLOAT_EQ(list.usedS, static_cast<float>(width) / tw);
  EXPECT_FLOAT_EQ(list.usedT, h / th);
  EXPECT_FLOAT_EQ(list.lineBoxLeft[1] * tw, 14);
  EXPECT_FLOAT_EQ(list.lineBoxRight[1] * tw, one.width + 25.0f);
  EXPECT_FLOAT_EQ(list.lineBoxTop[2] * th, y2 - 3.0f);
  EXPECT_FLOAT_EQ(list.lineBoxBottom[2] * th, end - 3.0f);
  EXPECT_EQ(list.style, 20u);
  EXPECT_EQ(list.edgePixels[kEdgeRight], static_cast<float>(width));

  // The title's rule: two rows from 4 pixels after the title to 8 short of the text's width.
  auto titleAt = [&](std::uint32_t x, std::uint32_t y) {
    return *TexelAddress(list.titleTexture, x, y);
  };
  const std::uint32_t rule = title.height + 4, first = 10 + title.width + 4, last = width - 8;
  EXPECT_EQ(titleAt(first, rule), 255);
  EXPECT_EQ(titleAt(last, rule + 1), 255);
  EXPECT_EQ(titleAt(first - 1, rule), 0);
  EXPECT_EQ(titleAt(last + 1, rule), 0);
  EXPECT_EQ(titleAt(first, rule + 2), 0);
  // Ordinary lines start at x = 20, in the line texture only.
  int lineInk = 0, titleInk = 0, leftOfMargin = 0;
  for (std::uint32_t y = 0; y < th; ++y)
    for (std::uint32_t x = 0; x < tw; ++x) {
      const std::uint8_t ink = *TexelAddress(list.lineTexture, x, y);
      lineInk += ink != 0;
      leftOfMargin += x < 20 && ink != 0;
      titleInk += y >= y1 && *TexelAddress(list.titleTexture, x, y) != 0;
    }
  EXPECT_GT(lineInk, 40);
  EXPECT_EQ(leftOfMargin, 0);
  EXPECT_EQ(titleInk, 0);

  DrawTree();
  Expect(Px(first, rule), kGreen, "rule");
  Expect(Px(2, 2), kBlue, "background");
  int red = 0;
  for (std::uint32_t y = y1; y < y2; ++y)
    for (std::uint32_t x = 20; x < 20 + one.width && x < kSize; ++x)
      red += *TexelAddress(list.lineTexture, x, y) == 255 && Px(x, y).r == 255 && Px(x, y).b == 0;
  EXPECT_GT(red, 10);

  // New texts keep the colours and the corner; longer and further lines are cut.
  std::string longLine(300, 'w');
  std::vector<std::string> many(40, "x");
  many[1] = longLine;
  many[31] = "last kept";
  std::vector<const char*> table;
  for (const std::string& s : many) table.push_back(s.c_str());
  SetTextLinesTable(list, table.data(), 40);
  EXPECT_EQ(list.lineCount, 32u);
  EXPECT_EQ(std::string(list.lines[1]), longLine.substr(0, 255));
  EXPECT_STREQ(list.lines[31], "last kept");
  EXPECT_EQ(list.lineColor[0], 1.0f);
  EXPECT_EQ(list.backgroundColor[2], 1.0f);
  EXPECT_EQ(list.edgePixels[kEdgeRight], static_cast<float>(list.textWidth));
  EXPECT_LE(list.usedS, 1.0f);
  EXPECT_LE(list.usedT, 1.0f);
  EXPECT_EQ(list.selectable[0], 1u);

  RenewTextureNames();
  RestoreTextListTextures(list);
  EXPECT_EQ(list.lineTexture.state.slotStamp, ContextStamp);
  EXPECT_EQ(list.titleTexture.state.formatCode, 10u);
  EXPECT_EQ(list.lineTexture.state.dirty, 0u);  // bound, so uploaded
}

TEST_F(WidgetGlTest, ProgressBarsClampTheirFractionAndRepeatThePattern) {
  // The window seen as 800 pixels wide: a full bar repeats the pattern every 8 pixels.
  glViewport(0, 0, 800, kSize);
  PixelSize = {1.0f / 800, 1.0f / kSize};
  GuiProgressBar bar;
  ResizeImageBuffer(bar.pattern, 3, 1, 0, 3);  // white, black
  auto* texels = static_cast<std::uint8_t*>(bar.pattern.pixels.data);
  for (int i = 0; i < 6; ++i) texels[i] = i < 3 ? 255 : 0;
  Texture2DSetFilter(bar.pattern, kFilterNearest);
  Texture2DSetWrap(bar.pattern, kWrapRepeatS | kWrapRepeatT);
  ConfigureWidget(bar, 0, {}, Pixels(16), {1, 0, 0, 0}, Pixels(48));
  bar.color[0] = bar.color[1] = 0;
  AddChildPlane(root, bar);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float fraction, stored;
    int filled;  // pixels of pattern from the left
  } cases[] = {{1.7f, 1, 64}, {0.5f, 0.5f, 64}, {0.04f, 0.04f, 32}, {-0.2f, 0, 0}, {nan, 0, 0}};
  for (const auto& c : cases) {
    bar.fraction = c.fraction;
    DrawTree(kRed);
    EXPECT_EQ(bar.fraction, c.stored);
    for (int x = 0; x < kSize; ++x) {
      const Rgba want = x >= c.filled ? kBlue : x % 8 < 4 ? kWhite : kBlack;
      Expect(Px(x, 30), want, std::to_string(c.fraction) + " at " + std::to_string(x), 0);
    }
    Expect(Px(5, 10), kRed, "above the bar", 0);
  }
}

}  // namespace
}  // namespace veskor
