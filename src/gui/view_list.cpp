#include "gui/view_list.h"

#include <algorithm>

#include "foundation/session_log.h"
#include "gui/gui_globals.h"
#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr std::uint32_t kViewListStyle = kPlaneBack | kPlaneAlwaysEnabled;
constexpr float kBandMargin = 0.1f;  // of the strip's height, above and below the thumbnails

std::uint32_t GroupCount(const ViewGroup& g) {
  return g.count != nullptr && g.textures != nullptr ? *g.count : 0u;
}

void Call(ViewListCallback callback, std::int32_t index) {
  if (callback != nullptr) callback(static_cast<std::uint32_t>(index));
}

}  // namespace

void SetupViewList(GuiViewList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                   const WidgetEdge& right, const WidgetEdge& bottom, const float (&stripColor)[3],
                   const ViewGroup* groups, std::uint32_t count,
                   const ViewListCallbacks& callbacks) {
  if (groups == nullptr) count = 0;
  if (count > kViewGroupCapacity) {
    SessionLog& log = LogStream();
    LogWriteText(log, "View list: ");
    LogWriteUnsigned(log, count);
    LogWriteText(log, " groups given, the last ");
    LogWriteUnsigned(log, count - kViewGroupCapacity);
    LogWriteText(log, " left out\n");
    count = kViewGroupCapacity;
  }
  list.groupCount = count;
  std::copy(groups, groups + count, list.groups);
  UpdateViewListAspect(list);
  std::copy(stripColor, stripColor + 3, list.stripColor);
  list.onHover = callbacks.hover;
  list.onLeave = callbacks.leave;
  list.onPress = callbacks.press;
  list.onRelease = callbacks.release;
  ConfigureWidget(list, kViewListStyle, left, top, right, bottom);
  list.root = root;
}

void UpdateViewListAspect(GuiViewList& list) {
  list.aspect = 1.0f;
  if (list.groupCount == 0 || list.groups[0].count == nullptr || list.groups[0].textures == nullptr)
    return;
  const TexturePixels& p = list.groups[0].textures[0].pixels;
  list.aspect = static_cast<float>(1u << p.log2Width) / static_cast<float>(1u << p.log2Height);
}

ViewListLayout ViewListLayoutOf(GuiViewList& list) {
  const WidgetRect r = WidgetSnappedRect(list);
  const float h = r.bottom - r.top;
  // Screen height / width: the pixel sizes are 1 / width and 1 / height of the screen.
  const float heightOverWidth = PixelSize.x / PixelSize.y;
  ViewListLayout l{};
  l.top = r.top;
  l.bottom = r.bottom;
  l.bandTop = r.top + kBandMargin * h;
  l.bandBottom = r.bottom - kBandMargin * h;
  l.thumbWidth = (l.bandBottom - l.bandTop) * heightOverWidth * list.aspect;
  l.gap = kBandMargin * h * heightOverWidth * list.aspect;
  l.start = r.left + l.gap;
  return l;
}

std::int32_t ViewListIndexAt(GuiViewList& list, float x, float y) {
  const ViewListLayout l = ViewListLayoutOf(list);
  if (!(l.thumbWidth > 0.0f) || !(y >= l.bandTop && y <= l.bandBottom)) return -1;
  float start = l.start;
  std::uint32_t passed = 0;
  for (std::uint32_t g = 0; g < list.groupCount; ++g) {
    const std::uint32_t n = GroupCount(list.groups[g]);
    if (n == 0) continue;
    const float end = start + static_cast<float>(n) * l.thumbWidth;
    if (x >= start && x < end) {
      const auto i = static_cast<std::uint32_t>((x - start) / l.thumbWidth);
      return static_cast<std::int32_t>(passed + std::min(i, n - 1));
    }
    passed += n;
    start = end + l.gap;
  }
  return -1;
}

void DrawViewList(GuiViewList& list) {
  const ViewListLayout l = ViewListLayoutOf(list);
  BeginWidgetDraw();
  SetWidgetBlending(false);
  glDisable(GL_TEXTURE_2D);
  glColor3fv(list.stripColor);
  DrawPlainQuad({0.0f, l.top, 1.0f, l.bottom});
  SetWidgetBlending(true);
  float x = l.start;
  std::uint32_t index = 0;
  for (std::uint32_t g = 0; g < list.groupCount; ++g) {
    const ViewGroup& group = list.groups[g];
    const std::uint32_t n = GroupCount(group);
    for (std::uint32_t i = 0; i < n; ++i, ++index, x += l.thumbWidth) {
      if (!BindWidgetTexture(group.textures[i])) continue;
      SetWidgetTextureBlend(WidgetBlend::kModulate);
      const bool lit = list.highlight != 0 && static_cast<std::int32_t>(index) == list.hoveredIndex;
      if (lit)
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      else
        glColor4fv(group.tint);
      // The thumbnails are stored bottom row first.
      DrawWidgetQuad({x, l.bandTop, x + l.thumbWidth, l.bandBottom}, 0.0f, 1.0f, 1.0f, 0.0f);
    }
    if (n != 0) x += l.gap;
  }
  EndWidgetDraw();
}

void GuiViewList::Draw() { DrawViewList(*this); }

void GuiViewList::OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                              std::uint32_t) {
  highlight = 1;
}

void GuiViewList::OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float, std::uint32_t) {
  if (buttons == kButtonLeft) Call(onPress, hoveredIndex);
  if (buttons == 0) Call(onRelease, hoveredIndex);
  highlight = 1;
}

void GuiViewList::OnMouseOver(std::uint32_t, std::uint32_t, float, float, float, float) {
  Call(onHover, hoveredIndex);
  highlight = 1;
}

void GuiViewList::OnMouseLeave(std::uint32_t, std::uint32_t, float, float, float, float) {
  Call(onLeave, hoveredIndex);
  highlight = 0;
}

std::uint32_t GuiViewList::ToLocal(float x, float y, float* localX, float* localY) {
  if (GuiWidget::ToLocal(x, y, localX, localY) == 0) {
    hoveredIndex = -1;
    return 0;
  }
  hoveredIndex = ViewListIndexAt(*this, x, y);
  return 1;
}

}  // namespace veskor
