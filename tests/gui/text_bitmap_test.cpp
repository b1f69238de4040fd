#include "gui/text_bitmap.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/text_markup.h"
#include "platform/text_raster.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

constexpr std::uint32_t kWidth = 256, kHeight = 128;

// The text bitmap of the tests: 256 x 128, "arial" at 10 points (13 pixels).
struct Bitmap {
  Bitmap() {
    Texture2DResizeWH(texture, 1, 8, 7);
    EXPECT_EQ(CreateTextBitmap(b, &texture), 1u);
    SetTextFont(b, "arial");
    SetTextSize(b, 10);
  }
  std::uint8_t Texel(std::uint32_t x, std::uint32_t y) const {
    return static_cast<const std::uint8_t*>(texture.pixels.data)[y * kWidth + x];
  }
  Texture2D texture;
  TextBitmap b;
};

// The same runs drawn straight onto a surface with explicitly chosen fonts.
struct Reference {
  Reference() : surface(TextSurfaceCreate(kWidth, kHeight), TextSurfaceDestroy) {}
  TextExtent Run(const char* text, std::uint32_t px, std::uint32_t style, std::int64_t x,
                 std::int64_t y, std::uint8_t ink = 255, std::uint8_t paper = 0) {
    TextFont* f = TextFontOpen("arial", px, style & kTextBold, style & kTextItalic);
    const TextExtent e = TextDraw(surface.get(), f, x, y, text, ink, paper);
    TextFontClose(f);
    return e;
  }
  std::unique_ptr<TextSurface, void (*)(TextSurface*)> surface;
};

int Differences(const TextSurface* a, const TextSurface* b) {
  int n = 0;
  for (std::uint32_t y = 0; y < kHeight; ++y)
    for (std::uint32_t x = 0; x < kWidth; ++x)
      n += TextSurfacePixel(a, x, y) != TextSurfacePixel(b, x, y);
  return n;
}

TEST(TextBitmap, MarkupDrawsEachRunInItsFaceSizeAndPlace) {
  const struct {
    const char* text;
    std::uint32_t x;
    std::function<void(Reference&)> draw;  // the runs at (x, 10)
    float ink = 1.0f, paper = 0.0f;
  } cases[] = {
      {"a\\bb\\ic", 5,
       [](Reference& r) {
         const auto a = r.Run("a", 13, 0, 5, 10);
         const auto b = r.Run("b", 13, kTextBold, 5 + a.width, 10);
         r.Run("c", 13, kTextBold | kTextItalic, 5 + a.width + b.width, 10);
       }},
      {"A\\nB", 5,
       [](Reference& r) {
         const auto a = r.Run("A", 13, 0, 5, 10);
         r.Run("B", 13, 0, 5, 10 + a.height + 4);
       }},
      {"A\\n\\nB", 5,
       [](Reference& r) {
         const auto a = r.Run("A", 13, 0, 5, 10);
         r.Run("B", 13, 0, 5, 10 + a.height + 8);
       }},
      {"\\3X", 100, [](Reference& r) { r.Run("X", 13, 0, 192, 10); }},
      {"\\>\\>X\\<Y", 5,
       [](Reference& r) {  // 14 and 12 points: 19 and 16 pixels
         const auto x = r.Run("X", 19, 0, 5, 10);
         r.Run("Y", 16, 0, 5 + x.width, 10);
       }},
      {"\\%a\\bc", 5, [](Reference& r) { r.Run("a\\bc", 13, 0, 5, 10); }},
      {"\\gx\\qy", 5,
       [](Reference& r) { r.Run("qy", 13, 0, 5 + r.Run("x", 13, 0, 5, 10, 127).width, 10); }},
      {"W\\gW", 5,
       [](Reference& r) { r.Run("W", 13, 0, 5 + r.Run("W", 13, 0, 5, 10).width, 10, 127); }},
      {"\\iL", 5, [](Reference& r) { r.Run("L", 13, kTextItalic, 5, 10, 255, 63); }, 2.0f, 0.25f},
  };
  for (const auto& c : cases) {
    Bitmap bm;
    bm.b.textLevel = c.ink;
    bm.b.backgroundLevel = c.paper;
    Reference ref;
    c.draw(ref);
    std::uint32_t w = 0, h = 0;
    DrawMarkupText(bm.b, c.x, 10, c.text, &w, &h);
    EXPECT_EQ(Differences(bm.b.surface, ref.surface.get()), 0) << c.text;
    EXPECT_EQ(bm.b.size, 10u) << c.text;
    EXPECT_LT(w, kWidth) << c.text;
  }
}

TEST(TextBitmap, MarkupExtentSpansAllLines) {
  Bitmap bm;
  std::uint32_t w, h, wa, ha, wb, hb;
  MeasureTextRun(bm.b, 0, 0, "Long line", &wa, &ha);
  MeasureTextRun(bm.b, 0, 0, "B", &wb, &hb);
  DrawMarkupText(bm.b, 7, 3, "Long line\\nB", &w, &h);
  EXPECT_EQ(w, wa);
  EXPECT_EQ(h, ha + 4 + hb);
  EXPECT_EQ(bm.b.penX, 7 + wb);
  EXPECT_EQ(MeasureTextRun(bm.b, 0, 0, "B", &wb, &hb), wb | hb << 16);
  // A column left of the margin gives the width of what lies right of the margin.
  DrawMarkupText(bm.b, 200, 0, "\\0ab", &w, &h);
  EXPECT_EQ(w, 0u);
  // A trailing code changes nothing; the style set inside a text stays after it.
  DrawMarkupText(bm.b, 0, 0, "ab\\b", &w, &h);
  EXPECT_EQ(bm.b.style, 0u);
  DrawMarkupText(bm.b, 0, 0, "\\bab", &w, &h);
  EXPECT_EQ(bm.b.style, kTextBold);
}

TEST(TextBitmap, ChangedRectangleStaysInsideAndIsAllThatIsCopied) {
  Bitmap bm;
  std::fill_n(static_cast<std::uint8_t*>(bm.texture.pixels.data), kWidth * kHeight, 99);
  std::uint32_t w, h;
  DrawTextRun(bm.b, 240, 20, "WWWW", &w, &h);
  EXPECT_EQ(bm.b.firstX, 240u);
  EXPECT_EQ(bm.b.lastX, kWidth - 1);
  EXPECT_EQ(bm.b.lastY, 20 + h);
  EXPECT_EQ(bm.texture.state.dirty, 1u);
  FlushTextBitmap(bm.b);
  for (std::uint32_t y = 0; y < kHeight; ++y)
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      const bool inside = x >= 240 && y >= 20 && y <= 20 + h;
      ASSERT_EQ(bm.Texel(x, y), inside ? TextSurfacePixel(bm.b.surface, x, y) : 99)
          << x << "," << y;
    }
  DrawTextRun(bm.b, 100, kHeight - 4, "g", &w, &h);
  EXPECT_EQ(bm.b.firstX, 100u);
  EXPECT_EQ(bm.b.lastY, kHeight - 1);
}

TEST(TextBitmap, FillsAndErasesCoverTheirWholeRectangles) {
  Bitmap bm;
  bm.b.textLevel = 0.5f;
  FillTextRect(bm.b, 2, 3, 10, 11);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 10, 11), 127);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 11, 11), 0);
  DrawTextPolyline(bm.b, 1, 20, 20, 30, 25);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 20, 20), 127);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 30, 25), 127);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 25, 22), 0);
  EXPECT_EQ(bm.b.lastX, 30u);
  bm.b.backgroundLevel = 0.25f;
  EraseTextRect(bm.b, 10, 11, 10, 11);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 10, 11), 63);
  EraseTextBitmap(bm.b);
  for (std::uint32_t y = 3; y <= 25; ++y)
    for (std::uint32_t x = 2; x <= 30; ++x) ASSERT_EQ(TextSurfacePixel(bm.b.surface, x, y), 63);
  EXPECT_EQ(bm.b.penX + bm.b.penY + bm.b.lastHeight, 0u);
  BlackenTextBitmap(bm.b);
  EXPECT_EQ(TextSurfacePixel(bm.b.surface, 2, 3), 0);
  EXPECT_EQ(bm.b.changed, 1u);
}

TEST(TextBitmap, CreationZeroesTheTextureAndNeedsASizeItCanMake) {
  Texture2D texture;
  Texture2DResizeWH(texture, 1, 3, 3);
  std::fill_n(static_cast<std::uint8_t*>(texture.pixels.data), 64, 5);
  TextBitmap b;
  EXPECT_EQ(CreateTextBitmap(b, &texture), 1u);
  EXPECT_EQ(static_cast<std::uint8_t*>(texture.pixels.data)[63], 0);
  EXPECT_EQ(TextSurfaceWidth(b.surface), 8u);
  EXPECT_EQ(CreateTextBitmap(b, nullptr), 1u);
  EXPECT_EQ(b.surface, nullptr);
  std::uint32_t w = 0, h = 0;
  SetTextFont(b, "arial");
  DrawTextRun(b, 0, 0, "ok", &w, &h);  // measured, drawn nowhere
  EXPECT_GT(w, 0u);
  EXPECT_EQ(b.changed, 0u);
  Texture2D huge;
  huge.pixels.log2Width = 15;
  EXPECT_EQ(CreateTextBitmap(b, &huge), 0u);
  ClearTextBitmap(b, 0);
  EXPECT_EQ(b.texture, nullptr);
  EXPECT_EQ(b.size, 0u);
}

TEST(TextBitmap, EmptyFaceNamesDrawWithTheDefaultFontAndCreateNone) {
  Bitmap bm;
  SetTextFont(bm.b, "");
  std::uint32_t w, h;
  DrawTextRun(bm.b, 0, 0, "I", &w, &h);
  EXPECT_EQ(bm.b.font, nullptr);
  EXPECT_GT(w, 0u);
  // Long face names are cut, never copied past the field.
  const std::string longName(80, 'n');
  SetTextFont(bm.b, longName.c_str());
  EXPECT_EQ(std::string(bm.b.faceName), longName.substr(0, kTextFaceNameCapacity - 1));
  SetTextFont(bm.b, "arial");
  SelectTextFont(bm.b);
  ASSERT_NE(bm.b.font, nullptr);
  SetTextStyle(bm.b, kTextBold);
  EXPECT_EQ(bm.b.font, nullptr);
}

TEST(TextBitmap, LongMarkedUpTextsStayWithinTheirTables) {
  Bitmap bm;
  std::string text;
  for (int i = 0; i < 60; ++i) text += std::string(40, 'a' + i % 26) + "\\>\\n";
  text += std::string(1000, 'z');
  DrawMarkupTextAt(bm.b, 0, 0, text.c_str());
  EXPECT_EQ(TextMarkup.pieceCount, kMarkupPieceCapacity);
  EXPECT_EQ(bm.b.size, 10u);
}

TEST(TextBitmapDeath, MissingFontsNameTheFontAndTheCause) {
  Bitmap bm;
  SetTextStyle(bm.b, kTextBold);
  EXPECT_FATAL(
      {
        TextRasterSetFontDirectories("/nonexistent", "/nonexistent");
        SelectTextFont(bm.b);
      },
      "Font Error ! 'arial' 10 points bold: font 'arial' bold: "
      "/nonexistent/LiberationSans-Bold.ttf not found, and no sans face opens under /nonexistent");
}

}  // namespace
}  // namespace veskor
