#include "gui/number_label.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "foundation/fatal_error.h"
#include "gfx/texture_format.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"
#include "platform/gl.h"
#include "platform/text_raster.h"

namespace veskor {

namespace {

constexpr std::uint32_t kLabelStyle = kPlaneBack | kPlaneAlwaysEnabled;
constexpr std::uint32_t kGlyphFormat = kLayoutAlpha;  // stored as code 10: coverage as alpha
constexpr char kGlyphCharacters[kGlyphCount + 1] = "0123456789-.";
constexpr std::size_t kGlyphTextBytes = 64;  // the markup prefix is cut to fit

// The largest unsigned 32-bit value as a float rounds up to 2^32: from there on, it is shown.
constexpr float kLargestWhole = 4294967296.0f;

std::uint32_t Log2AtLeast(std::uint64_t n) {
  return static_cast<std::uint32_t>(std::bit_width(std::bit_ceil(std::max<std::uint64_t>(n, 1)))) -
         1;
}

[[noreturn]] void GlyphBitmapError(const GdiTextImage& image, std::uint64_t width,
                                   std::uint64_t height) {
  char text[256];
  std::snprintf(text, sizeof text, "Cannot create the glyph bitmap : '%s' %u points, %llu x %llu",
                image.bitmap.faceName, image.size, static_cast<unsigned long long>(width),
                static_cast<unsigned long long>(height));
  FatalError(text);
}

}  // namespace

std::uint32_t AttachTextBitmapTexture(TextBitmap& bitmap, Texture2D& texture) {
  return CreateTextBitmap(bitmap, &texture);
}

void RenderTextImage(GdiTextImage& image, const char* face, std::uint32_t points,
                     const char* markupPrefix, std::uint32_t padding) {
  TextBitmap& b = image.bitmap;
  image.cellPadding = padding;
  image.size = points;
  CreateTextBitmap(b, nullptr);
  ResetTextFont(b);
  SetTextSize(b, points);
  SetTextFont(b, face);

  char texts[kGlyphCount][kGlyphTextBytes];
  std::uint32_t widths[kGlyphCount];
  std::uint32_t widest = 0, tallest = 0;
  for (std::uint32_t i = 0; i < kGlyphCount; ++i) {
    std::snprintf(texts[i], kGlyphTextBytes, "%.*s%c", static_cast<int>(kGlyphTextBytes - 2),
                  markupPrefix != nullptr ? markupPrefix : "", kGlyphCharacters[i]);
    std::uint32_t h = 0;
    MeasureText(b, 0, 0, texts[i], &widths[i], &h);
    widest = std::max(widest, widths[i]);
    tallest = std::max(tallest, h);
  }
  const std::uint64_t cellWidth = std::uint64_t{widest} + padding;
  const std::uint64_t cellHeight = std::uint64_t{tallest} + padding / 2;
  const std::uint64_t width = kGlyphCount * cellWidth;
  if (width > kTextSurfaceMaxSide || cellHeight > kTextSurfaceMaxSide)
    GlyphBitmapError(image, width, cellHeight);
  ResizeImageBuffer(image.texture, 1, Log2AtLeast(width), Log2AtLeast(cellHeight), kGlyphFormat);
  image.cellWidth = static_cast<float>(cellWidth);
  image.cellHeight = static_cast<float>(cellHeight);
  image.cellU = image.cellWidth / static_cast<float>(1u << image.texture.pixels.log2Width);
  image.cellV = image.cellHeight / static_cast<float>(1u << image.texture.pixels.log2Height);

  if (AttachTextBitmapTexture(b, image.texture) == 0)
    GlyphBitmapError(image, 1u << image.texture.pixels.log2Width,
                     1u << image.texture.pixels.log2Height);
  for (std::uint32_t i = 0; i < kGlyphCount; ++i) {
    const auto x = static_cast<std::uint32_t>(i * cellWidth + (cellWidth - widths[i]) / 2);
    DrawMarkupTextAt(b, x, padding / 4, texts[i]);
  }
  UploadBitmapTexture(b);
  ClearTextBitmap(b, 0);
}

void RestoreTextImage(GdiTextImage& image) {
  Texture2DRenewNameAs(image.texture, kGlyphFormat);
  Texture2DBind(image.texture, kModePlain, 0);
}

void SetupTextLabel(GuiTextLabel& label, GuiPlane* root, GdiTextImage& image,
                    const WidgetEdge& left, const WidgetEdge& top, const TextLabelFormat& format,
                    const float* value) {
  label.glyphs = &image;
  label.value = value;
  label.charCount = format.charCount;
  label.decimals = format.decimals;
  std::copy(format.color, format.color + 4, label.color);
  label.alignRight = format.alignRight;
  WidgetEdge right = left, bottom = top;
  right.pixels += image.cellWidth * static_cast<float>(format.charCount);
  bottom.pixels += image.cellHeight;
  ConfigureWidget(label, kLabelStyle, left, top, right, bottom);
  label.root = root;
}

std::uint32_t NumberGlyphs(float value, std::uint32_t decimals,
                           std::uint8_t (&glyphs)[kNumberGlyphCapacity]) {
  std::uint32_t n = 0;
  if (value < 0.0f) {
    glyphs[n++] = kGlyphMinus;
    value = -value;
  }
  std::uint32_t whole = 0;
  float fraction = 0.0f;
  if (value >= kLargestWhole) {
    whole = UINT32_MAX;
  } else if (value > 0.0f) {  // not a number stays 0
    whole = static_cast<std::uint32_t>(value);
    fraction = value - static_cast<float>(whole);
  }
  std::uint8_t digits[10];
  std::uint32_t count = 0;
  do {
    digits[count++] = static_cast<std::uint8_t>(whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (count > 0) glyphs[n++] = digits[--count];
  if (decimals == 0) return n;
  glyphs[n++] = kGlyphPoint;
  for (std::uint32_t d = 0; d < decimals && n < kNumberGlyphCapacity; ++d) {
    fraction *= 10.0f;
    const auto digit = static_cast<std::uint8_t>(std::min(fraction, 9.0f));
    glyphs[n++] = digit;
    fraction -= digit;
  }
  return n;
}

void DrawNumberLabel(GuiTextLabel& l) {
  if (l.glyphs == nullptr || l.value == nullptr || l.charCount == 0) return;
  const WidgetRect r = WidgetSnappedRect(l);
  const float cw = (r.right - r.left) / static_cast<float>(l.charCount);
  std::uint8_t glyphs[kNumberGlyphCapacity];
  const std::uint32_t k = NumberGlyphs(*l.value, l.decimals, glyphs);
  BeginWidgetDraw();
  SetWidgetBlending(true);
  if (BindWidgetTexture(l.glyphs->texture)) {
    SetWidgetTextureBlend(WidgetBlend::kInkOfCoverageModulated);
    glColor4fv(l.color);
    float x = r.left;
    if (l.alignRight != 0)
      x += (static_cast<float>(l.charCount) - static_cast<float>(k)) * cw;  // may start left of it
    const float u = l.glyphs->cellU, v = l.glyphs->cellV;
    for (std::uint32_t i = 0; i < k; ++i, x += cw)
      DrawWidgetQuad({x, r.top, x + cw, r.bottom}, glyphs[i] * u, 0.0f, (glyphs[i] + 1) * u, v);
  }
  EndWidgetDraw();
}

void GuiTextLabel::Draw() { DrawNumberLabel(*this); }

}  // namespace veskor
