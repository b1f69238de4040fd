#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/text_raster.h"

namespace veskor::tools {

void ToolFail(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::exit(1);
}

void MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) ToolFail("cannot make the directory " + path + ": " + error.message());
}

Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Sdf Disc(float cx, float cy, float radius) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; };
}

Sdf Ring(float cx, float cy, float radius, float width) {
  return [=](float x, float y) {
    return std::fabs(std::hypot(x - cx, y - cy) - radius) - width * 0.5f;
  };
}

Sdf RoundRect(float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
  return [=](float x, float y) {
    const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Sdf Segment(float x0, float y0, float x1, float y1, float width) {
  return [=](float x, float y) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float length2 = dx * dx + dy * dy;
    float t = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - width * 0.5f;
  };
}

Sdf Polygon(std::vector<float> xy) {
  return [xy = std::move(xy)](float x, float y) {
    const std::size_t n = xy.size() / 2;
    float nearest = 1e30f;
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
      const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
      const float dx = xj - xi, dy = yj - yi;
      const float length2 = dx * dx + dy * dy;
      float t = length2 > 0 ? ((x - xi) * dx + (y - yi) * dy) / length2 : 0.0f;
      t = std::clamp(t, 0.0f, 1.0f);
      nearest = std::min(nearest, std::hypot(x - (xi + t * dx), y - (yi + t * dy)));
      if ((yi > y) != (yj > y) && x < xi + (y - yi) * dx / dy) inside = !inside;
    }
    return inside ? -nearest : nearest;
  };
}

Sdf Union(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}
Sdf Intersect(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}
Sdf Subtract(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

float Coverage::At(std::int64_t x, std::int64_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
  return level[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
}

namespace {

struct FontCloser {
  void operator()(TextFont* f) const { TextFontClose(f); }
};
struct SurfaceDestroyer {
  void operator()(TextSurface* s) const { TextSurfaceDestroy(s); }
};

std::unique_ptr<TextFont, FontCloser> OpenFont(std::uint32_t pixels, bool bold) {
  std::unique_ptr<TextFont, FontCloser> font(TextFontOpen("arial", pixels, bold, false));
  if (!font) ToolFail(std::string("no font for the interface words: ") + TextRasterError());
  return font;
}

}  // namespace

Coverage TextCoverage(const std::string& text, std::uint32_t pixels, bool bold) {
  auto font = OpenFont(pixels, bold);
  const TextExtent e = TextMeasure(font.get(), text.c_str());
  Coverage c;
  if (e.width == 0 || e.height == 0) return c;
  std::unique_ptr<TextSurface, SurfaceDestroyer> surface(TextSurfaceCreate(e.width, e.height));
  if (!surface) ToolFail("no memory for a text surface");
  TextDraw(surface.get(), font.get(), 0, 0, text.c_str(), 255, 0);
  c.width = e.width;
  c.height = e.height;
  c.level.resize(std::size_t{e.width} * e.height);
  for (std::uint32_t y = 0; y < e.height; ++y) {
    const std::uint8_t* row = TextSurfaceRow(surface.get(), y);
    for (std::uint32_t x = 0; x < e.width; ++x) c.level[y * e.width + x] = row[x] / 255.0f;
  }
  return c;
}

std::uint32_t FitTextPixels(const std::string& text, std::uint32_t maxWidth, std::uint32_t pixels,
                            std::uint32_t minPixels, bool bold) {
  for (std::uint32_t p = pixels; p >= minPixels && p > 0; --p)
    if (TextMeasure(OpenFont(p, bold).get(), text.c_str()).width <= maxWidth) return p;
  ToolFail("the word \"" + text + "\" does not fit " + std::to_string(maxWidth) + " pixels");
}

Coverage Dilate(const Coverage& c, int radius) {
  Coverage out;
  out.width = c.width + 2 * radius;
  out.height = c.height + 2 * radius;
  out.level.assign(std::size_t{out.width} * out.height, 0.0f);
  for (std::uint32_t y = 0; y < out.height; ++y)
    for (std::uint32_t x = 0; x < out.width; ++x) {
      float m = 0;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
          if (dx * dx + dy * dy <= radius * radius + radius)
            m = std::max(m, c.At(std::int64_t{x} - radius + dx, std::int64_t{y} - radius + dy));
      out.level[y * out.width + x] = m;
    }
  return out;
}

Coverage Blur(const Coverage& c, int radius, int passes) {
  Coverage out = Dilate(c, 0);
  std::vector<float> tmp(out.level.size());
  const float scale = 1.0f / (2 * radius + 1);
  for (int pass = 0; pass < passes; ++pass) {
    for (int axis = 0; axis < 2; ++axis) {
      for (std::uint32_t y = 0; y < out.height; ++y)
        for (std::uint32_t x = 0; x < out.width; ++x) {
          float sum = 0;
          for (int d = -radius; d <= radius; ++d)
            sum += axis == 0 ? out.At(std::int64_t{x} + d, y) : out.At(x, std::int64_t{y} + d);
          tmp[y * out.width + x] = sum * scale;
        }
      out.level.swap(tmp);
    }
  }
  return out;
}

std::string Cp1252(const char* utf8) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p != 0; ++p) {
    if (*p < 0x80) {
      out += static_cast<char>(*p);
    } else if ((*p == 0xC2 && p[1] >= 0xA0 && p[1] <= 0xBF) ||
               (*p == 0xC3 && p[1] >= 0x80 && p[1] <= 0xBF)) {
      // U+00A0..U+00FF: the same byte in code page 1252.
      out += static_cast<char>(((*p & 0x03) << 6) | (p[1] & 0x3F));
      ++p;
    } else {
      ToolFail(std::string("a character outside Latin-1 in \"") + utf8 + "\"");
    }
  }
  return out;
}

Canvas::Canvas(std::uint32_t width, std::uint32_t height, Rgb background)
    : width_(width),
      height_(height),
      colour_(std::size_t{width} * height, background),
      opacity_(std::size_t{width} * height, 0.0f) {}

void Canvas::Paint(const Sdf& shape, const ColourAt& colour, float alpha, float opacity) {
  for (std::uint32_t y = 0; y < height_; ++y)
    for (std::uint32_t x = 0; x < width_; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float cover = std::clamp(0.5f - shape(px, py), 0.0f, 1.0f);
      if (cover <= 0) continue;
      const std::size_t i = std::size_t{y} * width_ + x;
      colour_[i] = Mix(colour_[i], colour(px, py), cover * alpha);
      opacity_[i] += cover * opacity * (1.0f - opacity_[i]);
    }
}

void Canvas::Paint(const Sdf& shape, Rgb colour, float alpha, float opacity) {
  Paint(
      shape, [colour](float, float) { return colour; }, alpha, opacity);
}

void Canvas::Paint(const Coverage& c, std::int64_t x0, std::int64_t y0, Rgb colour, float alpha,
                   float opacity) {
  for (std::uint32_t y = 0; y < c.height; ++y)
    for (std::uint32_t x = 0; x < c.width; ++x) {
      const std::int64_t px = x0 + x, py = y0 + y;
      if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
      const float cover = c.level[y * c.width + x];
      const std::size_t i = static_cast<std::size_t>(py) * width_ + static_cast<std::size_t>(px);
      colour_[i] = Mix(colour_[i], colour, cover * alpha);
      opacity_[i] += cover * opacity * (1.0f - opacity_[i]);
    }
}

std::int64_t Canvas::PaintTextCentred(const std::string& text, std::uint32_t pixels, bool bold,
                                      float cx, float cy, Rgb colour, float opacity) {
  const Coverage c = TextCoverage(text, pixels, bold);
  const auto x = static_cast<std::int64_t>(std::lround(cx - c.width * 0.5f));
  const auto y = static_cast<std::int64_t>(std::lround(cy - c.height * 0.5f));
  Paint(c, x, y, colour, 1.0f, opacity);
  return x;
}

void Canvas::Fill(const ColourAt& colour, float opacity) {
  Paint([](float, float) { return -1e30f; }, colour, 1.0f, opacity);
}

Rgb Canvas::Colour(std::uint32_t x, std::uint32_t y) const { return colour_[y * width_ + x]; }

namespace {

std::uint8_t Byte(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

void Canvas::WriteColour(const std::string& path) const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(colour_.size() * 3);
  for (const Rgb& c : colour_) {
    bytes.push_back(Byte(c.r));
    bytes.push_back(Byte(c.g));
    bytes.push_back(Byte(c.b));
  }
  WritePng(path, width_, height_, 3, bytes);
}

void Canvas::WriteMask(const std::string& path, bool whiteOpaque) const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(opacity_.size());
  for (float o : opacity_) bytes.push_back(Byte(whiteOpaque ? o : 1.0f - o));
  WritePng(path, width_, height_, 1, bytes);
}

void WritePng(const std::string& path, std::uint32_t width, std::uint32_t height,
              std::uint32_t channels, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) ToolFail("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    ToolFail("cannot encode " + path);
  }
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  const int type = channels == 1   ? PNG_COLOR_TYPE_GRAY
                   : channels == 3 ? PNG_COLOR_TYPE_RGB
                                   : PNG_COLOR_TYPE_RGB_ALPHA;
  png_set_IHDR(png, info, width, height, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::uint32_t y = 0; y < height; ++y)
    png_write_row(png, bytes.data() + std::size_t{y} * width * channels);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ToolFail("cannot write " + path);
}

}  // namespace veskor::tools
