// The window procedure and the input state it keeps: key tables, pointer position and buttons,
// the window's windowed geometry, and the flags the main loop reads. The procedure only
// records; the main loop consumes the state once a frame (DispatchInput and the interface
// walks, gui/interface_frame.h) and resets the one-frame words.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"   // FullScreenMode, WindowedWidth, WindowedHeight
#include "gui/gui_globals.h"  // PixelSize, DesignScale, ViewAspect, MousePoint, LayoutDirty
#include "platform/window.h"

namespace veskor {

inline constexpr std::uint32_t kKeyTableSize = 256;

// Non-zero while the key of that virtual-key code is down.
extern std::uint32_t KeyDownTable[kKeyTableSize];
// By key code (0-31 special keys, 32-255 typed characters): the virtual key that last produced
// it. A code counts as held while KeyDownTable[KeyCodeMap[code]] is non-zero.
extern std::uint32_t KeyCodeMap[kKeyTableSize];
extern std::uint32_t LastKey;   // virtual key of the last key-down message
extern std::uint32_t KeyEvent;  // a key-down or character message this frame
extern std::uint32_t ShiftDown;
extern std::uint32_t ControlDown;
extern std::uint32_t AltDown;
extern std::uint32_t MouseEvent;  // a button press or release this frame
// Button bits 1 left, 2 middle, 4 right; bit 64 asks the next move to resynchronise them.
extern std::uint32_t MouseButtons;
extern std::uint32_t HeldButtons;     // MouseButtons & 0x1F at the end of the previous frame
extern std::uint32_t MouseModifiers;  // 1 Control, 2 Shift, as of the last mouse message
extern std::uint32_t MouseWheel;      // the wheel word: nothing sets it
inline constexpr std::uint32_t kMouseResync = 64;
inline constexpr std::uint32_t kMouseButtonBits = 0x1F;

// The pointer as fractions of the client area from the top left, (-1, -1) for none. The
// toolkit's MousePoint holds it (its hover timer reads it); these are its two halves.
inline float& MouseX = MousePoint.x;
inline float& MouseY = MousePoint.y;
// The pointer on the desktop as fractions of its size, recorded while the window holds the
// capture; 0.5, 0.5 until then.
extern float CapturedMouseX;
extern float CapturedMouseY;

// 1 while the window is shown and not minimised; 0 until the first activation.
extern std::uint32_t DrawEnabled;
// The windowed client origin (settings XPos, YPos); the size is WindowedWidth x WindowedHeight.
extern std::int32_t WindowedX;
extern std::int32_t WindowedY;
// Set by the display-mode code: the next move or size message is its own, not recorded.
extern std::uint32_t SkipNextMove;
extern std::uint32_t SkipNextSize;
// The desktop's display mode at start.
extern std::uint32_t DesktopWidth;
extern std::uint32_t DesktopHeight;
extern float InverseDesktopWidth;
extern float InverseDesktopHeight;

// The code a key-down message stores for a virtual key: 0-31 for the special keys, 32 for
// every other key (not stored).
std::uint32_t SpecialKeyCode(std::uint32_t virtualKey);

// Records one message; returns 0 for the messages it handles, else the default answer.
std::intptr_t MainWindowProc(const WindowMessage& message);

// The pointer position recorded while the window held the capture.
void GetCapturedMousePosition(float* x, float* y);

}  // namespace veskor
