#include "gui/text_list.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "gfx/texture_format.h"
#include "gui/gui_globals.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"
#include "platform/gl.h"
#include "platform/text_raster.h"

namespace veskor {

namespace {

constexpr std::uint32_t kTextListStyle = kPlaneFront | kPlaneAlwaysEnabled;
constexpr std::uint32_t kAlphaBytes = kFormatUnsignedBytes | kLayoutAlpha;  // coverage as alpha
constexpr std::uint32_t kLargestLog2Side = 14;                              // kTextSurfaceMaxSide

// Ordinary lines: the bound starts 3 pixels above the pen, the box 6 pixels left of it and 5
// right of the text; a title's rule starts 4 pixels after it and stops 8 short of the edge.
constexpr std::uint32_t kBoundAbove = 3;
constexpr std::uint32_t kFirstTitleAbove = 10;
constexpr std::uint32_t kBoxLeft = 14;
constexpr std::uint32_t kBoxRightPast = 25;  // from the text's width
constexpr std::uint32_t kWidthPast = 30;     // a line's share of textWidth past its width
constexpr std::uint32_t kHeightPast = 4;     // textHeight past the last pen y
constexpr std::uint32_t kTitleDown = 9;      // a title's pen below its bound
constexpr std::uint32_t kRuleGap = 4;
constexpr std::uint32_t kRuleEndInset = 8;

bool IsTitle(const char* text) { return text[0] == '\\' && text[1] == 't'; }

std::uint32_t Log2AtLeast(std::uint32_t n) {
  std::uint32_t k = 0;
  while (k < kLargestLog2Side && (1u << k) < n) ++k;
  return k;
}

// The lines of the table, cut to the list's capacity; titles lose their "\t".
void StoreLines(GuiTextList& l, const char* const* lines, std::uint32_t count) {
  l.lineCount = std::min(count, kTextListLineCapacity);
  for (std::uint32_t i = 0; i < l.lineCount; ++i) {
    const char* text = lines != nullptr && lines[i] != nullptr ? lines[i] : "";
    const bool title = IsTitle(text);
    l.selectable[i] = title ? 0 : 1;
    if (title) text += 2;
    const std::size_t n = strnlen(text, kTextListLineChars);
    std::memcpy(l.lines[i], text, n);
    l.lines[i][n] = '\0';
  }
}

// One pass over the lines at their pen positions: ordinary lines are drawn (only measured
// while the bitmap has no surface) and widen the text; with `record`, the bounds and boxes are
// kept, in pixels.
void LayOutLines(GuiTextList& l, bool record) {
  TextBitmap& b = l.textBitmap;
  std::uint32_t y = kTextListTop;
  l.textWidth = 0;
  for (std::uint32_t i = 0; i < l.lineCount; ++i) {
    if (l.selectable[i] == 0) {
      if (record)
        l.lineBounds[i] = static_cast<float>(y - (i == 0 ? kFirstTitleAbove : kBoundAbove));
      y += i == 0 ? kTextListFirstTitle : kTextListTitle;
      continue;
    }
    std::uint32_t w = 0, h = 0;
    b.lastHeight = 0;  // an empty line is as high in both passes
    DrawMarkupText(b, kTextListLineX, y, l.lines[i], &w, &h);
    l.textWidth = std::max(l.textWidth, w + kWidthPast);
    if (record) {
      l.lineBounds[i] = static_cast<float>(y - kBoundAbove);
      l.lineBoxLeft[i] = static_cast<float>(kBoxLeft);
      l.lineBoxRight[i] = static_cast<float>(w + kBoxRightPast);
      l.lineBoxTop[i] = l.lineBounds[i];
      l.lineBoxBottom[i] = static_cast<float>(y + h + kTextListLineGap - kBoundAbove);
    }
    y += h + kTextListLineGap;
  }
  if (record) l.lineBounds[l.lineCount] = static_cast<float>(y - kBoundAbove);
  l.textHeight = y + kHeightPast;
  l.textWidth = std::min(l.textWidth, 1u << kLargestLog2Side);
  l.textHeight = std::min(l.textHeight, 1u << kLargestLog2Side);
}

void UseListFont(TextBitmap& b) {
  SetTextFont(b, kTextListFace);
  SetTextSize(b, kTextListPoints);
  SetTextStyle(b, 0);
}

// A one-channel texture of the block's size, clamped and nearest, bound to the bitmap.
void PrepareTexture(GuiTextList& l, Texture2D& texture, std::uint32_t log2Width,
                    std::uint32_t log2Height) {
  ResizeImageBuffer(texture, 1, log2Width, log2Height, kAlphaBytes);
  Texture2DSetFilter(texture, kFilterNearest);
  Texture2DSetWrap(texture, 0);
  CreateTextBitmap(l.textBitmap, &texture);
}

void RenderLines(GuiTextList& l) {
  TextBitmap& b = l.textBitmap;
  ClearTextBitmap(b, 0);
  CreateTextBitmap(b, nullptr);  // no surface: the first pass only measures
  ResetTextFont(b);
  UseListFont(b);
  LayOutLines(l, false);
  const std::uint32_t log2Width = Log2AtLeast(l.textWidth);
  const std::uint32_t log2Height = Log2AtLeast(l.textHeight);

  PrepareTexture(l, l.lineTexture, log2Width, log2Height);
  LayOutLines(l, true);
  UploadBitmapTexture(b);

  PrepareTexture(l, l.titleTexture, log2Width, log2Height);
  EraseTextBitmap(b);
  UseListFont(b);
  for (std::uint32_t i = 0; i < l.lineCount; ++i) {
    if (l.selectable[i] != 0) continue;
    const auto bound = static_cast<std::uint32_t>(l.lineBounds[i]);
    std::uint32_t w = 0, h = 0;
    DrawMarkupText(b, kTextListTitleX, bound + kTitleDown, l.lines[i], &w, &h);
    const std::uint32_t ruleStart = kTextListTitleX + w + kRuleGap;
    if (l.textWidth >= kRuleEndInset && ruleStart <= l.textWidth - kRuleEndInset)
      FillTextRect(b, ruleStart, bound + h + kRuleGap, l.textWidth - kRuleEndInset,
                   bound + h + kRuleGap + 1);
  }
  UploadBitmapTexture(b);

  const auto textureWidth = static_cast<float>(1u << log2Width);
  const auto textureHeight = static_cast<float>(1u << log2Height);
  const auto height = static_cast<float>(l.textHeight);
  for (std::uint32_t i = 0; i <= l.lineCount; ++i) l.lineBounds[i] /= height;
  for (std::uint32_t i = 0; i < l.lineCount; ++i) {
    l.lineBoxLeft[i] /= textureWidth;
    l.lineBoxRight[i] /= textureWidth;
    l.lineBoxTop[i] /= textureHeight;
    l.lineBoxBottom[i] /= textureHeight;
  }
  l.usedS = static_cast<float>(l.textWidth) / textureWidth;
  l.usedT = height / textureHeight;
}

// The right and bottom edges from the left and top ones: the text's size in pixels.
void FitToText(GuiTextList& l) {
  WidgetEdge right = GetLeftEdge(l), bottom = GetTopEdge(l);
  right.pixels += static_cast<float>(l.textWidth);
  bottom.pixels += static_cast<float>(l.textHeight);
  SetRightEdge(l, right);
  SetBottomEdge(l, bottom);
}

}  // namespace

void SetTextLines(GuiTextList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                  const char* const* lines, std::uint32_t count, const TextListColours& colours) {
  std::copy(colours.background, colours.background + 4, list.backgroundColor);
  std::copy(colours.line, colours.line + 3, list.lineColor);
  std::copy(colours.title, colours.title + 3, list.titleColor);
  StoreLines(list, lines, count);
  RenderLines(list);
  ConfigureWidget(list, kTextListStyle, left, top, left, top);
  FitToText(list);
  list.root = root;
}

void SetTextLinesTable(GuiTextList& list, const char* const* lines, std::uint32_t count) {
  StoreLines(list, lines, count);
  RenderLines(list);
  FitToText(list);
}

void RestoreTextListTextures(GuiTextList& list) {
  for (Texture2D* texture : {&list.lineTexture, &list.titleTexture}) {
    Texture2DRenewNameAs(*texture, kAlphaBytes);
    Texture2DBind(*texture, kModePlain, 0);
  }
}

TextLineBox TextListLineBox(const GuiTextList& list, std::uint32_t line) {
  const TexturePixels& p = list.lineTexture.pixels;
  TextLineBox b{list.lineBoxLeft[line], list.lineBoxTop[line], list.lineBoxRight[line],
                list.lineBoxBottom[line], 0.0f, 0.0f};
  b.width = (b.s1 - b.s0) * static_cast<float>(1u << p.log2Width) * PixelSize.x;
  b.height = (b.t1 - b.t0) * static_cast<float>(1u << p.log2Height) * PixelSize.y;
  return b;
}

void DrawTextListBackground(GuiTextList& l, const WidgetRect& r) {
  BeginWidgetDraw();
  SetWidgetBlending(true);
  glDisable(GL_TEXTURE_2D);
  glColor4fv(l.backgroundColor);
  DrawPlainQuad(r);
}

void DrawTextListLayers(GuiTextList& l, const WidgetRect& r) {
  const std::pair<Texture2D*, const float*> layers[] = {{&l.lineTexture, l.lineColor},
                                                        {&l.titleTexture, l.titleColor}};
  for (const auto& [texture, colour] : layers) {
    if (!BindWidgetTexture(*texture)) continue;
    SetWidgetTextureBlend(WidgetBlend::kInkOfCoverage);
    glColor3fv(colour);
    DrawWidgetQuad(r, 0.0f, 0.0f, l.usedS, l.usedT);
  }
}

void DrawTextList(GuiTextList& l) {
  const WidgetRect r = WidgetSnappedRect(l);
  DrawTextListBackground(l, r);
  DrawTextListLayers(l, r);
  DrawWidgetPopup(l);
  EndWidgetDraw();
}

void GuiTextList::Draw() { DrawTextList(*this); }

}  // namespace veskor
