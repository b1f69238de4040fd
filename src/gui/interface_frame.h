// The interface's share of the application's frame loop, in the order a frame runs it: lay
// the plane tree out when asked, draw it over the scene in 2-D, then, after the buffers are
// swapped, route keys, presses and releases, drags and hover through it.
//
// The shell owns the loop and the window's input words; these walks live here so that the
// toolkit needs nothing of the shell.
#pragma once

#include <cstdint>

#include "gui/gui_plane.h"

namespace veskor {

// When LayoutDirty is set: the root's UpdateLayout, UpdatePlaneTree on each of its children
// (back, list, front); then LayoutDirty := 0.
void LayOutInterface(GuiPlane& root);

// Only when the root has a child: the projection and modelview matrices are pushed and set so
// that GUI units map onto the viewport, each child of the root is drawn with DrawPlaneTree in
// drawing order (`afterPlane`, when given, runs after each), and both matrices are popped.
void DrawInterface(GuiPlane& root, void (*afterPlane)() = nullptr);
// The matrices DrawInterface draws in: both pushed, the projection the identity, the modelview
// mapping GUI units (0, 0) to the viewport's top-left corner and (1, 1) to its bottom-right
// one. EndGuiUnits pops both, leaving the modelview current.
void BeginGuiUnits();
void EndGuiUnits();

// Unless the root is hidden: KeyboardDispatchTree on each child of the root (front, list,
// back), then the root's OnKey when it is enabled and a key event arrived.
void DispatchInterfaceKeys(GuiPlane& root, std::uint32_t keyEvent, const std::uint32_t* keyTable);

// The press and release routing, once a frame before the drag and hover walks. A press (a
// mouse event with buttons & 31 and no capture) goes to the first shown plane under the
// pointer in input order whose parent is enabled; that plane is pressed, takes the capture
// with its local press point, is enabled, is raised to the top of its parent's list, and gets
// OnMouseButton. The final release (no button held) goes to the captured plane, and first,
// for a style-64 plane, to the plane under the pointer; then the capture ends. 1 when a plane
// took a press or a dropped release.
std::uint32_t DispatchInput(GuiPlane& root, std::uint32_t event, std::uint32_t buttons,
                            std::uint32_t flags, float x, float y, std::uint32_t extra);

// DispatchInput with the event's buttons, then MouseDragDispatch and MouseHoverDispatchTree
// with the buttons held through the frame.
void DispatchInterfaceMouse(GuiPlane& root, std::uint32_t event, std::uint32_t buttons,
                            std::uint32_t heldButtons, std::uint32_t flags, float x, float y,
                            std::uint32_t extra);

}  // namespace veskor
