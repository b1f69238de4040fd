#include "gui/text_bitmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/fatal_error.h"
#include "gfx/texture_format.h"
#include "gui/text_markup.h"
#include "mapengine/kernel_table.h"
#include "platform/text_raster.h"

namespace veskor {

namespace {

// What a fresh device context draws with when no face is named.
constexpr const char* kDefaultFace = "arial";
constexpr std::uint32_t kDefaultFacePixels = 16;
constexpr std::uint32_t kLargestLog2Side = 14;  // kTextSurfaceMaxSide

// Points to pixels at 96 pixels per inch, rounded to nearest.
std::uint32_t PointsToPixels(std::uint32_t points) {
  return static_cast<std::uint32_t>((std::uint64_t{points} * 96 + 36) / 72);
}

// Levels outside 0..1 are clamped rather than wrapped.
std::uint8_t LevelByte(float level) {
  const float clamped = level >= 0.0f ? std::min(level, 1.0f) : 0.0f;
  return static_cast<std::uint8_t>(clamped * 255.0f);
}

std::uint32_t SaturatingAdd(std::uint32_t a, std::uint32_t b) {
  return a > UINT32_MAX - b ? UINT32_MAX : a + b;
}

[[noreturn]] void FontError(const char* face, std::uint32_t points, std::uint32_t style) {
  char text[768];
  std::snprintf(text, sizeof text, "Font Error ! '%s' %u points%s%s: %s", face, points,
                (style & kTextBold) ? " bold" : "", (style & kTextItalic) ? " italic" : "",
                TextRasterError());
  FatalError(text);
}

TextFont* DefaultFont() {
  static TextFont* font = nullptr;
  if (font == nullptr) {
    font = TextFontOpen(kDefaultFace, kDefaultFacePixels, false, false);
    if (font == nullptr) FontError(kDefaultFace, 12, 0);
  }
  return font;
}

void DropFont(TextBitmap& b) {
  TextFontClose(b.font);
  b.font = nullptr;
}

TextFont* RunFont(TextBitmap& b) {
  SelectTextFont(b);
  return b.font != nullptr ? b.font : DefaultFont();
}

void MarkDirty(TextBitmap& b) {
  if (b.texture != nullptr) b.texture->state.dirty = 1;
}

// Inclusive rectangle in `level`.
void FillInclusive(TextBitmap& b, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                   std::uint32_t y1, float level) {
  TextSurfaceFill(b.surface, x0, y0, std::int64_t{x1} + 1, std::int64_t{y1} + 1, LevelByte(level));
}

void ResetPen(TextBitmap& b) {
  b.penX = b.penY = b.margin = 0;
  b.lastWidth = b.lastHeight = 0;
}

// With `draw` false the runs are only measured: nothing is drawn or marked changed.
void DrawMarkup(TextBitmap& b, std::uint32_t x, std::uint32_t y, const char* text,
                std::uint32_t* width, std::uint32_t* height, bool draw = true) {
  b.savedSize = b.size;
  SplitMarkupText(text);
  b.penX = b.margin = x;
  b.penY = y;
  std::uint32_t w = 0;
  const TextMarkupTables& t = TextMarkup;
  for (std::uint32_t i = 0; i < t.pieceCount; ++i) {
    ApplyMarkupCodes(b, t.codes[i], t.digits[i], t.codeCount[i]);
    if (draw)
      DrawTextRun(b, b.penX, b.penY, t.text[i], &b.lastWidth, &b.lastHeight);
    else
      MeasureTextRun(b, b.penX, b.penY, t.text[i], &b.lastWidth, &b.lastHeight);
    b.penX = SaturatingAdd(b.penX, b.lastWidth);
    // A column left of the margin must not make the width wrap around.
    if (b.penX > b.margin) w = std::max(w, b.penX - b.margin);
  }
  *width = w;
  *height = b.penY + b.lastHeight - y;
  if (b.size != b.savedSize) {
    b.size = b.savedSize;
    DropFont(b);
  }
}

}  // namespace

TextBitmap::TextBitmap() = default;

TextBitmap::~TextBitmap() {
  TextSurfaceDestroy(surface);
  TextFontClose(font);
}

std::uint32_t CreateTextBitmap(TextBitmap& b, Texture2D* texture) {
  b.texture = texture;
  b.textLevel = 1.0f;
  b.backgroundLevel = 0.0f;
  b.changed = 0;
  TextSurfaceDestroy(b.surface);
  b.surface = nullptr;
  if (texture == nullptr) return 1;
  const std::uint32_t lw = texture->pixels.log2Width, lh = texture->pixels.log2Height;
  if (lw > kLargestLog2Side || lh > kLargestLog2Side) return 0;
  b.surface = TextSurfaceCreate(1u << lw, 1u << lh);
  if (b.surface == nullptr) return 0;
  if (texture->pixels.data != nullptr) {
    const std::uint8_t zero = 0;
    gKernelTable.MapFillBytesVector(1, static_cast<std::uint8_t>(lw), static_cast<std::uint8_t>(lh),
                                    static_cast<std::uint8_t*>(texture->pixels.data), &zero);
  }
  return 1;
}

void ClearTextBitmap(TextBitmap& b, std::uint32_t erase) {
  if (erase != 0) {
    if (b.changed != 0) {
      FillInclusive(b, b.firstX, b.firstY, b.lastX, b.lastY, b.backgroundLevel);
      MarkDirty(b);
    }
    ResetPen(b);
    if (b.texture != nullptr) {
      if (b.texture->state.dirty != 0) FlushTextBitmap(b);
      Texture2DBind(*b.texture, kModePlain, 0);
    }
  }
  TextSurfaceDestroy(b.surface);
  b.surface = nullptr;
  b.texture = nullptr;
  b.changed = 0;
  b.size = 0;
  b.style = 0;
  b.grey = 0;
}

void ResetTextFont(TextBitmap& b) {
  DropFont(b);
  ResetPen(b);
}

void SetTextSize(TextBitmap& b, std::uint32_t points) {
  if (b.size == points) return;
  b.size = points;
  DropFont(b);
}

void SetTextStyle(TextBitmap& b, std::uint32_t bits) {
  if (b.style == bits) return;
  b.style = bits;
  DropFont(b);
}

void SetTextFont(TextBitmap& b, const char* face) {
  char name[kTextFaceNameCapacity];
  std::snprintf(name, sizeof name, "%s", face != nullptr ? face : "");
  if (std::strcmp(name, b.faceName) == 0) return;
  std::memcpy(b.faceName, name, sizeof name);
  DropFont(b);
}

void SelectTextFont(TextBitmap& b) {
  if (b.font != nullptr || b.faceName[0] == '\0') return;
  b.font = TextFontOpen(b.faceName, PointsToPixels(b.size), (b.style & kTextBold) != 0,
                        (b.style & kTextItalic) != 0);
  if (b.font == nullptr) FontError(b.faceName, b.size, b.style);
}

void DrawTextRun(TextBitmap& b, std::uint32_t x, std::uint32_t y, const char* text,
                 std::uint32_t* width, std::uint32_t* height) {
  const std::uint8_t ink = b.grey != 0 ? kTextGreyInk : LevelByte(b.textLevel);
  const TextExtent e =
      TextDraw(b.surface, RunFont(b), x, y, text, ink, LevelByte(b.backgroundLevel));
  AddDirtyRect(b, x, y, SaturatingAdd(x, e.width), SaturatingAdd(y, e.height));
  *width = e.width;
  *height = e.height;
  MarkDirty(b);
}

std::uint32_t MeasureTextRun(TextBitmap& b, std::uint32_t, std::uint32_t, const char* text,
                             std::uint32_t* width, std::uint32_t* height) {
  const TextExtent e = TextMeasure(RunFont(b), text);
  *width = e.width;
  *height = e.height;
  return std::min<std::uint32_t>(e.width, 0xFFFF) | std::min<std::uint32_t>(e.height, 0xFFFF) << 16;
}

void ApplyMarkupCodes(TextBitmap& b, const std::uint8_t* codes, const std::uint8_t* digits,
                      std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    switch (codes[i]) {
      case kMarkupReset:
        b.grey = 0;
        SetTextStyle(b, 0);
        SetTextSize(b, b.savedSize);
        break;
      case kMarkupItalic:
        SetTextStyle(b, b.style | kTextItalic);
        break;
      case kMarkupBold:
        SetTextStyle(b, b.style | kTextBold);
        break;
      case kMarkupLarger:
        SetTextSize(b, SaturatingAdd(b.size, 2));
        break;
      case kMarkupSmaller:
        SetTextSize(b, b.size > 3 ? b.size - 2 : 1);
        break;  // never 0
      case kMarkupGrey:
        b.grey = 1;
        break;
      case kMarkupColumn:
        b.penX = std::uint32_t{digits[i]} * kTextColumnPixels;
        break;
      case kMarkupNewLine:
        b.penY = SaturatingAdd(b.penY, SaturatingAdd(b.lastHeight, kTextLineGap));
        b.lastHeight = 0;
        b.penX = b.margin;
        break;
      default:
        break;
    }
  }
}

void MeasureMarkupText(TextBitmap&, const char* text) { SplitMarkupText(text); }

void DrawMarkupText(TextBitmap& b, std::uint32_t x, std::uint32_t y, const char* text,
                    std::uint32_t* width, std::uint32_t* height) {
  DrawMarkup(b, x, y, text, width, height);
}

void MeasureText(TextBitmap& b, std::uint32_t x, std::uint32_t y, const char* text,
                 std::uint32_t* width, std::uint32_t* height) {
  DrawMarkup(b, x, y, text, width, height, false);
}

void DrawMarkupTextAt(TextBitmap& b, std::uint32_t x, std::uint32_t y, const char* text) {
  std::uint32_t w, h;
  DrawMarkup(b, x, y, text, &w, &h);
}

void DrawTextPolyline(TextBitmap& b, std::uint32_t penWidth, std::uint32_t x0, std::uint32_t y0,
                      std::uint32_t x1, std::uint32_t y1) {
  // The changed rectangle takes in all that the pen covers.
  const std::uint32_t w = std::max<std::uint32_t>(penWidth, 1);
  const std::uint32_t below = (w - 1) / 2, above = w / 2;
  AddDirtyRect(b, x0 > below ? x0 - below : 0, y0 > below ? y0 - below : 0,
               SaturatingAdd(x1, above), SaturatingAdd(y1, above));
  const std::int64_t points[10] = {x0, y0, x1, y0, x1, y1, x0, y1, x0, std::int64_t{y0} - 1};
  TextSurfacePolyline(b.surface, points, 5, penWidth, LevelByte(b.textLevel));
  MarkDirty(b);
}

void FillTextRect(TextBitmap& b, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                  std::uint32_t y1) {
  FillInclusive(b, x0, y0, x1, y1, b.textLevel);
  AddDirtyRect(b, x0, y0, x1, y1);
  MarkDirty(b);
}

void EraseTextRect(TextBitmap& b, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                   std::uint32_t y1) {
  if (b.changed == 0) return;
  FillInclusive(b, x0, y0, x1, y1, b.backgroundLevel);
  MarkDirty(b);
}

void EraseTextBitmap(TextBitmap& b) {
  if (b.changed != 0) {
    // Inclusive: the last row and column of the changed rectangle hold drawn pixels too.
    FillInclusive(b, b.firstX, b.firstY, b.lastX, b.lastY, b.backgroundLevel);
    MarkDirty(b);
  }
  ResetPen(b);
}

void BlackenTextBitmap(TextBitmap& b) {
  TextSurfaceFill(b.surface, 0, 0, TextSurfaceWidth(b.surface), TextSurfaceHeight(b.surface), 0);
}

void AddDirtyRect(TextBitmap& b, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                  std::uint32_t y1) {
  const std::uint32_t w = TextSurfaceWidth(b.surface), h = TextSurfaceHeight(b.surface);
  if (w == 0 || h == 0) return;
  if (b.changed == 0) {
    b.firstX = x0;
    b.firstY = y0;
    b.lastX = x1;
    b.lastY = y1;
    b.changed = 1;
  } else {
    b.firstX = std::min(b.firstX, x0);
    b.firstY = std::min(b.firstY, y0);
    b.lastX = std::max(b.lastX, x1);
    b.lastY = std::max(b.lastY, y1);
  }
  b.lastX = std::min(b.lastX, w - 1);
  b.lastY = std::min(b.lastY, h - 1);
}

void FlushTextBitmap(TextBitmap& b) {
  Texture2D* t = b.texture;
  if (t == nullptr || t->pixels.data == nullptr || b.changed == 0 || b.surface == nullptr) return;
  // The texture may have been resized since the surface was made: stay inside both.
  const std::uint32_t tw = 1u << t->pixels.log2Width, th = 1u << t->pixels.log2Height;
  const std::uint32_t lastX = std::min({b.lastX, TextSurfaceWidth(b.surface) - 1, tw - 1});
  const std::uint32_t lastY = std::min({b.lastY, TextSurfaceHeight(b.surface) - 1, th - 1});
  const std::size_t channels = std::max<std::uint16_t>(t->pixels.channels, 1);
  auto* texels = static_cast<std::uint8_t*>(t->pixels.data);
  for (std::uint32_t y = b.firstY; y <= lastY; ++y) {
    const std::uint8_t* row = TextSurfaceRow(b.surface, y);
    for (std::uint32_t x = b.firstX; x <= lastX; ++x)
      texels[(std::size_t{y} * tw + x) * channels] = row[x];
  }
}

void UploadBitmapTexture(TextBitmap& b) {
  if (b.texture == nullptr) return;
  if (b.texture->state.dirty != 0) FlushTextBitmap(b);
  Texture2DBind(*b.texture, kModePlain, 0);
}

}  // namespace veskor
