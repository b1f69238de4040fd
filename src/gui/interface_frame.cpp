#include "gui/interface_frame.h"

#include "gui/gui_globals.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr std::uint32_t kButtonBits = 0x1F;

bool HasChildren(const GuiPlane& plane) {
  return plane.children.count != 0 || plane.frontChildren.count != 0 ||
         plane.backChildren.count != 0;
}

// The plane a press at (x, y) goes to: depth first in input order, children before their
// parent, the first shown plane containing the point whose parent is enabled (or that has
// no parent). The root is searched even when hidden. The subtree of `skip` takes nothing.
GuiPlane* FindPressTarget(GuiPlane& plane, bool isRoot, float x, float y, const GuiPlane* skip,
                          PlanePoint* local) {
  if ((!isRoot && plane.hidden != 0) || &plane == skip) return nullptr;
  GuiPlane* found = nullptr;
  ForEachInInputOrder(plane, [&](GuiPlane& child) {
    if (found == nullptr) found = FindPressTarget(child, false, x, y, skip, local);
  });
  if (found != nullptr) return found;
  float lx, ly;
  if (plane.ToLocal(x, y, &lx, &ly) == 0) return nullptr;
  if (plane.parent != nullptr && plane.parent->enabled == 0) return nullptr;
  *local = {lx, ly};
  return &plane;
}

// A pressed list child becomes the last of its parent's list: the top of the modal stack.
void RaiseInParentList(GuiPlane& plane) {
  GuiPlane* parent = plane.parent;
  if (parent == nullptr || (plane.style & (kPlaneFront | kPlaneBack)) != 0 || parent->enabled == 0)
    return;
  ChildList& list = parent->children;
  ChildNode* node = ChildListFind(list, &plane);
  if (node == nullptr || node == list.tail) return;
  SetEnabled(*list.tail->plane, 0);
  ChildListRemove(list, node);
  ChildNodeAlloc(list, &plane);
}

}  // namespace

void LayOutInterface(GuiPlane& root) {
  if (LayoutDirty == 0) return;
  root.UpdateLayout();
  ForEachInDrawingOrder(root, [](GuiPlane& c) { UpdatePlaneTree(c); });
  LayoutDirty = 0;
}

void BeginGuiUnits() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(-1.0f, 1.0f, 0.0f);
  glScalef(2.0f, -2.0f, 1.0f);
}

void EndGuiUnits() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void DrawInterface(GuiPlane& root, void (*afterPlane)()) {
  if (!HasChildren(root)) return;
  BeginGuiUnits();
  ForEachInDrawingOrder(root, [&](GuiPlane& c) {
    DrawPlaneTree(c);
    if (afterPlane != nullptr) afterPlane();
  });
  EndGuiUnits();
}

void DispatchInterfaceKeys(GuiPlane& root, std::uint32_t keyEvent, const std::uint32_t* keyTable) {
  KeyboardDispatchTree(root, keyEvent, keyTable);
}

std::uint32_t DispatchInput(GuiPlane& root, std::uint32_t event, std::uint32_t buttons,
                            std::uint32_t flags, float x, float y, std::uint32_t extra) {
  if (event == 0) return 0;
  GuiPlane* captured = MouseCapture;
  if (captured == nullptr) {
    if ((buttons & kButtonBits) == 0) return 0;
    PlanePoint local{};
    GuiPlane* plane = FindPressTarget(root, true, x, y, nullptr, &local);
    if (plane == nullptr) return 0;
    MousePressPoint = local;
    plane->pressed = 1;
    MouseCapture = plane;
    SetEnabled(*plane, 1);
    RaiseInParentList(*plane);
    plane->OnMouseButton(buttons, flags, x, y, extra);
    return 1;
  }
  if ((buttons & kButtonBits) != 0) return 0;  // a drag: MouseDragDispatch's
  std::uint32_t taken = 0;
  if (captured->style & kPlaneOutsideParent) {
    PlanePoint local{};
    if (GuiPlane* target = FindPressTarget(root, true, x, y, captured, &local)) {
      target->OnMouseButton(buttons, flags, x, y, extra);
      taken = 1;
    }
  }
  captured->pressed = 0;
  captured->OnMouseButton(buttons, flags, x, y, extra);
  MouseCapture = nullptr;
  return taken;
}

void DispatchInterfaceMouse(GuiPlane& root, std::uint32_t event, std::uint32_t buttons,
                            std::uint32_t heldButtons, std::uint32_t flags, float x, float y,
                            std::uint32_t extra) {
  DispatchInput(root, event, buttons, flags, x, y, extra);
  MouseDragDispatch(root, heldButtons, flags, x, y);
  MouseHoverDispatchTree(root, heldButtons, flags, x, y);
}

}  // namespace veskor
