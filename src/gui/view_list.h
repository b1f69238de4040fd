// GuiViewList: a strip across the whole window showing rows of thumbnails (the snapshots of
// the world's views) in groups one after the other, a gap after each group, and reporting the
// thumbnail under the pointer through callbacks. The application renders and stores the
// thumbnails and their counts; the list only lays them out, draws them and hit-tests them.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

// More groups than this are left out (with a line in the session log).
inline constexpr std::uint32_t kViewGroupCapacity = 64;

struct ViewGroup {
  Texture2D* textures;         // the group's thumbnails, consecutive
  const std::uint16_t* count;  // how many there are now; read at every draw and hit test
  float tint[4];               // multiplies the thumbnails that are not highlighted
  // The gap after the group in texels of its thumbnails, as the application describes it;
  // the layout puts the same gap after every group, for drawing and hit tests alike.
  float gapTexels;
};

// The callbacks take the running index of the thumbnail over all groups (0xFFFFFFFF for none);
// their results are not used.
using ViewListCallback = std::uint32_t (*)(std::uint32_t index);

class GuiViewList : public GuiWidget {
 public:
  GuiViewList() = default;

  void Draw() override;
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                   float localY) override;
  void OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                    float localY) override;
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  ViewGroup groups[kViewGroupCapacity] = {};
  std::uint32_t groupCount = 0;
  float aspect = 1.0f;  // a thumbnail's width / height
  float stripColor[3] = {};
  ViewListCallback onHover = nullptr;
  ViewListCallback onLeave = nullptr;
  ViewListCallback onPress = nullptr;  // a press with the left button alone
  ViewListCallback onRelease = nullptr;
  std::uint32_t highlight = 0;  // the hovered thumbnail is drawn in its own colours
  std::int32_t hoveredIndex = -1;
};

struct ViewListCallbacks {
  ViewListCallback hover = nullptr;
  ViewListCallback leave = nullptr;
  ViewListCallback press = nullptr;
  ViewListCallback release = nullptr;
};

// Copies the group records (at most kViewGroupCapacity), computes the aspect, stores the
// colour and callbacks and configures the widget as a back child that stays enabled (style 24).
void SetupViewList(GuiViewList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                   const WidgetEdge& right, const WidgetEdge& bottom, const float (&stripColor)[3],
                   const ViewGroup* groups, std::uint32_t count,
                   const ViewListCallbacks& callbacks);

// After the thumbnails were (re)rendered: width / height of the first group's first texture,
// 1.0 without one.
void UpdateViewListAspect(GuiViewList& list);

// The strip's layout in GUI units: thumbnails fill the band, the first starts at left + gap,
// each group is followed by the gap.
struct ViewListLayout {
  float top, bottom;  // the snapped rectangle's; the strip spans the whole window's width
  float bandTop, bandBottom;
  float start;  // x of the first thumbnail
  float thumbWidth;
  float gap;
};
ViewListLayout ViewListLayoutOf(GuiViewList& list);

// The running index of the thumbnail at (x, y) in GUI units, -1 when none: each group holds
// [start, start + count x width); the gap and the bands above and below hold none.
std::int32_t ViewListIndexAt(GuiViewList& list, float x, float y);

void DrawViewList(GuiViewList& list);

}  // namespace veskor
