#include "app/window_proc.h"

#include "app/automation.h"
#include "app/camera_bookmarks.h"
#include "platform/gl.h"
#include "platform/process.h"

namespace veskor {

std::uint32_t KeyDownTable[kKeyTableSize];
std::uint32_t KeyCodeMap[kKeyTableSize];
std::uint32_t LastKey = 0;
std::uint32_t KeyEvent = 0;
std::uint32_t ShiftDown = 0;
std::uint32_t ControlDown = 0;
std::uint32_t AltDown = 0;
std::uint32_t MouseEvent = 0;
std::uint32_t MouseButtons = 0;
std::uint32_t HeldButtons = 0;
std::uint32_t MouseModifiers = 0;
std::uint32_t MouseWheel = 0;
float CapturedMouseX = 0.5f;
float CapturedMouseY = 0.5f;
std::uint32_t DrawEnabled = 0;
std::int32_t WindowedX = 50;
std::int32_t WindowedY = 50;
std::uint32_t SkipNextMove = 0;
std::uint32_t SkipNextSize = 0;
std::uint32_t DesktopWidth = 0;
std::uint32_t DesktopHeight = 0;
float InverseDesktopWidth = 0.0f;
float InverseDesktopHeight = 0.0f;

namespace {

// The pointer from a message's two words, signed: outside the client area (while the window
// holds the capture) a position left of or above it is a small negative fraction.
void TakePosition(std::intptr_t lParam) {
  MouseX = static_cast<float>(SignedLowWord(lParam)) * PixelSize.x;
  MouseY = static_cast<float>(SignedHighWord(lParam)) * PixelSize.y;
}

void OnSize(std::intptr_t lParam) {
  const std::uint32_t w = LowWord(lParam), h = HighWord(lParam);
  PixelSize = {w != 0 ? 1.0f / static_cast<float>(w) : 1.0f,
               h != 0 ? 1.0f / static_cast<float>(h) : 1.0f};
  // A minimised window reports a zero size: it keeps the geometry it had, so that neither the
  // settings nor the layout take a zero size or an infinite scale from it.
  if (w != 0 && h != 0) {
    WindowedWidth = w;
    WindowedHeight = h;
    DesignScale = {static_cast<float>(DesktopWidth) / static_cast<float>(w),
                   static_cast<float>(DesktopHeight) / static_cast<float>(h)};
    ViewAspect = {static_cast<float>(h) / static_cast<float>(w),
                  static_cast<float>(w) / static_cast<float>(h)};
  }
  glViewport(0, 0, static_cast<GLsizei>(w != 0 ? w : 1), static_cast<GLsizei>(h != 0 ? h : 1));
  LayoutDirty = 1;
}

void OnKeyDown(std::uint32_t key) {
  KeyEvent = 1;
  LastKey = key;
  if (key == kVkShift) ShiftDown = 1;
  if (key == kVkControl) ControlDown = 1;
  if (key == kVkAlt) AltDown = 1;
  KeyDownTable[key] = 1;
  const std::uint32_t code = SpecialKeyCode(key);
  if (code < 32) KeyCodeMap[code] = key;
}

void OnKeyUp(std::uint32_t key) {
  if (AltDown != 0 && ControlDown != 0 && key == kVkControl) {
    // The release of AltGr, which the keyboard sends as Control and Alt.
    AltDown = 0;
    ControlDown = 0;
    KeyDownTable[kVkControl] = 0;
    KeyDownTable[kVkAlt] = 0;
    return;
  }
  KeyDownTable[key] = 0;
  if (key == kVkShift) ShiftDown = 0;
  if (key == kVkControl) ControlDown = 0;
}

void OnButton(std::uint32_t bit, bool down, const WindowMessage& m) {
  MouseEvent = 1;
  if (down) {
    MouseButtons |= bit;
    MouseModifiers =
        (KeyDownTable[kVkControl] != 0 ? 1u : 0u) | (KeyDownTable[kVkShift] != 0 ? 2u : 0u);
  } else {
    MouseButtons &= ~bit;
    MouseModifiers = m.wParam == kMkControl ? 1u : m.wParam == kMkShift ? 2u : 0u;
  }
  TakePosition(m.lParam);
}

void OnMouseMove(const WindowMessage& m) {
  const std::uintptr_t flags = m.wParam;
  if (MouseButtons & kMouseResync) {
    MouseButtons |= ((flags & kMkLButton) ? 1u : 0u) | ((flags & kMkMButton) ? 2u : 0u) |
                    ((flags & kMkRButton) ? 4u : 0u);
    MouseModifiers |= ((flags & kMkControl) ? 1u : 0u) | ((flags & kMkShift) ? 2u : 0u);
    HeldButtons = MouseButtons & kMouseButtonBits;
  }
  if (HeldButtons != 0) {
    MouseModifiers = (MouseModifiers & ~3u) | (KeyDownTable[kVkControl] != 0 ? 1u : 0u) |
                     (KeyDownTable[kVkShift] != 0 ? 2u : 0u);
  }
  KeyDownTable[kVkShift] = (flags & kMkShift) != 0 ? 1 : 0;
  KeyDownTable[kVkControl] = (flags & kMkControl) != 0 ? 1 : 0;
  MouseButtons &= ~kMouseResync;
  TakePosition(m.lParam);
}

}  // namespace

std::uint32_t SpecialKeyCode(std::uint32_t key) {
  if (key >= kVkPageUp && key <= kVkDown) return key - 0x21;
  if (key == kVkBack || key == kVkTab || key == kVkReturn || key == kVkEscape) return key;
  if (key == kVkInsert || key == kVkDelete) return key - 0x23;
  if (key >= kVkF1 && key <= kVkF1 + 11) return key - 0x6D;
  if (key >= kVkShift && key <= kVkAlt) return key + 12;
  return 32;
}

std::intptr_t MainWindowProc(const WindowMessage& m) {
  switch (m.message) {
    case kWmMove:
      if (SkipNextMove == 0 && FullScreenMode == 0) {
        WindowedX = SignedLowWord(m.lParam);
        WindowedY = SignedHighWord(m.lParam);
      } else {
        SkipNextMove = 0;
      }
      return 0;
    case kWmSize:
      if (SkipNextSize == 0 && FullScreenMode == 0) {
        OnSize(m.lParam);
      } else {
        SkipNextSize = 0;
      }
      return 0;
    case kWmActivate:
      DrawEnabled = HighWord(static_cast<std::intptr_t>(m.wParam)) == 0 ? 1 : 0;
      return 0;
    case kWmClose:
      // The run ends from here, with the loop's status: the bookmarks' write keeps the end's
      // time.
      NormalExitDecided(AutomationExitCode(0));
      WriteCameraBookmarks();  // the views saved reach their file at this exit too
      PostQuitMessage(0);
      return 0;
    case kWmNcHitTest:
      if (WindowHasMouseCapture()) {
        CapturedMouseX = static_cast<float>(SignedLowWord(m.lParam)) * InverseDesktopWidth;
        CapturedMouseY = static_cast<float>(SignedHighWord(m.lParam)) * InverseDesktopHeight;
      }
      return DefaultWindowProc(m);
    case kWmSysCommand:
      if (m.wParam == kScScreenSave || m.wParam == kScMonitorPower) return 0;
      return DefaultWindowProc(m);
    case kWmKeyDown: OnKeyDown(m.wParam & 0xFF); return 0;
    case kWmKeyUp: OnKeyUp(m.wParam & 0xFF); return 0;
    case kWmChar:
      KeyEvent = 1;
      KeyCodeMap[m.wParam & 0xFF] = LastKey;
      return 0;
    case kWmLButtonDown: OnButton(1, true, m); return 0;
    case kWmMButtonDown: OnButton(2, true, m); return 0;
    case kWmRButtonDown: OnButton(4, true, m); return 0;
    case kWmLButtonUp: OnButton(1, false, m); return 0;
    case kWmMButtonUp: OnButton(2, false, m); return 0;
    case kWmRButtonUp: OnButton(4, false, m); return 0;
    case kWmMouseMove: OnMouseMove(m); return 0;
    default:
      if (m.lParam == 0) {
        MouseX = -1.0f;
        MouseY = -1.0f;
      } else {
        TakePosition(m.lParam);
      }
      return DefaultWindowProc(m);
  }
}

void GetCapturedMousePosition(float* x, float* y) {
  *x = CapturedMouseX;
  *y = CapturedMouseY;
}

}  // namespace veskor
