// The choice widgets drawn and read back in the 64 x 64 test window: pick and drop lists,
// the text choice tag, the view list, sliders, check boxes and number labels.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "gfx/png_texture.h"
#include "gui/check_box.h"
#include "gui/number_label.h"
#include "gui/pick_list.h"
#include "gui/slider.h"
#include "gui/text_choice.h"
#include "gui/view_list.h"
#include "gui/widget_textures.h"
#include "platform/text_raster.h"
#include "widget_gl_test.h"

namespace veskor {
namespace {

using namespace test;

// Pixels in the rectangle x0..x1 x y0..y1 (exclusive ends) for which `match` holds.
template <class Match>
int Count(int x0, int y0, int x1, int y1, Match match) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += match(Px(x, y)) ? 1 : 0;
  return n;
}
bool IsRed(const Rgba& p) { return p.r > 128 && p.g < 64 && p.b < 64; }

const TextListColours kListColours{{0, 0, 1, 1}, {0, 1, 0}, {0, 1, 0}};

TEST_F(WidgetGlTest, PickListsLayTheHighlightBetweenBackgroundAndText) {
  // The window seen as 800 pixels wide, so that the 0.005 inset is 4 pixels.
  glViewport(0, 0, 800, kSize);
  PixelSize = {1.0f / 800, 1.0f / kSize};
  const char* lines[] = {"\\tTitle", "One", "Two"};
  GuiPickList list;
  SetupPickList(list, &root, Pixels(0), Pixels(0), lines, 3, kListColours, {1, 0, 0, 1}, nullptr,
                nullptr, nullptr);
  AddChildPlane(root, list);
  const float height = static_cast<float>(list.textHeight);
  const int top = static_cast<int>(list.lineBounds[1] * height);  // line 1: 29 .. 50 pixels
  const int bottom = static_cast<int>(list.lineBounds[2] * height);
  ASSERT_EQ(top, 29);
  ASSERT_LT(bottom, kSize);
  Texture2D grey;
  ResizeImageBuffer(grey, 3, 0, 0, 3);
  std::fill_n(static_cast<std::uint8_t*>(grey.pixels.data), 3, 128);
  const struct {
    std::int32_t hovered;
    float alpha;
    Texture2D* texture;
    Rgba lit;
  } cases[] = {{1, 1, nullptr, kRed}, {1, 0.5f, &grey, {64, 0, 128, 255}}, {-1, 1, nullptr, kBlue}};
  for (const auto& c : cases) {
    list.hoveredLine = c.hovered;
    list.highlightColor[3] = c.alpha;
    list.highlightTexture = c.texture;
    DrawTree();
    const std::string what = "alpha " + std::to_string(c.alpha);
    Expect(Px(5, top), c.lit, what);
    Expect(Px(5, bottom - 1), c.lit, what);
    Expect(Px(3, top + 5), kBlue, what);  // the inset
    Expect(Px(5, top - 1), kBlue, what);
    Expect(Px(5, bottom), kBlue, what);
    EXPECT_GT(Count(20, top, kSize, bottom, [](const Rgba& p) { return p.g > 200; }), 10) << what;
  }
}

std::string gChoices;
void Chosen(std::int32_t line) { gChoices += std::to_string(line) + " "; }

// The box of a drop list: its list set up with the drop-list callbacks and hidden.
void SetUpDropList(GuiDropList& drop, GuiPlane& root, float top) {
  const char* lines[] = {"Zero", "One", "Two"};
  SetupPickList(drop.list, &root, Pixels(8), Pixels(top), lines, 3, kListColours, {1, 0, 0, 1},
                ChoiceSelected, ChoiceDone, nullptr);
  HidePlane(drop.list);
  ConfigureWidget(drop, 24, Pixels(8), Pixels(top), Pixels(56), Pixels(top + 16));
  drop.boxColor[0] = drop.boxColor[1] = drop.boxColor[2] = 0.5f;
  drop.boxColor[3] = 1;
  drop.onChoice = Chosen;
  drop.selected = 1;
}

TEST_F(WidgetGlTest, DropListsOpenOverTheirBoxAndTakeOnlyTheirOwnListsChoices) {
  GuiDropList other, drop;  // the other is drawn first: it must leave the drop list's reports
  SetUpDropList(other, root, 40);
  SetUpDropList(drop, root, 8);
  ChosenIndex = 1;
  ChoiceChanged = ChoiceDoneFlag = 0;
  AddChildPlane(root, other);
  AddChildPlane(root, drop);
  GuiPickList& list = drop.list;
  const float height = static_cast<float>(list.textHeight);
  // The list's top in pixels when line k lies on the box (top 8).
  auto placedTop = [&](int k) { return 8.0f - list.lineBounds[k] * height; };
  DrawTree();
  EXPECT_EQ(list.parent, &root);
  EXPECT_EQ(drop.attachPending, 0u);
  EXPECT_NEAR(WidgetSnappedRect(list).top * kSize, placedTop(1), 1e-3);
  EXPECT_EQ(WidgetSnappedRect(list).left * kSize, 8.0f);
  EXPECT_NEAR(WidgetSnappedRect(list).bottom * kSize, placedTop(1) + height, 1e-3);
  Expect(Px(9, 9), {128, 128, 128, 255}, "the box");
  EXPECT_GT(Count(8, 8, 56, 24, IsRed), 10);

  gChoices.clear();
  const struct {
    std::uint32_t buttons;
    bool opens;
  } presses[] = {{kButtonRight, false}, {kButtonLeft | kButtonRight, false}, {kButtonLeft, true}};
  for (const auto& p : presses) {
    drop.OnMouseButton(p.buttons, 0, 0, 0, 0);
    EXPECT_EQ(list.hidden, p.opens ? 0u : 1u) << p.buttons;
  }
  list.hoveredLine = 2;
  list.OnMouseButton(0, 0, 0, 0, 0);
  DrawTree();
  EXPECT_EQ(gChoices, "2 ");
  EXPECT_EQ(drop.selected, 2);
  EXPECT_EQ(other.selected, 1);
  EXPECT_EQ(list.hidden, 1u);
  EXPECT_EQ(ChoiceChanged, 0u);
  EXPECT_NEAR(WidgetSnappedRect(list).top * kSize, placedTop(2), 1e-3);

  // A release on no line closes the list and keeps the choice.
  ShowPlane(list);
  list.hoveredLine = -1;
  list.OnMouseButton(0, 0, 0, 0, 0);
  DrawTree();
  EXPECT_EQ(gChoices, "2 ");
  EXPECT_EQ(drop.selected, 2);
  EXPECT_EQ(list.hidden, 1u);

  // Leaving a list closes only its own drop list.
  ShowPlane(list);
  ShowPlane(other.list);
  other.list.OnMouseLeave(0, 0, 0, 0, 0, 0);
  DrawTree();
  EXPECT_EQ(list.hidden, 0u);
  EXPECT_EQ(other.list.hidden, 1u);
  EXPECT_EQ(ChoiceDoneFlag, 0u);
  list.OnMouseLeave(0, 0, 0, 0, 0, 0);
  drop.selected = -1;  // an empty box
  DrawTree();
  EXPECT_EQ(list.hidden, 1u);
  EXPECT_EQ(Count(8, 8, 56, 24, IsRed), 0);
}

TEST_F(WidgetGlTest, TextChoicesShowOneLineBesideTheAnchorForOneFrame) {
  const char* lines[] = {"Ab", "Cd", "Ef"};
  const std::uint32_t alignLeft[] = {0, 1, 0};
  GuiTextChoice tag;
  SetupTextChoice(tag, &root, lines, alignLeft, 3, {0, 0, 1, 1}, {1, 1, 1});
  EXPECT_EQ(tag.currentLine, 1);
  AddChildPlane(root, tag);
  SetLeftEdge(tag, Pixels(32));
  SetTopEdge(tag, Pixels(40));
  SetRightEdge(tag, Pixels(33));  // the tag keeps its line's size
  const struct {
    std::int32_t line;
    Rgba right, left;  // inside the tag's bottom margin, right and left of the anchor
  } cases[] = {{0, kBlue, kBlack}, {1, kBlack, kBlue}};
  for (const auto& c : cases) {
    tag.currentLine = c.line;
    ShowPlane(tag);
    DrawTree();
    const std::string what = "line " + std::to_string(c.line);
    const TextLineBox b = TextListLineBox(tag, c.line);
    const int w = static_cast<int>(b.width * kSize), h = static_cast<int>(b.height * kSize);
    ASSERT_LT(w, 30);
    const int x0 = c.line == 0 ? 32 : 32 - w;
    Expect(Px(34, 38), c.right, what);
    Expect(Px(29, 38), c.left, what);
    Expect(Px(c.line == 0 ? 32 + w - 2 : 32 - w + 1, 38), kBlue, what);
    Expect(Px(c.line == 0 ? 32 + w + 1 : 32 - w - 2, 38), kBlack, what);
    Expect(Px(c.line == 0 ? 34 : 29, 40 - h - 2), kBlack, what);
    Expect(Px(c.line == 0 ? 34 : 29, 40 - h + 1), kBlue, what);
    EXPECT_GT(Count(x0 + 2, 40 - h + 2, x0 + w - 2, 38, [](const Rgba& p) { return p.r > 200; }),
              10)
        << what;
    EXPECT_EQ(tag.hidden, 1u) << what;
    DrawTree();
    Expect(Px(c.line == 0 ? 34 : 29, 38), kBlack, what + " the next frame");
  }
  for (const std::int32_t line : {-1, 3}) {
    tag.currentLine = line;
    ShowPlane(tag);
    DrawTree();
    EXPECT_EQ(tag.hidden, 0u) << line;
    EXPECT_EQ(Count(0, 0, kSize, kSize, [](const Rgba& p) { return p.b > 0; }), 0) << line;
  }
}

TEST_F(WidgetGlTest, ViewListsDrawGroupsWithGapsAndTheHoveredThumbnailLit) {
  Texture2D red, tall;
  ResizeImageBuffer(red, 3, 0, 0, 3);
  ResizeImageBuffer(tall, 3, 0, 1, 3);  // row 0 (drawn at the bottom) green, row 1 white
  const std::uint8_t redTexel[3] = {255, 0, 0}, tallTexels[6] = {0, 255, 0, 255, 255, 255};
  std::copy(redTexel, redTexel + 3, static_cast<std::uint8_t*>(red.pixels.data));
  std::copy(tallTexels, tallTexels + 6, static_cast<std::uint8_t*>(tall.pixels.data));
  Texture2DSetFilter(tall, kFilterNearest);
  const std::uint16_t one = 1, none = 0;
  const ViewGroup groups[] = {{&red, &one, {0.5f, 0.5f, 0.5f, 1}, 10},
                              {&red, &none, {1, 1, 1, 1}, 10},
                              {&tall, &one, {1, 1, 1, 1}, 10}};
  GuiViewList view;
  // 32 pixels high: the band 19.2 .. 44.8, thumbnails 25.6 wide, gaps 3.2.
  SetupViewList(view, &root, {}, Pixels(16), {1, 0, 0, 0}, Pixels(48), {0, 0, 1}, groups, 3, {});
  AddChildPlane(root, view);
  const struct {
    std::uint32_t highlight;
    std::int32_t hovered;
    Rgba first;
  } cases[] = {{0, 0, {128, 0, 0, 255}}, {1, 0, kRed}};
  for (const auto& c : cases) {
    view.highlight = c.highlight;
    view.hoveredIndex = c.hovered;
    DrawTree();
    const std::string what = "highlight " + std::to_string(c.highlight);
    Expect(Px(4, 30), c.first, what);
    Expect(Px(2, 30), kBlue, what);   // before the first thumbnail
    Expect(Px(30, 30), kBlue, what);  // the gap, once for the two groups
    Expect(Px(33, 22), kWhite, what);
    Expect(Px(56, 42), kGreen, what);
    Expect(Px(59, 30), kBlue, what);
    Expect(Px(10, 18), kBlue, what);  // the margin above the band
    Expect(Px(10, 12), kBlack, what);
  }
}

// An RGB picture of one colour and a mask drawn by `opaque` (black where it holds).
void Picture(InterfaceFiles& files, const char* colour, const char* mask, std::uint32_t w,
             std::uint32_t h, Rgba c, bool (*opaque)(std::uint32_t, std::uint32_t)) {
  files.Colour(colour, w, h, c.r, c.g, c.b);
  files.Mask(mask, w, h, [opaque](std::uint32_t x, std::uint32_t y, std::uint32_t) {
    return static_cast<std::uint8_t>(opaque(x, y) ? 0 : 255);
  });
}

TEST_F(WidgetGlTest, SlidersDrawTheThumbAtTheValueClampedToTheTrack) {
  // The thumb's left half is drawn (its mask white, alpha 0), its right half lets the track show.
  Picture(files, "thumb.png", "thumb_mask.png", 16, 32, kRed,
          [](std::uint32_t x, std::uint32_t) { return x >= 8; });
  files.Colour("track.png", 8, 8, 0, 255, 0);
  float value = 0.5f;
  GuiSlider slider;
  const SliderBinding binding{&value, 0, 2, 0.25f, nullptr};
  std::uint32_t inUse = 0;
  for (int i = 0; i < 3; ++i) {  // a reload releases what it replaces
    SetSliderImages(slider, &root, Pixels(8), Pixels(16), Pixels(56), Pixels(48), "thumb.png",
                    "thumb_mask.png", "track.png", binding);
    EXPECT_TRUE(i == 0 || SlotsInUse() == inUse) << i;
    inUse = SlotsInUse();
  }
  EXPECT_EQ(slider.step, 0.125f);
  EXPECT_EQ(slider.thumbTexture->pixels.channels, 4);
  EXPECT_EQ(slider.trackTexture->pixels.channels, 3);
  AddChildPlane(root, slider);
  auto* twin = new GuiSlider;
  ShareSliderImages(*twin, &root, Pixels(8), Pixels(16), Pixels(56), Pixels(48), slider, binding);
  delete twin;
  EXPECT_EQ(SlotsInUse(), inUse);
  const struct {
    float value;
    int thumb;  // the thumb's centre in pixels
  } cases[] = {{1.0f, 32}, {-1.0f, 8}, {5.0f, 56}};
  for (const auto& c : cases) {
    value = c.value;
    DrawTree();
    const std::string what = "value " + std::to_string(c.value);
    Expect(Px(c.thumb - 6, 20), kRed, what);
    Expect(Px(c.thumb - 1, 47), kRed, what);
    Expect(Px(c.thumb + 1, 30), c.thumb + 1 < 56 ? kGreen : kBlack, what);
    Expect(Px(c.thumb == 32 ? 20 : 32, 30), kGreen, what);
    EXPECT_EQ(value, c.value);  // drawing never writes the variable
  }
  slider.value = nullptr;  // the bare track
  DrawTree();
  EXPECT_EQ(Count(0, 0, kSize, kSize, IsRed), 0);

  RenewTextureNames();
  RestoreSliderTextures(slider);
  EXPECT_EQ(slider.thumbTexture->state.slotStamp, ContextStamp);
  EXPECT_EQ(slider.trackTexture->state.dirty, 0u);
}

int gPopups = 0;

TEST_F(WidgetGlTest, CheckBoxesTakeTheirHoverPictureSizeAndDrawTheMarkOver) {
  auto all = [](std::uint32_t, std::uint32_t) { return true; };
  auto cornerCut = [](std::uint32_t x, std::uint32_t y) { return x >= 4 || y >= 4; };
  auto centre = [](std::uint32_t x, std::uint32_t y) {
    return x >= 12 && x < 20 && y >= 12 && y < 20;
  };
  Picture(files, "n.png", "nm.png", 16, 16, kGreen, cornerCut);  // drawn twice its size
  Picture(files, "h.png", "hm.png", 32, 32, kRed, all);
  Picture(files, "m.png", "mm.png", 32, 32, kBlue, centre);
  const CheckBoxImages images{"n.png", "nm.png", "h.png", "hm.png", "m.png", "mm.png"};
  GuiCheckBox box;
  std::uint32_t bound = 5;
  box.boundValue = &bound;
  SetCheckBoxImages(box, &root, Pixels(310), Pixels(148), images, 1, nullptr, nullptr);
  AddChildPlane(root, box);
  const WidgetRect r = WidgetSnappedRect(box);
  EXPECT_EQ(r.left * kSize, 310.0f);
  EXPECT_EQ(r.top * kSize, 148.0f);
  EXPECT_EQ(r.right * kSize, 342.0f);
  EXPECT_EQ(r.bottom * kSize, 180.0f);
  EXPECT_EQ(box.checked, 1u);
  EXPECT_EQ(box.boundValue, nullptr);
  EXPECT_EQ(bound, 5u);
  EXPECT_EQ(box.style, 24u);

  const std::uint32_t inUse = SlotsInUse();
  SetCheckBoxImages(box, &root, Pixels(16), Pixels(16), images, 0, nullptr, nullptr);
  EXPECT_EQ(SlotsInUse(), inUse);
  box.popupCallback = [](std::int32_t) { ++gPopups; };
  const struct {
    std::uint32_t checked, highlighted, popup;
    Rgba base, centre;
  } cases[] = {{0, 0, 0, kGreen, kGreen},
               {1, 0, 1, kGreen, kBlue},
               {1, 1, 0, kRed, kBlue},
               {0, 1, 1, kRed, kRed}};
  for (const auto& c : cases) {
    box.checked = c.checked, box.highlighted = c.highlighted, box.popupVisible = c.popup;
    gPopups = 0;
    DrawTree();
    const std::string what =
        "checked " + std::to_string(c.checked) + " highlighted " + std::to_string(c.highlighted);
    Expect(Px(40, 40), c.base, what);
    Expect(Px(31, 31), c.centre, what);
    Expect(Px(18, 18), c.highlighted ? kRed : kBlack, what);  // the normal picture's cut corner
    EXPECT_EQ(gPopups, static_cast<int>(c.popup)) << what;
  }
  // A press in the cut corner does not reach the box.
  float lx, ly;
  EXPECT_EQ(box.ToLocal(22.5f / kSize, 18.5f / kSize, &lx, &ly), 0u);
  EXPECT_EQ(box.ToLocal(24.5f / kSize, 18.5f / kSize, &lx, &ly), 1u);

  RenewTextureNames();
  RestoreCheckBoxTextures(box);
  EXPECT_EQ(box.markTexture->state.slotStamp, ContextStamp);
  EXPECT_EQ(box.hoverTexture->state.dirty, 0u);
}

// The glyph cells of an arial image at `pixels` per character height.
struct Cells {
  std::uint32_t widths[kGlyphCount], widest = 0, height = 0;
};
Cells Measure(std::uint32_t pixels, bool italic) {
  TextFont* font = TextFontOpen("arial", pixels, true, italic);
  Cells c;
  for (std::uint32_t i = 0; i < kGlyphCount; ++i) {
    const TextExtent e = TextMeasure(font, std::string(1, "0123456789-."[i]).c_str());
    c.widths[i] = e.width;
    c.widest = std::max(c.widest, e.width);
    c.height = std::max(c.height, e.height);
  }
  TextFontClose(font);
  return c;
}

TEST_F(WidgetGlTest, GlyphImagesCentreTwelveCellsAndLabelsDrawValuesInThem) {
  GdiTextImage large, small;
  RenderTextImage(large, "arial", 24, "\\b\\i", 2);
  RenderTextImage(small, "arial", 10, "\\b", 0);
  const struct {
    GdiTextImage* image;
    Cells cells;
    std::uint32_t padding;
  } images[] = {{&large, Measure(32, true), 2}, {&small, Measure(13, false), 0}};
  for (const auto& im : images) {
    const GdiTextImage& g = *im.image;
    const std::uint32_t cw = im.cells.widest + im.padding, ch = im.cells.height + im.padding / 2;
    const std::uint32_t tw = std::bit_ceil(12 * cw), th = std::bit_ceil(ch);
    EXPECT_EQ(g.cellWidth, static_cast<float>(cw));
    EXPECT_EQ(g.cellHeight, static_cast<float>(ch));
    EXPECT_EQ(1u << g.texture.pixels.log2Width, tw);
    EXPECT_EQ(1u << g.texture.pixels.log2Height, th);
    EXPECT_EQ(g.cellU, static_cast<float>(cw) / tw);
    EXPECT_EQ(g.cellV, static_cast<float>(ch) / th);
    EXPECT_EQ(g.texture.state.formatCode, 10u);
    EXPECT_EQ(g.bitmap.surface, nullptr);
    // Ink in every cell, none below the cells, none left of the narrow point's centred place.
    const std::uint32_t pointStart = 11 * cw + (cw - im.cells.widths[11]) / 2;
    std::uint32_t ink[kGlyphCount] = {}, below = 0, leftOfPoint = 0;
    for (std::uint32_t y = 0; y < th; ++y)
      for (std::uint32_t x = 0; x < tw; ++x) {
        if (*TexelAddress(g.texture, x, y) == 0) continue;
        if (x < 12 * cw) ++ink[x / cw];
        below += y >= ch;
        leftOfPoint += x >= 11 * cw && x < pointStart;
      }
    for (std::uint32_t i = 0; i < kGlyphCount; ++i) EXPECT_GT(ink[i], 3u) << i;
    EXPECT_EQ(below, 0u);
    if (im.image == &small) {  // italic glyphs may lean past their place
      EXPECT_EQ(leftOfPoint, 0u);
    }
  }

  // Five cells from (4, 8): 12.5 right-aligned leaves the first cell empty, left-aligned the last.
  float value = 12.5f;
  GuiTextLabel label;
  SetupTextLabel(label, &root, small, Pixels(4), Pixels(8), {5, 1, {1, 0, 0, 1}, 1}, &value);
  AddChildPlane(root, label);
  const int cw = static_cast<int>(small.cellWidth), ch = static_cast<int>(small.cellHeight);
  ASSERT_LT(4 + 5 * cw, kSize);
  EXPECT_EQ(WidgetSnappedRect(label).right * kSize, 4.0f + 5 * cw);
  EXPECT_EQ(WidgetSnappedRect(label).bottom * kSize, 8.0f + ch);
  const struct {
    float value;
    std::uint32_t decimals, alignRight;
    const char* inked;  // per cell
  } cases[] = {{12.5f, 1, 1, "01111"}, {12.5f, 1, 0, "11110"},  {0.0f, 0, 0, "10000"},
               {-3.0f, 0, 1, "00011"}, {-3.25f, 2, 1, "11111"}, {-3.25f, 2, 0, "11111"}};
  for (const auto& c : cases) {
    value = c.value;
    label.alignRight = c.alignRight;
    label.decimals = c.decimals;
    DrawTree();
    for (int i = 0; i < 5; ++i) {
      const int red = Count(4 + i * cw, 8, 4 + (i + 1) * cw, 8 + ch, IsRed);
      EXPECT_EQ(red > 0, c.inked[i] == '1') << c.value << " cell " << i;
    }
    EXPECT_EQ(Count(0, 8 + ch, kSize, kSize, IsRed), 0);
  }

  RenewTextureNames();
  RestoreTextImage(small);
  EXPECT_EQ(small.texture.state.slotStamp, ContextStamp);
  EXPECT_EQ(small.texture.state.formatCode, 10u);
  EXPECT_EQ(small.texture.state.dirty, 0u);
}

}  // namespace
}  // namespace veskor
