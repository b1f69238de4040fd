// The choice widgets without GL: pick-list lines under the pointer, view-list indices across
// groups, slider snapping and dragging, check-box presses and the glyphs of number labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "foundation/session_log.h"
#include "gfx/png_texture.h"
#include "gui/check_box.h"
#include "gui/number_label.h"
#include "gui/pick_list.h"
#include "gui/slider.h"
#include "gui/view_list.h"
#include "gui_probe.h"
#include "platform/text_raster.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using namespace test;
using ChoiceWidgetTest = GuiTest;

std::string gCalls;
std::int32_t Released(std::int32_t line) {
  gCalls += "r" + std::to_string(line);
  return line;
}
void Left() { gCalls += "l"; }

TEST_F(ChoiceWidgetTest, PickListsHighlightSelectableLinesAndReportReleases) {
  GuiPlane root;
  MakeRoot(root);
  GuiPickList list;
  Place(list, 0.25f, 0.25f, 0.75f, 0.75f);
  AddChildPlane(root, list);
  list.lineCount = 4;  // a title, then three lines, each a quarter high
  const float bounds[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
  std::copy(bounds, bounds + 5, list.lineBounds);
  list.selectable[1] = list.selectable[2] = list.selectable[3] = 1;
  list.onRelease = Released;
  list.onLeave = Left;
  const struct {
    float lx, ly;
    std::int32_t line;
  } cases[] = {
      {0.5f, 0.5f, 1},  {0.5f, 0.5001f, 2}, {0.5f, 1.0f, 3},    {0.5f, 1.0001f, -1},
      {0.5f, 0.1f, -1}, {0.5f, 0.25f, -1},  {0.5f, 0.2501f, 1}, {0.5f, -0.01f, -1},
      {0.0f, 0.6f, -1}, {1.0f, 0.6f, -1},   {0.001f, 0.6f, 2},  {0.999f, 0.6f, 2},
  };
  for (const auto& c : cases) {
    list.OnMouseOver(0, 0, 0, 0, c.lx, c.ly);
    EXPECT_EQ(list.hoveredLine, c.line) << c.lx << ", " << c.ly;
  }

  // Presses report nothing; every release reports the hovered line, -1 included.
  gCalls.clear();
  PickListSender = nullptr;
  list.hoveredLine = 2;
  list.OnMouseButton(kButtonLeft, 0, 0, 0, 0);
  EXPECT_EQ(gCalls, "");
  list.OnMouseButton(0, 0, 0, 0, 0);
  list.hoveredLine = -1;
  list.OnMouseButton(0, 0, 0, 0, 0);
  EXPECT_EQ(gCalls, "r2r-1");
  EXPECT_EQ(PickListSender, &list);
  list.hoveredLine = 3;
  list.OnMouseLeave(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gCalls, "r2r-1l");
  EXPECT_EQ(list.hoveredLine, -1);
  EXPECT_EQ(ChoiceDoneSender, &list);

  // Straight above the list counts as over it; beside it does not.
  float lx, ly;
  EXPECT_EQ(list.ToLocal(0.5f, 0.1f, &lx, &ly), 1u);
  EXPECT_LT(ly, 0.0f);
  EXPECT_EQ(list.ToLocal(0.2f, 0.5f, &lx, &ly), 0u);
}

std::string gViewCalls;
std::uint32_t ViewCall(const char* what, std::uint32_t index) {
  gViewCalls += what + std::to_string(static_cast<std::int32_t>(index)) + " ";
  return 0;
}

TEST_F(ChoiceWidgetTest, ViewListIndicesRunOverTheGroupsWithTheDrawnGaps) {
  GuiPlane root;
  MakeRoot(root);
  Texture2D wide[2], square[3];
  for (Texture2D& t : wide) t.pixels.log2Width = 7, t.pixels.log2Height = 6;
  for (Texture2D& t : square) t.pixels.log2Width = t.pixels.log2Height = 7;
  std::uint16_t two = 2;
  const std::uint16_t none = 0, three = 3;
  const ViewGroup groups[] = {
      {wide, &two, {1, 1, 1, 1}, 10}, {wide, &none, {1, 1, 1, 1}, 10}, {square, &three, {}, 10}};
  GuiViewList view;
  const ViewListCallbacks callbacks{[](std::uint32_t i) { return ViewCall("h", i); },
                                    [](std::uint32_t i) { return ViewCall("l", i); },
                                    [](std::uint32_t i) { return ViewCall("p", i); },
                                    [](std::uint32_t i) { return ViewCall("r", i); }};
  SetupViewList(view, &root, {0, 0, 0, 0}, {0.5f, 0, 0, 0}, {1, 0, 0, 0}, {0.75f, 0, 0, 0},
                {0, 0, 1}, groups, 3, callbacks);
  EXPECT_EQ(view.style, 24u);
  EXPECT_EQ(view.aspect, 2.0f);  // 128 x 64
  AddChildPlane(root, view);

  // 1024 x 512 window: the band is 0.2 high, a thumbnail 0.2 x 0.5 x 2 wide, the gap 0.025.
  const ViewListLayout l = ViewListLayoutOf(view);
  EXPECT_NEAR(l.thumbWidth, 0.2f, 1e-6);
  EXPECT_NEAR(l.gap, 0.025f, 1e-6);
  EXPECT_NEAR(l.start, 0.025f, 1e-6);
  const float end0 = l.start + 2 * l.thumbWidth, start2 = end0 + l.gap;
  const float y = 0.625f;
  const struct {
    float x, y;
    std::int32_t index;
    std::uint32_t inside;
  } cases[] = {
      {l.start, y, 0, 1},
      {std::nextafter(l.start, 0.0f), y, -1, 1},
      {std::nextafter(end0, 0.0f), y, 1, 1},
      {end0, y, -1, 1},  // the group ends before its right end: the gap
      {std::nextafter(start2, 0.0f), y, -1, 1},
      {start2, y, 2, 1},  // the empty group adds no gap
      {start2 + 1.5f * l.thumbWidth, y, 3, 1},
      {1.0f, y, 4, 1},
      {0.5f, l.bandTop, 2, 1},
      {0.5f, std::nextafter(l.bandTop, 0.0f), -1, 1},
      {0.5f, l.bandBottom, 2, 1},
      {0.5f, 0.76f, -1, 0},
  };
  float lx, ly;
  for (const auto& c : cases) {
    EXPECT_EQ(view.ToLocal(c.x, c.y, &lx, &ly), c.inside) << c.x << ", " << c.y;
    EXPECT_EQ(view.hoveredIndex, c.index) << c.x << ", " << c.y;
  }

  // Just left of a group's end is its last thumbnail, whatever the division rounds to.
  for (two = 1; two < 40; ++two) {
    const float end = l.start + static_cast<float>(two) * l.thumbWidth;
    EXPECT_EQ(ViewListIndexAt(view, std::nextafter(end, 0.0f), y), two - 1);
  }
  two = 2;

  view.hoveredIndex = 3;
  view.OnMouseOver(0, 0, 0, 0, 0, 0);
  view.OnMouseButton(kButtonLeft, 0, 0, 0, 0);
  view.OnMouseButton(kButtonLeft | kButtonRight, 0, 0, 0, 0);
  view.OnMouseButton(0, 0, 0, 0, 0);
  EXPECT_EQ(view.highlight, 1u);
  view.OnMouseLeave(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(view.highlight, 0u);
  view.OnMouseDrag(kButtonLeft, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ(view.highlight, 1u);
  EXPECT_EQ(gViewCalls, "h3 p3 r3 l3 ");

  // The aspect follows the first group; groups past the capacity are left out with a line.
  UpdateViewListAspect(view);
  EXPECT_EQ(view.aspect, 2.0f);
  std::ostringstream log;
  SessionLogSetStream(&log);
  ViewGroup many[kViewGroupCapacity + 2];
  for (ViewGroup& g : many) g = groups[2];
  SetupViewList(view, &root, {}, {}, {}, {}, {0, 0, 0}, many, kViewGroupCapacity + 2, {});
  EXPECT_EQ(view.groupCount, kViewGroupCapacity);
  EXPECT_EQ(view.aspect, 1.0f);
  EXPECT_EQ(log.str(), "View list: 66 groups given, the last 2 left out\n");
  SetupViewList(view, &root, {}, {}, {}, {}, {0, 0, 0}, many, kViewGroupCapacity, {});
  EXPECT_EQ(log.str(), "View list: 66 groups given, the last 2 left out\n");
  SessionLogClose();
  SetupViewList(view, &root, {0, 0, 0, 0}, {0.5f, 0, 0, 0}, {1, 0, 0, 0}, {0.75f, 0, 0, 0},
                {0, 0, 0}, nullptr, 0, {});
  EXPECT_EQ(view.aspect, 1.0f);
  EXPECT_EQ(view.ToLocal(0.5f, 0.5f, &lx, &ly), 1u);
  EXPECT_EQ(view.hoveredIndex, -1);
}

TEST(Slider, SnapsToStepsWithinTheTrack) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float fraction, step, snapped;
  } cases[] = {
      {0.3125f, 0.125f, 0.25f},  // q = 2.5: halves go down
      {0.32f, 0.125f, 0.375f},  {0.0625f, 0.125f, 0.0f}, {0.0626f, 0.125f, 0.125f},
      {1.0f, 0.35f, 1.0f},  // q = 2.857 would give 1.05
      {0.6f, 0.35f, 0.7f},      {0.5f, 1e-5f, 0.5f},     {0.5f, 1.1e-5f, 0.500005f},
      {-0.2f, 0.125f, 0.0f},    {1.2f, 0.0f, 1.0f},      {nan, 0.125f, 0.0f},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(SliderSnap(c.fraction, c.step), c.snapped, 1e-6) << c.fraction << " " << c.step;
}

int gChanges = 0;
void Changed(float) { ++gChanges; }

// A 4 x 4 thumb whose second column is opaque (alpha below 4) but for its top texel.
struct ThumbImage {
  ThumbImage() {
    Texture2DResizeWH(image, 4, 2, 2);
    for (std::uint32_t i = 0; i < 16; ++i)
      TexelAddress(image, i % 4, i / 4)[3] = i == 1 ? 255 : i % 4 == 1 ? 3 : 4;
  }
  Texture2D image;
};

TEST_F(ChoiceWidgetTest, SliderThumbsDragWithTheirGrabOffsetAndSnap) {
  GuiPlane root;
  MakeRoot(root);
  ThumbImage thumb;
  GuiSlider owner, slider;
  owner.thumbTexture = &thumb.image;
  float value = 5.0f;
  // 100..300 x 50..82 pixels of the 1024 x 512 window; the thumb 16 x 32 around (200, 66).
  ShareSliderImages(slider, &root, {0, 0, 100, 0}, {0, 0, 50, 0}, {0, 0, 300, 0}, {0, 0, 82, 0},
                    owner, {&value, 0.0f, 10.0f, 0.0f, Changed});
  EXPECT_EQ(slider.style, 24u);
  EXPECT_EQ(slider.ownsTextures, 0u);
  AddChildPlane(root, slider);
  auto pointer = [](float px, float py) { MousePoint = {px / 1024, py / 512}; };
  auto press = [&](std::uint32_t buttons, float px, float py) {
    pointer(px, py);
    slider.OnMouseButton(buttons, 0, MousePoint.x, MousePoint.y, 0);
  };
  auto drag = [&](std::uint32_t buttons, float px) {
    pointer(px, 400);  // the height plays no part
    slider.OnMouseDrag(buttons, 0, MousePoint.x, MousePoint.y, 0, 0, 0);
  };
  press(kButtonLeft, 193, 66);  // texel column 0: not opaque enough
  EXPECT_EQ(slider.dragging, 0u);
  press(kButtonRight, 197, 66);
  EXPECT_EQ(slider.dragging, 0u);
  press(kButtonLeft | kButtonRight, 197, 66);  // column 1, 3 pixels left of the centre
  EXPECT_EQ(slider.dragging, 1u);
  EXPECT_NEAR(slider.grabOffset * 1024, 3.0f, 1e-3);

  gChanges = 0;
  const struct {
    std::uint32_t buttons;
    float px, step, before, after;
    int changes;
  } drags[] = {
      {kButtonLeft, 247, 0, 5.0f, 7.5f, 1},     // the offset is kept: (250 - 100) / 200
      {kButtonLeft, 247, 0, 7.5004f, 7.5f, 0},  // a change of 0.0004 is written, not reported
      {kButtonLeft, 247, 0, 7.5006f, 7.5f, 1},
      {kButtonLeft, 253, 0.1f, 7.5f, 8.0f, 1},   // 0.78 snaps to 0.8
      {kButtonLeft, 500, 0.1f, 8.0f, 10.0f, 1},  // past the end
      {kButtonLeft, 0, 0.35f, 10.0f, 0.0f, 1},
      {kButtonLeft, 299, 0.35f, 0.0f, 10.0f, 1},  // 1.05 held at the maximum
      {kButtonRight, 200, 0, 10.0f, 10.0f, 0},    // ends the drag
      {kButtonLeft, 200, 0, 10.0f, 10.0f, 0},
  };
  for (const auto& d : drags) {
    value = d.before;
    slider.step = d.step;
    gChanges = 0;
    drag(d.buttons, d.px);
    EXPECT_NEAR(value, d.after, 1e-4) << d.px << " " << d.step;
    EXPECT_EQ(gChanges, d.changes) << d.px << " " << d.step;
  }
  EXPECT_EQ(slider.dragging, 0u);

  // Hits: the track widened by half a thumb, where the thumb's middle column is opaque.
  float lx, ly;
  const struct {
    float px, py;
    std::uint32_t inside;
  } hits[] = {{308, 66, 1},   {308.1f, 66, 0}, {92, 60, 1},
              {91.9f, 60, 0}, {200, 55, 0},  // the top texel row is transparent
              {200, 82, 1},   {200, 82.1f, 0}};
  for (const auto& h : hits)
    EXPECT_EQ(slider.ToLocal(h.px / 1024, h.py / 512, &lx, &ly), h.inside) << h.px << "," << h.py;

  // Without a variable the slider never drags; an empty range gives the minimum.
  slider.value = nullptr;
  press(kButtonLeft, 197, 66);
  EXPECT_EQ(slider.dragging, 0u);
  ShareSliderImages(slider, &root, {0, 0, 100, 0}, {0, 0, 50, 0}, {0, 0, 300, 0}, {0, 0, 82, 0},
                    owner, {&value, 4.0f, 4.0f, 1.0f, nullptr});
  value = 4.0f;
  EXPECT_EQ(SliderFraction(slider, value), 0.0f);
  press(kButtonLeft, 97, 66);
  ASSERT_EQ(slider.dragging, 1u);
  drag(kButtonLeft, 250);
  EXPECT_EQ(value, 4.0f);
  EXPECT_EQ(slider.step, 0.0f);
}

std::uint32_t gAnswer = 0;
std::string gAsked;
std::uint32_t AskCheck() { return gAsked += "c", gAnswer; }
std::uint32_t AskUncheck() { return gAsked += "u", gAnswer; }

TEST_F(ChoiceWidgetTest, CheckBoxesFlipOnlyWhenTheirCallbackAgrees) {
  GuiCheckBox box;
  std::uint32_t bound = 7;
  box.boundValue = &bound;
  const struct {
    std::uint32_t buttons, answer, checkedBefore;
    bool hasCallbacks;
    const char* asked;
    std::uint32_t checked, bound;
  } cases[] = {
      {kButtonLeft, 0, 0, true, "c", 0, 7},
      {kButtonLeft, 1, 0, true, "c", 1, 1},
      {kButtonLeft, 1, 1, true, "u", 0, 0},
      {kButtonLeft, 0, 1, true, "u", 1, 0},
      {kButtonRight, 1, 0, true, "", 0, 0},
      {kButtonLeft | kButtonMiddle, 1, 0, true, "", 0, 0},
      {0, 1, 0, true, "", 0, 0},
      {kButtonLeft, 1, 0, false, "", 0, 0},
  };
  for (const auto& c : cases) {
    gAsked.clear();
    gAnswer = c.answer;
    box.checked = c.checkedBefore;
    box.onCheck = c.hasCallbacks ? AskCheck : nullptr;
    box.onUncheck = c.hasCallbacks ? AskUncheck : nullptr;
    box.highlighted = 0;
    box.popupVisible = 1;
    box.OnMouseButton(c.buttons, 0, 0, 0, 0);
    EXPECT_EQ(gAsked, c.asked) << c.buttons << " " << c.checkedBefore;
    EXPECT_EQ(box.checked, c.checked) << c.buttons << " " << c.checkedBefore;
    EXPECT_EQ(bound, c.bound) << c.buttons << " " << c.checkedBefore;
    EXPECT_EQ(box.highlighted, 1u);
    EXPECT_EQ(box.popupVisible, 0u);
  }
  gAsked.clear();
  box.onCheck = AskCheck;
  SetCheckValue(box, 1);
  EXPECT_EQ(box.checked + bound, 2u);
  EXPECT_EQ(gAsked, "");
  box.OnMouseLeave(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(box.highlighted, 0u);
  box.OnMouseOver(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(box.highlighted + box.over, 2u);
}

std::string Glyphs(float value, std::uint32_t decimals) {
  std::uint8_t glyphs[kNumberGlyphCapacity];
  const std::uint32_t n = NumberGlyphs(value, decimals, glyphs);
  std::string text;
  for (std::uint32_t i = 0; i < n; ++i) text += "0123456789-."[glyphs[i]];
  return text;
}

TEST(NumberLabel, GlyphsTruncateAndStayInTheUnsignedRange) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    std::uint32_t decimals;
    const char* glyphs;
  } cases[] = {
      {-3.5f, 1, "-3.5"},
      {0.0f, 0, "0"},
      {-0.0f, 0, "0"},
      {0.25f, 2, "0.25"},
      {2.678f, 2, "2.67"},
      {12.5f, 1, "12.5"},
      {0.7f, 1, "0.7"},
      {59.9f, 1, "59.9"},
      {1234567.0f, 0, "1234567"},
      {4294967040.0f, 0, "4294967040"},  // the largest float below 2^32
      {4294967296.0f, 1, "4294967295.0"},
      {5e9f, 0, "4294967295"},
      {-5e9f, 0, "-4294967295"},
      {inf, 0, "4294967295"},
      {std::numeric_limits<float>::quiet_NaN(), 1, "0.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Glyphs(c.value, c.decimals), c.glyphs) << c.value;
  EXPECT_EQ(Glyphs(-1.5f, 40), "-1.5" + std::string(28, '0'));  // 32 glyphs at most
}

TEST(NumberLabel, AGlyphBitmapTooLargeIsReported) {
  TextFont* font = TextFontOpen("arial", 13, false, false);  // 10 points
  std::uint32_t widest = 0, height = 0;
  for (const char c : std::string("0123456789-.")) {
    const TextExtent e = TextMeasure(font, std::string(1, c).c_str());
    widest = std::max(widest, e.width), height = e.height;
  }
  TextFontClose(font);
  // 12 cells of 1366 pixels are 16392 wide, past the largest surface.
  const std::uint32_t padding = 1366 - widest;
  GdiTextImage image;
  EXPECT_FATAL(RenderTextImage(image, "arial", 10, "", padding),
               "Cannot create the glyph bitmap : 'arial' 10 points, 16392 x " +
                   std::to_string(height + padding / 2));
}

}  // namespace
}  // namespace veskor
