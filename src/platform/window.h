// The window's messages: SDL events turned, one at a time, into the messages the program's
// window procedure handles, with the codes and packings its tables use (virtual-key codes for
// keys, code page 1252 for characters, button and modifier flags, sizes and positions packed
// into two 16-bit words). A letter key pressed with Control, which types no text, is followed
// by a character message of its lower-case letter. The main loop takes them with
// PeekWindowMessage.
#pragma once

#include <cstdint>

namespace veskor {

// Message codes.
inline constexpr std::uint32_t kWmNull = 0x0000;  // a window event without a position of its own
inline constexpr std::uint32_t kWmMove = 0x0003;
inline constexpr std::uint32_t kWmSize = 0x0005;
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kWmNcHitTest = 0x0084;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
inline constexpr std::uint32_t kWmChar = 0x0102;
inline constexpr std::uint32_t kWmSysCommand = 0x0112;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmLButtonUp = 0x0202;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmRButtonUp = 0x0205;
inline constexpr std::uint32_t kWmMButtonDown = 0x0207;
inline constexpr std::uint32_t kWmMButtonUp = 0x0208;
inline constexpr std::uint32_t kWmMouseLeave = 0x02A3;

// wParam flags of the mouse messages: the buttons held after the event and the modifiers.
inline constexpr std::uint32_t kMkLButton = 0x01;
inline constexpr std::uint32_t kMkRButton = 0x02;
inline constexpr std::uint32_t kMkShift = 0x04;
inline constexpr std::uint32_t kMkControl = 0x08;
inline constexpr std::uint32_t kMkMButton = 0x10;

// Activation: wParam's low word is 1 (active), its high word 1 while minimised.
inline constexpr std::uint32_t kActivateMinimised = 1u << 16;
// System commands of kWmSysCommand.
inline constexpr std::uint32_t kScScreenSave = 0xF140;
inline constexpr std::uint32_t kScMonitorPower = 0xF170;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes; keys of no code here
// arrive as kVkOther.
inline constexpr std::uint32_t kVkBack = 0x08;
inline constexpr std::uint32_t kVkTab = 0x09;
inline constexpr std::uint32_t kVkReturn = 0x0D;
inline constexpr std::uint32_t kVkShift = 0x10;
inline constexpr std::uint32_t kVkControl = 0x11;
inline constexpr std::uint32_t kVkAlt = 0x12;
inline constexpr std::uint32_t kVkEscape = 0x1B;
inline constexpr std::uint32_t kVkSpace = 0x20;
inline constexpr std::uint32_t kVkPageUp = 0x21;
inline constexpr std::uint32_t kVkPageDown = 0x22;
inline constexpr std::uint32_t kVkEnd = 0x23;
inline constexpr std::uint32_t kVkHome = 0x24;
inline constexpr std::uint32_t kVkLeft = 0x25;
inline constexpr std::uint32_t kVkUp = 0x26;
inline constexpr std::uint32_t kVkRight = 0x27;
inline constexpr std::uint32_t kVkDown = 0x28;
inline constexpr std::uint32_t kVkInsert = 0x2D;
inline constexpr std::uint32_t kVkDelete = 0x2E;
inline constexpr std::uint32_t kVkF1 = 0x70;  // to kVkF1 + 11
inline constexpr std::uint32_t kVkOther = 0xFF;

struct WindowMessage {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// Two 16-bit words in one lParam (low first), and the words back, unsigned or signed.
inline std::intptr_t MakeLParam(std::int32_t low, std::int32_t high) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(high) & 0xFFFF) << 16 |
                                    (static_cast<std::uint32_t>(low) & 0xFFFF));
}
inline std::uint32_t LowWord(std::intptr_t v) { return static_cast<std::uint32_t>(v) & 0xFFFF; }
inline std::uint32_t HighWord(std::intptr_t v) {
  return (static_cast<std::uint32_t>(v) >> 16) & 0xFFFF;
}
inline std::int32_t SignedLowWord(std::intptr_t v) { return static_cast<std::int16_t>(LowWord(v)); }
inline std::int32_t SignedHighWord(std::intptr_t v) {
  return static_cast<std::int16_t>(HighWord(v));
}

// Makes the translation ready once the video system is up: text input on, screen saver off for
// the run (it stands for the system commands the window procedure swallows).
void WindowMessagesStart();

// The next message: one posted earlier, else one made from the next SDL event that makes any.
// False when none is waiting. Never blocks.
bool PeekWindowMessage(WindowMessage* message);
// Appends a message for PeekWindowMessage (messages a window sends itself; scripted input).
void PostWindowMessage(const WindowMessage& message);
// Appends the quit message, whose wParam is the exit code.
void PostQuitMessage(int exitCode);
// Drops every posted message and the translator's record of held keys and buttons.
void ResetWindowMessages();

// The answer of the default window procedure to a message the program does not handle.
std::intptr_t DefaultWindowProc(const WindowMessage& message);

// True while the program's window holds the pointer (SDL's capture while a button is held).
bool WindowHasMouseCapture();

// A character in code page 1252 for a Unicode code point; -1 when the code page lacks it.
int CodePage1252(std::uint32_t codePoint);

}  // namespace veskor
