#include "platform/text_raster.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace veskor {
namespace {

constexpr const char* kLiberation = "/usr/share/fonts/truetype/liberation2";

struct SurfaceDeleter {
  void operator()(TextSurface* s) const { TextSurfaceDestroy(s); }
};
struct FontDeleter {
  void operator()(TextFont* f) const { TextFontClose(f); }
};
using Surface = std::unique_ptr<TextSurface, SurfaceDeleter>;
using Font = std::unique_ptr<TextFont, FontDeleter>;

Surface MakeSurface(std::uint32_t w, std::uint32_t h) { return Surface(TextSurfaceCreate(w, h)); }
Font OpenFont(const char* face, std::uint32_t px, bool bold = false, bool italic = false) {
  return Font(TextFontOpen(face, px, bold, italic));
}

std::string BaseName(const char* path) {
  const std::string s = path;
  return s.substr(s.rfind('/') + 1);
}

std::vector<std::uint8_t> Pixels(const TextSurface* s) {
  std::vector<std::uint8_t> v;
  for (std::uint32_t y = 0; y < TextSurfaceHeight(s); ++y)
    for (std::uint32_t x = 0; x < TextSurfaceWidth(s); ++x) v.push_back(TextSurfacePixel(s, x, y));
  return v;
}

TEST(TextRaster, SurfaceSizesAreBoundedBothWays) {
  EXPECT_EQ(TextSurfaceCreate(0, 4), nullptr);
  EXPECT_EQ(TextSurfaceCreate(kTextSurfaceMaxSide + 1, 1), nullptr);
  Surface s = MakeSurface(kTextSurfaceMaxSide, 1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(TextSurfacePixel(s.get(), kTextSurfaceMaxSide - 1, 0), 0);
  EXPECT_EQ(TextSurfaceRow(s.get(), 1), nullptr);
}

TEST(TextRaster, FillAndPolylineStayInsideTheSurface) {
  Surface s = MakeSurface(8, 8);
  TextSurfaceFill(s.get(), -4, 6, 100, 100, 9);  // rows 6 and 7
  int filled = 0;
  for (std::uint8_t p : Pixels(s.get())) filled += p == 9;
  EXPECT_EQ(filled, 16);

  // The outline of (1, 1)-(5, 4) with the start repeated one row up: every border pixel once.
  Surface o = MakeSurface(8, 8);
  const std::int64_t outline[10] = {1, 1, 5, 1, 5, 4, 1, 4, 1, 0};
  TextSurfacePolyline(o.get(), outline, 5, 1, 200);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool border =
          x >= 1 && x <= 5 && y >= 1 && y <= 4 && (x == 1 || x == 5 || y == 1 || y == 4);
      EXPECT_EQ(TextSurfacePixel(o.get(), x, y), border ? 200 : 0) << x << "," << y;
    }
  // Open lines leave out their last point.
  Surface l = MakeSurface(8, 8);
  const std::int64_t across[4] = {6, 6, 1, 6}, down[4] = {7, 1, 7, 5};
  TextSurfacePolyline(l.get(), across, 2, 1, 3);
  TextSurfacePolyline(l.get(), down, 2, 1, 3);
  EXPECT_EQ(TextSurfacePixel(l.get(), 1, 6), 0);
  EXPECT_EQ(TextSurfacePixel(l.get(), 2, 6), 3);
  EXPECT_EQ(TextSurfacePixel(l.get(), 6, 6), 3);
  EXPECT_EQ(TextSurfacePixel(l.get(), 7, 5), 0);
  EXPECT_EQ(TextSurfacePixel(l.get(), 7, 4), 3);
  // A three-pixel pen widens it by one on each side.
  Surface t = MakeSurface(10, 10);
  const std::int64_t square[10] = {1, 1, 7, 1, 7, 7, 1, 7, 1, 0};
  TextSurfacePolyline(t.get(), square, 5, 3, 1);
  EXPECT_EQ(TextSurfacePixel(t.get(), 0, 0), 1);
  EXPECT_EQ(TextSurfacePixel(t.get(), 8, 8), 1);
  EXPECT_EQ(TextSurfacePixel(t.get(), 9, 9), 0);
  EXPECT_EQ(TextSurfacePixel(t.get(), 3, 3), 0);
  // A line spanning a trillion pixels is drawn over the surface's width only.
  Surface d = MakeSurface(16, 4);
  const std::int64_t far[4] = {-1000000000000, 0, 1000000000000, 2};
  TextSurfacePolyline(d.get(), far, 2, 1, 5);
  int drawn = 0;
  for (std::uint8_t p : Pixels(d.get())) drawn += p == 5;
  EXPECT_EQ(drawn, 16);
}

TEST(TextRaster, FaceNamesMapToTheLiberationFiles) {
  const struct {
    const char* face;
    bool bold, italic;
    const char* file;
  } cases[] = {{"arial", false, false, "LiberationSans-Regular.ttf"},
               {"Arial", true, false, "LiberationSans-Bold.ttf"},
               {"arial", false, true, "LiberationSans-Italic.ttf"},
               {"Times New Roman", true, true, "LiberationSerif-BoldItalic.ttf"}};
  for (const auto& c : cases) {
    Font f = OpenFont(c.face, 13, c.bold, c.italic);
    ASSERT_NE(f, nullptr) << TextRasterError();
    EXPECT_EQ(BaseName(TextFontFile(f.get())), c.file);
    EXPECT_STREQ(TextFontFallbackNote(f.get()), "");
  }
}

TEST(TextRaster, MissingFacesFallBackToASansFaceWithTheCause) {
  TextRasterSetFontDirectories("/nonexistent", kLiberation);
  Font bold = OpenFont("arial", 13, true, false);
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(BaseName(TextFontFile(bold.get())), "LiberationSans-Bold.ttf");
  const std::string note = TextFontFallbackNote(bold.get());
  EXPECT_NE(note.find("font 'arial' bold: /nonexistent/LiberationSans-Bold.ttf not found"),
            std::string::npos)
      << note;
  TextRasterSetFontDirectories(nullptr, nullptr);
  Font unknown = OpenFont("no such face", 13);
  ASSERT_NE(unknown, nullptr);
  EXPECT_NE(std::string(TextFontFallbackNote(unknown.get())).find("no face file is known"),
            std::string::npos);
  TextRasterSetFontDirectories("/nonexistent", "/nonexistent");
  EXPECT_EQ(OpenFont("arial", 13), nullptr);
  EXPECT_NE(std::string(TextRasterError()).find("no sans face opens under /nonexistent"),
            std::string::npos);
  TextRasterSetFontDirectories(nullptr, nullptr);
}

TEST(TextRaster, ExtentsFollowTheFontMetricsAndTabStops) {
  Font f = OpenFont("arial", 13);
  // Liberation Sans: ascent 1854 and descent 434 of 2048 units, rounded up at 13 pixels.
  EXPECT_EQ(TextMeasure(f.get(), "x").height, 12u + 3u);
  EXPECT_EQ(TextMeasure(f.get(), "").width, 0u);
  EXPECT_EQ(TextMeasure(f.get(), "").height, 0u);
  const std::uint32_t tab = TextMeasure(f.get(), "\t").width;
  EXPECT_GT(tab, TextMeasure(f.get(), "W").width);
  EXPECT_EQ(TextMeasure(f.get(), "W\tW").width, tab + TextMeasure(f.get(), "W").width);
  EXPECT_EQ(TextMeasure(f.get(), "\t\t").width, 2 * tab);
  // Code page 1252: e acute and the euro sign take the advances of e and a digit.
  EXPECT_EQ(TextMeasure(f.get(), "\xE9").width, TextMeasure(f.get(), "e").width);
  EXPECT_EQ(TextMeasure(f.get(), "\x80").width, TextMeasure(f.get(), "0").width);
  // Sizes are clamped to 1..kTextFontMaxPixels.
  Font huge = OpenFont("arial", 50000), largest = OpenFont("arial", kTextFontMaxPixels);
  EXPECT_EQ(TextMeasure(huge.get(), "H").width, TextMeasure(largest.get(), "H").width);
  Font zero = OpenFont("arial", 0);
  ASSERT_NE(zero, nullptr);
  EXPECT_GT(TextMeasure(zero.get(), "H").height, 0u);
}

TEST(TextRaster, DrawFillsTheBoxAndClipsGlyphsAtEveryEdge) {
  Font f = OpenFont("arial", 20, true, true);
  Surface s = MakeSurface(64, 32);
  TextSurfaceFill(s.get(), 0, 0, 64, 32, 7);
  const TextExtent e = TextDraw(s.get(), f.get(), 4, 3, "Wg", 250, 20);
  int ink = 0, beyond = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t p = TextSurfacePixel(s.get(), x, y);
      const bool inBox = x >= 4 && x < 4 + int(e.width) && y >= 3 && y < 3 + int(e.height);
      ink += p == 250;
      if (!inBox && p != 7) ++beyond;  // only italic overhang may leave the box
      if (inBox) {
        EXPECT_GE(p, 20);
      }
    }
  EXPECT_GT(ink, 10);
  EXPECT_LT(beyond, 12);

  // Drawn across each corner of a small surface, the glyphs are those of a large surface,
  // shifted and cut.
  Surface big = MakeSurface(96, 96);
  TextDraw(big.get(), f.get(), 30, 30, "Wg", 255, 0);
  for (const auto& at : {std::pair{-6, -5}, std::pair{14, 10}}) {
    Surface small = MakeSurface(24, 20);
    TextDraw(small.get(), f.get(), at.first, at.second, "Wg", 255, 0);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 24; ++x)
        ASSERT_EQ(TextSurfacePixel(small.get(), x, y),
                  TextSurfacePixel(big.get(), x - at.first + 30, y - at.second + 30))
            << at.first << ": " << x << "," << y;
  }
  EXPECT_EQ(TextDraw(nullptr, f.get(), 0, 0, "Wg", 255, 0).width, e.width);
}

}  // namespace
}  // namespace veskor
