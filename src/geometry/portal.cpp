#include "geometry/portal.h"

#include "geometry/scene_build_error.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/texture_format.h"
#include "foundation/static_order.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepPortals) Portal gPortals[kPortalMax];
std::uint32_t gPortalCount = 0;

void AddPortal(const float* rect, float value, float a, float b, float c1, float c2, float c3) {
  if (SceneBuildFailed()) return;
  if (gPortalCount >= kPortalMax) return SceneBuildFail(kTooManyPortalsMessage);
  const float x0 = rect[0], y0 = rect[1], altitude = rect[2], x1 = rect[3], y1 = rect[4];
  if (BatchAddWaterBox(gGeometryBatchBuffer, x0, y0, x1, y1, altitude) == 0)
    return SceneBuildFail(kTooManyPortalsMessage);
  Portal& p = gPortals[gPortalCount];
  p.bumpScale = value;
  p.colour[0] = c1, p.colour[1] = c2, p.colour[2] = c3, p.colour[3] = 0;
  p.opacityB2 = 2 * b;
  p.opacityA2 = 2 * a;

  // A resize drops a name and a counted upload of an older context stamp and takes a name.
  Texture2D& t = p.reflection;
  Texture2DResize(t, 4, kPortalTextureLog2Size, kPortalTextureLog2Size);
  Texture2DBind(t, kModeKeepEnvironment, 0);
  MemBlockRelease(t.pixels.block);
  t.pixels.data = nullptr;

  p.corner0[0] = x0, p.corner0[1] = y0, p.corner0[2] = altitude;
  p.corner1[0] = x1, p.corner1[1] = y1, p.corner1[2] = altitude;
  ++gPortalCount;
}

}  // namespace veskor
