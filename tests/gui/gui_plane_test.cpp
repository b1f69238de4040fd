#include "gui/gui_plane.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/interface_frame.h"
#include "gui/screen_planes.h"
#include "gui_probe.h"

namespace veskor {
namespace {

using namespace test;
using PlaneTest = GuiTest;

TEST_F(PlaneTest, OnlyTheLastListChildIsLive) {
  for (std::uint32_t middleStyle : {0u, 16u}) {
    GuiPlane root;
    MakeRoot(root);
    Probe a("a", nullptr), b("b", nullptr), c("c", nullptr), front("f", nullptr),
        locked("d", nullptr);
    Place(b, 0, 0, 1, 1, middleStyle);
    Place(front, 0, 0, 1, 1, kPlaneFront);
    Place(locked, 0, 0, 1, 1, kPlaneAlwaysDisabled);
    for (GuiPlane* p : {&a, &b, &c, &front}) AddChildPlane(root, *p);
    AddChildPlane(c, locked);
    const std::uint32_t bLive = middleStyle == 16 ? 1 : 0;
    EXPECT_EQ(a.enabled, 0u);
    EXPECT_EQ(b.enabled, bLive);
    EXPECT_EQ(c.enabled, 1u);
    EXPECT_EQ(locked.enabled, 0u);
    EXPECT_EQ(locked.depth, 2u);
    EXPECT_EQ(locked.root, &root);
    SetEnabled(locked, 1);
    EXPECT_EQ(locked.enabled, 0u);

    SetEnabled(root, 0);  // reaches the front child and the last list child only
    EXPECT_EQ(c.enabled, 0u);
    EXPECT_EQ(front.enabled, 0u);
    EXPECT_EQ(b.enabled, bLive);
    SetEnabled(root, 1);
    EXPECT_EQ(c.enabled, 1u);
    EXPECT_EQ(a.enabled, 0u);
    EXPECT_EQ(c.stateChanges, 3);  // attached, disabled, enabled
    EXPECT_EQ(a.stateChanges, 2);  // attached, then disabled by b
  }
}

// r -> p -> back b, list l1 and l2, front f; all cover the window.
class TreeTest : public PlaneTest {
 protected:
  void SetUp() override {
    PlaneTest::SetUp();
    for (Probe* w : {&r, &p, &b, &l1, &l2, &f}) Place(*w, 0, 0, 1, 1);
    b.style = kPlaneBack;
    f.style = kPlaneFront;
    MakeRoot(r);
    AddChildPlane(r, p);
    for (Probe* w : {&f, &l1, &b, &l2}) AddChildPlane(p, *w);
    log.clear();
  }
  std::string log;
  Probe r{"r", &log}, p{"p", &log}, b{"b", &log}, l1{"l1", &log}, l2{"l2", &log}, f{"f", &log};
};

TEST_F(TreeTest, WalksVisitInDrawingAndInputOrders) {
  DrawPlaneTree(p);
  EXPECT_EQ(log, "p:draw b:draw b:end l1:draw l1:end l2:draw l2:end f:draw f:end p:end ");
  log.clear();
  const std::uint32_t keys[256] = {};
  DispatchInterfaceKeys(r, 1, keys);  // l1, below the top of the modal stack, does not react
  EXPECT_EQ(log, "f:key l2:key b:key p:key r:key ");
  log.clear();
  DispatchInterfaceKeys(r, 0, keys);
  HidePlane(r);
  DispatchInterfaceKeys(r, 1, keys);
  ShowPlane(r);
  EXPECT_EQ(log, "");
  MouseHoverDispatchTree(r, 0, 0, 0.5f, 0.5f);
  EXPECT_EQ(log, "f:over f:over l2:over l1:over b:over p:over r:over ");
  log.clear();
  MouseHoverDispatchTree(r, 0, 0, 1.5f, 0.5f);
  EXPECT_EQ(log, "f:leave l2:leave l1:leave b:leave p:leave r:leave ");
  for (Probe* w : {&r, &p, &b, &l1, &l2, &f}) EXPECT_EQ(w->hover, 0u) << w->name;
}

TEST_F(TreeTest, HiddenPlanesTakeNothingAndKeepTheirHover) {
  MouseHoverDispatchTree(r, 0, 0, 0.5f, 0.5f);
  HidePlane(l2);
  HidePlane(l2);
  EXPECT_EQ(l2.stateChanges, 2);  // attached, hidden once
  log.clear();
  DrawPlaneTree(p);
  const std::uint32_t keys[256] = {};
  KeyboardDispatchTree(p, 1, keys);
  MouseHoverDispatchTree(r, 0, 0, 1.5f, 0.5f);
  EXPECT_EQ(log.find("l2"), std::string::npos) << log;
  EXPECT_EQ(l2.hover, 1u);
  ShowPlane(l2);
  ShowPlane(l2);
  EXPECT_EQ(l2.hidden, 0u);
  EXPECT_EQ(l2.stateChanges, 3);
}

TEST_F(PlaneTest, PressesCaptureRaiseAndReleaseThroughTheTree) {
  std::string log;
  GuiPlane root;
  MakeRoot(root);
  Probe a("a", &log), b("b", &log), c("c", &log);
  Place(a, 0, 0, 0.5f, 1);
  Place(b, 0.5f, 0, 1, 1);
  Place(c, 0, 0, 0.5f, 1);  // inside b, from b's origin
  AddChildPlane(root, a);
  AddChildPlane(root, b);
  AddChildPlane(b, c);
  // The top of the stack's child takes a press over it.
  EXPECT_EQ(DispatchInput(root, 1, kButtonLeft, 0, 0.75f, 0.5f, 0), 1u);
  EXPECT_EQ(MouseCapture, &c);
  EXPECT_EQ(DispatchInput(root, 1, 0, 0, 0.75f, 0.5f, 0), 0u);
  EXPECT_EQ(log, "c:button1 c:button0 ");
  log.clear();

  // A press on the lower list child raises it: b goes quiet and last in the list no more.
  EXPECT_EQ(DispatchInput(root, 1, kButtonLeft, 0, 0.25f, 0.5f, 0), 1u);
  EXPECT_EQ(MouseCapture, &a);
  EXPECT_EQ(a.pressed, 1u);
  EXPECT_EQ(a.enabled, 1u);
  EXPECT_EQ(b.enabled, 0u);
  EXPECT_EQ(root.children.tail->plane, &a);
  EXPECT_EQ(root.children.head->plane, &b);
  EXPECT_EQ(root.children.count, 2u);
  EXPECT_FLOAT_EQ(MousePressPoint.x, 0.5f);
  // While captured: no hover anywhere, and held buttons are the drag's.
  MouseHoverDispatchTree(root, kButtonLeft, 0, 0.25f, 0.5f);
  EXPECT_EQ(a.hover + b.hover + root.hover, 0u);
  EXPECT_EQ(DispatchInput(root, 1, kButtonLeft | kButtonRight, 0, 0.3f, 0.5f, 0), 0u);
  EXPECT_EQ(DispatchInput(root, 1, 0, 0, 0.25f, 0.5f, 0), 0u);
  EXPECT_EQ(MouseCapture, nullptr);
  EXPECT_EQ(a.pressed, 0u);
  MouseHoverDispatchTree(root, 0, 0, 0.25f, 0.5f);
  EXPECT_EQ(log, "a:button1 a:button0 a:over ");
  log.clear();

  // With b's parent enabled but b quiet, c is no longer pressable: b itself takes it.
  DispatchInput(root, 1, kButtonLeft, 0, 0.75f, 0.5f, 0);
  EXPECT_EQ(MouseCapture, &b);
  DispatchInput(root, 1, 0, 0, 0.75f, 0.5f, 0);
  log.clear();

  // A style-64 plane released over another: the plane under the pointer hears it first.
  a.style |= kPlaneOutsideParent;
  DispatchInput(root, 1, kButtonLeft, 0, 0.25f, 0.5f, 0);
  EXPECT_EQ(DispatchInput(root, 1, 0, 0, 0.75f, 0.5f, 0), 1u);
  EXPECT_EQ(log, "a:button1 b:button0 a:button0 ");
  EXPECT_EQ(DispatchInput(root, 0, kButtonLeft, 0, 0.25f, 0.5f, 0), 0u);  // no event
}

TEST_F(PlaneTest, DragsGoToTheCapturedPlaneWhereverThePointerIs) {
  GuiPlane root;
  MakeRoot(root);
  Probe parent("p", nullptr), w("w", nullptr);
  Place(parent, 0, 0, 0.5f, 0.5f);
  Place(w, 0.125f, 0.125f, 0.25f, 0.3125f, kPlaneMovable);  // taller than wide
  AddChildPlane(root, parent);
  AddChildPlane(parent, w);
  DispatchInput(root, 1, kButtonLeft, 0, 0.1875f, 0.1875f, 0);
  ASSERT_EQ(MouseCapture, &w);
  MouseDragDispatch(root, kButtonLeft, 0, 0.3f, 0.2f);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeLeft], 0.3f - MousePressPoint.x);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeTop], 0.2f - MousePressPoint.y);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeRight] - w.edgeOffset[kEdgeLeft], 0.125f);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeBottom] - w.edgeOffset[kEdgeTop], 0.1875f);
  const float left = w.edgeOffset[kEdgeLeft];
  MouseDragDispatch(root, kButtonLeft, 0, 0.7f, 0.2f);  // outside the parent: stays
  MouseDragDispatch(root, 0, 0, 0.35f, 0.2f);           // no button: nothing
  w.enabled = 0;
  MouseDragDispatch(root, kButtonLeft, 0, 0.35f, 0.2f);  // a disabled capture: nothing
  w.enabled = 1;
  EXPECT_EQ(w.edgeOffset[kEdgeLeft], left);
  w.style |= kPlaneOutsideParent;
  MouseDragDispatch(root, kButtonLeft, 0, 0.7f, 0.2f);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeLeft], 0.7f - MousePressPoint.x);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeBottom] - w.edgeOffset[kEdgeTop], 0.1875f);
  EXPECT_FLOAT_EQ(w.edgeOffset[kEdgeRight] - w.edgeOffset[kEdgeLeft], 0.125f);
}

TEST(PixelSnap, RoundsUpOnlyPastHalfAPixel) {
  const float px = 1.0f / 1024;
  const struct {
    float pixels, want;
  } cases[] = {{10.5f, 10},   {10.51f, 11},  {10.6f, 11}, {10.49f, 10},
               {-10.7f, -10}, {-10.2f, -10}, {0, 0},      {3, 3}};
  for (const auto& c : cases) EXPECT_EQ(SnapToPixel(c.pixels * px, px), c.want * px) << c.pixels;
}

TEST_F(PlaneTest, ScreenPlaneListHolds128) {
  GuiPlane plane;
  ClearScreenPlanes();
  for (std::uint32_t i = 0; i < kScreenPlaneCapacity; ++i) ASSERT_EQ(AddScreenPlane(plane), 1u);
  EXPECT_EQ(AddScreenPlane(plane), 0u);
  EXPECT_EQ(ScreenPlaneList.count, kScreenPlaneCapacity);
  ClearScreenPlanes();
  EXPECT_EQ(ScreenPlaneList.count, 0u);
}

TEST_F(PlaneTest, LayoutRunsOnlyWhenDirtyAndGivesRelativeSizes) {
  GuiPlane root;
  MakeRoot(root);
  Probe outer("o", nullptr), inner("i", nullptr), leaf("l", nullptr);
  Place(outer, 0.25f, 0.25f, 0.75f, 0.75f);
  Place(inner, 0, 0, 0.25f, 0.125f);
  ConfigureWidget(leaf, 0, {}, {}, {0, 0.5f, 0, 0}, {0, 0.5f, 0, 0});  // half of inner
  AddChildPlane(root, outer);
  AddChildPlane(outer, inner);
  AddChildPlane(inner, leaf);
  LayOutInterface(root);
  EXPECT_EQ(LayoutDirty, 0u);
  EXPECT_FLOAT_EQ(outer.sizeX, 0.5f);
  EXPECT_FLOAT_EQ(inner.sizeX, 0.5f);  // 0.25 of the window = half of outer
  EXPECT_FLOAT_EQ(inner.sizeY, 0.25f);
  EXPECT_FLOAT_EQ(WidgetScaleX(inner, inner.sizeX), 0.25f);
  // Three deep, the factors still multiply to the absolute size.
  EXPECT_FLOAT_EQ(leaf.sizeX, 0.5f);
  EXPECT_FLOAT_EQ(WidgetScaleX(leaf, leaf.sizeX), 0.125f);
  EXPECT_FLOAT_EQ(WidgetScaleY(leaf, leaf.sizeY), 0.0625f);
  Place(outer, 0, 0, 1, 1);
  LayOutInterface(root);
  EXPECT_FLOAT_EQ(outer.sizeX, 0.5f);
  LayoutDirty = 1;
  LayOutInterface(root);
  EXPECT_FLOAT_EQ(outer.sizeX, 1.0f);
}

TEST_F(PlaneTest, ChildContainersReuseNodesAndStopAtTheirCapacity) {
  GuiPlane parent;
  GuiPlane child;
  ChildNode* first = ChildNodeAlloc(parent.children, &child);
  ChildNodeAlloc(parent.children, &child);
  ChildListRemove(parent.children, first);
  EXPECT_EQ(ChildNodeAlloc(parent.children, &child), first);  // the returned node first
  EXPECT_EQ(parent.children.count, 2u);
  EXPECT_EQ(parent.children.head->next, parent.children.tail);
  ChildListRemove(parent.children, parent.children.tail);
  EXPECT_EQ(parent.children.tail, parent.children.head);
  EXPECT_EQ(parent.children.tail->next, nullptr);
  EXPECT_EQ(ChildListFind(parent.children, &parent), nullptr);
  for (std::uint32_t i = 0; i < kChildPointerCapacity; ++i)
    PointerArrayGrow(parent.frontChildren, &child);
  EXPECT_EXIT(PointerArrayGrow(parent.frontChildren, &child), ::testing::ExitedWithCode(1),
              "Virtual Memory Error : Required Memory > Reserved Memory");
  EXPECT_EXIT(for (std::uint32_t i = 0; i < kChildNodeCapacity; ++i)
                  ChildNodeAlloc(parent.children, &child),
              ::testing::ExitedWithCode(1), "Required Memory > Reserved Memory");
}

}  // namespace
}  // namespace veskor
