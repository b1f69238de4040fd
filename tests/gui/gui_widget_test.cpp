#include "gui/gui_widget.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gfx/texture_memory.h"
#include "gfx/texture_names.h"
#include "gui/widget_textures.h"
#include "gui_probe.h"

namespace veskor {
namespace {

using namespace test;
using WidgetTest = GuiTest;

TEST_F(WidgetTest, EdgesSumTheirMeasuresAndSnapToPixels) {
  DesignScale = {1.0f / 512, 1.0f / 256};
  const struct {
    WidgetEdge l, t, r, b;
    float inset, radius;
    float want[4];  // window pixels
  } cases[] = {
      {{}, {}, {1, 0, 0, 0}, {1, 0, 0, 0}, 0, 0, {0, 0, 1024, 512}},
      {{0, 0, 10.5f, 0}, {0, 0, 10.6f, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, 0, 0, {10, 11, 1024, 512}},
      {{0, 0, 10, 0}, {}, {1, 0, -10, 0}, {1, 0, 0, 0}, 2, 0, {8, -2, 1016, 514}},
      {{0, 0.25f, 0, 0}, {0, 0, 0, 8}, {0, 0.5f, 0, 0}, {0, 1, 0, 0}, 0, 0, {256, 16, 512, 512}},
      {{}, {}, {0.5f, 0, 0, 0}, {0.5f, 0, 0, 0}, 0, 3, {3, 0, 515, 256}},
  };
  for (const auto& c : cases) {
    GuiPlane root;
    MakeRoot(root);
    Probe w("w", nullptr);
    ConfigureWidget(w, 0, c.l, c.t, c.r, c.b);
    w.inset = c.inset;
    w.polarRadius = c.radius;
    AddChildPlane(root, w);
    const WidgetRect r = WidgetSnappedRect(w);
    EXPECT_EQ(r.left, c.want[0] / 1024);
    EXPECT_EQ(r.top, c.want[1] / 512);
    EXPECT_EQ(r.right, c.want[2] / 1024);
    EXPECT_EQ(r.bottom, c.want[3] / 512);
    EXPECT_EQ(w.sizeX, (c.want[2] - c.want[0]) / 1024);  // absolute once attached
  }
  // The origin is the unsnapped corner without inset; children hang from it.
  GuiPlane root;
  MakeRoot(root);
  Probe parent("p", nullptr), child("c", nullptr);
  ConfigureWidget(parent, 0, {0.25f, 0, 10.5f, 0}, {0.25f, 0, 0, 0}, {0.75f, 0, 0, 0},
                  {0.75f, 0, 0, 0});
  parent.inset = 4;
  ConfigureWidget(child, 0, {0, 0.5f, 0, 0}, {}, {0, 1, 0, 0}, {1, 0, 0, 0});
  AddChildPlane(root, parent);
  AddChildPlane(parent, child);
  float ox, oy;
  parent.GetOrigin(&ox, &oy);
  EXPECT_FLOAT_EQ(ox, 0.25f + 10.5f / 1024);
  EXPECT_FLOAT_EQ(oy, 0.25f);
  UpdatePlaneTree(root);
  const float parentWidth =
      (std::floor(0.75f * 1024 + 4) - std::floor(0.25f * 1024 + 10.5f - 4)) / 1024;
  EXPECT_FLOAT_EQ(WidgetSnappedRect(child).left, SnapToPixelX(ox + 0.5f * parentWidth));
}

TEST_F(WidgetTest, HitTestsIncludeTheEdgesAndNeverHitAnEmptyRectangle) {
  GuiPlane root;
  MakeRoot(root);
  Probe w("w", nullptr), empty("e", nullptr);
  Place(w, 0.25f, 0.25f, 0.5f, 0.75f);
  Place(empty, 0.25f, 0.25f, 0.25f, 0.75f);
  AddChildPlane(root, w);
  AddChildPlane(root, empty);
  const float d = 1.0f / 4096;
  const struct {
    float x, y;
    std::uint32_t inside;
  } cases[] = {{0.5f, 0.75f, 1},     {0.25f, 0.25f, 1},    {0.5f + d, 0.5f, 0},
               {0.3f, 0.75f + d, 0}, {0.25f - d, 0.5f, 0}, {0.3f, 0.25f - d, 0}};
  for (const auto& c : cases) {
    float lx, ly;
    EXPECT_EQ(w.ToLocal(c.x, c.y, &lx, &ly), c.inside) << c.x << "," << c.y;
    EXPECT_EQ(RotatedPlaneBounds(w, c.x, c.y, &lx, &ly), c.x >= 0.25f && c.x <= 0.5f ? 1u : 0u);
  }
  float lx = -1, ly = -1;
  EXPECT_EQ(w.ToLocal(0.5f, 0.75f, &lx, &ly), 1u);
  EXPECT_EQ(lx, 1.0f);
  EXPECT_EQ(ly, 1.0f);
  EXPECT_EQ(empty.ToLocal(0.25f, 0.5f, &lx, &ly), 0u);
  EXPECT_EQ(RotatedPlaneBounds(empty, 0.25f, 0.5f, &lx, &ly), 0u);
  EXPECT_TRUE(std::isfinite(lx) && std::isfinite(ly));
}

TEST_F(WidgetTest, ChildrenAreClippedByEveryAncestor) {
  GuiPlane root;
  MakeRoot(root);
  Probe outer("o", nullptr), inner("i", nullptr), child("c", nullptr);
  Place(outer, 0.25f, 0.25f, 0.75f, 0.75f);
  Place(inner, 0.0f, 0.0f, 0.75f, 0.25f);  // sticks out right of outer by 0.25
  Place(child, 0.125f, 0.0f, 0.625f, 0.125f);
  AddChildPlane(root, outer);
  AddChildPlane(outer, inner);
  AddChildPlane(inner, child);
  float lx, ly;
  EXPECT_EQ(inner.ToLocal(0.7f, 0.3f, &lx, &ly), 1u);
  EXPECT_EQ(inner.ToLocal(0.8f, 0.3f, &lx, &ly), 0u);  // beyond outer's right edge
  EXPECT_FLOAT_EQ(lx, (0.8f - 0.25f) / 0.5f);          // over the clipped width
  EXPECT_EQ(child.ToLocal(0.8f, 0.3f, &lx, &ly), 0u);  // clipped through two ancestors

  PlaneCorners away = {{0.9f, 0.9f}, {0.95f, 0.9f}, {0.95f, 0.95f}, {0.9f, 0.95f}};
  EXPECT_EQ(outer.ClipChild(0, away), 0u);
  PlaneCorners hanging = {{0.5f, 0.1f}, {0.9f, 0.1f}, {0.9f, 0.3f}, {0.5f, 0.3f}};
  EXPECT_EQ(outer.ClipChild(0, hanging), 1u);
  EXPECT_FLOAT_EQ(hanging[1].x, 0.75f);
  EXPECT_FLOAT_EQ(hanging[2].x, 0.75f);
  EXPECT_FLOAT_EQ(hanging[0].y, 0.25f);
  EXPECT_FLOAT_EQ(hanging[2].y, 0.3f);
  EXPECT_EQ(outer.ClipChild(kPlaneOutsideParent, away), 1u);
  EXPECT_EQ(away[0].x, 0.9f);
}

TEST_F(WidgetTest, HoverTimerShowsThePopupAfterARestAndOnlyOnce) {
  Probe w("w", nullptr);
  auto at = [&](double now, float px, float py) {
    MousePoint = {px / 1024, py / 512};
    WidgetHoverTimerAt(w, now);
  };
  const struct {
    double now;
    float px, py;
    std::uint32_t state, visible;
  } steps[] = {
      {0.0, 100, 100, kHoverIdle, 0},      // first sight: the pointer came from elsewhere
      {0.25, 100, 100, kHoverResting, 0},  // the rest starts
      {0.99, 107, 93, kHoverResting, 0},   // a 7-pixel jiggle is still a rest
      {1.0, 100, 100, kHoverPopup, 1},     // 0.75 s
      {2.99, 100, 100, kHoverPopup, 1},
      {3.0, 100, 100, kHoverExpired, 0},  // 2.75 s after the rest began
      {3.1, 108, 100, kHoverIdle, 0},     // an 8-pixel move restarts...
      {3.2, 108, 100, kHoverIdle, 0},     // ...but a pop-up shown once stays away
  };
  for (const auto& s : steps) {
    at(s.now, s.px, s.py);
    EXPECT_EQ(w.hoverState, s.state) << s.now;
    EXPECT_EQ(w.popupVisible, s.visible) << s.now;
    EXPECT_EQ(w.over, 1u);
  }
  w.OnMouseLeave(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(w.over + w.popupShownOnce + w.hoverState, 0u);
  at(4.0, 108, 100);
  EXPECT_EQ(w.hoverState, kHoverResting);
  at(4.75, 100, 108);  // 8 pixels down
  EXPECT_EQ(w.hoverState, kHoverIdle);
  at(5.0, 100, 108);
  at(5.75, 100, 108);
  EXPECT_EQ(w.popupVisible, 1u);
  w.OnMouseButton(1, 0, 0, 0, 0);
  EXPECT_EQ(w.popupVisible, 0u);
}

TEST_F(WidgetTest, ConfigurationAndEdgeSettersTouchOnlyTheirOwnValues) {
  for (std::uint32_t e = 0; e < 4; ++e) {
    Probe w("w", nullptr);
    Probe reference("r", nullptr);
    SetWidgetEdge(w, e, {1, 2, 3, 4});
    for (std::uint32_t k = 0; k < 4; ++k) {
      const WidgetEdge got = GetWidgetEdge(w, k);
      const WidgetEdge want = k == e ? WidgetEdge{1, 2, 3, 4} : GetWidgetEdge(reference, k);
      EXPECT_EQ(got.offset, want.offset);
      EXPECT_EQ(got.fraction, want.fraction);
      EXPECT_EQ(got.pixels, want.pixels);
      EXPECT_EQ(got.design, want.design);
    }
  }
  Probe w("w", nullptr);
  Place(w, 0, 0, 1, 1, 24);
  w.inset = 3;
  Place(w, 0.5f, 0, 1, 1, 4);
  EXPECT_EQ(w.style, 24u);
  EXPECT_EQ(GetLeftEdge(w).offset, 0.5f);
  EXPECT_EQ(w.inset, 0.0f);
  EXPECT_EQ(w.scalePair[0], 2.0f);
}

TEST(WidgetTexel, LocalCoordinatesClampToTheTexture) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float local;
    std::uint32_t log2, want;
  } cases[] = {{0, 3, 0},    {1, 3, 7},       {1.5f, 3, 7}, {-0.2f, 3, 0},
               {0.5f, 3, 3}, {0.5001f, 3, 4}, {nan, 3, 0},  {1, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(WidgetTexelIndex(c.local, c.log2), c.want) << c.local;
}

TEST(WidgetTextures, ResizeKeepsSameSizedBlocksAndSubtractsWhatWasCounted) {
  Texture2D t;
  ResizeImageBuffer(t, 4, 3, 2, 4);
  EXPECT_EQ(t.pixels.block.usedBytes, 128u);
  EXPECT_EQ(t.state.formatCode, 12u);
  void* first = t.pixels.data;
  ResizeImageBuffer(t, 4, 2, 3, 4);
  EXPECT_EQ(t.pixels.data, first);
  ResizeImageBuffer(t, 1, 3, 2, 0);
  EXPECT_EQ(t.pixels.block.usedBytes, 32u);
  EXPECT_EQ(t.state.formatCode, 8u);

  // An upload of the 8 x 4 image was counted: a resize takes off its texels, not the new ones.
  TextureMemoryReset();
  TextureMemory.texels = 1000;
  TextureMemory.bytes = 5000;
  t.state.counted = 1;
  t.state.accountedBytes = 100;
  t.state.stamp = ContextStamp;
  ResizeImageBuffer(t, 1, 4, 4, 0);
  EXPECT_EQ(TextureMemory.texels, 1000u - 32u);
  EXPECT_EQ(TextureMemory.bytes, 4900u);
  EXPECT_EQ(t.state.counted, 0u);
  TextureMemoryReset();
}

TEST(WidgetTextures, RenewalTakesAFreshNameOnlyAfterTheStampMoved) {
  const std::uint32_t saved = ContextStamp;
  Texture2D t;
  ResizeImageBuffer(t, 3, 2, 2, 3);
  t.state.stamp = ContextStamp;
  t.state.dirty = 0;
  Texture2DRenewName(t);
  EXPECT_EQ(t.state.dirty, 0u);  // uploaded under the current names: nothing to do
  ++ContextStamp;
  const std::uint32_t stale = t.state.slot;
  Texture2DRenewName(t);
  const std::uint32_t fresh = t.state.slot;
  EXPECT_NE(fresh, stale);
  EXPECT_EQ(t.state.slotStamp, ContextStamp);
  EXPECT_EQ(t.state.dirty, 1u);
  EXPECT_EQ(t.state.stamp, 0u);
  EXPECT_EQ(t.state.formatCode, 11u);
  Texture2DRenewNameAs(t, 4);  // slot already current: kept
  EXPECT_EQ(t.state.slot, fresh);
  EXPECT_EQ(t.state.formatCode, 12u);
  ContextStamp = saved;
  t.state.hasSlot = 0;
}

TEST(WidgetTextures, ReleaseDeletesOnlyOwnedTexturesAndLeavesNothingOwned) {
  Texture2D shared[2];  // another widget's: must survive (deleting them would crash)
  Texture2D *a = &shared[0], *b = &shared[1];
  std::uint32_t owns = 0;
  ReleaseWidgetTextures({&a, &b}, owns);
  EXPECT_TRUE(a == nullptr && b == nullptr);
  EXPECT_EQ(owns, 0u);
  a = new Texture2D;
  b = nullptr;
  owns = 1;
  ReleaseWidgetTextures({&a, &b}, owns);  // the sanitizer build reports a leak if not deleted
  EXPECT_TRUE(a == nullptr && b == nullptr);
  EXPECT_EQ(owns, 0u);
}

}  // namespace
}  // namespace veskor
