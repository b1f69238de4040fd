// The drawing surface of the resource tools: a colour picture with an opacity per pixel, painted
// with anti-aliased shapes given as signed distance functions and with words drawn through the
// program's own text rasteriser (FreeType over the Liberation faces), then written as PNG files:
// the colour as RGB, the opacity as the grey mask image the interface loaders pair with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veskor::tools {

struct Rgb {
  float r = 0, g = 0, b = 0;  // 0..1
};
Rgb Mix(Rgb a, Rgb b, float t);
// A colour given as 0..255 values.
constexpr Rgb Rgb8(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

// Signed distance in pixels from (x, y) to a shape's outline: negative inside.
using Sdf = std::function<float(float x, float y)>;
using ColourAt = std::function<Rgb(float x, float y)>;

Sdf Disc(float cx, float cy, float radius);
Sdf Ring(float cx, float cy, float radius, float width);
Sdf RoundRect(float x0, float y0, float x1, float y1, float radius);
Sdf Segment(float x0, float y0, float x1, float y1, float width);
Sdf Polygon(std::vector<float> xy);  // x, y pairs, either winding
Sdf Union(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);

// Levels 0..1 of a word or any other coverage, `width` x `height`.
struct Coverage {
  std::uint32_t width = 0, height = 0;
  std::vector<float> level;
  float At(std::int64_t x, std::int64_t y) const;
};

// A run of text in code page 1252 (see Cp1252) at `pixels` em height in "arial" (Liberation
// Sans); the coverage is the run's extent. Ends the tool with a message when the face is
// missing.
Coverage TextCoverage(const std::string& text, std::uint32_t pixels, bool bold);
// The largest size from `pixels` down to `minPixels` whose run is at most `maxWidth` wide;
// ends the tool with a message when even the smallest is wider.
std::uint32_t FitTextPixels(const std::string& text, std::uint32_t maxWidth, std::uint32_t pixels,
                            std::uint32_t minPixels, bool bold);
// The coverage grown by `radius` pixels on every side (a halo), and blurred with `passes` box
// filters of that radius.
Coverage Dilate(const Coverage& c, int radius);
Coverage Blur(const Coverage& c, int radius, int passes);

// UTF-8 (as written in the tools' sources) to code page 1252; only the Latin-1 letters are
// known, anything else ends the tool with a message.
std::string Cp1252(const char* utf8);

class Canvas {
 public:
  Canvas(std::uint32_t width, std::uint32_t height, Rgb background);
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

  // Lays `colour` over the shape with its coverage times `alpha`; the pixels' opacity rises by
  // the coverage times `opacity` (what the mask image will say).
  void Paint(const Sdf& shape, const ColourAt& colour, float alpha = 1, float opacity = 1);
  void Paint(const Sdf& shape, Rgb colour, float alpha = 1, float opacity = 1);
  // The same with a coverage placed with its top-left at (x, y).
  void Paint(const Coverage& c, std::int64_t x, std::int64_t y, Rgb colour, float alpha = 1,
             float opacity = 1);
  // Text centred on (cx, cy); returns its left x.
  std::int64_t PaintTextCentred(const std::string& text, std::uint32_t pixels, bool bold, float cx,
                                float cy, Rgb colour, float opacity = 1);
  void Fill(const ColourAt& colour, float opacity);

  Rgb Colour(std::uint32_t x, std::uint32_t y) const;
  float Opacity(std::uint32_t x, std::uint32_t y) const { return opacity_[y * width_ + x]; }

  // PNG files: the colour as 8-bit RGB; the mask as 8-bit grey, black where opaque (255 minus
  // the opacity), or white where opaque when `whiteOpaque` (the slider thumb's rule).
  void WriteColour(const std::string& path) const;
  void WriteMask(const std::string& path, bool whiteOpaque = false) const;

 private:
  std::uint32_t width_, height_;
  std::vector<Rgb> colour_;
  std::vector<float> opacity_;
};

// Writes 8-bit rows (`channels` 1 grey, 3 RGB, 4 RGBA) as a PNG file with no time or text
// chunks, so the same pixels always give the same bytes. Ends the tool with a message on
// failure.
void WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              std::uint32_t channels, const std::vector<std::uint8_t>& bytes);

// Makes the directory and its parents; ends the tool with a message on failure.
void MakeDirectories(const std::string& path);
[[noreturn]] void ToolFail(const std::string& message);

}  // namespace veskor::tools
