#include "gui/gui_plane.h"

#include <initializer_list>

namespace veskor {

GuiPlane* MouseCapture = nullptr;
PlanePoint MousePressPoint{0.0f, 0.0f};

namespace {

constexpr std::uint32_t kNodeBytes = kChildNodeCapacity * sizeof(ChildNode);
constexpr std::uint32_t kPointerBytes = kChildPointerCapacity * sizeof(GuiPlane*);

// Step 3 of SetEnabled: the back children, the last list child and the front children.
void PassEnabledOn(GuiPlane& plane, std::uint32_t value) {
  ForEachArray(plane.backChildren, false, [&](GuiPlane& c) { SetEnabled(c, value); });
  if (plane.children.tail != nullptr) SetEnabled(*plane.children.tail->plane, value);
  ForEachArray(plane.frontChildren, false, [&](GuiPlane& c) { SetEnabled(c, value); });
}

std::uint32_t ForcedByStyle(std::uint32_t style, std::uint32_t value) {
  if (style & kPlaneAlwaysEnabled) return 1;
  if (style & kPlaneAlwaysDisabled) return 0;
  return value;
}

void LeaveChildren(GuiPlane& plane, std::uint32_t buttons, std::uint32_t flags, float x, float y,
                   float lx, float ly) {
  ForEachInInputOrder(plane, [&](GuiPlane& c) { MouseLeaveTree(c, buttons, flags, x, y, lx, ly); });
}

}  // namespace

GuiPlane::GuiPlane() = default;

GuiPlane::~GuiPlane() {
  // Children are not destroyed here: every plane is a global or a member of another object.
  // The releases do nothing once the memory manager is down.
  VmArrayRelease(backChildren);
  VmArrayRelease(frontChildren);
  MemBlockRelease(children.pool);
  children = ChildList{};
}

void GuiPlane::UpdateLayout() {
  sizeX = 1.0f;
  sizeY = 1.0f;
}

void GuiPlane::GetOrigin(float* x, float* y) {
  *x = 0.0f;
  *y = 0.0f;
}

void GuiPlane::ComputeSize() {
  sizeX = 1.0f;
  sizeY = 1.0f;
}

std::uint32_t GuiPlane::ToLocal(float x, float y, float* localX, float* localY) {
  *localX = x;
  *localY = y;
  return 1;
}

void ReservePlaneContainers(GuiPlane& plane) {
  if (plane.children.pool.base == nullptr) MemBlockReserve(plane.children.pool, kNodeBytes);
  for (VmArray* a : {&plane.frontChildren, &plane.backChildren})
    if (a->block.base == nullptr) VmArrayReserve(*a, kPointerBytes);
}

ChildNode* ChildNodeAlloc(ChildList& list, GuiPlane* child) {
  ChildNode* node = list.freeNodes;
  if (node != nullptr) {
    list.freeNodes = node->next;
  } else {
    if (list.pool.base == nullptr) MemBlockReserve(list.pool, kNodeBytes);
    node = static_cast<ChildNode*>(MemBlockAppend(list.pool, sizeof(ChildNode)));
  }
  *node = ChildNode{child, nullptr, list.tail};
  if (list.tail != nullptr)
    list.tail->next = node;
  else
    list.head = node;
  list.tail = node;
  ++list.count;
  return node;
}

void ChildListRemove(ChildList& list, ChildNode* node) {
  if (node == nullptr) return;
  if (node->prev != nullptr)
    node->prev->next = node->next;
  else
    list.head = node->next;
  if (node->next != nullptr)
    node->next->prev = node->prev;
  else
    list.tail = node->prev;
  *node = ChildNode{nullptr, list.freeNodes, nullptr};
  list.freeNodes = node;
  --list.count;
}

ChildNode* ChildListFind(const ChildList& list, const GuiPlane* plane) {
  for (ChildNode* node = list.head; node != nullptr; node = node->next)
    if (node->plane == plane) return node;
  return nullptr;
}

void PointerArrayGrow(VmArray& array, GuiPlane* plane) {
  if (array.block.base == nullptr) VmArrayReserve(array, kPointerBytes);
  MemBlockAppend(array.block, sizeof(GuiPlane*));
  PlaneArray(array)[array.count++] = plane;
}

void AddChildPlane(GuiPlane& parent, GuiPlane& child) {
  child.root = parent.root;
  child.parent = &parent;
  child.pressed = 0;
  const std::uint32_t value = ForcedByStyle(child.style, parent.enabled);
  if (value != child.enabled) {
    child.enabled = value;
    child.OnStateChange(value, child.hidden);
    PassEnabledOn(child, value);
  }
  child.depth = parent.depth + 1;
  child.ComputeSize();
  if (child.style & kPlaneFront) {
    PointerArrayGrow(parent.frontChildren, &child);
    return;
  }
  if (child.style & kPlaneBack) {
    PointerArrayGrow(parent.backChildren, &child);
    return;
  }
  // The previous top of the modal stack goes quiet, unless it is always enabled.
  if (parent.children.tail != nullptr) SetEnabled(*parent.children.tail->plane, 0);
  ChildNodeAlloc(parent.children, &child);
}

void ShowPlane(GuiPlane& plane) {
  if (plane.hidden == 0) return;
  plane.hidden = 0;
  plane.OnStateChange(plane.enabled, 0);
}

void HidePlane(GuiPlane& plane) {
  if (plane.hidden != 0) return;
  plane.hidden = 1;
  plane.OnStateChange(plane.enabled, 1);
}

void SetEnabled(GuiPlane& plane, std::uint32_t value) {
  value = ForcedByStyle(plane.style, value);
  if (plane.enabled == value) return;
  plane.enabled = value;
  plane.OnStateChange(value, plane.hidden);
  PassEnabledOn(plane, value);
}

void UpdatePlaneTree(GuiPlane& plane) {
  plane.UpdateLayout();
  ForEachInDrawingOrder(plane, [](GuiPlane& c) { UpdatePlaneTree(c); });
}

std::uint32_t DrawPlaneTree(GuiPlane& plane) {
  if (plane.hidden != 0) return 1;
  plane.BeginDraw();
  plane.Draw();
  ForEachInDrawingOrder(plane, [](GuiPlane& c) { DrawPlaneTree(c); });
  plane.EndDraw();
  return 1;
}

void KeyboardDispatchTree(GuiPlane& plane, std::uint32_t keyEvent, const std::uint32_t* keyTable) {
  if (plane.hidden != 0) return;
  auto visit = [&](GuiPlane& c) { KeyboardDispatchTree(c, keyEvent, keyTable); };
  ForEachArray(plane.frontChildren, false, visit);
  ForEachListed(plane.children, false, visit);
  ForEachArray(plane.backChildren, false, visit);
  if (plane.enabled != 0 && keyEvent != 0) plane.OnKey(keyTable);
}

void MouseDragDispatch(GuiPlane& root, std::uint32_t buttons, std::uint32_t flags, float x,
                       float y) {
  GuiPlane* captured = MouseCapture;
  if (root.hidden != 0 || captured == nullptr || captured->enabled == 0 || buttons == 0) return;
  std::uint32_t inside = 1;
  if (captured->parent != nullptr) {
    float lx, ly;
    inside = captured->parent->ToLocal(x, y, &lx, &ly);
  }
  captured->OnMouseDrag(buttons, flags, x, y, MousePressPoint.x, MousePressPoint.y, inside);
}

void MouseHoverDispatchTree(GuiPlane& plane, std::uint32_t buttons, std::uint32_t flags, float x,
                            float y) {
  float lx = 0.0f, ly = 0.0f;
  const std::uint32_t inside = plane.ToLocal(x, y, &lx, &ly);
  if (plane.hidden != 0) return;
  auto hover = [&](GuiPlane& c) { MouseHoverDispatchTree(c, buttons, flags, x, y); };
  if (MouseCapture == nullptr || MouseCapture == &plane) {
    // Front children may hang outside their parent: they are asked even when it is missed.
    ForEachArray(plane.frontChildren, true, hover);
    if (inside != 0) {
      ForEachInInputOrder(plane, hover);
      plane.hover = 1;
      plane.OnMouseOver(buttons, flags, x, y, lx, ly);
      return;
    }
  } else if (inside != 0) {
    return;
  }
  if (plane.hover == 0) return;
  LeaveChildren(plane, buttons, flags, x, y, lx, ly);
  plane.hover = 0;
  plane.OnMouseLeave(buttons, flags, x, y, lx, ly);
}

void MouseLeaveTree(GuiPlane& plane, std::uint32_t buttons, std::uint32_t flags, float x, float y,
                    float localX, float localY) {
  if (plane.hidden != 0 || plane.hover == 0) return;
  LeaveChildren(plane, buttons, flags, x, y, localX, localY);
  plane.hover = 0;
  plane.OnMouseLeave(buttons, flags, x, y, localX, localY);
}

}  // namespace veskor
