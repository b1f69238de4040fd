// The top-level screen planes: overlays (loading and progress screens) drawn outside the main
// frame, in the order they were added.
#pragma once

#include <cstdint>

#include "gui/gui_plane.h"

namespace veskor {

inline constexpr std::uint32_t kScreenPlaneCapacity = 128;

struct ScreenPlanes {
  GuiPlane* planes[kScreenPlaneCapacity];
  std::uint32_t count;
};
extern ScreenPlanes ScreenPlaneList;

void ClearScreenPlanes();
// 1 when the plane was added; 0, with the list unchanged, once it holds 128.
std::uint32_t AddScreenPlane(GuiPlane& plane);
// Every shown plane in list order, as DrawPlaneTree draws it, with multisampling off while
// MultiSampleMode is set; the multisample state is left as it was found. Needs a GL context.
void DrawScreenPlanes();

}  // namespace veskor
