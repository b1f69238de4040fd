// The plane tree of the interface: GuiPlane, the node every screen, panel and widget is, with
// its three kinds of children, its flags and the walks that lay the tree out, draw it and
// feed it keys and mouse movement once a frame. Widgets (gui_widget.h) add rectangles.
//
// Interface coordinates are GUI units: the window spans 0..1 in x and y, y pointing down.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/vm_array.h"

namespace veskor {

class GuiPlane;

// Style bits.
enum : std::uint32_t {
  kPlaneMovable = 1,  // a widget follows drags of the left button
  kPlaneFront = 4,    // a front child: drawn over the list, asked first
  kPlaneBack = 8,     // a back child: drawn under the list
  kPlaneAlwaysEnabled = 16,
  kPlaneAlwaysDisabled = 32,
  kPlaneOutsideParent = 64,  // dragged and dropped outside its parent, never clipped by it
};

// Mouse buttons and modifier flags, as the window procedure keeps them.
enum : std::uint32_t { kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 4 };
enum : std::uint32_t { kModifierControl = 1, kModifierShift = 2 };

// A child container holds at most this many entries: the element counts of the 4096-byte
// reserves of 12-byte nodes and 4-byte pointers that its capacity was first given in.
inline constexpr std::uint32_t kChildNodeCapacity = 4096 / 12;
inline constexpr std::uint32_t kChildPointerCapacity = 4096 / 4;

struct ChildNode {
  GuiPlane* plane;  // null while the node is on the free list
  ChildNode* next;  // also the free-list link
  ChildNode* prev;
};

// The list children, in nodes from the plane's own pool.
struct ChildList {
  MemBlock pool;
  ChildNode* freeNodes;
  ChildNode* head;
  ChildNode* tail;
  std::uint32_t count;
};

// A corner of a plane's rectangle in GUI units. Rectangles pass as four corners: top-left,
// top-right, bottom-right, bottom-left.
struct PlanePoint {
  float x, y;
};
using PlaneCorners = PlanePoint[4];

class GuiPlane {
 public:
  GuiPlane();
  virtual ~GuiPlane();
  GuiPlane(const GuiPlane&) = delete;
  GuiPlane& operator=(const GuiPlane&) = delete;

  // Called by the application once the GL context exists.
  virtual void Init() {}
  virtual void BeginDraw() {}
  virtual void Draw() {}
  virtual void EndDraw() {}
  // Base: size factors 1, 1.
  virtual void UpdateLayout();
  // `keyTable`: the application's 256 key-down entries.
  virtual void OnKey(const std::uint32_t* /*keyTable*/) {}
  // The captured plane while buttons are held; press x, y: the press point in its local 0..1
  // coordinates; inside: the pointer is inside its parent.
  virtual void OnMouseDrag(std::uint32_t /*buttons*/, std::uint32_t /*flags*/, float /*x*/,
                           float /*y*/, float /*pressX*/, float /*pressY*/,
                           std::uint32_t /*inside*/) {}
  // buttons: those held after the event, non-zero at a press and 0 at the final release.
  virtual void OnMouseButton(std::uint32_t /*buttons*/, std::uint32_t /*flags*/, float /*x*/,
                             float /*y*/, std::uint32_t /*extra*/) {}
  virtual void OnMouseOver(std::uint32_t /*buttons*/, std::uint32_t /*flags*/, float /*x*/,
                           float /*y*/, float /*localX*/, float /*localY*/) {}
  virtual void OnMouseLeave(std::uint32_t /*buttons*/, std::uint32_t /*flags*/, float /*x*/,
                            float /*y*/, float /*localX*/, float /*localY*/) {}
  // After enabling, showing, hiding or attaching changed a flag.
  virtual void OnStateChange(std::uint32_t /*enabled*/, std::uint32_t /*hidden*/) {}
  // The screen position of the plane's top-left corner; base: 0, 0.
  virtual void GetOrigin(float* x, float* y);
  // Base: size factors 1, 1.
  virtual void ComputeSize();
  // Bounds a child's corners by this plane; 0 when nothing of the child is left. Base: 1.
  virtual std::uint32_t ClipChild(std::uint32_t /*childStyle*/, PlaneCorners& /*corners*/) {
    return 1;
  }
  // Maps a screen point into the plane's 0..1 coordinates; 1 when it is inside. Base: the
  // point unchanged, always inside.
  virtual std::uint32_t ToLocal(float x, float y, float* localX, float* localY);

  std::uint32_t style = 0;
  std::uint32_t enabled = 0;
  std::uint32_t pressed = 0;
  ChildList children{};
  VmArray frontChildren{};  // of GuiPlane*
  VmArray backChildren{};   // of GuiPlane*
  GuiPlane* root = nullptr;
  GuiPlane* parent = nullptr;
  float sizeX = 1.0f;  // width and height as factors of the parent's
  float sizeY = 1.0f;
  std::uint32_t depth = 0;
  std::uint32_t hidden = 0;  // not drawn, no keys, no hover, for the whole subtree
  std::uint32_t hover = 0;
};

// The front or back children as an array.
inline GuiPlane** PlaneArray(const VmArray& array) { return VmArrayData<GuiPlane*>(array); }

// The walks visit children in one of two orders: drawing order (back array, list head to
// tail, front array, each first to last) and input order (the exact reverse).
template <class Visit>
inline void ForEachArray(const VmArray& array, bool reverse, Visit visit) {
  GuiPlane** planes = PlaneArray(array);
  const std::uint32_t n = array.count;
  for (std::uint32_t i = 0; i < n; ++i) visit(*planes[reverse ? n - 1 - i : i]);
}

template <class Visit>
inline void ForEachListed(const ChildList& list, bool reverse, Visit visit) {
  for (ChildNode* node = reverse ? list.tail : list.head; node != nullptr;) {
    ChildNode* following = reverse ? node->prev : node->next;
    visit(*node->plane);
    node = following;
  }
}

template <class Visit>
inline void ForEachInDrawingOrder(const GuiPlane& plane, Visit visit) {
  ForEachArray(plane.backChildren, false, visit);
  ForEachListed(plane.children, false, visit);
  ForEachArray(plane.frontChildren, false, visit);
}

template <class Visit>
inline void ForEachInInputOrder(const GuiPlane& plane, Visit visit) {
  ForEachArray(plane.frontChildren, true, visit);
  ForEachListed(plane.children, true, visit);
  ForEachArray(plane.backChildren, true, visit);
}

// Containers. Each is given its capacity at its first use (or by ReservePlaneContainers);
// going past it is fatal through the memory manager.
void ReservePlaneContainers(GuiPlane& plane);
// Takes a node (a returned one first) for `child` and appends it at the tail.
ChildNode* ChildNodeAlloc(ChildList& list, GuiPlane* child);
// Unlinks the node and returns it to the pool; null does nothing.
void ChildListRemove(ChildList& list, ChildNode* node);
// The first node holding the plane, or null.
ChildNode* ChildListFind(const ChildList& list, const GuiPlane* plane);
// Appends a pointer to a front or back array.
void PointerArrayGrow(VmArray& array, GuiPlane* plane);

// Attaches the child: root, parent, enabled state from the parent, depth, size; a front or
// back child joins its array, any other becomes the last list child and disables the one
// before it (the modal stack: only the last list child is live).
void AddChildPlane(GuiPlane& parent, GuiPlane& child);
void ShowPlane(GuiPlane& plane);
void HidePlane(GuiPlane& plane);
// Style 16 forces 1, style 32 forces 0. A change reaches the back children, the last list
// child and the front children.
void SetEnabled(GuiPlane& plane, std::uint32_t value);

// The walks. Drawing goes back children, list, front children; input the other way.
void UpdatePlaneTree(GuiPlane& plane);
std::uint32_t DrawPlaneTree(GuiPlane& plane);
void KeyboardDispatchTree(GuiPlane& plane, std::uint32_t keyEvent, const std::uint32_t* keyTable);
void MouseDragDispatch(GuiPlane& root, std::uint32_t buttons, std::uint32_t flags, float x,
                       float y);
void MouseHoverDispatchTree(GuiPlane& plane, std::uint32_t buttons, std::uint32_t flags, float x,
                            float y);
void MouseLeaveTree(GuiPlane& plane, std::uint32_t buttons, std::uint32_t flags, float x, float y,
                    float localX, float localY);

// The plane that took the last press (null when no press is active) and the press point in
// its local coordinates.
extern GuiPlane* MouseCapture;
extern PlanePoint MousePressPoint;

}  // namespace veskor
