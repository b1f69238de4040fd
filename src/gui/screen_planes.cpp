#include "gui/screen_planes.h"

#include "gui/gui_globals.h"
#include "platform/gl.h"

namespace veskor {

ScreenPlanes ScreenPlaneList{};

void ClearScreenPlanes() { ScreenPlaneList.count = 0; }

std::uint32_t AddScreenPlane(GuiPlane& plane) {
  if (ScreenPlaneList.count >= kScreenPlaneCapacity) return 0;
  ScreenPlaneList.planes[ScreenPlaneList.count++] = &plane;
  return 1;
}

void DrawScreenPlanes() {
  const bool multisampled = MultiSampleMode != 0 && glIsEnabled(GL_MULTISAMPLE_ARB);
  if (multisampled) glDisable(GL_MULTISAMPLE_ARB);
  for (std::uint32_t i = 0; i < ScreenPlaneList.count; ++i)
    DrawPlaneTree(*ScreenPlaneList.planes[i]);
  if (multisampled) glEnable(GL_MULTISAMPLE_ARB);
}

}  // namespace veskor
